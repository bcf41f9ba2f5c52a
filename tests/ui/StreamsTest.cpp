#include <gtest/gtest.h>

#include "ui/Streams.h"

// The stream adapter's tests cover reads and seeks inside the stream; these are the edges.
TEST(MemoryStream, WritesPastTheEndFillZerosAndImpossiblePositionsAndSizesAreRefused) {
  TMemoryStream s;
  s.Write("abcd", 4);
  EXPECT_EQ(s.Seek(2, TSeekOrigin::End), 6);
  s.Write("z", 1);
  ASSERT_EQ(s.Size(), 7);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(s.Memory()), 7), std::string("abcd\0\0z", 7));
  char buffer[8] = {};
  s.SetPosition(100);
  EXPECT_EQ(s.Read(buffer, 8), 0u);
  EXPECT_THROW(s.Seek(INT64_MIN, TSeekOrigin::Current), EStreamError);
  EXPECT_THROW(s.SetSize(TMemoryStream::MaxSize + 1), EStreamError);
  s.SetPosition(TMemoryStream::MaxSize);
  EXPECT_THROW(s.Write("x", 1), EStreamError);
  EXPECT_EQ(s.Size(), 7);
  s.SetSize(1);
  EXPECT_EQ(s.Position(), 1);  // a shrink pulls the position back
}
