#include "app/WidgetManager.h"

#include <algorithm>
#include <string>

#include "app/TrackerList.h"
#include "inet/InetUtil.h"
#include "text/WFold.h"

namespace {

WideString WideOf(const std::string& ascii) { return WideString(ascii.begin(), ascii.end()); }

// How far the tick count is from a deadline; 0 once it has passed.
DWORD Remaining(DWORD deadline) {
  const DWORD now = GetTickCount();
  return static_cast<int32_t>(deadline - now) > 0 ? deadline - now : 0;
}

void SetMenuItemText(HMENU menu, UINT id, const WideString& text) {
  MENUITEMINFOW info{};
  info.cbSize = sizeof info;
  info.fMask = MIIM_STRING;
  WideString copy = text;
  info.dwTypeData = WinStr(&copy[0]);
  info.cch = static_cast<UINT>(copy.size());
  SetMenuItemInfoW(menu, id, FALSE, &info);
}

// A worker still out on the network would hold this thread up to be freed
// (up to WORKER_FREE_WAIT_MS); at shutdown it is left to run out instead.
void LetRunOut(std::unique_ptr<TInetThread>& worker) {
  if (worker && !worker->Finished())
    static_cast<void>(worker.release());
  else
    worker.reset();
}

// Under Wine the shell answers a deletion only once its own tray window has
// been hidden, which can take seconds; the icon goes on a thread of its own
// while the shutdown goes on.
DWORD WINAPI DeleteTrayIcon(void* data) {
  std::unique_ptr<NOTIFYICONDATAW> icon(static_cast<NOTIFYICONDATAW*>(data));
  Shell_NotifyIconW(NIM_DELETE, icon.get());
  return 0;
}

constexpr UINT kTrayMenuTextIds[] = {CMD_ABOUT, CMD_SHOW, CMD_HIDE, CMD_LANGUAGES, CMD_ADDTRACKER, CMD_EXIT};
constexpr int kLanguagesPosition = 2;
constexpr int kTrackersPosition = 5;

// The file's size in bytes; 0 when it cannot be asked.
uint64_t FileBytes(const WideString& fileName) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(WinStr(fileName), GetFileExInfoStandard, &data)) return 0;
  return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

}  // namespace

TWidgetManager::TWidgetManager(TComponent* owner, std::shared_ptr<TWidgetLanguages> languages,
                               const TShellDialogs& dialogs, const WideString& title)
    : TWinForm(owner),
      FLanguages(std::move(languages)),
      FBoard(std::make_shared<TWidgetBoard>()),
      FDialogs(dialogs),
      FTitle(title) {
  FSettingsFolder = GetSettingsFolder();
  ForceDirectories(FSettingsFolder);
  FTaskbarCreated = RegisterWindowMessageW(WinStr(TASKBAR_CREATED_MESSAGE));
  SetCaption(MANAGER_CAPTION);
}

TWidgetManager::~TWidgetManager() {
  // Empty after a normal shutdown; here when the window never got as far.
  CloseWidgets(GetTickCount() + EXIT_WIDGET_WAIT_MS);
  LetRunOut(FPingThread);
  LetRunOut(FVersionThread);
  DestroyTrayMenu();
  if (FIconRemoval) CloseHandle(FIconRemoval);
}

// ---- window

void TWidgetManager::FillCreateParams(TWidgetCreateParams& params) {
  TWinForm::FillCreateParams(params);
  SubclassWindowClass(params, MANAGER_CLASS_NAME);
}

void TWidgetManager::DoCreate() {
  TWinForm::DoCreate();
  LoadTrayMenu();
  CreateTray();
  SetTimer(StoredHandle(), TIMER_UPDATECHECK, UPDATECHECK_DELAY_MS, nullptr);
}

