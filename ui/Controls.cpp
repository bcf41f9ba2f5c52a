#include "ui/Controls.h"

#include <algorithm>
#include <commctrl.h>
#include <string>
#include <vector>

#include "text/WStreams.h"
#include "ui/WidgetsUnit.h"
#include "ui/WindowClass.h"

namespace {
std::atomic<int32_t> gControlCount{0};

constexpr DWORD kChildStyle = WS_CHILD | WS_CLIPSIBLINGS;
constexpr UINT kRaiseFlags = SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE;
constexpr UINT kMoveFlags = SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE;
constexpr UINT kSizeFlags = SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE;

int32_t LowSigned(LPARAM value) { return static_cast<int16_t>(LOWORD(value)); }
int32_t HighSigned(LPARAM value) { return static_cast<int16_t>(HIWORD(value)); }

LPCWSTR PropertyName() { return MAKEINTATOM(WindowAtom()); }

// Longer names are cut to the record's 63 units.
void CopyClassName(TWidgetCreateParams& params, const WideChar* name) {
  size_t n = 0;
  for (; name && name[n] && n + 1 < std::size(params.WinClassName); ++n) params.WinClassName[n] = name[n];
  params.WinClassName[n] = 0;
}

WideString DecimalOf(int32_t value) {
  std::string s = std::to_string(value);
  return WideString(s.begin(), s.end());
}
}  // namespace

// ---- errors

int32_t ControlCounter() { return gControlCount; }

// ---- shared window procedure

// Binds and dispatches only. Exceptions stop here: they must not unwind through
// the platform's frames.
LRESULT CALLBACK SharedWindowProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  TWidgetMessage message{window, msg, wParam, lParam, 0};
  try {
    TControl* control = TControl::FromWindow(window);
    if (control) {
      if (msg == WM_NCDESTROY) {
        if (control->FSubclassed)
          SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(control->FDefWndProc));
        ATOM atom = WindowAtom();
        control->UnlinkFromPlatformParent();
        control->WndProc(message);
        RemovePropW(window, MAKEINTATOM(atom));
      } else {
        if (msg == WM_WINDOWPOSCHANGED && control->FPlatformParent && lParam &&
            !(reinterpret_cast<const WINDOWPOS*>(lParam)->flags & SWP_NOZORDER))
          control->FPlatformParent->FChildOrderValid = false;
        control->WndProc(message);
      }
    } else if (msg == WM_CREATE) {
      auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
      if (create && create->lpCreateParams) static_cast<TControl*>(create->lpCreateParams)->WndProc(message);
    } else {
      message.Result = DefWindowProcW(window, msg, wParam, lParam);
    }
  } catch (...) {
    // The program's policy for escaping errors is to drop them silently.
  }
  return message.Result;
}

TControl* TControl::FromWindow(HWND window) {
  ATOM atom = WindowAtom();
  return atom && window ? static_cast<TControl*>(GetPropW(window, MAKEINTATOM(atom))) : nullptr;
}

// ---- TControl construction

TControl::TControl(TComponent* owner) : TComponent(owner), FOwnerThread(GetCurrentThreadId()) {
  SetName(u"Widget_" + DecimalOf(gControlCount.fetch_add(1)));
}

TControl::~TControl() {
  Unbind();
  UnlinkFromPlatformParent();
  for (TControl* child : FChildControls) child->FPlatformParent = nullptr;
}

void TControl::Unbind() {
  if (!FHandle || !IsWindow(FHandle) || FromWindow(FHandle) != this) return;
  UnlinkFromPlatformParent();
  if (FSubclassed) SetWindowLongPtrW(FHandle, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FDefWndProc));
  RemovePropW(FHandle, PropertyName());
  // Fails quietly from another thread; the window is unbound either way.
  DestroyWindow(FHandle);
}

// ---- window handle

bool TControl::WindowExists() const { return FHandle && IsWindow(FHandle); }

HWND TControl::Handle() {
  EnsureHandle();
  return FHandle;
}

void TControl::EnsureHandle() {
  if (FHandle) return;
  if (FParent) FParent->EnsureHandle();
  CreateHandle();
}

