#pragma once
#include <vector>

#include "ui/Controls.h"
#include "ui/ScreenGeometry.h"

// Older headers lack the per-monitor DPI message.
#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif


// The pace of every fade the program shows: a step of opacity, then a pause.
constexpr uint8_t FADE_STEP = 8;
constexpr DWORD FADE_SLEEP_MS = 4;

// A borderless pop-up with per-pixel alpha. The platform never paints it: the
// form renders its control tree into its canvas and hands the picture to
// UpdateLayeredWindow with Opacity as constant alpha.
class TWidgetForm : public TWidgetControl {
public:
  explicit TWidgetForm(TComponent* owner);
  const WideChar* ClassName() const override { return WIDGET_FORM_CLASS_NAME; }

  // Re-renders the whole tree and shows it; a Redraw asked for during one is dropped.
  void Redraw() override;
  // Shows the current canvas at the current bounds and Opacity, painting nothing.
  void UpdateLayer();
  bool Painting() const { return FPainting; }

  // The DPI the form is laid out for: its monitor's, read when its window is
  // made and followed on WM_DPICHANGED; 96 until then.
  uint32_t Dpi() const { return FDpi; }
  // A 96-DPI layout value at the form's DPI.
  int32_t Scaled(int32_t value) const { return ScaleToDpi(value, FDpi); }

  // One step of a fade: Opacity moves toward Target by Step at most (Step 0
  // goes all the way), the layer shows it without repainting and OnFadeStep is
  // raised. True while Target is still ahead; at Target it does nothing.
  bool FadeStep(uint8_t target, uint8_t step);
  // Steps to Target with GoOn (say, a message pump) and a sleep between steps.
  // Ends early, returning false, when GoOn says so, the window goes, or GoOn
  // started another fade of this form; true once Target is shown.
  bool FadeTo(uint8_t target, uint8_t step, DWORD sleepMs, const std::function<bool()>& goOn);

  TNotifyEvent OnFadeStep;

  TNotifyEvent OnCreate;
  TNotifyEvent OnDestroy;
  TCloseEvent OnClose;
  TActivateEvent OnActivate;
  TMouseActivateEvent OnMouseActivate;

protected:
  void FillCreateParams(TWidgetCreateParams& params) override;
  void WndProc(TWidgetMessage& message) override;
  void WMCreate(TWidgetMessage& message) override;
  void WMDestroy(TWidgetMessage& message) override;
  virtual void WMClose(TWidgetMessage& message);
  virtual void WMActivate(TWidgetMessage& message);
  virtual void WMMouseActivate(TWidgetMessage& message);
  virtual void DoCreate();
  // Takes Dpi and calls ApplyDpi when it differs from the current one.
  void SetDpi(uint32_t dpi);
  // Lays the form and its children out for Dpi(); the base does nothing.
  virtual void ApplyDpi() {}
  // Moves to the rectangle the platform suggests for the new DPI, at the
  // form's own size for it, and repaints.
  virtual void WMDpiChanged(TWidgetMessage& message);

private:
  bool FPainting = false;
  uint32_t FDpi = BASE_DPI;
  uint32_t FFadeGeneration = 0;  // a newer fade ends an older one that it interrupted
};

// The root component: owns the manager and, through it, every form. Every
// query reads the platform afresh.
class TWidgetDesktop : public TComponent {
public:
  using TComponent::TComponent;
  void WorkArea(RECT& rect) const;
};

// Screen DPI where the platform has per-monitor DPI (looked up at run time, so
// older systems run the same program), else the screen's LOGPIXELSY.
uint32_t WindowDpi(HWND window);
uint32_t SystemDpi();
// Every monitor with its bounds, work area and DPI; empty when none answers.
std::vector<TMonitorArea> DisplayMonitors();
TScreenRect ScreenRectOf(const RECT& rect);

// Dispatches this thread's queued messages; false when a WM_QUIT came, which is
// posted again so that the thread's own loop still ends.
bool PumpMessages();

// Centres a window in a work-area-sized rectangle placed at the screen origin.
void CenterWindow(HWND window);

