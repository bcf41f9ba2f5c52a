// Twenty trackers on twenty threads polling the fake service for a minute.
#include "widget/WidgetTestSupport.h"

#include <map>
#include <vector>

using namespace widgettest;

namespace {
// Wine answers 0 for both GUI counts, so windows and kernel handles are
// counted as well: every window of this process, children included.
struct GuiCounts {
  DWORD Gdi, User, Windows, Handles;
};
BOOL CALLBACK CountWindow(HWND window, LPARAM count) {
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid != GetCurrentProcessId()) return TRUE;
  ++*reinterpret_cast<DWORD*>(count);
  EnumChildWindows(window, CountWindow, count);
  return TRUE;
}
GuiCounts CurrentGuiCounts() {
  GuiCounts c{GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS), GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS),
              0, 0};
  EnumWindows(CountWindow, reinterpret_cast<LPARAM>(&c.Windows));
  GetProcessHandleCount(GetCurrentProcess(), &c.Handles);
  return c;
}
constexpr int kWidgets = 20;
constexpr int kSoakMs = 60000;  // eight or nine polls each
}  // namespace

TEST_F(WidgetTest, TwentyWidgetsPollForAMinuteWithoutLeaks) {
  // One widget first, so one-time costs (window classes, cursors) are in the baseline.
  Start(Quiet(u"warmup"));
  TearDown();
  Owner.reset(new TComponent(nullptr));
  GuiCounts before = CurrentGuiCounts();

  for (int i = 0; i < kWidgets; ++i) {
    TTrackerSettings s = Quiet(u"soak" + WideFromUtf8(std::to_string(i)), 40 + (i % 10) * 90, 100 + (i / 10) * 90);
    s.Interval = 7000;
    Server->SetCount("soak" + std::to_string(i), std::to_string(i));
    auto* w = new TWidgetMainForm(Owner.get(), Host, s);
    w->SetStartDelay(250 + 200 * i);
    w->ListOnBoard();
    w->Resume();
  }
  Sleep(kSoakMs);

  std::map<std::string, int> polls;
  for (const TFakeRequest& r : Server->Requests()) ++polls[r.Path];
  for (int i = 0; i < kWidgets; ++i) EXPECT_GE(polls["/sitecount/soak" + std::to_string(i)], 7) << i;
  GuiCounts during = CurrentGuiCounts();
  std::vector<HMENU> menus;
  for (int i = 0; i < Owner->ComponentCount(); ++i) {
    auto* w = static_cast<TWidgetMainForm*>(Owner->Components(i));
    EXPECT_TRUE(w->ThreadRunning());
    EXPECT_GE(Read<int32_t>(w, [w] { return w->Count(); }), 0);
    menus.push_back(Read<HMENU>(w, [w] { return w->Menu(); }));
  }
  EXPECT_GE(during.Windows, before.Windows + kWidgets * 8u);  // a form and seven face controls each

  TearDown();
  ASSERT_TRUE(WaitUntil([] { return TInetThread::LiveCount() == 0; }));
  GuiCounts after = CurrentGuiCounts();
  std::printf("GDI objects %lu -> %lu, user objects %lu -> %lu, windows %lu -> %lu -> %lu, handles %lu -> %lu -> %lu\n",
              before.Gdi, after.Gdi, before.User, after.User, before.Windows, during.Windows, after.Windows,
              before.Handles, during.Handles, after.Handles);
  EXPECT_LE(after.Gdi, before.Gdi + 2);
  EXPECT_LE(after.User, before.User + 2);
  EXPECT_EQ(after.Windows, before.Windows);
  EXPECT_LE(after.Handles, before.Handles + 4);
  for (HMENU menu : menus) EXPECT_FALSE(IsMenu(menu));
  Owner.reset(new TComponent(nullptr));
}
