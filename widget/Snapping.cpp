#include "widget/Snapping.h"

#include <algorithm>

// Each test sees x and y as the tests before it left them; the order decides
// which edge wins when several are near.
void SnapPosition(int32_t& x, int32_t& y, int32_t width, int32_t height,
                  const std::vector<TSnapRect>& others, const TSnapRect& workArea, int32_t distance) {
  auto Near = [distance](int64_t d) { return d > -distance && d < distance; };
  // 64-bit differences: positions come from the platform and may be far off-screen.
  auto snapY = [&](int64_t d, int64_t target) { if (Near(d)) y = static_cast<int32_t>(target); };
  auto snapX = [&](int64_t d, int64_t target) { if (Near(d)) x = static_cast<int32_t>(target); };
  for (const TSnapRect& r : others) {
    snapY(int64_t(r.Top) - (int64_t(y) + height), int64_t(r.Top) - height);
    snapY(int64_t(r.Bottom) - (int64_t(y) + height), int64_t(r.Bottom) - height);
    snapY(int64_t(y) - r.Bottom, r.Bottom);
    snapY(int64_t(y) - r.Top, r.Top);
    snapX(int64_t(r.Left) - (int64_t(x) + width), int64_t(r.Left) - width);
    snapX(int64_t(r.Right) - (int64_t(x) + width), int64_t(r.Right) - width);
    snapX(int64_t(x) - r.Right, r.Right);
    snapX(int64_t(x) - r.Left, r.Left);
  }
  snapY(int64_t(workArea.Bottom) - (int64_t(y) + height), int64_t(workArea.Bottom) - height);
  snapY(int64_t(y) - workArea.Top, workArea.Top);
  snapX(int64_t(workArea.Right) - (int64_t(x) + width), int64_t(workArea.Right) - width);
  snapX(int64_t(x) - workArea.Left, workArea.Left);
}

void TWidgetBoard::Publish(const void* widget, const TSnapRect& bounds, bool visible) {
  std::lock_guard<std::mutex> hold(FLock);
  auto it = std::find_if(FEntries.begin(), FEntries.end(), [&](const TEntry& e) { return e.Widget == widget; });
  if (it == FEntries.end())
    FEntries.push_back({widget, bounds, visible});
  else
    *it = {widget, bounds, visible};
}

void TWidgetBoard::Remove(const void* widget) {
  std::lock_guard<std::mutex> hold(FLock);
  FEntries.erase(std::remove_if(FEntries.begin(), FEntries.end(), [&](const TEntry& e) { return e.Widget == widget; }),
                 FEntries.end());
}

std::vector<TSnapRect> TWidgetBoard::VisibleOthers(const void* self) const {
  std::vector<TSnapRect> out;
  std::lock_guard<std::mutex> hold(FLock);
  for (const TEntry& e : FEntries)
    if (e.Widget != self && e.Visible) out.push_back(e.Bounds);
  return out;
}