// A window belongs to the thread that creates it, and its control to that
// thread with it: any other thread is refused before anything is made.
void TControl::CreateHandle() {
  if (FHandle) return;
  if (GetCurrentThreadId() != FOwnerThread)
    throw EInvalidOperation(WideFormat(u"Cannot create the window of %s on another thread", {Name()}));
  if (!WindowAtom()) throw EInvalidOperation(u"The widget framework has not been started");
  CreateWindowObject();
  SetPropW(FHandle, PropertyName(), static_cast<HANDLE>(this));
  LinkToPlatformParent();
  if (FParent) SetWindowPos(FHandle, HWND_TOP, 0, 0, 0, 0, kRaiseFlags);
}

void TControl::CheckWindowThread() const {
  if (GetCurrentThreadId() != FOwnerThread && WindowExists())
    throw EInvalidOperation(WideFormat(u"Cannot change the window of %s from another thread", {Name()}));
}

void TControl::LinkToPlatformParent() {
  if (!(GetWindowLongW(FHandle, GWL_STYLE) & WS_CHILD)) return;
  // A form building its children in DoCreate has its handle but not yet its
  // property, so Parent is asked first.
  HWND parentWindow = GetParent(FHandle);
  TControl* parent = FParent && FParent->FHandle == parentWindow ? FParent : FromWindow(parentWindow);
  if (!parent || parent == this) return;
  FPlatformParent = parent;
  parent->FChildControls.push_back(this);
  parent->FChildOrderValid = false;
}

void TControl::UnlinkFromPlatformParent() {
  if (!FPlatformParent) return;
  auto& siblings = FPlatformParent->FChildControls;
  siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
  FPlatformParent = nullptr;
}

const std::vector<TControl*>& TControl::ChildControls() {
  if (FChildOrderValid) return FChildControls;
  std::vector<TControl*> ordered;
  ordered.reserve(FChildControls.size());
  HWND child = GetWindow(FHandle, GW_CHILD);
  if (child) child = GetWindow(child, GW_HWNDLAST);
  for (; child; child = GetWindow(child, GW_HWNDPREV))
    for (TControl* control : FChildControls)
      if (control->FHandle == child) {
        ordered.push_back(control);
        break;
      }
  FChildControls.swap(ordered);
  FChildOrderValid = true;
  return FChildControls;
}

void TControl::FillCreateParams(TWidgetCreateParams& params) {
  params = TWidgetCreateParams{};
  params.Param = static_cast<TControl*>(this);
  params.Caption = FPendingCaption ? FPendingCaption->c_str() : nullptr;
  params.Style = kChildStyle | (FEnabled ? 0 : WS_DISABLED);
  params.ExStyle = 0;
  params.X = FLeft;
  params.Y = FTop;
  params.Width = FWidth;
  params.Height = FHeight;
  params.WndParent = FParent ? FParent->Handle() : FParentWindow;
  params.Instance = GetModuleHandleW(nullptr);
  CopyClassName(params, ClassName());
}

void TControl::SubclassWindowClass(TWidgetCreateParams& params, const WideChar* className) {
  CopyClassName(params, className);
}

// The class exists before its first window. One of the program's own has the
// shared procedure already, so DefWindowProc is its default whatever else (a
// tooltip's TTF_SUBCLASS, say) hooks the window while it is made; any other
// class is subclassed once the window exists, its procedure then the default.
void TControl::CreateWindowObject() {
  TWidgetCreateParams params;
  FillCreateParams(params);
  if (!params.WndParent && (params.Style & WS_CHILD))
    throw EInvalidOperation(WideFormat(u"Parent Required %s", {Name()}));
  WNDCLASSW info{};
  if (!GetClassInfoW(params.Instance, WinStr(params.WinClassName), &info) &&
      !GetClassInfoW(nullptr, WinStr(params.WinClassName), &info))
    throw EInvalidOperation(WideFormat(u"Window class %s is not registered", {WideString(params.WinClassName)}));
  const bool own = IsOwnWindowClass(info);
  FDefWndProc = own ? DefWindowProcW : nullptr;
  FSubclassed = false;
  CreateWindowHandle(params);
  if (!FHandle) RaiseLastOSError();
  if (!own) {
    auto previous = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(FHandle, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SharedWindowProc)));
    // As the default the shared procedure would call itself for ever.
    if (!previous || previous == SharedWindowProc) {
      DestroyWindow(FHandle);
      FHandle = nullptr;
      throw EInvalidOperation(WideFormat(u"Cannot subclass the window of %s", {Name()}));
    }
    FDefWndProc = previous;
    FSubclassed = true;
  }
  if ((GetWindowLongW(FHandle, GWL_STYLE) & WS_CHILD) && GetWindowLongPtrW(FHandle, GWLP_ID) == 0)
    SetWindowLongPtrW(FHandle, GWLP_ID, reinterpret_cast<LONG_PTR>(FHandle));
  FPendingCaption.reset();
}

