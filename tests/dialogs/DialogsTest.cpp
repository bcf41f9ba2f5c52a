// The tracker dialogs for real, each modal on a thread of its own with a stub
// host that records what it is asked and answers as told, in English.
#include "tests/support/DialogTestSupport.h"

#include <commctrl.h>

#include "app/WidgetLanguages.h"
#include "dialogs/AddWidgetDlg.h"
#include "dialogs/DialogRes.h"
#include "dialogs/SettingsDlg.h"

using namespace dialogtest;

namespace {

// A Test poll whose answer is there at once.
struct TAnsweredPoll : TTestPoll {
  explicit TAnsweredPoll(WideString answer) : Text(std::move(answer)) {}
  WideString Answer() override { return Text; }
  WideString Text;
};

class DialogsTest : public ::testing::Test {
public:
  TDialogsUnit Unit;
  TWidgetLanguages Texts{nullptr};
  TDialogHost Host;
  // What the host was asked, on the dialog's thread.
  std::vector<int> Previews;
  int PreviewsEnded = 0;
  std::vector<WideString> Claims;
  std::vector<TTestRequest> Tests;
  bool Agrees = true, KeyStores = true;

  void SetUp() override {
    InitCommonControls();
    English();
    Host.Texts = &Texts;
    Host.StartTest = [this](const TTestRequest& request, HWND, UINT) {
      Tests.push_back(request);
      return std::make_unique<TAnsweredPoll>(u"The source answers: 23 visitors");
    };
    Host.KeyStorable = [this](const std::string&, const TSourceSettings&) { return KeyStores; };
    Host.ClaimId = [this](const WideString& id) {
      Claims.push_back(id);
      return Agrees;
    };
    Host.Preview = [this](uint8_t opacity) { Previews.push_back(opacity); };
    Host.EndPreview = [this] { ++PreviewsEnded; };
    Host.TakenIds = [] { return std::vector<WideString>{u"beta"}; };
  }
  void English() { Texts.SelectLanguage(Texts.Languages(0)->ResName()); }

  std::function<std::optional<TTrackerEdit>(HWND)> Settings(const TTrackerSettings& record) {
    return [this, record](HWND owner) {
      TDialogHost host = Host;
      host.Owner = owner;
      return ShowSettingsDialog(record, host);
    };
  }

  static std::wstring Cue(HWND dialog) {
    wchar_t text[64] = {};
    SendDlgItemMessageW(dialog, IDC_APIKEY, EM_GETCUEBANNER, reinterpret_cast<WPARAM>(text), 64);
    return text;
  }
  static std::wstring Status(HWND dialog) { return TextOf(GetDlgItem(dialog, IDC_SOURCE_STATUS)); }
  static std::wstring Chosen(HWND dialog) {
    const HWND list = GetDlgItem(dialog, IDC_SOURCE);
    wchar_t text[128] = {};
    SendMessageW(list, CB_GETLBTEXT, SendMessageW(list, CB_GETCURSEL, 0, 0), reinterpret_cast<LPARAM>(text));
    return text;
  }
  // Picks a source as the user would; the box that asks, if one does, is
  // answered, and its message returned.
  static std::wstring Pick(HWND dialog, int item, int answer = IDNO) {
    SendDlgItemMessageW(dialog, IDC_SOURCE, CB_SETCURSEL, item, 0);
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_SOURCE, CBN_SELCHANGE), 0);
    HWND box = nullptr;
    auto ownedBox = [dialog](HWND d) { return GetWindow(d, GW_OWNER) == dialog; };
    const DWORD thread = GetWindowThreadProcessId(dialog, nullptr);
    if (!PumpUntil([&] { return (box = DialogOf(thread, ownedBox)) != nullptr; }, 1500)) return std::wstring();
    const std::wstring message = BoxMessage(box);
    PostMessageW(box, WM_COMMAND, static_cast<WPARAM>(answer), 0);
    EXPECT_TRUE(PumpUntil([&] { return !IsWindow(box); }));
    return message;
  }
  static void Test(HWND dialog) { SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_TEST, BN_CLICKED), 0); }
};

}  // namespace

