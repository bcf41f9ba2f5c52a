#include <gtest/gtest.h>

#include <thread>

#include "UiTestSupport.h"

using namespace uitest;
using namespace Gdiplus::DllExports;

TEST(ScaleAlpha, DividesBy256AndScalesTheSourceItself) {
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
  TWidgetCanvas canvas(4, 4), source(4, 4);
  source.Brush()->SetColor(0xC8FF0000);
  source.FillRect(RECT{0, 0, 4, 4});
  canvas.DrawImageAlpha(source.Bitmap(), 0, 0, 4, 4, 128);
  canvas.DrawImageAlpha(source.Bitmap(), 0, 0, 4, 4, 128);
  EXPECT_EQ(PixelAt(source.Bitmap(), 1, 1) >> 24, 50u);  // a quarter of 200
}

TEST(CanvasDrawing, RectanglesEndBeforeRightAndBottomAndResizingClears) {
  TWidgetCanvas canvas(10, 10);
  canvas.Brush()->SetColor(0xFF00FF00);
  canvas.FillRect(RECT{2, 2, 5, 5});
  EXPECT_EQ(PixelAt(canvas.Bitmap(), 4, 4), 0xFF00FF00u);
  EXPECT_EQ(PixelAt(canvas.Bitmap(), 5, 5), 0u);
  canvas.Pen()->SetColor(0xFF0000FF);
  canvas.DrawRect(RECT{0, 0, 10, 10});
  EXPECT_EQ(PixelAt(canvas.Bitmap(), 0, 0), 0xFF0000FFu);
  EXPECT_EQ(PixelAt(canvas.Bitmap(), 5, 5), 0u);
  canvas.SetSize(10, 10);  // the same size still gives a new, transparent surface
  EXPECT_EQ(PixelAt(canvas.Bitmap(), 0, 0), 0u);
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
  int inked = 0;
  for (int y = 0; y < 29; ++y)
    for (int x = 0; x < 79; ++x) {
      uint32_t p = PixelAt(canvas.Bitmap(), x, y);
      if (p >> 24 <= 128) continue;
      ++inked;
      EXPECT_EQ(p & 0xFFFFFF, 0xFFFFFFu) << x << "," << y;
    }
  EXPECT_GT(inked, 20);
}

TEST(WidgetImage, ResourcesDecodeAndMissingOnesGiveEmptyImages) {
  TWidgetImage image(u"RED5X3", true);
  EXPECT_EQ(image.Width(), 5u);
  EXPECT_EQ(image.Height(), 3u);
  EXPECT_EQ(PixelAt(image.Handle(), 0, 0), 0xFFFF0000u);
  EXPECT_EQ(PixelAt(image.Handle(), 4, 2), 0x800000FFu);
  TWidgetImage resource(u"NO_SUCH_PNG", true), file(u"C:\\no\\file.png", false);
  EXPECT_EQ(resource.Handle(), file.Handle());
  EXPECT_EQ(resource.Width() + resource.Height() + file.Width(), 0u);
  TMemoryStream stream;
  stream.Write("xyz", 3);
  LoadResourceStream(u"PNG", u"NO_SUCH_PNG", &stream);
  EXPECT_EQ(stream.Size(), 3);
  EXPECT_EQ(stream.Position(), 3);
}

// Images of one resource share their pixels across threads; a tint must
// never reach another image, and images tinted alike share the tinted pixels.
TEST(WidgetImage, TintKeepsAlphaAndReachesNoOtherImage) {
  TWidgetImage plain(u"RED5X3", true), green(u"RED5X3", true);
  green.Tint(0xFF00FF00);
  EXPECT_EQ(PixelAt(green.Handle(), 4, 2), 0x8000FF00u);
  EXPECT_EQ(PixelAt(plain.Handle(), 0, 0), 0xFFFF0000u);
  uint32_t seen[2] = {};
  std::thread([&] {
    TWidgetImage other(u"RED5X3", true), greenToo(u"RED5X3", true);
    greenToo.Tint(0xFF00FF00);
    seen[0] = PixelAt(other.Handle(), 0, 0);
    seen[1] = PixelAt(greenToo.Handle(), 0, 0);
  }).join();
  EXPECT_EQ(seen[0], 0xFFFF0000u);
  EXPECT_EQ(seen[1], 0xFF00FF00u);
  green.Tint(0xFF0000FF);
  EXPECT_EQ(PixelAt(green.Handle(), 4, 2), 0x800000FFu);
}
