#pragma once
// Tracker windows made one at a time, a gap apart, from the manager's timer:
// twenty layered windows made at the same instant in a freshly booted Wine
// prefix can break its heap, and the gap also spreads their first polls. The
// manager's thread never sleeps for it. Manager thread only.
#include <cstdint>
#include <deque>
#include <functional>

#include "platform/WinApi.h"

class TWidgetMainForm;

constexpr uint32_t TIMER_NEXTSTART = 1008;  // manager: the gap after a start is over
constexpr UINT TRACKER_START_GAP_MS = 20;

class TTrackerStarts {
public:
  // start makes the widget's window (its thread); keep: whether a tracker that
  // cannot start keeps its place in the file.
  using TStart = std::function<void(TWidgetMainForm* widget, bool keep)>;
  explicit TTrackerStarts(TStart start) : FStart(std::move(start)) {}

  // Starts the widget now unless another started less than a gap ago; then
  // it waits its turn. Without a window to time the gap, it starts at once.
  void Add(HWND manager, TWidgetMainForm* widget, bool keep);
  // TIMER_NEXTSTART: the gap is over.
  void Next(HWND manager);
  // A widget removed before its turn never starts.
  void Drop(const TWidgetMainForm* widget);
  // Shutdown: nothing starts any more.
  void Clear(HWND manager);

private:
  struct TWaiting {
    TWidgetMainForm* Widget;
    bool Keep;
  };
  TStart FStart;
  std::deque<TWaiting> FWaiting;
  bool FGap = false;  // a start happened less than a gap ago
};