// The dialog shows the record and why the tracker polls as it does, previews
// the transparency, follows a language switch keeping what was typed, and
// ends the preview either way. Cancel hands back nothing; Save the record as
// edited, with what only the file sets (the source's page) kept.
TEST_F(DialogsTest, SettingsShowTheRecordPreviewRelabelAndHandBackTheEdit) {
  TTrackerSettings record;
  record.ID = u"site1";
  record.Interval = 15000;
  record.AlertAbove = 100;
  record.Source.Page = u"https://example.org/stats";
  Host.LastFailure = u"the service did not answer";
  Host.PollInterval = 45000;
  Host.Sharing = 3;
  {
    TDialogThread run(Settings(record));
    const HWND dialog = run.Dialog();
    EXPECT_EQ(TextOf(GetDlgItem(dialog, IDC_REFRESH)), L"15");
    EXPECT_EQ(TextOf(GetDlgItem(dialog, IDC_ALERTABOVE)), L"100");
    EXPECT_EQ(Status(dialog), L"Last poll: the service did not answer\r\n3 trackers share this key, so each polls "
                              L"every 45 s to stay inside the service's limit.");
    const HWND slider = GetDlgItem(dialog, IDC_TRANSPARENCY);
    EXPECT_EQ(SendMessageW(slider, TBM_GETPOS, 0, 0), 20);
    SendMessageW(slider, TBM_SETPOS, TRUE, 255);
    SendMessageW(dialog, WM_HSCROLL, MAKEWPARAM(TB_THUMBTRACK, 255), reinterpret_cast<LPARAM>(slider));
    SetDlgItemTextW(dialog, IDC_TITLE, L"typed");
    Texts.SelectLanguage(Texts.Languages(1)->ResName());
    SendMessageW(dialog, WM_LANGUAGECHANGED, 0, 0);
    EXPECT_EQ(TextOf(dialog), L"Se\u00E7enekler");
    EXPECT_EQ(TextOf(GetDlgItem(dialog, IDC_TITLE)), L"typed");
    English();
    PostMessageW(GetDlgItem(dialog, IDC_TITLE), WM_KEYDOWN, VK_ESCAPE, 0);  // Esc is Cancel
    EXPECT_FALSE(run.Result());
  }
  EXPECT_EQ(Previews, std::vector<int>{20});
  EXPECT_EQ(PreviewsEnded, 1);
  EXPECT_TRUE(Claims.empty());

  TDialogThread run(Settings(record));
  SendDlgItemMessageW(run.Dialog(), IDC_TRANSPARENCY, TBM_SETPOS, TRUE, 255);
  SetDlgItemTextW(run.Dialog(), IDC_REFRESH, L"");
  CheckDlgButton(run.Dialog(), IDC_IGNOREMOUSE, BST_CHECKED);
  SetDlgItemTextW(run.Dialog(), IDC_ALERTABOVE, L"");
  EXPECT_EQ(Save(run.Dialog()), L"");
  const std::optional<TTrackerEdit> edit = run.Result();
  ASSERT_TRUE(edit);
  const TTrackerSettings& s = edit->Settings;
  EXPECT_EQ(s.TargetOpacity, 20);
  EXPECT_EQ(s.Interval, 20000);
  EXPECT_TRUE(s.IgnoreMouse);
  EXPECT_EQ(s.AlertAbove, 0);
  EXPECT_EQ(s.ID + u" " + s.Title + u" " + s.Source.Page, u"site1 " + record.Title + u" " + record.Source.Page);
  EXPECT_EQ(Claims, std::vector<WideString>{u"site1"});
  EXPECT_EQ(PreviewsEnded, 2);
}

// Refused, with the dialog and what was typed kept and the focus on the
// field: no ID, one the settings file cannot hold, an alert that is no count,
// a key that cannot be stored here, an ID the owner does not agree to. The
// owner is asked last, so that no other refusal leaves an ID held.
TEST_F(DialogsTest, RefusalsKeepWhatWasTypedAndTheOwnerIsAskedLast) {
  TTrackerSettings record;
  record.ID = u"alpha";
  record.Source.Source = u"plausible";
  record.Source.Server = u"http://127.0.0.1:9";
  TDialogThread run(Settings(record));
  const HWND dialog = run.Dialog();
  const struct {
    const wchar_t *Id, *Alert;
    const char* Key;
    bool Stores, Agrees;
    int Field;
    const wchar_t* Message;
  } cases[] = {
      {L"", L"", "", true, true, IDC_TRACKERID, L"Orvanta ID cannot be empty!"},
      {L"a]b", L"", "", true, true, IDC_TRACKERID, L"This Orvanta ID cannot be used!"},
      {L"fresh", L"1e3", "", true, true, IDC_ALERTABOVE,
       L"The alert count must be a whole number of visitors, or empty for no alert."},
      {L"fresh", L"", "pl-7d2e1c", false, true, IDC_APIKEY,
       L"The key could not be stored encrypted for this Windows account, so nothing was saved."},
      {L"BETA", L"", "", true, false, IDC_TRACKERID, L"Orvanta ID already exists!"},
  };
  for (const auto& c : cases) {
    KeyStores = c.Stores;
    Agrees = c.Agrees;
    SetDlgItemTextW(dialog, IDC_TRACKERID, c.Id);
    SetDlgItemTextW(dialog, IDC_ALERTABOVE, c.Alert);
    SetDlgItemTextA(dialog, IDC_APIKEY, c.Key);
    EXPECT_EQ(Save(dialog, c.Field), c.Message) << std::wstring(c.Id);
    EXPECT_EQ(TextOf(GetDlgItem(dialog, IDC_TRACKERID)), c.Id);
  }
  EXPECT_EQ(Claims, std::vector<WideString>{u"BETA"});
  Agrees = true;
  SetDlgItemTextW(dialog, IDC_TRACKERID, L"fresh");
  SetDlgItemTextA(dialog, IDC_APIKEY, "pl-7d2e1c");
  EXPECT_EQ(Save(dialog), L"");
  const std::optional<TTrackerEdit> edit = run.Result();
  ASSERT_TRUE(edit);
  EXPECT_EQ(edit->Settings.ID, u"fresh");
  EXPECT_EQ(edit->TypedKey, "pl-7d2e1c") << "the owner encrypts it";
  EXPECT_EQ(edit->Settings.ApiKey, u"");
}

