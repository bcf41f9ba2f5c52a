// The version file fetched as the program fetches it, and the prompt it leads to.
#include "tests/support/DialogTestSupport.h"
#include "tests/support/WidgetTestSupport.h"

#include <objbase.h>

#include "app/VersionCheck.h"
#include "app/WidgetManager.h"
#include "app/WidgetLanguages.h"

using namespace dialogtest;

namespace {
class VersionCheckTest : public ::testing::Test {
public:
  std::unique_ptr<TFakeServer> Server = StartFakeServer();
  TWidgetLanguages Languages{nullptr};
  std::vector<WideString> Opened;

  void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr))); }
  void TearDown() override { CoUninitialize(); }

  // The version file as the program fetches it, then the prompt, answered:
  // the caption and the message of each box shown.
  std::vector<std::wstring> Check(const TFakeRoute& route, int answer = IDNO) {
    Server->SetRoute(VERSION_PATH, route);
    const std::unique_ptr<TInetThread> worker = StartGet(nullptr, WM_VERSIONRESPONSE, Server->HostPort(), VERSION_PATH);
    EXPECT_TRUE(widgettest::WaitUntil([&] { return worker->Finished(); }, 10000));
    const TPageOpener open = [this](HWND, const WideString& url) { Opened.push_back(url); };
    return AnsweringBoxes([&] { OfferNewerVersion(nullptr, &Languages, VersionFileText(*worker), open); }, answer);
  }
};

TFakeRoute File(const std::string& body, int status = 200) { return TFakeRoute{status, body, 0, "text/xml", {}}; }
std::string Saying(const std::string& version) { return "<?xml version=\"1.0\"?><data><version>" + version + "</version></data>"; }
}  // namespace

// How versions compare is the rules' own test; here the file must be whole,
// and a document type (entities a parser would expand or fetch) is refused.
// The prompt speaks the current language (Turkish, the last table loaded),
// keeps its caption, and Yes opens the download page.
TEST_F(VersionCheckTest, OnlyANewerVersionInAWholeVersionFileIsOfferedAndYesOpensTheDownloadPage) {
  const struct {
    const char* Name;
    TFakeRoute Route;
    bool Offered;
  } cases[] = {
      {"1.50", File(Saying("1.50")), false},
      {"2.0", File("<data>\r\n  <version>2.0</version>\r\n</data>\r\n"), true},
      {"other root", File("<other><version>2.0</version></other>"), false},
      {"not XML", File("2.0"), false},
      {"unclosed", File("<data><version>2.0</version>"), false},
      {"error page", File(Saying("2.0"), 404), false},
      {"entity", File("<!DOCTYPE data [<!ENTITY v \"2.0\">]><data><version>&v;</version></data>"), false},
      {"comment and CDATA", File("<!-- a --><data><version><![CDATA[2.0]]></version></data>"), true},
  };
  for (const auto& c : cases) EXPECT_EQ(Check(c.Route).size(), c.Offered ? 2u : 0u) << c.Name;
  EXPECT_TRUE(Opened.empty()) << "No opens nothing";

  const std::wstring offer = L"Yeni s\u00FCr\u00FCm mevcut. \u0130ndirmek i\u00E7in \"Evet\" d\u00FC\u011Fmesine bas\u0131n.";
  EXPECT_EQ(Check(File(Saying("1.51")), IDYES), (std::vector<std::wstring>{L"Orvanta Desktop Widget", offer}));
  EXPECT_EQ(Opened, std::vector<WideString>{u"http://" + WideOfAscii(MakerHost()) + u"/indir"});
}