void TWidgetManager::CreateTray() {
  FTray = new TWidgetTray(this);
  FTray->SetParentWindow(GetDesktopWindow());
  FTray->SetIcon(LoadTrayIcon(ICON_PROGRAM));
  FTray->OnTrayDblClick = [](TComponent*) {};
  FTray->OnTrayMouseUp = [this](TComponent* s, int32_t k, int32_t x, int32_t y) { TrayMouseUp(s, k, x, y); };
  FTray->SetTip(FTitle);
  FTray->EnsureHandle();
  FTray->SetShowIcon(true);
}

// Explorer forgets every icon when it restarts and then tells all top-level windows.
void TWidgetManager::RestoreTrayIcon() {
  if (FTray && FTray->ShowIcon() && !FClosing) FTray->Notify(NIM_ADD);
}

void TWidgetManager::WndProc(TWidgetMessage& message) {
  switch (message.Msg) {
    case WM_QUERYENDSESSION: message.Result = 1; return;
    case WM_ENDSESSION:
      if (message.WParam) EndSession();
      return;
    case WM_COMMAND: WMCommand(message); return;
    case WM_TIMER: WMTimer(message); return;
    case WM_VERSIONRESPONSE: VersionResponse(message); return;
    case WM_PINGRESPONSE: FPingThread.reset(); return;
    case WM_SHOWDETAILS: WMShowDetails(message); return;
    case WM_REMOVEWIDGET: WMRemoveWidget(message); return;
    case WM_TRACKERCHANGED: SettingsChanged(); return;
    default:
      if (FTaskbarCreated && message.Msg == FTaskbarCreated) {
        RestoreTrayIcon();
        return;
      }
      TWinForm::WndProc(message);
  }
}

void TWidgetManager::WMTimer(TWidgetMessage& message) {
  switch (message.WParam) {
    case TIMER_UPDATECHECK: StartUpdateCheck(); break;
    case TIMER_AUTOSAVE:
      KillTimer(StoredHandle(), TIMER_AUTOSAVE);
      // A failure here is told at Exit; the file on disk stays as it was.
      SaveSettings();
      break;
    case TIMER_REAP: ReapRetired(); break;
    default: break;
  }
}

void TWidgetManager::WMCommand(TWidgetMessage& message) {
  if (HIWORD(message.WParam) != 0) return;
  const UINT id = LOWORD(message.WParam);
  switch (id) {
    case CMD_ABOUT: ShowAbout(); return;
    case CMD_HIDE: HideAll(); return;
    case CMD_SHOW: ShowAll(); return;
    case CMD_EXIT: SendMessageW(StoredHandle(), WM_CLOSE, 0, 0); return;
    case CMD_ADDTRACKER: ShowAddDialog(); return;
    default: break;
  }
  if (id >= CMD_LANGUAGE_BASE && id < CMD_LANGUAGE_BASE + static_cast<UINT>(FLanguages->Count()))
    SelectLanguageCommand(static_cast<int>(id - CMD_LANGUAGE_BASE));
  else if (id >= CMD_TRACKER_BASE)
    OpenTrackerSettings(static_cast<int>(id - CMD_TRACKER_BASE));
}

// The widget waits in SendMessage: it is let go before the browser starts.
void TWidgetManager::WMShowDetails(TWidgetMessage& message) {
  TWidgetMainForm* widget = FindWidgetByHandle(reinterpret_cast<HWND>(message.LParam));
  ReplyMessage(0);
  if (!widget) return;
  const WideString url = WideOf(HostUrl(CounterHost())) + WideOf(STATS_PATH) +
                         WideOf(EncodePathText(widget->Settings().ID)) + u"/";
  ShellExecuteW(StoredHandle(), L"open", WinStr(url), nullptr, nullptr, SW_SHOW);
}

void TWidgetManager::WMRemoveWidget(TWidgetMessage& message) {
  RemoveWidgetByHandle(reinterpret_cast<HWND>(message.LParam));
}

// ---- tray menu

void TWidgetManager::DestroyTrayMenu() {
  if (FTrayMenu) DestroyMenu(FTrayMenu);  // its popups go with it
  FTrayMenu = FLanguagesMenu = FTrackersMenu = nullptr;
}

