#include "widget/MainForm.h"

#include <ctime>

#include "inet/InetUtil.h"
#include "ui/WidgetsUnit.h"
#include "widget/ApiKeys.h"
#include "widget/SourceTransfer.h"

namespace {
constexpr WPARAM kDragCommand = SC_MOVE | HTCAPTION;  // 0xF012: the platform's move loop
constexpr UINT kTopMostFlags = SWP_NOSIZE | SWP_NOMOVE | SWP_FRAMECHANGED;
constexpr UINT kLocalizedCommands[] = {CMD_PREFERENCES, CMD_REFRESH,       CMD_HIDE,
                                       CMD_REMOVE,      CMD_DETAILS,       CMD_HISTORY,
                                       CMD_EXPORTHISTORY};

TScreenRect WorkAreaFallback() {
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  return ScreenRectOf(work);
}

}  // namespace

// ---- construction and thread

TWidgetMainForm::TWidgetMainForm(TComponent* owner, const TWidgetHost& host, const TTrackerSettings& settings)
    : TThreadForm(owner), FHost(host), FHistory(this, FHost.History, FHost.Languages) {
  SetWidth(WIDGET_WIDTH);
  SetHeight(WIDGET_HEIGHT);
  SetParentWindow(GetDesktopWindow());
  OnMouseDown = [this](TComponent* s, int32_t k, int32_t x, int32_t y) { MouseDownHandler(s, k, x, y); };
  OnMouseEnter = [this](TComponent*, int32_t, int32_t, int32_t) { FHistory.MouseEntered(StoredHandle()); };
  MoveTo(settings.Left, settings.Top);
  FSettings = settings;
  // Out-of-range values from a hand-edited settings file would wrap in the byte-sized alpha.
  FSettings.TargetOpacity = std::clamp<int32_t>(settings.TargetOpacity, 0, 255);
  FPoller.CounterHost = FHost.CounterServer;
  FAlert = TSpikeAlert(settings.AlertAbove, settings.AlertQuiet, settings.Count);
  TakeKey(settings.ApiKey);
  SetOpacity(0);  // the first showing fades in from transparent
  PublishSettings();
}

// The thread ends while this is still a tracker widget, so that its own
// WMDestroy runs.
TWidgetMainForm::~TWidgetMainForm() {
  FinishThread(THREAD_FORM_FREE_WAIT_MS);
  if (FHost.Board) FHost.Board->Remove(this);
  if (FHost.KeyShares) FHost.KeyShares->Set(this, std::string());
}

void TWidgetMainForm::ListOnBoard() {
  if (FHost.Board) FHost.Board->Publish(this, TSnapRect{Left(), Top(), Left() + Width(), Top() + Height()}, false);
}

void TWidgetMainForm::ThreadStarted() {
  std::shared_ptr<TLife> life = Life();
  SetVisible(true);
  ShowWidget();
  if (!Freed(life)) Redraw();
}

// The tracker keeps its place in the list and the file; only its window is missing.
void TWidgetMainForm::ThreadFailed(const WideString& reason) {
  {
    std::lock_guard<std::mutex> guard(FSettingsLock);
    FStartFailure = reason;
  }
  if (FHost.ManagerWindow) PostMessageW(FHost.ManagerWindow, WM_WIDGETNOTSHOWN, 0, reinterpret_cast<LPARAM>(this));
}

WideString TWidgetMainForm::StartFailure() const {
  std::lock_guard<std::mutex> guard(FSettingsLock);
  return FStartFailure;
}

TTrackerSettings TWidgetMainForm::Settings() const {
  std::lock_guard<std::mutex> guard(FSettingsLock);
  return FPublished;
}

// Widget thread (or the owner's before Resume): every persisted field as it is now.
void TWidgetMainForm::PublishSettings() {
  TTrackerSettings s = FSettings;
  if (WindowExists()) {
    RECT r{};
    GetWindowRect(StoredHandle(), &r);
    s.Left = r.left;
    s.Top = r.top;
  } else {
    s.Left = Left();
    s.Top = Top();
  }
  std::lock_guard<std::mutex> guard(FSettingsLock);
  FPublished = std::move(s);
}

// The manager writes the settings file shortly after a user change.
void TWidgetMainForm::NotifyChanged() {
  HWND window = WindowHandle();
  if (FHost.ManagerWindow && window)
    PostMessageW(FHost.ManagerWindow, WM_TRACKERCHANGED, 0, reinterpret_cast<LPARAM>(window));
}

// ---- window creation and face

