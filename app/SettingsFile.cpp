#include "app/SettingsFile.h"

#include <shlobj.h>

#include <algorithm>

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

TTrackerSettings ReadTrackerSettings(const TWCustomIniFile& ini, const WideString& id, const WideString& title,
                                     const RECT& workArea) {
  TTrackerSettings s;
  s.Left = ini.ReadInteger(id, KEY_LEFT, workArea.right - WIDGET_WIDTH);
  s.Top = ini.ReadInteger(id, KEY_TOP, workArea.bottom - WIDGET_HEIGHT);
  s.Interval = ini.ReadInteger(id, KEY_INTERVAL, DEFAULT_POLL_INTERVAL);
  s.ID = id;
  s.Title = title;
  s.Count = ini.ReadInteger(id, KEY_TRACKER, NO_COUNT);
  s.Previous = ini.ReadInteger(id, KEY_PREVIOUS, NO_COUNT);
  s.AlwaysTop = ini.ReadBool(id, KEY_ALWAYSTOP, true);
  // An edited file may hold any number; the widget's alpha is a byte.
  s.TargetOpacity = std::clamp<int32_t>(ini.ReadInteger(id, KEY_OPACITY, 255), 0, 255);
  s.Enable = ini.ReadBool(id, KEY_ENABLE, true);
  s.IgnoreMouse = ini.ReadBool(id, KEY_IGNOREMOUSE, false);
  s.PreventDragging = ini.ReadBool(id, KEY_PREVENTDRAGGING, false);
  s.BackColor = static_cast<uint32_t>(ini.ReadInteger(id, KEY_BACKCOLOR, 0));
  return s;
}

WideString BackColorText(uint32_t color) {
  static const char digits[] = "0123456789ABCDEF";
  WideString text = u"0x";
  for (int shift = 28; shift >= 0; shift -= 4) text += WideChar(digits[(color >> shift) & 15]);
  return text;
}

void WriteTrackerSettings(TWCustomIniFile& ini, const TTrackerSettings& s) {
  const WideString& id = s.ID;
  ini.WriteInteger(id, KEY_LEFT, s.Left);
  ini.WriteInteger(id, KEY_TOP, s.Top);
  ini.WriteBool(id, KEY_ALWAYSTOP, s.AlwaysTop);
  ini.WriteBool(id, KEY_IGNOREMOUSE, s.IgnoreMouse);
  ini.WriteBool(id, KEY_PREVENTDRAGGING, s.PreventDragging);
  ini.WriteString(id, KEY_TITLE, s.Title);
  ini.WriteString(id, KEY_ORVANTAID, id);
  ini.WriteInteger(id, KEY_INTERVAL, s.Interval);
  ini.WriteInteger(id, KEY_TRACKER, s.Count);
  ini.WriteInteger(id, KEY_PREVIOUS, s.Previous);
  ini.WriteInteger(id, KEY_OPACITY, s.TargetOpacity);
  ini.WriteBool(id, KEY_ENABLE, s.Enable);
  ini.WriteString(id, KEY_BACKCOLOR, BackColorText(s.BackColor));
}
