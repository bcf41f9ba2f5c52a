#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <fstream>

#include "UiTestSupport.h"

using namespace uitest;
using namespace Gdiplus::DllExports;

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
}

TEST(ScaleAlpha, IgnoresBitmapsWithoutAlphaAndNull) {
  TGpBitmap rgb;
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
  canvas.Clear();
  EXPECT_EQ(PixelAt(canvas.Bitmap(), 1, 1), 0u);
}

TEST(CanvasDrawing, FillRectUsesTheBrushAndDrawRectStaysInside) {
  TWidgetCanvas canvas(10, 10);
  canvas.Brush()->SetColor(0xFF00FF00);
  canvas.FillRect(RECT{2, 2, 5, 5});
  EXPECT_EQ(PixelAt(canvas.Bitmap(), 2, 2), 0xFF00FF00u);
  EXPECT_EQ(PixelAt(canvas.Bitmap(), 4, 4), 0xFF00FF00u);
  EXPECT_EQ(PixelAt(canvas.Bitmap(), 5, 5), 0u);
  canvas.Clear();
  canvas.Pen()->SetColor(0xFF0000FF);
  canvas.DrawRect(RECT{0, 0, 10, 10});
  EXPECT_EQ(AlphaAt(canvas.Bitmap(), 0, 0), 255);
  EXPECT_EQ(AlphaAt(canvas.Bitmap(), 5, 5), 0);
}

TEST(CanvasSurface, SetSizeAlwaysClearsAndZeroSizeDrawsNothing) {
  TWidgetCanvas canvas(3, 3);
  canvas.FillRect(RECT{0, 0, 3, 3});
  Gdiplus::GpBitmap* before = canvas.Bitmap();
  ASSERT_EQ(AlphaAt(before, 1, 1), 255);
  canvas.SetSize(3, 3);
  EXPECT_EQ(AlphaAt(canvas.Bitmap(), 1, 1), 0);
  EXPECT_EQ(canvas.Width(), 3);

  canvas.FillRect(RECT{0, 0, 3, 3});
  canvas.Clear();
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(PixelAt(canvas.Bitmap(), x, y), 0u) << x << "," << y;

  TWidgetCanvas empty(0, 0);
  EXPECT_EQ(empty.Bitmap(), nullptr);
  empty.Clear();
  empty.FillRect(RECT{0, 0, 3, 3});
  empty.DrawText(u"x", RECT{0, 0, 3, 3});
  ScaleAlpha(empty.Bitmap(), 0);
  canvas.DrawImage(empty.Bitmap(), 0, 0, 3, 3);
}

TEST(CanvasText, DrawsInTheFontColourAndEmptyTextDrawsNothing) {
  TWidgetCanvas canvas(60, 30);
  canvas.DrawText(u"", RECT{0, 0, 60, 30});
  EXPECT_EQ(PixelAt(canvas.Bitmap(), 5, 10), 0u);
  std::string family = InstalledFamily();
  if (family.empty()) GTEST_SKIP() << "no font family for GDI+ on this machine";
  canvas.Font()->SetName(family);
  canvas.Font()->SetColor(0xFFFF0000);
  canvas.Font()->SetSize(14);
  ASSERT_NE(canvas.Font()->Handle(), nullptr);
  canvas.DrawText(u"MMMM", RECT{0, 0, 60, 30});
  int inked = 0;
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 60; ++x) {
      uint32_t p = PixelAt(canvas.Bitmap(), x, y);
      if ((p >> 24) > 128) {
        ++inked;
        EXPECT_EQ(p & 0x00FFFFFF, 0x00FF0000u);
      }
    }
  EXPECT_GT(inked, 20);
}

