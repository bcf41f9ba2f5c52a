#include "widget/FaceControls.h"

namespace {
constexpr const WideChar kStaticClass[] = u"STATIC";
// Notifications on, so unconsumed clicks reach the static class; no "&" prefixes.
constexpr DWORD kFaceStyle = SS_NOPREFIX | SS_NOTIFY;

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

std::string LargePictureName(const std::string& name) {
  const size_t dot = name.rfind('.');
  return dot == std::string::npos ? name + "_2X" : name.substr(0, dot) + "_2X" + name.substr(dot);
}

void TWidgetImageControl::SetImageName(const std::string& name) {
  FResampled.reset();
  FImage.reset();
  FLarge.reset();
  FLargeTried = false;
  FTinted = false;
  FImageName = name;
  FImage.reset(new TWidgetImage(WideOfAscii(name), true));
}

// The picture may be shared with other widgets: the image makes the tinted copy.
void TWidgetImageControl::Tint(TWidgetColor color) {
  FTinted = true;
  FTint = color;
  FResampled.reset();
  if (FImage) FImage->Tint(color);
  if (FLarge) FLarge->Tint(color);
}

// The plain picture while it is large enough; beyond that the double-size
// one, which scales down sharper than the plain one scales up.
TWidgetImage* TWidgetImageControl::Picture() {
  if (!FImage || !FImage->Handle()) return FImage.get();
  if (Width() <= static_cast<int32_t>(FImage->Width()) && Height() <= static_cast<int32_t>(FImage->Height()))
    return FImage.get();
  if (!FLargeTried) {
    FLargeTried = true;
    FLarge.reset(new TWidgetImage(WideOfAscii(LargePictureName(FImageName)), true));
    if (FTinted) FLarge->Tint(FTint);
  }
  return FLarge && FLarge->Handle() ? FLarge.get() : FImage.get();
}

// Filtering a picture down costs many times a plain copy, and a face repaints
// on every poll and every step of a text's fade.
Gdiplus::GpBitmap* TWidgetImageControl::PictureAtSize() {
  TWidgetImage* picture = Picture();
  if (!picture || !picture->Handle()) return nullptr;
  if (static_cast<int32_t>(picture->Width()) == Width() && static_cast<int32_t>(picture->Height()) == Height()) {
    FResampled.reset();
    return picture->Handle();
  }
  if (!FResampled || FResampledFrom != picture->Handle() || FResampled->Width() != Width() ||
      FResampled->Height() != Height()) {
    FResampled.reset(new TWidgetCanvas(Width(), Height()));
    FResampled->Clear();
    FResampled->DrawImage(picture->Handle(), 0, 0, Width(), Height());
    FResampledFrom = picture->Handle();
  }
  return FResampled->Bitmap();
}

// A plain picture goes straight into the parent's canvas. Through a canvas of
// its own it would arrive as the same pixels, since it lands on a transparent
// surface first, but each widget would keep another copy of every picture.
// Anything else that draws here (a handler, children, a faded opacity) takes
// the canvas.
void TWidgetImageControl::Paint() {
  auto* parent = dynamic_cast<TWidgetControl*>(Parent());
  if (OnPaint || Faded() || !parent || !ChildControls().empty()) {
    TWidgetControl::Paint();
    return;
  }
  if (!WindowExists() || !Visible()) return;
  if (Gdiplus::GpBitmap* picture = PictureAtSize()) parent->Canvas()->DrawImage(picture, Left(), Top(), Width(), Height());
}

void TWidgetImageControl::DoPaint() {
  TWidgetControl::DoPaint();
  if (!Visible()) return;
  if (Gdiplus::GpBitmap* picture = PictureAtSize()) Canvas()->DrawImage(picture, 0, 0, Width(), Height());
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
