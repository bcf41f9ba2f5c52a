// The version file fetched as the program fetches it, and the prompt it leads to.
#include "dialogs/DialogTestSupport.h"
#include "widget/WidgetTestSupport.h"

#include <objbase.h>

#include "app/VersionCheck.h"
#include "app/WidgetLanguages.h"
#include "dialogs/DialogRes.h"

using namespace dialogtest;

namespace {
class VersionCheckTest : public ::testing::Test {
public:
  std::unique_ptr<TFakeServer> Server = StartFakeServer();
  TWidgetLanguages Languages{nullptr};
  std::vector<std::wstring> Opened;

  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
  }
  void TearDown() override {
    CoUninitialize();
  }

  // The version file as the program fetches it, then the prompt, answered.
  std::vector<TSeenBox> Check(const TFakeRoute& route, int answer = IDNO) {
    Server->SetRoute("/orvanta.xml", route);
    TInetThread worker(nullptr, InternetHandle, WM_VERSIONRESPONSE);
    worker.Request().SetField(rfHost, Server->HostPort());
    worker.Request().SetField(rfPath, "/orvanta.xml");
    worker.Request().Limits.ReceiveTimeoutMs = 500;
    worker.Request().Limits.DeadlineMs = 1000;
    worker.Resume();
    EXPECT_TRUE(widgettest::WaitUntil([&] { return worker.Finished(); }, 10000));
    const TPageOpener open = [this](HWND, const WideString& url) { Opened.push_back(W(url)); };
    return AnsweringBoxes([&] { OfferNewerVersion(nullptr, &Languages, VersionFileText(worker), open); }, answer);
  }
};

TFakeRoute File(const std::string& body, int status = 200) { return TFakeRoute{status, body, 0, "text/xml", {}}; }
std::string Saying(const std::string& version) { return "<?xml version=\"1.0\"?><data><version>" + version + "</version></data>"; }

// A kilobyte that a parser allowing document types expands to a billion "2".
std::string EntityBomb() {
  std::string dtd = "<!ENTITY a0 \"2\">";
  for (int i = 1; i < 10; ++i) {
    dtd += "<!ENTITY a" + std::to_string(i) + " \"";
    for (int j = 0; j < 10; ++j) dtd += "&a" + std::to_string(i - 1) + ";";
    dtd += "\">";
  }
  return "<?xml version=\"1.0\"?><!DOCTYPE data [" + dtd + "]><data><version>&a9;</version></data>";
}
}  // namespace

// How versions compare is the rules' own test; here the file must be whole.
TEST_F(VersionCheckTest, OnlyANewerVersionInAWholeVersionFileIsOffered) {
  Server->SetRoute("/v", File("2.0"));  // what a file must not make the parser fetch
  const struct {
    const char* Name;
    TFakeRoute Route;
    bool Offered;
  } cases[] = {
      {"1.50", File(Saying("1.50")), false},
      {"1.51", File(Saying("1.51")), true},
      {"2.0", File("<data>\r\n  <version>2.0</version>\r\n</data>\r\n"), true},
      {"other root", File("<other><version>2.0</version></other>"), false},
      {"not XML", File("2.0"), false},
      {"unclosed", File("<data><version>2.0</version>"), false},
      {"error page", File(Saying("2.0"), 404), false},
      {"hung host", FakeRoute(TFakeMode::NeverAnswer), false},
      {"external entity", File("<!DOCTYPE data [<!ENTITY v SYSTEM \"http://" + Server->HostPort() +
                               "/v\">]><data><version>&v;</version></data>"), false},
      {"internal entity", File("<!DOCTYPE data [<!ENTITY v \"2.0\">]><data><version>&v;</version></data>"), false},
      {"entity bomb", File(EntityBomb()), false},
      {"comment and CDATA", File("<!-- a --><data><version><![CDATA[2.0]]></version></data>"), true},
  };
  for (const auto& c : cases) EXPECT_EQ(Check(c.Route).size(), c.Offered ? 1u : 0u) << c.Name;
  for (const TFakeRequest& r : Server->Requests()) EXPECT_EQ(r.Path, "/orvanta.xml");
  EXPECT_TRUE(Opened.empty()) << "No opens nothing";
}

// The texts start in Turkish, the last table loaded.
TEST_F(VersionCheckTest, ThePromptSpeaksTheLanguageKeepsItsCaptionAndYesOpensTheDownloadPage) {
  const std::vector<TSeenBox> seen = Check(File(Saying("2.0")), IDYES);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].Caption, L"Orvanta Desktop Widget");
  EXPECT_EQ(seen[0].Message, L"Yeni s\u00FCr\u00FCm mevcut. \u0130ndirmek i\u00E7in \"Evet\" d\u00FC\u011Fmesine bas\u0131n.");
  const std::string host = MakerHost();
  EXPECT_EQ(Opened, std::vector<std::wstring>{L"http://" + std::wstring(host.begin(), host.end()) + L"/indir"});
}
