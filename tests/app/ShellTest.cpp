// The real Orvanta.exe, started in the test prefix and driven only from outside,
// against the two loopback fake servers its test build talks to.
#include <gtest/gtest.h>

#include <string>

#include "support/OrvantaProcess.h"
#include "tools/fakeserver/FakeServer.h"

using namespace shelltest;

namespace {

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
};

std::u16string U16(const std::string& s) { return std::u16string(s.begin(), s.end()); }

std::u16string TrackerSection(const std::u16string& id, int left, int top, const std::u16string& rest = u"") {
  return u"[" + id + u"]\nLeft=" + U16(std::to_string(left)) + u"\nTop=" + U16(std::to_string(top)) + u"\n" + rest;
}

}  // namespace

TEST_F(ShellTest, FirstStartMakesTheFoldersAsksOnceForVersionAndPingAndSavesEnglishAtExit) {
  TOrvanta app;
  ASSERT_TRUE(app.WaitManager());
  EXPECT_TRUE(Exists(SettingsFolder()));
  auto askedOnce = [&] { return Counter.Requests().size() == 1 && Maker.Requests().size() == 1; };
  ASSERT_TRUE(WaitUntil(askedOnce));
  // The Add Tracker dialog is open; it adds nothing by itself.
  ASSERT_TRUE(WaitUntil([&] { return app.Dialogs().size() == 1; }));
  wchar_t caption[64] = {};
  GetWindowTextW(app.Dialogs()[0], caption, 64);
  EXPECT_STREQ(caption, L"Add Tracker");
  EXPECT_FALSE(Exists(SettingsFile()));

  ASSERT_TRUE(app.Exit());
  EXPECT_EQ(app.ExitCode(), 0u);
  EXPECT_EQ(ReadBytes(SettingsFile()), IniBytes(u"[Config]\nLanguage=EN-US.INI\n\n"));
  EXPECT_TRUE(askedOnce());
  EXPECT_EQ(Counter.Requests()[0].Path + Maker.Requests()[0].Path, std::string(PING_PATH) + VERSION_PATH);
}

// Entries without a section are dropped; an ID a section cannot hold and a case
// variant of another keep their entries and sections but get no widget; an ID
// that is no identifier works. An unknown language, and values the file writes
// back in its own forms. Log-off writes only when it is real.
TEST_F(ShellTest, SeededTrackersStartInOrderAndAreWrittenBackAtLogOffAndExit) {
  const std::u16string seeded =
      u"[Config]\nLanguage=xx-XX.INI\n[Trackers]\nKey0=alpha\nKey1=ghost\nKey2=be-ta\nKey3=a]b\nKey4=ALPHA\n" +
      TrackerSection(u"alpha", 200, 200, u"Title=Alpha\nTracker=7\nEnable=2\nBackColor=0x00ff8000\n") +
      TrackerSection(u"be-ta", 500, 400, u"Interval=60000\nOpacity=junk\nBackColor=255\n") +
      TrackerSection(u"a]b", 300, 200, u"Title=Unsafe\n");
  SeedSettings(seeded);
  Counter.SetCount("alpha", "11");
  Counter.SetCount("be-ta", "12");
  TOrvanta app;
  HWND manager = app.WaitManager();
  ASSERT_TRUE(manager);
  ASSERT_TRUE(app.WaitWidgets(2));
  EXPECT_TRUE(app.WidgetAt(200, 200) && app.WidgetAt(500, 400));
  ASSERT_TRUE(WaitUntil([&] { return Counter.Requests().size() >= 3; }));  // two counts and the ping
  std::vector<std::string> counts;
  for (const TFakeRequest& r : Counter.Requests())
    if (r.Path != PING_PATH) counts.push_back(r.Path);
  EXPECT_EQ(counts, (std::vector<std::string>{"/sitecount/alpha", "/sitecount/be-ta"}));

  DWORD_PTR result = 0;
  ASSERT_TRUE(SendMessageTimeoutW(manager, WM_QUERYENDSESSION, 0, 0, SMTO_BLOCK, 5000, &result));
  EXPECT_EQ(result, 1u);
  ASSERT_TRUE(SendMessageTimeoutW(manager, WM_ENDSESSION, 0, 0, SMTO_BLOCK, 5000, &result));
  EXPECT_EQ(ReadBytes(SettingsFile()), IniBytes(seeded));
  // A real log-off writes at once; the counts arrive a moment after their requests.
  ASSERT_TRUE(WaitUntil([&] {
    SendMessageTimeoutW(manager, WM_ENDSESSION, 1, 0, SMTO_BLOCK, 5000, &result);
    return SettingsHold(u"Tracker=11\n") && SettingsHold(u"Tracker=12\n");
  }));

  ASSERT_TRUE(app.Exit());
  EXPECT_EQ(ReadBytes(SettingsFile()),
            IniBytes(u"[Config]\nLanguage=TR-TR.INI\n\n[a]b]\nLeft=300\nTop=200\nTitle=Unsafe\n\n"
                     u"[Trackers]\nKey0=alpha\nKey1=be-ta\nKey2=a]b\nKey3=ALPHA\n\n"
                     u"[alpha]\nLeft=200\nTop=200\nAlwaysTop=1\nIgnoreMouse=0\nPreventDragging=0\nTitle=Alpha\n"
                     u"OrvantaID=alpha\nInterval=15000\nTracker=11\nPrevious=7\nOpacity=255\nEnable=1\n"
                     u"BackColor=0x00FF8000\n\n"
                     u"[be-ta]\nLeft=500\nTop=400\nAlwaysTop=1\nIgnoreMouse=0\nPreventDragging=0\nTitle=Orvanta\n"
                     u"OrvantaID=be-ta\nInterval=60000\nTracker=12\nPrevious=-1\nOpacity=255\nEnable=1\n"
                     u"BackColor=0x000000FF\n\n"));
}

