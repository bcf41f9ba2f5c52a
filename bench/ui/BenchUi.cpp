// Measures one full Redraw of a tracker-sized form with seven children and one
// fade step (UpdateLayer), against the same pixels drawn straight into one
// bitmap and pushed with one UpdateLayeredWindow; at 100 % and again at 150 %.
// The face filters its pictures to its size once, so both draw pictures of
// the size they are shown at.
#include <chrono>
#include <cstdio>
#include <functional>
#include <utility>
#include <vector>

#include "ui/Widgets.h"

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

namespace {
constexpr int kIterations = 1000;
constexpr int kFormWidth = 79;
constexpr int kFormHeight = 74;
constexpr const char* kFontName = "DejaVu Sans";  // the family this Wine offers GDI+

struct TPart {
  int X, Y, W, H;
};
const TPart kBackground{0, 0, kFormWidth, kFormHeight};
const TPart kGloss{0, 0, kFormWidth, kFormHeight};
const TPart kLabels[3] = {{4, 4, 71, 14}, {4, 24, 71, 26}, {4, 54, 50, 14}};
const WideString kTexts[3] = {u"My site", u"1234", u"1200"};
const TPart kSmall[2] = {{60, 55, 9, 9}, {70, 56, 7, 7}};

TGpBitmap MakeBitmap(int w, int h, uint32_t seed) {
  TGpBitmap bitmap;
  GdipCreateBitmapFromScan0(w, h, 0, PixelFormat32bppARGB, nullptr, bitmap.Put());
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      GdipBitmapSetPixel(bitmap.Get(), x, y, ((0x80 + (x * 3 + y + seed) % 0x7F) << 24) | ((seed * 40 + x) & 0xFF) << 16 |
                                                 ((y * 3) & 0xFF) << 8 | (seed * 70 & 0xFF));
  return bitmap;
}

constexpr int kRounds = 10;

// Times two steps in alternating rounds, so that the load of a shared machine
// falls on both alike; returns microseconds per step for each.
std::pair<double, double> Microseconds(const std::function<void(int)>& first, const std::function<void(int)>& second) {
  for (int i = 0; i < 20; ++i) {  // warm-up
    first(i);
    second(i);
  }
  std::chrono::duration<double, std::micro> spent[2]{};
  for (int round = 0; round < kRounds; ++round)
    for (int which = 0; which < 2; ++which) {
      const auto& step = which == 0 ? first : second;
      auto start = std::chrono::steady_clock::now();
      for (int i = 0; i < kIterations / kRounds; ++i) step(round * (kIterations / kRounds) + i);
      spent[which] += std::chrono::steady_clock::now() - start;
    }
  return {spent[0].count() / kIterations, spent[1].count() / kIterations};
}

void Pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
}

TPart Scale(const TPart& p, uint32_t dpi) {
  return {ScaleToDpi(p.X, dpi), ScaleToDpi(p.Y, dpi), ScaleToDpi(p.X + p.W, dpi) - ScaleToDpi(p.X, dpi),
          ScaleToDpi(p.Y + p.H, dpi) - ScaleToDpi(p.Y, dpi)};
}

// Puts a face part on the form at its place.
void PlaceOn(TWidgetControl* control, TWidgetForm* form, const TPart& part) {
  control->SetParent(form);
  control->MoveTo(part.X, part.Y);
  control->SetWidth(part.W);
  control->SetHeight(part.H);
}

class TImagePart : public TWidgetControl {
public:
  TImagePart(TWidgetForm* form, const TPart& part, GpBitmap* image) : TWidgetControl(form), FImage(image) {
    PlaceOn(this, form, part);
  }

protected:
  void DoPaint() override {
    TWidgetControl::DoPaint();
    Canvas()->DrawImage(FImage, 0, 0, Width(), Height());
  }

private:
  GpBitmap* FImage;
};

