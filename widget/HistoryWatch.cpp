#include "widget/HistoryWatch.h"

#include <commdlg.h>

#include "platform/ProgramIds.h"
#include "text/TextIds.h"
#include "text/WStreams.h"
#include "text/WStrUtils.h"

namespace {
bool PointIn(HWND window, const POINT& p) {
  RECT r{};
  return window && IsWindowVisible(window) && GetWindowRect(window, &r) && PtInRect(&r, p);
}

TScreenRect WindowRect(HWND window) {
  RECT r{};
  GetWindowRect(window, &r);
  return ScreenRectOf(r);
}

// A file name from the ID: characters no file name may hold become "_".
WideString CsvFileName(const WideString& id) {
  WideString name = id.empty() ? WideString(u"tracker") : id;
  for (WideChar& c : name)
    if (c < 32 || WideString(u"\\/:*?\"<>|").find(c) != WideString::npos) c = u'_';
  return name + u"-history.csv";
}

// The menu's text without its accelerator mark and ellipsis, as the dialog's title.
WideString DialogTitle(const TTextLookup* languages) {
  WideString text = TextOr(languages, static_cast<int32_t>(CMD_EXPORTHISTORY), u"&Export History...");
  WideString title;
  for (WideChar c : text)
    if (c != u'&') title += c;
  while (!title.empty() && (title.back() == u'.' || title.back() == u'\u2026')) title.pop_back();
  return title;
}
}  // namespace

bool THistoryWatch::MouseInside(HWND widget) const {
  POINT cursor{};
  if (!GetCursorPos(&cursor)) return false;
  return PointIn(widget, cursor) || (Showing() && PointIn(PopupWindow(), cursor));
}

void THistoryWatch::MouseEntered(HWND widget) {
  if (FWatching || !FBook) return;
  FWatching = true;
  FHoverSince = GetTickCount();
  SetTimer(widget, TIMER_HOVER, HOVER_CHECK_MS, nullptr);
}

void THistoryWatch::Tick(HWND widget, const THistorySubject& subject, const std::function<bool()>& goOn) {
  const bool inside = MouseInside(widget);
  if (Showing()) {
    if (inside) FEntered = true;
    if ((GetAsyncKeyState(VK_ESCAPE) & 0x8000) || (!inside && (FEntered || !FFromMenu))) Close(widget, goOn);
    return;
  }
  if (!inside) {
    FWatching = false;
    KillTimer(widget, TIMER_HOVER);
  } else if (GetTickCount() - FHoverSince >= HISTORY_HOVER_MS) {
    Open(widget, subject, false, goOn);
  }
}

void THistoryWatch::Open(HWND widget, const THistorySubject& subject, bool fromMenu,
                         const std::function<bool()>& goOn) {
  if (!FBook || !widget) return;
  if (!FPopup) {
    FPopup = new THistoryPopup(FOwner, FLanguages);
    FPopup->SetParentWindow(widget);  // owned: above the widget, and gone with it
  }
  FFromMenu = fromMenu;
  FEntered = MouseInside(widget);
  FWatching = true;
  SetTimer(widget, TIMER_HOVER, HOVER_CHECK_MS, nullptr);
  FPopup->ShowBeside(subject.Title, FBook->Snapshot(subject.Id), WindowRect(widget), UtcNow(), goOn);
}

void THistoryWatch::Update(HWND widget, const THistorySubject& subject, const std::function<bool()>& goOn) {
  if (Showing() && FBook)
    FPopup->ShowBeside(subject.Title, FBook->Snapshot(subject.Id), WindowRect(widget), UtcNow(), goOn);
}

void THistoryWatch::Close(HWND widget, const std::function<bool()>& goOn) {
  FWatching = false;
  KillTimer(widget, TIMER_HOVER);
  if (Showing()) FPopup->FadeOut(goOn);
}

void THistoryWatch::Destroy() {
  if (FPopup && FPopup->WindowExists()) DestroyWindow(FPopup->StoredHandle());
}

void ExportHistory(HWND owner, const THistoryBook* book, const THistorySubject& subject,
                   const TTextLookup* languages) {
  if (!book) return;
  const TTrackerHistory history = book->Snapshot(subject.Id);
  std::vector<WideChar> file(MAX_PATH * 4, 0);
  const WideString name = CsvFileName(subject.Id);
  std::copy(name.begin(), name.begin() + static_cast<ptrdiff_t>(std::min(name.size(), file.size() - 1)),
            file.begin());
  // "CSV files (*.csv)", then the pattern, each ended by a null, and a null after both.
  WideString filter = TextOr(languages, STR_CSV_FILES, u"CSV files") + u" (*.csv)";
  filter += WideChar(0);
  filter += u"*.csv";
  filter += WideChar(0);
  const WideString title = DialogTitle(languages);
  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = owner;
  ofn.lpstrFilter = WinStr(filter);
  ofn.lpstrFile = reinterpret_cast<LPWSTR>(file.data());
  ofn.nMaxFile = static_cast<DWORD>(file.size());
  ofn.lpstrTitle = WinStr(title);
  ofn.lpstrDefExt = L"csv";
  ofn.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_HIDEREADONLY | OFN_EXPLORER;
  // The explorer-style dialog wants COM on the calling thread.
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  const BOOL chosen = GetSaveFileNameW(&ofn);
  if (SUCCEEDED(com)) CoUninitialize();
  if (!chosen) return;
  const WideString path(file.data());
  const std::string csv = HistoryCsv(history);
  try {
    TAtomicFileStream out(path);
    if (out.Write(csv.data(), csv.size()) != csv.size()) throw EWriteError(u"Stream write error");
    out.Commit();
  } catch (const Exception& e) {
    const WideString text = WideFormat(
        TextOr(languages, STR_EXPORT_FAILED, u"The history could not be written to %s:\n%s").c_str(),
        {path, e.Message()});
    MessageBoxW(owner, WinStr(text), WinStr(title), MB_ICONERROR | MB_OK);
  }
}
