#include <gtest/gtest.h>

#include "text/WStrUtils.h"

TEST(Exception, WhatIsTheMessageInUtf8) { EXPECT_STREQ(Exception(u"\u00e7a").what(), "\xc3\xa7" "a"); }

TEST(WideBuffers, CopiesStopAtTheTerminatorAndCopyMaxAlwaysTerminates) {
  struct Case {
    const WideChar* Src;
    int Max;
    WideString Expected;
  } cases[] = {{u"abcdef", 3, u"abc"}, {u"ab", 3, u"ab"}, {u"abc", 0, u""}, {u"abc", 3, u"abc"}, {u"", 5, u""}};
  for (const Case& c : cases) {
    WideChar buffer[8];
    std::fill(std::begin(buffer), std::end(buffer), u'#');
    EXPECT_EQ(WideCopyMax(buffer, c.Src, c.Max), buffer);
    EXPECT_EQ(WideString(buffer), c.Expected) << c.Max;
    EXPECT_EQ(buffer[c.Expected.size() + 1], u'#') << "writes nothing past the terminator";
  }
  WideChar buffer[5] = {u'x', u'x', u'x', u'x', u'x'};
  const WideChar embedded[] = {u'a', u'b', 0, u'c', 0};
  EXPECT_EQ(WideLength(embedded), 2);
  WideCopyZ(buffer, embedded);
  EXPECT_EQ(WideString(buffer, 4), WideString(u"ab\0x", 4));
}

TEST(WideBuffers, MoveHandlesOverlapBothWays) {
  WideChar up[] = u"abcdef";
  WideMove(up + 1, up, 4);  // source below destination
  EXPECT_EQ(WideString(up), u"aabcdf");
  WideChar down[] = u"abcdef";
  WideMove(down, down + 2, 4);
  EXPECT_EQ(WideString(down), u"cdefef");
}

TEST(WideBuffers, FromBytesZeroExtendsWithoutCodePage) {
  WideChar buffer[8] = {u'x'};
  WideFromBytes(buffer, std::string());
  EXPECT_EQ(buffer[0], 0);
  WideFromBytes(buffer, std::string("A\x80\xFF", 3));
  EXPECT_EQ(WideString(buffer), WideString(u"A\u0080\u00FF"));
}

TEST(WideBuffers, DuplicatesAreZeroTerminatedCopies) {
  EXPECT_EQ(WideDupZ(nullptr), nullptr);
  WideFreeZ(nullptr);
  WideChar* dup = WideDupZ(u"caption");
  EXPECT_EQ(WideString(dup), u"caption");
  WideFreeZ(dup);
}
