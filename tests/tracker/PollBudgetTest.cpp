#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <vector>

#include "tracker/CountPolling.h"
#include "tracker/KeyShares.h"

namespace {
TSourceSettings Service(const char16_t* source, const char16_t* server = u"") {
  TSourceSettings s;
  s.Source = source, s.Server = server;
  return s;
}

TTransferResult Answer(uint32_t status, const std::string& retryAfter = "") {
  TTransferResult t;
  t.Ok = status == 200;
  t.Status = status;
  t.Error = t.Ok ? TTransferError::None : TTransferError::Status;
  t.Body = t.Ok ? "{\"visitors\": 5}" : "";
  t.RetryAfter = retryAfter;
  return t;
}

// Both clocks of every poller here, moved by hand.
int64_t unixNow = 1'000'000, steadyNow = 5'000'000;

struct TTracker {
  TCountPoller Poller;
  TPollInput In;
  TTracker(const std::shared_ptr<TKeyShares>& budget, const char16_t* source, const std::string& key) {
    In.ID = u"example.org";
    In.Source = Service(source, u"http://127.0.0.1:1");
    Poller.Key = key;
    Poller.Group = KeyGroup(In.Source, key);
    Poller.Budget = budget;
    Poller.Now = [] { return unixNow; };
    Poller.Steady = [] { return steadyNow; };
  }
};
}  // namespace

// However the Server is typed, one key on one service is one group; Fathom
// limits the account, so all its trackers are one group whatever their keys.
TEST(PollBudget, TrackersOfOneKeyOnOneServerAreOneGroupHoweverTheServerIsTyped) {
  const std::string plausible = KeyGroup(Service(u"plausible"), "k");
  for (const char16_t* server : {u"https://plausible.io", u"https://plausible.io/", u"HTTPS://Plausible.IO:443"})
    EXPECT_EQ(KeyGroup(Service(u"Plausible", server), "k"), plausible) << Utf8FromWide(server);
  EXPECT_NE(KeyGroup(Service(u"plausible"), "k2"), plausible);
  EXPECT_NE(KeyGroup(Service(u"plausible", u"https://stats.example"), "k"), plausible);
  EXPECT_NE(KeyGroup(Service(u"umami", u"https://plausible.io"), "k"), plausible);
  EXPECT_EQ(KeyGroup(Service(u"fathom"), "k1"), KeyGroup(Service(u"fathom"), "k2"));
  EXPECT_EQ(KeyGroup(Service(u"json"), ""), "");
  EXPECT_EQ(plausible.find('k', plausible.rfind(' ')), std::string::npos) << "the registry holds no key";
}

// Twenty trackers of a group starting, refreshing and testing at once: their
// requests go out one slot apart, and no window of the limit's length holds
// more than 80 % of the documented limit.
TEST(PollBudget, EveryWindowOfAGroupStaysUnderEightyPerCentOfTheLimit) {
  for (const char16_t* source : {u"fathom", u"plausible", u"umami"}) {
    SCOPED_TRACE(Utf8FromWide(source));
    const TRateLimit limit = SourceRateLimit(Service(source));
    TKeyShares budget;
    std::vector<int64_t> sent;
    const int64_t start = 0, end = 3 * limit.WindowSeconds * 1000;
    for (int64_t now = start; now < end; now += 250) {
      for (int i = 0; i < 20; ++i) sent.push_back(now + budget.Reserve("g", limit, now));
    }
    std::sort(sent.begin(), sent.end());
    std::deque<int64_t> window;
    size_t most = 0;
    for (int64_t t : sent) {
      window.push_back(t);
      while (window.front() <= t - limit.WindowSeconds * 1000) window.pop_front();
      most = std::max(most, window.size());
    }
    EXPECT_LE(most * 100, static_cast<size_t>(limit.Requests) * LIMIT_SHARE_PERCENT);
    EXPECT_GE((most + 1) * 100, static_cast<size_t>(limit.Requests) * LIMIT_SHARE_PERCENT) << "the budget is used";
  }
  TKeyShares budget;
  EXPECT_EQ(budget.Reserve("", TRateLimit{10, 60}, 0), 0) << "no key, no group";
  EXPECT_EQ(budget.Reserve("g", TRateLimit(), 0) + budget.Reserve("g", TRateLimit(), 0), 0) << "no limit";
}

