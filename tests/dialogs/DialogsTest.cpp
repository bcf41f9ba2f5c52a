// The Settings dialog for real: a manager on the test's (GUI) thread with the
// dialog hooked in, its widgets polling a loopback fake counter service, and an
// empty settings file in the scratch prefix (English, no trackers, no first start).
#include "tests/support/DialogTestSupport.h"
#include "tests/support/WidgetTestSupport.h"

#include <commctrl.h>

#include <algorithm>

#include "app/WidgetManager.h"
#include "dialogs/DialogRes.h"
#include "dialogs/SourceFields.h"
#include "dialogs/SettingsDlg.h"
#include "tests/support/TextTestUtil.h"
#include "text/WIniFiles.h"
#include "tools/fakeserver/FakeSources.h"

using namespace dialogtest;

namespace {

class DialogsTest : public widgettest::WidgetTest {
public:
  TDialogsUnit Unit;
  std::unique_ptr<TWidgetManager> Manager;
  std::string Seed;  // the settings file's bytes at start

  void SetUp() override {
    TShellDialogs hooks;
    hooks.Preferences = ShowSettingsDialog;
    Manager.reset(new TWidgetManager(nullptr, std::make_shared<TWidgetLanguages>(nullptr), hooks, APPLICATION_TITLE));
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

  // Presses Save; the error box that it opens, if any, is read and closed, and
  // the focus must be back on the refused field. Returns the box's message, empty when
  // the dialog closed instead. Unless the manager answers, this thread handles
  // no message until the box is up.
  static std::wstring Save(HWND dialog, bool managerAnswers = true, int refused = IDC_TRACKERID) {
    const DWORD thread = GetWindowThreadProcessId(dialog, nullptr);
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    HWND box = nullptr;
    auto isBox = [dialog](HWND d) { return GetWindow(d, GW_OWNER) == dialog; };
    auto done = [&] { return !IsWindow(dialog) || (box = DialogOf(thread, isBox)) != nullptr; };
    EXPECT_TRUE(managerAnswers ? PumpUntil(done) : widgettest::WaitUntil(done, 10000));
    if (!box) return std::wstring();
    const std::wstring message = BoxMessage(box);
    EXPECT_EQ(TextOf(box), L"Error");
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    auto onId = [&] { return GetGUIThreadInfo(thread, &info) && info.hwndFocus == GetDlgItem(dialog, refused); };
    EXPECT_TRUE(PumpUntil(onId)) << message;
    return message;
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

// The dialog shows the widget's settings and previews the transparency; a
// second request raises it, and a language switch relabels it, keeping what
// was typed. Cancel puts everything back; Save stores, and the file follows.
TEST_F(DialogsTest, SettingsShowPreviewAndRelabelCancelRestoresAndSaveStores) {
  TWidgetMainForm* w = AddWidget(u"site1");
  const RECT r = widgettest::BoundsOf(w);
  const uint64_t opaque = Brightness(r);

  HWND dialog = OpenSettings(w);
  EXPECT_EQ(TextOf(GetDlgItem(dialog, IDC_REFRESH)), L"15");
  const HWND slider = GetDlgItem(dialog, IDC_TRANSPARENCY);
  EXPECT_EQ(SendMessageW(slider, TBM_GETPOS, 0, 0), 20);
  SendMessageW(slider, TBM_SETPOS, TRUE, 255);
  SendMessageW(dialog, WM_HSCROLL, MAKEWPARAM(TB_THUMBTRACK, 255), reinterpret_cast<LPARAM>(slider));
  EXPECT_LT(Brightness(r), opaque / 4);
  SetDlgItemTextW(dialog, IDC_TITLE, L"typed");
  SetForegroundWindow(Manager->StoredHandle());
  PostMessageW(w->WindowHandle(), WM_COMMAND, CMD_PREFERENCES, 0);
  EXPECT_TRUE(PumpUntil([&] { return GetForegroundWindow() == dialog; }, 3000));
  Manager->SelectLanguageCommand(1);
  EXPECT_TRUE(PumpUntil([&] { return TextOf(dialog) == L"Se\u00E7enekler"; }, 3000));
  EXPECT_EQ(TextOf(GetDlgItem(dialog, IDC_TITLE)), L"typed");
  PostMessageW(GetDlgItem(dialog, IDC_TITLE), WM_KEYDOWN, VK_ESCAPE, 0);  // Esc is Cancel
  ASSERT_TRUE(PumpUntil([&] { return !IsWindow(dialog); }));
  EXPECT_EQ(Read<int>(w, [w] { return w->Opacity(); }), 255);
  EXPECT_EQ(w->Settings().TargetOpacity, 255);
  EXPECT_EQ(w->Settings().Title, u"Title site1");

  dialog = OpenSettings(w);
  SendDlgItemMessageW(dialog, IDC_TRANSPARENCY, TBM_SETPOS, TRUE, 255);
  SetDlgItemTextW(dialog, IDC_REFRESH, L"");
  CheckDlgButton(dialog, IDC_IGNOREMOUSE, BST_CHECKED);
  EXPECT_EQ(Save(dialog), L"");
  const TTrackerSettings s = w->Settings();
  EXPECT_EQ(s.TargetOpacity, 20);
  EXPECT_EQ(s.Interval, 20000);
  EXPECT_TRUE(s.IgnoreMouse);
  // The manager is told, and writes the file about a second later.
  const WideString file = Manager->SettingsFileName();
  EXPECT_TRUE(PumpUntil([&] { return TWMemIniFile(file).ReadString(u"site1", u"Opacity", u"") == u"20"; }));
}

// A title alone changes no polling; a new ID of an enabled tracker is polled
// at once, of a disabled one not at all. Refused, with the dialog and the typed
// ID kept: no ID, one the settings file cannot hold, another tracker's in any
// letter case, and any rename that the manager cannot check in time (busy,
// say, starting fifty trackers: had b become a, the next save would erase
// both). The tracker's own ID in other letters is its own, and a claimed ID is
// held for its tracker.
TEST_F(DialogsTest, OnlyANewIdOnAnEnabledTrackerRestartsPollingAndUnusableTakenOrUncheckedIdsAreRefused) {
  TWidgetMainForm* beta = AddWidget(u"beta");
  TWidgetMainForm* w = AddWidget(u"alpha");
  auto polled = [&] {
    std::vector<std::string> paths;
    for (const TFakeRequest& r : Server->Requests())
      if (r.Path.rfind("/sitecount/", 0) == 0) paths.push_back(r.Path);
    return paths;
  };
  const struct {
    const wchar_t* Id;
    bool Enable;
    std::vector<std::string> Polled;
  } steps[] = {{L"alpha", true, {}}, {L"site2", false, {}}, {L"site3", true, {"/sitecount/site3"}}};
  for (const auto& step : steps) {
    Server->ClearRequests();
    const HWND dialog = OpenSettings(w);
    SetDlgItemTextW(dialog, IDC_TRACKERID, step.Id);
    SetDlgItemTextW(dialog, IDC_TITLE, L"Renamed");
    CheckDlgButton(dialog, IDC_ENABLE, step.Enable ? BST_CHECKED : BST_UNCHECKED);
    EXPECT_EQ(Save(dialog), L"");
    PumpUntil([&] { return !step.Polled.empty() && polled().size() >= step.Polled.size(); }, 1000);
    EXPECT_EQ(polled(), step.Polled) << step.Id;
    EXPECT_EQ(Read<WideString>(w, [w] { return w->Face().TitleLabel->Caption(); }), u"Renamed");
    EXPECT_EQ(w->Settings().ID, WideOf(step.Id));
  }
  HWND dialog = OpenSettings(w);
  const struct {
    const wchar_t *Id, *Message;
    bool ManagerAnswers;
  } cases[] = {{L"", L"Orvanta ID cannot be empty!", true},
               {L"a]b", L"This Orvanta ID cannot be used!", true},
               {L"BETA", L"Orvanta ID already exists!", true},
               {L"gamma", L"Orvanta ID already exists!", false}};
  for (const auto& c : cases) {
    SetDlgItemTextW(dialog, IDC_TRACKERID, c.Id);
    EXPECT_EQ(Save(dialog, c.ManagerAnswers), c.Message) << c.Id;
    EXPECT_EQ(TextOf(GetDlgItem(dialog, IDC_TRACKERID)), c.Id);
  }
  EXPECT_EQ(w->Settings().ID, u"site3");
  SetDlgItemTextW(dialog, IDC_TRACKERID, L"SITE3");
  EXPECT_EQ(Save(dialog), L"");
  EXPECT_EQ(w->Settings().ID, u"SITE3");

  EXPECT_TRUE(w->Host().ClaimId(*w, u"x"));
  EXPECT_FALSE(beta->Host().ClaimId(*beta, u"X"));
  EXPECT_TRUE(w->Host().ClaimId(*w, u"X")) << "its own claim is no obstacle";
}

// Test polls once with what is typed; Save files the key only encrypted (that
// no form of the typed text reaches the file is the shell's test). Opened
// again, the dialog shows no key but "unchanged", which an untouched field
// keeps, and the last poll's reason.
TEST_F(DialogsTest, SourceFieldsTestWhatIsTypedAndKeepTheKeyOnlyEncrypted) {
  TFakeSources sources(*Server);
  TFakeSite site;
  site.Key = "pl-7d2e1c";
  site.Count = 23;
  sources.SetSite(TFakeSource::Plausible, "example.org", site);
  TWidgetMainForm* w = AddWidget(u"example.org");
  HWND dialog = OpenSettings(w);
  const HWND status = GetDlgItem(dialog, IDC_SOURCE_STATUS);
  SendDlgItemMessageW(dialog, IDC_SOURCE, CB_SETCURSEL, 1, 0);
  SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_SOURCE, CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_SOURCE)));
  SetDlgItemTextA(dialog, IDC_SERVER, ("http://" + Server->HostPort()).c_str());
  SetDlgItemTextA(dialog, IDC_APIKEY, "pl-7d2e1c");
  SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_TEST, BN_CLICKED), 0);
  EXPECT_TRUE(PumpUntil([&] { return TextOf(status) == L"The source answers: 23 visitors"; })) << TextOf(status);
  EXPECT_EQ(Save(dialog), L"");
  auto filed = [&] { return TWMemIniFile(Manager->SettingsFileName()).ReadString(u"example.org", u"ApiKey", u""); };
  EXPECT_TRUE(PumpUntil([&] { return filed().rfind(u"dpapi:", 0) == 0; }));
  Refresh(w);
  EXPECT_TRUE(PumpUntil([&] { return CountOf(w) == 23; }));

  site.Key = "another";
  sources.SetSite(TFakeSource::Plausible, "example.org", site);
  Refresh(w);
  EXPECT_TRUE(PumpUntil([&] { return TipOf(w) == u"the key was refused (401)"; }));
  const WideString stored = w->Settings().ApiKey;
  dialog = OpenSettings(w);
  wchar_t cue[32] = {};
  SendDlgItemMessageW(dialog, IDC_APIKEY, EM_GETCUEBANNER, reinterpret_cast<WPARAM>(cue), 32);
  EXPECT_EQ(std::wstring(cue), L"unchanged");
  EXPECT_EQ(TextOf(GetDlgItem(dialog, IDC_APIKEY)), L"");
  EXPECT_EQ(TextOf(GetDlgItem(dialog, IDC_SOURCE_STATUS)), L"Last poll: the key was refused (401)");
  EXPECT_EQ(Save(dialog), L"");
  EXPECT_EQ(w->Settings().ApiKey, stored);
}

