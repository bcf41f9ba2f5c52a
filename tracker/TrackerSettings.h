#pragma once
// What a tracker keeps in its section of the settings file, and how the
// section's keys map to it. Window-free, so the mapping is tested natively.
#include <cstdint>
#include <variant>
#include <vector>

#include "text/WIniFiles.h"
#include "platform/ScreenRect.h"
#include "tracker/CountPolling.h"
#include "tracker/TrackerSource.h"

// The widget's face at 100 %.
constexpr int32_t WIDGET_WIDTH = 79;
constexpr int32_t WIDGET_HEIGHT = 74;

constexpr const WideChar KEY_LEFT[] = u"Left";
constexpr const WideChar KEY_TOP[] = u"Top";
constexpr const WideChar KEY_ALWAYSTOP[] = u"AlwaysTop";
constexpr const WideChar KEY_IGNOREMOUSE[] = u"IgnoreMouse";
constexpr const WideChar KEY_PREVENTDRAGGING[] = u"PreventDragging";
constexpr const WideChar KEY_TITLE[] = u"Title";
constexpr const WideChar KEY_ORVANTAID[] = u"OrvantaID";
constexpr const WideChar KEY_INTERVAL[] = u"Interval";
constexpr const WideChar KEY_TRACKER[] = u"Tracker";
constexpr const WideChar KEY_PREVIOUS[] = u"Previous";
constexpr const WideChar KEY_OPACITY[] = u"Opacity";
constexpr const WideChar KEY_ENABLE[] = u"Enable";
constexpr const WideChar KEY_BACKCOLOR[] = u"BackColor";
// A tracker's source, written after the thirteen keys above and only when set,
// so that a counter-service tracker's section stays as older versions wrote it.
constexpr const WideChar KEY_SOURCE[] = u"Source";
constexpr const WideChar KEY_SERVER[] = u"Server";
constexpr const WideChar KEY_APIKEY[] = u"ApiKey";
constexpr const WideChar KEY_HEADER[] = u"Header";
constexpr const WideChar KEY_POINTER[] = u"Pointer";
constexpr const WideChar KEY_PAGE[] = u"Page";
// Alerts, written last and only when on.
constexpr const WideChar KEY_ALERTABOVE[] = u"AlertAbove";  // the count that shows a balloon
constexpr const WideChar KEY_ALERTQUIET[] = u"AlertQuiet";  // minutes without visitors that show one

constexpr const WideChar DEFAULT_TITLE[] = u"Orvanta";

struct TTrackerSettings {
  int32_t Left = 0, Top = 0;
  bool AlwaysTop = true;
  bool IgnoreMouse = false;
  bool PreventDragging = false;
  WideString Title = DEFAULT_TITLE;
  WideString ID;
  int32_t Interval = DEFAULT_POLL_INTERVAL;
  int32_t Count = NO_COUNT;
  int32_t Previous = NO_COUNT;
  int32_t TargetOpacity = 255;
  bool Enable = true;
  uint32_t BackColor = 0;  // Windows colour 0x00BBGGRR
  TSourceSettings Source;
  WideString ApiKey;  // as stored: "dpapi:..." once saved; plain only as written by hand
  int32_t AlertAbove = 0;  // 0: off
  int32_t AlertQuiet = 0;  // minutes; 0: off
};

// One key of a tracker's section and the member it maps to. A key missing
// from the file reads as the member's default above (the position's is the
// work area's corner); numbers are clamped to [Min, Max] as they are read.
using TTrackerMember = std::variant<int32_t TTrackerSettings::*, bool TTrackerSettings::*,
                                    WideString TTrackerSettings::*, uint32_t TTrackerSettings::*,  // BackColor, in hex
                                    WideString TSourceSettings::*>;
enum class TFieldRule : uint8_t {
  Always,
  WhenSet,  // written only when not empty, or above 0
  Section,  // the section's name: written, and read from the name rather than the key
};
struct TTrackerField {
  const WideChar* Key;
  TTrackerMember Member;
  TFieldRule Rule = TFieldRule::Always;
  int32_t Min = INT32_MIN, Max = INT32_MAX;
};
// Every key, in the file's order.
const std::vector<TTrackerField>& TrackerFields();

// The tracker of section id; a missing position puts the widget in the work
// area's bottom-right corner.
TTrackerSettings ReadTrackerSettings(const TWCustomIniFile& ini, const WideString& id, const TScreenRect& workArea);
// The thirteen keys of one tracker's section in the file's order, then the
// source's keys and the alerts that are set.
void WriteTrackerSettings(TWCustomIniFile& ini, const TTrackerSettings& s);
// The lines of section whose keys this version neither reads nor writes (a
// newer version's, a hand edit's), as the file holds them: a save writes them
// back after its own keys, so that no version drops what another wrote.
std::vector<WideString> UnknownTrackerLines(const TWCustomIniFile& ini, const WideString& section);
// "0x" and eight upper-case hexadecimal digits.
WideString BackColorText(uint32_t color);
