#include <gtest/gtest.h>

#include "text/WStrUtils.h"

TEST(Exception, WhatIsTheMessageInUtf8) { EXPECT_STREQ(Exception(u"\u00e7a").what(), "\xc3\xa7" "a"); }

TEST(WideBuffers, CopiesStopAtTheTerminatorAndWriteNothingPastIt) {
  struct Case {
    const WideChar* Src;
    int Max;
    WideString Expected;
  } cases[] = {{u"abcdef", 3, u"abc"}, {u"ab", 3, u"ab"}, {u"abc", 0, u""}, {u"", 5, u""}};
  for (const Case& c : cases) {
    WideChar buffer[8];
    std::fill(std::begin(buffer), std::end(buffer), u'#');
    EXPECT_EQ(WideCopyMax(buffer, c.Src, c.Max), buffer);
    EXPECT_EQ(WideString(buffer), c.Expected) << c.Max;
    EXPECT_EQ(buffer[c.Expected.size() + 1], u'#') << c.Max;
  }
  WideChar up[] = u"abcdef";
  WideMove(up + 1, up, 4);  // overlapping, source below destination
  EXPECT_EQ(WideString(up), u"aabcdf");
  WideChar down[] = u"abcdef";
  WideMove(down, down + 2, 4);
  EXPECT_EQ(WideString(down), u"cdefef");
}
