#include "tracker/TrackerSettings.h"

#include <algorithm>
#include <type_traits>

#include "text/WFold.h"

namespace {
using S = TTrackerSettings;
using TSource = TSourceSettings;
}  // namespace

const std::vector<TTrackerField>& TrackerFields() {
  static const std::vector<TTrackerField> fields = {
      {KEY_LEFT, &S::Left},
      {KEY_TOP, &S::Top},
      {KEY_ALWAYSTOP, &S::AlwaysTop},
      {KEY_IGNOREMOUSE, &S::IgnoreMouse},
      {KEY_PREVENTDRAGGING, &S::PreventDragging},
      {KEY_TITLE, &S::Title},
      {KEY_ORVANTAID, &S::ID, TFieldRule::Section},
      {KEY_INTERVAL, &S::Interval},
      {KEY_TRACKER, &S::Count},
      {KEY_PREVIOUS, &S::Previous},
      // An edited file may hold any number; the widget's alpha is a byte.
      {KEY_OPACITY, &S::TargetOpacity, TFieldRule::Always, 0, 255},
      {KEY_ENABLE, &S::Enable},
      {KEY_BACKCOLOR, &S::BackColor},
      {KEY_SOURCE, &TSource::Source, TFieldRule::WhenSet},
      {KEY_SERVER, &TSource::Server, TFieldRule::WhenSet},
      {KEY_APIKEY, &S::ApiKey, TFieldRule::WhenSet},
      {KEY_HEADER, &TSource::Header, TFieldRule::WhenSet},
      {KEY_POINTER, &TSource::Pointer, TFieldRule::WhenSet},
      {KEY_PAGE, &TSource::Page, TFieldRule::WhenSet},
      // A negative threshold in an edited file means off.
      {KEY_ALERTABOVE, &S::AlertAbove, TFieldRule::WhenSet, 0},
      {KEY_ALERTQUIET, &S::AlertQuiet, TFieldRule::WhenSet, 0},
  };
  return fields;
}

TTrackerSettings ReadTrackerSettings(const TWCustomIniFile& ini, const WideString& id, const TScreenRect& workArea) {
  TTrackerSettings s;
  s.Left = workArea.Right - WIDGET_WIDTH;
  s.Top = workArea.Bottom - WIDGET_HEIGHT;
  for (const TTrackerField& f : TrackerFields()) {
    std::visit(
        [&](auto member) {
          using M = decltype(member);
          if (f.Rule == TFieldRule::Section) {
            if constexpr (std::is_same_v<M, WideString S::*>) s.*member = id;
          } else if constexpr (std::is_same_v<M, int32_t S::*>) {
            s.*member = std::clamp<int32_t>(ini.ReadInteger(id, f.Key, s.*member), f.Min, f.Max);
          } else if constexpr (std::is_same_v<M, bool S::*>) {
            s.*member = ini.ReadBool(id, f.Key, s.*member);
          } else if constexpr (std::is_same_v<M, uint32_t S::*>) {
            s.*member = static_cast<uint32_t>(ini.ReadInteger(id, f.Key, static_cast<int32_t>(s.*member)));
          } else if constexpr (std::is_same_v<M, WideString S::*>) {
            s.*member = ini.ReadString(id, f.Key, s.*member);
          } else {
            s.Source.*member = ini.ReadString(id, f.Key, s.Source.*member);
          }
        },
        f.Member);
  }
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
  for (const TTrackerField& f : TrackerFields()) {
    const bool always = f.Rule != TFieldRule::WhenSet;
    std::visit(
        [&](auto member) {
          using M = decltype(member);
          if constexpr (std::is_same_v<M, int32_t S::*>) {
            if (always || s.*member > 0) ini.WriteInteger(id, f.Key, s.*member);
          } else if constexpr (std::is_same_v<M, bool S::*>) {
            ini.WriteBool(id, f.Key, s.*member);
          } else if constexpr (std::is_same_v<M, uint32_t S::*>) {
            ini.WriteString(id, f.Key, BackColorText(s.*member));
          } else {
            const WideString* value;
            if constexpr (std::is_same_v<M, WideString S::*>)
              value = &(s.*member);
            else
              value = &(s.Source.*member);
            if (always || !value->empty()) ini.WriteString(id, f.Key, *value);
          }
        },
        f.Member);
  }
}

std::vector<WideString> UnknownTrackerLines(const TWCustomIniFile& ini, const WideString& section) {
  // Folded once: keys are found ignoring case, so "left=" is the position, not a key of its own.
  static const std::vector<WideString> known = [] {
    std::vector<WideString> names;
    for (const TTrackerField& f : TrackerFields()) names.push_back(FoldName(f.Key));
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
