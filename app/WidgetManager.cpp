#include "app/WidgetManager.h"

#include <algorithm>
#include <string>

#include "app/AboutForm.h"
#include "app/ExitSteps.h"
#include "app/StartNotices.h"
#include "app/TrayMenu.h"
#include "app/TrayNotices.h"
#include "app/VersionCheck.h"
#include "inet/InetUtil.h"
#include "text/WFold.h"
#include "ui/ThreadJobs.h"
#include "widget/ApiKeys.h"

TWidgetManager::TWidgetManager(TComponent* owner, std::shared_ptr<TWidgetLanguages> languages,
                               const TShellDialogs& dialogs, const WideString& title)
    : TWinForm(owner),
      FLanguages(std::move(languages)),
      FBoard(std::make_shared<TWidgetBoard>()),
      FDialogs(dialogs),
      FTitle(title),
      FSettingsFolder(GetSettingsFolder()),
      FStore(FSettingsFolder + SETTINGS_FILE_NAME, ProtectApiKey),
      FHistory(FSettingsFolder + u"\\" + HISTORY_FILE_NAME),
      FStarts([this](TWidgetMainForm* widget, bool keep) { StartTracker(widget, keep); }) {
  ForceDirectories(FSettingsFolder);
  FTaskbarCreated = RegisterWindowMessageW(WinStr(TASKBAR_CREATED_MESSAGE));
  SetCaption(MANAGER_CAPTION);
}

TWidgetManager::~TWidgetManager() {
  // Empty after a normal shutdown; here when the window never got as far.
  CloseWidgets(GetTickCount() + EXIT_WIDGET_WAIT_MS);
  LetRunOut(FPingThread);
  LetRunOut(FVersionThread);
}

// ---- window

void TWidgetManager::DoCreate() {
  TWinForm::DoCreate();
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
    case WM_TRACKERCHANGED:
      SettingsChanged();
      UpdateTrayTip();
      return;
    case WM_COUNTSHOWN: UpdateTrayTip(); return;
    case WM_TRACKERALERT: ShowAlert(message); return;
    case WM_THREADJOB: RunThreadJob(message.LParam); return;
    case WM_SETTINGSUNREADABLE: TellSettingsUnreadable(); return;
    case WM_KEYSUNREADABLE: TellKeys(message.WParam == KEYS_NOT_PROTECTED); return;
    case WM_WIDGETNOTSHOWN: WidgetNotShown(reinterpret_cast<const TWidgetMainForm*>(message.LParam)); return;
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
    case TIMER_NEXTSTART: FStarts.Next(StoredHandle()); break;
    case TIMER_HISTORY: FHistory.Save(); break;
    case TIMER_NOTSHOWN:
      KillTimer(StoredHandle(), TIMER_NOTSHOWN);
      TellNotShown(StoredHandle(), FLanguages.get(), FTitle, FNotShown);
      FNotShown.clear();
      break;
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
  const TTrackerSettings settings = widget->Settings();
  // Empty for a page that is no web address: the shell runs whatever it is
  // given, and a Page edited into the file must not start a program.
  const std::string dashboard = DashboardUrl(settings.Source, settings.ID, FCounterServer);
  if (dashboard.empty()) return;
  ShellExecuteW(StoredHandle(), L"open", WinStr(WideFromUtf8(dashboard)), nullptr, nullptr, SW_SHOW);
}

void TWidgetManager::WMRemoveWidget(TWidgetMessage& message) {
  RemoveWidgetByHandle(reinterpret_cast<HWND>(message.LParam));
  UpdateTrayTip();
}

// The widget may be gone by now; its snapshot names it and its count.
void TWidgetManager::ShowAlert(TWidgetMessage& message) {
  if (TWidgetMainForm* widget = FindWidgetByHandle(reinterpret_cast<HWND>(message.LParam)); widget && FTray)
    ShowAlertBalloon(*FTray, FLanguages.get(), widget->Settings(), static_cast<TAlertEvent>(message.WParam));
}

// Read from the widgets' snapshots: each widget's thread publishes its own.
void TWidgetManager::UpdateTrayTip() {
  std::vector<TTrackerSettings> trackers;
  for (const TTrackerSlot& slot : FWidgetList) trackers.push_back(slot.Widget->Settings());
  if (FTray) ShowTrayTotals(*FTray, FLanguages.get(), trackers, FTitle);
}

