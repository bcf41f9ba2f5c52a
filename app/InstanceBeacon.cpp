#include "app/InstanceBeacon.h"

#include "platform/ProgramIds.h"

namespace {
LRESULT CALLBACK BeaconProc(HWND window, UINT msg, WPARAM w, LPARAM l) {
  HWND manager = reinterpret_cast<HWND>(GetWindowLongPtrW(window, GWLP_USERDATA));
  switch (msg) {
    case WM_SECONDINSTANCE:
      // Same thread: a direct call, answered before the sender's bound runs out.
      return manager ? SendMessageW(manager, msg, w, l) : 0;
    case WM_COMMAND:
      // Posted on, so that an Exit runs from the manager's own loop.
      if (manager) PostMessageW(manager, msg, w, l);
      return 0;
    case WM_CLOSE:
      return 0;  // the beacon goes with the manager, not before
    default:
      return DefWindowProcW(window, msg, w, l);
  }
}

ATOM BeaconClass() {
  static const ATOM atom = [] {
    WNDCLASSW wc{};
    wc.lpfnWndProc = BeaconProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = WinStr(BEACON_CLASS_NAME);
    return RegisterClassW(&wc);
  }();
  return atom;
}
}  // namespace

TInstanceBeacon::TInstanceBeacon(HWND manager) {
  if (!manager || !BeaconClass()) return;
  // Not a message-only window: FindWindow does not see those.
  FWindow = CreateWindowExW(WS_EX_TOOLWINDOW, WinStr(BEACON_CLASS_NAME), WinStr(BEACON_CAPTION), WS_POPUP, 0, 0, 0, 0,
                            nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  if (FWindow) SetWindowLongPtrW(FWindow, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(manager));
}

TInstanceBeacon::~TInstanceBeacon() {
  if (FWindow) DestroyWindow(FWindow);
}

HWND FindRunningInstance() {
  if (HWND beacon = FindWindowW(WinStr(BEACON_CLASS_NAME), WinStr(BEACON_CAPTION))) return beacon;
  return FindWindowW(WinStr(MANAGER_CLASS_NAME), WinStr(MANAGER_CAPTION));
}
