// The tracker ID rule: what a section of the settings file can hold.
#include <gtest/gtest.h>

#include "text/WFold.h"
#include "tracker/TrackerId.h"

TEST(TrackerIdRule, RefusesWhatASectionCannotHoldAndCaseVariantsOfTakenIds) {
  const std::vector<WideString> taken = {u"abc123", u"Other"};
  const WideString longest(TRACKER_ID_MAX_LENGTH, u'a');
  const std::pair<TTrackerIdCheck, std::vector<WideString>> groups[] = {
      // No identifiers, but the file holds them.
      {TTrackerIdCheck::Ok, {u"k3v9w2m7p4xq", u"bad-id.with spaces", u"=;[x", longest}},
      {TTrackerIdCheck::Empty, {u""}},
      {TTrackerIdCheck::Unsafe,
       {u" lead", u"trail\t", u"a]b", u"[x", u";x", u"two\r\nlines", longest + u"a", WideString(u"nul\0x", 5),
        u"config", u"TRACKERS"}},
      {TTrackerIdCheck::Taken, {u"ABC123", u"other"}},
  };
  for (const auto& [expected, ids] : groups)
    for (const WideString& id : ids) EXPECT_EQ(CheckTrackerId(id, taken), expected) << Utf8FromWide(id);
}
