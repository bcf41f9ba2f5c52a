#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "text/WStrUtils.h"

TEST(Exception, WhatIsTheMessageInUtf8) { EXPECT_STREQ(Exception(u"\u00e7a").what(), "\xc3\xa7" "a"); }

TEST(WideBuffers, LengthCountsUnitsBeforeTheTerminator) {
  EXPECT_EQ(WideLength(u""), 0);
  EXPECT_EQ(WideLength(u"abc"), 3);
  const WideChar embedded[] = {u'a', 0, u'b', 0};
  EXPECT_EQ(WideLength(embedded), 1);
}

TEST(WideBuffers, CopyMaxCutsAndAlwaysTerminates) {
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
    EXPECT_EQ(buffer[c.Expected.size()], 0);
    EXPECT_EQ(buffer[c.Expected.size() + 1], u'#') << "writes nothing past the terminator";
  }
}

TEST(WideBuffers, CopyZCopiesTheTerminator) {
  WideChar buffer[5] = {u'x', u'x', u'x', u'x', u'x'};
  WideCopyZ(buffer, u"ab");
  EXPECT_EQ(WideString(buffer, 4), WideString(u"ab\0x", 4));
}

TEST(WideBuffers, MoveHandlesOverlapBothWays) {
  WideChar up[] = u"abcdef";
  WideMove(up + 1, up, 4);  // source below destination
  EXPECT_EQ(WideString(up), u"aabcdf");
  WideChar down[] = u"abcdef";
  WideMove(down, down + 2, 4);
  EXPECT_EQ(WideString(down), u"cdefef");
  WideChar same[] = u"abc";
  WideMove(same, same, 3);
  EXPECT_EQ(WideString(same), u"abc");
}

TEST(WideBuffers, FromBytesZeroExtendsWithoutCodePage) {
  WideChar buffer[8];
  WideFromBytes(buffer, std::string("A\x80\xFF", 3));
  EXPECT_EQ(WideString(buffer), WideString(u"A\u0080\u00FF"));
  buffer[0] = u'x';
  WideFromBytes(buffer, std::string());
  EXPECT_EQ(buffer[0], 0);
}

TEST(WideBuffers, AllocRecordsByteCountAndZeroFills) {
  WideChar* p = WideAllocZ(10);
  uint32_t header;
  std::memcpy(&header, reinterpret_cast<unsigned char*>(p) - 4, 4);
  EXPECT_EQ(header, 24u);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(p[i], 0);
  WideFreeZ(p);

  EXPECT_EQ(WideDupZ(nullptr), nullptr);
  WideFreeZ(nullptr);
  WideChar* dup = WideDupZ(u"caption");
  EXPECT_EQ(WideString(dup), u"caption");
  std::memcpy(&header, reinterpret_cast<unsigned char*>(dup) - 4, 4);
  EXPECT_EQ(header, 2u * 8 + 4);
  WideFreeZ(dup);
}