void TWidgetMainForm::DoCreate() {
  TThreadForm::DoCreate();
  FMenu.Reset(LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(MENU_WIDGET)));
  LocalizeMenu();
  SetAlwaysTop(FSettings.AlwaysTop);
  ApplyIgnoreMouse();
  FFace.Build(this, TFaceContent{FSettings.Title, FSettings.Count, FSettings.Previous, FSettings.BackColor},
              [this](TComponent* s, int32_t k, int32_t x, int32_t y) { MouseDownHandler(s, k, x, y); }, OnMouseEnter);
  FTip.Attach(StoredHandle());
  UpdateTip();
  ApplyDpi();
  // At its full size: a widget brought back lands whole inside the work area.
  KeepOnScreen();
  SetTimer(StoredHandle(), TIMER_START, static_cast<UINT>(std::max<int32_t>(FStartDelay, 0)), nullptr);
}

WideString TWidgetMainForm::Text(int32_t id, const WideChar* fallback) const {
  return TextOr(FHost.Languages.get(), id, fallback);
}

// A text missing from the table keeps the item's current text rather than blanking it.
void TWidgetMainForm::LocalizeMenu() {
  HMENU popup = FMenu ? GetSubMenu(FMenu.Get(), 0) : nullptr;
  if (!popup || !FHost.Languages) return;
  for (UINT id : kLocalizedCommands) {
    WideString text = FHost.Languages->GetText(static_cast<int32_t>(id));
    if (!text.empty()) SetMenuItemText(popup, id, text);
  }
}

// ---- properties

// A key written by hand, or stored before keys were bound to their origin, is
// used as it is and stored bound from now on, once the bound form is known to
// read back; one that cannot be decrypted stays stored as it was until a new
// one is given.
void TWidgetMainForm::TakeKey(const WideString& stored) {
  std::string plain;
  const TStoredKey state = ReadApiKey(stored, FSettings.Source, plain);
  FSettings.ApiKey = stored;
  if (state == TStoredKey::Plain || state == TStoredKey::Unbound) {
    const WideString bound = ProtectApiKey(plain, FSettings.Source);
    std::string check;
    if (ReadApiKey(bound, FSettings.Source, check) == TStoredKey::Protected && check == plain) FSettings.ApiKey = bound;
  }
  FPoller.Key = std::move(plain);
  FPoller.KeyUnreadable = state == TStoredKey::Unreadable;
  FKeyGroup = KeyGroup(FSettings.Source, FPoller.Key);
  FPoller.Group = FKeyGroup;
  if (FHost.KeyShares) {
    FHost.KeyShares->Set(this, FKeyGroup);
    FPoller.Budget = FHost.KeyShares;
  }
  UpdateSharing();
}

void TWidgetMainForm::UpdateSharing() {
  FPoller.Sharing = FHost.KeyShares ? FHost.KeyShares->Sharing(FKeyGroup) : 1;
}

WideString TWidgetMainForm::LastFailureText() const {
  const TPollFailure& failure = FPoller.LastFailure();
  if (failure.Kind == TFailure::None) return WideString();
  return FailureText(failure, FHost.Languages.get(), LocalClock(failure.PausedUntil));
}

void TWidgetMainForm::UpdateTip() {
  WideString tip;
  if (FSettings.Count < 0) {
    tip = LastFailureText();
  } else {
    TSourceKind kind;
    if (ParseSourceName(FSettings.Source.Source, kind) && kind->CountMeaning.Id != 0)
      tip = Text(kind->CountMeaning.Id, kind->CountMeaning.English);
  }
  FTip.SetText(tip);
}

void TWidgetMainForm::SetAlwaysTop(bool value) {
  CheckWindowThread();
  FSettings.AlwaysTop = value;
  PublishSettings();
  ApplyTopMost();
}

void TWidgetMainForm::ApplyTopMost() {
  if (!WindowExists()) return;
  const bool value = FSettings.AlwaysTop;
  SetWindowPos(StoredHandle(), value ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0, kTopMostFlags);
  SetForegroundWindow(StoredHandle());
  SetActiveWindow(StoredHandle());
  Redraw();
}

void TWidgetMainForm::ApplyIgnoreMouse() {
  if (!WindowExists()) return;
  DWORD style = ExStyle();
  if (FSettings.IgnoreMouse && !(style & WS_EX_TRANSPARENT))
    SetExStyle(style | WS_EX_TRANSPARENT);
  else if (!FSettings.IgnoreMouse && (style & WS_EX_TRANSPARENT))
    SetExStyle(style & ~static_cast<DWORD>(WS_EX_TRANSPARENT));
}

