#pragma once
// A window class of this program's own: registered with the shared window
// procedure, so that no control ever has to subclass one of its own windows.
#include "platform/WinApi.h"
#include "text/WStrUtils.h"

// The framework's own classes, which TWidgetsUnit holds.
constexpr const WideChar CONTROL_CLASS_NAME[] = u"TControl";
constexpr const WideChar WIDGET_CONTROL_CLASS_NAME[] = u"TWidgetControl";
constexpr const WideChar WIDGET_FORM_CLASS_NAME[] = u"TWidgetForm";
constexpr const WideChar* TRAY_WINDOW_CLASS = u"Widget_Tray_Window_Class";
constexpr const WideChar WIN_CONTROL_CLASS_NAME[] = u"TWinControl";
constexpr const WideChar WIN_FORM_CLASS_NAME[] = u"TWinForm";

// The procedure of every class of the program's own: it finds the window's
// control and hands it the message.
LRESULT CALLBACK SharedWindowProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);

// Registers the class by its first holder and unregisters it by its last, so
// that the framework, a manager and a test fixture may each hold it. Made on
// the thread that starts the windows' threads, before they start: a window's
// thread never registers anything.
class TWindowClass {
public:
  explicit TWindowClass(const WideChar* name);
  ~TWindowClass();
  TWindowClass(const TWindowClass&) = delete;
  TWindowClass& operator=(const TWindowClass&) = delete;

  const WideString& Name() const { return FName; }

private:
  WideString FName;
};

// True for a class registered by a TWindowClass (its procedure is the shared one).
bool IsOwnWindowClass(const WNDCLASSW& info);
