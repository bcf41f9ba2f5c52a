// The tracker-list rules: which IDs get a widget, and with which start delay.
#include <gtest/gtest.h>

#include "app/TrackerList.h"
#include "text/WFold.h"

namespace {

TEST(TrackerIdRule, RefusesWhatASectionCannotHoldAndCaseVariantsOfTakenIds) {
  const std::vector<WideString> taken = {u"abc123", u"Other"};
  const struct {
    WideString Id;
    TTrackerIdCheck Expected;
  } cases[] = {
      {u"k3v9w2m7p4xq", TTrackerIdCheck::Ok},
      {u"bad-id.with spaces", TTrackerIdCheck::Ok},  // no identifier, but the file holds it
      {u"=;[x", TTrackerIdCheck::Ok},
      {u"", TTrackerIdCheck::Empty},
      {u" lead", TTrackerIdCheck::Unsafe},
      {u"trail\t", TTrackerIdCheck::Unsafe},
      {u"a]b", TTrackerIdCheck::Unsafe},
      {u"[x", TTrackerIdCheck::Unsafe},
      {u";x", TTrackerIdCheck::Unsafe},
      {u"two\r\nlines", TTrackerIdCheck::Unsafe},
      {WideString(TRACKER_ID_MAX_LENGTH, u'a'), TTrackerIdCheck::Ok},
      {WideString(TRACKER_ID_MAX_LENGTH + 1, u'a'), TTrackerIdCheck::Unsafe},
      {u"ABC123", TTrackerIdCheck::Taken},
      {u"other", TTrackerIdCheck::Taken},
  };
  for (const auto& c : cases) EXPECT_EQ(CheckTrackerId(c.Id, taken), c.Expected) << Utf8FromWide(c.Id);
  EXPECT_EQ(CheckTrackerId(WideString(u"nul\0x", 5), taken), TTrackerIdCheck::Unsafe);
}

// Entries in file order; sections present for some of them.
TEST(TrackerLoadPlan, SkipsEntriesWithoutSectionsAndKeepsRefusedOnesInOrder) {
  const struct {
    std::vector<WideString> Entries;
    std::vector<WideString> Sections;
    std::vector<WideString> Created;
    std::vector<int32_t> Delays;
    std::vector<WideString> Kept;
    size_t Limit = MAX_TRACKERS;
  } cases[] = {
      {{}, {}, {}, {}, {}},
      {{u"Key0=a", u"Key1=ghost", u"Key2=b"}, {u"a", u"b"}, {u"a", u"b"}, {250, 450}, {}},
      {{u"Key0=a", u"Key1=A", u"Key2=x]y", u"Key3=c"}, {u"a", u"x]y", u"c"}, {u"a", u"c"}, {250, 450}, {u"A", u"x]y"}},
      // Two entries under one key name both mean the first one's value.
      {{u"K=a", u"K=b", u"L=b"}, {u"a", u"b"}, {u"a", u"b"}, {250, 450}, {u"a"}},
      {{u"junk", u"Key0=a"}, {u"a"}, {u"a"}, {250}, {}},
      {{u"Key0=a", u"Key1=b", u"Key2=c"}, {u"a", u"b", u"c"}, {u"a", u"b"}, {250, 450}, {u"c"}, 2},
  };
  for (const auto& c : cases) {
    TWStringList entries;
    for (const WideString& e : c.Entries) entries.Add(e);
    TTrackerLoadPlan plan = PlanTrackerLoad(entries, [&](const WideString& id) {
      for (const WideString& s : c.Sections)
        if (FoldName(s) == FoldName(id)) return true;
      return false;
    }, c.Limit);
    std::vector<WideString> created;
    std::vector<int32_t> delays;
    for (const TTrackerStart& s : plan.Create) {
      created.push_back(s.ID);
      delays.push_back(s.StartDelay);
    }
    EXPECT_EQ(created, c.Created);
    EXPECT_EQ(delays, c.Delays);
    EXPECT_EQ(plan.Kept, c.Kept);
  }
}

}  // namespace
