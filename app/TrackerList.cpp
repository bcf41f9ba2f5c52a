#include "app/TrackerList.h"

#include <unordered_set>

#include "text/WFold.h"
#include "ui/Components.h"

WideString TrackerComponentName(const WideString& id) {
  WideString name = WideString(TRACKER_NAME_PREFIX) + id;
  return IsValidIdent(name) ? name : WideString();
}

TTrackerLoadPlan PlanTrackerLoad(const TWStrings& entries, const std::function<bool(const WideString&)>& sectionExists,
                                 size_t maxTrackers) {
  TTrackerLoadPlan plan;
  std::unordered_set<WideString> taken;  // folded: one section per ID, case ignored
  int32_t delay = FIRST_START_DELAY;
  const int count = entries.GetCount();
  for (int i = 0; i < count; ++i) {
    // By position: two entries under one key name are two trackers.
    const WideString line = entries.Get(i);
    const size_t eq = line.find(u'=');
    const WideString id = eq == WideString::npos ? WideString() : line.substr(eq + 1);
    if (!sectionExists(id)) continue;
    if (CheckTrackerId(id, {}) != TTrackerIdCheck::Ok || plan.Create.size() >= maxTrackers ||
        !taken.insert(FoldName(id)).second) {
      plan.Kept.push_back(id);
      continue;
    }
    plan.Create.push_back(TTrackerStart{id, delay});
    delay += START_DELAY_STEP;
  }
  return plan;
}
