// The real Orvanta.exe, started in the test prefix and driven only from outside,
// against the two loopback fake servers its test build talks to.
#include <gtest/gtest.h>

#include <ctime>
#include <string>

#include "tests/support/OrvantaProcess.h"
#include "text/Base64.h"
#include "tools/fakeserver/FakeServer.h"
#include "tools/fakeserver/FakeSources.h"
#include "text/WIniFiles.h"
#include "text/WStrUtils.h"
#include "tracker/History.h"

using namespace shelltest;

namespace {

// Wine's DLL overrides for Orvanta.exe alone; a test that sets one leaves none behind.
constexpr wchar_t kNoCryptoProvider[] = L"Software\\Wine\\AppDefaults\\Orvanta.exe";

// Every test starts from no settings, with fresh servers on the fixed ports
// that answer the ping and the version request with nothing.
class ShellTest : public ::testing::Test {
protected:
  TFakeServer Counter, Maker;
  void SetUp() override {
    if (!COUNTER_PORT || !MAKER_PORT) GTEST_SKIP() << "Orvanta.exe was not built for loopback hosts";
    Counter.ReuseAddress = Maker.ReuseAddress = true;
    ASSERT_TRUE(Counter.Start(COUNTER_PORT) && Maker.Start(MAKER_PORT)) << "a loopback port is taken";
    Counter.SetRoute(PING_PATH, TFakeRoute());
    Maker.SetRoute(VERSION_PATH, TFakeRoute());
    DeleteSettings();
  }
  // A blocked or read-only file left behind would stop the next test's saves.
  void TearDown() override {
    DeleteSettings();
    RegDeleteTreeW(HKEY_CURRENT_USER, kNoCryptoProvider);
  }
  size_t Polls(const std::string& id) const {
    size_t n = 0;
    for (const TFakeRequest& r : Counter.Requests()) n += r.Path == "/sitecount/" + id;
    return n;
  }
};

// The one box a start opens by itself: its text, read once it is there, then answered.
std::wstring ToldAtStart(const TOrvanta& app) {
  if (!app.WaitManager() || !WaitUntil([&] { return app.Dialogs().size() == 1; }, 10000)) return L"(no box)";
  const std::wstring told = StaticTextOf(app.Dialogs()[0]);
  PostMessageW(app.Dialogs()[0], WM_COMMAND, IDOK, 0);
  return told;
}

void SeedHistory(const WideString& id, int64_t time, int32_t count) {
  THistoryBook seeded;
  seeded.Add(id, time, count);
  WriteBytes(HistoryFile(), seeded.Serialize());
}

}  // namespace