void TWidgetManager::TrayMouseUp(TComponent*, int32_t keys, int32_t, int32_t) {
  if (!(keys & MK_RBUTTON)) return;
  SetActiveWindow(StoredHandle());
  std::vector<TTrackerSettings> trackers;
  for (const TTrackerSlot& slot : FWidgetList) trackers.push_back(slot.Widget->Settings());
  PopupTrayMenu(StoredHandle(), *FLanguages, trackers);
}

// ---- commands

void TWidgetManager::ShowAbout() { ::ShowAbout(this, WindowExists() ? StoredHandle() : nullptr); }

void TWidgetManager::ShowAddDialog() {
  if (FDialogs.AddTracker) FDialogs.AddTracker(*this);
}

bool TWidgetManager::AddTracker(const TTrackerEdit& edit) {
  TTrackerSettings fresh = edit.Settings;
  if (!edit.TypedKey.empty()) {
    fresh.ApiKey = ProtectApiKey(edit.TypedKey, fresh.Source);
    if (fresh.ApiKey.empty()) return false;
  }
  CreateTracker(fresh.ID, fresh.Title, FIRST_START_DELAY, &fresh);
  // A new tracker is something the user saved: it reaches the file shortly.
  SettingsChanged();
  return true;
}

void TWidgetManager::SelectLanguageCommand(int index) {
  if (index < 0 || index >= FLanguages->Count()) return;
  const TWidgetLanguage* before = FLanguages->Current();
  FLanguages->SelectLanguage(FLanguages->Languages(index)->ResName());
  if (FAddDialog && IsWindow(FAddDialog)) SendMessageW(FAddDialog, WM_LANGUAGECHANGED, 0, 0);
  for (const TTrackerSlot& slot : FWidgetList)
    if (HWND window = slot.Widget->WindowHandle()) PostMessageW(window, WM_LANGUAGECHANGED, 0, 0);
  if (FLanguages->Current() != before) SettingsChanged();
  UpdateTrayTip();
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
  if (!FVersionThread) FVersionThread = StartGet(StoredHandle(), WM_VERSIONRESPONSE, MakerHost(), VERSION_PATH);
}

void TWidgetManager::StartUsagePing() {
  if (!FPingThread) FPingThread = StartGet(StoredHandle(), WM_PINGRESPONSE, FCounterServer, USAGE_PING_PATH);
}

void TWidgetManager::VersionResponse(TWidgetMessage& message) {
  if (!FVersionThread) return;
  std::unique_ptr<TInetThread> worker = std::move(FVersionThread);
  OfferNewerVersion(WindowExists() ? StoredHandle() : nullptr, &Languages(), VersionFileText(*worker));
}

// ---- widgets

TScreenRect TWidgetManager::WorkArea() const {
  RECT work{};
  if (auto* desktop = dynamic_cast<TWidgetDesktop*>(Owner()))
    desktop->WorkArea(work);
  else
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  return ScreenRectOf(work);
}

int TWidgetManager::CreateTracker(const WideString& id, const WideString& title, int32_t startDelay,
                                  const TTrackerSettings* fresh) {
  TTrackerSettings settings = FStore.Tracker(id, WorkArea());
  settings.Title = title;
  if (fresh) {
    settings.Source = fresh->Source;
    settings.ApiKey = fresh->ApiKey;
    if (fresh->Interval > 0) settings.Interval = fresh->Interval;
  }
  TWidgetMainForm* widget = NewTracker(settings, startDelay);
  if (!widget) return -1;
  FStarts.Add(WindowExists() ? StoredHandle() : nullptr, widget, false);
  return FindSlot(widget);
}

