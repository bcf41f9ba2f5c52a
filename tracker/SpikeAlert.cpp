#include "tracker/SpikeAlert.h"

TSpikeAlert::TSpikeAlert(int32_t above, int32_t quietMinutes, int32_t savedCount)
    : FAbove(above), FQuietMinutes(quietMinutes), FSaved(savedCount) {}

TAlertEvent TSpikeAlert::Poll(int32_t count, int64_t nowMs, int32_t intervalMs, bool offline) {
  TAlertEvent event = TAlertEvent::None;
  const bool failed = count < 0;
  // A night asleep, or a connection of the user's own that is down, says
  // nothing about the site: the span starts again at the next poll that ran.
  const bool gap = FLastPollAt >= 0 && intervalMs > 0 && nowMs - FLastPollAt > 2 * int64_t(intervalMs);
  FLastPollAt = nowMs;
  if (gap || offline) FQuiet = false;

  // Gone quiet: 0 or "?" for the whole span after there were visitors.
  if (!failed && count > 0) {
    FHadVisitors = true;
    FQuiet = FQuietTold = false;
  } else if (FHadVisitors) {
    if (!FQuiet) {
      FQuiet = true;
      FQuietSince = nowMs;
    }
    if (FQuietMinutes > 0 && !FQuietTold && nowMs - FQuietSince >= int64_t(FQuietMinutes) * 60000) {
      FQuietTold = true;
      event = TAlertEvent::Quiet;
    }
  }

  // A failed poll shows "?": no alert, no re-arm, and no alert colour.
  if (failed) {
    FHigh = false;
    return event;
  }
  FHigh = FAbove > 0 && count >= FAbove;
  if (FAbove <= 0) return event;
  if (FFirst) {
    // After a restart only a crossing the program did not see before alerts.
    FFirst = false;
    FArmed = FSaved < FAbove;
  }
  if (FArmed && FHigh) {
    FArmed = false;
    // A crossing inside the cooldown ends its episode without a balloon.
    if (!FSpiked || nowMs - FSpikeAt >= ALERT_COOLDOWN_MS) {
      FSpiked = true;
      FSpikeAt = nowMs;
      event = TAlertEvent::Spike;
    }
  } else if (!FArmed && int64_t(count) * 100 < int64_t(FAbove) * ALERT_REARM_PERCENT) {
    FArmed = true;
  }
  return event;
}
