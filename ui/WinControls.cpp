#include "ui/WinControls.h"

#include <cstddef>
#include <string>

namespace {
constexpr DWORD kWinFormExStyle = WS_EX_WINDOWEDGE | WS_EX_CLIENTEDGE;
constexpr int32_t kFormWidth = 320;
constexpr int32_t kFormHeight = 240;
constexpr BYTE kFormAlpha = 255;  // opaque

static_assert(sizeof(void*) != 4 || TRAY_ICONDATA_SIZE == 936, "tray record layout");

// Copies at most N - 1 units and terminates: longer text is cut.
template <size_t N>
void CopyCut(wchar_t (&field)[N], const WideString& text) {
  size_t n = std::min(text.size(), N - 1);
  for (size_t i = 0; i < n; ++i) field[i] = static_cast<wchar_t>(text[i]);
  field[n] = 0;
}
}  // namespace

// ---- TWinControl

TWinControl::TWinControl(TComponent* owner)
    : TControl(owner), FFont(new TFont), FBrush(new TBrush), FPen(new TPen) {
  auto invalidate = [this](TGraphicObject*) { Invalidate(); };
  FFont->OnChange = invalidate;
  FBrush->OnChange = invalidate;
  FPen->OnChange = invalidate;
}

void TWinControl::Invalidate() {
  if (WindowExists()) InvalidateRect(StoredHandle(), nullptr, TRUE);
}

void TWinControl::CreateWindowObject() {
  TControl::CreateWindowObject();
  Perform(WM_SETFONT, reinterpret_cast<WPARAM>(FFont->Handle()), 1);
}

void TWinControl::WndProc(TWidgetMessage& message) {
  switch (message.Msg) {
    case WM_PAINT: WMPaint(message); break;
    case WM_ERASEBKGND: WMEraseBkgnd(message); break;
    case WM_NCPAINT: WMNCPaint(message); break;
    default: TControl::WndProc(message);
  }
}

// ---- TWinForm

TWinForm::TWinForm(TComponent* owner) : TWinControl(owner), FCanvas(new TCanvas) {
  SetWidth(kFormWidth);
  SetHeight(kFormHeight);
  Brush()->SetColor(clSysBtnFace);
}

void TWinForm::FillCreateParams(TWidgetCreateParams& params) {
  TWinControl::FillCreateParams(params);
  params.Style = WS_OVERLAPPEDWINDOW | (Enabled() ? 0 : WS_DISABLED);
  params.ExStyle = kWinFormExStyle;
}

void TWinForm::WndProc(TWidgetMessage& message) {
  switch (message.Msg) {
    case WM_CREATE: WMCreate(message); break;
    case WM_DESTROY: WMDestroy(message); break;
    case WM_ACTIVATE: WMActivate(message); break;
    case WM_CLOSE: WMClose(message); break;
    case WM_ERASEBKGND: WMEraseBkgnd(message); break;
    case WM_MOUSEACTIVATE: WMMouseActivate(message); break;
    default: TWinControl::WndProc(message);
  }
}

void TWinForm::WMCreate(TWidgetMessage& message) {
  TWinControl::WMCreate(message);
  DoCreate();
}

// Without the layered extended style the attribute has no visible effect.
void TWinForm::DoCreate() {
  if (WindowExists()) SetLayeredWindowAttributes(StoredHandle(), 0, kFormAlpha, LWA_ALPHA);
  if (OnCreate) OnCreate(this);
}

void TWinForm::WMDestroy(TWidgetMessage& message) {
  TWinControl::WMDestroy(message);
  if (OnDestroy) OnDestroy(this);
}

void TWinForm::WMClose(TWidgetMessage&) { CloseAsAsked(*this, OnClose); }

void TWinForm::WMActivate(TWidgetMessage& message) {
  if (OnActivate) OnActivate(this, static_cast<uint32_t>(message.WParam));
}

void TWinForm::WMMouseActivate(TWidgetMessage& message) { AnswerMouseActivate(*this, OnMouseActivate, message); }