void TWidgetManager::LoadTrayMenu() {
  DestroyTrayMenu();
  FTrayMenu = LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(MENU_TRAY));
  if (!FTrayMenu) return;
  BuildLanguagesMenu();
  BuildTrackersMenu();
  ApplyMenuTexts();
}

// ModifyMenu destroys the popup that it replaces.
void TWidgetManager::BuildLanguagesMenu() {
  HMENU root = FTrayMenu ? GetSubMenu(FTrayMenu, 0) : nullptr;
  if (!root) return;
  HMENU popup = CreatePopupMenu();
  const TWidgetLanguage* current = FLanguages->Current();
  for (int i = 0; i < FLanguages->Count(); ++i) {
    const TWidgetLanguage* language = FLanguages->Languages(i);
    const UINT checked = current && language->ResName() == current->ResName() ? MF_CHECKED : MF_UNCHECKED;
    AppendMenuW(popup, MF_STRING | checked, CMD_LANGUAGE_BASE + static_cast<UINT>(i), WinStr(language->DisplayName()));
  }
  if (ModifyMenuW(root, kLanguagesPosition, MF_BYPOSITION | MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(popup),
                  WinStr(FLanguages->GetText(CMD_LANGUAGES))))
    FLanguagesMenu = popup;
  else
    DestroyMenu(popup);
}

void TWidgetManager::BuildTrackersMenu() {
  HMENU root = FTrayMenu ? GetSubMenu(FTrayMenu, 0) : nullptr;
  if (!root) return;
  HMENU popup = CreatePopupMenu();
  if (FWidgetList.empty()) {
    AppendMenuW(popup, MF_STRING, CMD_TRACKER_BASE, WinStr(FLanguages->GetText(STR_NO_TRACKERS)));
    EnableMenuItem(popup, 0, MF_BYPOSITION | MF_GRAYED);
  }
  for (size_t i = 0; i < FWidgetList.size(); ++i) {
    const TTrackerSettings s = FWidgetList[i].Widget->Settings();
    WideString caption = s.Title.empty() ? FLanguages->GetText(STR_NO_TITLE) : s.Title;
    caption += WideFormat(TRACKER_MENU_FORMAT, {s.ID});
    AppendMenuW(popup, MF_STRING, CMD_TRACKER_BASE + static_cast<UINT>(i), WinStr(caption));
  }
  if (ModifyMenuW(root, kTrackersPosition, MF_BYPOSITION | MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(popup),
                  WinStr(FLanguages->GetText(CMD_TRACKERS))))
    FTrackersMenu = popup;
  else
    DestroyMenu(popup);
}

void TWidgetManager::ApplyMenuTexts() {
  if (!FTrayMenu) return;
  for (UINT id : kTrayMenuTextIds) SetMenuItemText(FTrayMenu, id, FLanguages->GetText(static_cast<int32_t>(id)));
}

void TWidgetManager::PopupTrayMenu() {
  LoadTrayMenu();
  if (!FTrayMenu) return;
  POINT cursor{};
  GetCursorPos(&cursor);
  TrackPopupMenuEx(GetSubMenu(FTrayMenu, 0), TPM_VERTICAL, cursor.x, cursor.y, StoredHandle(), nullptr);
  // Without a message after it, a tray menu may not close when clicked away.
  PostMessageW(StoredHandle(), WM_NULL, 0, 0);
}

void TWidgetManager::TrayMouseUp(TComponent*, int32_t keys, int32_t, int32_t) {
  if (!(keys & MK_RBUTTON)) return;
  SetActiveWindow(StoredHandle());
  SetForegroundWindow(StoredHandle());
  PopupTrayMenu();
}

// ---- commands

void TWidgetManager::ShowAbout() {
  if (FDialogs.About) FDialogs.About(*this);
}

