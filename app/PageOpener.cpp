#include "app/PageOpener.h"

#include <shellapi.h>

void OpenPage(HWND owner, const WideString& url) {
  ShellExecuteW(owner, L"open", WinStr(url), nullptr, nullptr, SW_SHOW);
}
