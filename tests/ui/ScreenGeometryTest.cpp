#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "ui/ScreenGeometry.h"

namespace {
// Three layouts: one screen with a taskbar below; a 150 % laptop with a 100 %
// monitor to its left at negative coordinates; a 200 % monitor above the
// primary one, its taskbar on the left.
const std::vector<TMonitorArea> kSingle{{{0, 0, 1280, 1024}, {0, 0, 1280, 994}, 96}};
const std::vector<TMonitorArea> kLeftPair{{{0, 0, 1920, 1080}, {0, 0, 1920, 1040}, 144},
                                          {{-1280, 56, 0, 1080}, {-1280, 56, 0, 1080}, 96}};
const std::vector<TMonitorArea> kStacked{{{0, 0, 1600, 900}, {0, 0, 1600, 860}, 120},
                                         {{-400, -2160, 3440, 0}, {-340, -2160, 3440, 0}, 192}};

TScreenRect At(int32_t left, int32_t top, int32_t w = 79, int32_t h = 74) { return {left, top, left + w, top + h}; }
}  // namespace

TEST(ScreenGeometry, ScalesLayoutValuesRoundingToNearest) {
  struct Case { int32_t Value; uint32_t Dpi; int32_t Want; } cases[] = {
      {79, 96, 79}, {74, 96, 74}, {79, 120, 99}, {74, 120, 93}, {79, 144, 119}, {74, 144, 111},
      {79, 192, 158}, {8, 144, 12}, {1, 144, 2},  {-8, 144, -12}, {-1, 144, -2}, {0, 192, 0},
      {79, 0, 79},    {79, 5000, 79},               // nonsense DPIs lay out at 100 %
      {INT32_MAX / 4, 192, INT32_MAX / 4 * 2}};      // no overflow in between
  for (const Case& c : cases) EXPECT_EQ(ScaleToDpi(c.Value, c.Dpi), c.Want) << c.Value << " at " << c.Dpi;
  EXPECT_EQ((std::vector<float>{PointsToPixels(18, 96), PointsToPixels(18, 144)}), (std::vector<float>{24, 36}));
}

TEST(ScreenGeometry, WidgetsOffEveryWorkAreaComeBackToTheNearestEdge) {
  // Monitor: the one the rectangle is on, or nearest to.
  struct Case { const char* What; const std::vector<TMonitorArea>* Layout; TScreenRect Rect; bool Moves; TScreenRect Want;
                int Monitor; } cases[] = {
      {"one pixel inside still counts as visible", &kSingle, At(1279, 993), false, At(1279, 993), 0},
      {"below, under the taskbar", &kSingle, At(200, 994), true, At(200, 994 - 74), 0},
      {"beyond a corner", &kSingle, At(-500, -500), true, At(0, 0), 0},
      {"on the left monitor at negative x stays", &kLeftPair, At(-900, 500), false, At(-900, 500), 1},
      {"above the lower left monitor", &kLeftPair, At(-700, -100), true, At(-700, 56), 1},
      {"under the primary's taskbar", &kLeftPair, At(1000, 1045), true, At(1000, 1040 - 74), 0},
      {"straddling both, mostly primary", &kLeftPair, At(-20, 500), false, At(-20, 500), 0},
      {"off the top monitor's taskbar side", &kStacked, At(-420, -1000), true, At(-340, -1000), 1},
      {"above everything", &kStacked, At(100, -3000), true, At(100, -2160), 1},
      {"wider than the work area keeps its left edge in", &kSingle, At(2000, 10, 2000), true, At(0, 10, 2000), 0},
      {"at the ends of the coordinates", &kSingle, At(INT32_MAX - 100, INT32_MIN), true, At(1280 - 79, 0), 0},
  };
  for (const Case& c : cases) {
    TScreenRect r = c.Rect;
    EXPECT_EQ(MonitorOfRect(c.Rect, *c.Layout), c.Monitor) << c.What;
    EXPECT_EQ(KeepOnScreen(r, *c.Layout), c.Moves) << c.What;
    EXPECT_EQ((std::vector<int32_t>{r.Left, r.Top, r.Right - r.Left, r.Bottom - r.Top}),
              (std::vector<int32_t>{c.Want.Left, c.Want.Top, c.Rect.Right - c.Rect.Left, c.Rect.Bottom - c.Rect.Top}))
        << c.What;
  }
  TScreenRect r = At(5000, 5000);
  EXPECT_FALSE(KeepOnScreen(r, {})) << "no monitors reported: nothing to move to";
  EXPECT_EQ(MonitorOfRect(r, {}), -1);
}