void TControl::CreateWindowHandle(const TWidgetCreateParams& params) {
  FHandle = CreateWindowExW(params.ExStyle, WinStr(params.WinClassName), WinStr(params.Caption), params.Style, params.X,
                            params.Y, params.Width, params.Height, params.WndParent, nullptr,
                            params.Instance, params.Param);
}

void TControl::DestroyWindowHandle() {
  if (!DestroyWindow(FHandle)) RaiseLastOSError();
  FHandle = nullptr;
}

void TControl::DestroyWindowObject() { DestroyWindowHandle(); }

// ---- messages

LRESULT TControl::Perform(UINT msg, WPARAM wParam, LPARAM lParam) {
  TWidgetMessage message{FHandle, msg, wParam, lParam, 0};
  WndProc(message);
  return message.Result;
}

void TControl::CallDefaultProc(TWidgetMessage& message) {
  if (FDefWndProc && WindowExists())
    message.Result = CallWindowProcW(FDefWndProc, FHandle, message.Msg, message.WParam, message.LParam);
}

void TControl::WndProc(TWidgetMessage& message) {
  switch (message.Msg) {
    case WM_MOVE: WMMove(message); return;
    case WM_SIZE: WMSize(message); return;
    case WM_SETTEXT: WMSetText(message); break;
    case WM_GETTEXT: WMGetText(message); break;
    case WM_GETTEXTLENGTH: WMGetTextLength(message); break;
    case WM_SHOWWINDOW: WMShowWindow(message); return;
    case WM_CANCELMODE: WMCancelMode(message); break;
    case WM_SETCURSOR:
      WMSetCursor(message);
      if (message.Result == 1) return;
      break;
    case WM_WINDOWPOSCHANGING: WMWindowPosChanging(message); return;
    case WM_WINDOWPOSCHANGED: WMWindowPosChanged(message); break;
    case WM_NOTIFY: WMNotify(message); break;
    case WM_HSCROLL: WMHScroll(message); break;
    case WM_VSCROLL: WMVScroll(message); break;
    case WM_CTLCOLORMSGBOX: case WM_CTLCOLOREDIT: case WM_CTLCOLORLISTBOX: case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG: case WM_CTLCOLORSCROLLBAR: case WM_CTLCOLORSTATIC:
      WMCtlColor(message);
      return;
    case WM_MOUSEMOVE: WMMouseMove(message); break;
    case WM_LBUTTONDOWN: case WM_RBUTTONDOWN: case WM_MBUTTONDOWN: WMMouseDown(message); break;
    case WM_LBUTTONUP: case WM_RBUTTONUP: case WM_MBUTTONUP: WMMouseUp(message); break;
    case WM_MOUSEWHEEL: return;
    case WM_SIZING: case WM_MOVING:
      message.Result = 1;
      return;
    case WM_MOUSEHOVER: WMMouseHover(message); break;
    case WM_MOUSELEAVE: WMMouseLeave(message); return;
    case WM_MOUSEENTER: WMMouseEnter(message); return;
    default: break;
  }
  CallDefaultProc(message);
}

void TControl::WMCreate(TWidgetMessage& message) {
  if (!FHandle) FHandle = message.Handle;
}

void TControl::WMSetCursor(TWidgetMessage& message) {
  if (LOWORD(message.LParam) == HTCLIENT && FCursor) {
    ::SetCursor(FCursor.Get());
    message.Result = 1;
  }
}

void TControl::WMMouseMove(TWidgetMessage& message) {
  if (OnMouseMove) OnMouseMove(this, static_cast<int32_t>(message.WParam), LowSigned(message.LParam), HighSigned(message.LParam));
  if (FMouseInside) return;
  FMouseInside = true;
  TRACKMOUSEEVENT track{sizeof(TRACKMOUSEEVENT), TME_HOVER | TME_LEAVE, FHandle, MOUSE_HOVER_TIME};
  _TrackMouseEvent(&track);
  PostMessageW(FHandle, WM_MOUSEENTER, 0, 0);
}

