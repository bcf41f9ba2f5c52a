#include "app/PageOpener.h"

#include <mutex>

#include <shellapi.h>

namespace {
std::mutex gOpenerLock;
TPageOpener gOpener;  // guarded by gOpenerLock; empty: the shell opens it
}  // namespace

void OpenPage(HWND owner, const WideString& url) {
  TPageOpener opener;
  {
    std::lock_guard<std::mutex> guard(gOpenerLock);
    opener = gOpener;
  }
  if (opener)
    opener(owner, url);
  else
    ShellExecuteW(owner, L"open", WinStr(url), nullptr, nullptr, SW_SHOW);
}

void SetPageOpenerForTesting(const TPageOpener& opener) {
  std::lock_guard<std::mutex> guard(gOpenerLock);
  gOpener = opener;
}