TEST(PollBudget, TheFirstPollsOfAGroupAreStaggeredAndEachGoesAtItsSlot) {
  auto budget = std::make_shared<TKeyShares>();
  std::vector<std::unique_ptr<TTracker>> trackers;
  for (int i = 0; i < 5; ++i) trackers.push_back(std::make_unique<TTracker>(budget, u"fathom", "key" + std::to_string(i)));
  const int64_t spacing = BudgetSpacing(SourceRateLimit(trackers[0]->In.Source));
  EXPECT_TRUE(trackers[0]->Poller.StartPoll(trackers[0]->In).SendRequest);
  for (size_t i = 1; i < trackers.size(); ++i) {
    const TPollResult r = trackers[i]->Poller.StartPoll(trackers[i]->In);
    EXPECT_FALSE(r.SendRequest);
    EXPECT_EQ(r.WaitMs, spacing * static_cast<int64_t>(i)) << i;
    EXPECT_EQ(trackers[i]->Poller.StartPoll(trackers[i]->In), TPollResult()) << "a Refresh takes no second slot";
  }
  steadyNow += spacing - SLOT_SLACK_MS;
  EXPECT_TRUE(trackers[1]->Poller.StartPoll(trackers[1]->In).SendRequest) << "its timer fired a tick early";
  EXPECT_FALSE(trackers[2]->Poller.StartPoll(trackers[2]->In).SendRequest);
}

