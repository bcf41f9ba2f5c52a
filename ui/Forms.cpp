#include "ui/Forms.h"


using namespace Gdiplus::DllExports;

namespace {
using TGetDpiForWindow = UINT(WINAPI*)(HWND);
using TGetDpiForSystem = UINT(WINAPI*)();
using TGetDpiForMonitor = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
constexpr int kEffectiveDpi = 0;  // MDT_EFFECTIVE_DPI

// The per-monitor DPI calls, where the system has them (Windows 10 and 8.1);
// resolved once, kept for the process's life.
struct TDpiCalls {
  TGetDpiForWindow ForWindow = nullptr;
  TGetDpiForSystem ForSystem = nullptr;
  TGetDpiForMonitor ForMonitor = nullptr;
};

template <typename T>
T Resolve(HMODULE module, const char* name) {
  return module ? reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

const TDpiCalls& DpiCalls() {
  static const TDpiCalls calls = [] {
    TDpiCalls c;
    HMODULE user = GetModuleHandleW(L"user32.dll");
    c.ForWindow = Resolve<TGetDpiForWindow>(user, "GetDpiForWindow");
    c.ForSystem = Resolve<TGetDpiForSystem>(user, "GetDpiForSystem");
    c.ForMonitor = Resolve<TGetDpiForMonitor>(LoadLibraryW(L"shcore.dll"), "GetDpiForMonitor");
    return c;
  }();
  return calls;
}

uint32_t MonitorDpi(HMONITOR monitor) {
  UINT x = 0, y = 0;
  if (monitor && DpiCalls().ForMonitor && SUCCEEDED(DpiCalls().ForMonitor(monitor, kEffectiveDpi, &x, &y)))
    return SaneDpi(y);
  return SystemDpi();
}

BOOL CALLBACK CollectMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM list) {
  MONITORINFO info{};
  info.cbSize = sizeof info;
  if (GetMonitorInfoW(monitor, &info))
    reinterpret_cast<std::vector<TMonitorArea>*>(list)->push_back(
        TMonitorArea{ScreenRectOf(info.rcMonitor), ScreenRectOf(info.rcWork), MonitorDpi(monitor)});
  return TRUE;
}

constexpr int32_t kFormWidth = 320;
constexpr int32_t kFormHeight = 240;
constexpr DWORD kFormExStyle = WS_EX_LAYERED | WS_EX_TOOLWINDOW;
constexpr Gdiplus::ARGB kLayerBackground = 0x00000000;

// Clears the painting flag however the pass ends.
class TPaintingScope {
public:
  explicit TPaintingScope(bool& flag) : FFlag(flag) { FFlag = true; }
  ~TPaintingScope() { FFlag = false; }
  TPaintingScope(const TPaintingScope&) = delete;
  TPaintingScope& operator=(const TPaintingScope&) = delete;

private:
  bool& FFlag;
};
}  // namespace

// ---- TWidgetForm

TWidgetForm::TWidgetForm(TComponent* owner) : TWidgetControl(owner) {
  SetWidth(kFormWidth);
  SetHeight(kFormHeight);
}

void TWidgetForm::FillCreateParams(TWidgetCreateParams& params) {
  TWidgetControl::FillCreateParams(params);
  params.Style = WS_POPUP | (Enabled() ? 0 : WS_DISABLED);
  params.ExStyle = kFormExStyle;
}

void TWidgetForm::WndProc(TWidgetMessage& message) {
  switch (message.Msg) {
    case WM_CREATE: WMCreate(message); break;
    case WM_DESTROY: WMDestroy(message); break;
    case WM_ACTIVATE: WMActivate(message); break;
    case WM_CLOSE: WMClose(message); break;
    case WM_MOUSEACTIVATE: WMMouseActivate(message); break;
    case WM_DPICHANGED: WMDpiChanged(message); break;
    default: TWidgetControl::WndProc(message);
  }
}

// The handle is stored before creation returns, so DoCreate can build children.
void TWidgetForm::WMCreate(TWidgetMessage& message) {
  TWidgetControl::WMCreate(message);
  FDpi = WindowDpi(StoredHandle());
  DoCreate();
}

void TWidgetForm::SetDpi(uint32_t dpi) {
  dpi = SaneDpi(dpi);
  if (dpi == FDpi) return;
  FDpi = dpi;
  ApplyDpi();
}

// The suggested size is the old one scaled, rounded the platform's way; the
// form's own layout decides the size, so that a round trip between monitors
// ends where it began.
void TWidgetForm::WMDpiChanged(TWidgetMessage& message) {
  const auto* suggested = reinterpret_cast<const RECT*>(message.LParam);
  SetDpi(HIWORD(message.WParam));
  if (suggested) MoveTo(suggested->left, suggested->top);
  message.Result = 0;
  if (Visible()) Redraw();
}

