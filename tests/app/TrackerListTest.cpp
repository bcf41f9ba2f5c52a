// The tracker-list rules: which IDs get a widget, and with which start delay.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/TrackerList.h"
#include "text/WFold.h"

// Entries in file order; sections present for some of them. The trackers
// created start 200 ms apart, the first after 250 ms.
TEST(TrackerLoadPlan, SkipsEntriesWithoutSectionsAndKeepsRefusedOnesInOrder) {
  const struct {
    std::vector<WideString> Entries, Sections, Created, Kept;
    size_t Limit = MAX_TRACKERS;
  } cases[] = {
      {{u"Key0=a", u"Key1=ghost", u"Key2=b"}, {u"a", u"b"}, {u"a", u"b"}, {}},
      {{u"Key0=a", u"Key1=A", u"Key2=x]y", u"Key3=c"}, {u"a", u"x]y", u"c"}, {u"a", u"c"}, {u"A", u"x]y"}},
      // Entries count by position, whatever their key names.
      {{u"K=a", u"K=b", u"L=b"}, {u"a", u"b"}, {u"a", u"b"}, {u"b"}},
      {{u"junk", u"Key0=a"}, {u"a"}, {u"a"}, {}},
      {{u"Key0=a", u"Key1=b", u"Key2=c"}, {u"a", u"b", u"c"}, {u"a", u"b"}, {u"c"}, 2},
  };
  for (const auto& c : cases) {
    TWStringList entries;
    for (const WideString& e : c.Entries) entries.Add(e);
    TTrackerLoadPlan plan = PlanTrackerLoad(entries, [&](const WideString& id) {
      auto same = [&](const WideString& s) { return FoldName(s) == FoldName(id); };
      return std::any_of(c.Sections.begin(), c.Sections.end(), same);
    }, c.Limit);
    std::vector<WideString> created;
    for (const TTrackerStart& s : plan.Create) {
      EXPECT_EQ(s.StartDelay, 250 + 200 * static_cast<int32_t>(created.size())) << Utf8FromWide(s.ID);
      created.push_back(s.ID);
    }
    EXPECT_EQ(created, c.Created);
    EXPECT_EQ(plan.Kept, c.Kept);
  }
}
