#include <gtest/gtest.h>

#include "dialogs/DialogRules.h"

TEST(DialogRules, RefreshFieldBecomesAnIntervalWithTwentySecondsForAnythingUnusable) {
  const struct {
    const char16_t* Text;
    int32_t Ms;
  } cases[] = {
      {u"15", 15000}, {u"1", 1000},      {u"", 20000},         {u"abc", 20000},        {u"0", 20000},
      {u"-5", 20000}, {u"15s", 20000},   {u"2147483", 2147483000}, {u"2147484", 2147483000},
      {u"99999999999", 20000},
  };
  for (const auto& c : cases) EXPECT_EQ(RefreshIntervalMs(c.Text), c.Ms) << std::u16string(c.Text).size();
}

