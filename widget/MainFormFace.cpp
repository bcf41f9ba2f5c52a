// The tracker window's face (its controls, their layout at each DPI and what
// they show) and its place on the screen among the other widgets.
#include "widget/MainForm.h"

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

TScreenRect WorkAreaFallback() {
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  return ScreenRectOf(work);
}
}  // namespace

// Creation order is stacking order: the first control lies at the bottom.
void TWidgetMainForm::BuildFace() {
  auto handler = [this](TComponent* s, int32_t k, int32_t x, int32_t y) { MouseDownHandler(s, k, x, y); };
  auto place = [this](TWidgetControl* c, const TFaceRect& r, bool enabled) {
    c->SetParent(this);
    PlaceScaled(c, r, Dpi());
    c->SetEnabled(enabled);
  };
  auto image = [&](const TFaceRect& r, const std::string& name, bool enabled) {
    auto* c = new TWidgetImageControl(this);
    place(c, r, enabled);
    c->SetImageName(name);
    return c;
  };
  auto label = [&](const TFaceRect& r, const WideString& caption, int32_t size, TWidgetColor color, int32_t align) {
    auto* c = new TWidgetLabel(this);
    place(c, r, false);
    c->SetCaption(caption);
    StyleFont(c, size, color, align);
    return c;
  };
  HCURSOR hand = LoadCursorW(nullptr, IDC_HAND);

  ShadowImage = image(kShadowRect, IMG_SHADOW, true);
  ShadowImage->Tint(OpaqueArgbOf(FSettings.BackColor));
  ShadowImage->SetOpacity(255);
  ShadowImage->OnMouseDown = handler;
  CountLabel = label(kCountRect, CountText(FSettings.Count), kCountFontSize, kWhiteText, wsaCenter);
  CountLabel->SetCursor(hand);
  PreviousLabel = label(kPreviousRect, CountText(FSettings.Previous), kPreviousFontSize, kGreyText, wsaNear);
  PreviousLabel->SetCursor(hand);
  TrendImage = image(kTrendRect, Narrow(TrendImageName(FSettings.Previous, FSettings.Count)), false);
  OverlayImage = image(kShadowRect, IMG_OVERLAY, false);
  OverlayImage->OnMouseDown = handler;
  // The mouse arriving anywhere on the face starts the hover.
  ShadowImage->OnMouseEnter = OnMouseEnter;
  OverlayImage->OnMouseEnter = OnMouseEnter;
  TitleLabel = label(kTitleRect, FSettings.Title, kTitleFontSize, kWhiteText, wsaCenter);
  StateImage = image(kStateRect, Narrow(IMG_IDLE), false);
  for (TWidgetControl* c : {static_cast<TWidgetControl*>(ShadowImage), static_cast<TWidgetControl*>(CountLabel),
                            static_cast<TWidgetControl*>(PreviousLabel), static_cast<TWidgetControl*>(TrendImage),
                            static_cast<TWidgetControl*>(OverlayImage), static_cast<TWidgetControl*>(TitleLabel),
                            static_cast<TWidgetControl*>(StateImage)})
    c->SetVisible(true);
}

// The face at the form's DPI: the window, every control and every font.
void TWidgetMainForm::ApplyDpi() {
  SetWidth(Scaled(WIDGET_WIDTH));
  SetHeight(Scaled(WIDGET_HEIGHT));
  PlaceScaled(ShadowImage, kShadowRect, Dpi());
  PlaceScaled(CountLabel, kCountRect, Dpi());
  PlaceScaled(PreviousLabel, kPreviousRect, Dpi());
  PlaceScaled(TrendImage, kTrendRect, Dpi());
  PlaceScaled(OverlayImage, kShadowRect, Dpi());
  PlaceScaled(TitleLabel, kTitleRect, Dpi());
  PlaceScaled(StateImage, kStateRect, Dpi());
}

// A widget whose window no longer meets any work area (a monitor gone, a
// resolution lowered, a settings file from another desk) comes back to the
// nearest one; a widget still in sight stays where the user left it.
void TWidgetMainForm::KeepOnScreen() {
  if (!WindowExists()) return;
  RECT r{};
  GetWindowRect(StoredHandle(), &r);
  TScreenRect bounds = ScreenRectOf(r);
  if (::KeepOnScreen(bounds, DisplayMonitors())) {
    MoveTo(bounds.Left, bounds.Top);
    NotifyChanged();
  }
}

void TWidgetMainForm::WMSettingChange(TWidgetMessage& message) {
  if (message.WParam == SPI_SETWORKAREA) KeepOnScreen();
}

void TWidgetMainForm::ShowCounts() {
  if (CountLabel) CountLabel->SetCaption(CountText(FSettings.Count));
  if (PreviousLabel) PreviousLabel->SetCaption(CountText(FSettings.Previous));
  if (TrendImage) TrendImage->SetImageName(Narrow(TrendImageName(FSettings.Previous, FSettings.Count)));
}

void TWidgetMainForm::ShowAlertColour() {
  if (CountLabel) CountLabel->Canvas()->Font()->SetColor(FAlert.High() ? kAlertText : kWhiteText);
}

void TWidgetMainForm::ShowState(const WideChar* image) {
  if (StateImage) StateImage->SetImageName(Narrow(image));
}

// ---- snapping and the board

void TWidgetMainForm::WMWindowPosChanging(TWidgetMessage& message) {
  TThreadForm::WMWindowPosChanging(message);
  auto* pos = reinterpret_cast<WINDOWPOS*>(message.LParam);
  if (!pos || (pos->flags & SWP_NOMOVE)) return;
  std::vector<TSnapRect> others;
  if (FHost.Board) others = FHost.Board->VisibleOthers(this);
  int32_t x = pos->x, y = pos->y;
  // The work area of the monitor the widget is moving onto.
  const TScreenRect proposed{x, y, x + Width(), y + Height()};
  const TScreenRect work = WorkAreaOf(proposed, DisplayMonitors(), WorkAreaFallback());
  SnapPosition(x, y, Width(), Height(), others, work, Scaled(SNAP_DISTANCE));
  pos->x = x;
  pos->y = y;
}

void TWidgetMainForm::WMWindowPosChanged(TWidgetMessage& message) {
  TThreadForm::WMWindowPosChanged(message);
  Publish();
  if (!FClosing) PublishSettings();
}

// Own thread only; the window is gone from the board once it is being
// destroyed. Only a widget that shows, and is not fading out, attracts.
void TWidgetMainForm::Publish() {
  if (!FHost.Board || !WindowExists()) return;
  if (FClosing) {
    FHost.Board->Remove(this);
    return;
  }
  RECT r{};
  GetWindowRect(StoredHandle(), &r);
  FHost.Board->Publish(this, TSnapRect{r.left, r.top, r.right, r.bottom}, Visible() && FShown);
}
