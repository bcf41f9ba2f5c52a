// A widget's poll against its settings changing under it.
#include <atomic>

#include "tests/support/WidgetTestSupport.h"

using namespace widgettest;

// Settings saved while a poll waits for its answer: that answer is for the
// tracker's earlier ID and server, and shows nowhere.
TEST_F(WidgetTest, AnAnswerForEarlierSettingsNeverReachesTheChangedTracker) {
  std::atomic<bool> release{false};
  Server->SetHandler([&](const TFakeRequest& request, TFakeRoute& answer) {
    if (request.Path != "/sitecount/old") return false;
    waiting::WaitUntil([&] { return release.load(); }, 15000);
    answer.Body = "99";
    return true;
  });
  Server->SetCount("new", "7");
  TWidgetMainForm* w = Start(Quiet(u"old"));
  Refresh(w);
  ASSERT_TRUE(Server->WaitForRequests(1, 8000));
  w->Invoke([&] {
    TTrackerEdit edit{w->Settings(), ""};
    edit.Settings.ID = u"new";
    w->Apply(edit);
  });
  EXPECT_TRUE(WaitUntil([&] { return CountOf(w) == 7 && Idle(w); })) << "the new ID waits for the old answer";
  release = true;
  // The old answer goes out first; the next poll's answer comes after it.
  const size_t before = Server->Requests().size();
  Refresh(w);
  EXPECT_TRUE(WaitUntil([&] { return Server->Requests().size() > before && Idle(w); }));
  EXPECT_EQ(CountOf(w), 7);
  EXPECT_NE(Read<int32_t>(w, [w] { return w->Settings().Previous; }), 99);
}
