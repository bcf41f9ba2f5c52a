#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "tests/support/UiTestSupport.h"

using namespace uitest;
using namespace Gdiplus::DllExports;

TEST(ScaleAlpha, DividesBy256AndLeavesFormatsWithoutAlpha) {
  constexpr Gdiplus::PixelFormat kArgb = PixelFormat32bppARGB, kRgb = PixelFormat24bppRGB;  // no alpha to scale
  struct Row { Gdiplus::PixelFormat format; uint32_t before; uint8_t opacity; uint32_t after; };
  for (const Row& row : {Row{kArgb, 0xFF102030, 255, 0xFE102030}, Row{kArgb, 0xFF102030, 0, 0x00102030},
                         Row{kArgb, 0x80102030, 128, 0x40102030}, Row{kArgb, 0x01102030, 255, 0x00102030},
                         Row{kRgb, 0xFF405060, 0, 0xFF405060}}) {
    TGpBitmap bitmap;
    GdipCreateBitmapFromScan0(3, 2, 0, row.format, nullptr, bitmap.Put());
    GdipBitmapSetPixel(bitmap.Get(), 2, 1, row.before);
    ScaleAlpha(bitmap.Get(), row.opacity);
    EXPECT_EQ(PixelAt(bitmap.Get(), 2, 1), row.after) << std::hex << row.before << " x " << int(row.opacity);
  }
  ScaleAlpha(nullptr, 0);
}

TEST(CanvasDrawing, RectanglesEndBeforeRightAndBottomAndResizingClears) {
  TWidgetCanvas canvas(10, 10);
  canvas.Brush()->SetColor(0xFF00FF00);
  canvas.FillRect(RECT{2, 2, 5, 5});
  EXPECT_EQ(PixelAt(canvas.Bitmap(), 4, 4), 0xFF00FF00u);
  EXPECT_EQ(PixelAt(canvas.Bitmap(), 5, 5), 0u);
  canvas.SetSize(10, 10);  // the same size still gives a new, transparent surface
  EXPECT_EQ(PixelAt(canvas.Bitmap(), 4, 4), 0u);
  TWidgetCanvas empty(0, 0);  // a control before it has a size: nothing to draw on, nothing fails
  empty.DrawText(u"x", RECT{0, 0, 3, 3});
  EXPECT_EQ(empty.Bitmap(), nullptr);
}

// Under Wine without Windows' fonts the platform has no generic sans-serif
// either: the face's texts once vanished. Any installed family must do.
TEST(CanvasText, DrawsInTheFontColourAlsoForAMissingFamily) {
  if (!GenericSansSerifFamily()) GTEST_SKIP() << "no font family for GDI+ on this machine";
  TWidgetCanvas canvas(79, 29);
  canvas.Font()->SetColor(0xFFFFFFFF);
  canvas.Font()->SetName("No Such Family 42");
  canvas.Font()->SetSize(18);
  canvas.DrawText(u"", RECT{0, 0, 79, 29});
  canvas.DrawText(u"123", RECT{0, 0, 79, 29});
  std::vector<uint32_t> inked;  // the colours of the mostly opaque pixels
  for (int i = 0; i < 79 * 29; ++i)
    if (uint32_t p = PixelAt(canvas.Bitmap(), i % 79, i / 79); p >> 24 > 128) inked.push_back(p & 0xFFFFFF);
  EXPECT_GT(inked.size(), 20u);
  EXPECT_EQ(std::count(inked.begin(), inked.end(), 0xFFFFFFu), std::ptrdiff_t(inked.size()));
}

// Images of one resource share their pixels; a tint must never reach another image.
TEST(WidgetImage, ResourcesDecodeTintsKeepAlphaAndReachNoOtherImageAndMissingOnesAreEmpty) {
  TWidgetImage plain(u"RED5X3", true), green(u"RED5X3", true);
  EXPECT_EQ((std::vector<uint32_t>{plain.Width(), plain.Height()}), (std::vector<uint32_t>{5, 3}));
  EXPECT_EQ(PixelAt(plain.Handle(), 4, 2), 0x800000FFu);
  green.Tint(0xFF00FF00);
  EXPECT_EQ(PixelAt(green.Handle(), 4, 2), 0x8000FF00u);
  EXPECT_EQ(PixelAt(plain.Handle(), 0, 0), 0xFFFF0000u);
  green.Tint(0xFF0000FF);
  EXPECT_EQ(PixelAt(green.Handle(), 4, 2), 0x800000FFu);
  TWidgetImage resource(u"NO_SUCH_PNG", true), file(u"C:\\no\\file.png", false);
  EXPECT_EQ(resource.Handle(), file.Handle());
  EXPECT_EQ(resource.Width() + resource.Height() + file.Width(), 0u);
}
