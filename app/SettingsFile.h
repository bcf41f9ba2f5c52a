#pragma once
// Where the settings file lives, and its sections beside the trackers' own.
#include "platform/WinApi.h"
#include "tracker/TrackerSettings.h"

constexpr const WideChar SETTINGS_SUBFOLDER[] = u"\\Velmora\\Orvanta";
constexpr const WideChar SETTINGS_FILE_NAME[] = u"\\orvanta.ini";

// The application-data folder + "\Velmora\Orvanta" ("\Velmora\Orvanta" on the
// current drive when the shell cannot name that folder).
WideString GetSettingsFolder();
// Creates every missing level of path; failures are left to the first write.
void ForceDirectories(const WideString& path);
// The local time as "20261207-113000", for the name of a file kept aside.
WideString LocalStamp();
