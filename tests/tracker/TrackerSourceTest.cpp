#include <gtest/gtest.h>

#include "text/Base64.h"
#include "text/TextIds.h"
#include "tracker/CountPolling.h"
#include "tracker/TrackerSource.h"

namespace {
TSourceSettings Src(const char16_t* source, const char16_t* server = u"", const char16_t* pointer = u"",
                    const char16_t* header = u"", const char16_t* page = u"") {
  TSourceSettings s;
  s.Source = source, s.Server = server, s.Pointer = pointer, s.Header = header, s.Page = page;
  return s;
}
TTransferResult Answer(const std::string& body, uint32_t status = 200, const std::string& retryAfter = "") {
  TTransferResult t;
  t.Ok = status >= 200 && status < 300;
  t.Status = status;
  t.Error = t.Ok ? TTransferError::None : TTransferError::Status;
  t.Body = body;
  t.RetryAfter = retryAfter;
  return t;
}
}  // namespace

// Each service's documented request and its dashboard; the key travels in a
// header or, for Matomo, in the body, never in the URL.
TEST(SourceRequest, EachServiceAsItsReferenceDocumentsIt) {
  const struct {
    TSourceSettings Source;
    const char16_t* Id;
    const char *Host, *Method, *Path, *KeyHeader, *Body, *Dashboard;
  } cases[] = {
      {Src(u""), u"my site", "127.0.0.1:9", "GET", "/sitecount/my%20site", "", "",
       "http://127.0.0.1:9/stats/my%20site/"},
      {Src(u"Plausible"), u"example.org", "https://plausible.io:443", "GET",
       "/api/v1/stats/realtime/visitors?site_id=example.org", "Authorization: Bearer k&1", "",
       "https://plausible.io/example.org"},
      {Src(u"umami"), u"5f3a", "https://api.umami.is:443", "GET", "/v1/websites/5f3a/active",
       "x-umami-api-key: k&1", "", "https://cloud.umami.is/websites/5f3a"},
      {Src(u"umami", u"http://127.0.0.1:8080/stats/"), u"5f3a", "http://127.0.0.1:8080", "GET",
       "/stats/api/websites/5f3a/active", "Authorization: Bearer k&1", "", "http://127.0.0.1:8080/stats/websites/5f3a"},
      {Src(u"matomo", u"https://m.example"), u"7", "https://m.example:443", "POST",
       "/index.php?module=API&method=Live.getCounters&idSite=7&lastMinutes=30&format=JSON", "", "token_auth=k%261",
       "https://m.example/index.php?module=CoreHome&action=index&idSite=7&period=day&date=today"},
      {Src(u"fathom"), u"CDBU", "https://api.usefathom.com:443", "GET", "/v1/current_visitors?site_id=CDBU",
       "Authorization: Bearer k&1", "", "https://app.usefathom.com/?site=CDBU"},
      {Src(u"json", u"https://j.example/live/{id}?site={id}", u"/n", u"X-Key: {key}", u"https://j.example/s/{id}"),
       u"a b", "https://j.example:443", "GET", "/live/a%20b?site=a%20b", "X-Key: k&1", "", "https://j.example/s/a%20b"},
  };
  for (const auto& c : cases) {
    TSourceRequest r;
    TPollFailure why;
    ASSERT_TRUE(BuildSourceRequest(c.Source, c.Id, "k&1", "127.0.0.1:9", r, why)) << c.Path;
    EXPECT_EQ(r.Host, c.Host);
    EXPECT_EQ(r.Method, c.Method);
    EXPECT_EQ(r.Path, c.Path);
    EXPECT_EQ(r.KeyHeaders.empty() ? "" : r.KeyHeaders[0], std::string(c.KeyHeader));
    EXPECT_EQ(r.Body, c.Body);
    EXPECT_EQ(r.Accept.empty(), c.Source.Source.empty()) << "the counter service's request stays as it was";
    EXPECT_EQ(DashboardUrl(c.Source, c.Id, "127.0.0.1:9"), c.Dashboard);
  }
  // Details opens web pages only, and a self-hosted service's only where it is.
  for (const TSourceSettings& none : {Src(u"matomo"), Src(u"json", u"", u"", u"", u"C:\\Windows\\notepad.exe"),
                                      Src(u"json", u"", u"", u"", u"file://h/{id}"), Src(u"posthog")})
    EXPECT_EQ(DashboardUrl(none, u"s", "127.0.0.1:9"), "") << Utf8FromWide(none.Page);
}

