#include "app/SettingsFile.h"

#include <shlobj.h>


WideString GetSettingsFolder() {
  wchar_t path[MAX_PATH + 1] = {};
  WideString folder;
  if (SHGetSpecialFolderPathW(GetDesktopWindow(), path, CSIDL_APPDATA, FALSE)) {
    path[MAX_PATH] = 0;
    folder = WideString(reinterpret_cast<const WideChar*>(path));
  }
  return folder + SETTINGS_SUBFOLDER;
}

void ForceDirectories(const WideString& path) {
  for (size_t at = path.find(u'\\', 1); ; at = path.find(u'\\', at + 1)) {
    const WideString level = path.substr(0, at);
    // A drive ("C:") or the root needs no creating.
    if (!level.empty() && level.back() != u':') CreateDirectoryW(WinStr(level), nullptr);
    if (at == WideString::npos) break;
  }
}


WideString LocalStamp() {
  SYSTEMTIME t{};
  GetLocalTime(&t);
  return WideFormat(u"%d", {static_cast<int32_t>(t.wYear)}) + TwoDigits(t.wMonth) + TwoDigits(t.wDay) + u"-" +
         TwoDigits(t.wHour) + TwoDigits(t.wMinute) + TwoDigits(t.wSecond);
}