// A tracker whose source this version does not know (a newer version's) has
// it listed for it alone; Save keeps every key of it. Another source replaces
// it only when the user agrees, and then none of its keys, the stored one
// least of all, goes to the new one.
TEST_F(DialogsTest, AnUnknownSourceIsKeptUnlessTheUserAgreesToReplaceIt) {
  TTrackerSettings record;
  record.ID = u"ph";
  record.Source = {u"posthog", u"https://eu.posthog.com", u"X-Key: {key}", u"/results/0", u""};
  record.ApiKey = u"dpapi:c3RvcmVk";
  Host.LastFailure = u"this version does not know the source \"posthog\"";
  {
    TDialogThread run(Settings(record));
    const HWND dialog = run.Dialog();
    EXPECT_EQ(Chosen(dialog), L"unknown source: posthog");
    EXPECT_EQ(SendDlgItemMessageW(dialog, IDC_SOURCE, CB_GETCOUNT, 0, 0), 7);
    EXPECT_EQ(Status(dialog), L"Last poll: this version does not know the source \"posthog\"");
    EXPECT_EQ(TextOf(GetDlgItem(dialog, IDC_SERVER)), L"https://eu.posthog.com");
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_SERVER)));
    EXPECT_EQ(Save(dialog), L"");
    const std::optional<TTrackerEdit> kept = run.Result();
    ASSERT_TRUE(kept);
    const TSourceSettings& s = kept->Settings.Source;
    EXPECT_EQ(s.Source + s.Server + s.Pointer + s.Header, u"posthoghttps://eu.posthog.com/results/0X-Key: {key}");
    EXPECT_EQ(kept->Settings.ApiKey, record.ApiKey);
  }
  TDialogThread run(Settings(record));
  const HWND dialog = run.Dialog();
  const std::wstring asked = Pick(dialog, 1, IDNO);
  EXPECT_NE(asked.find(L"\"posthog\""), std::wstring::npos) << std::string(asked.begin(), asked.end());
  EXPECT_NE(asked.find(L"Plausible"), std::wstring::npos);
  EXPECT_EQ(Chosen(dialog), L"unknown source: posthog") << "No keeps it";
  EXPECT_NE(Pick(dialog, 1, IDYES), L"");
  EXPECT_EQ(Chosen(dialog), L"Plausible");
  EXPECT_EQ(SendDlgItemMessageW(dialog, IDC_SOURCE, CB_GETCOUNT, 0, 0), 6) << "not to be chosen again";
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDC_SERVER)));
  EXPECT_EQ(TextOf(GetDlgItem(dialog, IDC_SERVER)), L"");
  EXPECT_EQ(Pick(dialog, 4), L"") << "asked once";
  EXPECT_EQ(Status(dialog).rfind(L"Fathom counts", 0), 0u);
  Test(dialog);
  EXPECT_TRUE(Tests.empty()) << "the stored key goes to no other source";
  SetDlgItemTextA(dialog, IDC_APIKEY, "fa-7c1d");
  EXPECT_EQ(Save(dialog), L"");
  const std::optional<TTrackerEdit> replaced = run.Result();
  ASSERT_TRUE(replaced);
  EXPECT_EQ(replaced->Settings.Source.Source, u"fathom");
  EXPECT_EQ(replaced->Settings.Source.Header + replaced->Settings.Source.Pointer, u"");
  EXPECT_EQ(replaced->Settings.ApiKey, u"");
  EXPECT_EQ(replaced->TypedKey, "fa-7c1d");
  EXPECT_EQ(replaced->Settings.Interval, 60000) << "Fathom bills every request";
}

