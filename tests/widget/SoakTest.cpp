// Twenty trackers on twenty threads polling the fake service, started the way
// the program starts them, until each has polled three times; then thousands
// of layer updates and face changes, which must not grow the process.
#include "tests/support/WidgetTestSupport.h"

#include <map>
#include <vector>

#include "tools/hostproc/HostProcess.h"

using namespace widgettest;

namespace {
// Every window of this process, children included.
BOOL CALLBACK CountWindow(HWND window, LPARAM count) {
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid != GetCurrentProcessId()) return TRUE;
  ++*reinterpret_cast<DWORD*>(count);
  EnumChildWindows(window, CountWindow, count);
  return TRUE;
}
DWORD WindowCount() {
  DWORD n = 0;
  EnumWindows(CountWindow, reinterpret_cast<LPARAM>(&n));
  return n;
}
constexpr int kWidgets = 20;
constexpr int kPolls = 3;  // the first and two whole intervals: about nineteen seconds
constexpr DWORD kStartGapMs = 20;  // the manager's pause between two trackers
constexpr int kUpdates = 1500;
// A 79 x 74 ARGB bitmap is 23 KB: one leaked per update would be 34 MB.
constexpr double kMaxGrowthMb = 12;
}  // namespace

TEST_F(WidgetTest, TwentyWidgetsPollOnAndEndWithoutLeftovers) {
  // One widget first, so one-time costs (window classes, cursors) are in the baseline.
  Start(Quiet(u"warmup"));
  TearDown();
  Owner.reset(new TComponent(nullptr));
  const DWORD windowsBefore = WindowCount();

  for (int i = 0; i < kWidgets; ++i) {
    TTrackerSettings s = Quiet(u"soak" + WideFromUtf8(std::to_string(i)), 40 + (i % 10) * 90, 100 + (i / 10) * 90);
    s.Interval = 7000;
    Server->SetCount("soak" + std::to_string(i), std::to_string(i));
    auto* w = new TWidgetMainForm(Owner.get(), Host, s);
    w->SetStartDelay(250 + 200 * i);
    w->ListOnBoard();
    w->Resume();
    Sleep(kStartGapMs);
  }
  EXPECT_TRUE(WaitUntil([&] {
    std::map<std::string, int> polls;
    for (const TFakeRequest& r : Server->Requests()) ++polls[r.Path];
    for (int i = 0; i < kWidgets; ++i)
      if (polls["/sitecount/soak" + std::to_string(i)] < kPolls) return false;
    return true;
  }, 60000));
  std::vector<HMENU> menus;
  for (int i = 0; i < Owner->ComponentCount(); ++i) {
    auto* w = static_cast<TWidgetMainForm*>(Owner->Components(i));
    EXPECT_TRUE(w->ThreadRunning());
    EXPECT_EQ(w->Settings().Count, i);
    menus.push_back(Read<HMENU>(w, [w] { return w->Menu(); }));
  }
  EXPECT_GE(WindowCount(), windowsBefore + kWidgets * 8u);  // a form and seven face controls each

  TearDown();
  ASSERT_TRUE(WaitUntil([] { return TInetThread::LiveCount() == 0; }));
  EXPECT_EQ(WindowCount(), windowsBefore);
  for (HMENU menu : menus) EXPECT_FALSE(IsMenu(menu));
  Owner.reset(new TComponent(nullptr));
}

TEST_F(WidgetTest, ThousandsOfLayerUpdatesAndFaceChangesDoNotGrowTheProcess) {
  TWidgetMainForm* w = Start(Quiet(u"leak"));
  auto churn = [w](int rounds) {
    static const char* const trends[] = {"INC.PNG", "DEC.PNG", "EQUAL.PNG"};
    for (int i = 0; i < rounds; ++i) {
      w->Face().TrendImage->SetImageName(trends[i % 3]);
      w->Face().CountLabel->SetCaption(u"n" + WideFromUtf8(std::to_string(i)));
      w->Redraw();
    }
  };
  w->Invoke([&] { churn(300); }, 60000);  // caches and heaps settle first
  const double before = hostproc::PrivateMb();
  if (before == 0) GTEST_SKIP() << "no memory figure on this system";
  w->Invoke([&] { churn(kUpdates); }, 600000);
  const double after = hostproc::PrivateMb();
  std::printf("private memory %.1f MB -> %.1f MB over %d updates\n", before, after, kUpdates);
  EXPECT_LT(after - before, kMaxGrowthMb);
}
