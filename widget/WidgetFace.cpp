#include "widget/WidgetFace.h"

#include "tracker/CountPolling.h"
#include "tracker/TrackerSettings.h"

namespace {
constexpr const char kFaceFont[] = "Trebuchet MS";
constexpr TWidgetColor kWhiteText = 0xFFFFFFFF;
constexpr TWidgetColor kAlertText = 0xFFFFA030;  // the count while at or above its alert
constexpr TWidgetColor kGreyText = 0xFFA0A0A0;
constexpr int32_t kCountFontSize = 18, kPreviousFontSize = 9, kTitleFontSize = 8;

// The face, in the form's pixels.
struct TFaceRect {
  int32_t X, Y, Width, Height;
};
constexpr int32_t kTrendSize = 12, kStateSize = 6;
constexpr TFaceRect kShadowRect{0, 0, WIDGET_WIDTH, WIDGET_HEIGHT};              // also the glass overlay
constexpr TFaceRect kTitleRect{0, 0, WIDGET_WIDTH, 18};
constexpr TFaceRect kCountRect{0, WIDGET_HEIGHT - 29 - 20, WIDGET_WIDTH, 29};     // 20 above the bottom
constexpr TFaceRect kPreviousRect{8, WIDGET_HEIGHT - 14 - 8, 70, 14};            // bottom-left corner
constexpr TFaceRect kTrendRect{WIDGET_WIDTH - kTrendSize - 4, 23, kTrendSize, kTrendSize};
constexpr TFaceRect kStateRect{WIDGET_WIDTH - 2 * kStateSize, WIDGET_HEIGHT - 2 * kStateSize - 1, kStateSize,
                               kStateSize};

std::string Narrow(const WideString& ascii) { return Utf8FromWide(ascii); }

void StyleFont(TWidgetControl* control, int32_t size, TWidgetColor color, int32_t alignment) {
  TWidgetFont* font = control->Canvas()->Font();
  font->SetName(kFaceFont);
  font->SetSize(size);
  font->SetStyle(0);
  font->SetColor(color);
  font->Format()->SetAlignment(alignment);
  font->Format()->SetLineAlignment(wsaCenter);
}

// Edges are scaled rather than sizes, so that neighbouring controls still meet.
void PlaceScaled(TWidgetControl* control, const TFaceRect& r, uint32_t dpi) {
  if (!control) return;
  const int32_t left = ScaleToDpi(r.X, dpi), top = ScaleToDpi(r.Y, dpi);
  control->SetWidth(ScaleToDpi(r.X + r.Width, dpi) - left);
  control->SetHeight(ScaleToDpi(r.Y + r.Height, dpi) - top);
  control->MoveTo(left, top);
  control->Canvas()->Font()->SetDpi(dpi);
}

}  // namespace

// Creation order is stacking order: the first control lies at the bottom.
void TWidgetFace::Build(TWidgetForm* form, const TFaceContent& content, const TMouseEvent& onMouseDown,
                        const TMouseEvent& onMouseEnter) {
  auto place = [form](TWidgetControl* c, const TFaceRect& r, bool enabled) {
    c->SetParent(form);
    PlaceScaled(c, r, form->Dpi());
    c->SetEnabled(enabled);
  };
  auto image = [&](const TFaceRect& r, const std::string& name, bool enabled) {
    auto* c = new TWidgetImageControl(form);
    place(c, r, enabled);
    c->SetImageName(name);
    return c;
  };
  auto label = [&](const TFaceRect& r, const WideString& caption, int32_t size, TWidgetColor color, int32_t align) {
    auto* c = new TWidgetLabel(form);
    place(c, r, false);
    c->SetCaption(caption);
    StyleFont(c, size, color, align);
    return c;
  };
  HCURSOR hand = LoadCursorW(nullptr, IDC_HAND);

  ShadowImage = image(kShadowRect, IMG_SHADOW, true);
  ShadowImage->Tint(OpaqueArgbOf(content.BackColor));
  ShadowImage->SetOpacity(255);
  ShadowImage->OnMouseDown = onMouseDown;
  CountLabel = label(kCountRect, CountText(content.Count), kCountFontSize, kWhiteText, wsaCenter);
  CountLabel->SetCursor(hand);
  PreviousLabel = label(kPreviousRect, CountText(content.Previous), kPreviousFontSize, kGreyText, wsaNear);
  PreviousLabel->SetCursor(hand);
  TrendImage = image(kTrendRect, Narrow(TrendImageName(content.Previous, content.Count)), false);
  OverlayImage = image(kShadowRect, IMG_OVERLAY, false);
  OverlayImage->OnMouseDown = onMouseDown;
  // The mouse arriving anywhere on the face starts the hover.
  ShadowImage->OnMouseEnter = onMouseEnter;
  OverlayImage->OnMouseEnter = onMouseEnter;
  TitleLabel = label(kTitleRect, content.Title, kTitleFontSize, kWhiteText, wsaCenter);
  StateImage = image(kStateRect, Narrow(IMG_IDLE), false);
  for (TWidgetControl* c : {static_cast<TWidgetControl*>(ShadowImage), static_cast<TWidgetControl*>(CountLabel),
                            static_cast<TWidgetControl*>(PreviousLabel), static_cast<TWidgetControl*>(TrendImage),
                            static_cast<TWidgetControl*>(OverlayImage), static_cast<TWidgetControl*>(TitleLabel),
                            static_cast<TWidgetControl*>(StateImage)})
    c->SetVisible(true);
}

void TWidgetFace::Place(uint32_t dpi) {
  PlaceScaled(ShadowImage, kShadowRect, dpi);
  PlaceScaled(CountLabel, kCountRect, dpi);
  PlaceScaled(PreviousLabel, kPreviousRect, dpi);
  PlaceScaled(TrendImage, kTrendRect, dpi);
  PlaceScaled(OverlayImage, kShadowRect, dpi);
  PlaceScaled(TitleLabel, kTitleRect, dpi);
  PlaceScaled(StateImage, kStateRect, dpi);
}

void TWidgetFace::ShowCounts(int32_t count, int32_t previous) {
  if (CountLabel) CountLabel->SetCaption(CountText(count));
  if (PreviousLabel) PreviousLabel->SetCaption(CountText(previous));
  if (TrendImage) TrendImage->SetImageName(Narrow(TrendImageName(previous, count)));
}

void TWidgetFace::ShowTitle(const WideString& title) {
  if (TitleLabel) TitleLabel->SetCaption(title);
}

void TWidgetFace::ShowAlert(bool high) {
  if (CountLabel) CountLabel->Canvas()->Font()->SetColor(high ? kAlertText : kWhiteText);
}

void TWidgetFace::ShowState(const WideChar* image) {
  if (StateImage) StateImage->SetImageName(Narrow(image));
}