class TLabelPart : public TWidgetControl {
public:
  TLabelPart(TWidgetForm* form, const TPart& part, const WideString& text) : TWidgetControl(form), FText(text) {
    PlaceOn(this, form, part);
  }

protected:
  void DoPaint() override {
    TWidgetControl::DoPaint();
    Canvas()->DrawText(FText, RECT{0, 0, Width(), Height()});
  }

private:
  WideString FText;
};
void Run(uint32_t dpi) {
  const int width = ScaleToDpi(kFormWidth, dpi), height = ScaleToDpi(kFormHeight, dpi);
  const TPart background{Scale(kBackground, dpi)}, glossPart{Scale(kGloss, dpi)};
  TPart labels[3], smallParts[2];
  for (int i = 0; i < 3; ++i) labels[i] = Scale(kLabels[i], dpi);
  for (int i = 0; i < 2; ++i) smallParts[i] = Scale(kSmall[i], dpi);
  TGpBitmap back = MakeBitmap(width, height, 1);
  TGpBitmap gloss = MakeBitmap(width, height, 2);
  TGpBitmap small[2] = {MakeBitmap(smallParts[0].W, smallParts[0].H, 3), MakeBitmap(smallParts[1].W, smallParts[1].H, 4)};

  // The framework: a form with seven children, composited on every Redraw.
  TWidgetForm form(nullptr);
  form.MoveTo(40, 40);
  form.SetWidth(width);
  form.SetHeight(height);
  form.Handle();
  std::vector<TWidgetControl*> parts;
  parts.push_back(new TImagePart(&form, background, back.Get()));
  parts.push_back(new TImagePart(&form, glossPart, gloss.Get()));
  for (int i = 0; i < 3; ++i) parts.push_back(new TLabelPart(&form, labels[i], kTexts[i]));
  for (int i = 0; i < 2; ++i) parts.push_back(new TImagePart(&form, smallParts[i], small[i].Get()));
  for (TWidgetControl* part : parts) part->Show();
  form.Show();
  Pump();
  for (TWidgetControl* part : parts) {
    part->Canvas()->Font()->SetName(kFontName);
    part->Canvas()->Font()->SetDpi(dpi);
  }

  // The baseline: the same pixels straight into one bitmap, one push.
  TWidgetForm plain(nullptr);  // only lends a layered window
  plain.MoveTo(240, 40);
  plain.SetWidth(width);
  plain.SetHeight(height);
  plain.Show();
  Pump();
  HWND window = plain.Handle();
  TGpBitmap surface;
  GdipCreateBitmapFromScan0(width, height, 0, PixelFormat32bppARGB, nullptr, surface.Put());
  TGpGraphics graphics;
  GdipGetImageGraphicsContext(surface.Get(), graphics.Put());
  GdipSetTextRenderingHint(graphics.Get(), TextRenderingHintAntiAliasGridFit);
  TWidgetFont font;
  font.SetName(kFontName);
  font.SetDpi(dpi);
  auto push = [&](BYTE alpha) {
    TMemoryDC screen(CreateCompatibleDC(nullptr));
    TMemoryDC source(CreateCompatibleDC(screen.Get()));
    TBitmapHandle bitmap;
    GdipCreateHBITMAPFromBitmap(surface.Get(), bitmap.Put(), 0);
    TSelectedObject selected(source.Get(), bitmap.Get());
    POINT destination{240, 40}, origin{0, 0};
    SIZE size{width, height};
    BLENDFUNCTION blend{AC_SRC_OVER, 0, alpha, AC_SRC_ALPHA};
    UpdateLayeredWindow(window, screen.Get(), &destination, &size, source.Get(), &origin, 0, &blend, ULW_ALPHA);
  };
  auto redraw = [&](int) { form.Redraw(); };
  auto fade = [&](int i) {
    form.SetOpacity(static_cast<uint8_t>(255 - i % 256));
    form.UpdateLayer();
  };
  auto bareRedraw = [&](int) {
    GdipGraphicsClear(graphics.Get(), 0);
    GdipDrawImageRectI(graphics.Get(), back.Get(), 0, 0, width, height);
    GdipDrawImageRectI(graphics.Get(), gloss.Get(), 0, 0, width, height);
    for (int i = 0; i < 3; ++i) {
      RectF layout(REAL(labels[i].X), REAL(labels[i].Y), REAL(labels[i].W), REAL(labels[i].H));
      GdipDrawString(graphics.Get(), WinStr(kTexts[i]), static_cast<INT>(kTexts[i].size()), font.Handle(), &layout,
                     font.Format()->Handle(), font.Brush()->Handle());
    }
    for (int i = 0; i < 2; ++i)
      GdipDrawImageRectI(graphics.Get(), small[i].Get(), smallParts[i].X, smallParts[i].Y, smallParts[i].W,
                         smallParts[i].H);
    push(255);
  };
  auto barePush = [&](int i) { push(static_cast<BYTE>(255 - i % 256)); };
  auto [redrawUs, bareRedrawUs] = Microseconds(redraw, bareRedraw);
  auto [fadeUs, barePushUs] = Microseconds(fade, barePush);

  std::printf("bench_ui: %d iterations, %d x %d form at %u DPI, 7 children\n", kIterations, width, height, dpi);
  std::printf("  Redraw (paint, composite, UpdateLayer)   %9.1f us/op   baseline %9.1f us/op   ratio %.2f\n", redrawUs,
              bareRedrawUs, redrawUs / bareRedrawUs);
  std::printf("  fade step (Opacity, UpdateLayer)         %9.1f us/op   baseline %9.1f us/op   ratio %.2f\n", fadeUs,
              barePushUs, fadeUs / barePushUs);
}
}  // namespace

int main() {
  TWidgetsUnit unit;
  Run(BASE_DPI);
  Run(144);
  return 0;
}