void TWinForm::WMPaint(TWidgetMessage& message) {
  PAINTSTRUCT paint{};
  HDC dc = reinterpret_cast<HDC>(message.WParam);
  bool began = false;
  if (!dc) {
    dc = BeginPaint(StoredHandle(), &paint);
    began = true;
  }
  FCanvas->SetHandle(dc);
  SetViewportOrgEx(dc, 0, 0, nullptr);
  SetViewportExtEx(dc, Width(), Height(), nullptr);
  // Unbinds and ends painting even when the painter raises; the canvas gives
  // the context its own objects back before the context is released.
  struct TEndPaint {
    TWinForm* Form;
    PAINTSTRUCT* Paint;
    bool Began;
    ~TEndPaint() {
      Form->FCanvas->SetHandle(nullptr);
      if (Began) EndPaint(Form->StoredHandle(), Paint);
    }
  } end{this, &paint, began};
  FCanvas->Brush()->Assign(Brush());
  FCanvas->Pen()->Assign(Pen());
  FCanvas->Font()->Assign(Font());
  Paint();
}

// ---- TWidgetTray

TWidgetTray::TWidgetTray(TComponent* owner) : TWinForm(owner), FIconData{} {
  FIconData.cbSize = TRAY_ICONDATA_SIZE;
  FIconData.uFlags = NIF_MESSAGE | NIF_ICON;
  FIconData.uCallbackMessage = WM_TRAYNOTIFY;
  FIconData.uTimeout = TRAY_BALLOON_TIMEOUT;
}

void TWidgetTray::FillCreateParams(TWidgetCreateParams& params) {
  TWinForm::FillCreateParams(params);
  params.ExStyle = WS_EX_TOOLWINDOW;
  params.Style = WS_POPUP;
}

void TWidgetTray::DoCreate() {
  TWinForm::DoCreate();
  if (!WindowExists()) return;
  FIconData.hWnd = StoredHandle();
  FIconData.uID = static_cast<UINT>(reinterpret_cast<UINT_PTR>(StoredHandle()));
  UpdateIcon();
}

bool TWidgetTray::Notify(DWORD command) { return Shell_NotifyIconW(command, &FIconData) != FALSE; }

void TWidgetTray::UpdateIcon() {
  if (FShowIcon) Notify(NIM_MODIFY);
}

void TWidgetTray::SetIcon(HICON icon) {
  FIcon.Reset(icon);  // the previous icon goes, unless it is the same one again
  FIconData.hIcon = icon;
  UpdateIcon();
}

void TWidgetTray::SetTip(const WideString& text) {
  if (text == FTip) return;
  FTip = text;
  CopyCut(FIconData.szTip, text);
  if (text.empty())
    FIconData.uFlags &= ~NIF_TIP;
  else
    FIconData.uFlags |= NIF_TIP;
  UpdateIcon();
}

void TWidgetTray::SetBalloonText(const WideString& text) {
  if (text == FBalloonText) return;
  FBalloonText = text;
  CopyCut(FIconData.szInfo, text);
  Notify(NIM_MODIFY);
}

void TWidgetTray::SetBalloonTitle(const WideString& text) {
  if (text == FBalloonTitle) return;
  FBalloonTitle = text;
  CopyCut(FIconData.szInfoTitle, text);
  Notify(NIM_MODIFY);
}

void TWidgetTray::SetShowIcon(bool value) {
  if (value == FShowIcon) return;
  FShowIcon = value;
  Notify(value ? NIM_ADD : NIM_DELETE);
}

void TWidgetTray::ShowBalloon() {
  FIconData.uFlags |= NIF_INFO;
  FIconData.dwInfoFlags = FBalloonIcon;
  Notify(NIM_MODIFY);
  // Otherwise every later change of the tip would show the balloon again.
  FIconData.uFlags &= ~NIF_INFO;
}

void TWidgetTray::WndProc(TWidgetMessage& message) {
  switch (message.Msg) {
    case WM_QUERYENDSESSION: message.Result = 1; break;
    case WM_ENDSESSION:
      if (message.WParam) Notify(NIM_DELETE);
      break;
    case WM_TRAYNOTIFY: WMTrayNotify(message); break;
    default: TWinForm::WndProc(message);
  }
}

void TWidgetTray::WMDestroy(TWidgetMessage& message) {
  Notify(NIM_DELETE);
  FIcon.Reset();
  FIconData.hIcon = nullptr;
  TWinForm::WMDestroy(message);
}