void TWidgetMainForm::SetShown(bool value) {
  CheckWindowThread();
  if (value)
    ShowWidget();
  else
    HideWidget();
}

// ---- fades

// Messages handled between the steps may start another fade, close the
// window or free the widget; a freed widget is never touched again.
void TWidgetMainForm::ShowWidget() {
  if (FClosing || !WindowExists()) return;
  Show();
  SetForegroundWindow(StoredHandle());
  SetActiveWindow(StoredHandle());
  Redraw();
  FShown = true;
  Publish();
  if (FMenu) CheckMenuItem(FMenu.Get(), CMD_HIDE, MF_BYCOMMAND | MF_UNCHECKED);
  FadeTo(static_cast<uint8_t>(FSettings.TargetOpacity), FADE_STEP, FADE_SLEEP_MS, Pump());
}

void TWidgetMainForm::HideWidget() {
  if (!WindowExists()) return;
  // From the first step of its fade-out the widget attracts nothing.
  FShown = false;
  Publish();
  if (FMenu) CheckMenuItem(FMenu.Get(), CMD_HIDE, MF_BYCOMMAND | MF_CHECKED);
  std::shared_ptr<TLife> life = Life();
  FHistory.Close(StoredHandle(), Pump());
  if (Freed(life) || !FadeTo(0, FADE_STEP, FADE_SLEEP_MS, Pump()) || Freed(life)) return;
  Hide();
  Publish();
}

// ---- mouse and menu

void TWidgetMainForm::MouseDownHandler(TComponent*, int32_t keys, int32_t, int32_t) {
  if (keys & MK_LBUTTON) {
    if (FSettings.PreventDragging && !(keys & MK_CONTROL)) return;
    std::shared_ptr<TLife> life = Life();
    const int32_t left = Left(), top = Top();
    FDragging = true;
    ReleaseCapture();
    SendMessageW(StoredHandle(), WM_SYSCOMMAND, kDragCommand, 0);  // returns when the move ends
    if (Freed(life)) return;
    FDragging = false;
    if (Left() != left || Top() != top) NotifyChanged();
  } else if (keys & MK_RBUTTON) {
    PopupMenu();
  }
}

// A context menu's owner must be the foreground window, or the menu may not
// open, or not close when the user clicks elsewhere.
void TWidgetMainForm::PopupMenu() {
  if (!FMenu) return;
  POINT cursor{};
  GetCursorPos(&cursor);
  SetForegroundWindow(StoredHandle());
  TrackPopupMenuEx(GetSubMenu(FMenu.Get(), 0), TPM_VERTICAL, cursor.x, cursor.y, StoredHandle(), nullptr);
  PostMessageW(StoredHandle(), WM_NULL, 0, 0);
}

// ---- messages

void TWidgetMainForm::WndProc(TWidgetMessage& message) {
  switch (message.Msg) {
    case WM_COMMAND: WMCommand(message); return;
    case WM_TIMER: WMTimer(message); return;
    case WM_COUNTRESPONSE: ApplyResponse(message); return;
    case WM_HIDEWIDGET: WMHideWidget(message); return;
    case WM_SHOWWIDGET: WMShowWidget(message); return;
    case WM_TOGGLETOPMOST: WMToggleTopMost(message); return;
    case WM_LANGUAGECHANGED: WMLanguageChanged(message); return;
    case WM_DISPLAYCHANGE: KeepOnScreen(); break;
    case WM_SETTINGCHANGE: WMSettingChange(message); break;
    case WM_KEYDOWN:
      if (message.WParam == VK_ESCAPE && FHistory.Showing()) FHistory.Close(StoredHandle(), Pump());
      break;
    default: break;
  }
  TThreadForm::WndProc(message);
}