void TWidgetManager::ShowAddDialog() {
  if (FAddDialog && IsWindow(FAddDialog)) {
    SetActiveWindow(FAddDialog);
    SetForegroundWindow(FAddDialog);
    return;
  }
  if (FDialogs.AddTracker) FDialogs.AddTracker(*this);
}

void TWidgetManager::SelectLanguageCommand(int index) {
  if (index < 0 || index >= FLanguages->Count()) return;
  const TWidgetLanguage* before = FLanguages->Current();
  FLanguages->SelectLanguage(FLanguages->Languages(index)->ResName());
  ApplyMenuTexts();
  if (FAddDialog && IsWindow(FAddDialog)) SendMessageW(FAddDialog, WM_LANGUAGECHANGED, 0, 0);
  for (const TTrackerSlot& slot : FWidgetList)
    if (HWND window = slot.Widget->WindowHandle()) PostMessageW(window, WM_LANGUAGECHANGED, 0, 0);
  if (FLanguages->Current() != before) SettingsChanged();
}

// An index that left the list while the menu was open is ignored.
void TWidgetManager::OpenTrackerSettings(int index) {
  if (index < 0 || index >= WidgetCount()) return;
  if (HWND window = Widget(index)->WindowHandle()) PostMessageW(window, WM_COMMAND, CMD_PREFERENCES, 0);
}

// ---- start-up requests

void TWidgetManager::StartUpdateCheck() {
  KillTimer(StoredHandle(), TIMER_UPDATECHECK);
  StartVersionRequest();
  StartUsagePing();
}

// Failures are silent: no retry in this run.
void TWidgetManager::StartVersionRequest() {
  if (FVersionThread) return;
  try {
    FVersionThread.reset(new TInetThread(StoredHandle(), InternetHandle, WM_VERSIONRESPONSE));
    FVersionThread->Request().SetField(rfHost, MakerHost());
    FVersionThread->Request().SetField(rfPath, VERSION_PATH);
    FVersionThread->Resume();
  } catch (...) {
    FVersionThread.reset();
  }
}

void TWidgetManager::StartUsagePing() {
  if (FPingThread) return;
  try {
    FPingThread.reset(new TInetThread(StoredHandle(), InternetHandle, WM_PINGRESPONSE));
    FPingThread->Request().SetField(rfHost, CounterHost());
    FPingThread->Request().SetField(rfPath, USAGE_PING_PATH);
    FPingThread->Resume();
  } catch (...) {
    FPingThread.reset();
  }
}

void TWidgetManager::VersionResponse(TWidgetMessage& message) {
  if (!FVersionThread) return;
  std::unique_ptr<TInetThread> worker = std::move(FVersionThread);
  if (FDialogs.VersionResponse) FDialogs.VersionResponse(*this, *worker, static_cast<int>(message.LParam));
}

// ---- widgets

int TWidgetManager::CreateTracker(const WideString& id, const WideString& title, int32_t startDelay) {
  TWidgetMainForm* widget = nullptr;
  int index = -1;
  try {
    RECT work{};
    if (auto* desktop = dynamic_cast<TWidgetDesktop*>(Owner()))
      desktop->WorkArea(work);
    else
      SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    TWidgetHost host;
    host.ManagerWindow = StoredHandle();
    host.Languages = FLanguages;
    host.Board = FBoard;
    host.Preferences = FDialogs.Preferences;
    widget = new TWidgetMainForm(this, host, ReadTrackerSettings(*FSettings, id, title, work));
    const WideString name = TrackerComponentName(id);
    if (!name.empty() && !FindComponent(name)) widget->SetName(name);
    widget->SetParentWindow(GetDesktopWindow());
    widget->SetStartDelay(startDelay);
    index = AddWidget(widget);
    FWidgetList[static_cast<size_t>(index)].SectionId = id;
    widget->ListOnBoard();
    widget->Resume();
  } catch (...) {
    if (widget) {
      auto it = std::find_if(FWidgetList.begin(), FWidgetList.end(),
                             [&](const TTrackerSlot& s) { return s.Widget == widget; });
      if (it != FWidgetList.end()) FWidgetList.erase(it);
      delete widget;
    }
    index = -1;
  }
  Sleep(TRACKER_START_GAP_MS);
  return index;
}

