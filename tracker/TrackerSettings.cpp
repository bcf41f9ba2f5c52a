#include "tracker/TrackerSettings.h"

#include <algorithm>
#include <utility>

#include "text/WFold.h"

TTrackerSettings ReadTrackerSettings(const TWCustomIniFile& ini, const WideString& id, const TScreenRect& workArea) {
  TTrackerSettings s;
  s.Left = ini.ReadInteger(id, KEY_LEFT, workArea.Right - WIDGET_WIDTH);
  s.Top = ini.ReadInteger(id, KEY_TOP, workArea.Bottom - WIDGET_HEIGHT);
  s.Interval = ini.ReadInteger(id, KEY_INTERVAL, DEFAULT_POLL_INTERVAL);
  s.ID = id;
  s.Title = ini.ReadString(id, KEY_TITLE, DEFAULT_TITLE);
  s.Count = ini.ReadInteger(id, KEY_TRACKER, NO_COUNT);
  s.Previous = ini.ReadInteger(id, KEY_PREVIOUS, NO_COUNT);
  s.AlwaysTop = ini.ReadBool(id, KEY_ALWAYSTOP, true);
  // An edited file may hold any number; the widget's alpha is a byte.
  s.TargetOpacity = std::clamp<int32_t>(ini.ReadInteger(id, KEY_OPACITY, 255), 0, 255);
  s.Enable = ini.ReadBool(id, KEY_ENABLE, true);
  s.IgnoreMouse = ini.ReadBool(id, KEY_IGNOREMOUSE, false);
  s.PreventDragging = ini.ReadBool(id, KEY_PREVENTDRAGGING, false);
  s.BackColor = static_cast<uint32_t>(ini.ReadInteger(id, KEY_BACKCOLOR, 0));
  s.Source.Source = ini.ReadString(id, KEY_SOURCE, u"");
  s.Source.Server = ini.ReadString(id, KEY_SERVER, u"");
  s.ApiKey = ini.ReadString(id, KEY_APIKEY, u"");
  s.Source.Header = ini.ReadString(id, KEY_HEADER, u"");
  s.Source.Pointer = ini.ReadString(id, KEY_POINTER, u"");
  s.Source.Page = ini.ReadString(id, KEY_PAGE, u"");
  // A negative threshold in an edited file means off.
  s.AlertAbove = std::max<int32_t>(0, ini.ReadInteger(id, KEY_ALERTABOVE, 0));
  s.AlertQuiet = std::max<int32_t>(0, ini.ReadInteger(id, KEY_ALERTQUIET, 0));
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
  const std::pair<const WideChar*, const WideString*> source[] = {
      {KEY_SOURCE, &s.Source.Source}, {KEY_SERVER, &s.Source.Server},   {KEY_APIKEY, &s.ApiKey},
      {KEY_HEADER, &s.Source.Header}, {KEY_POINTER, &s.Source.Pointer}, {KEY_PAGE, &s.Source.Page}};
  for (const auto& [key, value] : source)
    if (!value->empty()) ini.WriteString(id, key, *value);
  if (s.AlertAbove > 0) ini.WriteInteger(id, KEY_ALERTABOVE, s.AlertAbove);
  if (s.AlertQuiet > 0) ini.WriteInteger(id, KEY_ALERTQUIET, s.AlertQuiet);
}

std::vector<WideString> UnknownTrackerLines(const TWCustomIniFile& ini, const WideString& section) {
  // Folded once: keys are found ignoring case, so "left=" is the position, not a key of its own.
  static const std::vector<WideString> known = [] {
    std::vector<WideString> names;
    for (const WideChar* key : {KEY_LEFT, KEY_TOP, KEY_ALWAYSTOP, KEY_IGNOREMOUSE, KEY_PREVENTDRAGGING, KEY_TITLE,
                                KEY_ORVANTAID, KEY_INTERVAL, KEY_TRACKER, KEY_PREVIOUS, KEY_OPACITY, KEY_ENABLE,
                                KEY_BACKCOLOR, KEY_SOURCE, KEY_SERVER, KEY_APIKEY, KEY_HEADER, KEY_POINTER, KEY_PAGE,
                                KEY_ALERTABOVE, KEY_ALERTQUIET})
      names.push_back(FoldName(key));
    return names;
  }();
  TWStringList lines;
  ini.ReadSectionValues(section, &lines);
  std::vector<WideString> unknown;
  for (int i = 0; i < lines.GetCount(); ++i) {
    const WideString line = lines.Get(i);
    const WideString name = FoldName(line.substr(0, line.find(u'=')));
    if (std::find(known.begin(), known.end(), name) == known.end()) unknown.push_back(line);
  }
  return unknown;
}