// A tracker whose source this version does not know (a newer version's) says
// so on its face and in the dialog, which lists that source for it alone; Save
// keeps every key of it. Another source replaces it only when the user agrees,
// and then none of its keys, the stored one least of all, goes to the new one.
struct UnknownSourceTest : DialogsTest {
  void SetUp() override {
    Seed = testutil::Utf16Bytes(u"\uFEFF[Trackers]\r\nKey0=ph\r\n[ph]\r\nTitle=PH\r\nInterval=600000\r\n"
                                u"Source=posthog\r\nServer=https://eu.posthog.com\r\nApiKey=phc-4e1b\r\n"
                                u"Header=X-Key: {key}\r\nPointer=/results/0\r\n");
    DialogsTest::SetUp();
  }
  static std::wstring Chosen(HWND list) {
    wchar_t text[128] = {};
    SendMessageW(list, CB_GETLBTEXT, SendMessageW(list, CB_GETCURSEL, 0, 0), reinterpret_cast<LPARAM>(text));
    return text;
  }
  // Picks another item as the user would and answers the box that asks, if one does.
  static std::wstring Pick(HWND dialog, int item, int answer) {
    const HWND list = GetDlgItem(dialog, IDC_SOURCE);
    SendMessageW(list, CB_SETCURSEL, item, 0);
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_SOURCE, CBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
    const DWORD thread = GetWindowThreadProcessId(dialog, nullptr);
    HWND box = nullptr;
    auto ownedBox = [dialog](HWND d) { return GetWindow(d, GW_OWNER) == dialog; };
    auto asks = [&] { return (box = DialogOf(thread, ownedBox)) != nullptr; };
    if (!PumpUntil(asks, 3000)) return std::wstring();
    const std::wstring message = BoxMessage(box);
    PostMessageW(box, WM_COMMAND, static_cast<WPARAM>(answer), 0);
    EXPECT_TRUE(PumpUntil([&] { return !IsWindow(box); }));
    return message;
  }
};