// A first run, switched to Turkish while the Add Tracker dialog it opens by
// itself waits: the dialog and each of its refusals speak Turkish (which IDs
// it refuses is the ID rule's table), two trackers are added and polled, a
// second start leaves it running, and Exit writes exactly them with the language.
TEST_F(ShellTest, FirstRunInTurkishAddsTwoTrackersThroughTheDialogAndASecondStartLeavesItRunning) {
  Counter.SetCount("alpha", "11");
  Counter.SetCount("beta", "<html>busy</html>");
  TOrvanta app;
  HWND manager = app.WaitManager();
  ASSERT_TRUE(manager);
  EXPECT_TRUE(Exists(SettingsFolder()));
  ASSERT_TRUE(WaitUntil([&] { return Counter.Requests().size() == 1 && Maker.Requests().size() == 1; }, 20000));
  EXPECT_EQ(Counter.Requests()[0].Path + Maker.Requests()[0].Path, std::string(PING_PATH) + VERSION_PATH);
  ASSERT_TRUE(WaitUntil([&] { return app.Dialogs().size() == 1; }));
  HWND dialog = app.Dialogs()[0];
  EXPECT_EQ(TextOf(dialog), L"Add Tracker");
  EXPECT_FALSE(Exists(SettingsFile()));
  app.Command(CMD_LANGUAGE_BASE + 1);
  ASSERT_TRUE(WaitUntil([&] { return TextOf(dialog) == L"\u0130zleyici Ekle"; }));
  EXPECT_EQ(TextOf(GetDlgItem(dialog, IDOK)), L"Kaydet");

  auto save = [&](const wchar_t* id, const wchar_t* title) {
    SetText(GetDlgItem(dialog, IDC_TRACKERID), id);
    SetText(GetDlgItem(dialog, IDC_TITLE), title);
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
  };
  auto refused = [&](const wchar_t* id, const wchar_t* message) {
    save(id, L"");
    HWND box = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return app.Dialogs().size() == 2 && (box = app.Dialogs()[0]) != nullptr; })) << id;
    if (box == dialog) box = app.Dialogs()[1];
    EXPECT_EQ(TextOf(box), L"Hata");
    EXPECT_EQ(StaticTextOf(box), message) << id;
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(box); }));
    EXPECT_EQ(TextOf(GetDlgItem(dialog, IDC_TRACKERID)), id) << "the typed ID stays";
  };
  refused(L"", L"Orvanta ID bo\u015F b\u0131rak\u0131lamaz!");
  refused(L"a]b", L"Bu Orvanta ID kullan\u0131lamaz!");
  save(L"alpha", L"Alfa");
  ASSERT_TRUE(app.WaitWidgets(1));
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(dialog); }));  // not taken for the next one
  app.Command(CMD_ADDTRACKER);
  ASSERT_TRUE(WaitUntil([&] { return app.Dialogs().size() == 1 && (dialog = app.Dialogs()[0]) != nullptr; }));
  refused(L"ALPHA", L"Orvanta ID zaten var!");
  save(L"beta", L"Beta");
  ASSERT_TRUE(app.WaitWidgets(2));
  // The garbage answer keeps no count; the file shows -1 for it.
  ASSERT_TRUE(WaitUntil([&] { return Counter.Requests().size() == 3; }));
  EXPECT_EQ(Counter.Requests()[1].Path + Counter.Requests()[2].Path, "/sitecount/alpha/sitecount/beta");
  Sleep(500);  // the answers follow their requests

  TOrvanta second;
  ASSERT_TRUE(second.Ended(10000));
  EXPECT_EQ(second.ExitCode(), 0u);
  EXPECT_EQ(FindWindowW(MANAGER_CLASS, MANAGER_CAPTION), manager);
  // Another version finds this one by the names without a version, and its
  // installer's Exit command, sent there, ends it as the tray's would.
  HWND beacon = FindWindowW(BEACON, BEACON);
  DWORD pid = 0;
  GetWindowThreadProcessId(beacon, &pid);
  EXPECT_EQ(pid, app.Pid());
  PostMessageW(beacon, WM_COMMAND, CMD_EXIT, 0);
  ASSERT_TRUE(app.Ended(15000));
  EXPECT_EQ(app.ExitCode(), 0u);
  // A section's written form is TrackerSettingsFile's table.
  const std::string start = IniBytes(u"[Config]\nLanguage=TR-TR.INI\n\n[Trackers]\nKey0=alpha\nKey1=beta\n\n[alpha]\n");
  EXPECT_EQ(ReadBytes(SettingsFile()).substr(0, start.size()), start);
  EXPECT_TRUE(SettingsHold(u"\nTitle=Alfa\nOrvantaID=alpha\nInterval=15000\nTracker=11\n"));
  EXPECT_TRUE(SettingsHold(u"\nTitle=Beta\nOrvantaID=beta\nInterval=15000\nTracker=-1\n"));
}

TEST_F(ShellTest, ASecondStartSignalsAnotherVersionAndLeavesAndQuickStartsLeaveOneInstance) {
  {
    TOtherVersion other;
    TOrvanta started;
    ASSERT_TRUE(other.PumpUntil([&] { return started.Ended(0); }));
    EXPECT_EQ(started.ExitCode(), 0u);
    EXPECT_EQ(TOtherVersion::Signals, 1) << "the running version was not signalled";
  }
  TOrvanta a, b;
  ASSERT_TRUE(WaitUntil([&] { return a.Ended(0) || b.Ended(0); }, 15000));
  TOrvanta& running = a.Ended(0) ? b : a;
  ASSERT_TRUE(running.WaitManager());
  EXPECT_FALSE(running.Ended(1000));
  ASSERT_TRUE(running.Exit());
}

