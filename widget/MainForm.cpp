#include "widget/MainForm.h"

#include <commctrl.h>
#include <objbase.h>

#include "inet/InetUtil.h"

namespace {
constexpr WPARAM kDragCommand = SC_MOVE | HTCAPTION;  // 0xF012: the platform's move loop
constexpr UINT kTopMostFlags = SWP_NOSIZE | SWP_NOMOVE | SWP_FRAMECHANGED;
constexpr UINT kLocalizedCommands[] = {CMD_PREFERENCES, CMD_REFRESH, CMD_HIDE, CMD_REMOVE, CMD_DETAILS};

constexpr const char kFaceFont[] = "Trebuchet MS";
constexpr TWidgetColor kWhiteText = 0xFFFFFFFF;
constexpr TWidgetColor kGreyText = 0xFFA0A0A0;
constexpr int32_t kCountFontSize = 18, kPreviousFontSize = 9, kTitleFontSize = 8;
constexpr int32_t kTrendSize = 12, kStateSize = 6;

constexpr const WideChar kAboutText[] = u"Orvanta Desktop Widget v1.50\r\n\r\nMade by Velmora.";

std::string Narrow(const WideString& ascii) { return Utf8FromWide(ascii); }

void StyleFont(TWidgetControl* control, int32_t size, TWidgetColor color, int32_t alignment) {
  TWidgetFont* font = control->Canvas()->Font();
  font->SetName(kFaceFont);
  font->SetSize(size);
  font->SetStyle(0);
  font->SetColor(color);
  font->Format()->SetAlignment(alignment);
  font->Format()->SetLineAlignment(wsaCenter);
}
}  // namespace

TTrackerSettings DefaultTrackerSettings() {
  TTrackerSettings s;
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  s.Left = work.right - WIDGET_WIDTH;
  s.Top = work.bottom - WIDGET_HEIGHT;
  return s;
}

// ---- construction and thread

TWidgetMainForm::TWidgetMainForm(TComponent* owner, const TWidgetHost& host, const TTrackerSettings& settings)
    : TWidgetForm(owner), FHost(host) {
  SetWidth(WIDGET_WIDTH);
  SetHeight(WIDGET_HEIGHT);
  SetParentWindow(GetDesktopWindow());
  OnMouseDown = [this](TComponent* s, int32_t k, int32_t x, int32_t y) { MouseDownHandler(s, k, x, y); };
  MoveTo(settings.Left, settings.Top);
  FAlwaysTop = settings.AlwaysTop;
  FIgnoreMouse = settings.IgnoreMouse;
  FPreventDragging = settings.PreventDragging;
  FTitle = settings.Title;
  FPoller.ID = settings.ID;
  FPoller.Interval = settings.Interval;
  FPoller.Count = settings.Count;
  FPoller.Previous = settings.Previous;
  FPoller.Enable = settings.Enable;
  SetTargetOpacity(settings.TargetOpacity);
  FBackColor = settings.BackColor;
  SetOpacity(0);  // the first showing fades in from transparent
}

TWidgetMainForm::~TWidgetMainForm() {
  Stop();
  if (FHost.Board) FHost.Board->Remove(this);
}

void TWidgetMainForm::ListOnBoard() {
  if (FHost.Board) FHost.Board->Publish(this, TSnapRect{Left(), Top(), Left() + Width(), Top() + Height()}, false);
}

void TWidgetMainForm::Resume() {
  if (FThread.joinable()) return;
  FThread = std::thread([this] { ThreadMain(); });
}

void TWidgetMainForm::ThreadMain() {
  try {
    EnsureHandle();
  } catch (...) {
    // No window: the thread ends without showing anything.
  }
  HWND window = WindowExists() ? StoredHandle() : nullptr;
  if (!window) {
    FThreadDone = true;
    return;
  }
  // Published before the stop flag is read; Stop does the reverse, so one of
  // the two always sees the other.
  FThreadWindow = window;
  InitCommonControls();
  // Widget threads start after others exist, so COM gets the multithreaded model.
  HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  if (FStopRequested) PostMessageW(window, WM_CLOSE, 0, 0);
  try {
    SetVisible(true);
    ShowWidget();
    Redraw();
  } catch (...) {
  }
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) != 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  if (SUCCEEDED(com)) CoUninitialize();
  FThreadDone = true;
}

void TWidgetMainForm::Stop() {
  if (!FThread.joinable() || FThread.get_id() == std::this_thread::get_id()) return;
  FStopRequested = true;
  HWND window = FThreadWindow;
  // Returns once the widget has faded out and destroyed its window.
  if (window && IsWindow(window)) SendMessageW(window, WM_CLOSE, 0, 0);
  FThread.join();
}