TEST_F(UnknownSourceTest, ShownAsUnknownKeptBySaveAndReplacedOnlyWhenTheUserAgrees) {
  ASSERT_EQ(Manager->WidgetCount(), 1);
  TWidgetMainForm* w = Manager->Widget(0);
  const WideString reason = u"this version does not know the source \"posthog\"";
  Refresh(w);
  EXPECT_TRUE(PumpUntil([&] { return TipOf(w) == reason; })) << Utf8FromWide(TipOf(w));
  const TTrackerSettings before = w->Settings();
  ASSERT_FALSE(before.ApiKey.empty());

  HWND dialog = OpenSettings(w);
  const HWND list = GetDlgItem(dialog, IDC_SOURCE);
  EXPECT_EQ(Chosen(list), L"unknown source: posthog");
  EXPECT_EQ(SendMessageW(list, CB_GETCOUNT, 0, 0), 7);
  EXPECT_EQ(TextOf(GetDlgItem(dialog, IDC_SOURCE_STATUS)), L"Last poll: " + std::wstring(WinStr(reason)));
  EXPECT_EQ(TextOf(GetDlgItem(dialog, IDC_SERVER)), L"https://eu.posthog.com");
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_SERVER)));
  EXPECT_EQ(Save(dialog), L"");
  const TTrackerSettings saved = w->Settings();
  EXPECT_EQ(saved.Source.Source + saved.Source.Server + saved.Source.Header + saved.Source.Pointer,
            before.Source.Source + before.Source.Server + before.Source.Header + before.Source.Pointer);
  EXPECT_EQ(saved.ApiKey, before.ApiKey);

  dialog = OpenSettings(w);
  const std::wstring asked = Pick(dialog, 1, IDNO);
  EXPECT_NE(asked.find(L"\"posthog\""), std::wstring::npos) << std::string(asked.begin(), asked.end());
  EXPECT_NE(asked.find(L"Plausible"), std::wstring::npos);
  EXPECT_EQ(Chosen(GetDlgItem(dialog, IDC_SOURCE)), L"unknown source: posthog") << "No keeps it";
  EXPECT_NE(Pick(dialog, 1, IDYES), L"");
  EXPECT_EQ(Chosen(GetDlgItem(dialog, IDC_SOURCE)), L"Plausible");
  EXPECT_EQ(SendDlgItemMessageW(dialog, IDC_SOURCE, CB_GETCOUNT, 0, 0), 6) << "not to be chosen again";
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDC_SERVER)));
  EXPECT_EQ(TextOf(GetDlgItem(dialog, IDC_SERVER)), L"");
  // Asked once: the next choice is made at once.
  const HWND status = GetDlgItem(dialog, IDC_SOURCE_STATUS);
  SendDlgItemMessageW(dialog, IDC_SOURCE, CB_SETCURSEL, 4, 0);
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_SOURCE, CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_SOURCE)));
  EXPECT_TRUE(PumpUntil([&] { return TextOf(status).rfind(L"Fathom counts", 0) == 0; })) << TextOf(status).size();
  SetDlgItemTextA(dialog, IDC_SERVER, ("http://" + Server->HostPort()).c_str());
  Server->ClearRequests();
  SetWindowTextW(status, L"");
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_TEST, BN_CLICKED), 0);
  EXPECT_TRUE(PumpUntil([&] { return !TextOf(status).empty() && TextOf(status) != L"Testing\u2026"; }));
  for (const TFakeRequest& r : Server->Requests()) EXPECT_EQ(r.Header("Authorization"), "") << r.Path;
  SetDlgItemTextA(dialog, IDC_APIKEY, "fa-7c1d");
  EXPECT_EQ(Save(dialog), L"");
  const TTrackerSettings replaced = w->Settings();
  EXPECT_EQ(replaced.Source.Source, u"fathom");
  EXPECT_EQ(replaced.Source.Header + replaced.Source.Pointer, u"");
  EXPECT_NE(replaced.ApiKey, before.ApiKey);
}

