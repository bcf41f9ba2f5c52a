#pragma once
#include <cstdint>
#include <mutex>
#include <vector>

#include "ui/ScreenGeometry.h"

// Screen rectangle; Right and Bottom are exclusive.
using TSnapRect = TScreenRect;

// Edges closer than this (strictly) pull a moving widget onto them, at 96 DPI;
// the widget scales it with its face.
constexpr int32_t SNAP_DISTANCE = 8;

// Moves the proposed position (x, y) of a W x H widget onto the near edges of the
// other visible widgets (in list order), then onto the work area, which wins.
void SnapPosition(int32_t& x, int32_t& y, int32_t width, int32_t height,
                  const std::vector<TSnapRect>& others, const TSnapRect& workArea,
                  int32_t distance = SNAP_DISTANCE);

// Where every widget is and whether it shows, shared by all widget threads.
// Each widget publishes its own entry from its own thread; a widget that snaps
// copies the others' rectangles out under the lock, so it never reads another
// widget object, and a neighbour removed during a drag simply drops out.
class TWidgetBoard {
public:
  void Publish(const void* widget, const TSnapRect& bounds, bool visible);
  void Remove(const void* widget);
  // The visible widgets other than self, in the order they were first published.
  std::vector<TSnapRect> VisibleOthers(const void* self) const;

private:
  struct TEntry {
    const void* Widget;
    TSnapRect Bounds;
    bool Visible;
  };
  mutable std::mutex FLock;
  std::vector<TEntry> FEntries;  // guarded by FLock
};