// Tray commands reach every widget and open the second tracker's Settings;
// Details hands the statistics page to the browser registered for http, here
// a stub that notes the address. Explorer forgets every icon when it
// restarts, and the manager adds its own again. A drag's end, a language
// switch and a removal each reach the file about a second later, so a crash
// right after them loses none of them.
TEST_F(ShellTest, TrayCommandsDetailsAndTheIconComeBackAndUserChangesReachTheFileWithinSeconds) {
  const std::wstring noted = L"C:\\opened-page.txt";
  DeleteFileW(noted.c_str());
  TRegisteredBrowser stub(L"C:\\windows\\system32\\cmd.exe /c echo %1>" + noted);
  SeedSettings(u"[Config]\nLanguage=EN-US.INI\n[Trackers]\nKey0=keep\nKey1=drop\n" + TrackerSection(u"keep", 200, 200) +
               TrackerSection(u"drop", 400, 200));
  TOrvanta app;
  HWND manager = app.WaitManager();
  ASSERT_TRUE(manager);
  ASSERT_TRUE(app.WaitWidgets(2));
  app.Command(CMD_HIDE);
  ASSERT_TRUE(app.WaitWidgets(0));
  EXPECT_EQ(app.Widgets(false).size(), 2u);
  app.Command(CMD_SHOW);
  ASSERT_TRUE(app.WaitWidgets(2));
  app.Command(CMD_TRACKER_BASE + 2);  // past the last tracker and language: ignored
  app.Command(CMD_LANGUAGE_BASE + 2);
  app.Command(CMD_TRACKER_BASE + 1);
  ASSERT_TRUE(WaitUntil([&] { return app.Dialogs().size() == 1; }));
  EXPECT_EQ(TextOf(app.Dialogs()[0]), L"Preferences");
  EXPECT_EQ(TextOf(GetDlgItem(app.Dialogs()[0], IDC_TRACKERID)), L"drop");
  PostMessageW(app.Dialogs()[0], WM_COMMAND, IDCANCEL, 0);

  HWND keep = app.WidgetAt(200, 200), drop = app.WidgetAt(400, 200);
  ASSERT_TRUE(keep && drop);
  PostMessageW(keep, WM_COMMAND, CMD_DETAILS, 0);
  ASSERT_TRUE(WaitUntil([&] { return ReadBytes(noted).find("/keep/") != std::string::npos; }, 15000));
  EXPECT_EQ(ReadBytes(noted).substr(0, ReadBytes(noted).find_last_not_of(" \r\n") + 1),
            std::string("http://") + ORVANTA_COUNTER_HOST + "/stats/keep/");

  std::vector<HWND> trays = WindowsOf(app.Pid(), [](HWND w) { return ClassOf(w) == L"Widget_Tray_Window_Class"; });
  ASSERT_EQ(trays.size(), 1u);
  NOTIFYICONDATAW icon{};
  icon.cbSize = sizeof icon;
  icon.hWnd = trays[0];
  icon.uID = static_cast<UINT>(reinterpret_cast<UINT_PTR>(trays[0]));
  ASSERT_TRUE(Shell_NotifyIconW(NIM_DELETE, &icon));
  DWORD_PTR result = 0;
  SendMessageTimeoutW(manager, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0, SMTO_BLOCK, 5000, &result);
  EXPECT_TRUE(Shell_NotifyIconW(NIM_MODIFY, &icon));

  SetWindowPos(keep, nullptr, 600, 500, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  app.Command(CMD_LANGUAGE_BASE + 1);
  PostMessageW(manager, WM_REMOVEWIDGET, 0, reinterpret_cast<LPARAM>(drop));
  ASSERT_TRUE(app.WaitWidgets(1));
  EXPECT_TRUE(WaitUntil([&] {
    return SettingsHold(u"Language=TR-TR.INI\n") && SettingsHold(u"[Trackers]\nKey0=keep\n\n") &&
           SettingsHold(u"[keep]\nLeft=600\nTop=500\n") && !SettingsHold(u"[drop]");
  }));
  ASSERT_TRUE(app.Exit());
  EXPECT_EQ(app.ExitCode(), 0u);
}

// A file read only in part (UTF-8 from an editor; every other way a file
// is read in part, and the copy kept beside it, are the store's table) is
// named in a box at start, with no first-run dialog, under the name of the
// copy; the run's own settings are saved. A file the system will not let the
// program read (here a folder in its place) is named at start and never
// written over; Exit tells nothing more. Neither costs a tracker its history.
TEST_F(ShellTest, AnUnreadableFileIsKeptAsideAndNamedAtStartAndTheRunGoesOnSaving) {
  const std::string utf8 = "\xEF\xBB\xBF[Trackers]\r\nKey0=ro\r\n[ro]\r\nLeft=200\r\nTop=200\r\n";
  for (const std::string* bytes : {&utf8, static_cast<const std::string*>(nullptr)}) {
    DeleteKeptFiles();
    DeleteSettings();
    if (bytes)
      WriteBytes(SettingsFile(), *bytes);
    else
      ASSERT_TRUE(SHCreateDirectoryExW(nullptr, SettingsFile().c_str(), nullptr) == ERROR_SUCCESS);
    SeedHistory(u"ro", static_cast<int64_t>(time(nullptr)) - 60, 7);
    TOrvanta app;
    const std::wstring told = ToldAtStart(app);
    const std::wstring named = bytes ? SettingsFile() + L".unreadable-" : L"\"" + SettingsFile() + L"\"";
    EXPECT_NE(told.find(named), std::wstring::npos) << std::string(told.begin(), told.end());
    ASSERT_TRUE(WaitUntil([&] { return app.Dialogs().empty(); }));
    EXPECT_TRUE(app.Widgets(false).empty());
    app.Command(CMD_LANGUAGE_BASE + 1);
    ASSERT_TRUE(app.Exit()) << "no box at Exit";
    if (bytes)
      EXPECT_EQ(ReadBytes(SettingsFile()), IniBytes(u"[Config]\nLanguage=TR-TR.INI\n\n"));
    else
      EXPECT_TRUE(GetFileAttributesW(SettingsFile().c_str()) & FILE_ATTRIBUTE_DIRECTORY);
    THistoryBook after;
    EXPECT_TRUE(after.Deserialize(ReadBytes(HistoryFile())) && after.Trackers() == 1)
        << "a settings file not read in full decides no history's end";
  }
  RemoveDirectoryW(SettingsFile().c_str());
  DeleteKeptFiles();
}

// A key written by hand is used and soon gone from the file in every form it
// could take there, a tracker's, a kept entry's and one in a section the list
// no longer names alike; a key this Windows account cannot read is named
// once, at start, and stays in the file as it was.
TEST_F(ShellTest, APlainKeyLeavesTheFileAndAnUnreadableOneIsNamedOnceAndKept) {
  const std::u16string source = u"Source=plausible\nServer=http://127.0.0.1:9\nApiKey=";
  const std::u16string foreign = u"dpapi:AQAAANCMnd8BFdERjHoAwE/Cl+s=";
  SeedSettings(u"[Trackers]\nKey0=plain.org\nKey1=moved.org\nKey2=PLAIN.org\n" +
               TrackerSection(u"plain.org", 200, 200, source + u"pk-31f9a7c\n") +
               TrackerSection(u"moved.org", 400, 200, source + foreign + u"\n") +
               TrackerSection(u"PLAIN.org", 600, 200, u"Source=fathom\nApiKey=pk-6b04e2d\n") +
               TrackerSection(u"gone.org", 200, 400, u"Source=umami\nApiKey=pk-e95a1c0\n"));
  TOrvanta app;
  const std::wstring told = ToldAtStart(app);
  EXPECT_NE(told.find(L"moved.org"), std::wstring::npos) << std::string(told.begin(), told.end());
  EXPECT_EQ(told.find(L"plain.org"), std::wstring::npos);
  auto plainGone = [&] {
    const std::string bytes = ReadBytes(SettingsFile());
    for (const char* key : {"pk-31f9a7c", "pk-6b04e2d", "pk-e95a1c0"})
      if (bytes.find(IniBytes(U16(key)).substr(2)) != std::string::npos || bytes.find(key) != std::string::npos ||
          bytes.find(Base64Encode(key).substr(0, 12)) != std::string::npos)
        return false;
    return true;
  };
  EXPECT_TRUE(WaitUntil([&] {
    return plainGone() && SettingsHold(u"[plain.org]") && SettingsHold(u"[PLAIN.org]\nLeft=600\nTop=200\nSource=fathom\nApiKey=dpapi:") &&
           SettingsHold(u"[gone.org]\nLeft=200\nTop=400\nSource=umami\nApiKey=dpapi:");
  }));
  EXPECT_TRUE(SettingsHold(u"ApiKey=" + foreign + u"\n"));
  ASSERT_TRUE(app.Exit()) << "told once: no box at Exit";
}

// What a newer version or a hand edit wrote stays through two starts and
// Exits: keys this version does not know, each with its value in its own
// section, and a source it does not know with every key of it (its key
// may be stored encrypted, but is never lost).
TEST_F(ShellTest, KeysAndASourceThisVersionDoesNotKnowOutliveRestarts) {
  const struct {
    const char16_t *Section, *Key, *Value;
  } kept[] = {
      {u"form", u"Method", u"POST"},
      {u"form", u"Body", u"site={id}&n=1"},
      {u"form", u"Colour2", u"0x00FF0000"},
      {u"range", u"Range", u"today"},
      {u"ph", u"Source", u"posthog"},
      {u"ph", u"Server", u"https://eu.posthog.com"},
      {u"ph", u"Header", u"Authorization: Bearer {key}"},
      {u"ph", u"Pointer", u"/results/0"},
  };
  SeedSettings(u"[Trackers]\nKey0=form\nKey1=range\nKey2=ph\n" +
               TrackerSection(u"form", 200, 200, u"Method=POST\nBody=site={id}&n=1\nColour2=0x00FF0000\n") +
               TrackerSection(u"range", 400, 200, u"Range=today\n") +
               TrackerSection(u"ph", 600, 200,
                              u"Source=posthog\nServer=https://eu.posthog.com\nApiKey=phc-4e1b\n"
                              u"Header=Authorization: Bearer {key}\nPointer=/results/0\n"));
  for (int start = 1; start <= 2; ++start) {
    TOrvanta app;
    ASSERT_TRUE(app.WaitWidgets(3, 20000)) << start;
    ASSERT_TRUE(app.Exit()) << start;
    const TWMemIniFile file(WideOf(SettingsFile().c_str()));
    for (const auto& k : kept)
      EXPECT_EQ(file.ReadString(k.Section, k.Key, u"(gone)"), k.Value) << start << " " << Utf8FromWide(k.Key);
    const WideString key = file.ReadString(u"ph", u"ApiKey", u"");
    EXPECT_TRUE(key == u"phc-4e1b" || key.rfind(u"dpapi:", 0) == 0) << start << " " << Utf8FromWide(key);
  }
}

// Where no key can be encrypted (here Wine keeps Windows' cryptographic
// provider out of Orvanta.exe), the user is told once which sections keep their keys
// in plain text, and the keys stay as they were.
TEST_F(ShellTest, AKeyThatCannotBeEncryptedIsToldOnceAndStaysAsItWas) {
  SeedSettings(u"[Trackers]\nKey0=plain.org\n" +
               TrackerSection(u"plain.org", 200, 200, u"Source=plausible\nServer=http://127.0.0.1:9\nApiKey=pk-31f9a7c\n") +
               u"[gone.org]\nApiKey=pk-e95a1c0\n");
  HKEY overrides = nullptr;
  const std::wstring path = std::wstring(kNoCryptoProvider) + L"\\DllOverrides";
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &overrides, nullptr),
            ERROR_SUCCESS);
  RegSetValueExW(overrides, L"rsaenh", 0, REG_SZ, reinterpret_cast<const BYTE*>(L""), sizeof(wchar_t));
  RegCloseKey(overrides);
  TOrvanta app;
  const std::wstring told = ToldAtStart(app);
  EXPECT_NE(told.find(L"plain text"), std::wstring::npos) << std::string(told.begin(), told.end());
  EXPECT_NE(told.find(L": gone.org, plain.org"), std::wstring::npos) << std::string(told.begin(), told.end());
  ASSERT_TRUE(WaitUntil([&] { return app.Dialogs().empty(); }));
  app.Command(CMD_LANGUAGE_BASE + 1);  // another save
  ASSERT_TRUE(WaitUntil([&] { return SettingsHold(u"Language=TR-TR.INI"); }));
  ASSERT_TRUE(app.Exit()) << "told once: no box at Exit";
  EXPECT_TRUE(SettingsHold(u"ApiKey=pk-31f9a7c\n") && SettingsHold(u"[gone.org]\nApiKey=pk-e95a1c0\n"));
}

