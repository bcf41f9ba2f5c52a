#include <gtest/gtest.h>

#include <tuple>

#include "inet/InetUtil.h"

TEST(BaseUrl, HostsAKeyMayReachOverPlainHttp) {
  for (const char* host : {"127.0.0.1", "127.255.0.9", "127.0.0.0", "LocalHost", "::1", "[::1]"})
    EXPECT_TRUE(IsLoopbackHost(host)) << host;
  // 0127 and 127.1 are other machines, or the same one by a resolver's whim.
  for (const char* host : {"128.0.0.1", "126.0.0.1", "127.0.0", "127.1", "127.0.0.1.", "127.0.0.1.5", "127.0.0.256",
                           "0127.0.0.1", "127.00.0.1", "0x7f.0.0.1", "localhost.evil.example", "127.0.0.1.nip.io",
                           "::2", "10.0.0.1", ""})
    EXPECT_FALSE(IsLoopbackHost(host)) << host;
}

TEST(BaseUrl, ServerAddressesWithAnOptionalPath) {
  // Text; scheme, host, port and the path without its trailing "/".
  const std::tuple<const char*, TUrlScheme, const char*, uint16_t, const char*> cases[] = {
      {"https://plausible.io", TUrlScheme::Https, "plausible.io", 443, ""},
      {"http://127.0.0.1:8080/", TUrlScheme::Http, "127.0.0.1", 8080, ""},
      {"HTTPS://u.example:8443/umami//", TUrlScheme::Https, "u.example", 8443, "/umami"},
      {"https://api.umami.is/v1", TUrlScheme::Https, "api.umami.is", 443, "/v1"},
      {"http://m.example/a/b%20c/", TUrlScheme::Http, "m.example", 80, "/a/b%20c"},
  };
  for (const auto& [text, scheme, hostName, port, path] : cases) {
    THostSetting host;
    std::string basePath = "unchanged";
    ASSERT_TRUE(ParseBaseUrl(text, host, basePath)) << text;
    EXPECT_EQ(host.Scheme, scheme) << text;
    EXPECT_EQ(host.Server.Host, hostName) << text;
    EXPECT_EQ(host.Server.Port, port) << text;
    EXPECT_EQ(basePath, path) << text;
  }
  for (const char* refused : {"", "u.example", "u.example/x", "ftp://u.example", "https://", "https:///x",
                              "https://u.example:99999", "https://u.example:0/", "https://user@u.example",
                              "https://u.example/?a=1", "https://u.example/#f", "https://a b", "https://u.example/a b",
                              "https://u.example/\r\nX: 1", "https://u.example\\x", "https://u.example/a\\b",
                              "https://[::1]/", "https://\xC3\xA7.example"}) {
    THostSetting host;
    std::string basePath = "unchanged";
    EXPECT_FALSE(ParseBaseUrl(refused, host, basePath)) << refused;
    EXPECT_EQ(basePath, "unchanged") << refused;
  }
}
