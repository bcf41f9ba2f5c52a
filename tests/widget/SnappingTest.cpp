#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "ui/ScreenGeometry.h"
#include "widget/Snapping.h"

namespace {
constexpr int32_t W = 79, H = 74;
const TSnapRect kScreen{0, 0, 1280, 994};  // a work area with a 30 px taskbar below
TSnapRect WidgetAt(int32_t left, int32_t top) { return {left, top, left + W, top + H}; }

// Two layouts: a 150 % laptop with a 100 % monitor to its left at negative
// coordinates; a 200 % monitor above the primary one, its taskbar on the left.
const std::vector<TMonitorArea> kLeftPair{{{0, 0, 1920, 1080}, {0, 0, 1920, 1040}, 144},
                                          {{-1280, 56, 0, 1080}, {-1280, 56, 0, 1080}, 96}};
const std::vector<TMonitorArea> kStacked{{{0, 0, 1600, 900}, {0, 0, 1600, 860}, 120},
                                         {{-400, -2160, 3440, 0}, {-340, -2160, 3440, 0}, 192}};
}  // namespace

// Edges are pulled onto the neighbours' edges, then onto the work area of the
// monitor the widget is moving onto, which wins; the snap distance is that of
// the widget's scale. Without a layout the work area is kScreen.
TEST(Snapping, UsesTheWorkAreaOfTheMonitorUnderTheWidgetAndItsNeighboursEdges) {
  const TSnapRect other = WidgetAt(400, 300);
  const int32_t bottom = kScreen.Bottom - H;  // resting on the work area's bottom
  const struct {
    const char* What;
    int32_t X, Y;
    std::vector<TSnapRect> Others;
    int32_t WantX, WantY;
    const std::vector<TMonitorArea>* Layout = nullptr;
    int32_t W = ::W, H = ::H, Distance = SNAP_DISTANCE;
  } cases[] = {
      {"left edge 7 px away still snaps", 486, 300, {other}, 479, 300},
      {"left edge 8 px away does not snap", 487, 300, {other}, 487, 300},
      {"bottom 3 px above the other's top", 400, 300 - H - 3, {other}, 400, 300 - H},
      {"top 6 px below the other's bottom", 400, 380, {other}, 400, 374},
      {"lefts nearly level align, however far apart vertically", 397, 800, {other}, 400, 800},
      {"overlapping by 7 px on the right still snaps to the outside", 472, 300, {other}, 479, 300},
      {"the work area wins over a neighbour", 600, bottom - 3, {{700, 100, 779, kScreen.Bottom - 5}}, 600, bottom},
      {"partly off the right edge", kScreen.Right - W + 6, 500, {}, kScreen.Right - W, 500},
      // The own top lands on the thin neighbour's bottom, then finds its top 4 px away.
      {"later tests see earlier adjustments", 500, 106, {{0, 100, 79, 104}}, 500, 100},
      {"far off-screen positions do not overflow", INT32_MIN + 3, INT32_MAX - 10,
       {WidgetAt(INT32_MAX - 100, INT32_MIN)}, INT32_MIN + 3, INT32_MAX - 10},
      {"left monitor's left edge, at negative x", -1275, 500, {}, -1280, 500, &kLeftPair},
      {"left monitor's top, which the primary does not have", -600, 60, {}, -600, 56, &kLeftPair},
      {"primary's bottom at 150 %, 11 px away", 400, 1040 - 111 - 11, {}, 400, 1040 - 111, &kLeftPair, 119, 111, 12},
      {"top monitor's bottom edge meets the primary's top", 800, -148 - 3, {}, 800, -148, &kStacked, 158, 148, 16},
  };
  for (const auto& c : cases) {
    const TScreenRect work = c.Layout ? WorkAreaOf({c.X, c.Y, c.X + c.W, c.Y + c.H}, *c.Layout, kScreen) : kScreen;
    int32_t x = c.X, y = c.Y;
    SnapPosition(x, y, c.W, c.H, c.Others, work, c.Distance);
    EXPECT_EQ(x, c.WantX) << c.What;
    EXPECT_EQ(y, c.WantY) << c.What;
  }
}

TEST(WidgetBoard, HiddenAndOwnEntriesAttractNothing) {
  TWidgetBoard board;
  int a = 0, b = 0, c = 0;
  auto lefts = [&](const void* self) {
    std::vector<int32_t> out;
    for (const TSnapRect& r : board.VisibleOthers(self)) out.push_back(r.Left);
    return out;
  };
  board.Publish(&a, WidgetAt(0, 0), true);
  board.Publish(&b, WidgetAt(100, 0), false);
  board.Publish(&c, WidgetAt(200, 0), true);
  EXPECT_EQ(lefts(&a), (std::vector<int32_t>{200}));
  board.Publish(&b, WidgetAt(100, 0), true);  // shown again: keeps its place in the order
  EXPECT_EQ(lefts(&c), (std::vector<int32_t>{0, 100}));
  board.Remove(&a);
  EXPECT_EQ(lefts(&c), (std::vector<int32_t>{100}));
}

TEST(WidgetBoard, NeighboursComingAndGoingWhileOneSnaps) {
  TWidgetBoard board;
  int self = 0;
  board.Publish(&self, WidgetAt(0, 0), true);
  std::atomic<bool> stop{false};
  std::thread churn([&] {
    std::vector<int> ids(16);
    for (int round = 0; round < 2000; ++round) {
      for (auto& id : ids) board.Publish(&id, WidgetAt(round % 500, 0), round % 3 != 0);
      for (auto& id : ids) board.Remove(&id);
    }
    stop = true;
  });
  while (!stop) {
    int32_t x = 10, y = 10;
    const auto others = board.VisibleOthers(&self);
    ASSERT_LE(others.size(), 16u);
    SnapPosition(x, y, W, H, others, kScreen);
  }
  churn.join();
  EXPECT_TRUE(board.VisibleOthers(&self).empty());
}