// Only menu commands count: a click that a face control reports carries
// notification code 0 too, but names the control in lParam.
void TWidgetMainForm::WMCommand(TWidgetMessage& message) {
  if (HIWORD(message.WParam) != 0 || message.LParam != 0) return;
  HWND manager = FHost.ManagerWindow;
  switch (LOWORD(message.WParam)) {
    case CMD_ABOUT:
      // The About window belongs to the manager's thread.
      if (manager) PostMessageW(manager, WM_COMMAND, CMD_ABOUT, 0);
      break;
    case CMD_PREFERENCES:
      if (FSettingsDialog && IsWindow(FSettingsDialog)) {
        SetActiveWindow(FSettingsDialog);
        SetForegroundWindow(FSettingsDialog);
      } else if (FHost.Preferences) {
        FHost.Preferences(*this);  // modal; may free the widget: nothing follows
      }
      break;
    case CMD_REFRESH: StartPoll(); break;
    case CMD_HIDE: SetShown(!FShown); break;
    case CMD_DETAILS:
      // Bounded: a manager busy closing widgets must not hold this one for ever.
      if (manager)
        SendMessageTimeoutW(manager, WM_SHOWDETAILS, 0, reinterpret_cast<LPARAM>(StoredHandle()), SMTO_NORMAL,
                            WIDGET_DETAILS_WAIT_MS, nullptr);
      break;
    case CMD_EXIT:
      if (manager) PostMessageW(manager, WM_CLOSE, 0, 0);
      break;
    case CMD_REMOVE: ConfirmRemove(); break;
    case CMD_HISTORY: FHistory.Open(StoredHandle(), HistorySubject(), true, Pump()); break;
    case CMD_EXPORTHISTORY:
      ExportHistory(StoredHandle(), FHost.History.get(), HistorySubject(), FHost.Languages.get());
      break;
    default: break;
  }
}

void TWidgetMainForm::ConfirmRemove() {
  WideString text = Text(STR_REMOVE_QUESTION, u"This tracker will be deleted. Are you sure?");
  WideString caption = Text(STR_CONFIRM, u"Confirm");
  std::shared_ptr<TLife> life = Life();
  HWND window = StoredHandle();
  HWND manager = FHost.ManagerWindow;
  // The widget may be closed, even freed, while the question is open.
  int answer = MessageBoxW(window, WinStr(text), WinStr(caption), MB_ICONWARNING | MB_YESNO);
  if (answer == IDYES && manager && !Freed(life) && IsWindow(window))
    PostMessageW(manager, WM_REMOVEWIDGET, 0, reinterpret_cast<LPARAM>(window));
}

void TWidgetMainForm::WMTimer(TWidgetMessage& message) {
  if (message.WParam == TIMER_POLL)
    OnPollTimer();
  else if (message.WParam == TIMER_START)
    OnStartTimer();
  else if (message.WParam == TIMER_SLOT) {
    KillTimer(StoredHandle(), TIMER_SLOT);
    StartPoll();
  }
  else if (message.WParam == TIMER_HOVER)
    FHistory.Tick(StoredHandle(), HistorySubject(), Pump());
}

THistorySubject TWidgetMainForm::HistorySubject() const {
  return THistorySubject{FSettings.ID, FSettings.Title.empty() ? FSettings.ID : FSettings.Title};
}

std::function<bool()> TWidgetMainForm::Pump() {
  std::shared_ptr<TLife> life = Life();
  return [this, life] { return !Freed(life) && PumpOwnMessages(); };
}

void TWidgetMainForm::WMHideWidget(TWidgetMessage&) { HideWidget(); }
void TWidgetMainForm::WMShowWidget(TWidgetMessage&) { ShowWidget(); }
void TWidgetMainForm::WMToggleTopMost(TWidgetMessage&) {
  SetAlwaysTop(!FSettings.AlwaysTop);
  NotifyChanged();
}

void TWidgetMainForm::WMLanguageChanged(TWidgetMessage&) {
  LocalizeMenu();
  Redraw();
  if (FSettingsDialog && IsWindow(FSettingsDialog)) SendMessageW(FSettingsDialog, WM_LANGUAGECHANGED, 0, 0);
}

// A second close arriving while the fade-out pumps messages is dropped.
void TWidgetMainForm::WMClose(TWidgetMessage& message) {
  if (FClosing) return;
  FClosing = true;
  std::shared_ptr<TLife> life = Life();
  // An open context menu would keep its loop, and with it this thread, alive.
  EndMenu();
  if (FSettingsDialog && IsWindow(FSettingsDialog)) SendMessageW(FSettingsDialog, WM_CLOSE, 0, 0);
  if (Freed(life)) return;
  HideWidget();
  if (!Freed(life) && WindowExists()) TThreadForm::WMClose(message);
}

void TWidgetMainForm::WMDestroy(TWidgetMessage& message) {
  HWND window = StoredHandle();
  KillTimer(window, TIMER_START);
  KillTimer(window, TIMER_POLL);
  KillTimer(window, TIMER_SLOT);
  KillTimer(window, TIMER_HOVER);
  FHistory.Destroy();
  // A closing widget does not wait for its worker: a hung one is detached at
  // once and cleans up after itself.
  if (FWorker) FWorker->Release(0);
  FWorker.reset();
  FMenu.Reset();
  FClosing = true;
  if (FHost.Board) FHost.Board->Remove(this);
  TThreadForm::WMDestroy(message);
}

