#include "app/TrackerStarts.h"

#include <algorithm>

void TTrackerStarts::Add(HWND manager, TWidgetMainForm* widget, bool keep) {
  if (FGap) {
    FWaiting.push_back(TWaiting{widget, keep});
    return;
  }
  FGap = manager && SetTimer(manager, TIMER_NEXTSTART, TRACKER_START_GAP_MS, nullptr) != 0;
  FStart(widget, keep);
}

void TTrackerStarts::Next(HWND manager) {
  if (FWaiting.empty()) {
    KillTimer(manager, TIMER_NEXTSTART);
    FGap = false;
    return;
  }
  const TWaiting next = FWaiting.front();
  FWaiting.pop_front();
  // The timer runs on: the next tick is the gap after this start.
  FStart(next.Widget, next.Keep);
}

void TTrackerStarts::Drop(const TWidgetMainForm* widget) {
  FWaiting.erase(std::remove_if(FWaiting.begin(), FWaiting.end(), [&](const TWaiting& w) { return w.Widget == widget; }),
                 FWaiting.end());
}

void TTrackerStarts::Clear(HWND manager) {
  FWaiting.clear();
  if (manager) KillTimer(manager, TIMER_NEXTSTART);
  FGap = false;
}
