#include <gtest/gtest.h>

#include "ui/Streams.h"

TEST(MemoryStream, ReadsStopAtTheEndAndWritesPastItFillZeros) {
  TMemoryStream s;
  EXPECT_EQ(s.Write("abcd", 4), 4u);
  EXPECT_EQ(s.Seek(2, TSeekOrigin::End), 6);
  EXPECT_EQ(s.Write("z", 1), 1u);
  ASSERT_EQ(s.Size(), 7);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(s.Memory()), 7), std::string("abcd\0\0z", 7));
  char buffer[8] = {};
  s.SetPosition(5);
  EXPECT_EQ(s.Read(buffer, 8), 2u);
  s.SetPosition(100);
  EXPECT_EQ(s.Read(buffer, 8), 0u);
}

TEST(MemoryStream, RefusesPositionsAndSizesItCannotHold) {
  TMemoryStream s;
  s.Write("abc", 3);
  EXPECT_THROW(s.Seek(-4, TSeekOrigin::End), EStreamError);
  EXPECT_EQ(s.Position(), 3);
  EXPECT_THROW(s.Seek(INT64_MAX, TSeekOrigin::Current), EStreamError);
  EXPECT_THROW(s.Seek(INT64_MIN, TSeekOrigin::Current), EStreamError);
  EXPECT_THROW(s.SetSize(-1), EStreamError);
  EXPECT_THROW(s.SetSize(TMemoryStream::MaxSize + 1), EStreamError);
  s.SetPosition(TMemoryStream::MaxSize);
  EXPECT_THROW(s.Write("x", 1), EStreamError);
  EXPECT_EQ(s.Size(), 3);
  s.SetSize(1);
  EXPECT_EQ(s.Size(), 1);
  EXPECT_EQ(s.Position(), 1);  // a shrink pulls the position back
}
