#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "ui/Canvas.h"
#include "ui/Components.h"
#include "ui/Handles.h"
#include "ui/OSError.h"
#include "ui/WindowClass.h"

// The record every control's WndProc and handlers receive.
struct TWidgetMessage {
  HWND Handle;
  UINT Msg;
  WPARAM WParam;
  LPARAM LParam;
  LRESULT Result;
};

struct TWidgetCreateParams {
  const WideChar* Caption;
  DWORD Style;
  DWORD ExStyle;
  int32_t X, Y, Width, Height;
  HWND WndParent;
  void* Param;
  HINSTANCE Instance;
  WideChar WinClassName[64];
};

// What a form does on WM_CLOSE.
using TCloseAction = uint8_t;
constexpr TCloseAction caNone = 0;
constexpr TCloseAction caHide = 1;
constexpr TCloseAction caFree = 2;

// Posted to a control's own window when the mouse first moves inside it.
constexpr UINT WM_MOUSEENTER = 0x8146;
constexpr UINT MOUSE_HOVER_TIME = 100;  // ms

class TControl;
class TWidgetCanvas;


// Events: raised only when assigned, with the sender first.
using TNotifyEvent = std::function<void(TComponent* Sender)>;
using TMouseEvent = std::function<void(TComponent* Sender, int32_t Keys, int32_t X, int32_t Y)>;
using TPaintEvent = std::function<void(TComponent* Sender, TWidgetCanvas* Canvas)>;
using TCloseEvent = std::function<void(TComponent* Sender, TCloseAction& Action)>;
using TActivateEvent = std::function<void(TComponent* Sender, uint32_t State)>;
using TMouseActivateEvent =
    std::function<void(TComponent* Sender, uint16_t HitTest, uint16_t MouseMsg, int32_t& Result)>;

class EInvalidOperation : public Exception {
public:
  using Exception::Exception;
};

// A component backed by one platform window, created on first need. The window
// carries a property naming its control; one shared window procedure routes
// every message to the control's WndProc. A control and its window belong to
// the thread that created the window.
class TControl : public TComponent {
public:
  explicit TControl(TComponent* owner);
  // Unbinds the window from this object and destroys it when it is still this
  // control's, so that no window ever names a freed control.
  ~TControl() override;

  // The window class name. Written out per class, so that renaming a C++ class
  // renames no window class; a subclass without its own shares its base's.
  virtual const WideChar* ClassName() const { return CONTROL_CLASS_NAME; }

  // The thread that may create this control's window: the constructing thread
  // until the control is handed on; 0 lets no thread create it.
  void SetOwnerThread(DWORD threadId) { FOwnerThread = threadId; }
  // While the window exists, whatever changes it runs on the window's thread:
  // from any other it would work by accident, or wait on a busy thread. Raises
  // EInvalidOperation there.
  void CheckWindowThread() const;

  LRESULT Perform(UINT msg, WPARAM wParam, LPARAM lParam);
  bool WindowExists() const;
  HWND Handle();
  HWND StoredHandle() const { return FHandle; }

  virtual void EnsureHandle();
  virtual void CreateHandle();
  virtual void DestroyWindowHandle();
  virtual void DestroyWindowObject();
  virtual void SetBounds(int32_t x, int32_t y, int32_t w, int32_t h);
  virtual void Paint() {}
  virtual void Redraw() {}

  WideString Caption();
  void SetCaption(const WideString& value);
  HCURSOR Cursor() const { return FCursor.Get(); }
  void SetCursor(HCURSOR value);
  int32_t Left() const { return FLeft; }
  int32_t Top() const { return FTop; }
  int32_t Width() const { return FWidth; }
  void SetWidth(int32_t value);
  int32_t Height() const { return FHeight; }
  void SetHeight(int32_t value);
  void MoveTo(int32_t x, int32_t y);
  void GetClientRect(RECT& rect) const;
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool value);
  bool Visible() const { return FVisible; }
  void SetVisible(bool value);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  TControl* Parent() const { return FParent; }
  void SetParent(TControl* value) { FParent = value; }
  HWND ParentWindow() const { return FParentWindow; }
  void SetParentWindow(HWND value) { FParentWindow = value; }
  DWORD Style() const;
  void SetStyle(DWORD value);
  DWORD ExStyle() const;
  void SetExStyle(DWORD value);

  TMouseEvent OnMouseMove;
  TMouseEvent OnMouseHover;
  TMouseEvent OnMouseEnter;
  TMouseEvent OnMouseLeave;
  TMouseEvent OnMouseDown;
  TMouseEvent OnMouseUp;
  TMouseEvent OnClick;

  // The control a window is bound to, or null.
  static TControl* FromWindow(HWND window);
  // The controls whose windows are child windows of this one, from the bottom
  // of the platform's order to the top.
  const std::vector<TControl*>& ChildControls();

