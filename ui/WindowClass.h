#pragma once
// A window class of this program's own: registered with the shared window
// procedure, so that no control ever has to subclass one of its own windows.
#include "platform/WinApi.h"
#include "text/WStrUtils.h"

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
