#include "ui/WindowClass.h"

#include <map>
#include <mutex>

#include "ui/OSError.h"


namespace {
constexpr UINT kClassStyle = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
constexpr int kWindowExtraBytes = 4;

std::mutex gClassesLock;  // guards gHolders; registration happens under it
std::map<WideString, int> gHolders;
}  // namespace

TWindowClass::TWindowClass(const WideChar* name) : FName(name) {
  std::lock_guard<std::mutex> lock(gClassesLock);
  int& holders = gHolders[FName];
  if (holders == 0) {
    WNDCLASSW wc{};
    wc.style = kClassStyle;
    wc.lpfnWndProc = SharedWindowProc;
    wc.cbWndExtra = kWindowExtraBytes;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = WinStr(FName);
    WNDCLASSW left{};
    // A class whose unregistering was refused while a window of it lived on
    // is still the program's own.
    if (!RegisterClassW(&wc) && !(GetClassInfoW(wc.hInstance, wc.lpszClassName, &left) && IsOwnWindowClass(left))) {
      const DWORD error = GetLastError();
      gHolders.erase(FName);
      throw EOSError(error);
    }
  }
  ++holders;
}

TWindowClass::~TWindowClass() {
  std::lock_guard<std::mutex> lock(gClassesLock);
  auto it = gHolders.find(FName);
  if (it == gHolders.end() || --it->second > 0) return;
  gHolders.erase(it);
  // Refused while a window of the class lives on (a widget thread left to end
  // on its own at exit); the process ending frees it then.
  UnregisterClassW(WinStr(FName), GetModuleHandleW(nullptr));
}

bool IsOwnWindowClass(const WNDCLASSW& info) { return info.lpfnWndProc == SharedWindowProc; }