// ---- polling

TPollInput TWidgetMainForm::PollInput() const {
  return TPollInput{FSettings.ID, FSettings.Interval, FSettings.Enable, FSettings.Count, FSettings.Source};
}

void TWidgetMainForm::OnStartTimer() { Carry(FPoller.OnStartTimer(PollInput())); }
void TWidgetMainForm::OnPollTimer() {
  UpdateSharing();
  // A done message that never arrived (a full queue) must not leave the widget
  // busy for ever: a finished worker is taken up at the next tick.
  if (FWorker && FWorker->Finished()) {
    TWidgetMessage done{StoredHandle(), WM_COUNTRESPONSE, 0, 0, 0};
    ApplyResponse(done);
  }
  Carry(FPoller.OnPollTimer(PollInput()));
}
void TWidgetMainForm::StartPoll() { Carry(FPoller.StartPoll(PollInput())); }

bool TWidgetMainForm::Apply(const TTrackerEdit& edit) {
  CheckWindowThread();
  TTrackerSettings s = edit.Settings;
  if (!edit.TypedKey.empty()) {
    s.ApiKey = ProtectApiKey(edit.TypedKey, s.Source);
    if (s.ApiKey.empty()) return false;
  }
  const TSourceSettings& was = FSettings.Source;
  const bool sourceChanged = s.Source.Source != was.Source || s.Source.Server != was.Server ||
                             s.Source.Pointer != was.Pointer || s.Source.Header != was.Header ||
                             s.ApiKey != FSettings.ApiKey;
  const bool changed = s.ID != FSettings.ID || sourceChanged;
  if (FHost.History && s.ID != FSettings.ID) FHost.History->Rename(FSettings.ID, s.ID);
  // A new threshold starts a new episode from the count shown now.
  if (s.AlertAbove != FSettings.AlertAbove || s.AlertQuiet != FSettings.AlertQuiet)
    FAlert = TSpikeAlert(s.AlertAbove, s.AlertQuiet, FSettings.Count);
  // The window's own: its position, and the counts it shows.
  s.Left = FSettings.Left;
  s.Top = FSettings.Top;
  s.Count = FSettings.Count;
  s.Previous = FSettings.Previous;
  s.TargetOpacity = std::clamp<int32_t>(s.TargetOpacity, 0, 255);
  FSettings = std::move(s);
  TakeKey(FSettings.ApiKey);
  ApplyTopMost();
  ApplyIgnoreMouse();
  FFace.ShowTitle(FSettings.Title);
  PublishSettings();
  // A hidden widget keeps its alpha: it fades in from there when shown again.
  if (FShown) SetOpacity(static_cast<uint8_t>(FSettings.TargetOpacity));
  Redraw();
  if (changed) {
    // An answer still in flight is for what the tracker polled before: freed,
    // its worker never posts, and nothing of it reaches the new settings.
    if (FWorker || FPoller.Waiting()) FFace.ShowState(IMG_IDLE);
    FWorker.reset();
    FPoller.Restart();
    KillTimer(StoredHandle(), TIMER_SLOT);
    if (FSettings.Enable) OnPollTimer();
  }
  NotifyChanged();
  return true;
}

void TWidgetMainForm::ApplyResponse(TWidgetMessage&) {
  TTransferResult transfer;
  if (FWorker) {
    // Only the worker's own done message counts; it has finished by then.
    if (!FWorker->Finished()) return;
    transfer = TransferOf(*FWorker);
  }
  Carry(FPoller.ApplyTransfer(PollInput(), transfer));
}

bool TWidgetMainForm::StartWorker() {
  FWorker = StartSourceRequest(StoredHandle(), WM_COUNTRESPONSE, FPoller.Request());
  return FWorker != nullptr;
}