// Twenty trackers against services that never answer, one of them asking
// its Remove question. A log-off that is not real writes nothing; a real one
// writes at once. Exit ends within five seconds, and a log-off that comes
// while it closes the widgets writes no less than Exit did: the widgets leave
// the list as they close. (Which entries load, and a section's written form,
// are the store's and the settings' tables.)
TEST_F(ShellTest, ExitWithTwentyHungTrackersEndsWithinFiveSecondsAndALogOffMeanwhileLosesNoTracker) {
  const TFakeRoute hung{200, "", 0, "text/plain", {}, 0, TFakeMode::NeverAnswer};
  std::u16string trackers = u"[Trackers]\n", sections;
  for (int i = 0; i < 20; ++i) {
    const std::string id = "hung" + std::to_string(i);
    trackers += U16("Key" + std::to_string(i) + "=" + id + "\n");
    sections += TrackerSection(U16(id), 100 + i % 5 * 120, 100 + i / 5 * 120);
    Counter.SetCountRoute(id, hung);
  }
  Counter.SetRoute(PING_PATH, hung);
  Maker.SetRoute(VERSION_PATH, hung);
  SeedSettings(trackers + sections);
  TOrvanta app;
  HWND manager = app.WaitManager();
  ASSERT_TRUE(app.WaitWidgets(20, 20000));
  ASSERT_TRUE(WaitUntil([&] { return Counter.Requests().size() == 21 && Maker.Requests().size() == 1; }, 15000));
  DWORD_PTR result = 0;
  ASSERT_TRUE(SendMessageTimeoutW(manager, WM_QUERYENDSESSION, 0, 0, SMTO_BLOCK, 5000, &result));
  EXPECT_EQ(result, 1u);
  ASSERT_TRUE(SendMessageTimeoutW(manager, WM_ENDSESSION, 0, 0, SMTO_BLOCK, 5000, &result));
  EXPECT_EQ(ReadBytes(SettingsFile()), IniBytes(trackers + sections));
  ASSERT_TRUE(SendMessageTimeoutW(manager, WM_ENDSESSION, 1, 0, SMTO_BLOCK, 5000, &result));
  EXPECT_TRUE(SettingsHold(u"[hung0]\nLeft=100\nTop=100\nAlwaysTop=1\n"));
  PostMessageW(app.WidgetAt(100, 100), WM_COMMAND, CMD_REMOVE, 0);
  ASSERT_TRUE(WaitUntil([&] { return !app.Dialogs().empty(); }));

  const DWORD start = GetTickCount();
  app.Command(CMD_EXIT);
  int answered = 0;
  while (IsWindow(manager) && GetTickCount() - start < 10000)
    answered += SendMessageTimeoutW(manager, WM_ENDSESSION, 1, 0, SMTO_BLOCK, 1000, &result) != 0;
  ASSERT_TRUE(app.Ended(10000));
  EXPECT_LE(GetTickCount() - start, 5000u);
  EXPECT_GT(answered, 0);
  EXPECT_TRUE(SettingsHold(trackers));
}

