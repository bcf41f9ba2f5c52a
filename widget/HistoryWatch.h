#pragma once
// When the history popup shows and goes: after the mouse rests on a widget
// for a second, or from the widget's menu; gone when the mouse leaves both
// (or, opened from the menu, never came), on Esc, and with the widget. Also
// the export of a tracker's history as a CSV file the user picks.
#include <functional>
#include <memory>

#include "text/TextLookup.h"
#include "tracker/History.h"
#include "widget/HistoryPopup.h"

constexpr UINT HOVER_CHECK_MS = 100;
constexpr DWORD HISTORY_HOVER_MS = 1000;

// What the popup is about.
struct THistorySubject {
  WideString Id, Title;  // the title shown; the ID when the tracker has none
};

// Belongs to the widget's thread; the widget's window takes TIMER_HOVER.
class THistoryWatch {
public:
  // owner: the widget, which owns the popup as a component.
  THistoryWatch(TComponent* owner, std::shared_ptr<THistoryBook> book, std::shared_ptr<const TTextLookup> languages)
      : FOwner(owner), FBook(std::move(book)), FLanguages(std::move(languages)) {}

  void MouseEntered(HWND widget);
  void Tick(HWND widget, const THistorySubject& subject, const std::function<bool()>& goOn);
  void Open(HWND widget, const THistorySubject& subject, bool fromMenu, const std::function<bool()>& goOn);
  // A new sample: a popup that shows draws it.
  void Update(HWND widget, const THistorySubject& subject, const std::function<bool()>& goOn);
  void Close(HWND widget, const std::function<bool()>& goOn);
  // The widget's window is going: the popup's goes first, at once.
  void Destroy();
  bool Showing() const { return FPopup && FPopup->Showing(); }
  HWND PopupWindow() const { return FPopup ? FPopup->StoredHandle() : nullptr; }

private:
  bool MouseInside(HWND widget) const;

  TComponent* FOwner;
  std::shared_ptr<THistoryBook> FBook;
  std::shared_ptr<const TTextLookup> FLanguages;
  THistoryPopup* FPopup = nullptr;  // owned by the widget as a component
  DWORD FHoverSince = 0;
  bool FWatching = false;
  bool FFromMenu = false;
  bool FEntered = false;  // the mouse has been over the widget or popup since it showed
};

// Asks where to save (the standard dialog, owned by owner) and writes the
// tracker's history there as CSV; a failure is told in a message box.
void ExportHistory(HWND owner, const THistoryBook* book, const THistorySubject& subject,
                   const TTextLookup* languages);
