#include <gtest/gtest.h>

#include <tuple>

#include "inet/InetUtil.h"

TEST(HostSetting, SchemeChoosesTlsAndDefaultPort) {
  // Text; scheme, host and port; the base of the pages the browser opens.
  const std::tuple<const char*, TUrlScheme, const char*, uint16_t, const char*> cases[] = {
      {"counter.example.net", TUrlScheme::Http, "counter.example.net", 80, "http://counter.example.net"},
      {"127.0.0.1:8080", TUrlScheme::Http, "127.0.0.1", 8080, "http://127.0.0.1:8080"},
      {"http://h:80", TUrlScheme::Http, "h", 80, "http://h"},
      {"https://h", TUrlScheme::Https, "h", 443, "https://h"},
      {"HTTPS://h:65535", TUrlScheme::Https, "h", 65535, "https://h:65535"},
      {"https://h:80", TUrlScheme::Https, "h", 80, "https://h:80"},
      {"http://h:443", TUrlScheme::Http, "h", 443, "http://h:443"},
  };
  for (const auto& [text, scheme, host, port, url] : cases) {
    THostSetting setting;
    ASSERT_TRUE(ParseHostSetting(text, setting)) << text;
    EXPECT_EQ(setting.Scheme, scheme) << text;
    EXPECT_EQ(setting.Server.Host, host) << text;
    EXPECT_EQ(setting.Server.Port, port) << text;
    EXPECT_EQ(HostUrl(text), url) << text;
  }
  for (const char* refused : {"", "https://", "ftp://h", "https:/h", "http://http://h", "h:", "h:0", "h:65536", "h:12x",
                              "::1", "[::1]:80", "u@h", "h/p", "h?q", "h#f", "h\\x", "h\r\n", "\xC3\xA7"}) {
    THostSetting setting;
    EXPECT_FALSE(ParseHostSetting(refused, setting)) << refused;
  }
  EXPECT_EQ(HostUrl("h:0"), "http://h:0") << "a setting that does not parse is shown as it was";
}

TEST(PathText, IdIsSentVerbatimExceptWhatBreaksTheRequestLine) {
  const std::pair<WideString, const char*> cases[] = {
      {u"my.site/a-b_c~!$&'()*+,;=:@", "my.site/a-b_c~!$&'()*+,;=:@"}, {u"a b", "a%20b"}, {u"x?y#z", "x%3Fy%23z"},
      {u"\r\n\t\x7F", "%0D%0A%09%7F"}, {WideString(1, u'\0'), "%00"}, {u"%41%4g%", "%41%254g%25"},
      {u"%a", "%25a"}, {u"\u00e7\u0130", "%C3%A7%C4%B0"},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(EncodePathText(text), expected) << Utf8FromWide(text);
}

TEST(RedirectTarget, ResolvesAgainstTheRequestItAnswers) {
  TRedirectTarget current;
  current.Server = {"127.0.0.1", 8080};
  current.Path = "/sitecount/a?x=1";
  const std::tuple<const char*, TUrlScheme, const char*, uint16_t, const char*> cases[] = {
      {"http://other:81/p?q", TUrlScheme::Http, "other", 81, "/p?q"},
      {"HTTP://other?q#f", TUrlScheme::Http, "other", 80, "/?q"},
      {"//other:82", TUrlScheme::Http, "other", 82, "/"},
      {"https://secure/p", TUrlScheme::Https, "secure", 443, "/p"},
      {"/abs#frag", TUrlScheme::Http, "127.0.0.1", 8080, "/abs"},
      {"rel", TUrlScheme::Http, "127.0.0.1", 8080, "/sitecount/rel"},
      {"?y=2", TUrlScheme::Http, "127.0.0.1", 8080, "/sitecount/a?y=2"},
  };
  for (const auto& [location, scheme, host, port, path] : cases) {
    TRedirectTarget next;
    ASSERT_TRUE(ResolveLocation(location, current, next)) << location;
    EXPECT_EQ(next.Scheme, scheme) << location;
    EXPECT_EQ(next.Server.Host, host) << location;
    EXPECT_EQ(next.Server.Port, port) << location;
    EXPECT_EQ(next.Path, path) << location;
  }
  // The authority goes through the host setting's parser; one bad one shows it is checked.
  for (const char* refused : {"ftp://x/", "http:/x", "http://", "http://:80/", "http://u@h/", "/a b", "/a\r\nX: y",
                              "/\xC3\xA7", "", "#f"}) {
    TRedirectTarget next;
    EXPECT_FALSE(ResolveLocation(refused, current, next)) << refused;
  }
  current.Scheme = TUrlScheme::Https;
  TRedirectTarget next;
  EXPECT_TRUE(ResolveLocation("rel", current, next) && next.Scheme == TUrlScheme::Https) << "relative keeps https";
}

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
  // The host part is the host setting's; one bad port shows it is checked.
  for (const char* refused : {"", "u.example", "ftp://u.example", "https:///x", "https://u.example:0/",
                              "https://u.example/?a=1", "https://u.example/#f", "https://u.example/\r\nX: 1",
                              "https://u.example/a\\b", "https://\xC3\xA7.example"}) {
    THostSetting host;
    std::string basePath = "unchanged";
    EXPECT_FALSE(ParseBaseUrl(refused, host, basePath)) << refused;
    EXPECT_EQ(basePath, "unchanged") << refused;
  }
}
