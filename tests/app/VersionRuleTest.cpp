// Which versions the maker's file may offer.
#include <gtest/gtest.h>

#include "app/VersionRule.h"

TEST(VersionRule, VersionsCompareAsTextNotAsNumbers) {
  for (const char16_t* older : {u"", u"1.50", u"1.5", u"1.100", u"1.49", u"0.99", u"1.5 "})
    EXPECT_FALSE(IsNewerVersion(older)) << std::u16string(older).size();
  for (const char16_t* newer : {u"1.51", u"1.6", u"2.0", u"1.50.1", u"1.500"})
    EXPECT_TRUE(IsNewerVersion(newer)) << std::u16string(newer).size();
}
