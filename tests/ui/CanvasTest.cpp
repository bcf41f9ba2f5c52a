#include <gtest/gtest.h>

#include "UiTestSupport.h"

using namespace uitest;
using namespace Gdiplus::DllExports;

namespace {
// Pixels drawn at more than half alpha; every one of them must have colour rgb.
int Inked(const TWidgetCanvas& canvas, uint32_t rgb) {
  int inked = 0;
  for (int y = 0; y < canvas.Height(); ++y)
    for (int x = 0; x < canvas.Width(); ++x) {
      uint32_t p = PixelAt(canvas.Bitmap(), x, y);
      if ((p >> 24) <= 128) continue;
      ++inked;
      EXPECT_EQ(p & 0x00FFFFFF, rgb) << x << "," << y;
    }
  return inked;
}
}  // namespace

TEST(ScaleAlpha, DividesBy256AndLeavesColourAlone) {
  struct Row { uint32_t before; uint8_t opacity; uint32_t after; };
  for (const Row& row : {Row{0xFF102030, 255, 0xFE102030}, Row{0xFF102030, 0, 0x00102030},
                         Row{0xFF102030, 128, 0x7F102030}, Row{0x80102030, 128, 0x40102030},
                         Row{0x01102030, 255, 0x00102030}}) {
    TGpBitmap bitmap = SolidBitmap(3, 2, row.before);
    ScaleAlpha(bitmap.Get(), row.opacity);
    EXPECT_EQ(PixelAt(bitmap.Get(), 0, 0), row.after) << std::hex << row.before << " x " << int(row.opacity);
    EXPECT_EQ(PixelAt(bitmap.Get(), 2, 1), row.after);
  }
  TGpBitmap rgb;  // no alpha channel, and no bitmap at all: left alone
  GdipCreateBitmapFromScan0(2, 2, 0, PixelFormat24bppRGB, nullptr, rgb.Put());
  GdipBitmapSetPixel(rgb.Get(), 0, 0, 0xFF405060);
  ScaleAlpha(rgb.Get(), 0);
  EXPECT_EQ(PixelAt(rgb.Get(), 0, 0), 0xFF405060u);
  ScaleAlpha(nullptr, 0);
}

TEST(CanvasDrawing, DrawImageAlphaScalesTheSourceItself) {
  TWidgetCanvas canvas(4, 4);
  TGpBitmap source = SolidBitmap(4, 4, 0xC8FF0000);  // alpha 200
  canvas.DrawImageAlpha(source.Get(), 0, 0, 4, 4, 128);
  canvas.DrawImageAlpha(source.Get(), 0, 0, 4, 4, 128);
  EXPECT_EQ(AlphaAt(source.Get(), 1, 1), 50);  // a quarter of 200
}

TEST(CanvasDrawing, FillRectEndsBeforeRightAndBottomAndDrawRectOutlines) {
  TWidgetCanvas canvas(10, 10);
  canvas.Brush()->SetColor(0xFF00FF00);
  canvas.FillRect(RECT{2, 2, 5, 5});
  EXPECT_EQ(PixelAt(canvas.Bitmap(), 2, 2), 0xFF00FF00u);
  EXPECT_EQ(PixelAt(canvas.Bitmap(), 4, 4), 0xFF00FF00u);
  EXPECT_EQ(PixelAt(canvas.Bitmap(), 5, 5), 0u);
  canvas.Clear();
  canvas.Pen()->SetColor(0xFF0000FF);
  canvas.DrawRect(RECT{0, 0, 10, 10});
  EXPECT_EQ(PixelAt(canvas.Bitmap(), 0, 0), 0xFF0000FFu);
  EXPECT_EQ(AlphaAt(canvas.Bitmap(), 5, 5), 0);
}