// A Save refused for a field after the ID leaves that ID free: the Add
// dialog may give it to a new tracker, before Cancel and after.
TEST_F(DialogsTest, ARefusedSaveHoldsNoIdForTheTracker) {
  TWidgetMainForm* w = AddWidget(u"alpha");
  const HWND dialog = OpenSettings(w);
  SetDlgItemTextW(dialog, IDC_TRACKERID, L"fresh");
  SetDlgItemTextW(dialog, IDC_ALERTABOVE, L"-1");
  EXPECT_NE(Save(dialog, true, IDC_ALERTABOVE), L"");
  auto held = [&] {
    const std::vector<WideString> taken = Manager->TakenIds();
    return std::find(taken.begin(), taken.end(), u"fresh") != taken.end();
  };
  EXPECT_FALSE(held());
  PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
  ASSERT_TRUE(PumpUntil([&] { return !IsWindow(dialog); }));
  EXPECT_FALSE(held());
  EXPECT_EQ(w->Settings().ID, u"alpha");
}

// A key stored for Plausible on one origin (by an earlier version, as users
// have them) polls there. Picked with another source or server while the key
// field stays empty, it goes nowhere: the cue asks for this server's key,
// Test and Save refuse, and no request carries it. The way back brings
// "unchanged" back; a source that needs no key saves without it.
struct KeyedDialogsTest : DialogsTest {
  static constexpr char kKey[] = "pl-7d2e1c";
  std::unique_ptr<TFakeSources> Sources;
  std::string Here;
  void SetUp() override {
    Sources = std::make_unique<TFakeSources>(*Server);
    TFakeSite site;
    site.Key = kKey;
    site.Count = 23;
    for (TFakeSource source : {TFakeSource::Plausible, TFakeSource::Fathom}) Sources->SetSite(source, "example.org", site);
    site.Key = "Authorization: Bearer pl-7d2e1c";
    Sources->SetSite(TFakeSource::Json, "/live/example.org", site);
    site.Key.clear();
    site.Count = 5;
    Sources->SetSite(TFakeSource::Json, "/open/example.org", site);
    Here = "http://" + Server->HostPort();
    Seed = testutil::Utf16Bytes(u"\uFEFF[Trackers]\r\nKey0=example.org\r\n[example.org]\r\nSource=plausible\r\nServer=" +
                                WideFromUtf8(Here) + u"\r\nApiKey=" + WideFromUtf8(widgettest::EarlierVersionKey(kKey)) +
                                u"\r\nInterval=600000\r\n");
    DialogsTest::SetUp();
  }
};