// A refusal pauses every tracker of the group: for Retry-After when the server
// gave one, else for one window of the limit, doubling while refusals go on.
// A Refresh during the pause says until when; an answer ends the doubling.
TEST(PollBudget, ARefusalPausesTheWholeGroupForRetryAfterOrAWindowDoubling) {
  EXPECT_EQ(RefusalPause(TRateLimit{10, 60}, 5000, 3), 5000);
  EXPECT_EQ(RefusalPause(TRateLimit{10, 60}, 9'000'000, 1), 3'600'000);
  EXPECT_EQ(RefusalPause(TRateLimit{10, 60}, -1, 1), 60'000);
  EXPECT_EQ(RefusalPause(TRateLimit{50, 15}, -1, 3), 60'000);
  EXPECT_EQ(RefusalPause(TRateLimit(), -1, 1), 60'000);
  EXPECT_EQ(RefusalPause(TRateLimit{10, 60}, -1, 30), 3'600'000);

  auto budget = std::make_shared<TKeyShares>();
  TTracker a(budget, u"plausible", "k"), b(budget, u"plausible", "k"), other(budget, u"plausible", "k2");
  ASSERT_TRUE(a.Poller.StartPoll(a.In).SendRequest);
  a.Poller.ApplyTransfer(a.In, Answer(429));  // Plausible documents no Retry-After
  EXPECT_EQ(a.Poller.LastFailure().PausedUntil, unixNow + 3600);
  const TPollResult refresh = b.Poller.StartPoll(b.In);
  EXPECT_FALSE(refresh.SendRequest);
  ASSERT_TRUE(refresh.Counts);
  EXPECT_EQ(refresh.Counts->Count, NO_COUNT);
  EXPECT_EQ(b.Poller.LastFailure().Kind, TFailure::RateLimited);
  EXPECT_EQ(b.Poller.LastFailure().PausedUntil, unixNow + 3600) << "paused until ... instead of nothing";
  EXPECT_TRUE(other.Poller.StartPoll(other.In).SendRequest) << "another key is another group";

  steadyNow += 3'600'000;
  unixNow += 3600;
  ASSERT_TRUE(b.Poller.StartPoll(b.In).SendRequest);
  b.Poller.ApplyTransfer(b.In, Answer(503));
  EXPECT_EQ(b.Poller.LastFailure().PausedUntil, unixNow + 3600) << "doubling stops at an hour";
  steadyNow += 3'600'000;
  unixNow += 3600;
  ASSERT_TRUE(a.Poller.StartPoll(a.In).SendRequest);
  a.Poller.ApplyTransfer(a.In, Answer(200));
  steadyNow += 60'000;
  ASSERT_TRUE(a.Poller.StartPoll(a.In).SendRequest);
  a.Poller.ApplyTransfer(a.In, Answer(429, "120"));
  EXPECT_EQ(a.Poller.LastFailure().PausedUntil, unixNow + 120) << "the server's own Retry-After";
}

// Settings changed while a poll was in flight: nothing of its answer counts.
TEST(PollBudget, ARestartedTrackerTakesNoAnswerOfItsEarlierSettings) {
  auto budget = std::make_shared<TKeyShares>();
  TTracker t(budget, u"umami", "k");
  ASSERT_TRUE(t.Poller.StartPoll(t.In).SendRequest);
  t.Poller.Restart();
  EXPECT_FALSE(t.Poller.ApplyTransfer(t.In, Answer(429)).Counts);
  EXPECT_EQ(budget->PausedUntil(t.Poller.Group, steadyNow), 0) << "an old server's refusal pauses nothing";
  steadyNow += 60'000;
  EXPECT_TRUE(t.Poller.StartPoll(t.In).SendRequest);
}

// Trackers sharing a key poll less often, so that their polls together fit the budget.
TEST(PollBudget, TrackersSharingAKeyAreSpacedToFitTheBudget) {
  const TRateLimit fathom = SourceRateLimit(Service(u"fathom"));
  EXPECT_EQ(BudgetSpacing(fathom), 8572) << "8 requests a minute: 7 gaps after the first";
  EXPECT_EQ(SharedKeyInterval(15000, fathom, 1), 15000);
  EXPECT_EQ(SharedKeyInterval(15000, fathom, 3), 26000);
  EXPECT_EQ(SharedKeyInterval(7000, SourceRateLimit(Service(u"plausible")), 2), 16000);
  EXPECT_EQ(SharedKeyInterval(15000, SourceRateLimit(Service(u"umami")), 55), 22000);
  EXPECT_EQ(SharedKeyInterval(7000, SourceRateLimit(Service(u"umami", u"https://u.example")), 50), 7000);
  EXPECT_EQ(SharedKeyInterval(7000, TRateLimit{2, 3600}, INT32_MAX), 2147483000);

  TKeyShares shares;
  const std::string a = KeyGroup(Service(u"plausible"), "k1"), b = KeyGroup(Service(u"plausible"), "k2");
  int x, y, z;
  shares.Set(&x, a), shares.Set(&y, a), shares.Set(&z, b);
  EXPECT_EQ(shares.Sharing(a), 2);
  shares.Set(&y, b);
  EXPECT_EQ(shares.Sharing(a), 1);
  EXPECT_EQ(shares.Sharing(b), 2);

  auto budget = std::make_shared<TKeyShares>();
  TTracker t(budget, u"fathom", "k");
  t.Poller.Sharing = 3;
  t.In.Interval = 15000;
  EXPECT_EQ(t.Poller.OnPollTimer(t.In).PollTimer.Ms, 26000) << "three trackers on one Fathom account";
  t.Poller.Restart();
  t.Poller.KeyUnreadable = true;
  const TPollResult failed = t.Poller.StartPoll(t.In);
  EXPECT_FALSE(failed.SendRequest);
  EXPECT_EQ(failed.Counts->Count, NO_COUNT);
  EXPECT_EQ(t.Poller.LastFailure().Kind, TFailure::KeyUnreadable);
}

// A tracker without a key pauses alone, and only on the server that refused.
TEST(PollBudget, AKeylessTrackerPausesAloneAndNotOnAnotherServer) {
  auto budget = std::make_shared<TKeyShares>();
  TTracker a(budget, u"json", ""), b(budget, u"json", "");
  a.In.Source.Server = b.In.Source.Server = u"http://127.0.0.1:1/count/{id}";
  ASSERT_TRUE(a.Poller.StartPoll(a.In).SendRequest);
  a.Poller.ApplyTransfer(a.In, Answer(503));
  EXPECT_FALSE(a.Poller.StartPoll(a.In).SendRequest);
  EXPECT_TRUE(b.Poller.StartPoll(b.In).SendRequest);
  a.In.Source.Server = u"http://127.0.0.2:1/count/{id}";
  a.Poller.Restart();
  EXPECT_TRUE(a.Poller.StartPoll(a.In).SendRequest) << "another server is not paused";
}
