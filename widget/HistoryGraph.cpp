#include "widget/HistoryGraph.h"

#include <algorithm>

namespace {
// The smallest of 1, 2 and 5 times a power of ten that is at least n, so the
// scale reads as a round number.
int32_t RoundTop(int32_t n) {
  if (n < 1) return 1;
  for (int64_t power = 1;; power *= 10)
    for (int64_t step : {1, 2, 5})
      if (step * power >= n) return static_cast<int32_t>(std::min<int64_t>(step * power, INT32_MAX));
}

int64_t FloorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }
}  // namespace

TGraphPlot PlotSeries(const std::vector<THistorySample>& samples, int64_t from, int64_t to, const TScreenRect& box,
                      int64_t markStep, int32_t localOffset, int64_t breakAfter) {
  TGraphPlot plot;
  const int64_t span = std::max<int64_t>(to - from, 1);
  const int64_t width = std::max(box.Right - box.Left - 1, 0), height = std::max(box.Bottom - box.Top - 1, 0);
  for (const THistorySample& s : samples) {
    if (s.Time < from || s.Time > to || s.Count < 0) continue;
    plot.Lowest = plot.Lowest < 0 ? s.Count : std::min(plot.Lowest, s.Count);
    plot.Highest = std::max(plot.Highest, s.Count);
  }
  if (!samples.empty() && samples.back().Time >= from && samples.back().Time <= to)
    plot.Current = samples.back().Count;
  plot.Top = RoundTop(plot.Highest);

  bool open = false;
  int64_t last = 0;
  for (const THistorySample& s : samples) {
    if (s.Time < from || s.Time > to) continue;
    if (s.Count < 0) {
      open = false;
      continue;
    }
    if (!open || s.Time - last > breakAfter) plot.Runs.emplace_back();
    open = true;
    last = s.Time;
    const int32_t x = static_cast<int32_t>(box.Left + (s.Time - from) * width / span);
    const int32_t y = static_cast<int32_t>(box.Bottom - 1 - int64_t{s.Count} * height / plot.Top);
    plot.Runs.back().push_back(TGraphPoint{x, y});
  }

  if (markStep > 0)
    for (int64_t local = (FloorDiv(from + localOffset - 1, markStep) + 1) * markStep; local - localOffset <= to;
         local += markStep) {
      const int64_t ofDay = ((local % 86400) + 86400) % 86400;
      plot.Marks.push_back(TGraphMark{static_cast<int32_t>(box.Left + (local - localOffset - from) * width / span),
                                      static_cast<int32_t>(ofDay / 3600), static_cast<int32_t>(ofDay % 3600 / 60)});
    }
  return plot;
}

std::vector<THistorySample> HourSeries(const TTrackerHistory& history) {
  return std::vector<THistorySample>(history.Recent().begin(), history.Recent().end());
}

std::vector<THistorySample> DaySeries(const TTrackerHistory& history) {
  std::vector<THistorySample> series;
  series.reserve(history.Minutes().size());
  for (const THistoryMinute& m : history.Minutes()) series.push_back(THistorySample{m.Minute * 60, m.Count});
  return series;
}

TScreenRect PlacePopup(const TScreenRect& widget, int32_t width, int32_t height, const TScreenRect& work,
                       int32_t gap) {
  auto clamp = [](int32_t start, int32_t size, int32_t low, int32_t high) {
    return std::max(low, std::min(start, high - size));
  };
  const int32_t top = clamp(widget.Top, height, work.Top, work.Bottom);
  const int32_t left = clamp(widget.Left, width, work.Left, work.Right);
  struct TSide {
    int32_t Room;  // free space on that side, across the way the popup sits
    TScreenRect Rect;
  };
  const TSide sides[] = {
      {work.Right - widget.Right - gap, {widget.Right + gap, top, widget.Right + gap + width, top + height}},
      {widget.Left - gap - work.Left, {widget.Left - gap - width, top, widget.Left - gap, top + height}},
      {work.Bottom - widget.Bottom - gap, {left, widget.Bottom + gap, left + width, widget.Bottom + gap + height}},
      {widget.Top - gap - work.Top, {left, widget.Top - gap - height, left + width, widget.Top - gap}},
  };
  // A side whose place lies wholly in the work area has the room for it.
  for (const TSide& side : sides)
    if (side.Rect.Top >= work.Top && side.Rect.Bottom <= work.Bottom && side.Rect.Left >= work.Left &&
        side.Rect.Right <= work.Right)
      return side.Rect;
  int best = 0;
  for (int i = 1; i < 4; ++i)
    if (sides[i].Room > sides[best].Room) best = i;
  TScreenRect r = sides[best].Rect;
  const int32_t x = clamp(r.Left, width, work.Left, work.Right), y = clamp(r.Top, height, work.Top, work.Bottom);
  return TScreenRect{x, y, x + width, y + height};
}