TEST(CanvasSurface, ClearAndSetSizeLeaveItTransparentAndZeroSizeDrawsNothing) {
  TWidgetCanvas canvas(3, 3);
  canvas.FillRect(RECT{0, 0, 3, 3});
  canvas.SetSize(3, 3);
  EXPECT_EQ(AlphaAt(canvas.Bitmap(), 1, 1), 0);
  canvas.FillRect(RECT{0, 0, 3, 3});
  canvas.Clear();
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(PixelAt(canvas.Bitmap(), x, y), 0u) << x << "," << y;

  TWidgetCanvas empty(0, 0);
  EXPECT_EQ(empty.Bitmap(), nullptr);
  empty.Clear();
  empty.FillRect(RECT{0, 0, 3, 3});
  empty.DrawText(u"x", RECT{0, 0, 3, 3});
  canvas.DrawImage(empty.Bitmap(), 0, 0, 3, 3);
}

TEST(CanvasText, DrawsInTheFontColourAndEmptyTextDrawsNothing) {
  TWidgetCanvas canvas(60, 30);
  std::string family = InstalledFamily();
  if (family.empty()) GTEST_SKIP() << "no font family for GDI+ on this machine";
  canvas.Font()->SetName(family);
  canvas.Font()->SetColor(0xFFFF0000);
  canvas.Font()->SetSize(14);
  canvas.DrawText(u"", RECT{0, 0, 60, 30});
  EXPECT_EQ(Inked(canvas, 0xFF0000), 0);
  canvas.DrawText(u"MMMM", RECT{0, 0, 60, 30});
  EXPECT_GT(Inked(canvas, 0xFF0000), 20);
}

// Under Wine without Windows' fonts the platform has no generic sans-serif
// either: the face's texts once vanished. Any installed family must do.
TEST(WidgetFont, MissingFamiliesStillDrawText) {
  if (InstalledFamily().empty()) GTEST_SKIP() << "no font family for GDI+ on this machine";
  ASSERT_NE(GenericSansSerifFamily(), nullptr);
  TWidgetCanvas canvas(79, 29);
  canvas.Font()->SetName("No Such Family 42");
  canvas.Font()->SetStyle(wfsBold | wfsItalic);
  canvas.Font()->SetSize(18);
  canvas.Font()->SetColor(0xFFFFFFFF);
  ASSERT_NE(canvas.Font()->Handle(), nullptr);
  canvas.DrawText(u"123", RECT{0, 0, 79, 29});
  EXPECT_GT(Inked(canvas, 0xFFFFFF), 20);
}

TEST(WidgetFont, OpacityKeepsTheColour) {
  TWidgetFont font;
  font.SetColor(0xFF123456);
  font.SetOpacity(128);
  EXPECT_EQ(font.Color(), 0x80123456u);
}

TEST(WidgetImage, PngResourceDecodesThroughTheAdapter) {
  TWidgetImage image(u"RED5X3", true);
  ASSERT_NE(image.Handle(), nullptr);
  EXPECT_EQ(image.Width(), 5u);
  EXPECT_EQ(image.Height(), 3u);
  EXPECT_EQ(PixelAt(image.Handle(), 0, 0), 0xFFFF0000u);
  EXPECT_EQ(PixelAt(image.Handle(), 4, 2), 0x800000FFu);
}

TEST(WidgetImage, MissingResourcesAndFilesGiveEmptyImages) {
  TWidgetImage missing(u"NO_SUCH_PNG", true);
  EXPECT_EQ(missing.Handle(), nullptr);
  EXPECT_EQ(missing.Width(), 0u);
  EXPECT_EQ(missing.Height(), 0u);
  TWidgetImage noFile(u"C:\\no\\such\\file.png", false);
  EXPECT_EQ(noFile.Width(), 0u);
  TWidgetCanvas canvas(2, 2);
  canvas.DrawImage(missing.Handle(), 0, 0, 2, 2);
}

TEST(LoadResourceStream, MissingResourcesLeaveTheStreamAlone) {
  TMemoryStream stream;
  stream.Write("xyz", 3);
  LoadResourceStream(u"PNG", u"NO_SUCH_PNG", &stream);
  EXPECT_EQ(stream.Size(), 3);
  EXPECT_EQ(stream.Position(), 3);
  LoadResourceStream(u"PNG", u"RED5X3", nullptr);
}
