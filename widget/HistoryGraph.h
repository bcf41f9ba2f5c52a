#pragma once
// What the history popup draws, without a window: a series scaled into a box,
// broken at gaps, with its lowest, highest and current counts and the time
// marks under it; and where the popup goes beside its widget.
#include <cstdint>
#include <string>
#include <vector>

#include "ui/ScreenGeometry.h"
#include "tracker/History.h"

struct TGraphPoint {
  int32_t X, Y;
};

struct TGraphMark {
  int32_t X;
  int32_t Hour, Minute;  // local time
};

struct TGraphPlot {
  std::vector<std::vector<TGraphPoint>> Runs;  // one polyline per stretch without a gap
  int32_t Lowest = HISTORY_GAP, Highest = HISTORY_GAP, Current = HISTORY_GAP;
  int32_t Top = 1;  // the count at the box's top edge
  std::vector<TGraphMark> Marks;
};

// samples in time order; the box's left edge is from, its right edge to (UTC
// seconds). Counts run from 0 at the bottom to a rounded top above the highest.
// Marks fall every markStep seconds of local time (UTC + localOffset seconds).
// A run breaks at a failed poll and where samples lie more than breakAfter
// seconds apart (the program was not running); a lone sample is a run of one.
TGraphPlot PlotSeries(const std::vector<THistorySample>& samples, int64_t from, int64_t to, const TScreenRect& box,
                      int64_t markStep, int32_t localOffset, int64_t breakAfter);
// The recent hour as polled, and the day's minutes, as series for PlotSeries.
std::vector<THistorySample> HourSeries(const TTrackerHistory& history);
std::vector<THistorySample> DaySeries(const TTrackerHistory& history);

// Where a popup of width x height goes: to the right of the widget, else to
// its left, below or above, whichever first fits the work area whole, moved
// along that side to stay inside it. Where no side fits, the roomiest side,
// kept inside the work area as far as its size allows. Never over the widget
// while any side has room for it.
TScreenRect PlacePopup(const TScreenRect& widget, int32_t width, int32_t height, const TScreenRect& work,
                       int32_t gap);