TEST_F(KeyedDialogsTest, AStoredKeyGoesToNoOtherSourceOrServerOnTestOrSave) {
  ASSERT_EQ(Manager->WidgetCount(), 1);
  TWidgetMainForm* w = Manager->Widget(0);
  ASSERT_TRUE(PumpUntil([&] { return CountOf(w) == 23 && Idle(w); }));
  Server->ClearRequests();
  const std::string port = Server->HostPort().substr(Server->HostPort().find(':') + 1);
  auto cue = [](HWND dialog) {
    wchar_t text[64] = {};
    SendDlgItemMessageW(dialog, IDC_APIKEY, EM_GETCUEBANNER, reinterpret_cast<WPARAM>(text), 64);
    return std::wstring(text);
  };
  auto pick = [](HWND dialog, int source, const std::string& server, const wchar_t* header) {
    SendDlgItemMessageW(dialog, IDC_SOURCE, CB_SETCURSEL, source, 0);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_SOURCE, CBN_SELCHANGE), 0);
    SetDlgItemTextA(dialog, IDC_SERVER, server.c_str());
    SetDlgItemTextW(dialog, IDC_POINTER, L"/count");
    SetDlgItemTextW(dialog, IDC_HEADER, header);
  };
  const std::wstring refusal = L"The stored API key was entered for another source or server. Enter the key for this server.";
  const struct {
    int Source;
    std::string Server;
    const wchar_t* Header;
  } elsewhere[] = {{4, Here, L""},
                   {1, "http://localhost:" + port, L""},
                   {5, Here + "/live/{id}", L"Authorization: Bearer {key}"}};
  for (const auto& to : elsewhere) {
    const HWND dialog = OpenSettings(w);
    EXPECT_EQ(cue(dialog), L"unchanged");
    pick(dialog, to.Source, to.Server, to.Header);
    EXPECT_EQ(cue(dialog), L"enter the key for this server") << to.Server;
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_TEST, BN_CLICKED), 0);
    EXPECT_EQ(TextOf(GetDlgItem(dialog, IDC_SOURCE_STATUS)), refusal) << to.Server;
    EXPECT_EQ(Save(dialog, true, IDC_APIKEY), refusal) << to.Server;
    pick(dialog, 1, Here, L"");
    EXPECT_EQ(cue(dialog), L"unchanged");
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(PumpUntil([&] { return !IsWindow(dialog); }));
  }
  const HWND dialog = OpenSettings(w);
  pick(dialog, 5, Here + "/open/{id}", L"");
  EXPECT_EQ(cue(dialog), L"");
  SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_TEST, BN_CLICKED), 0);
  EXPECT_TRUE(PumpUntil([&] { return TextOf(GetDlgItem(dialog, IDC_SOURCE_STATUS)) == L"The source answers: 5 visitors"; }));
  EXPECT_EQ(Save(dialog), L"");
  EXPECT_TRUE(PumpUntil([&] { return CountOf(w) == 5; }));
  for (const TFakeRequest& r : Server->Requests()) {
    for (const auto& header : r.Headers) EXPECT_EQ(header.second.find(kKey), std::string::npos) << r.Path;
    EXPECT_EQ(r.Body.find(kKey), std::string::npos) << r.Path;
  }
  EXPECT_EQ(w->Settings().ApiKey, u"");
  EXPECT_TRUE(PumpUntil([&] {
    const TWMemIniFile file(Manager->SettingsFileName());
    return file.ReadString(u"example.org", u"Source", u"") == u"json" && file.ReadString(u"example.org", u"ApiKey", u"").empty();
  }));
}

