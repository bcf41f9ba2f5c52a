#include <gtest/gtest.h>

#include "dialogs/DialogRules.h"

// What counts as a number is IntegerSyntax's; here what the fields add to it.
TEST(DialogRules, RefreshFieldBecomesAnIntervalWithTwentySecondsForAnythingUnusable) {
  const std::pair<const char16_t*, int32_t> cases[] = {
      {u"15", 15000}, {u"1", 1000}, {u"", 20000}, {u"0", 20000}, {u"-5", 20000},
      {u"2147483", 2147483000}, {u"2147484", 2147483000},
  };
  for (const auto& [text, ms] : cases) EXPECT_EQ(RefreshIntervalMs(text), ms) << std::u16string(text).size();
}

TEST(DialogRules, AlertFieldIsEmptyForNoneOrACountAndAnythingElseIsRefused) {
  const struct {
    const char16_t* Text;
    bool Ok;
    int32_t Value;
  } cases[] = {{u"", true, 0}, {u"150", true, 150}, {u"0", true, 0}, {u"-1", false, 0}, {u"12a", false, 0}};
  for (const auto& c : cases) {
    int32_t value = -7;
    EXPECT_EQ(AlertThreshold(c.Text, value), c.Ok) << std::u16string(c.Text).size();
    EXPECT_EQ(value, c.Value);
  }
}