// The one place a poll's result reaches the window, in this order.
void TWidgetMainForm::Carry(const TPollResult& r) {
  HWND window = StoredHandle();
  if (r.StopStartTimer) KillTimer(window, TIMER_START);
  if (r.PollTimer.Kind == TTimerChange::Stop) KillTimer(window, TIMER_POLL);
  if (r.PollTimer.Kind == TTimerChange::Arm)
    SetTimer(window, TIMER_POLL, static_cast<UINT>(r.PollTimer.Ms + PollJitter(r.PollTimer.Ms)), nullptr);
  if (r.WaitMs > 0) SetTimer(window, TIMER_SLOT, static_cast<UINT>(r.WaitMs), nullptr);
  if (r.Light == TLight::Busy) FFace.ShowState(IMG_BUSY);
  if (r.SendRequest && !StartWorker()) return Carry(FPoller.RequestNotStarted());
  TAlertEvent alert = TAlertEvent::None;
  if (r.Counts) {
    FSettings.Count = r.Counts->Count;
    FSettings.Previous = r.Counts->Previous;
    FFace.ShowCounts(FSettings.Count, FSettings.Previous);
    UpdateTip();
    if (FHost.History) FHost.History->Add(FSettings.ID, UtcNow(), FSettings.Count);
    FHistory.Update(window, HistorySubject(), Pump());
    alert = FAlert.Poll(FSettings.Count, static_cast<int64_t>(GetTickCount64()), FPoller.PollInterval(PollInput()),
                        r.Offline);
    FFace.ShowAlert(FAlert.High());
  }
  if (r.Light == TLight::Idle) {
    FFace.ShowState(IMG_IDLE);
    FWorker.reset();
  }
  if (r.Counts) {
    PublishSettings();
    // The manager reads the snapshot for the tray's totals and the balloon's
    // count, so both are told only once it holds the new count.
    if (FHost.ManagerWindow) {
      PostMessageW(FHost.ManagerWindow, WM_COUNTSHOWN, 0, reinterpret_cast<LPARAM>(window));
      if (alert != TAlertEvent::None)
        PostMessageW(FHost.ManagerWindow, WM_TRACKERALERT, static_cast<WPARAM>(alert), reinterpret_cast<LPARAM>(window));
    }
  }
  if (r.Redraw) Redraw();
}

// ---- place on the screen

// The face at the form's DPI: the window, every control and every font.
void TWidgetMainForm::ApplyDpi() {
  SetWidth(Scaled(WIDGET_WIDTH));
  SetHeight(Scaled(WIDGET_HEIGHT));
  FFace.Place(Dpi());
}

// A widget whose window no longer meets any work area (a monitor gone, a
// resolution lowered, a settings file from another desk) comes back to the
// nearest one; a widget still in sight stays where the user left it.
void TWidgetMainForm::KeepOnScreen() {
  if (!WindowExists()) return;
  RECT r{};
  GetWindowRect(StoredHandle(), &r);
  TScreenRect bounds = ScreenRectOf(r);
  if (::KeepOnScreen(bounds, DisplayMonitors())) {
    MoveTo(bounds.Left, bounds.Top);
    NotifyChanged();
  }
}

void TWidgetMainForm::WMSettingChange(TWidgetMessage& message) {
  if (message.WParam == SPI_SETWORKAREA) KeepOnScreen();
}

// ---- snapping and the board

void TWidgetMainForm::WMWindowPosChanging(TWidgetMessage& message) {
  TThreadForm::WMWindowPosChanging(message);
  auto* pos = reinterpret_cast<WINDOWPOS*>(message.LParam);
  if (!pos || (pos->flags & SWP_NOMOVE)) return;
  std::vector<TSnapRect> others;
  if (FHost.Board) others = FHost.Board->VisibleOthers(this);
  int32_t x = pos->x, y = pos->y;
  // The work area of the monitor the widget is moving onto.
  const TScreenRect proposed{x, y, x + Width(), y + Height()};
  const TScreenRect work = WorkAreaOf(proposed, DisplayMonitors(), WorkAreaFallback());
  SnapPosition(x, y, Width(), Height(), others, work, Scaled(SNAP_DISTANCE));
  pos->x = x;
  pos->y = y;
}

void TWidgetMainForm::WMWindowPosChanged(TWidgetMessage& message) {
  TThreadForm::WMWindowPosChanged(message);
  Publish();
  if (!FClosing) PublishSettings();
}

// Own thread only; the window is gone from the board once it is being
// destroyed. Only a widget that shows, and is not fading out, attracts.
void TWidgetMainForm::Publish() {
  if (!FHost.Board || !WindowExists()) return;
  if (FClosing) {
    FHost.Board->Remove(this);
    return;
  }
  RECT r{};
  GetWindowRect(StoredHandle(), &r);
  FHost.Board->Publish(this, TSnapRect{r.left, r.top, r.right, r.bottom}, Visible() && FShown);
}
