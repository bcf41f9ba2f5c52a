#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "widget/Snapping.h"

namespace {
constexpr int32_t W = 79, H = 74;
const TSnapRect kScreen{0, 0, 1280, 994};  // a work area with a 30 px taskbar below

struct SnapCase {
  const char* What;
  int32_t X, Y;
  std::vector<TSnapRect> Others;
  int32_t WantX, WantY;
};

TSnapRect WidgetAt(int32_t left, int32_t top) { return {left, top, left + W, top + H}; }
}  // namespace

TEST(Snapping, PullsEdgesOntoNeighboursThenTheWorkArea) {
  const TSnapRect other = WidgetAt(400, 300);
  const int32_t bottom = kScreen.Bottom - H;  // resting on the work area's bottom
  const SnapCase cases[] = {
      {"left edge 5 px right of the other's right edge", 484, 300, {other}, 479, 300},
      {"left edge 7 px away still snaps", 486, 300, {other}, 479, 300},
      {"left edge 8 px away does not snap", 487, 300, {other}, 487, 300},
      {"right edge 5 px left of the other's left edge", 400 - W - 5, 300, {other}, 400 - W, 300},
      {"bottom 3 px above the other's top", 400, 300 - H - 3, {other}, 400, 300 - H},
      {"top 6 px below the other's bottom", 400, 380, {other}, 400, 374},
      {"tops nearly level align", 600, 304, {other}, 600, 300},
      {"lefts nearly level align, however far apart vertically", 397, 800, {other}, 400, 800},
      {"overlapping by 7 px on the right still snaps to the outside", 472, 300, {other}, 479, 300},
      {"3 px above the work area's bottom", 600, bottom - 3, {}, 600, bottom},
      {"the work area wins over a neighbour", 600, bottom - 3, {{700, 100, 779, kScreen.Bottom - 5}}, 600, bottom},
      {"near the top left corner", 4, 3, {}, 0, 0},
      {"partly off the right edge", kScreen.Right - W + 6, 500, {}, kScreen.Right - W, 500},
      // The own top lands on the thin neighbour's bottom, then finds its top 4 px away.
      {"later tests see earlier adjustments", 500, 106, {{0, 100, 79, 104}}, 500, 100},
      {"far off-screen positions do not overflow", INT32_MIN + 3, INT32_MAX - 10,
       {WidgetAt(INT32_MAX - 100, INT32_MIN)}, INT32_MIN + 3, INT32_MAX - 10},
  };
  for (const SnapCase& c : cases) {
    int32_t x = c.X, y = c.Y;
    SnapPosition(x, y, W, H, c.Others, kScreen);
    EXPECT_EQ(x, c.WantX) << c.What;
    EXPECT_EQ(y, c.WantY) << c.What;
  }
}

TEST(WidgetBoard, HiddenAndOwnEntriesAttractNothing) {
  TWidgetBoard board;
  int a = 0, b = 0, c = 0;
  board.Publish(&a, WidgetAt(0, 0), true);
  board.Publish(&b, WidgetAt(100, 0), false);
  board.Publish(&c, WidgetAt(200, 0), true);
  auto others = board.VisibleOthers(&a);
  ASSERT_EQ(others.size(), 1u);
  EXPECT_EQ(others[0].Left, 200);

  board.Publish(&b, WidgetAt(100, 0), true);  // shown again: keeps its place in the order
  others = board.VisibleOthers(&c);
  ASSERT_EQ(others.size(), 2u);
  EXPECT_EQ(others[0].Left, 0);
  EXPECT_EQ(others[1].Left, 100);

  board.Remove(&a);
  EXPECT_EQ(board.VisibleOthers(&c).size(), 1u);
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
  size_t seen = 0;
  while (!stop) {
    int32_t x = 10, y = 10;
    auto others = board.VisibleOthers(&self);
    seen = std::max(seen, others.size());
    SnapPosition(x, y, W, H, others, kScreen);
  }
  churn.join();
  EXPECT_LE(seen, 16u);
  EXPECT_TRUE(board.VisibleOthers(&self).empty());
}