int TWidgetManager::AddWidget(TWidgetMainForm* widget) {
  for (const TTrackerSlot& slot : FWidgetList)
    if (slot.Widget == widget) return -1;
  FWidgetList.push_back(TTrackerSlot{widget, WideString()});
  return static_cast<int>(FWidgetList.size()) - 1;
}

int TWidgetManager::RemoveWidget(TWidgetMainForm* widget) {
  auto it = std::find_if(FWidgetList.begin(), FWidgetList.end(), [&](const TTrackerSlot& s) { return s.Widget == widget; });
  if (it == FWidgetList.end()) return -1;
  const int index = static_cast<int>(it - FWidgetList.begin());
  const WideString id = widget->Settings().ID;
  const WideString section = it->SectionId;
  FWidgetList.erase(it);
  if (FSettings) {
    FSettings->EraseSection(id);
    EraseOrphan(section, id, nullptr);
  }
  // Its thread may still be fading out: the object goes once the thread has ended.
  widget->RequestClose();
  FRetired.push_back(widget);
  if (WindowExists()) SetTimer(StoredHandle(), TIMER_REAP, REAP_INTERVAL_MS, nullptr);
  SettingsChanged();
  return index;
}

int TWidgetManager::RemoveWidgetByHandle(HWND window) {
  TWidgetMainForm* widget = FindWidgetByHandle(window);
  if (!widget) return 0;
  widget->RequestClose();
  return RemoveWidget(widget);
}

void TWidgetManager::ReapRetired() {
  for (auto it = FRetired.begin(); it != FRetired.end();) {
    if ((*it)->ThreadEnded()) {
      delete *it;
      it = FRetired.erase(it);
    } else {
      ++it;
    }
  }
  if (FRetired.empty()) KillTimer(StoredHandle(), TIMER_REAP);
}

TWidgetMainForm* TWidgetManager::FindWidgetById(const WideString& id) const {
  for (const TTrackerSlot& slot : FWidgetList)
    if (slot.Widget->Settings().ID == id) return slot.Widget;
  return nullptr;
}

TWidgetMainForm* TWidgetManager::FindWidgetByHandle(HWND window) const {
  if (!window) return nullptr;
  for (const TTrackerSlot& slot : FWidgetList)
    if (slot.Widget->WindowHandle() == window) return slot.Widget;
  return nullptr;
}

std::vector<WideString> TWidgetManager::TakenIds() const {
  std::vector<WideString> ids = FKeptIds;
  for (const TTrackerSlot& slot : FWidgetList) ids.push_back(slot.Widget->Settings().ID);
  return ids;
}

void TWidgetManager::HideAll() {
  for (auto it = FWidgetList.rbegin(); it != FWidgetList.rend(); ++it)
    if (HWND window = it->Widget->WindowHandle()) PostMessageW(window, WM_HIDEWIDGET, 0, 0);
}

void TWidgetManager::ShowAll() {
  for (const TTrackerSlot& slot : FWidgetList)
    if (HWND window = slot.Widget->WindowHandle()) PostMessageW(window, WM_SHOWWIDGET, 0, 0);
}

// ---- settings file