// Listed, on the board, with its key read; its window comes when its start is due.
TWidgetMainForm* TWidgetManager::NewTracker(const TTrackerSettings& settings, int32_t startDelay) {
  TWidgetMainForm* widget = nullptr;
  try {
    TWidgetHost host;
    host.ManagerWindow = StoredHandle();
    host.Languages = FLanguages;
    host.Board = FBoard;
    host.CounterServer = FCounterServer;
    host.KeyShares = FKeyShares;
    host.History = FHistory.Book();
    host.Preferences = FDialogs.Preferences;
    const HWND manager = StoredHandle();
    host.ClaimId = [this, manager](const TWidgetMainForm& w, const WideString& newId) {
      bool agreed = false;
      // Bounded: a manager busy starting fifty trackers is no reason to wait for ever.
      return SendThreadJob(manager, WM_THREADJOB, [&] { agreed = ClaimTrackerId(&w, newId); }, CLAIM_ID_WAIT_MS) &&
             agreed;
    };
    widget = new TWidgetMainForm(this, host, settings);
    const WideString name = TrackerComponentName(settings.ID);
    if (!name.empty() && !FindComponent(name)) widget->SetName(name);
    widget->SetParentWindow(GetDesktopWindow());
    widget->SetStartDelay(startDelay);
    const int index = AddWidget(widget);
    FWidgetList[static_cast<size_t>(index)].SectionId = settings.ID;
    widget->ListOnBoard();
    return widget;
  } catch (...) {
    NotShown(TrackerLabel(settings.Title, settings.ID), CaughtErrorText());
    DropFailedWidget(widget);
    return nullptr;
  }
}

// A tracker whose thread cannot start goes from the list; keep: its place in the file stays.
void TWidgetManager::StartTracker(TWidgetMainForm* widget, bool keep) {
  const TTrackerSettings settings = widget->Settings();
  try {
    widget->Resume();
  } catch (...) {
    NotShown(TrackerLabel(settings.Title, settings.ID), CaughtErrorText());
    DropFailedWidget(widget);
    if (keep) FStore.Keep(settings.ID);
  }
}

int TWidgetManager::FindSlot(const TWidgetMainForm* widget) const {
  for (size_t i = 0; i < FWidgetList.size(); ++i)
    if (FWidgetList[i].Widget == widget) return static_cast<int>(i);
  return -1;
}

int TWidgetManager::DropFailedWidget(TWidgetMainForm* widget) {
  if (widget) {
    auto it = std::find_if(FWidgetList.begin(), FWidgetList.end(), [&](const TTrackerSlot& s) { return s.Widget == widget; });
    if (it != FWidgetList.end()) FWidgetList.erase(it);
    delete widget;
  }
  return -1;
}

// Its thread ended without a window; the tracker stays listed, so the file keeps it.
void TWidgetManager::WidgetNotShown(const TWidgetMainForm* widget) {
  for (const TTrackerSlot& slot : FWidgetList)
    if (slot.Widget == widget) {
      const TTrackerSettings settings = widget->Settings();
      NotShown(TrackerLabel(settings.Title, settings.ID), widget->StartFailure());
    }
}

// Told in one box for every tracker that fails within a moment of another.
void TWidgetManager::NotShown(const WideString& tracker, const WideString& reason) {
  FNotShown.push_back(tracker + u": " + reason);
  if (WindowExists()) SetTimer(StoredHandle(), TIMER_NOTSHOWN, NOTSHOWN_DELAY_MS, nullptr);
}

int TWidgetManager::AddWidget(TWidgetMainForm* widget) {
  for (const TTrackerSlot& slot : FWidgetList)
    if (slot.Widget == widget) return -1;
  FWidgetList.push_back(TTrackerSlot{widget, WideString(), WideString()});
  return static_cast<int>(FWidgetList.size()) - 1;
}

int TWidgetManager::RemoveWidget(TWidgetMainForm* widget) {
  auto it = std::find_if(FWidgetList.begin(), FWidgetList.end(), [&](const TTrackerSlot& s) { return s.Widget == widget; });
  if (it == FWidgetList.end()) return -1;
  const int index = static_cast<int>(it - FWidgetList.begin());
  const TTrackerEntry removed{widget->Settings(), it->SectionId};
  FWidgetList.erase(it);
  FStarts.Drop(widget);
  FStore.Remove(removed, Entries());
  FHistory.Book()->Forget(removed.Settings.ID);
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
    // One removed before its turn to start has no thread to wait for.
    if (!(*it)->ThreadRunning()) {
      // A poll that ended after the removal added to the history again.
      FHistory.Book()->Forget((*it)->Settings().ID);
      delete *it;
      it = FRetired.erase(it);
    } else {
      ++it;
    }
  }
  if (FRetired.empty()) KillTimer(StoredHandle(), TIMER_REAP);
}

TWidgetMainForm* TWidgetManager::FindWidgetByHandle(HWND window) const {
  if (!window) return nullptr;
  for (const TTrackerSlot& slot : FWidgetList)
    if (slot.Widget->WindowHandle() == window) return slot.Widget;
  return nullptr;
}