void TWidgetMainForm::Invoke(const std::function<void()>& fn) {
  HWND window = FThreadWindow;
  if (window && IsWindow(window) && GetWindowThreadProcessId(window, nullptr) != GetCurrentThreadId())
    SendMessageW(window, WM_WIDGETINVOKE, 0, reinterpret_cast<LPARAM>(&fn));
  else
    fn();
}

TTrackerSettings TWidgetMainForm::Settings() const {
  TTrackerSettings s;
  s.Left = Left();
  s.Top = Top();
  s.AlwaysTop = FAlwaysTop;
  s.IgnoreMouse = FIgnoreMouse;
  s.PreventDragging = FPreventDragging;
  s.Title = FTitle;
  s.ID = FPoller.ID;
  s.Interval = FPoller.Interval;
  s.Count = FPoller.Count;
  s.Previous = FPoller.Previous;
  s.TargetOpacity = FTargetOpacity;
  s.Enable = FPoller.Enable;
  s.BackColor = FBackColor;
  return s;
}

// ---- window creation and face

void TWidgetMainForm::DoCreate() {
  TWidgetForm::DoCreate();
  FMenu = LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(MENU_WIDGET));
  LocalizeMenu();
  SetAlwaysTop(FAlwaysTop);
  SetIgnoreMouse(FIgnoreMouse);
  BuildFace();
  SetTimer(StoredHandle(), TIMER_START, static_cast<UINT>(std::max<int32_t>(FStartDelay, 0)), nullptr);
}

// Creation order is stacking order: the first control lies at the bottom.
void TWidgetMainForm::BuildFace() {
  auto place = [this](TWidgetControl* c, int32_t x, int32_t y, int32_t w, int32_t h) {
    c->SetParent(this);
    c->SetWidth(w);
    c->SetHeight(h);
    c->MoveTo(x, y);
  };
  auto handler = [this](TComponent* s, int32_t k, int32_t x, int32_t y) { MouseDownHandler(s, k, x, y); };
  HCURSOR hand = LoadCursorW(nullptr, IDC_HAND);

  ShadowImage = new TWidgetImageControl(this);
  place(ShadowImage, 0, 0, WIDGET_WIDTH, WIDGET_HEIGHT);
  ShadowImage->SetImageName(IMG_SHADOW);
  ShadowImage->Tint(OpaqueArgbOf(FBackColor));
  ShadowImage->SetOpacity(255);
  ShadowImage->OnMouseDown = handler;
  ShadowImage->SetVisible(true);

  CountLabel = new TWidgetLabel(this);
  place(CountLabel, 0, WIDGET_HEIGHT - 29 - 20, WIDGET_WIDTH, 29);
  CountLabel->SetCaption(CountText(FPoller.Count));
  StyleFont(CountLabel, kCountFontSize, kWhiteText, wsaCenter);
  CountLabel->SetCursor(hand);
  CountLabel->SetEnabled(false);
  CountLabel->SetVisible(true);

  PreviousLabel = new TWidgetLabel(this);
  place(PreviousLabel, 8, WIDGET_HEIGHT - 14 - 8, 70, 14);
  PreviousLabel->SetCaption(CountText(FPoller.Previous));
  StyleFont(PreviousLabel, kPreviousFontSize, kGreyText, wsaNear);
  PreviousLabel->SetCursor(hand);
  PreviousLabel->SetEnabled(false);
  PreviousLabel->SetVisible(true);

  TrendImage = new TWidgetImageControl(this);
  place(TrendImage, WIDGET_WIDTH - kTrendSize - 4, 23, kTrendSize, kTrendSize);
  TrendImage->SetImageName(Narrow(TrendImageName(FPoller.Previous, FPoller.Count)));
  TrendImage->SetEnabled(false);
  TrendImage->SetVisible(true);

  OverlayImage = new TWidgetImageControl(this);
  place(OverlayImage, 0, 0, WIDGET_WIDTH, WIDGET_HEIGHT);
  OverlayImage->SetImageName(IMG_OVERLAY);
  OverlayImage->OnMouseDown = handler;
  OverlayImage->SetEnabled(false);
  OverlayImage->SetVisible(true);

  TitleLabel = new TWidgetLabel(this);
  place(TitleLabel, 0, 0, WIDGET_WIDTH, 18);
  TitleLabel->SetCaption(FTitle);
  StyleFont(TitleLabel, kTitleFontSize, kWhiteText, wsaCenter);
  TitleLabel->SetEnabled(false);
  TitleLabel->SetVisible(true);

  StateImage = new TWidgetImageControl(this);
  place(StateImage, WIDGET_WIDTH - 2 * kStateSize, WIDGET_HEIGHT - 2 * kStateSize - 1, kStateSize, kStateSize);
  StateImage->SetImageName(Narrow(IMG_IDLE));
  StateImage->SetEnabled(false);
  StateImage->SetVisible(true);
}

