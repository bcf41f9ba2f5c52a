#pragma once
// Ordinary windows that paint with GDI: TWinControl, the top-level TWinForm and
// the tray window. All of it runs on the thread that created the window.
#include "ui/Controls.h"
#include "ui/GdiObjects.h"

#include <cstddef>

#include <shellapi.h>
#include <commctrl.h>

// What the shell sends the tray window about its icon.
constexpr UINT WM_TRAYNOTIFY = 6137;
constexpr UINT TRAY_BALLOON_TIMEOUT = 3000;  // ms
// The record with the balloon fields and without the GUID.
constexpr DWORD TRAY_ICONDATA_SIZE = offsetof(NOTIFYICONDATAW, guidItem);


class TWinControl : public TControl {
public:
  explicit TWinControl(TComponent* owner);
  const WideChar* ClassName() const override { return WIN_CONTROL_CLASS_NAME; }

  TFont* Font() const { return FFont.get(); }
  TBrush* Brush() const { return FBrush.get(); }
  TPen* Pen() const { return FPen.get(); }
  void Invalidate();

protected:
  void CreateWindowObject() override;
  void WndProc(TWidgetMessage& message) override;
  virtual void WMPaint(TWidgetMessage& message) { CallDefaultProc(message); }
  virtual void WMNCPaint(TWidgetMessage& message) { CallDefaultProc(message); }
  virtual void WMEraseBkgnd(TWidgetMessage& message) { CallDefaultProc(message); }

private:
  // Declared in creation order; freed pen, brush, font.
  std::unique_ptr<TFont> FFont;
  std::unique_ptr<TBrush> FBrush;
  std::unique_ptr<TPen> FPen;
};

class TWinForm : public TWinControl {
public:
  explicit TWinForm(TComponent* owner);
  const WideChar* ClassName() const override { return WIN_FORM_CLASS_NAME; }

  TCanvas* Canvas() const { return FCanvas.get(); }

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
  void WMPaint(TWidgetMessage& message) override;
  virtual void WMClose(TWidgetMessage& message);
  virtual void WMActivate(TWidgetMessage& message);
  virtual void WMMouseActivate(TWidgetMessage& message);
  virtual void DoCreate();

private:
  std::unique_ptr<TCanvas> FCanvas;
};

// A hidden tool window that owns one notification-area icon and turns the
// icon's mouse messages into events.
class TWidgetTray : public TWinForm {
public:
  explicit TWidgetTray(TComponent* owner);
  const WideChar* ClassName() const override { return TRAY_WINDOW_CLASS; }

  const NOTIFYICONDATAW& IconData() const { return FIconData; }
  bool Notify(DWORD command);
  void UpdateIcon();
  HICON Icon() const { return FIcon.Get(); }
  void SetIcon(HICON icon);
  const WideString& Tip() const { return FTip; }
  void SetTip(const WideString& text);
  const WideString& BalloonText() const { return FBalloonText; }
  void SetBalloonText(const WideString& text);
  const WideString& BalloonTitle() const { return FBalloonTitle; }
  void SetBalloonTitle(const WideString& text);
  void SetBalloonIcon(uint8_t value) { FBalloonIcon = value; }
  bool ShowIcon() const { return FShowIcon; }
  void SetShowIcon(bool value);
  virtual void ShowBalloon();

  TMouseEvent OnTrayMouseMove;
  TNotifyEvent OnTrayClick;
  TNotifyEvent OnTrayDblClick;
  TMouseEvent OnTrayMouseDown;
  TMouseEvent OnTrayMouseUp;

protected:
  void FillCreateParams(TWidgetCreateParams& params) override;
  void WndProc(TWidgetMessage& message) override;
  void WMDestroy(TWidgetMessage& message) override;
  void DoCreate() override;
  virtual void WMTrayNotify(TWidgetMessage& message);

private:
  NOTIFYICONDATAW FIconData;
  bool FClicked = false;
  TIconHandle FIcon;
  WideString FTip;
  WideString FBalloonText;
  WideString FBalloonTitle;
  uint8_t FBalloonIcon = 0;
  bool FShowIcon = false;
};

// A program icon at the notification area's size for the system DPI (16, 20,
// 24, 32 pixels...), picked by the platform from the icon's own sizes; the
// caller owns it.
HICON LoadTrayIcon(int resourceId);

// Gives a menu item, found by its command id, a new text.
void SetMenuItemText(HMENU menu, UINT id, const WideString& text);

// The tooltip of a whole window: the platform's tooltip control, shown when
// the mouse rests on the window. Owned by the window's thread.
class TWindowTip {
public:
  TWindowTip() = default;
  ~TWindowTip();
  TWindowTip(const TWindowTip&) = delete;
  TWindowTip& operator=(const TWindowTip&) = delete;

  // Creates the tooltip for window; once, after the window exists.
  void Attach(HWND window);
  // The text shown; empty shows none.
  void SetText(const WideString& text);
  const WideString& Text() const { return FText; }
  HWND Handle() const { return FTip; }

private:
  TOOLINFOW Tool() const;

  HWND FWindow = nullptr;
  HWND FTip = nullptr;
  WideString FText;
};
