#include <gtest/gtest.h>

#include "text/IntegerSyntax.h"

TEST(IntegerSyntax, AcceptsOnlyWholeInt32TextsInDecimalOrHex) {
  constexpr int64_t BAD = INT64_MAX;
  const std::pair<std::string, int64_t> cases[] = {
      {"0x1F", 31}, {"0X1f", 31}, {"$1f", 31}, {"x1F", 31}, {"X1F", 31}, {"-$10", -16}, {"+0x10", 16},
      {"0x000000FF", 255}, {"0xFFFFFFFF", -1}, {"$80000000", INT32_MIN}, {"-$80000000", INT32_MIN}, {"$000000001", 1},
      {"-2147483648", INT32_MIN}, {"2147483647", INT32_MAX}, {"   7", 7}, {"-0", 0}, {"007", 7}, {"2147483648", BAD},
      {"-2147483649", BAD}, {"99999999999", BAD}, {"$100000000", BAD}, {"12abc", BAD}, {"7 ", BAD}, {"", BAD},
      {"0x", BAD}, {" ", BAD}, {"\t7", BAD}, {"--1", BAD}, {"0x-5", BAD}, {std::string("1\0", 2), BAD},
  };
  for (const auto& [text, expected] : cases) {
    int32_t value = 12345;
    const bool parsed = ParseInteger32(text, value);
    EXPECT_EQ(parsed ? value : BAD, expected) << '"' << text << '"';
    EXPECT_TRUE(parsed || value == 12345) << "untouched: " << text;
  }
  int32_t value = 0;
  EXPECT_FALSE(ParseInteger32(WideString(u"\u0131"), value)) << "a code unit whose low byte is '1' is no digit";
  EXPECT_TRUE(ParseInteger32(WideString(u"-0x10"), value));
  EXPECT_EQ(value, -16);
}