WideString TWidgetMainForm::Text(int32_t id, const WideChar* fallback) const {
  WideString text = FHost.Languages ? FHost.Languages->GetText(id) : WideString();
  return text.empty() ? WideString(fallback) : text;
}

// A text missing from the table keeps the item's current text rather than blanking it.
void TWidgetMainForm::LocalizeMenu() {
  HMENU popup = FMenu ? GetSubMenu(FMenu, 0) : nullptr;
  if (!popup || !FHost.Languages) return;
  for (UINT id : kLocalizedCommands) {
    WideString text = FHost.Languages->GetText(static_cast<int32_t>(id));
    if (text.empty()) continue;
    MENUITEMINFOW item{};
    item.cbSize = sizeof item;
    item.fMask = MIIM_STRING;
    item.dwTypeData = const_cast<wchar_t*>(WinStr(text));
    item.cch = static_cast<UINT>(text.size());
    SetMenuItemInfoW(popup, id, FALSE, &item);
  }
}

// ---- properties

void TWidgetMainForm::SetTitle(const WideString& value) {
  FTitle = value;
  if (TitleLabel) TitleLabel->SetCaption(value);
}

void TWidgetMainForm::SetAlwaysTop(bool value) {
  FAlwaysTop = value;
  if (!WindowExists()) return;
  SetWindowPos(StoredHandle(), value ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0, kTopMostFlags);
  SetForegroundWindow(StoredHandle());
  SetActiveWindow(StoredHandle());
  Redraw();
}

void TWidgetMainForm::SetIgnoreMouse(bool value) {
  FIgnoreMouse = value;
  if (!WindowExists()) return;
  DWORD style = ExStyle();
  if (value && !(style & WS_EX_TRANSPARENT))
    SetExStyle(style | WS_EX_TRANSPARENT);
  else if (!value && (style & WS_EX_TRANSPARENT))
    SetExStyle(style & ~static_cast<DWORD>(WS_EX_TRANSPARENT));
}

// Out-of-range values from a hand-edited settings file would wrap in the byte-sized alpha.
void TWidgetMainForm::SetTargetOpacity(int32_t value) { FTargetOpacity = std::clamp<int32_t>(value, 0, 255); }

void TWidgetMainForm::SetShown(bool value) {
  if (value)
    ShowWidget();
  else
    HideWidget();
}

// ---- fades

bool TWidgetMainForm::PumpMessages() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      // The thread's loop must still see it, or the thread would never end.
      PostQuitMessage(static_cast<int>(msg.wParam));
      return false;
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return WindowExists();
}

void TWidgetMainForm::FadeTo(uint8_t opacity) {
  SetOpacity(opacity);
  UpdateLayer();
  if (OnFadeStep) OnFadeStep(this);
}

bool TWidgetMainForm::FadeGoesOn(uint32_t generation) { return generation == FFadeGeneration && WindowExists(); }

void TWidgetMainForm::ShowWidget() {
  if (FClosing || !WindowExists()) return;
  const uint32_t generation = ++FFadeGeneration;
  Show();
  SetForegroundWindow(StoredHandle());
  SetActiveWindow(StoredHandle());
  Redraw();
  FShown = true;
  if (FMenu) CheckMenuItem(FMenu, CMD_HIDE, MF_BYCOMMAND | MF_UNCHECKED);
  while (Opacity() < FTargetOpacity) {
    if (Opacity() + FADE_STEP >= FTargetOpacity) {
      FadeTo(static_cast<uint8_t>(FTargetOpacity));
      break;
    }
    FadeTo(static_cast<uint8_t>(Opacity() + FADE_STEP));
    // Messages handled here may start another fade or close the window.
    if (!PumpMessages() || !FadeGoesOn(generation)) return;
    Sleep(FADE_SLEEP_MS);
  }
}

