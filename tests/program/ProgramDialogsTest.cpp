// The Settings dialog through the program's own hosts: a manager on the
// test's (GUI) thread with the program's dialog hooks, its widgets polling a
// loopback fake counter service, and an empty settings file in the scratch
// prefix (English, no trackers, no first start).
#include "tests/support/DialogTestSupport.h"
#include "tests/support/WidgetTestSupport.h"

#include <commctrl.h>

#include <algorithm>

#include "app/WidgetManager.h"
#include "dialogs/DialogRes.h"
#include "program/ProgramDialogs.h"
#include "tests/support/TextTestUtil.h"
#include "text/WIniFiles.h"
#include "tools/fakeserver/FakeSources.h"

using namespace dialogtest;

namespace {

class ProgramDialogsTest : public widgettest::WidgetTest {
public:
  TDialogsUnit Unit;
  std::unique_ptr<TWidgetManager> Manager;
  std::string Seed;  // the settings file's bytes at start

  void SetUp() override {
    Manager.reset(
        new TWidgetManager(nullptr, std::make_shared<TWidgetLanguages>(nullptr), ProgramDialogs(), APPLICATION_TITLE));
    Manager->SetCounterServer(Server->HostPort());
    testutil::WriteBytes(std::wstring(WinStr(Manager->SettingsFileName())), Seed);
    Manager->SetParentWindow(GetDesktopWindow());
    Manager->EnsureHandle();
    Manager->LoadSettings();
  }

  // The program's Exit: the manager closes every widget, then goes; its quit
  // message would end the next test's modal dialog at once.
  void TearDown() override {
    SendMessageW(Manager->StoredHandle(), WM_CLOSE, 0, 0);
    DeleteFileW(WinStr(Manager->SettingsFileName()));
    Manager.reset();
    for (MSG msg; PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);) {
    }
    WidgetTest::TearDown();
  }

  // A shown tracker that makes no poll of its own during a test.
  TWidgetMainForm* AddWidget(const WideString& id) {
    TWidgetMainForm* w = Manager->Widget(Manager->CreateTracker(id, u"Title " + id, 600000));
    EXPECT_TRUE(PumpUntil([&] { return Read<bool>(w, [w] { return w->Opacity() == w->TargetOpacity(); }); }));
    return w;
  }

  // Asks the widget for its Settings dialog as its menu does and waits for it.
  static HWND OpenSettings(TWidgetMainForm* w) {
    PostMessageW(w->WindowHandle(), WM_COMMAND, CMD_PREFERENCES, 0);
    const DWORD thread = GetWindowThreadProcessId(w->WindowHandle(), nullptr);
    HWND dialog = nullptr;
    auto isSettings = [](HWND d) { return GetDlgItem(d, IDC_TRANSPARENCY) != nullptr; };
    EXPECT_TRUE(PumpUntil([&] { return (dialog = DialogOf(thread, isSettings)) != nullptr; }));
    return dialog;
  }

  // Save, once the widget's thread has taken what the dialog handed back.
  std::wstring SaveOn(TWidgetMainForm* w, HWND dialog, int refused = IDC_TRACKERID, bool pump = true) {
    const std::wstring refusal = Save(dialog, refused, pump);
    if (refusal.empty()) Read<bool>(w, [] { return true; });
    return refusal;
  }
};

// Over the black root, what a layered window shows fades with its alpha.
uint64_t Brightness(const RECT& r) {
  uint64_t sum = 0;
  for (int y = r.top; y < r.bottom; y += 3)
    for (int x = r.left; x < r.right; x += 3)
      for (uint32_t rgb = uitest::ScreenPixel(x, y); rgb; rgb >>= 8) sum += rgb & 0xFF;  // red, green, blue
  return sum;
}

}  // namespace