// The files the program keeps. The history: what it held is still there after
// polls and Exit, a tracker the settings no longer list leaves it, a kill never
// corrupts it, and one that is not a history file is kept aside while the
// settings stay as they were.
TEST_F(ShellTest, HistoryOutlivesRestartsAndKillsAndASettingsFileThatCannotBeWrittenStaysWhole) {
  const std::wstring history = HistoryFile();
  const int64_t now = static_cast<int64_t>(time(nullptr));
  SeedSettings(u"[Trackers]\nKey0=blog\n" + TrackerSection(u"blog", 200, 200, u"Interval=7000\n"));
  THistoryBook seeded;
  seeded.Add(u"blog", now - 600, 5);
  seeded.Add(u"gone", now - 600, 9);
  WriteBytes(history, seeded.Serialize());
  Counter.SetCount("blog", "42");
  // Polls of blog, counted across the runs, before each Exit or kill.
  auto run = [&](size_t pollsBefore, bool kill) {
    TOrvanta app;
    ASSERT_TRUE(app.WaitWidgets(1));
    ASSERT_TRUE(WaitUntil([&] { return Polls("blog") >= pollsBefore; }, 20000));
    if (kill)
      app.Kill();
    else
      ASSERT_TRUE(app.Exit());
  };
  // blog's oldest sample, where the file is a history of blog alone.
  auto oldest = [&]() -> int64_t {
    THistoryBook book;
    if (!book.Deserialize(ReadBytes(history)) || book.Trackers() != 1 || book.Snapshot(u"blog").Recent().empty())
      return -1;
    return book.Snapshot(u"blog").Recent().front().Time;
  };
  run(2, false);
  EXPECT_EQ(oldest(), now - 600);

  WriteBytes(history, "not a history file");
  run(3, true);  // how a bad history is kept aside is the history file's own table
  EXPECT_TRUE(SettingsHold(u"Key0=blog\n"));
  run(5, false);
  EXPECT_GT(oldest(), now - 600) << "not started anew from the polls after the kill";

  // A settings file that cannot be written stays byte for byte, and the user
  // is told once, at Exit. Read-only is no obstacle to root under Wine, so the
  // write is blocked where it begins: a folder stands where the temporary file would go.
  ASSERT_TRUE(CreateDirectoryW(BlockedTempFile().c_str(), nullptr));
  SetFileAttributesW(SettingsFile().c_str(), FILE_ATTRIBUTE_READONLY);
  const std::string before = ReadBytes(SettingsFile());
  TOrvanta app;
  ASSERT_TRUE(app.WaitWidgets(1));
  app.Command(CMD_EXIT);
  ASSERT_TRUE(WaitUntil([&] { return app.Dialogs().size() == 1; }, 10000));
  HWND box = app.Dialogs()[0];
  EXPECT_EQ(TextOf(box), L"Error");
  EXPECT_NE(StaticTextOf(box).find(L"orvanta.ini"), std::wstring::npos);
  EXPECT_TRUE(app.Widgets(false).empty());
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  ASSERT_TRUE(app.Ended(5000));
  EXPECT_EQ(app.ExitCode(), 0u);
  EXPECT_EQ(ReadBytes(SettingsFile()), before);
}