void TWidgetMainForm::HideWidget() {
  if (!WindowExists()) return;
  const uint32_t generation = ++FFadeGeneration;
  FShown = false;
  if (FMenu) CheckMenuItem(FMenu, CMD_HIDE, MF_BYCOMMAND | MF_CHECKED);
  while (Opacity() > 0) {
    if (Opacity() <= FADE_STEP) {
      FadeTo(0);
      break;
    }
    FadeTo(static_cast<uint8_t>(Opacity() - FADE_STEP));
    if (!PumpMessages() || !FadeGoesOn(generation)) return;
    Sleep(FADE_SLEEP_MS);
  }
  Hide();
}

// ---- mouse and menu

void TWidgetMainForm::MouseDownHandler(TComponent*, int32_t keys, int32_t, int32_t) {
  if (keys & MK_LBUTTON) {
    if (FPreventDragging && !(keys & MK_CONTROL)) return;
    FDragging = true;
    ReleaseCapture();
    SendMessageW(StoredHandle(), WM_SYSCOMMAND, kDragCommand, 0);  // returns when the move ends
    FDragging = false;
  } else if (keys & MK_RBUTTON) {
    PopupMenu();
  }
}

void TWidgetMainForm::PopupMenu() {
  if (!FMenu) return;
  POINT cursor{};
  GetCursorPos(&cursor);
  TrackPopupMenuEx(GetSubMenu(FMenu, 0), TPM_VERTICAL, cursor.x, cursor.y, StoredHandle(), nullptr);
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
    case WM_WIDGETINVOKE:
      if (message.LParam) (*reinterpret_cast<const std::function<void()>*>(message.LParam))();
      return;
    default: TWidgetForm::WndProc(message);
  }
}

// Only menu commands count: a click that a face control reports carries
// notification code 0 too, but names the control in lParam.
void TWidgetMainForm::WMCommand(TWidgetMessage& message) {
  if (HIWORD(message.WParam) != 0 || message.LParam != 0) return;
  HWND manager = FHost.ManagerWindow;
  switch (LOWORD(message.WParam)) {
    case CMD_ABOUT: ShowAbout(); break;
    case CMD_PREFERENCES:
      if (FSettingsDialog && IsWindow(FSettingsDialog)) {
        SetActiveWindow(FSettingsDialog);
        SetForegroundWindow(FSettingsDialog);
      } else if (FHost.Preferences) {
        FHost.Preferences(*this);
      }
      break;
    case CMD_REFRESH: StartPoll(); break;
    case CMD_HIDE: SetShown(!FShown); break;
    case CMD_DETAILS:
      if (manager) SendMessageW(manager, WM_SHOWDETAILS, 0, reinterpret_cast<LPARAM>(StoredHandle()));
      break;
    case CMD_EXIT:
      if (manager) PostMessageW(manager, WM_CLOSE, 0, 0);
      break;
    case CMD_REMOVE: ConfirmRemove(); break;
    default: break;
  }
}

void TWidgetMainForm::ShowAbout() {
  WideString caption = Text(static_cast<int32_t>(CMD_ABOUT), u"&About");
  if (!caption.empty() && caption[0] == u'&') caption.erase(0, 1);
  MessageBoxW(StoredHandle(), WinStr(WideString(kAboutText)), WinStr(caption), MB_OK);
}

void TWidgetMainForm::ConfirmRemove() {
  WideString text = Text(STR_REMOVE_QUESTION, u"This tracker will be deleted. Are you sure?");
  WideString caption = Text(STR_CONFIRM, u"Confirm");
  if (MessageBoxW(StoredHandle(), WinStr(text), WinStr(caption), MB_ICONWARNING | MB_YESNO) == IDYES &&
      FHost.ManagerWindow)
    PostMessageW(FHost.ManagerWindow, WM_REMOVEWIDGET, 0, reinterpret_cast<LPARAM>(StoredHandle()));
}

void TWidgetMainForm::WMTimer(TWidgetMessage& message) {
  if (message.WParam == TIMER_POLL)
    OnPollTimer();
  else if (message.WParam == TIMER_START)
    OnStartTimer();
}

void TWidgetMainForm::WMHideWidget(TWidgetMessage&) { HideWidget(); }
void TWidgetMainForm::WMShowWidget(TWidgetMessage&) { ShowWidget(); }
void TWidgetMainForm::WMToggleTopMost(TWidgetMessage&) { SetAlwaysTop(!FAlwaysTop); }

void TWidgetMainForm::WMLanguageChanged(TWidgetMessage&) {
  LocalizeMenu();
  Redraw();
  if (FSettingsDialog && IsWindow(FSettingsDialog)) SendMessageW(FSettingsDialog, WM_LANGUAGECHANGED, 0, 0);
}

