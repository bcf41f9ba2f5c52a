#include <gtest/gtest.h>

#include "inet/InetUtil.h"

TEST(HostSetting, SplitsHostAndPort) {
  struct {
    const char* Text;
    const char* Host;
    uint16_t Port;
  } cases[] = {
      {"counter.example.net", "counter.example.net", 80}, {"127.0.0.1:8080", "127.0.0.1", 8080},
      {"localhost:65535", "localhost", 65535}, {"host:", "host", 80}, {"host:0", "host", 80},
      {"host:65536", "host", 80}, {"host:12x", "host", 80}, {"host:1234567", "host", 80}, {"::1", "::1", 80},
      {"", "", 80},
  };
  for (const auto& c : cases) {
    THostPort hp = SplitHostPort(c.Text);
    EXPECT_EQ(hp.Host, c.Host) << c.Text;
    EXPECT_EQ(hp.Port, c.Port) << c.Text;
  }
}

TEST(PathSegment, EscapesAllButLettersDigitsDashAndUnderscore) {
  const struct {
    WideString Text;
    const char* Expected;
  } cases[] = {
      {u"AZaz09-_", "AZaz09-_"}, {u"", ""}, {u"a b", "a%20b"}, {u"x?y=1&z#f", "x%3Fy%3D1%26z%23f"},
      {u"\r\n\t%./", "%0D%0A%09%25%2E%2F"}, {u"\u00e7\u0130", "%C3%A7%C4%B0"}, {WideString(1, u'\0'), "%00"},
  };
  for (const auto& c : cases) EXPECT_EQ(EncodePathSegment(c.Text), c.Expected);
}
