#include "tracker/CountPolling.h"

#include <ctime>

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

int32_t TCountPoller::PollInterval() const {
  return SharedKeyInterval(Interval, SourceRateLimit(Source), Sharing);
}

TPollActions TCountPoller::OnStartTimer() {
  TPollActions a{TPollStep::KillStartTimer};
  if (Enable && Interval >= MIN_POLL_INTERVAL) {
    a.Steps.push_back(TPollStep::ArmPollTimer);
    a.PollTimerMs = FIRST_POLL_DELAY;
  }
  return a;
}

TPollActions TCountPoller::OnPollTimer() {
  // Switched off: the timer stays armed, so switching on again polls at the next tick.
  if (!Enable) return TPollActions();
  TPollActions a{TPollStep::KillPollTimer};
  if (Interval >= MIN_POLL_INTERVAL) {
    a.Steps.push_back(TPollStep::ArmPollTimer);
    a.PollTimerMs = PollInterval();
  }
  const TPollActions poll = StartPoll();
  a.Steps.insert(a.Steps.end(), poll.Steps.begin(), poll.Steps.end());
  return a;
}

TPollActions TCountPoller::StartPoll() {
  if (FBusy) return TPollActions();  // one request per widget; this tick is lost
  // A service that asked for a pause gets it; the face keeps showing "?".
  if (FPausedUntil > Now()) return TPollActions();
  FPausedUntil = 0;
  TPollFailure why;
  TSourceKind kind;
  // A source this version does not know says so before anything about its key.
  if (KeyUnreadable && ParseSourceName(Source.Source, kind)) {
    why.Kind = TFailure::KeyUnreadable;
    return Fail(why);
  }
  if (!BuildSourceRequest(Source, ID, Key, CounterHost, FRequest, why)) return Fail(why);
  FBusy = true;
  return TPollActions{TPollStep::ShowBusy, TPollStep::StartRequest, TPollStep::Redraw};
}

TPollActions TCountPoller::RequestNotStarted() {
  FBusy = false;
  FLastFailure = TPollFailure();
  FLastFailure.Kind = TFailure::NotStarted;
  return TPollActions{TPollStep::ShowIdle, TPollStep::FreeWorker, TPollStep::Redraw};
}

// A poll that may not be sent fails as a failed transfer would.
TPollActions TCountPoller::Fail(const TPollFailure& why) {
  Previous = Count;
  Count = NO_COUNT;
  FLastFailure = why;
  return ShowNewCount();
}

TPollActions TCountPoller::ApplyResponse(const std::string& body, bool transferOk) {
  TTransferResult transfer;
  transfer.Ok = transferOk;
  transfer.Status = transferOk ? 200 : 0;
  transfer.Error = transferOk ? TTransferError::None : TTransferError::NoConnection;
  transfer.Body = body;
  return ApplyTransfer(transfer);
}

TPollActions TCountPoller::ApplyTransfer(const TTransferResult& transfer) {
  if (!FBusy) return TPollActions{TPollStep::Redraw};
  FBusy = false;
  Previous = Count;
  // A cut-off or refused transfer may still hold digits; they are not the count.
  TPollFailure why;
  Count = ReadSourceCount(Source, transfer, Now(), why);
  FLastFailure = why;
  if (why.Kind == TFailure::RateLimited) FPausedUntil = why.PausedUntil;
  return ShowNewCount();
}

TPollActions TCountPoller::ShowNewCount() {
  TPollActions a{TPollStep::ShowCounts, TPollStep::ShowIdle, TPollStep::FreeWorker, TPollStep::Publish,
                 TPollStep::Redraw};
  a.CountCaption = CountText(Count);
  a.PreviousCaption = CountText(Previous);
  a.TrendImage = TrendImageName(Previous, Count);
  return a;
}