void TControl::WMMouseEnter(TWidgetMessage& message) {
  FMouseInside = true;
  if (OnMouseEnter) OnMouseEnter(this, static_cast<int32_t>(message.WParam), LowSigned(message.LParam), HighSigned(message.LParam));
}

void TControl::WMMouseHover(TWidgetMessage& message) {
  FMouseInside = true;
  if (OnMouseHover) OnMouseHover(this, static_cast<int32_t>(message.WParam), LowSigned(message.LParam), HighSigned(message.LParam));
}

void TControl::WMMouseLeave(TWidgetMessage& message) {
  FMouseInside = false;
  if (OnMouseLeave) OnMouseLeave(this, static_cast<int32_t>(message.WParam), LowSigned(message.LParam), HighSigned(message.LParam));
}

void TControl::WMMouseDown(TWidgetMessage& message) {
  if (OnMouseDown) OnMouseDown(this, static_cast<int32_t>(message.WParam), LowSigned(message.LParam), HighSigned(message.LParam));
  FLeftPressed = (message.WParam & MK_LBUTTON) != 0;
}

void TControl::WMMouseUp(TWidgetMessage& message) {
  int32_t keys = static_cast<int32_t>(message.WParam);
  if (message.Msg == WM_LBUTTONUP) keys |= MK_LBUTTON;
  else if (message.Msg == WM_RBUTTONUP) keys |= MK_RBUTTON;
  else if (message.Msg == WM_MBUTTONUP) keys |= MK_MBUTTON;
  int32_t x = LowSigned(message.LParam), y = HighSigned(message.LParam);
  if (OnMouseUp) OnMouseUp(this, keys, x, y);
  // A click is a left press and release that ends with the cursor still inside.
  if (FLeftPressed && !(message.WParam & MK_LBUTTON) && OnClick) {
    RECT client{};
    ::GetClientRect(FHandle, &client);
    MapWindowPoints(FHandle, nullptr, reinterpret_cast<POINT*>(&client), 2);
    POINT cursor{};
    GetCursorPos(&cursor);
    if (PtInRect(&client, cursor)) {
      OnClick(this, keys, x, y);
      FLeftPressed = false;
    }
  }
}

void TControl::WMMove(TWidgetMessage& message) {
  FLeft = LowSigned(message.LParam);
  FTop = HighSigned(message.LParam);
}

void TControl::WMSetText(TWidgetMessage& message) {
  const auto* text = reinterpret_cast<const WideChar*>(message.LParam);
  FPendingCaption.reset(new WideString(text ? text : u""));
}

void TControl::WMGetText(TWidgetMessage& message) {
  auto* buffer = reinterpret_cast<WideChar*>(message.LParam);
  if (!buffer || message.WParam == 0) return;  // no room even for the terminator
  size_t n = FPendingCaption ? std::min<size_t>(FPendingCaption->size(), message.WParam - 1) : 0;
  if (n) FPendingCaption->copy(buffer, n);
  buffer[n] = 0;
  message.Result = static_cast<LRESULT>(n);
}

void TControl::WMGetTextLength(TWidgetMessage& message) {
  message.Result = FPendingCaption ? static_cast<LRESULT>(FPendingCaption->size()) : 0;
}

void TControl::ForwardToParent(TWidgetMessage& message) {
  if (FParent && FParent->WindowExists())
    message.Result = SendMessageW(FParent->FHandle, message.Msg, message.WParam, message.LParam);
}

// ---- properties

WideString TControl::Caption() {
  LRESULT length = Perform(WM_GETTEXTLENGTH, 0, 0);
  if (length <= 0) return WideString();
  std::vector<WideChar> buffer(static_cast<size_t>(length) + 1, 0);
  LRESULT copied = Perform(WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()));
  if (copied < 0 || copied > length) copied = length;
  return WideString(buffer.data(), static_cast<size_t>(copied));
}

void TControl::SetCaption(const WideString& value) {
  CheckWindowThread();
  if (value != Caption()) Perform(WM_SETTEXT, 0, reinterpret_cast<LPARAM>(value.c_str()));
}

void TControl::SetCursor(HCURSOR value) {
  if (value != FCursor.Get()) FCursor.Reset(value);
}