TEST(SourceRequest, RefusedBeforeAnythingIsSent) {
  const struct {
    TSourceSettings Source;
    std::string Key;
    TFailure Why;
  } cases[] = {
      {Src(u"simpleanalytics"), "k", TFailure::UnknownSource},
      {Src(u"matomo"), "k", TFailure::NoServer},
      {Src(u"fathom"), "", TFailure::NoKey},
      {Src(u"plausible", u"ftp://p.example"), "k", TFailure::BadServer},
      {Src(u"plausible", u"http://p.example"), "k", TFailure::KeyOverHttp},
      {Src(u"plausible"), "k\r\nX-Evil: 1", TFailure::BadKey},
      {Src(u"fathom"), "k\xC3\xA7", TFailure::BadKey},
      {Src(u"json", u"https://j.example/{id}", u"/n", u"no colon"), "k", TFailure::BadHeader},
      {Src(u"json", u"https://j.example/{id}", u"/n", u"X: 1\r\nY: 2"), "k", TFailure::BadHeader},
      {Src(u"json", u"http://j.example/{id}", u"/n", u"X: {key}"), "k", TFailure::KeyOverHttp},
      {Src(u"json", u"j.example/{id}"), "", TFailure::BadServer},
      {Src(u"json", u"https://j.example/{id}#f"), "", TFailure::BadServer},
      {Src(u"plausible", u"http://127.0.0.1:80"), "k", TFailure::None},
      {Src(u"plausible", u"http://localhost:1"), "k", TFailure::None},
      {Src(u"plausible", u"http://127.9.9.9"), "k", TFailure::None},
      {Src(u"json", u"http://j.example/{id}", u"/n", u"X: 1"), "k", TFailure::None},  // no key in the header
  };
  TSourceRequest r;
  TPollFailure why;
  for (const auto& c : cases) {
    EXPECT_EQ(BuildSourceRequest(c.Source, u"site", c.Key, "h", r, why), c.Why == TFailure::None);
    EXPECT_EQ(why.Kind, c.Why) << Utf8FromWide(c.Source.Source) << " " << Utf8FromWide(c.Source.Server);
  }
  ASSERT_TRUE(BuildSourceRequest(Src(u"umami", u"https://API.umami.is"), u"s", "k", "h", r, why));
  EXPECT_EQ(r.Path, "/v1/websites/s/active") << "Umami Cloud named by its host alone";
}

