#pragma once
// Where the settings file lives and how one tracker's section maps to the
// widget's persisted fields.
#include "platform/WinApi.h"
#include "text/WIniFiles.h"
#include "widget/MainForm.h"

constexpr const WideChar SETTINGS_SUBFOLDER[] = u"\\Velmora\\Orvanta";
constexpr const WideChar SETTINGS_FILE_NAME[] = u"\\orvanta.ini";

constexpr const WideChar SECTION_CONFIG[] = u"Config";
constexpr const WideChar SECTION_TRACKERS[] = u"Trackers";
constexpr const WideChar KEY_LANGUAGE[] = u"Language";
constexpr const WideChar TRACKER_KEY_PREFIX[] = u"Key";

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

constexpr const WideChar DEFAULT_TITLE[] = u"Orvanta";

// The application-data folder + "\Velmora\Orvanta" ("\Velmora\Orvanta" on the
// current drive when the shell cannot name that folder).
WideString GetSettingsFolder();
// Creates every missing level of path; failures are left to the first write.
void ForceDirectories(const WideString& path);

// The tracker's fields from its section; title comes from the caller.
TTrackerSettings ReadTrackerSettings(const TWCustomIniFile& ini, const WideString& id, const WideString& title,
                                     const RECT& workArea);
// The thirteen keys of one tracker's section, in the file's order.
void WriteTrackerSettings(TWCustomIniFile& ini, const TTrackerSettings& s);
// "0x" and eight upper-case hexadecimal digits.
WideString BackColorText(uint32_t color);
