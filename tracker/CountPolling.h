#pragma once
// The window-free decisions of a tracker's polling: from a timer, a Refresh or
// a response to what the face shows, which timers run and whether a request
// goes out. The widget window applies the result and owns the worker.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/ProgramIds.h"
#include "text/WStrUtils.h"
#include "tracker/KeyShares.h"
#include "tracker/TrackerSource.h"

constexpr int32_t MIN_POLL_INTERVAL = 7000;  // shorter intervals poll only on Refresh
constexpr int32_t FIRST_POLL_DELAY = 100;    // after the start delay
constexpr int64_t SLOT_SLACK_MS = 50;        // how early a slot's timer may take it
constexpr int64_t OFFLINE_AFTER_MS = 60000;  // no server heard from for this long, at least

constexpr const WideChar IMG_INC[] = u"INC.PNG";
constexpr const WideChar IMG_DEC[] = u"DEC.PNG";
constexpr const WideChar IMG_EQUAL[] = u"EQUAL.PNG";
constexpr const WideChar IMG_BUSY[] = u"BUSY.PNG";
constexpr const WideChar IMG_IDLE[] = u"IDLE.PNG";

// "?" for a negative count, else its decimal digits.
WideString CountText(int32_t n);
// Compares the raw values, -1 included.
WideString TrendImageName(int32_t previous, int32_t current);

// What a rule asks of a timer.
struct TTimerChange {
  enum TKind : uint8_t { Keep, Stop, Arm } Kind = Keep;
  int32_t Ms = 0;  // Arm's period
  bool operator==(const TTimerChange& o) const { return Kind == o.Kind && Ms == o.Ms; }
};

// The state light in the face's corner. Idle also means the worker is done with.
enum class TLight : uint8_t { Unchanged, Busy, Idle };

// A count the face shows next, with the one before it.
struct TShownCounts {
  int32_t Count = NO_COUNT, Previous = NO_COUNT;
  bool operator==(const TShownCounts& o) const { return Count == o.Count && Previous == o.Previous; }
};

// What one poll event means for the widget. The fields are independent; the
// widget applies them in one place.
struct TPollResult {
  bool StopStartTimer = false;
  TTimerChange PollTimer;
  TLight Light = TLight::Unchanged;
  // A worker for Request(), done message WM_COUNTRESPONSE. When none can be
  // made, RequestNotStarted() stands in for the rest of this result.
  bool SendRequest = false;
  // The poll waits for its group's slot: poll again (StartPoll) after this many ms.
  int32_t WaitMs = 0;
  // Shown with its tooltip, added to the history, checked against the alert,
  // and published.
  std::optional<TShownCounts> Counts;
  // The poll failed to connect while no tracker has heard from any server
  // lately: this computer is offline, which says nothing about the site.
  bool Offline = false;
  bool Redraw = false;
  bool operator==(const TPollResult& o) const {
    return StopStartTimer == o.StopStartTimer && PollTimer == o.PollTimer && Light == o.Light &&
           SendRequest == o.SendRequest && WaitMs == o.WaitMs && Counts == o.Counts && Offline == o.Offline &&
           Redraw == o.Redraw;
  }
};

// What a poll reads of its tracker's settings.
struct TPollInput {
  WideString ID;
  int32_t Interval = DEFAULT_POLL_INTERVAL;
  bool Enable = true;
  int32_t Count = NO_COUNT;  // shown now
  TSourceSettings Source;
};

int64_t UnixNow();
// Unix seconds as the user's local "HH:MM"; empty for 0.
WideString LocalClock(int64_t unixSeconds);

// A random few per cent (0 to ms / 32, at most MAX_POLL_JITTER) added to each
// re-armed poll timer, so that trackers started together, or woken together
// from sleep, drift out of phase instead of all polling in the same instant.
constexpr int32_t MAX_POLL_JITTER = 2000;
int32_t PollJitter(int32_t ms);

// Polling state of one tracker beyond its settings; used on the widget's own
// thread only.
class TCountPoller {
public:
  std::string Key;             // the plain key: never published, logged or written
  bool KeyUnreadable = false;  // the stored key cannot be decrypted: every poll fails at once
  std::string CounterHost;     // the host setting the counter service is polled at
  int32_t Sharing = 1;         // trackers polling with this one's key, itself included
  // The budget of the tracker's key group (Group; empty: the tracker alone),
  // shared with every tracker and dialog of the program.
  std::shared_ptr<TKeyShares> Budget = std::make_shared<TKeyShares>();
  std::string Group;
  int64_t (*Now)() = UnixNow;
  int64_t (*Steady)() = SteadyMs;

  // True from StartPoll until the response is applied or the start failed.
  bool Busy() const { return FBusy; }
  // Waits for its key group's slot (see TPollResult::WaitMs).
  bool Waiting() const { return FSlotAt >= 0; }
  // The request in flight, rebuilt at every poll.
  const TSourceRequest& Request() const { return FRequest; }
  const std::string& RequestPath() const { return FRequest.Path; }
  // Why the last poll brought no count; None after one that did.
  const TPollFailure& LastFailure() const { return FLastFailure; }
  // The interval, raised where trackers sharing the key would pass the service's limit.
  int32_t PollInterval(const TPollInput& in) const;

  TPollResult OnStartTimer(const TPollInput& in) const;
  TPollResult OnPollTimer(const TPollInput& in);
  TPollResult StartPoll(const TPollInput& in);
  // The widget could not create or resume the worker.
  TPollResult RequestNotStarted();
  // The tracker changed what it polls: an answer still in flight belongs to
  // the old settings and a slot waited for to the old group.
  void Restart();
  // The worker's done message, with the body of its response and whether the
  // transfer succeeded; a failed one gives NO_COUNT whatever digits arrived.
  TPollResult ApplyResponse(const TPollInput& in, const std::string& body, bool transferOk);
  TPollResult ApplyTransfer(const TPollInput& in, const TTransferResult& transfer);

private:
  TPollResult Fail(const TPollInput& in, const TPollFailure& why);
  // The group the budget is kept for: the key group, or this tracker alone.
  std::string BudgetGroup(const TPollInput& in) const;

  bool FBusy = false;
  int64_t FSlotAt = -1;  // the steady time of the slot this poll waits for; -1: none
  TSourceRequest FRequest;
  TPollFailure FLastFailure;
};