// What counts as a count, and why anything else is none, in words: where the
// count was looked for, or what a service or a settings file says, as one
// line of at most MAX_DETAIL_CHARS characters: Matomo's error body (some
// versions send it with 200) and a source this version does not know, which
// is named before anything about its key is said.
TEST(SourceCount, EachFormOfEachServiceHostileBodiesAndErrorsInTheirOwnWords) {
  const WideString long120 = WideString(119, u'x') + u"\U0001F600";
  const WideString notAt = u"not a number at ", error = u"the server reports an error: ";
  const struct {
    TSourceSettings Source;
    std::string Body;
    int32_t Count;
    WideString Words;
  } cases[] = {
      {Src(u"plausible"), "17", 17, u""},
      {Src(u"plausible"), "17.5", -1, u"the answer is not a count"},
      {Src(u"plausible"), R"({"result":"error","message":"m"})", -1, u"the answer is not a count"},
      {Src(u"umami"), R"({"visitors": 4})", 4, u""},
      {Src(u"umami"), R"({"x": 5})", 5, u""},
      {Src(u"umami"), R"([{"x": 6}])", 6, u""},
      {Src(u"umami"), R"({"visitors": -4})", -1, notAt + u"/visitors"},
      {Src(u"umami"), R"([{"visitors": 3.0}])", -1, notAt + u"/0/visitors"},
      {Src(u"umami"), R"({"y": 3})", -1, notAt + u"/visitors"},
      {Src(u"matomo", u"https://m"), R"([{"visits":9,"visitors":"12"}])", 12, u""},
      {Src(u"matomo", u"https://m"), R"([{"visitors":12},{"visitors":1}])", -1, notAt + u"/0/visitors"},
      {Src(u"matomo", u"https://m"), R"({"result":"success"})", -1, notAt + u"/0/visitors"},
      {Src(u"matomo", u"https://m"), R"({"result":"error","message":"Unable to authenticate with the provided token."})",
       -1, error + u"Unable to authenticate with the provided token."},
      {Src(u"matomo", u"https://m"), "{\"result\":\"error\",\"message\":\" a\\r\\n\\tb \\u202Ec\\u0085 \"}", -1,
       error + u"a b c"},
      {Src(u"matomo", u"https://m"), "{\"result\":\"error\",\"message\":\"" + Utf8FromWide(long120) + "yz\"}", -1,
       error + long120 + u"\u2026"},
      {Src(u"matomo", u"https://m"), R"({"result":"error","message":7})", -1, error + u"error"},
      {Src(u"fathom"), R"({"total": 2147483647, "content": []})", 2147483647, u""},
      {Src(u"fathom"), R"({"total": 2147483648})", -1, notAt + u"/total"},
      {Src(u"fathom"), R"({"total": "1e3"})", -1, notAt + u"/total"},
      {Src(u"fathom"), "<html><body>Bad gateway</body></html>", -1, notAt + u"/total"},
      {Src(u"json", u"", u"/a~1b"), R"({"a/b":9})", 9, u""},
      {Src(u"json", u"", u"/data/online"), R"({"data":{"online":"31"}})", 31, u""},
      {Src(u"json", u"", u"/data/0"), R"({"data":[8]})", 8, u""},
      {Src(u"json", u"", u"data"), R"({"data":8})", -1, notAt + u"data"},  // not a pointer
      {Src(u"json", u"", u"/a"), "{\"a\":1,\"b\":" + std::string(100, '[') + std::string(100, ']') + "}", -1, notAt + u"/a"},
      {Src(u"json", u"", u"/a"), "{\"a\":[" + std::string(1 << 21, '1') + "]}", -1, notAt + u"/a"},
      {Src(u"posthog"), "7", -1, u"this version does not know the source \"posthog\""},
      {Src(u"Post\r\nHog\u202E"), "7", -1, u"this version does not know the source \"Post Hog\""},
  };
  for (const auto& c : cases) {
    TPollFailure why;
    EXPECT_EQ(ReadSourceCount(c.Source, Answer(c.Body), 0, why), c.Count) << c.Body.substr(0, 60);
    EXPECT_EQ(why.Kind == TFailure::None, c.Count >= 0) << c.Body.substr(0, 60);
    EXPECT_EQ(FailureText(why, nullptr, u""), c.Words) << c.Body.substr(0, 60);
  }
  TCountPoller p;
  TPollInput in;
  in.Source = Src(u"posthog");
  p.KeyUnreadable = true;
  p.StartPoll(in);
  EXPECT_EQ(FailureText(p.LastFailure(), nullptr, u""), u"this version does not know the source \"posthog\"");
}

