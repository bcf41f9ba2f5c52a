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

TEST(Snapping, PullsEdgesTogetherOnlyWhenCloserThanEightPixels) {
  const TSnapRect other = WidgetAt(400, 300);
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
  };
  for (const SnapCase& c : cases) {
    int32_t x = c.X, y = c.Y;
    SnapPosition(x, y, W, H, c.Others, kScreen);
    EXPECT_EQ(x, c.WantX) << c.What;
    EXPECT_EQ(y, c.WantY) << c.What;
  }
}

TEST(Snapping, WorkAreaComesLastAndWins) {
  int32_t x = 600, y = kScreen.Bottom - H - 3;  // 3 px above the work area's bottom
  SnapPosition(x, y, W, H, {}, kScreen);
  EXPECT_EQ(y, kScreen.Bottom - H);

  // A neighbour pulls the bottom to 990 - 74, but the work-area bottom 5 px further down wins.
  const TSnapRect neighbour{700, 100, 779, kScreen.Bottom - 5};
  x = 600;
  y = kScreen.Bottom - 5 - H + 2;
  SnapPosition(x, y, W, H, {neighbour}, kScreen);
  EXPECT_EQ(y, kScreen.Bottom - H);

  x = 4;
  y = 3;
  SnapPosition(x, y, W, H, {}, kScreen);
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 0);
  x = kScreen.Right - W + 6;  // partly off the right edge
  SnapPosition(x, y, W, H, {}, kScreen);
  EXPECT_EQ(x, kScreen.Right - W);
}

TEST(Snapping, LaterTestsSeeEarlierAdjustments) {
  // Own top lands on the thin neighbour's bottom, and is then 4 px from its top.
  const TSnapRect thin{0, 100, 79, 104};
  int32_t x = 500, y = 106;
  SnapPosition(x, y, W, H, {thin}, {0, 0, 2000, 2000});
  EXPECT_EQ(y, 100);  // test 3 moved it to 104, test 4 then found the top 4 px away
}

TEST(Snapping, FarOffScreenPositionsDoNotOverflow) {
  int32_t x = INT32_MIN + 3, y = INT32_MAX - 10;
  SnapPosition(x, y, W, H, {WidgetAt(INT32_MAX - 100, INT32_MIN)}, kScreen);
  EXPECT_EQ(x, INT32_MIN + 3);
  EXPECT_EQ(y, INT32_MAX - 10);
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