std::vector<WideString> TWidgetManager::TakenIds() const {
  std::vector<WideString> ids = FStore.Kept();
  for (const TTrackerSlot& slot : FWidgetList) {
    ids.push_back(slot.Widget->Settings().ID);
    if (!slot.ClaimedId.empty()) ids.push_back(slot.ClaimedId);
  }
  return ids;
}

bool TWidgetManager::ClaimTrackerId(const TWidgetMainForm* widget, const WideString& id) {
  auto own = std::find_if(FWidgetList.begin(), FWidgetList.end(), [&](const TTrackerSlot& s) { return s.Widget == widget; });
  if (own == FWidgetList.end() || FClosing) return false;
  if (id.empty()) return own->ClaimedId.clear(), true;
  std::vector<WideString> others = FStore.Kept();
  for (const TTrackerSlot& slot : FWidgetList) {
    if (slot.Widget == widget) continue;
    others.push_back(slot.Widget->Settings().ID);
    if (!slot.ClaimedId.empty()) others.push_back(slot.ClaimedId);
  }
  if (CheckTrackerId(id, others) != TTrackerIdCheck::Ok) return false;
  own->ClaimedId = id;
  return true;
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
  FStore.Load(LocalStamp());
  FHistory.Load(LocalStamp());
  FLanguages->SelectLanguage(FStore.Language(LANGUAGE_EN_US));
  FUnreadableKeys.clear();
  const TScreenRect work = WorkArea();
  for (const TTrackerStart& start : FStore.ToCreate()) {
    // Each section is read once, and each key decrypted once: by its widget,
    // which says whether it could. A tracker that cannot start keeps its place
    // in the file.
    TWidgetMainForm* widget = NewTracker(FStore.Tracker(start.ID, work), start.StartDelay);
    if (!widget) {
      FStore.Keep(start.ID);
      continue;
    }
    if (widget->KeyUnreadable()) FUnreadableKeys.push_back(TrackerLabel(widget->Title(), start.ID));
    FStarts.Add(WindowExists() ? StoredHandle() : nullptr, widget, true);
  }
  // Told once the message loop runs, so that nothing waits on the user's answer.
  const bool storeTold = FStore.State() == TSettingsState::KeptAside || FStore.State() == TSettingsState::Blocked;
  if ((storeTold || FHistory.Blocked()) && WindowExists()) PostMessageW(StoredHandle(), WM_SETTINGSUNREADABLE, 0, 0);
  if (!FUnreadableKeys.empty() && WindowExists()) PostMessageW(StoredHandle(), WM_KEYSUNREADABLE, 0, 0);
  // A key written by hand leaves the file at once, encrypted.
  if (!FStore.PlainKeySections().empty()) SettingsChanged();
  // Only a file read in full says which trackers are gone; a kept or blocked one lists none.
  if (FStore.State() == TSettingsState::Read) FHistory.Retain(TakenIds());
  if (WindowExists()) SetTimer(StoredHandle(), TIMER_HISTORY, HISTORY_SAVE_INTERVAL_MS, nullptr);
  UpdateTrayTip();
  if (FirstRun()) ShowAddDialog();
}

void TWidgetManager::TellSettingsUnreadable() {
  WideString text;
  if (FStore.State() == TSettingsState::KeptAside) {
    text = Filled(FLanguages->GetText(STR_SETTINGS_KEPT_ASIDE), {WideExpandFileName(FStore.KeptFile())});
  } else if (FStore.State() == TSettingsState::Blocked) {
    text = Filled(FLanguages->GetText(STR_SETTINGS_UNREACHABLE), {SettingsFileName(), FStore.LoadError()});
    // The same reason would be all that Exit could tell.
    FSaveFailureTold = true;
  }
  // One box for both files: a folder out of reach keeps both away.
  if (FHistory.Blocked()) text += (text.empty() ? u"" : u"\n\n") + FHistory.Unreadable(*FLanguages);
  MessageBoxW(StoredHandle(), WinStr(text), WinStr(FTitle), MB_OK | MB_ICONWARNING | MB_SETFOREGROUND);
}