TEST(SourceCount, FailuresInWordsAndRetryAfter) {
  const int64_t now = 784111777;  // Sun, 06 Nov 1994 08:49:37 GMT
  const struct {
    uint32_t Status;
    TTransferError Error;
    std::string RetryAfter;
    TFailure Why;
    int64_t Until;
    const char16_t* Words;
  } cases[] = {
      {401, TTransferError::Status, "", TFailure::KeyRefused, 0, u"the key was refused (401)"},
      {404, TTransferError::Status, "", TFailure::NotFound, 0, u"site not found (404)"},
      {429, TTransferError::Status, "120", TFailure::RateLimited, now + 120, u"paused until 14:05 (rate limit)"},
      {503, TTransferError::Status, "Sun, 06 Nov 1994 09:19:37 GMT", TFailure::RateLimited, now + 1800, nullptr},
      {429, TTransferError::Status, "Sunday, 06-Nov-94 08:59:37 GMT", TFailure::RateLimited, now + 600, nullptr},
      {429, TTransferError::Status, "Sun Nov  6 08:50:37 1994", TFailure::RateLimited, now + 60, nullptr},
      {429, TTransferError::Status, "99999999999999999999", TFailure::RateLimited, now + 3600, nullptr},
      {429, TTransferError::Status, "Mon, 07 Nov 1994 08:49:37 GMT", TFailure::RateLimited, now + 3600, nullptr},
      {429, TTransferError::Status, "Sat, 05 Nov 1994 08:49:37 GMT", TFailure::RateLimited, 0, nullptr},
      {429, TTransferError::Status, "soon", TFailure::RateLimited, 0, u"rate limited (429)"},
      {429, TTransferError::Status, "Sun, 06 Nov 1994 08:59:37 PST", TFailure::RateLimited, 0, nullptr},
      {500, TTransferError::Status, "", TFailure::HttpStatus, 0, u"the server answered 500"},
      // One transfer error stands for the rest, which map one to one.
      {0, TTransferError::TimedOut, "", TFailure::TimedOut, 0, u"no answer within 10 s"},
  };
  for (const auto& c : cases) {
    TTransferResult t = Answer("7", c.Status, c.RetryAfter);
    t.Ok = false;
    t.Error = c.Error;
    TPollFailure why;
    EXPECT_EQ(ReadSourceCount(Src(u"plausible"), t, now, why), NO_COUNT);
    EXPECT_EQ(why.Kind, c.Why) << c.Status << " " << c.RetryAfter;
    EXPECT_EQ(why.PausedUntil, c.Until) << c.RetryAfter;
    if (c.Words) { EXPECT_EQ(FailureText(why, nullptr, u"14:05"), c.Words); }
  }
}

TEST(KeyText, Base64RoundTripsAndRefusesAnythingElse) {
  std::string all;
  for (int i = 0; i < 256; ++i) all += static_cast<char>(i);
  for (size_t n : {0u, 1u, 2u, 3u, 256u}) {
    std::string back;
    ASSERT_TRUE(Base64Decode(Base64Encode(all.substr(0, n)), back));
    EXPECT_EQ(back, all.substr(0, n));
  }
  EXPECT_EQ(Base64Encode("ab"), "YWI=");
  std::string out;
  for (const char* bad : {"YWI", "YW=I", "YWJ=", "Y===", "YW I=", "YWI=YWI="})
    EXPECT_FALSE(Base64Decode(bad, out)) << bad;
  EXPECT_TRUE(IsProtectedKey("dpapi:AQAA"));
  EXPECT_FALSE(IsProtectedKey("DPAPI:AQAA"));
}

TEST(SourceTexts, InTheCurrentLanguageOrElseInEnglish) {
  struct TTurkish : TTextLookup {
    WideString GetText(int32_t id) const override {
      return id == STR_FAIL_STATUS ? u"sunucu %d ile yanıt verdi" : u"";
    }
  } turkish;
  TPollFailure failure;
  failure.Kind = TFailure::HttpStatus, failure.Status = 502;
  EXPECT_EQ(FailureText(failure, &turkish, u""), u"sunucu 502 ile yanıt verdi");
  failure.Kind = TFailure::NotFound;
  EXPECT_EQ(FailureText(failure, &turkish, u""), u"site not found (404)") << "an empty text falls back to English";
}
