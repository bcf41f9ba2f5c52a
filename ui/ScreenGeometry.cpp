#include "ui/ScreenGeometry.h"

#include <algorithm>
#include <cmath>

namespace {
// Beyond these the platform's answer is broken, not a real screen.
constexpr uint32_t kLowestDpi = 48;
constexpr uint32_t kHighestDpi = 960;

bool Empty(const TScreenRect& r) { return r.Right <= r.Left || r.Bottom <= r.Top; }

int64_t Overlap(const TScreenRect& a, const TScreenRect& b) {
  int64_t w = int64_t(std::min(a.Right, b.Right)) - std::max(a.Left, b.Left);
  int64_t h = int64_t(std::min(a.Bottom, b.Bottom)) - std::max(a.Top, b.Top);
  return w > 0 && h > 0 ? w * h : 0;
}

// Squared gap between two rectangles; 0 when they touch or overlap.
uint64_t GapSquared(const TScreenRect& a, const TScreenRect& b) {
  int64_t dx = std::max<int64_t>({0, int64_t(b.Left) - a.Right, int64_t(a.Left) - b.Right});
  int64_t dy = std::max<int64_t>({0, int64_t(b.Top) - a.Bottom, int64_t(a.Top) - b.Bottom});
  return uint64_t(dx * dx) + uint64_t(dy * dy);
}

// Where a span of Size starts when pulled just inside [Low, High); a span
// wider than the room keeps its start on Low, so its top and left stay reachable.
int64_t PullInside(int64_t start, int64_t size, int64_t low, int64_t high) {
  if (start + size > high) start = high - size;
  if (start < low) start = low;
  return start;
}
}  // namespace

uint32_t SaneDpi(uint32_t dpi) { return dpi >= kLowestDpi && dpi <= kHighestDpi ? dpi : BASE_DPI; }

int32_t ScaleToDpi(int32_t value, uint32_t dpi) {
  dpi = SaneDpi(dpi);
  int64_t scaled = int64_t(value) * dpi;
  int64_t half = BASE_DPI / 2;
  return static_cast<int32_t>(scaled >= 0 ? (scaled + half) / BASE_DPI : -((-scaled + half) / BASE_DPI));
}

float PointsToPixels(float points, uint32_t dpi) { return points * static_cast<float>(SaneDpi(dpi)) / 72.0f; }

bool RectsMeet(const TScreenRect& a, const TScreenRect& b) { return Overlap(a, b) > 0; }

int MonitorOfRect(const TScreenRect& rect, const std::vector<TMonitorArea>& monitors) {
  int best = -1;
  int64_t bestOverlap = 0;
  for (size_t i = 0; i < monitors.size(); ++i) {
    int64_t o = Overlap(rect, monitors[i].Bounds);
    if (o > bestOverlap) {
      bestOverlap = o;
      best = static_cast<int>(i);
    }
  }
  if (best >= 0) return best;
  // An empty rectangle overlaps nothing either: it is judged by distance too.
  uint64_t bestGap = UINT64_MAX;
  for (size_t i = 0; i < monitors.size(); ++i) {
    uint64_t g = GapSquared(rect, monitors[i].Bounds);
    if (g < bestGap) {
      bestGap = g;
      best = static_cast<int>(i);
    }
  }
  return best;
}

TScreenRect WorkAreaOf(const TScreenRect& rect, const std::vector<TMonitorArea>& monitors,
                       const TScreenRect& fallback) {
  int i = MonitorOfRect(rect, monitors);
  return i < 0 || Empty(monitors[static_cast<size_t>(i)].WorkArea) ? fallback : monitors[static_cast<size_t>(i)].WorkArea;
}

bool KeepOnScreen(TScreenRect& rect, const std::vector<TMonitorArea>& monitors) {
  const TScreenRect* nearest = nullptr;
  uint64_t bestGap = UINT64_MAX;
  for (const TMonitorArea& m : monitors) {
    if (Empty(m.WorkArea)) continue;
    if (RectsMeet(rect, m.WorkArea)) return false;
    uint64_t g = GapSquared(rect, m.WorkArea);
    if (g < bestGap) {
      bestGap = g;
      nearest = &m.WorkArea;
    }
  }
  if (!nearest) return false;
  const int64_t w = int64_t(rect.Right) - rect.Left, h = int64_t(rect.Bottom) - rect.Top;
  const int64_t x = PullInside(rect.Left, w, nearest->Left, nearest->Right);
  const int64_t y = PullInside(rect.Top, h, nearest->Top, nearest->Bottom);
  rect = TScreenRect{static_cast<int32_t>(x), static_cast<int32_t>(y), static_cast<int32_t>(x + w),
                     static_cast<int32_t>(y + h)};
  return true;
}