// Through the program's hosts the dialog previews on the widget's window, a
// second request raises it and the manager's language switch relabels it;
// Cancel puts the alpha back. A save reaches the widget on its thread and the
// file: a title alone changes no polling, a new ID of an enabled tracker is
// polled at once, of a disabled one not at all. The manager refuses another
// tracker's ID in any letter case, and any rename it cannot check in time
// (busy, say, starting fifty trackers: had b become a, the next save would
// erase both). The tracker's own ID in other letters is its own, and a
// claimed ID is held for its tracker.
TEST_F(ProgramDialogsTest, SettingsPreviewOnTheWidgetAndSavesReachTheWidgetTheManagerAndTheFile) {
  TWidgetMainForm* beta = AddWidget(u"beta");
  TWidgetMainForm* w = AddWidget(u"alpha");
  const RECT r = widgettest::BoundsOf(w);
  const uint64_t opaque = Brightness(r);
  HWND dialog = OpenSettings(w);
  const HWND slider = GetDlgItem(dialog, IDC_TRANSPARENCY);
  SendMessageW(slider, TBM_SETPOS, TRUE, 255);
  SendMessageW(dialog, WM_HSCROLL, MAKEWPARAM(TB_THUMBTRACK, 255), reinterpret_cast<LPARAM>(slider));
  EXPECT_LT(Brightness(r), opaque / 4);
  SetForegroundWindow(Manager->StoredHandle());
  PostMessageW(w->WindowHandle(), WM_COMMAND, CMD_PREFERENCES, 0);
  EXPECT_TRUE(PumpUntil([&] { return GetForegroundWindow() == dialog; }, 3000));
  Manager->SelectLanguageCommand(1);
  EXPECT_TRUE(PumpUntil([&] { return TextOf(dialog) == L"Se\u00E7enekler"; }, 3000));
  Manager->SelectLanguageCommand(0);
  PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
  ASSERT_TRUE(PumpUntil([&] { return !IsWindow(dialog); }));
  EXPECT_EQ(Read<int>(w, [w] { return w->Opacity(); }), 255);

  auto polled = [&] {
    std::vector<std::string> paths;
    for (const TFakeRequest& request : Server->Requests())
      if (request.Path.rfind("/sitecount/", 0) == 0) paths.push_back(request.Path);
    return paths;
  };
  const struct {
    const wchar_t* Id;
    bool Enable;
    std::vector<std::string> Polled;
  } steps[] = {{L"alpha", true, {}}, {L"site2", false, {}}, {L"site3", true, {"/sitecount/site3"}}};
  for (const auto& step : steps) {
    Server->ClearRequests();
    dialog = OpenSettings(w);
    SetDlgItemTextW(dialog, IDC_TRACKERID, step.Id);
    SetDlgItemTextW(dialog, IDC_TITLE, L"Renamed");
    SendDlgItemMessageW(dialog, IDC_TRANSPARENCY, TBM_SETPOS, TRUE, 255);
    CheckDlgButton(dialog, IDC_ENABLE, step.Enable ? BST_CHECKED : BST_UNCHECKED);
    EXPECT_EQ(SaveOn(w, dialog), L"");
    PumpUntil([&] { return !step.Polled.empty() && polled().size() >= step.Polled.size(); }, 1000);
    EXPECT_EQ(polled(), step.Polled) << step.Id;
    EXPECT_EQ(Read<WideString>(w, [w] { return w->Face().TitleLabel->Caption(); }), u"Renamed");
    EXPECT_EQ(w->Settings().ID, WideOf(step.Id));
  }
  EXPECT_EQ(w->Settings().TargetOpacity, 20);
  // The manager is told, and writes the file about a second later.
  const WideString file = Manager->SettingsFileName();
  EXPECT_TRUE(PumpUntil([&] { return TWMemIniFile(file).ReadString(u"site3", u"Opacity", u"") == u"20"; }));

  dialog = OpenSettings(w);
  for (const bool managerAnswers : {true, false}) {
    SetDlgItemTextW(dialog, IDC_TRACKERID, managerAnswers ? L"BETA" : L"gamma");
    EXPECT_EQ(Save(dialog, IDC_TRACKERID, managerAnswers), L"Orvanta ID already exists!") << managerAnswers;
  }
  SetDlgItemTextW(dialog, IDC_TRACKERID, L"SITE3");
  EXPECT_EQ(SaveOn(w, dialog), L"");
  EXPECT_EQ(w->Settings().ID, u"SITE3");
  EXPECT_TRUE(w->Host().ClaimId(*w, u"x"));
  EXPECT_FALSE(beta->Host().ClaimId(*beta, u"X"));
  EXPECT_TRUE(w->Host().ClaimId(*w, u"X")) << "its own claim is no obstacle";
}

