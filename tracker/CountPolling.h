#pragma once
// The window-free decisions of a tracker's polling: what the response means,
// what the face shows, and which timers and requests the widget's handlers
// arm or start. The widget window carries them out and owns the worker.
#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "platform/ProgramIds.h"
#include "text/WStrUtils.h"
#include "tracker/TrackerSource.h"

constexpr int32_t MIN_POLL_INTERVAL = 7000;  // shorter intervals poll only on Refresh
constexpr int32_t FIRST_POLL_DELAY = 100;    // after the start delay

constexpr const WideChar IMG_INC[] = u"INC.PNG";
constexpr const WideChar IMG_DEC[] = u"DEC.PNG";
constexpr const WideChar IMG_EQUAL[] = u"EQUAL.PNG";
constexpr const WideChar IMG_BUSY[] = u"BUSY.PNG";
constexpr const WideChar IMG_IDLE[] = u"IDLE.PNG";

// "?" for a negative count, else its decimal digits.
WideString CountText(int32_t n);
// Compares the raw values, -1 included.
WideString TrendImageName(int32_t previous, int32_t current);

// One thing a handler asks the widget to do.
enum class TPollStep : uint8_t {
  KillStartTimer,
  KillPollTimer,
  ArmPollTimer,  // for PollTimerMs
  ShowBusy,
  // A worker for Request(), done message WM_COUNTRESPONSE. When none can be
  // made, RequestNotStarted's steps stand in for the rest of the list.
  StartRequest,
  ShowCounts,  // the captions and trend below, and the tooltip for LastFailure()
  ShowIdle,
  FreeWorker,
  Publish,  // the settings snapshot, whose counts are new
  Redraw,
};

// What one handler asks the widget to do: its steps, in the order they are
// carried out.
struct TPollActions {
  TPollActions() = default;
  TPollActions(std::initializer_list<TPollStep> steps) : Steps(steps) {}
  std::vector<TPollStep> Steps;
  int32_t PollTimerMs = -1;
  WideString CountCaption, PreviousCaption, TrendImage;
  bool Has(TPollStep step) const { return std::find(Steps.begin(), Steps.end(), step) != Steps.end(); }
};

int64_t UnixNow();

// Polling state of one tracker; used on the widget's own thread only.
class TCountPoller {
public:
  WideString ID;
  int32_t Interval = DEFAULT_POLL_INTERVAL;
  bool Enable = true;
  int32_t Count = NO_COUNT;
  int32_t Previous = NO_COUNT;
  TSourceSettings Source;
  std::string Key;             // the plain key: never published, logged or written
  bool KeyUnreadable = false;  // the stored key cannot be decrypted: every poll fails at once
  std::string CounterHost;     // the host setting the counter service is polled at
  int32_t Sharing = 1;         // trackers polling with this one's key, itself included
  int64_t (*Now)() = UnixNow;

  // True from StartPoll until the response is applied or the start failed.
  bool Busy() const { return FBusy; }
  // The request in flight, rebuilt at every poll.
  const TSourceRequest& Request() const { return FRequest; }
  const std::string& RequestPath() const { return FRequest.Path; }
  // Why the last poll brought no count; None after one that did.
  const TPollFailure& LastFailure() const { return FLastFailure; }
  // Interval, raised where trackers sharing the key would pass the service's limit.
  int32_t PollInterval() const;

  TPollActions OnStartTimer();
  TPollActions OnPollTimer();
  TPollActions StartPoll();
  // The widget could not create or resume the worker.
  TPollActions RequestNotStarted();
  // The worker's done message, with the body of its response and whether the
  // transfer succeeded; a failed one gives NO_COUNT whatever digits arrived.
  TPollActions ApplyResponse(const std::string& body, bool transferOk);
  TPollActions ApplyTransfer(const TTransferResult& transfer);

private:
  TPollActions Fail(const TPollFailure& why);
  TPollActions ShowNewCount();

  bool FBusy = false;
  TSourceRequest FRequest;
  TPollFailure FLastFailure;
  int64_t FPausedUntil = 0;  // a rate-limited service's Retry-After: no poll before it
};