std::vector<TTrackerEntry> TWidgetManager::Entries() const {
  std::vector<TTrackerEntry> entries;
  for (const TTrackerSlot& slot : FWidgetList) entries.push_back(TTrackerEntry{slot.Widget->Settings(), slot.SectionId});
  return entries;
}

bool TWidgetManager::SaveSettings() {
  std::vector<TTrackerEntry> entries = Entries();
  const TWidgetLanguage* current = FLanguages->Current();
  const bool saved = FStore.Save(current ? current->ResName() : WideString(LANGUAGE_EN_US), entries);
  for (size_t i = 0; i < entries.size(); ++i) {
    FWidgetList[i].SectionId = entries[i].Section;
    if (FWidgetList[i].ClaimedId == entries[i].Settings.ID) FWidgetList[i].ClaimedId.clear();
  }
  // Keys a save could not encrypt are told once, after the save that left them.
  if (saved && !FPlainKeysTold && !FStore.PlainKeySections().empty() && WindowExists())
    FPlainKeysTold = PostMessageW(StoredHandle(), WM_KEYSUNREADABLE, KEYS_NOT_PROTECTED, 0);
  return saved;
}

void TWidgetManager::SettingsChanged() {
  if (!FClosing && WindowExists()) SetTimer(StoredHandle(), TIMER_AUTOSAVE, AUTOSAVE_DELAY_MS, nullptr);
}

void TWidgetManager::TellSaveFailed() {
  if (FStore.SaveError().empty() || FSaveFailureTold) return;
  FSaveFailureTold = true;
  const WideString text = Filled(FLanguages->GetText(STR_SETTINGS_NOT_SAVED), {FStore.SaveError()});
  MessageBoxW(nullptr, WinStr(text), WinStr(FLanguages->GetText(STR_ERROR_CAPTION)),
              MB_OK | MB_ICONERROR | MB_SETFOREGROUND | MB_TOPMOST);
}

// The process may end any time after this; a failed write is told now, once
// the log-off has its answer and is not held up by the box.
void TWidgetManager::EndSession() {
  KillTimer(StoredHandle(), TIMER_AUTOSAVE);
  FHistory.Save();
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
  FStarts.Clear(StoredHandle());
  if (FTray && FTray->ShowIcon()) {
    FIconRemoval.Reset(StartIconRemoval(FTray->IconData()));
    if (!FIconRemoval) FTray->SetShowIcon(false);
  }
  // Written before anything else can go wrong; a failure is told once the
  // widgets are gone. WMDestroy, which follows at once, seals the store.
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
  if (!CloseAll(widgets, deadline, CLOSE_STEP_MS)) FAbandoned = true;
}

// The tray window deletes its icon as it goes, which would wait behind an
// unfinished removal: if the shell has not answered by the deadline, the window
// is left to the tray object, which unbinds it before destroying it.
void TWidgetManager::CloseTray(DWORD deadline) {
  bool shellAnswered = true;
  if (FIconRemoval) {
    shellAnswered = WaitForSingleObject(FIconRemoval.Get(), Remaining(deadline)) == WAIT_OBJECT_0;
    FIconRemoval.Reset();
  }
  if (shellAnswered && FTray && FTray->WindowExists()) SendMessageW(FTray->StoredHandle(), WM_CLOSE, 0, 0);
}

void TWidgetManager::WMDestroy(TWidgetMessage& message) {
  HWND window = StoredHandle();
  for (UINT_PTR timer : {TIMER_UPDATECHECK, TIMER_AUTOSAVE, TIMER_REAP, TIMER_HISTORY}) KillTimer(window, timer);
  FStarts.Clear(window);
  // The list empties below as the widgets go, while sent messages (a
  // log-off) are answered: nothing may write the file from now on.
  FStore.Seal();
  const DWORD started = FClosing ? FCloseStarted : GetTickCount();
  CloseWidgets(started + EXIT_WIDGET_WAIT_MS);
  // After the widgets, so that their last polls are in it.
  FHistory.Save();
  if (FPingThread) {
    const DWORD deadline = started + EXIT_PING_WAIT_MS;
    while (!FPingThread->Finished() && Remaining(deadline) > 0) Sleep(CLOSE_STEP_MS);
  }
  LetRunOut(FPingThread);
  // The version file is not waited for.
  LetRunOut(FVersionThread);
  CloseTray(started + EXIT_PING_WAIT_MS);
  TWinForm::WMDestroy(message);
  PostQuitMessage(0);
}
