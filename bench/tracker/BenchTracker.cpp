// The budget of a key group under a burst: twenty trackers of one key start
// together, then for a minute poll, are refreshed by an impatient user and
// tested from the Settings dialog. Prints, per service, the most requests any
// window of the limit's length saw against the documented limit.
#include <algorithm>
#include <cstdio>
#include <deque>
#include <memory>
#include <random>
#include <vector>

#include "tracker/CountPolling.h"
#include "tracker/KeyShares.h"

namespace {

constexpr int TRACKERS = 20;
constexpr int64_t BURST_MS = 60'000;
constexpr int64_t STEP_MS = 10;

int64_t clockMs = 0;

struct TSimTracker {
  TCountPoller Poller;
  TPollInput In;
  int64_t NextPoll = 0, SlotAt = -1;
};

// The most requests within any window of windowMs, from sorted send times.
size_t Busiest(const std::vector<int64_t>& sent, int64_t windowMs) {
  std::deque<int64_t> window;
  size_t most = 0;
  for (int64_t t : sent) {
    window.push_back(t);
    while (window.front() <= t - windowMs) window.pop_front();
    most = std::max(most, window.size());
  }
  return most;
}

void Burst(const char16_t* source) {
  auto budget = std::make_shared<TKeyShares>();
  std::vector<std::unique_ptr<TSimTracker>> trackers;
  std::mt19937 draw(7);
  std::vector<int64_t> sent;
  TSourceSettings settings;
  settings.Source = source;
  const std::string group = KeyGroup(settings, "key");
  for (int i = 0; i < TRACKERS; ++i) {
    auto t = std::make_unique<TSimTracker>();
    t->In.ID = u"site" + WideFromUtf8(std::to_string(i));
    t->In.Source = settings;
    t->In.Interval = DEFAULT_POLL_INTERVAL;
    t->Poller.Key = "key";
    t->Poller.Group = group;
    t->Poller.Budget = budget;
    t->Poller.Sharing = TRACKERS;
    t->Poller.Steady = [] { return clockMs; };
    t->NextPoll = static_cast<int64_t>(draw() % 1000);  // all started within a second
    budget->Set(t.get(), group);
    trackers.push_back(std::move(t));
  }
  auto poll = [&](TSimTracker& t, bool timer) {
    const TPollResult r = timer ? t.Poller.OnPollTimer(t.In) : t.Poller.StartPoll(t.In);
    if (r.PollTimer.Kind == TTimerChange::Arm) t.NextPoll = clockMs + r.PollTimer.Ms;
    if (r.WaitMs > 0) t.SlotAt = clockMs + r.WaitMs;
    if (r.SendRequest) {
      sent.push_back(clockMs);
      TTransferResult answer;
      answer.Ok = true, answer.Status = 200, answer.Body = "{\"visitors\": 3, \"value\": 3}";
      t.Poller.ApplyTransfer(t.In, answer);
    }
  };
  for (clockMs = 0; clockMs < BURST_MS; clockMs += STEP_MS) {
    for (auto& t : trackers) {
      if (t->SlotAt >= 0 && clockMs >= t->SlotAt) {
        t->SlotAt = -1;
        poll(*t, false);
      }
      if (clockMs >= t->NextPoll) poll(*t, true);
    }
    if (draw() % 200 == 0) poll(*trackers[draw() % TRACKERS], false);  // Refresh, about one a second
    int64_t wait = 0;
    if (draw() % 500 == 0 && budget->TakeFree(group, SourceRateLimit(settings), clockMs, wait))
      sent.push_back(clockMs);  // Test
  }
  std::sort(sent.begin(), sent.end());
  const TRateLimit limit = SourceRateLimit(settings);
  const size_t most = Busiest(sent, int64_t(limit.WindowSeconds) * 1000);
  std::printf("%-10s %4zu requests in %2lld s; busiest %4d s window: %4zu of %4d allowed (%3.0f %%)%s\n",
              Utf8FromWide(source).c_str(), sent.size(), static_cast<long long>(BURST_MS / 1000),
              limit.WindowSeconds, most, limit.Requests, 100.0 * double(most) / limit.Requests,
              most * 100 > size_t(limit.Requests) * LIMIT_SHARE_PERCENT ? "  OVER BUDGET" : "");
}

}  // namespace

int main() {
  for (const char16_t* source : {u"fathom", u"umami", u"plausible"}) Burst(source);
  return 0;
}
