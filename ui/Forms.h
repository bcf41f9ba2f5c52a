#pragma once
#include "ui/Controls.h"

// A borderless pop-up with per-pixel alpha. The platform never paints it: the
// form renders its control tree into its canvas and hands the picture to
// UpdateLayeredWindow with Opacity as constant alpha.
class TWidgetForm : public TWidgetControl {
public:
  explicit TWidgetForm(TComponent* owner);

  // Re-renders the whole tree and shows it; a Redraw asked for during one is dropped.
  void Redraw() override;
  // Shows the current canvas at the current bounds and Opacity, painting nothing.
  void UpdateLayer();
  bool Painting() const { return FPainting; }

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
  void WMWindowPosChanging(TWidgetMessage& message) override;
  virtual void WMClose(TWidgetMessage& message);
  virtual void WMActivate(TWidgetMessage& message);
  virtual void WMMouseActivate(TWidgetMessage& message);
  virtual void DoCreate();

private:
  bool FPainting = false;
};

// The root component: owns the manager and, through it, every form. Every
// query reads the platform afresh.
class TWidgetDesktop : public TComponent {
public:
  using TComponent::TComponent;
  int32_t VirtualScreenWidth() const;
  void WorkArea(RECT& rect) const;
  int32_t WorkAreaWidth() const;
  int32_t WorkAreaHeight() const;
};

// Centres a window in a work-area-sized rectangle placed at the screen origin.
void CenterWindow(HWND window);

// A negative colour names a system colour by its low byte; others pass through.
int32_t ResolveSysColor(int32_t color);
