// The history graph's geometry: scale, breaks, marks, and where the popup goes.
#include <gtest/gtest.h>

#include <tuple>

#include "widget/HistoryGraph.h"

namespace {

// A 101 x 51 box at the origin: x is seconds / 36 over an hour, y is 50 - count / 2 at a top of 100.
constexpr TScreenRect kBox{0, 0, 101, 51};

TEST(HistoryGraph, ScalesToARoundTopAndBreaksAtGapsAndStops) {
  const std::vector<THistorySample> series = {
      {0, 10}, {360, 100}, {720, HISTORY_GAP}, {1080, 40}, {1440, 60}, {3240, 70}, {3600, 64}, {3700, 999}};
  const TGraphPlot plot = PlotSeries(series, 0, 3600, kBox, 900, 0, 600);
  EXPECT_EQ(plot.Top, 100);
  EXPECT_EQ(plot.Lowest, 10);
  EXPECT_EQ(plot.Highest, 100);  // 999 lies after the box's end
  ASSERT_EQ(plot.Runs.size(), 3u);  // the gap, then 1800 s without a poll
  EXPECT_EQ(plot.Runs[0].size(), 2u);
  EXPECT_EQ(plot.Runs[0][0].X, 0);
  EXPECT_EQ(plot.Runs[0][0].Y, 45);
  EXPECT_EQ(plot.Runs[0][1].X, 10);
  EXPECT_EQ(plot.Runs[0][1].Y, 0);
  EXPECT_EQ(plot.Runs[2].back().X, 100);
  ASSERT_EQ(plot.Marks.size(), 5u);  // 0:00, 0:15 ... 1:00, the right edge included
  EXPECT_EQ(plot.Marks[1].X, 25);
  EXPECT_EQ(plot.Marks[1].Minute, 15);

  // Tops are 1, 2 or 5 times a power of ten, and never 0, which would divide.
  for (const auto& [highest, top] : {std::pair{0, 1}, {7, 10}, {150, 200}})
    EXPECT_EQ(PlotSeries({{10, highest}}, 0, 3600, kBox, 0, 0, 600).Top, top) << highest;
  // Nothing in the window; the marks follow local time (UTC+1:30 here).
  const TGraphPlot empty = PlotSeries({{-10, 5}}, 0, 3600, kBox, 3600, 5400, 600);
  EXPECT_TRUE(empty.Runs.empty());
  EXPECT_EQ(empty.Highest, HISTORY_GAP);
  ASSERT_EQ(empty.Marks.size(), 1u);
  EXPECT_EQ(empty.Marks[0].Hour, 2);
  EXPECT_EQ(empty.Marks[0].X, 50);
}

TEST(HistoryGraph, PopupGoesBesideTheWidgetInsideTheWorkArea) {
  const TScreenRect work{0, 0, 1000, 700};
  struct {
    TScreenRect widget, want;
  } const cases[] = {
      {{100, 100, 180, 175}, {186, 100, 446, 288}},   // right
      {{900, 100, 980, 175}, {634, 100, 894, 288}},   // left, at the right edge
      {{900, 600, 980, 675}, {634, 512, 894, 700}},   // left, pushed up from the bottom
      {{0, 100, 1000, 175}, {0, 181, 260, 369}},      // below a full-width widget
      {{0, 500, 1000, 600}, {0, 306, 260, 494}},      // above, with no room below
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.widget.Left);
    const TScreenRect got = PlacePopup(c.widget, 260, 188, work, 6);
    EXPECT_EQ(std::tie(got.Left, got.Top, got.Right, got.Bottom),
              std::tie(c.want.Left, c.want.Top, c.want.Right, c.want.Bottom));
  }
  // No side has room: kept inside the work area as far as its size allows.
  const TScreenRect tiny = PlacePopup({10, 10, 90, 85}, 260, 188, {0, 0, 200, 150}, 6);
  EXPECT_EQ(tiny.Left, 0);
  EXPECT_EQ(tiny.Top, 0);
}

}  // namespace
