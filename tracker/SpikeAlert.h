#pragma once
// When a tracker's traffic jumps past a threshold, or a site that had visitors
// goes quiet, the tray says so once per episode: a user woken at night by
// repeats switches alerts off for good.
#include <cstdint>

constexpr int64_t ALERT_COOLDOWN_MS = 30 * 60 * 1000;  // at most one spike balloon per tracker
// The spike alert re-arms once the count falls below this share of its threshold.
constexpr int32_t ALERT_REARM_PERCENT = 80;

enum class TAlertEvent { None, Spike, Quiet };

class TSpikeAlert {
public:
  // above: the count that alerts (0 or less: off); quietMinutes: how long 0 or
  // "?" after visitors tells (0 or less: off); savedCount: the count the file
  // held at start (NO_COUNT when none).
  TSpikeAlert(int32_t above = 0, int32_t quietMinutes = 0, int32_t savedCount = -1);

  // One poll's count (negative for a failed poll) at nowMs, a steady clock
  // that may count time asleep. Quiet time counts only across polls that ran:
  // more than two intervalMs (when above 0) since the last poll, or a poll
  // that failed because this computer is offline, starts the span again.
  TAlertEvent Poll(int32_t count, int64_t nowMs, int32_t intervalMs = 0, bool offline = false);
  // The face shows the alert while the shown count is at or above the threshold.
  bool High() const { return FHigh; }
  int32_t Above() const { return FAbove; }
  int32_t QuietMinutes() const { return FQuietMinutes; }

private:
  int32_t FAbove, FQuietMinutes;
  int32_t FSaved;
  bool FFirst = true;  // no count polled since start yet
  bool FArmed = false;
  bool FHigh = false;
  bool FSpiked = false;  // a balloon was shown, so the cooldown runs from FSpikeAt
  int64_t FSpikeAt = 0;
  bool FHadVisitors = false;
  bool FQuiet = false;  // 0 or "?" since FQuietSince
  bool FQuietTold = false;
  int64_t FQuietSince = 0;
  int64_t FLastPollAt = -1;
};