TEST_F(ShellTest, ASecondStartSignalsTheFirstAndLeavesAndQuickStartsLeaveOneInstance) {
  {
    TOrvanta first;
    HWND manager = first.WaitManager();
    ASSERT_TRUE(manager);
    TOrvanta second;
    ASSERT_TRUE(second.Ended(10000));
    EXPECT_EQ(second.ExitCode(), 0u);
    EXPECT_EQ(FindWindowW(MANAGER_CLASS, MANAGER_CAPTION), manager);
    ASSERT_TRUE(first.Exit());
  }
  TOrvanta a, b;
  ASSERT_TRUE(WaitUntil([&] { return a.Ended(0) || b.Ended(0); }, 15000));
  TOrvanta& running = a.Ended(0) ? b : a;
  ASSERT_TRUE(running.WaitManager());
  EXPECT_FALSE(running.Ended(1000));
  ASSERT_TRUE(running.Exit());
}

// Tray commands reach every widget; explorer forgets every icon when it
// restarts, and the manager adds its own again.
TEST_F(ShellTest, TrayCommandsReachEveryWidgetAndTheIconComesBackAfterATaskbarRestart) {
  SeedSettings(u"[Trackers]\nKey0=one\nKey1=two\n" + TrackerSection(u"one", 200, 200) +
               TrackerSection(u"two", 400, 200));
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
  ASSERT_TRUE(app.Exit());
  EXPECT_EQ(app.ExitCode(), 0u);
}

// A drag's end, a language switch and a removal each reach the file about a
// second later, so a crash right after them loses none of them.
TEST_F(ShellTest, UserChangesReachTheFileWithinSeconds) {
  SeedSettings(u"[Config]\nLanguage=EN-US.INI\n[Trackers]\nKey0=keep\nKey1=drop\n" + TrackerSection(u"keep", 200, 200) +
               TrackerSection(u"drop", 400, 200));
  TOrvanta app;
  HWND manager = app.WaitManager();
  ASSERT_TRUE(app.WaitWidgets(2));
  HWND keep = app.WidgetAt(200, 200), drop = app.WidgetAt(400, 200);
  ASSERT_TRUE(keep && drop);
  SetWindowPos(keep, nullptr, 600, 500, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  PostMessageW(manager, WM_COMMAND, CMD_LANGUAGE_BASE + 1, 0);
  PostMessageW(manager, WM_REMOVEWIDGET, 0, reinterpret_cast<LPARAM>(drop));
  ASSERT_TRUE(app.WaitWidgets(1));
  EXPECT_TRUE(WaitUntil([&] {
    return SettingsHold(u"Language=TR-TR.INI\n") && SettingsHold(u"[Trackers]\nKey0=keep\n\n") &&
           SettingsHold(u"[keep]\nLeft=600\nTop=500\n") && !SettingsHold(u"[drop]");
  }));
}

// Read-only is no obstacle to root under Wine, so the write is blocked where it
// begins: a folder stands where the temporary file would go.
TEST_F(ShellTest, AFileThatCannotBeWrittenStaysWholeAndTheUserIsToldOnce) {
  SeedSettings(u"[Trackers]\nKey0=ro\n" + TrackerSection(u"ro", 200, 200));
  const std::string before = ReadBytes(SettingsFile());
  ASSERT_TRUE(CreateDirectoryW(BlockedTempFile().c_str(), nullptr));
  SetFileAttributesW(SettingsFile().c_str(), FILE_ATTRIBUTE_READONLY);
  TOrvanta app;
  ASSERT_TRUE(app.WaitManager());
  ASSERT_TRUE(app.WaitWidgets(1));
  app.Command(CMD_EXIT);
  ASSERT_TRUE(WaitUntil([&] { return app.Dialogs().size() == 1; }, 10000));
  HWND box = app.Dialogs()[0];
  wchar_t caption[64] = {};
  GetWindowTextW(box, caption, 64);
  EXPECT_STREQ(caption, L"Error");
  EXPECT_TRUE(app.Widgets(false).empty());
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  ASSERT_TRUE(app.Ended(5000));
  EXPECT_EQ(app.ExitCode(), 0u);
  EXPECT_EQ(ReadBytes(SettingsFile()), before);
}

TEST_F(ShellTest, ExitWithTwentyTrackersAgainstAHungServiceEndsWithinFiveSeconds) {
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
  ASSERT_TRUE(app.WaitManager());
  ASSERT_TRUE(app.WaitWidgets(20, 20000));
  ASSERT_TRUE(WaitUntil([&] { return Counter.Requests().size() == 21 && Maker.Requests().size() == 1; }, 15000));
  // One widget is asking its Remove question when Exit comes.
  PostMessageW(app.WidgetAt(100, 100), WM_COMMAND, CMD_REMOVE, 0);
  ASSERT_TRUE(WaitUntil([&] { return !app.Dialogs().empty(); }));

  const DWORD start = GetTickCount();
  app.Command(CMD_EXIT);
  ASSERT_TRUE(app.Ended(10000));
  EXPECT_LE(GetTickCount() - start, 5000u);
  EXPECT_TRUE(SettingsHold(u"Key19=hung19\n"));
}