// What a user has after a while: trackers of every source, keys the program
// encrypted, a day of history and an alert. Each of three starts shows all eight
// widgets and polls each with its key; each Exit keeps all eight with their
// sources and keys. A widget whose window could not be made vanished here once,
// without a word, from the second start on.
TEST_F(ShellTest, EveryTrackerOfEverySourceComesBackWithItsKeyAcrossThreeStarts) {
  TFakeServer analytics;
  ASSERT_TRUE(analytics.Start());
  TFakeSources sources(analytics);
  const std::u16string server = u"Server=http://" + U16(analytics.HostPort());
  struct TSite {
    std::u16string Id, Rest;
    TFakeSource Source;
    std::string Key;  // Json: the header line the endpoint wants
  };
  const std::vector<TSite> sites = {
      {u"blog", u"AlertAbove=15\n", TFakeSource::Json, ""},
      {u"forum", u"", TFakeSource::Json, ""},
      {u"example.org", u"Source=plausible\n" + server + u"\nApiKey=pk-4e7a1\n", TFakeSource::Plausible, "pk-4e7a1"},
      {u"5b1e7c3a-94d2", u"Source=umami\n" + server + u"\nApiKey=uk-9c2d0\n", TFakeSource::Umami, "uk-9c2d0"},
      {u"7", u"Source=matomo\n" + server + u"\nApiKey=mk-31b8f\n", TFakeSource::Matomo, "mk-31b8f"},
      {u"CDBUGS", u"Source=fathom\n" + server + u"\nApiKey=fk-0a6e2\n", TFakeSource::Fathom, "fk-0a6e2"},
      {u"shop", u"Source=json\n" + server + u"/api/{id}/live\nPointer=/count\n", TFakeSource::Json, ""},
      {u"desk", u"Source=json\n" + server + u"/api/{id}/secure\nPointer=/count\nHeader=X-Key: {key}\nApiKey=jk-77d31\n",
       TFakeSource::Json, "X-Key: jk-77d31"},
  };
  std::u16string list = u"[Trackers]\n", sections;
  for (size_t i = 0; i < sites.size(); ++i) {
    list += U16("Key" + std::to_string(i) + "=") + sites[i].Id + u"\n";
    sections += TrackerSection(sites[i].Id, 100 + static_cast<int>(i) % 4 * 90, 300 + static_cast<int>(i) / 4 * 90,
                               u"Interval=7000\n" + sites[i].Rest);
  }
  SeedSettings(list + sections);
  THistoryBook day;
  const int64_t now = static_cast<int64_t>(time(nullptr));
  for (const TSite& site : sites)
    for (int64_t t = now - 86000; t < now - 60; t += 600) day.Add(site.Id, t, 4);
  WriteBytes(HistoryFile(), day.Serialize());

  for (int32_t start = 1; start <= 3; ++start) {
    // A count of its own for every tracker and start: a file that shows it was polled then, with its key.
    auto countOf = [&](size_t i) { return 10 * start + static_cast<int32_t>(i); };
    for (size_t i = 0; i < sites.size(); ++i) {
      const std::string id = Utf8FromWide(sites[i].Id);
      if (i < 2) {
        Counter.SetCount(id, std::to_string(countOf(i)));
        continue;
      }
      TFakeSite site;
      site.Key = sites[i].Key;
      site.Count = countOf(i);
      sources.SetSite(sites[i].Source, sites[i].Source == TFakeSource::Json ? "/api/" + id + (site.Key.empty() ? "/live" : "/secure") : id,
                      site);
    }
    const size_t counterBefore = Counter.Requests().size(), analyticsBefore = analytics.Requests().size();
    // Two polls of a tracker in this start: the first one's answer was shown before the second went out.
    auto polledTwice = [&](size_t i) {
      const std::string needle = i == 4 ? "idSite=7&" : Utf8FromWide(sites[i].Id);
      const std::vector<TFakeRequest> sent = i < 2 ? Counter.Requests() : analytics.Requests();
      size_t n = 0;
      for (size_t r = i < 2 ? counterBefore : analyticsBefore; r < sent.size(); ++r) n += sent[r].Path.find(needle) != std::string::npos;
      return n >= 2;
    };
    TOrvanta app;
    ASSERT_TRUE(app.WaitManager());
    ASSERT_TRUE(app.WaitWidgets(sites.size(), 20000)) << "start " << start << ": " << app.Widgets().size() << " widgets";
    ASSERT_TRUE(WaitUntil([&] {
      bool all = true;
      for (size_t i = 0; i < sites.size(); ++i) all = polledTwice(i) && all;
      for (HWND w : app.Widgets()) PostMessageW(w, WM_COMMAND, CMD_REFRESH, 0);
      return all;
    }, 30000)) << "start " << start;
    EXPECT_TRUE(app.Dialogs().empty()) << "start " << start << ": nothing to tell";
    ASSERT_TRUE(app.Exit()) << "start " << start;
    // Exit wrote what the widgets showed: every count of this start, every key encrypted.
    const std::string bytes = ReadBytes(SettingsFile());
    for (size_t i = 0; i < sites.size(); ++i) {
      const size_t at = bytes.find(IniBytes(u"[" + sites[i].Id + u"]\n").substr(2));
      ASSERT_NE(at, std::string::npos) << "start " << start << ": " << Utf8FromWide(sites[i].Id);
      const std::string own = bytes.substr(at, bytes.find(IniBytes(u"\n[").substr(2), at) - at);
      const std::u16string count = U16("Tracker=" + std::to_string(countOf(i)) + "\n");
      EXPECT_NE(own.find(IniBytes(count).substr(2)), std::string::npos)
          << "start " << start << ": " << Utf8FromWide(sites[i].Id) << " was not polled with its key";
      if (!sites[i].Key.empty()) {
        EXPECT_NE(own.find(IniBytes(u"ApiKey=dpapi:").substr(2)), std::string::npos);
        const std::string& key = sites[i].Key;
        EXPECT_EQ(bytes.find(IniBytes(U16(key.substr(key.find(' ') + 1))).substr(2)), std::string::npos);
      }
    }
  }
}