void TWidgetManager::LoadSettings() {
  const WideString fileName = SettingsFileName();
  FFirstRun = GetFileAttributesW(WinStr(fileName)) == INVALID_FILE_ATTRIBUTES;
  // A write cut off by a crash leaves its temporary file; the real one is whole.
  TAtomicFileStream::RemoveLeftover(fileName);
  try {
    FSettings.reset(new TWMemIniFile(fileName));
    // Text without a single section is no settings file of ours (saved as
    // UTF-8 by an editor, say); written back it would lose every tracker in it.
    TWStringList sections;
    FSettings->ReadSections(&sections);
    if (!FFirstRun && sections.GetCount() == 0 && FileBytes(fileName) > 2)
      throw Exception(WideFormat(u"\"%s\" holds no settings that Orvanta can read.", {fileName}));
  } catch (const Exception& e) {
    // A file that exists but cannot be read may still hold every tracker:
    // this run works without it and never writes over it.
    FSettings.reset(new TWMemIniFile(WideString()));
    FSaveBlocked = true;
    FSaveError = e.Message();
  }
  FLanguages->SelectLanguage(FSettings->ReadString(SECTION_CONFIG, KEY_LANGUAGE, LANGUAGE_EN_US));

  TWStringList entries;
  FSettings->ReadSectionValues(SECTION_TRACKERS, &entries);
  TTrackerLoadPlan plan = PlanTrackerLoad(entries, [this](const WideString& id) { return FSettings->SectionExists(id); });
  FKeptIds = plan.Kept;
  for (const TTrackerStart& start : plan.Create) {
    const WideString title = FSettings->ReadString(start.ID, KEY_TITLE, DEFAULT_TITLE);
    // A tracker whose thread cannot start keeps its place in the file.
    if (CreateTracker(start.ID, title, start.StartDelay) < 0) FKeptIds.push_back(start.ID);
    Sleep(TRACKER_START_GAP_MS);
  }
  BuildTrackersMenu();
  if (FFirstRun) ShowAddDialog();
}

// Another live tracker or a kept entry still names the section (case ignored).
bool TWidgetManager::SectionInUse(const WideString& section, const TWidgetMainForm* except) const {
  const WideString folded = FoldName(section);
  for (const WideString& id : FKeptIds)
    if (FoldName(id) == folded) return true;
  for (const TTrackerSlot& slot : FWidgetList)
    if (slot.Widget != except && FoldName(slot.Widget->Settings().ID) == folded) return true;
  return false;
}

// The section under a tracker's former ID goes, unless someone still uses it.
void TWidgetManager::EraseOrphan(const WideString& section, const WideString& currentId, const TWidgetMainForm* widget) {
  if (section.empty() || FoldName(section) == FoldName(currentId) || SectionInUse(section, widget)) return;
  FSettings->EraseSection(section);
}

bool TWidgetManager::SaveSettings() {
  if (!FSettings) return true;
  if (FSaveBlocked) return false;
  try {
    const TWidgetLanguage* current = FLanguages->Current();
    FSettings->WriteString(SECTION_CONFIG, KEY_LANGUAGE, current ? current->ResName() : WideString(LANGUAGE_EN_US));
    FSettings->EraseSection(SECTION_TRACKERS);
    int32_t key = 0;
    auto list = [&](const WideString& id) {
      FSettings->WriteString(SECTION_TRACKERS, WideFormat(u"%s%d", {TRACKER_KEY_PREFIX, key}), id);
      ++key;
    };
    for (TTrackerSlot& slot : FWidgetList) {
      const TTrackerSettings s = slot.Widget->Settings();
      EraseOrphan(slot.SectionId, s.ID, slot.Widget);
      FSettings->EraseSection(s.ID);
      list(s.ID);
      WriteTrackerSettings(*FSettings, s);
      slot.SectionId = s.ID;
    }
    for (const WideString& id : FKeptIds) list(id);
    FSettings->UpdateFile();
  } catch (const Exception& e) {
    FSaveError = e.Message();
    return false;
  } catch (const std::exception& e) {
    FSaveError = WideFromUtf8(e.what());
    return false;
  }
  FSaveError.clear();
  return true;
}

void TWidgetManager::SettingsChanged() {
  if (!FClosing && WindowExists()) SetTimer(StoredHandle(), TIMER_AUTOSAVE, AUTOSAVE_DELAY_MS, nullptr);
}