TEST(WidgetFont, DefaultsAndWhenTheHandleIsMadeAgain) {
  TWidgetFont font;
  EXPECT_EQ(font.Name(), "Arial");
  EXPECT_EQ(font.Size(), 10);
  EXPECT_EQ(font.Style(), 0);
  EXPECT_EQ(font.Color(), 0xFF000000u);
  EXPECT_EQ(font.Format()->Alignment(), wsaNear);
  EXPECT_EQ(font.Format()->LineAlignment(), wsaNear);
  std::string family = InstalledFamily();
  if (family.empty()) GTEST_SKIP() << "no font family for GDI+ on this machine";
  font.SetName(family);
  ASSERT_NE(font.Handle(), nullptr);
  Gdiplus::GpFont* first = font.Handle();
  font.SetName(family);
  EXPECT_EQ(font.Handle(), first);
  std::string upper = family;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  font.SetName(upper);
  EXPECT_NE(font.Handle(), first);
  Gdiplus::GpFont* second = font.Handle();
  font.SetColor(0xFF123456);
  font.SetOpacity(128);
  EXPECT_EQ(font.Color(), 0x80123456u);
  EXPECT_EQ(font.Handle(), second);
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
  int inked = 0;
  for (int y = 0; y < 29; ++y)
    for (int x = 0; x < 79; ++x) inked += (PixelAt(canvas.Bitmap(), x, y) >> 24) > 128;
  EXPECT_GT(inked, 20);
}

TEST(WidgetGraphicObjects, BrushPenAndFormatSetters) {
  TWidgetSolidBrush brush;
  EXPECT_EQ(brush.Color(), 0xFF000000u);
  brush.SetColor(0x11223344);
  brush.SetOpacity(0xAA);
  EXPECT_EQ(brush.Color(), 0xAA223344u);
  EXPECT_EQ(brush.Opacity(), 0xAA);
  TWidgetPen pen;
  EXPECT_EQ(pen.Color(), 0xFF000000u);
  EXPECT_EQ(pen.Width(), 1.0f);
  EXPECT_EQ(pen.DashStyle(), 0);
  pen.SetColor(0xFFFFFFFF);
  Gdiplus::ARGB color = 0;
  GdipGetPenColor(pen.Handle(), &color);
  EXPECT_EQ(color, 0xFFFFFFFFu);
  TWidgetStringFormat format;
  format.SetAlignment(wsaCenter);
  format.SetLineAlignment(wsaFar);
  Gdiplus::StringAlignment align;
  GdipGetStringFormatAlign(format.Handle(), &align);
  EXPECT_EQ(align, Gdiplus::StringAlignmentCenter);
  GdipGetStringFormatLineAlign(format.Handle(), &align);
  EXPECT_EQ(align, Gdiplus::StringAlignmentFar);
}

TEST(WidgetImage, PngResourceDecodesThroughTheAdapter) {
  TWidgetImage image(u"RED5X3", true);
  ASSERT_NE(image.Handle(), nullptr);
  EXPECT_EQ(image.Width(), 5u);
  EXPECT_EQ(image.Height(), 3u);
  EXPECT_EQ(PixelAt(image.Handle(), 0, 0), 0xFFFF0000u);
  EXPECT_EQ(PixelAt(image.Handle(), 4, 2), 0x800000FFu);
  TWidgetCanvas canvas(5, 3);
  canvas.DrawImage(image.Handle(), 0, 0, 5, 3);
  EXPECT_EQ(PixelAt(canvas.Bitmap(), 2, 1), 0xFFFF0000u);
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

TEST(WidgetImage, FileImagesDecode) {
  TMemoryStream bytes;
  LoadResourceStream(u"PNG", u"RED5X3", &bytes);
  ASSERT_GT(bytes.Size(), 0);
  EXPECT_EQ(bytes.Position(), 0);
  wchar_t dir[MAX_PATH], path[MAX_PATH];
  GetTempPathW(MAX_PATH, dir);
  GetTempFileNameW(dir, L"png", 0, path);
  {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.Memory()), bytes.Size());
  }
  {
    TWidgetImage image(WideOf(path), false);
    EXPECT_EQ(image.Width(), 5u);
    EXPECT_EQ(image.Height(), 3u);
  }
  DeleteFileW(path);
}

TEST(LoadResourceStream, MissingResourcesLeaveTheStreamAlone) {
  TMemoryStream stream;
  stream.Write("xyz", 3);
  LoadResourceStream(u"PNG", u"NO_SUCH_PNG", &stream);
  EXPECT_EQ(stream.Size(), 3);
  EXPECT_EQ(stream.Position(), 3);
  LoadResourceStream(u"PNG", u"RED5X3", nullptr);
}
