#include "tracker/CountPolling.h"

#include <algorithm>
#include <climits>
#include <ctime>
#include <random>

#include "tracker/KeyOrigin.h"

WideString CountText(int32_t n) {
  if (n < 0) return u"?";
  std::string digits = std::to_string(n);
  return WideString(digits.begin(), digits.end());
}

WideString TrendImageName(int32_t previous, int32_t current) {
  if (current < previous) return IMG_DEC;
  if (current > previous) return IMG_INC;
  return IMG_EQUAL;
}

int64_t UnixNow() { return static_cast<int64_t>(std::time(nullptr)); }

WideString LocalClock(int64_t unixSeconds) {
  if (unixSeconds <= 0) return WideString();
  const std::time_t when = static_cast<std::time_t>(unixSeconds);
  char text[16] = {};
  if (const std::tm* local = std::localtime(&when)) std::strftime(text, sizeof text, "%H:%M", local);
  return WideFromUtf8(text);
}

int32_t PollJitter(int32_t ms) {
  const int32_t most = std::min(ms / 32, MAX_POLL_JITTER);
  if (most <= 0) return 0;
  // Each widget thread draws from its own generator, seeded apart.
  thread_local std::minstd_rand draw(std::random_device{}());
  return std::uniform_int_distribution<int32_t>(0, most)(draw);
}

int32_t TCountPoller::PollInterval(const TPollInput& in) const {
  return SharedKeyInterval(in.Interval, SourceRateLimit(in.Source), Sharing);
}

TPollResult TCountPoller::OnStartTimer(const TPollInput& in) const {
  TPollResult r;
  r.StopStartTimer = true;
  if (in.Enable && in.Interval >= MIN_POLL_INTERVAL) r.PollTimer = {TTimerChange::Arm, FIRST_POLL_DELAY};
  return r;
}

TPollResult TCountPoller::OnPollTimer(const TPollInput& in) {
  // Switched off: the timer stays armed, so switching on again polls at the next tick.
  if (!in.Enable) return TPollResult();
  TPollResult r = StartPoll(in);
  r.PollTimer = in.Interval >= MIN_POLL_INTERVAL ? TTimerChange{TTimerChange::Arm, PollInterval(in)}
                                                 : TTimerChange{TTimerChange::Stop, 0};
  return r;
}

// A tracker without a key is a group of its own on its origin: another
// server is not paused for the one that refused.
std::string TCountPoller::BudgetGroup(const TPollInput& in) const {
  if (!Group.empty()) return Group;
  return "tracker " + std::to_string(reinterpret_cast<uintptr_t>(this)) + " " + KeyOrigin(in.Source);
}

TPollResult TCountPoller::StartPoll(const TPollInput& in) {
  if (FBusy) return TPollResult();  // one request per widget; this tick is lost
  const int64_t steady = Steady();
  // Waits for its slot already; a timer may fire a tick before it.
  if (FSlotAt - steady > SLOT_SLACK_MS) return TPollResult();
  TPollFailure why;
  // A group that was refused waits out its pause; a Refresh says until when.
  if (const int64_t paused = Budget->PausedUntil(BudgetGroup(in), steady)) {
    FSlotAt = -1;
    why.Kind = TFailure::RateLimited;
    why.Status = FLastFailure.Kind == TFailure::RateLimited ? FLastFailure.Status : 0;
    why.PausedUntil = Now() + (paused - steady + 999) / 1000;
    return Fail(in, why);
  }
  TSourceKind kind;
  // A source this version does not know says so before anything about its key.
  if (KeyUnreadable && ParseSourceName(in.Source.Source, kind)) {
    why.Kind = TFailure::KeyUnreadable;
    return Fail(in, why);
  }
  if (!BuildSourceRequest(in.Source, in.ID, Key, CounterHost, FRequest, why)) return Fail(in, why);
  // Every request of the group, of every kind, takes its slot of the budget.
  if (FSlotAt < 0) {
    const int64_t wait = Budget->Reserve(BudgetGroup(in), SourceRateLimit(in.Source), steady);
    if (wait > 0) {
      FSlotAt = steady + wait;
      // The busy dot shows that the poll is on its way.
      TPollResult r;
      r.WaitMs = static_cast<int32_t>(std::min<int64_t>(wait, INT32_MAX));
      r.Light = TLight::Busy;
      r.Redraw = true;
      return r;
    }
  }
  FSlotAt = -1;
  FBusy = true;
  TPollResult r;
  r.Light = TLight::Busy;
  r.SendRequest = true;
  r.Redraw = true;
  return r;
}

void TCountPoller::Restart() {
  FBusy = false;
  FSlotAt = -1;
}

TPollResult TCountPoller::RequestNotStarted() {
  FBusy = false;
  FLastFailure = TPollFailure();
  FLastFailure.Kind = TFailure::NotStarted;
  TPollResult r;
  r.Light = TLight::Idle;
  r.Redraw = true;
  return r;
}

namespace {
TPollResult NewCount(int32_t previous, int32_t count) {
  TPollResult r;
  r.Counts = TShownCounts{count, previous};
  r.Light = TLight::Idle;
  r.Redraw = true;
  return r;
}
}  // namespace

// A poll that may not be sent fails as a failed transfer would.
TPollResult TCountPoller::Fail(const TPollInput& in, const TPollFailure& why) {
  FLastFailure = why;
  return NewCount(in.Count, NO_COUNT);
}

TPollResult TCountPoller::ApplyResponse(const TPollInput& in, const std::string& body, bool transferOk) {
  TTransferResult transfer;
  transfer.Ok = transferOk;
  transfer.Status = transferOk ? 200 : 0;
  transfer.Error = transferOk ? TTransferError::None : TTransferError::NoConnection;
  transfer.Body = body;
  return ApplyTransfer(in, transfer);
}

TPollResult TCountPoller::ApplyTransfer(const TPollInput& in, const TTransferResult& transfer) {
  if (!FBusy) {
    TPollResult r;
    r.Redraw = true;
    return r;
  }
  FBusy = false;
  // A cut-off or refused transfer may still hold digits; they are not the count.
  TPollFailure why;
  const int32_t count = ReadSourceCount(in.Source, transfer, Now(), why);
  if (why.Kind == TFailure::RateLimited) {
    // The whole group pauses, for the server's Retry-After or one window of its limit.
    const int64_t now = Now(), steady = Steady();
    const int64_t retryMs = why.PausedUntil > 0 ? std::max<int64_t>(0, why.PausedUntil - now) * 1000 : -1;
    const int64_t end = Budget->Refused(BudgetGroup(in), SourceRateLimit(in.Source), retryMs, steady);
    why.PausedUntil = now + (end - steady + 999) / 1000;
  } else if (transfer.Status != 0) {
    Budget->Answered(BudgetGroup(in));
  }
  FLastFailure = why;
  TPollResult r = NewCount(in.Count, count);
  const int64_t steady = Steady();
  if (transfer.Status != 0) {
    Budget->Heard(steady);
  } else if (why.Kind == TFailure::NoConnection || why.Kind == TFailure::TimedOut) {
    const int64_t lately = std::max<int64_t>(OFFLINE_AFTER_MS, 2 * int64_t(PollInterval(in)));
    r.Offline = Budget->LastHeard() < 0 || steady - Budget->LastHeard() > lately;
  }
  return r;
}
