#include <gtest/gtest.h>

#include "dialogs/DialogRules.h"

TEST(DialogRules, RefreshFieldBecomesAnIntervalWithTwentySecondsForAnythingUnusable) {
  const std::pair<const char16_t*, int32_t> cases[] = {
      {u"15", 15000}, {u"1", 1000},      {u"", 20000},         {u"abc", 20000},        {u"0", 20000},
      {u"-5", 20000}, {u"15s", 20000},   {u"2147483", 2147483000}, {u"2147484", 2147483000},
      {u"99999999999", 20000},
  };
  for (const auto& [text, ms] : cases) EXPECT_EQ(RefreshIntervalMs(text), ms) << std::u16string(text).size();
}