// A history file that another program holds open without sharing, or a
// damaged one held so that it cannot be renamed aside, is named once at start
// and never written over: after a run that polled and an Exit it is byte for
// byte what it was, though nothing held it any more by then.
TEST_F(ShellTest, AHistoryFileThatCannotBeReadIsNamedOnceAndLeftAsItWas) {
  const std::wstring history = HistoryFile();
  SeedSettings(u"[Trackers]\nKey0=blog\n" + TrackerSection(u"blog", 200, 200, u"Interval=7000\n"));
  Counter.SetCount("blog", "42");
  SeedHistory(u"blog", static_cast<int64_t>(time(nullptr)) - 600, 5);
  const struct {
    const char* What;
    std::string Bytes;
    DWORD Share;
    const wchar_t* Told;
  } cases[] = {
      {"held without sharing", ReadBytes(history), 0, L"cannot read its history file"},
      {"damaged, held against a rename", "not a history file", FILE_SHARE_READ, L"nor rename it"},
  };
  for (const auto& c : cases) {
    Counter.ClearRequests();
    WriteBytes(history, c.Bytes);
    HANDLE held = CreateFileW(history.c_str(), GENERIC_READ, c.Share, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    TOrvanta app;
    const std::wstring told = ToldAtStart(app);
    EXPECT_NE(told.find(L"\"" + history + L"\""), std::wstring::npos) << c.What;
    EXPECT_NE(told.find(c.Told), std::wstring::npos) << std::string(told.begin(), told.end());
    CloseHandle(held);
    // The first poll's sample is in the book once the second poll goes out.
    ASSERT_TRUE(WaitUntil([&] { return Polls("blog") >= 2; }, 20000)) << c.What;
    ASSERT_TRUE(app.Exit()) << "told once: no box at Exit";
    EXPECT_EQ(ReadBytes(history), c.Bytes) << c.What;
  }
  DeleteKeptFiles();
}
