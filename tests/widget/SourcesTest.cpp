#include "widget/WidgetTestSupport.h"

#include "widget/ApiKeys.h"

using namespace widgettest;

namespace {
constexpr char kKey[] = "key-4f1c9";

int32_t CountOf(TWidgetMainForm* w) { return WidgetTest::Read<int32_t>(w, [w] { return w->Count(); }); }
WideString TipOf(TWidgetMainForm* w) { return WidgetTest::Read<WideString>(w, [w] { return w->TipText(); }); }

TFakeRoute Json(const std::string& body, int status = 200) {
  TFakeRoute r;
  r.Status = status;
  r.Body = body;
  r.ContentType = "application/json";
  return r;
}

struct SourceWidgetTest : WidgetTest {
  TTrackerSettings Tracker(const WideString& id, const char16_t* source, const WideString& server,
                           const std::string& key = kKey) {
    TTrackerSettings s = Quiet(id);
    s.Source.Source = source;
    s.Source.Server = server;
    s.ApiKey = WideFromUtf8(key);
    return s;
  }
  WideString Base() const { return WideFromUtf8("http://" + Server->HostPort()); }
  // One Refresh, and the count it brought.
  int32_t Poll(TWidgetMainForm* w) {
    const size_t before = Server->Requests().size();
    Refresh(w);
    EXPECT_TRUE(WaitUntil([&] { return Server->Requests().size() > before && Idle(w); }));
    return CountOf(w);
  }
};
}  // namespace

// Each service's own request, from a real widget to a loopback server: the key
// where the service wants it and nowhere else, and the count read from its answer.
TEST_F(SourceWidgetTest, EachSourceSendsItsRequestAndShowsItsCount) {
  const struct {
    const char16_t *Source, *Id;
    std::string Path, Body, Method, Header, SentBody;
    int32_t Count;
  } cases[] = {
      {u"plausible", u"example.org", "/api/v1/stats/realtime/visitors?site_id=example.org", "17", "GET",
       std::string("Bearer ") + kKey, "", 17},
      {u"umami", u"5f3a-9b", "/api/websites/5f3a-9b/active", R"([{"x": 6}])", "GET", std::string("Bearer ") + kKey,
       "", 6},
      {u"matomo", u"3", "/index.php?module=API&method=Live.getCounters&idSite=3&lastMinutes=30&format=JSON",
       R"([{"visits":4,"visitors":"12"}])", "POST", "", std::string("token_auth=") + kKey, 12},
      {u"fathom", u"CDBU", "/v1/current_visitors?site_id=CDBU", R"({"total": 9, "content": []})", "GET",
       std::string("Bearer ") + kKey, "", 9},
  };
  for (const auto& c : cases) {
    Server->SetRoute(c.Path, Json(c.Body));
    TWidgetMainForm* w = Start(Tracker(c.Id, c.Source, Base()));
    EXPECT_EQ(Poll(w), c.Count) << Utf8FromWide(c.Source);
    const TFakeRequest sent = Server->Requests().back();
    EXPECT_EQ(sent.Method, c.Method);
    EXPECT_EQ(sent.Path, c.Path);
    EXPECT_EQ(sent.Header("Authorization"), c.Header);
    EXPECT_EQ(sent.Body, c.SentBody);
    EXPECT_EQ(sent.Path.find(kKey), std::string::npos);
    EXPECT_FALSE(TipOf(w).empty()) << "the tooltip says what the count means";
  }
}

// A key written by hand is used, and from then on kept only encrypted; a key
// encrypted elsewhere is kept as it is, sends nothing and says why.
TEST_F(SourceWidgetTest, APlainKeyIsEncryptedAndAForeignOneSendsNothing) {
  Server->SetRoute("/api/v1/stats/realtime/visitors?site_id=a.org", Json("3"));
  TWidgetMainForm* w = Start(Tracker(u"a.org", u"plausible", Base()));
  EXPECT_EQ(Poll(w), 3);
  const WideString stored = w->Settings().ApiKey;
  EXPECT_EQ(stored.rfind(u"dpapi:", 0), 0u);
  EXPECT_EQ(Utf8FromWide(stored).find(kKey), std::string::npos);
  std::string plain;
  EXPECT_EQ(ReadApiKey(stored, plain), TStoredKey::Protected);
  EXPECT_EQ(plain, kKey);

  const std::string foreign = "dpapi:AQAAANCMnd8BFdERjHoAwE/Cl+s=";
  TWidgetMainForm* f = Start(Tracker(u"b.org", u"plausible", Base(), foreign));
  const size_t before = Server->Requests().size();
  Refresh(f);
  ASSERT_TRUE(WaitUntil([&] { return !TipOf(f).empty(); }));
  EXPECT_EQ(CountOf(f), NO_COUNT);
  EXPECT_EQ(TipOf(f), u"the API key cannot be read on this Windows account: enter it again");
  EXPECT_EQ(Server->Requests().size(), before);
  EXPECT_EQ(f->Settings().ApiKey, WideFromUtf8(foreign)) << "kept until a new key is entered";
}

// Refusals are reasons in words; a rate limit holds the polls back; a redirect
// to another server leaves the key behind.
TEST_F(SourceWidgetTest, RefusalsRateLimitsAndRedirectsElsewhere) {
  const std::string path = "/v1/current_visitors?site_id=S1";
  Server->SetRoute(path, Json(R"({"error":"bad key"})", 401));
  TWidgetMainForm* w = Start(Tracker(u"S1", u"fathom", Base()));
  EXPECT_EQ(Poll(w), NO_COUNT);
  EXPECT_EQ(TipOf(w), u"the key was refused (401)");

  TFakeRoute limited = Json("{}", 429);
  limited.ExtraHeaders = {"Retry-After: 600"};
  Server->SetRoute(path, limited);
  EXPECT_EQ(Poll(w), NO_COUNT);
  EXPECT_EQ(TipOf(w).rfind(u"paused until ", 0), 0u) << Utf8FromWide(TipOf(w));
  EXPECT_FALSE(Read<bool>(w, [w] {
    w->StartPoll();
    return w->Busy();
  })) << "no poll before the pause ends";

  std::unique_ptr<TFakeServer> other = StartFakeServer();
  other->SetRoute("/elsewhere", Json(R"({"total": 4})"));
  TFakeRoute moved;
  moved.Status = 302;
  moved.ExtraHeaders = {"Location: http://" + other->HostPort() + "/elsewhere"};
  Server->SetRoute("/v1/current_visitors?site_id=S2", moved);
  TWidgetMainForm* m = Start(Tracker(u"S2", u"fathom", Base()));
  EXPECT_EQ(Poll(m), 4);
  ASSERT_EQ(other->Requests().size(), 1u);
  EXPECT_EQ(other->Requests()[0].Header("Authorization"), "");
  EXPECT_EQ(Server->Requests().back().Header("Authorization"), std::string("Bearer ") + kKey);
}