protected:
  virtual void CallDefaultProc(TWidgetMessage& message);
  virtual void CreateWindowObject();
  virtual void FillCreateParams(TWidgetCreateParams& params);
  virtual void CreateWindowHandle(const TWidgetCreateParams& params);
  virtual void WndProc(TWidgetMessage& message);
  virtual void WMCreate(TWidgetMessage& message);
  virtual void WMDestroy(TWidgetMessage&) {}
  virtual void WMSetCursor(TWidgetMessage& message);
  virtual void WMMouseHover(TWidgetMessage& message);
  virtual void WMMouseEnter(TWidgetMessage& message);
  virtual void WMMouseLeave(TWidgetMessage& message);
  virtual void WMMouseMove(TWidgetMessage& message);
  virtual void WMTimer(TWidgetMessage&) {}
  virtual void WMSize(TWidgetMessage&) {}
  virtual void WMMove(TWidgetMessage& message);
  virtual void WMMouseDown(TWidgetMessage& message);
  virtual void WMMouseUp(TWidgetMessage& message);
  virtual void WMShowWindow(TWidgetMessage&) {}
  virtual void WMCancelMode(TWidgetMessage&) {}
  virtual void WMWindowPosChanged(TWidgetMessage&) {}
  virtual void WMWindowPosChanging(TWidgetMessage&) {}
  virtual void WMGetText(TWidgetMessage& message);
  virtual void WMGetTextLength(TWidgetMessage& message);
  virtual void WMSetText(TWidgetMessage& message);
  virtual void WMHScroll(TWidgetMessage& message) { ForwardToParent(message); }
  virtual void WMVScroll(TWidgetMessage& message) { ForwardToParent(message); }
  virtual void WMNotify(TWidgetMessage& message) { ForwardToParent(message); }
  virtual void WMCtlColor(TWidgetMessage& message) { ForwardToParent(message); }

  // Bases the window on a class of the system's ("STATIC"), subclassed once made.
  static void SubclassWindowClass(TWidgetCreateParams& params, const WideChar* className);

private:
  friend LRESULT CALLBACK SharedWindowProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);
  void ForwardToParent(TWidgetMessage& message);
  void Unbind();
  void LinkToPlatformParent();
  void UnlinkFromPlatformParent();

  HWND FHandle = nullptr;
  std::atomic<DWORD> FOwnerThread;
  TControl* FParent = nullptr;
  WNDPROC FDefWndProc = nullptr;
  bool FSubclassed = false;
  TCursorHandle FCursor;
  int32_t FLeft = 0, FTop = 0, FWidth = 0, FHeight = 0;
  std::unique_ptr<WideString> FPendingCaption;
  bool FVisible = false;
  bool FMouseInside = false;
  bool FEnabled = true;
  HWND FParentWindow = nullptr;
  bool FLeftPressed = false;
  // Bound child windows, kept here so that painting needs no window lookups;
  // the order is read back from the platform after any z-order change.
  TControl* FPlatformParent = nullptr;
  std::vector<TControl*> FChildControls;
  bool FChildOrderValid = true;
};

// What every kind of form does when asked to close (the handler may keep,
// hide or free the window; a freed one keeps its stored handle) and when the
// mouse would activate it (the handler may change the answer).
inline void CloseAsAsked(TControl& form, const TCloseEvent& onClose) {
  TCloseAction action = caFree;
  if (onClose) onClose(&form, action);
  if (action == caHide)
    form.Hide();
  else if (action == caFree)
    DestroyWindow(form.StoredHandle());
}
inline void AnswerMouseActivate(TControl& form, const TMouseActivateEvent& onMouseActivate, TWidgetMessage& message) {
  int32_t result = MA_ACTIVATE;
  if (onMouseActivate) onMouseActivate(&form, LOWORD(message.LParam), HIWORD(message.LParam), result);
  message.Result = result;
}


// Number of controls constructed in this process so far (names Widget_0, Widget_1, ...).
int32_t ControlCounter();

// A control that draws: it repaints itself into its own canvas and composites
// that canvas into its parent's, with Opacity once it has been faded.
class TWidgetControl : public TControl {
public:
  explicit TWidgetControl(TComponent* owner);
  const WideChar* ClassName() const override { return WIDGET_CONTROL_CLASS_NAME; }

  TWidgetCanvas* Canvas() const { return FCanvas.get(); }
  uint8_t Opacity() const { return FOpacity; }
  void SetOpacity(uint8_t value);
  bool Faded() const { return FFaded; }

  void Paint() override;
  void Redraw() override;
  void PaintChildren();
  void DrawToParent();

  TPaintEvent OnPaint;

protected:
  void WMSize(TWidgetMessage& message) override;
  void WMShowWindow(TWidgetMessage& message) override;
  virtual void DoPaint();

private:
  std::unique_ptr<TWidgetCanvas> FCanvas;
  uint8_t FOpacity = 255;
  bool FFaded = false;
};