// A seeded tracker whose count crosses its alert: the tray's balloon names it
// with its count, once, and the face shows the count in the alert colour. The
// tray tip totals every count after each poll, "?" apart, and follows the language.
struct AlertTest : DialogsTest {
  void SetUp() override {
    Server->SetCount("spike", "150");
    Seed = testutil::Utf16Bytes(u"\uFEFF[Trackers]\r\nKey0=spike\r\n[spike]\r\nTitle=Spike\r\nTracker=10\r\n"
                                u"Interval=600000\r\nAlertAbove=100\r\n");
    DialogsTest::SetUp();
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
  SetDlgItemTextW(dialog, IDC_ALERTABOVE, L"1e3");
  EXPECT_EQ(Save(dialog, true, IDC_ALERTABOVE),
            L"The alert count must be a whole number of visitors, or empty for no alert.");
  EXPECT_EQ(w->Settings().AlertAbove, 100);
  SetDlgItemTextW(dialog, IDC_ALERTABOVE, L"");
  EXPECT_EQ(Save(dialog), L"");
  EXPECT_EQ(w->Settings().AlertAbove, 0);
  Manager->SelectLanguageCommand(1);
  tipIs(u"92 \u00E7evrimi\u00E7i \u00B7 Spike 12 \u00B7 Title shop 80");
}