void TWidgetTray::WMTrayNotify(TWidgetMessage& message) {
  int32_t keys = 0;
  if (GetKeyState(VK_SHIFT) < 0) keys |= MK_SHIFT;
  if (GetKeyState(VK_CONTROL) < 0) keys |= MK_CONTROL;
  POINT cursor{};
  GetCursorPos(&cursor);
  const int32_t x = cursor.x, y = cursor.y;
  switch (static_cast<UINT>(message.LParam)) {
    case WM_MOUSEMOVE:
      if (OnTrayMouseMove) OnTrayMouseMove(this, keys, x, y);
      break;
    case WM_LBUTTONDOWN:
      if (OnTrayMouseDown) OnTrayMouseDown(this, keys | MK_LBUTTON, x, y);
      FClicked = true;
      break;
    case WM_LBUTTONUP:
      if (FClicked && OnTrayClick) {
        OnTrayClick(this);
        FClicked = false;
      }
      if (OnTrayMouseUp) OnTrayMouseUp(this, keys | MK_LBUTTON, x, y);
      break;
    case WM_RBUTTONDOWN:
      if (OnTrayMouseDown) OnTrayMouseDown(this, keys | MK_RBUTTON, x, y);
      break;
    case WM_RBUTTONUP:
      if (OnTrayMouseUp) OnTrayMouseUp(this, keys | MK_RBUTTON, x, y);
      break;
    case WM_MBUTTONDOWN:
      if (OnTrayMouseDown) OnTrayMouseDown(this, keys | MK_MBUTTON, x, y);
      break;
    case WM_MBUTTONUP:
      if (OnTrayMouseUp) OnTrayMouseUp(this, keys | MK_MBUTTON, x, y);
      break;
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDBLCLK:
      if (OnTrayDblClick) OnTrayDblClick(this);
      break;
    case NIN_BALLOONHIDE:
    case NIN_BALLOONTIMEOUT:
      FIconData.uFlags &= ~NIF_INFO;
      break;
    default: break;
  }
}

// The small-icon metric already follows the system DPI for a DPI-aware program.
HICON LoadTrayIcon(int resourceId) {
  const int size = GetSystemMetrics(SM_CXSMICON);
  return static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(resourceId), IMAGE_ICON, size, size,
                                       LR_DEFAULTCOLOR));
}

void SetMenuItemText(HMENU menu, UINT id, const WideString& text) {
  MENUITEMINFOW item{};
  item.cbSize = sizeof item;
  item.fMask = MIIM_STRING;
  WideString copy = text;  // the item copies the text; the call wants it writable
  item.dwTypeData = WinStr(&copy[0]);
  item.cch = static_cast<UINT>(copy.size());
  SetMenuItemInfoW(menu, id, FALSE, &item);
}

// ---- TWindowTip

TOOLINFOW TWindowTip::Tool() const {
  TOOLINFOW tool{};
  tool.cbSize = TTTOOLINFOW_V2_SIZE;
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = FWindow;
  tool.uId = reinterpret_cast<UINT_PTR>(FWindow);
  tool.lpszText = const_cast<LPWSTR>(WinStr(FText));
  return tool;
}

// The tooltip window is made only once there is something to show, so that a
// widget that never needs one never has one.
void TWindowTip::Attach(HWND window) {
  FWindow = window;
  SetText(FText);
}

void TWindowTip::SetText(const WideString& text) {
  FText = text;
  if (!FTip && (FText.empty() || !FWindow)) return;
  if (!FTip) {
    FTip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, 0, 0, 0,
                           0, FWindow, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!FTip) return;
    TOOLINFOW tool = Tool();
    SendMessageW(FTip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    // Long reasons wrap instead of running off the screen.
    SendMessageW(FTip, TTM_SETMAXTIPWIDTH, 0, 320);
  }
  TOOLINFOW tool = Tool();
  SendMessageW(FTip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
  SendMessageW(FTip, TTM_ACTIVATE, !FText.empty(), 0);
}

// The tooltip goes with the window it is owned by; only a window still
// standing on this thread is destroyed here.
TWindowTip::~TWindowTip() {
  if (FTip && IsWindow(FTip) && GetWindowThreadProcessId(FTip, nullptr) == GetCurrentThreadId()) DestroyWindow(FTip);
}