void TControl::SetWidth(int32_t value) {
  CheckWindowThread();
  if (value == FWidth) return;
  FWidth = value;
  if (WindowExists()) SetWindowPos(FHandle, nullptr, 0, 0, FWidth, FHeight, kSizeFlags);
}

void TControl::SetHeight(int32_t value) {
  CheckWindowThread();
  if (value == FHeight) return;
  FHeight = value;
  if (WindowExists()) SetWindowPos(FHandle, nullptr, 0, 0, FWidth, FHeight, kSizeFlags);
}

void TControl::MoveTo(int32_t x, int32_t y) {
  CheckWindowThread();
  if (x == FLeft && y == FTop) return;
  FLeft = x;
  FTop = y;
  if (WindowExists()) SetWindowPos(FHandle, nullptr, FLeft, FTop, 0, 0, kMoveFlags);
}

void TControl::SetBounds(int32_t x, int32_t y, int32_t w, int32_t h) {
  CheckWindowThread();
  if (!WindowExists()) return;
  FLeft = x;
  FTop = y;
  FWidth = w;
  FHeight = h;
  MoveWindow(FHandle, x, y, w, h, TRUE);
}

void TControl::GetClientRect(RECT& rect) const {
  rect = RECT{};
  if (FHandle) ::GetClientRect(FHandle, &rect);
}

void TControl::SetEnabled(bool value) {
  CheckWindowThread();
  if (value == FEnabled) return;
  FEnabled = value;
  if (WindowExists()) EnableWindow(FHandle, value);
}

void TControl::SetVisible(bool value) {
  CheckWindowThread();
  if (value == FVisible) return;
  // The window comes first: a control whose window cannot be made stays as it was.
  HWND window = Handle();
  FVisible = value;
  ShowWindow(window, value ? SW_SHOW : SW_HIDE);
}

DWORD TControl::Style() const { return WindowExists() ? static_cast<DWORD>(GetWindowLongW(FHandle, GWL_STYLE)) : 0; }

void TControl::SetStyle(DWORD value) {
  CheckWindowThread();
  if (WindowExists()) SetWindowLongW(FHandle, GWL_STYLE, static_cast<LONG>(value));
}

DWORD TControl::ExStyle() const {
  return WindowExists() ? static_cast<DWORD>(GetWindowLongW(FHandle, GWL_EXSTYLE)) : 0;
}

void TControl::SetExStyle(DWORD value) {
  CheckWindowThread();
  if (WindowExists()) SetWindowLongW(FHandle, GWL_EXSTYLE, static_cast<LONG>(value));
}

// ---- TWidgetControl

TWidgetControl::TWidgetControl(TComponent* owner)
    : TControl(owner), FCanvas(new TWidgetCanvas(Width(), Height())) {}

void TWidgetControl::SetOpacity(uint8_t value) {
  if (value == FOpacity) return;
  FOpacity = value;
  FFaded = true;  // from now on the control composites through alpha scaling
}

void TWidgetControl::WMSize(TWidgetMessage& message) {
  TControl::WMSize(message);
  FCanvas->SetSize(Width(), Height());
}

void TWidgetControl::WMShowWindow(TWidgetMessage&) { FCanvas->SetSize(Width(), Height()); }

void TWidgetControl::Paint() {
  if (!WindowExists()) return;
  DoPaint();
  PaintChildren();
  DrawToParent();
}

void TWidgetControl::DoPaint() {
  FCanvas->Clear();
  if (OnPaint) OnPaint(this, FCanvas.get());
}

// Bottom of the sibling order first, so that later children land on top. A
// copy, because a child's painting may create or destroy windows.
void TWidgetControl::PaintChildren() {
  std::vector<TControl*> children = ChildControls();
  for (TControl* child : children)
    if (child->Visible()) child->Paint();
}

void TWidgetControl::DrawToParent() {
  auto* parent = dynamic_cast<TWidgetControl*>(Parent());
  if (!parent) return;
  if (FFaded)
    parent->Canvas()->DrawImageAlpha(FCanvas->Bitmap(), Left(), Top(), Width(), Height(), FOpacity);
  else
    parent->Canvas()->DrawImage(FCanvas->Bitmap(), Left(), Top(), Width(), Height());
}

void TWidgetControl::Redraw() {
  if (Parent()) Parent()->Redraw();
}
