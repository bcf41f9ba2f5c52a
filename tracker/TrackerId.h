#pragma once
// The one rule for tracker IDs: what the settings file can hold as a section
// and a [Trackers] value, used when the file is loaded and when the user types one.
#include <vector>

#include "text/WStrUtils.h"

// The settings file's own sections; no tracker may share one.
constexpr const WideChar SECTION_CONFIG[] = u"Config";
constexpr const WideChar SECTION_TRACKERS[] = u"Trackers";

// Longer IDs are refused: no counter service issues them, and a hostile file
// must not make menus, captions and requests of unbounded size.
constexpr size_t TRACKER_ID_MAX_LENGTH = 256;

enum class TTrackerIdCheck {
  Ok,
  Empty,
  Unsafe,  // a section header or key line of the settings file cannot hold it, or the file's own section has it
  Taken,   // another tracker has it, ignoring case (they would share one section)
};

// taken: the IDs of the other trackers.
TTrackerIdCheck CheckTrackerId(const WideString& id, const std::vector<WideString>& taken);
