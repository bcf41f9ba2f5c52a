// Real widgets polling the fake analytics services, which check every request
// the way each service's reference describes it and refuse a wrong key.
#include "tests/support/WidgetTestSupport.h"

#include "tools/fakeserver/FakeSources.h"
#include "widget/ApiKeys.h"

using namespace widgettest;

namespace {
constexpr char kKey[] = "key-4f1c9";

struct SourceWidgetTest : WidgetTest {
  TFakeSources Sources{*Server};

  TTrackerSettings Tracker(const WideString& id, const char16_t* source, const std::string& key = kKey) {
    TTrackerSettings s = Quiet(id);
    s.Source.Source = source;
    s.Source.Server = WideFromUtf8("http://" + Server->HostPort());
    s.ApiKey = WideFromUtf8(key);
    return s;
  }
  TWidgetMainForm* Site(TFakeSource source, const std::string& id, int32_t count) {
    TFakeSite site;
    site.Key = kKey;
    site.Count = count;
    Sources.SetSite(source, id, site);
    return Start(Tracker(WideFromUtf8(id), WideFromUtf8(FakeSourceName(source)).c_str()));
  }
  // One Refresh, and the count it brought.
  int32_t Poll(TWidgetMainForm* w) {
    const size_t before = Server->Requests().size();
    Refresh(w);
    EXPECT_TRUE(WaitUntil([&] { return Server->Requests().size() > before && Idle(w); }));
    return CountOf(w);
  }
};
}  // namespace

// The key reaches each kind of service where it wants it, in a header or in
// Matomo's POST body (the fake answers 401 otherwise), and never the URL. Each
// service's request and answer forms are SourceRequest's and SourceCount's
// tables. A key written by hand is used, and from then on kept only encrypted;
// a key encrypted elsewhere is kept as it is, sends nothing and says why.
TEST_F(SourceWidgetTest, EachSourceShowsItsCountWithTheKeyWhereTheServiceWantsItKeptEncrypted) {
  TWidgetMainForm* w = Site(TFakeSource::Plausible, "example.org", 17);
  EXPECT_EQ(Poll(w), 17);
  EXPECT_EQ(Poll(Site(TFakeSource::Matomo, "3", 12)), 12);
  TWidgetMainForm* umami = Site(TFakeSource::Umami, "5f3a-9b", 6);
  EXPECT_EQ(Poll(umami), 6);
  for (const TFakeRequest& sent : Server->Requests()) EXPECT_EQ(sent.Path.find(kKey), std::string::npos) << sent.Path;
  EXPECT_FALSE(TipOf(umami).empty()) << "the tooltip says what the count means";
  const WideString stored = w->Settings().ApiKey;
  EXPECT_EQ(stored.rfind(u"dpapi:", 0), 0u);
  EXPECT_EQ(Utf8FromWide(stored).find(kKey), std::string::npos);
  std::string plain;
  EXPECT_EQ(ReadApiKey(stored, w->Settings().Source, plain), TStoredKey::Protected);
  EXPECT_EQ(plain, kKey);

  const std::string foreign = "dpapi:AQAAANCMnd8BFdERjHoAwE/Cl+s=";
  TWidgetMainForm* f = Start(Tracker(u"example.org", u"plausible", foreign));
  const size_t before = Server->Requests().size();
  Refresh(f);
  ASSERT_TRUE(WaitUntil([&] { return !TipOf(f).empty(); }));
  EXPECT_EQ(CountOf(f), NO_COUNT);
  EXPECT_EQ(TipOf(f), u"the API key cannot be read on this Windows account: enter it again");
  EXPECT_EQ(Server->Requests().size(), before);
  EXPECT_EQ(f->Settings().ApiKey, WideFromUtf8(foreign)) << "kept until a new key is entered";
}

// A stored key decrypts for the source and origin it was entered for and no
// other. One an earlier version stored, bound to no origin, is used for the
// origin it is stored with and stored bound from then on.
TEST_F(SourceWidgetTest, AStoredKeyDecryptsOnlyForItsOriginAndAnEarlierVersionsKeyIsBoundToIts) {
  const std::string earlier = EarlierVersionKey(kKey);
  ASSERT_FALSE(earlier.empty());
  TFakeSite site;
  site.Key = kKey;
  site.Count = 8;
  Sources.SetSite(TFakeSource::Plausible, "example.org", site);
  TWidgetMainForm* w = Start(Tracker(u"example.org", u"plausible", earlier));
  EXPECT_EQ(Poll(w), 8);
  const TTrackerSettings s = w->Settings();
  std::string plain;
  EXPECT_EQ(ReadApiKey(s.ApiKey, s.Source, plain), TStoredKey::Protected);
  EXPECT_EQ(plain, kKey);
  const std::string local = "http://" + Server->HostPort();
  TSourceSettings others[] = {s.Source, s.Source, s.Source, s.Source};
  others[0].Source = u"fathom";
  others[1].Server = WideFromUtf8("http://localhost:" + Server->HostPort().substr(Server->HostPort().find(':') + 1));
  others[2].Server = u"https://plausible.io";
  others[3].Source = u"json";
  others[3].Header = u"Authorization: Bearer {key}";
  for (const TSourceSettings& other : others) {
    EXPECT_EQ(ReadApiKey(s.ApiKey, other, plain), TStoredKey::Unreadable) << Utf8FromWide(other.Source + other.Server);
    EXPECT_EQ(plain, "");
  }
  TSourceSettings same = s.Source;
  same.Server = WideFromUtf8(local + "/");
  same.Source = u"Plausible";
  EXPECT_EQ(ReadApiKey(s.ApiKey, same, plain), TStoredKey::Protected) << "the same origin, written otherwise";
}

// A refused key is "?" with the reason in words (hostile bodies and rate
// limits are SourceCount's and SourcePolling's tables); a redirect to another
// server leaves the key behind.
TEST_F(SourceWidgetTest, ARefusedKeyIsToldAndARedirectElsewhereLeavesTheKeyBehind) {
  TWidgetMainForm* wrong = Start(Tracker(u"S1", u"fathom", "not-the-key"));
  TFakeSite site;
  site.Key = kKey;
  Sources.SetSite(TFakeSource::Fathom, "S1", site);
  EXPECT_EQ(Poll(wrong), NO_COUNT);
  EXPECT_EQ(TipOf(wrong), u"the key was refused (401)");

  std::unique_ptr<TFakeServer> other = StartFakeServer();
  TFakeSources elsewhere(*other);
  elsewhere.SetSite(TFakeSource::Fathom, "S3", site);
  Sources.SetRedirect("http://" + other->HostPort());
  TWidgetMainForm* m = Site(TFakeSource::Fathom, "S3", 4);
  EXPECT_EQ(Poll(m), NO_COUNT) << "the other server wants the key, which stayed behind";
  ASSERT_EQ(other->Requests().size(), 1u);
  EXPECT_EQ(other->Requests()[0].Header("Authorization"), "");
  EXPECT_EQ(Server->Requests().back().Header("Authorization"), std::string("Bearer ") + kKey);
}
