// The face at the screen's DPI, seen from outside. Runs in the test prefix
// (96 DPI: today's face) and again in a scratch prefix at 144 DPI.
#include <algorithm>
#include <functional>

#include "tests/support/WidgetTestSupport.h"

using namespace widgettest;
using uitest::PixelAt;
using uitest::ScreenPixel;

namespace {
uint8_t Least(uint32_t pixel) { return std::min({pixel & 0xFF, (pixel >> 8) & 0xFF, (pixel >> 16) & 0xFF}); }

// Rows between the first and the last one holding a pixel that Ink accepts.
int InkHeight(int width, int height, const std::function<bool(int, int)>& ink) {
  int first = -1, last = -1;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      if (ink(x, y)) {
        if (first < 0) first = y;
        last = y;
        break;
      }
  return first < 0 ? 0 : last - first + 1;
}
}  // namespace

// Monitors are one under Wine: a widget is put where no monitor shows it and
// the platform's notices are sent as a monitor change would send them.
TEST_F(WidgetTest, FaceFollowsTheScreenDpiSharplyAndWidgetsNoMonitorShowsComeBack) {
  const uint32_t dpi = SystemDpi();
  const RECT work = WorkArea();
  TTrackerSettings s = Quiet(u"dpi", work.right + 3000, 300);
  s.Title = u"";  // the glass shows undisturbed in the title strip
  s.Count = 88;
  s.Previous = 88;
  TWidgetMainForm* w = Start(s, 60000);
  EXPECT_EQ(Read<uint32_t>(w, [w] { return w->Dpi(); }), dpi);
  EXPECT_EQ(BoundsOf(w).right, work.right) << "off screen at start";
  EXPECT_EQ(BoundsOf(w).top, 300);

  const RECT r = BoundsOf(w);
  EXPECT_EQ(r.right - r.left, ScaleToDpi(WIDGET_WIDTH, dpi));
  EXPECT_EQ(r.bottom - r.top, ScaleToDpi(WIDGET_HEIGHT, dpi));
  // Above 100 % the double-size picture is the one drawn.
  EXPECT_EQ(Read<uint32_t>(w, [w] { return w->Face().OverlayImage->Picture()->Width(); }),
            dpi > BASE_DPI ? 2u * WIDGET_WIDTH : uint32_t{WIDGET_WIDTH});

  // The count's white text on the screen, against the same text drawn at 96 DPI.
  TWidgetCanvas reference(WIDGET_WIDTH, 29);
  TWidgetFont* font = reference.Font();
  font->SetName("Trebuchet MS");
  font->SetSize(18);
  font->SetColor(0xFFFFFFFF);
  font->Format()->SetAlignment(wsaCenter);
  font->Format()->SetLineAlignment(wsaCenter);
  reference.Clear();
  reference.DrawText(u"88", RECT{0, 0, WIDGET_WIDTH, 29});
  const int plain = InkHeight(WIDGET_WIDTH, 29, [&](int x, int y) { return PixelAt(reference.Bitmap(), x, y) >> 24 >= 200; });
  const int top = r.top + ScaleToDpi(25, dpi), rows = ScaleToDpi(54, dpi) - ScaleToDpi(25, dpi);
  const int onScreen = InkHeight(r.right - r.left, rows, [&](int x, int y) { return Least(ScreenPixel(r.left + x, top + y)) >= 200; });
  ASSERT_GT(plain, 0);
  EXPECT_NEAR(double(onScreen) / plain, dpi / 96.0, 0.2) << onScreen << " rows of text on the screen, " << plain << " at 96 DPI";

  // The glass fades row by row: a stretched picture would repeat rows.
  const int x = r.left + ScaleToDpi(39, dpi);
  int repeats = 0;
  for (int y = ScaleToDpi(3, dpi); y < ScaleToDpi(17, dpi); ++y)
    repeats += ScreenPixel(x, r.top + y) == ScreenPixel(x, r.top + y + 1);
  EXPECT_LE(repeats, 1) << "rows of the glass repeated as in a nearest-neighbour stretch";

  const int height = ScaleToDpi(WIDGET_HEIGHT, dpi);
  struct Case {
    const char* What;
    int32_t X, Y;
    UINT Msg;
    WPARAM WParam;
    int32_t WantX, WantY;
  } cases[] = {
      {"display change", work.left - 3000, work.top - 3000, WM_DISPLAYCHANGE, 32, work.left, work.top},
      {"work-area change", work.left + 200, work.bottom + 500, WM_SETTINGCHANGE, SPI_SETWORKAREA, work.left + 200,
       work.bottom - height},
      {"another setting moves nothing", work.left + 200, work.bottom + 500, WM_SETTINGCHANGE, SPI_SETDESKWALLPAPER,
       work.left + 200, work.bottom + 500},
      {"a widget still in part visible stays", work.right - 10, 300, WM_DISPLAYCHANGE, 32, work.right - 10, 300},
  };
  for (const Case& c : cases) {
    w->Invoke([&] { w->MoveTo(c.X, c.Y); });
    SendMessageW(w->WindowHandle(), c.Msg, c.WParam, 0);
    EXPECT_EQ(BoundsOf(w).left, c.WantX) << c.What;
    EXPECT_EQ(BoundsOf(w).top, c.WantY) << c.What;
  }

  // The snap distance grows with the face: 10 pixels catch at 150 %, not at 100 %.
  w->Invoke([&] { w->MoveTo(work.left + 300, work.bottom - height - 10); });
  const int snapped = work.bottom - height;
  EXPECT_EQ(BoundsOf(w).top, ScaleToDpi(SNAP_DISTANCE, dpi) > 10 ? snapped : snapped - 10);
}
