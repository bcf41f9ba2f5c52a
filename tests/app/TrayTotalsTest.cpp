#include <gtest/gtest.h>

#include "app/TrayTotals.h"
#include "tracker/CountPolling.h"

// The total leaves "?" out and counts it apart; trackers that do not fit the
// tip are dropped whole, and "…" says so unless the last one fits exactly.
TEST(TrayTotals, TotalThenEachTrackerCutAtWholeEntries) {
  const std::vector<TTrackerCount> three = {{u"Blog", 132}, {u"Shop", 80}, {u"Forum", NO_COUNT}};
  const WideString full = u"212 online (1 ?) \u00B7 Blog 132 \u00B7 Shop 80 \u00B7 Forum ?";
  const struct {
    std::vector<TTrackerCount> Counts;
    const char16_t* Online;
    size_t Limit;
    WideString Tip;
  } cases[] = {
      {{}, u"%s online", 127, u""},
      {three, u"%s online", full.size(), full},
      {three, u"%s online", full.size() - 1, u"212 online (1 ?) \u00B7 Blog 132 \u00B7 Shop 80 \u2026"},
      {three, u"%s online", 18, u"212 online (1 ?) \u2026"},
      {three, u"%s online", 17, u"212 online (1 ?)"},
      {three, u"%s online", 5, u"212 o"},
      {{{u"A", NO_COUNT}, {u"B", NO_COUNT}}, u"%s \u00E7evrimi\u00E7i", 127, u"0 \u00E7evrimi\u00E7i (2 ?) \u00B7 A ? \u00B7 B ?"},
      {{{u"A", INT32_MAX}, {u"B", INT32_MAX}}, u"online", 127,
       u"4294967294 online \u00B7 A 2147483647 \u00B7 B 2147483647"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TrayTotalText(c.Counts, c.Online, c.Limit), c.Tip) << c.Limit;
  }
}