// The host's Test polls with what is typed; the widget files the key only
// encrypted (that no form of the typed text reaches the file is the shell's
// test) and polls with it. The reopened dialog's status and untouched key
// field are the dialog's own, checked with a stub host.
TEST_F(ProgramDialogsTest, SourceFieldsTestWhatIsTypedAndKeepTheKeyOnlyEncrypted) {
  TFakeSources sources(*Server);
  TFakeSite site;
  site.Key = "pl-7d2e1c";
  site.Count = 23;
  sources.SetSite(TFakeSource::Plausible, "example.org", site);
  TWidgetMainForm* w = AddWidget(u"example.org");
  const HWND dialog = OpenSettings(w);
  const HWND status = GetDlgItem(dialog, IDC_SOURCE_STATUS);
  SendDlgItemMessageW(dialog, IDC_SOURCE, CB_SETCURSEL, 1, 0);
  SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_SOURCE, CBN_SELCHANGE), 0);
  SetDlgItemTextA(dialog, IDC_SERVER, ("http://" + Server->HostPort()).c_str());
  SetDlgItemTextA(dialog, IDC_APIKEY, "pl-7d2e1c");
  SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_TEST, BN_CLICKED), 0);
  EXPECT_TRUE(PumpUntil([&] { return TextOf(status) == L"The source answers: 23 visitors"; })) << TextOf(status);
  EXPECT_EQ(SaveOn(w, dialog), L"");
  auto filed = [&] { return TWMemIniFile(Manager->SettingsFileName()).ReadString(u"example.org", u"ApiKey", u""); };
  EXPECT_TRUE(PumpUntil([&] { return filed().rfind(u"dpapi:", 0) == 0; }));
  Refresh(w);
  EXPECT_TRUE(PumpUntil([&] { return CountOf(w) == 23; }));
}

// A seeded tracker whose count crosses its alert: the tray's balloon names it
// with its count, once, and the face shows the count in the alert colour. The
// tray tip totals every count after each poll, "?" apart, and follows the language.
struct AlertTest : ProgramDialogsTest {
  void SetUp() override {
    Server->SetCount("spike", "150");
    Seed = testutil::Utf16Bytes(u"\uFEFF[Trackers]\r\nKey0=spike\r\n[spike]\r\nTitle=Spike\r\nTracker=10\r\n"
                                u"Interval=600000\r\nAlertAbove=100\r\n");
    ProgramDialogsTest::SetUp();
  }
};

TEST_F(AlertTest, ACrossingShowsOneBalloonAndTheAlertColourAndTheTipTotalsEachPoll) {
  ASSERT_EQ(Manager->WidgetCount(), 1);
  TWidgetMainForm* w = Manager->Widget(0);
  const TWidgetTray* tray = Manager->Tray();
  EXPECT_TRUE(PumpUntil([&] { return tray->BalloonText() == u"150 visitors online"; })) << Utf8FromWide(tray->BalloonText());
  EXPECT_EQ(tray->BalloonTitle(), u"Spike");
  auto colour = [w] { return Read<TWidgetColor>(w, [w] { return w->Face().CountLabel->Canvas()->Font()->Color(); }); };
  EXPECT_NE(colour(), 0xFFFFFFFFu);
  auto tipIs = [&](const WideString& tip) {
    EXPECT_TRUE(PumpUntil([&] { return tray->Tip() == tip; })) << Utf8FromWide(tray->Tip());
  };
  Server->SetCount("shop", "<html>");
  TWidgetMainForm* shop = AddWidget(u"shop");
  Refresh(shop);
  tipIs(u"150 online (1 ?) \u00B7 Spike 150 \u00B7 Title shop ?");
  Server->SetCount("shop", "80");
  Refresh(shop);
  tipIs(u"230 online \u00B7 Spike 150 \u00B7 Title shop 80");
  // When a balloon shows again is the spike rule's table; here the colour goes.
  Server->SetCount("spike", "12");
  Refresh(w);
  EXPECT_TRUE(PumpUntil([&] { return colour() == 0xFFFFFFFFu; }));

  HWND dialog = OpenSettings(w);
  EXPECT_EQ(TextOf(GetDlgItem(dialog, IDC_ALERTABOVE)), L"100");
  SetDlgItemTextW(dialog, IDC_ALERTABOVE, L"");
  EXPECT_EQ(SaveOn(w, dialog), L"");
  EXPECT_EQ(w->Settings().AlertAbove, 0);
  Manager->SelectLanguageCommand(1);
  tipIs(u"92 \u00E7evrimi\u00E7i \u00B7 Spike 12 \u00B7 Title shop 80");
}
