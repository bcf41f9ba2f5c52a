#include "widget/FaceControls.h"

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

namespace {
constexpr const WideChar kStaticClass[] = u"STATIC";
// Notifications on, so unconsumed clicks reach the static class; no "&" prefixes.
constexpr DWORD kFaceStyle = SS_NOPREFIX | SS_NOTIFY;

WideString WideOfAscii(const std::string& s) { return WideString(s.begin(), s.end()); }
}  // namespace

TWidgetColor OpaqueArgbOf(uint32_t windowsColor) {
  uint32_t red = windowsColor & 0xFF, green = (windowsColor >> 8) & 0xFF, blue = (windowsColor >> 16) & 0xFF;
  return 0xFF000000u | (red << 16) | (green << 8) | blue;
}

// ---- TWidgetImageControl

TWidgetImageControl::TWidgetImageControl(TComponent* owner) : TWidgetControl(owner) {}

TWidgetImageControl::~TWidgetImageControl() = default;

void TWidgetImageControl::FillCreateParams(TWidgetCreateParams& params) {
  TWidgetControl::FillCreateParams(params);
  SubclassWindowClass(params, kStaticClass);
  params.Style |= kFaceStyle;
}

void TWidgetImageControl::SetImageName(const std::string& name) {
  FImage.reset();
  FImageName = name;
  FImage.reset(new TWidgetImage(WideOfAscii(name), true));
}

void TWidgetImageControl::Tint(TWidgetColor color) {
  if (!FImage || !FImage->Handle()) return;
  GpBitmap* bitmap = FImage->Handle();
  PixelFormat format = 0;
  if (GdipGetImagePixelFormat(bitmap, &format) != Ok || !(format & PixelFormatAlpha)) return;
  Rect whole(0, 0, static_cast<INT>(FImage->Width()), static_cast<INT>(FImage->Height()));
  BitmapData data{};
  if (GdipBitmapLockBits(bitmap, &whole, ImageLockModeRead | ImageLockModeWrite, PixelFormat32bppARGB, &data) != Ok)
    return;
  const uint8_t blue = color & 0xFF, green = (color >> 8) & 0xFF, red = (color >> 16) & 0xFF;
  for (UINT y = 0; y < data.Height; ++y) {
    // The stride may be negative for bottom-up bitmaps.
    uint8_t* pixel = static_cast<uint8_t*>(data.Scan0) + static_cast<ptrdiff_t>(y) * data.Stride;
    for (UINT x = 0; x < data.Width; ++x, pixel += 4) {
      pixel[0] = blue;
      pixel[1] = green;
      pixel[2] = red;
    }
  }
  GdipBitmapUnlockBits(bitmap, &data);
}

void TWidgetImageControl::DoPaint() {
  TWidgetControl::DoPaint();
  if (Visible() && FImage && FImage->Handle()) Canvas()->DrawImage(FImage->Handle(), 0, 0, Width(), Height());
}

// ---- TWidgetLabel

TWidgetLabel::TWidgetLabel(TComponent* owner) : TWidgetControl(owner) {}

void TWidgetLabel::FillCreateParams(TWidgetCreateParams& params) {
  TWidgetControl::FillCreateParams(params);
  SubclassWindowClass(params, kStaticClass);
  params.Style |= kFaceStyle;
}

void TWidgetLabel::DoPaint() {
  TWidgetControl::DoPaint();
  WideString text = Caption();
  RECT r{0, 0, Width(), Height()};
  if (Shadow) {
    TWidgetFont* font = Canvas()->Font();
    TWidgetColor color = font->Color();
    font->SetColor(color & LABEL_SHADOW_MASK);
    OffsetRect(&r, 1, 1);
    Canvas()->DrawText(text, r);
    OffsetRect(&r, -1, -1);
    font->SetColor(color);
  }
  Canvas()->DrawText(text, r);
}
