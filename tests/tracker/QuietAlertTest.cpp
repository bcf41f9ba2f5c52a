#include <gtest/gtest.h>

#include "tracker/CountPolling.h"
#include "tracker/SpikeAlert.h"

namespace {
constexpr int32_t kInterval = 15000;

// Polls every interval from fromMs for minutes with count, offline or not;
// the first event that is not None, or None.
TAlertEvent PollFor(TSpikeAlert& alert, int64_t& nowMs, int minutes, int32_t count, bool offline = false) {
  TAlertEvent seen = TAlertEvent::None;
  for (int64_t end = nowMs + minutes * 60000; nowMs <= end; nowMs += kInterval) {
    const TAlertEvent e = alert.Poll(count, nowMs, kInterval, offline);
    if (seen == TAlertEvent::None) seen = e;
  }
  return seen;
}

int64_t steadyNow = 10'000'000;
}  // namespace

// Quiet time counts only across polls that ran: a night asleep, or a
// connection of the user's own that is down, shows no balloon at wake-up.
TEST(QuietAlert, OnlyPollsThatRanCountTowardsQuiet) {
  TSpikeAlert alert(0, 10);
  int64_t now = 0;
  EXPECT_EQ(PollFor(alert, now, 5, 12), TAlertEvent::None);
  EXPECT_EQ(alert.Poll(0, now, kInterval), TAlertEvent::None);
  now += 8 * 3600 * 1000;  // asleep: the next poll is the first after waking
  EXPECT_EQ(PollFor(alert, now, 9, 0), TAlertEvent::None) << "the night counted as quiet";
  EXPECT_EQ(PollFor(alert, now, 2, 0), TAlertEvent::Quiet) << "ten minutes of polls that ran";

  TSpikeAlert offline(0, 10);
  now = 0;
  PollFor(offline, now, 1, 12);
  EXPECT_EQ(PollFor(offline, now, 5, 0), TAlertEvent::None);
  EXPECT_EQ(PollFor(offline, now, 30, NO_COUNT, true), TAlertEvent::None) << "this computer was offline";
  EXPECT_EQ(PollFor(offline, now, 9, NO_COUNT), TAlertEvent::None);
  EXPECT_EQ(PollFor(offline, now, 2, NO_COUNT), TAlertEvent::Quiet) << "the site alone went down";
}

// A failed connection is this computer's when no tracker has heard from any
// server lately, and the site's while others still get their answers.
TEST(QuietAlert, AFailedConnectionIsOfflineOnlyWhenNoServerAnsweredLately) {
  auto budget = std::make_shared<TKeyShares>();
  TCountPoller a, b;
  TPollInput in;
  in.ID = u"example.org";
  in.Interval = kInterval;
  for (TCountPoller* p : {&a, &b}) {
    p->Budget = budget;
    p->CounterHost = "127.0.0.1:1";
    p->Steady = [] { return steadyNow; };
  }
  TTransferResult ok, down;
  ok.Ok = true, ok.Status = 200, ok.Body = "5";
  down.Error = TTransferError::NoConnection;
  ASSERT_TRUE(a.StartPoll(in).SendRequest);
  EXPECT_TRUE(a.ApplyTransfer(in, down).Offline) << "no server heard from yet";
  ASSERT_TRUE(b.StartPoll(in).SendRequest);
  EXPECT_FALSE(b.ApplyTransfer(in, ok).Offline);
  steadyNow += 30000;
  ASSERT_TRUE(a.StartPoll(in).SendRequest);
  EXPECT_FALSE(a.ApplyTransfer(in, down).Offline) << "b still gets its answers";
  steadyNow += 61000;
  ASSERT_TRUE(a.StartPoll(in).SendRequest);
  EXPECT_TRUE(a.ApplyTransfer(in, down).Offline);
}