// A key stored for Plausible on one origin is "unchanged" there, and an
// untouched field keeps it. Picked with another source or server while the
// key field stays empty, it goes nowhere: the cue asks for this server's key,
// Test and Save refuse. The way back brings "unchanged" back; a source that
// needs no key tests and saves without it.
TEST_F(DialogsTest, AStoredKeyGoesToNoOtherSourceOrServerOnTestOrSave) {
  const std::string here = "http://127.0.0.1:9";
  TTrackerSettings record;
  record.ID = u"example.org";
  record.Source.Source = u"plausible";
  record.Source.Server = WideFromUtf8(here);
  record.ApiKey = u"dpapi:c3RvcmVk";
  auto pick = [](HWND dialog, int source, const std::string& server, const wchar_t* header) {
    SendDlgItemMessageW(dialog, IDC_SOURCE, CB_SETCURSEL, source, 0);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_SOURCE, CBN_SELCHANGE), 0);
    SetDlgItemTextA(dialog, IDC_SERVER, server.c_str());
    SetDlgItemTextW(dialog, IDC_POINTER, L"/count");
    SetDlgItemTextW(dialog, IDC_HEADER, header);
  };
  {
    TDialogThread run(Settings(record));
    EXPECT_EQ(Cue(run.Dialog()), L"unchanged");
    EXPECT_EQ(TextOf(GetDlgItem(run.Dialog(), IDC_APIKEY)), L"");
    Test(run.Dialog());
    EXPECT_EQ(Status(run.Dialog()), L"The source answers: 23 visitors");
    EXPECT_EQ(Save(run.Dialog()), L"");
    const std::optional<TTrackerEdit> untouched = run.Result();
    ASSERT_TRUE(untouched);
    EXPECT_EQ(untouched->Settings.ApiKey, record.ApiKey);
    ASSERT_EQ(Tests.size(), 1u);
    EXPECT_EQ(Tests[0].StoredKey, record.ApiKey);
    EXPECT_EQ(Tests[0].Source.Server, record.Source.Server);
  }
  const std::wstring refusal =
      L"The stored API key was entered for another source or server. Enter the key for this server.";
  const struct {
    int Source;
    std::string Server;
    const wchar_t* Header;
  } elsewhere[] = {{4, here, L""}, {1, "http://localhost:9", L""}, {5, here + "/live/{id}", L"Authorization: Bearer {key}"}};
  for (const auto& to : elsewhere) {
    TDialogThread run(Settings(record));
    const HWND dialog = run.Dialog();
    pick(dialog, to.Source, to.Server, to.Header);
    EXPECT_EQ(Cue(dialog), L"enter the key for this server") << to.Server;
    Test(dialog);
    EXPECT_EQ(Status(dialog), refusal) << to.Server;
    EXPECT_EQ(Save(dialog, IDC_APIKEY), refusal) << to.Server;
    pick(dialog, 1, here, L"");
    EXPECT_EQ(Cue(dialog), L"unchanged");
  }
  EXPECT_EQ(Tests.size(), 1u) << "no Test went out";
  TDialogThread run(Settings(record));
  pick(run.Dialog(), 5, here + "/open/{id}", L"");
  EXPECT_EQ(Cue(run.Dialog()), L"");
  Test(run.Dialog());
  ASSERT_EQ(Tests.size(), 2u);
  EXPECT_EQ(Tests[1].StoredKey, u"");
  EXPECT_EQ(Save(run.Dialog()), L"");
  const std::optional<TTrackerEdit> open = run.Result();
  ASSERT_TRUE(open);
  EXPECT_EQ(open->Settings.Source.Source, u"json");
  EXPECT_EQ(open->Settings.ApiKey, u"");
}

// Add Tracker refuses an ID another tracker has, in any letter case, and
// hands back the new tracker with its source's interval and typed key.
TEST_F(DialogsTest, AddTrackerRefusesATakenIdAndHandsBackTheNewTracker) {
  TDialogThread run([this](HWND owner) {
    TDialogHost host = Host;
    host.Owner = owner;
    return ShowAddTrackerDialog(host);
  });
  const HWND dialog = run.Dialog();
  SetDlgItemTextW(dialog, IDC_TRACKERID, L"BETA");
  EXPECT_EQ(Save(dialog), L"Orvanta ID already exists!");
  SetDlgItemTextW(dialog, IDC_TRACKERID, L"shop");
  SetDlgItemTextW(dialog, IDC_TITLE, L"Shop");
  Pick(dialog, 4);
  SetDlgItemTextA(dialog, IDC_APIKEY, "fa-7c1d");
  EXPECT_EQ(Save(dialog), L"");
  const std::optional<TTrackerEdit> edit = run.Result();
  ASSERT_TRUE(edit);
  EXPECT_EQ(edit->Settings.ID + u" " + edit->Settings.Title + u" " + edit->Settings.Source.Source, u"shop Shop fathom");
  EXPECT_EQ(edit->Settings.Interval, 60000);
  EXPECT_EQ(edit->TypedKey, "fa-7c1d");
}