void TWidgetForm::DoCreate() {
  if (OnCreate) OnCreate(this);
}

void TWidgetForm::WMDestroy(TWidgetMessage&) {
  if (OnDestroy) OnDestroy(this);
}

void TWidgetForm::WMActivate(TWidgetMessage& message) {
  if (OnActivate) OnActivate(this, LOWORD(message.WParam));
}

void TWidgetForm::WMClose(TWidgetMessage&) { CloseAsAsked(*this, OnClose); }

void TWidgetForm::WMMouseActivate(TWidgetMessage& message) { AnswerMouseActivate(*this, OnMouseActivate, message); }

void TWidgetForm::Redraw() {
  if (FPainting) return;
  TPaintingScope scope(FPainting);
  Paint();
  UpdateLayer();
}

void TWidgetForm::UpdateLayer() {
  // Declared in release order reversed: the bitmap is selected out before it goes.
  TMemoryDC screen(CreateCompatibleDC(nullptr));
  TMemoryDC source(CreateCompatibleDC(screen.Get()));
  TBitmapHandle bitmap;
  if (Canvas()->Bitmap() && GdipCreateHBITMAPFromBitmap(Canvas()->Bitmap(), bitmap.Put(), kLayerBackground) != Gdiplus::Ok)
    bitmap.Release();
  TSelectedObject selected;
  if (bitmap) selected = TSelectedObject(source.Get(), bitmap.Get());
  POINT destination{Left(), Top()};
  SIZE size{Width(), Height()};
  POINT origin{0, 0};
  BLENDFUNCTION blend{AC_SRC_OVER, 0, Opacity(), AC_SRC_ALPHA};
  UpdateLayeredWindow(StoredHandle(), screen.Get(), &destination, &size, source.Get(), &origin, 0, &blend, ULW_ALPHA);
}

bool TWidgetForm::FadeStep(uint8_t target, uint8_t step) {
  const uint8_t now = Opacity();
  if (now == target) return false;
  uint8_t next = target;
  if (step && now < target && target - now > step)
    next = static_cast<uint8_t>(now + step);
  else if (step && now > target && now - target > step)
    next = static_cast<uint8_t>(now - step);
  SetOpacity(next);
  UpdateLayer();
  if (OnFadeStep) OnFadeStep(this);
  return next != target;
}

bool TWidgetForm::FadeTo(uint8_t target, uint8_t step, DWORD sleepMs, const std::function<bool()>& goOn) {
  const uint32_t generation = ++FFadeGeneration;
  while (FadeStep(target, step)) {
    // Messages handled in GoOn may start another fade or close the window.
    if ((goOn && !goOn()) || generation != FFadeGeneration || !WindowExists()) return false;
    if (sleepMs) Sleep(sleepMs);
  }
  return true;
}

// ---- TWidgetDesktop

void TWidgetDesktop::WorkArea(RECT& rect) const {
  rect = RECT{};
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &rect, 0);
}

// ---- screen DPI and monitors

uint32_t SystemDpi() {
  if (DpiCalls().ForSystem) return SaneDpi(DpiCalls().ForSystem());
  HDC screen = GetDC(nullptr);
  uint32_t dpi = screen ? static_cast<uint32_t>(GetDeviceCaps(screen, LOGPIXELSY)) : BASE_DPI;
  if (screen) ReleaseDC(nullptr, screen);
  return SaneDpi(dpi);
}

uint32_t WindowDpi(HWND window) {
  if (window && DpiCalls().ForWindow) return SaneDpi(DpiCalls().ForWindow(window));
  return window ? MonitorDpi(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST)) : SystemDpi();
}

std::vector<TMonitorArea> DisplayMonitors() {
  std::vector<TMonitorArea> list;
  EnumDisplayMonitors(nullptr, nullptr, CollectMonitor, reinterpret_cast<LPARAM>(&list));
  return list;
}

TScreenRect ScreenRectOf(const RECT& rect) { return TScreenRect{rect.left, rect.top, rect.right, rect.bottom}; }

// ---- unit operations

bool PumpMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      return false;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return true;
}

void CenterWindow(HWND window) {
  RECT work{}, bounds{};
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  GetWindowRect(window, &bounds);
  int32_t width = bounds.right - bounds.left, height = bounds.bottom - bounds.top;
  // Measured from the screen's corner, not from the work area's origin.
  int32_t x = ((work.right - work.left) - width) / 2;
  int32_t y = ((work.bottom - work.top) - height) / 2;
  MoveWindow(window, x, y, width, height, TRUE);
}

