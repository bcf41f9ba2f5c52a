#pragma once
// What both modal dialogs share: the window-property atom, the texts taken
// from the language table and reading an edit control.
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>

#include "platform/ProgramIds.h"  // the templates' control ids too
#include "platform/WinApi.h"
#include "text/TextLookup.h"
#include "text/TextIds.h"
#include "ui/Handles.h"

constexpr const char DIALOG_ATOM_NAME[] = "Dialog.WindowAtom.3.1";

// Dialog results.
constexpr INT_PTR DIALOG_SAVED = 1;
constexpr INT_PTR DIALOG_CANCELLED = 2;

// The dialogs' module: held by the program (and by tests) on the GUI thread
// for as long as dialogs may open. It adds the property atom.
class TDialogsUnit {
public:
  TDialogsUnit();
  ~TDialogsUnit();
  TDialogsUnit(const TDialogsUnit&) = delete;
  TDialogsUnit& operator=(const TDialogsUnit&) = delete;

private:
  bool FHolds = false;  // a second holder in the same process adds nothing
};

// The atom naming the property that holds the edited object; 0 while no
// TDialogsUnit is held.
ATOM DialogAtom();

// The edit control's whole text; empty for an empty control or no control.
WideString GetControlText(HWND window);

// The caption from captionId, then each listed control's text from the id
// of the control itself. Ids without a control change nothing.
void ApplyDialogTexts(HWND dialog, const TTextLookup* texts, int32_t captionId, std::initializer_list<int32_t> ids);

// A refusal: an error box owned by the dialog, then the focus back on the
// offending control. The dialog stays open with what was typed.
void RefuseInput(HWND dialog, const TTextLookup* texts, int32_t textId, int controlId);

// The object a dialog edits, kept as a property of its window under the
// dialog atom.
void SetDialogObject(HWND dialog, void* object);
void* GetDialogObject(HWND dialog);
void RemoveDialogObject(HWND dialog);

// What a dialog does with the messages both dialogs answer alike.
struct TDialogActions {
  std::function<void()> Save, Cancel, Relabel, Destroyed;
};

// Answers the messages both dialogs share, calling actions only when attached
// (the dialog has its object). False when msg is the dialog's own to answer.
bool AnswerCommonMessage(HWND dialog, UINT msg, WPARAM wParam, bool attached, const TDialogActions& actions,
                         INT_PTR& result);

// Brings an open dialog to the front; false when there is none.
bool ActivateOpenDialog(HWND dialog);
