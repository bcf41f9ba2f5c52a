#include "tracker/SpikeAlert.h"

TSpikeAlert::TSpikeAlert(int32_t above, int32_t quietMinutes, int32_t savedCount)
    : FAbove(above), FQuietMinutes(quietMinutes), FSaved(savedCount) {}

TAlertEvent TSpikeAlert::Poll(int32_t count, int64_t nowMs) {
  TAlertEvent event = TAlertEvent::None;
  const bool failed = count < 0;

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
