#pragma once
// Window-free rules of the tracker list: which IDs the component tree can
// hold, and in what order and with which start delays the trackers of a
// settings file are created.
#include <cstdint>
#include <functional>
#include <vector>

#include "text/WStrings.h"
#include "tracker/TrackerId.h"

// The widget's component name is this prefix followed by the ID.
constexpr const WideChar TRACKER_NAME_PREFIX[] = u"WidgetMainForm";
// Every tracker is a window and a thread: a file that lists more keeps the
// rest in [Trackers] without widgets.
constexpr size_t MAX_TRACKERS = 200;

constexpr int32_t FIRST_START_DELAY = 250;  // ms before the first tracker's first poll
constexpr int32_t START_DELAY_STEP = 200;   // ms added for every tracker created after it

// "WidgetMainForm" + ID when that is a valid component name; otherwise empty
// (the widget stays unnamed: nothing looks widgets up by component name).
WideString TrackerComponentName(const WideString& id);

struct TTrackerStart {
  WideString ID;
  int32_t StartDelay;
};

struct TTrackerLoadPlan {
  std::vector<TTrackerStart> Create;  // in [Trackers] order
  // IDs that have their section but break the ID rule or the limit: they get
  // no widget, and stay listed in [Trackers] (after the live trackers) with their section.
  std::vector<WideString> Kept;
};

// entries: the name=value lines of [Trackers] in file order; each entry's ID
// is its own value, whatever its key name. Entries without a section are
// dropped and do not advance the start delay. Linear in the entries.
TTrackerLoadPlan PlanTrackerLoad(const TWStrings& entries, const std::function<bool(const WideString&)>& sectionExists,
                                 size_t maxTrackers = MAX_TRACKERS);
