#include "dialogs/DialogRes.h"

#include <atomic>

namespace {
constexpr wchar_t kAtomNameWide[] = L"Dialog.WindowAtom.3.1";  // DIALOG_ATOM_NAME

// Set and cleared by the holder of the unit on the GUI thread; read anywhere.
std::atomic<ATOM> gAtom{0};
std::atomic<bool> gHeld{false};
}  // namespace

TDialogsUnit::TDialogsUnit() {
  bool expected = false;
  if (!gHeld.compare_exchange_strong(expected, true)) return;
  FHolds = true;
  gAtom = GlobalAddAtomA(DIALOG_ATOM_NAME);
}

TDialogsUnit::~TDialogsUnit() {
  if (!FHolds) return;
  if (ATOM atom = gAtom.exchange(0)) GlobalDeleteAtom(atom);
  gHeld = false;
}

ATOM DialogAtom() { return gAtom; }

WideString GetControlText(HWND window) {
  if (!window) return WideString();
  const LRESULT length = SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
  if (length <= 0) return WideString();
  WideString text(static_cast<size_t>(length), u'\0');
  const LRESULT copied =
      SendMessageW(window, WM_GETTEXT, static_cast<WPARAM>(length + 1), reinterpret_cast<LPARAM>(WinStr(&text[0])));
  // The text may have shrunk between the two questions.
  text.resize(copied >= 0 && copied < length ? static_cast<size_t>(copied) : static_cast<size_t>(length));
  return text;
}

void ApplyDialogTexts(HWND dialog, const TTextLookup* texts, int32_t captionId, std::initializer_list<int32_t> ids) {
  auto text = [texts](int32_t id) { return texts ? texts->GetText(id) : WideString(); };
  SetWindowTextW(dialog, WinStr(text(captionId)));
  for (int32_t id : ids)
    if (HWND control = GetDlgItem(dialog, id)) SetWindowTextW(control, WinStr(text(id)));
}

void RefuseInput(HWND dialog, const TTextLookup* texts, int32_t textId, int controlId) {
  const WideString text = texts ? texts->GetText(textId) : WideString();
  const WideString caption = texts ? texts->GetText(STR_ERROR_CAPTION) : WideString();
  MessageBoxW(dialog, WinStr(text), WinStr(caption), MB_ICONERROR);
  // The dialog may have been closed while the box was open.
  if (IsWindow(dialog)) SetFocus(GetDlgItem(dialog, controlId));
}

namespace {
// A dialog opened before any unit is held still finds its object.
LPCWSTR PropertyName() {
  const ATOM atom = gAtom;
  return atom ? MAKEINTATOM(atom) : kAtomNameWide;
}
}  // namespace

void SetDialogObject(HWND dialog, void* object) { SetPropW(dialog, PropertyName(), object); }
void* GetDialogObject(HWND dialog) { return GetPropW(dialog, PropertyName()); }
void RemoveDialogObject(HWND dialog) { RemovePropW(dialog, PropertyName()); }

bool AnswerCommonMessage(HWND dialog, UINT msg, WPARAM wParam, bool attached, const TDialogActions& actions,
                         INT_PTR& result) {
  result = TRUE;
  switch (msg) {
    case WM_COMMAND:
      // The notification code is not looked at: Enter is 1, Esc and the close box 2.
      if (attached && LOWORD(wParam) == IDC_SAVE)
        actions.Save();
      else if (attached && LOWORD(wParam) == IDC_CANCEL)
        actions.Cancel();
      return true;
    case WM_DESTROY:
      if (attached) actions.Destroyed();
      RemoveDialogObject(dialog);
      return true;
    case WM_NOTIFY:
    case WM_CANCELMODE: return true;
    case WM_CTLCOLORSTATIC: result = 0; return true;
    case WM_LANGUAGECHANGED:
      if (attached) actions.Relabel();
      return true;
    default:
      result = FALSE;
      return false;
  }
}

bool ActivateOpenDialog(HWND dialog) {
  if (!dialog || !IsWindow(dialog)) return false;
  SetActiveWindow(dialog);
  SetForegroundWindow(dialog);
  return true;
}