// A second close arriving while the fade-out pumps messages is dropped.
void TWidgetMainForm::WMClose(TWidgetMessage& message) {
  if (FClosing) return;
  FClosing = true;
  if (FSettingsDialog && IsWindow(FSettingsDialog)) SendMessageW(FSettingsDialog, WM_CLOSE, 0, 0);
  HideWidget();
  if (WindowExists()) TWidgetForm::WMClose(message);
}

void TWidgetMainForm::WMDestroy(TWidgetMessage& message) {
  HWND window = StoredHandle();
  KillTimer(window, TIMER_START);
  KillTimer(window, TIMER_POLL);
  // Waits a bounded time; a hung worker is detached and cleans up after itself.
  FWorker.reset();
  if (FMenu) {
    DestroyMenu(FMenu);
    FMenu = nullptr;
  }
  FClosing = true;
  if (FHost.Board) FHost.Board->Remove(this);
  TWidgetForm::WMDestroy(message);
  PostQuitMessage(0);
}

// ---- snapping and the board

void TWidgetMainForm::WMWindowPosChanging(TWidgetMessage& message) {
  TWidgetForm::WMWindowPosChanging(message);
  auto* pos = reinterpret_cast<WINDOWPOS*>(message.LParam);
  if (!pos || (pos->flags & SWP_NOMOVE)) return;
  std::vector<TSnapRect> others;
  if (FHost.Board) others = FHost.Board->VisibleOthers(this);
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  int32_t x = pos->x, y = pos->y;
  SnapPosition(x, y, Width(), Height(), others, TSnapRect{work.left, work.top, work.right, work.bottom});
  pos->x = x;
  pos->y = y;
}

void TWidgetMainForm::WMWindowPosChanged(TWidgetMessage& message) {
  TWidgetForm::WMWindowPosChanged(message);
  Publish();
}

// Own thread only; the window is gone from the board once it is being destroyed.
void TWidgetMainForm::Publish() {
  if (!FHost.Board || FClosing || !WindowExists()) return;
  RECT r{};
  GetWindowRect(StoredHandle(), &r);
  FHost.Board->Publish(this, TSnapRect{r.left, r.top, r.right, r.bottom}, Visible());
}

// ---- polling

void TWidgetMainForm::OnStartTimer() { Carry(FPoller.OnStartTimer()); }
void TWidgetMainForm::OnPollTimer() { Carry(FPoller.OnPollTimer()); }
void TWidgetMainForm::StartPoll() { Carry(FPoller.StartPoll()); }

void TWidgetMainForm::ApplyResponse(TWidgetMessage&) {
  std::string body;
  if (FWorker) {
    // Only the worker's own done message counts; it has finished by then.
    if (!FWorker->Finished()) return;
    body = FWorker->Request().Response().Text();
  }
  Carry(FPoller.ApplyResponse(body));
}

bool TWidgetMainForm::StartWorker() {
  try {
    FWorker.reset(new TInetThread(StoredHandle(), InternetHandle, WM_COUNTRESPONSE));
    FWorker->Request().SetField(rfHost, CounterHost());
    FWorker->Request().SetField(rfPath, FPoller.RequestPath());
    FWorker->Resume();
    return true;
  } catch (...) {
    FWorker.reset();
    return false;
  }
}

void TWidgetMainForm::Carry(TPollActions a) {
  HWND window = StoredHandle();
  if (a.KillStartTimer) KillTimer(window, TIMER_START);
  if (a.KillPollTimer) KillTimer(window, TIMER_POLL);
  if (a.StartRequest && !StartWorker()) {
    TPollActions failed = FPoller.RequestNotStarted();
    a.Indicator = failed.Indicator;
    a.FreeWorker = failed.FreeWorker;
    a.Redraw = true;
  }
  if (a.ArmPollTimerMs >= 0) SetTimer(window, TIMER_POLL, static_cast<UINT>(a.ArmPollTimerMs), nullptr);
  if (a.UpdateFace) {
    if (CountLabel) CountLabel->SetCaption(a.CountCaption);
    if (PreviousLabel) PreviousLabel->SetCaption(a.PreviousCaption);
    if (TrendImage) TrendImage->SetImageName(Narrow(a.TrendImage));
  }
  if (StateImage && a.Indicator == TIndicator::Busy) StateImage->SetImageName(Narrow(IMG_BUSY));
  if (StateImage && a.Indicator == TIndicator::Idle) StateImage->SetImageName(Narrow(IMG_IDLE));
  if (a.FreeWorker) FWorker.reset();
  if (a.Redraw) Redraw();
}
