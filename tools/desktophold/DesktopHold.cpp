// Keeps Wine's desktop process alive for a whole test run. Without a live
// program Wine ends explorer.exe when idle; the next test that opens a window
// restarts it under CTest, which then waits for it to exit before finishing.
#include "platform/WinApi.h"

int main() {
  GetDesktopWindow();  // starts the desktop process
  Sleep(INFINITE);     // ended by wineserver -k
  return 0;
}
