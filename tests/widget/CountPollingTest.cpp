#include <gtest/gtest.h>

#include "widget/CountPolling.h"

TEST(CountParse, TrimsControlCodesAndSpacesThenTakesOneInteger) {
  const struct {
    std::string Body;
    int32_t Count;
  } cases[] = {
      {"12\r\n", 12}, {" 7 ", 7}, {std::string("\0\t 9\n\0", 6), 9}, {"-3", -3}, {"0x1A", 26},
      {"", -1}, {" \r\n", -1}, {"3.5", -1}, {"12 visitors", -1}, {"\xA0" "5", -1}, {std::string("1\0" "2", 3), -1},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseCount(c.Body), c.Count) << '"' << c.Body << '"';
}

TEST(PollSchedule, StartTimerHandsOverOnlyWhenEnabledAndSlowEnough) {
  struct {
    bool Enable;
    int32_t Interval;
    int32_t Armed;
  } cases[] = {{true, 7000, FIRST_POLL_DELAY}, {true, 6999, -1}, {false, 15000, -1}, {true, -5, -1}};
  for (const auto& c : cases) {
    TCountPoller p;
    p.Enable = c.Enable;
    p.Interval = c.Interval;
    TPollActions a = p.OnStartTimer();
    EXPECT_TRUE(a.KillStartTimer && !a.StartRequest);
    EXPECT_EQ(a.ArmPollTimerMs, c.Armed) << c.Enable << " " << c.Interval;
  }
}

TEST(PollSchedule, TicksRearmWithTheIntervalAndSkipWhileARequestIsInFlight) {
  TCountPoller p;
  p.Interval = 7000;
  p.ID = u"my.site/a b";
  TPollActions a = p.OnPollTimer();
  EXPECT_TRUE(a.StartRequest);
  EXPECT_EQ(p.RequestPath(), "/sitecount/my.site/a%20b");
  EXPECT_EQ(a.ArmPollTimerMs, 7000);
  EXPECT_EQ(a.Indicator, TIndicator::Busy);
  a = p.OnPollTimer();
  EXPECT_FALSE(a.StartRequest);
  EXPECT_EQ(a.ArmPollTimerMs, 7000);
  EXPECT_EQ(a.Indicator, TIndicator::Unchanged);

  // Below the minimum interval a tick still polls but never re-arms.
  p.ApplyResponse("1", true);
  p.Interval = 6000;
  EXPECT_EQ(p.OnPollTimer().ArmPollTimerMs, -1);

  // Switched off: the tick polls nothing and leaves its timer armed; Refresh still works.
  TCountPoller off;
  off.Enable = false;
  a = off.OnPollTimer();
  EXPECT_FALSE(a.StartRequest || a.KillPollTimer);
  EXPECT_TRUE(off.StartPoll().StartRequest);
}

TEST(PollResponse, OnlyTheAwaitedWholeResponseGivesACount) {
  TCountPoller p;
  p.Count = 5;
  p.StartPoll();
  TPollActions a = p.ApplyResponse("8\r\n", true);
  EXPECT_EQ(a.CountCaption, u"8");
  EXPECT_EQ(a.PreviousCaption, u"5");
  EXPECT_EQ(a.TrendImage, u"INC.PNG");
  EXPECT_EQ(a.Indicator, TIndicator::Idle);
  EXPECT_TRUE(a.FreeWorker && a.UpdateFace);
  EXPECT_FALSE(p.Busy());

  // A response nobody asked for changes nothing.
  a = p.ApplyResponse("9", true);
  EXPECT_FALSE(a.UpdateFace || a.FreeWorker);
  EXPECT_EQ(p.Count, 8);

  // Digits of a cut-off transfer or an error page are no count; the trend
  // compares the raw values, -1 included.
  p.StartPoll();
  a = p.ApplyResponse("12", false);
  EXPECT_EQ(p.Count, NO_COUNT);
  EXPECT_EQ(a.CountCaption, u"?");
  EXPECT_EQ(a.TrendImage, u"DEC.PNG");
  for (auto [body, face] : {std::pair{"", u"??EQUAL.PNG"}, {"-7", u"??DEC.PNG"}, {"0", u"0?INC.PNG"}}) {
    p.StartPoll();
    a = p.ApplyResponse(body, true);
    EXPECT_EQ(a.CountCaption + a.PreviousCaption + a.TrendImage, face) << body;
  }

  // A worker that could not start returns to idle, and the next tick tries again.
  p.StartPoll();
  a = p.RequestNotStarted();
  EXPECT_EQ(a.Indicator, TIndicator::Idle);
  EXPECT_TRUE(a.FreeWorker);
  EXPECT_TRUE(p.OnPollTimer().StartRequest);
}