void TWidgetManager::TellSaveFailed() {
  if (FSaveError.empty() || FSaveFailureTold) return;
  FSaveFailureTold = true;
  WideString text = FLanguages->GetText(STR_SETTINGS_NOT_SAVED);
  const size_t at = text.find(u"%s");
  if (at != WideString::npos) text.replace(at, 2, FSaveError);
  MessageBoxW(nullptr, WinStr(text), WinStr(FLanguages->GetText(STR_ERROR)),
              MB_OK | MB_ICONERROR | MB_SETFOREGROUND | MB_TOPMOST);
}

// The process may end any time after this; a failed write is told now, once
// the log-off has its answer and is not held up by the box.
void TWidgetManager::EndSession() {
  KillTimer(StoredHandle(), TIMER_AUTOSAVE);
  if (SaveSettings()) return;
  ReplyMessage(0);
  TellSaveFailed();
}

// ---- shutdown

void TWidgetManager::WMClose(TWidgetMessage& message) {
  if (FClosing) return;
  FClosing = true;
  FCloseStarted = GetTickCount();
  KillTimer(StoredHandle(), TIMER_AUTOSAVE);
  if (FTray && FTray->ShowIcon()) {
    auto* icon = new NOTIFYICONDATAW(FTray->IconData());
    FIconRemoval = CreateThread(nullptr, 0, DeleteTrayIcon, icon, 0, nullptr);
    if (!FIconRemoval) {
      delete icon;
      FTray->SetShowIcon(false);
    }
  }
  // Written before anything else can go wrong; a failure is told once the
  // widgets are gone.
  SaveSettings();
  HideAll();
  TWinForm::WMClose(message);
}

void TWidgetManager::CloseWidgets(DWORD deadline) {
  std::vector<TWidgetMainForm*> widgets;
  for (const TTrackerSlot& slot : FWidgetList) widgets.push_back(slot.Widget);
  widgets.insert(widgets.end(), FRetired.begin(), FRetired.end());
  FWidgetList.clear();
  FRetired.clear();
  // All are asked first, so their fade-outs and unmaps overlap.
  for (size_t i = 0; i < widgets.size(); ++i) {
    widgets[i]->RequestClose();
    if (i + 1 < widgets.size() && Remaining(deadline) > CLOSE_STEP_MS) Sleep(CLOSE_STEP_MS);
  }
  for (TWidgetMainForm* widget : widgets) {
    if (widget->WaitClosed(Remaining(deadline))) {
      delete widget;
    } else {
      TWidgetMainForm::Abandon(widget);
      FAbandoned = true;
    }
  }
}

// The tray window deletes its icon as it goes, which would wait behind an
// unfinished removal: if the shell has not answered by the deadline, the window
// is left to the tray object, which unbinds it before destroying it.
void TWidgetManager::CloseTray(DWORD deadline) {
  bool shellAnswered = true;
  if (FIconRemoval) {
    shellAnswered = WaitForSingleObject(FIconRemoval, Remaining(deadline)) == WAIT_OBJECT_0;
    CloseHandle(FIconRemoval);
    FIconRemoval = nullptr;
  }
  if (shellAnswered && FTray && FTray->WindowExists()) SendMessageW(FTray->StoredHandle(), WM_CLOSE, 0, 0);
}

void TWidgetManager::WMDestroy(TWidgetMessage& message) {
  HWND window = StoredHandle();
  for (UINT_PTR timer : {TIMER_UPDATECHECK, TIMER_AUTOSAVE, TIMER_REAP}) KillTimer(window, timer);
  const DWORD started = FClosing ? FCloseStarted : GetTickCount();
  CloseWidgets(started + EXIT_WIDGET_WAIT_MS);
  if (FPingThread) {
    const DWORD deadline = started + EXIT_PING_WAIT_MS;
    while (!FPingThread->Finished() && Remaining(deadline) > 0) Sleep(CLOSE_STEP_MS);
  }
  LetRunOut(FPingThread);
  // The version file is not waited for.
  LetRunOut(FVersionThread);
  CloseTray(started + EXIT_PING_WAIT_MS);
  DestroyTrayMenu();
  TWinForm::WMDestroy(message);
  PostQuitMessage(0);
}
