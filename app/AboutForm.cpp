#include "app/AboutForm.h"

#include "inet/InetUtil.h"
#include "platform/ProgramIdentity.h"

namespace {
constexpr const WideChar kFormName[] = u"AboutForm";
constexpr const WideChar kCopyrightText[] = u"Copyright \u00A9 Velmora. All rights reserved.";

constexpr const char kTitleFont[] = "Impact";
constexpr const char kTextFont[] = "Trebuchet MS";
constexpr int32_t kTitleFontSize = 26, kTitleSmallestFontSize = 12, kTextFontSize = 8;
constexpr TWidgetColor kTextColor = 0xEFFFFFFF;
constexpr TWidgetColor kLinkColor = 0xEFFFFF00;

constexpr uint8_t kFadeStep = 8;
constexpr uint8_t kFadeInLast = 255 - kFadeStep - 1;  // above it the next step ends the fade
constexpr DWORD kFadeSleepMs = 4;

// Every label is four fifths of the window wide and ends 20 pixels from its
// right edge; the title is half the window high, the version label overlaps
// its last 8 pixels, each further label follows the one above.
constexpr int32_t kLabelWidth = ABOUT_WIDTH / 5 * 4;
constexpr int32_t kLabelLeft = ABOUT_WIDTH - kLabelWidth - 20;
constexpr int32_t kTitleTop = 20, kTitleHeight = ABOUT_HEIGHT / 2;
constexpr int32_t kLineHeight = 20;
constexpr int32_t kVersionTop = kTitleTop + kTitleHeight - 8;
constexpr int32_t kCopyrightTop = kVersionTop + kLineHeight;
constexpr int32_t kLinkTop = kCopyrightTop + kLineHeight;

WideString MakerAddress() { return WideOfAscii(HostUrl(MakerHost())); }
}  // namespace

TAboutForm::TAboutForm(TComponent* owner, HWND ownerWindow) : TWidgetForm(owner) {
  SetName(kFormName);
  SetParentWindow(ownerWindow);
  SetWidth(ABOUT_WIDTH);
  SetHeight(ABOUT_HEIGHT);
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  // Centred in the work area, wherever it starts: a taskbar on the left or at the top moves it.
  MoveTo(work.left + (work.right - work.left - ABOUT_WIDTH) / 2,
         work.top + (work.bottom - work.top - ABOUT_HEIGHT) / 2);
  SetOpacity(0);
}

// Edges are scaled rather than sizes, so that stacked labels still meet.
void TAboutForm::Place(TWidgetControl* control, int32_t left, int32_t top, int32_t width, int32_t height) {
  if (!control) return;
  control->SetWidth(Scaled(left + width) - Scaled(left));
  control->SetHeight(Scaled(top + height) - Scaled(top));
  control->MoveTo(Scaled(left), Scaled(top));
  control->Canvas()->Font()->SetDpi(Dpi());
}

// The title keeps to one line in its box whatever family stands in for its
// font: a wrapped title would climb out of the box's top.
void TAboutForm::FitTitle() {
  if (TitleLabel)
    FitFontSize(*TitleLabel->Canvas(), TitleLabel->Caption(), TitleLabel->Width(), TitleLabel->Height(), kTitleFontSize,
                kTitleSmallestFontSize);
}

// Centred by the same rule at every size.
void TAboutForm::ApplyDpi() {
  SetWidth(Scaled(ABOUT_WIDTH));
  SetHeight(Scaled(ABOUT_HEIGHT));
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  MoveTo(work.left + (work.right - work.left - Width()) / 2, work.top + (work.bottom - work.top - Height()) / 2);
  Place(Picture, 0, 0, ABOUT_WIDTH, ABOUT_HEIGHT);
  Place(TitleLabel, kLabelLeft, kTitleTop, kLabelWidth, kTitleHeight);
  FitTitle();
  Place(VersionLabel, kLabelLeft, kVersionTop, kLabelWidth, kLineHeight);
  Place(CopyrightLabel, kLabelLeft, kCopyrightTop, kLabelWidth, kLineHeight);
  Place(LinkLabel, kLabelLeft, kLinkTop, kLabelWidth, kLineHeight);
}

void TAboutForm::DoCreate() {
  TWidgetForm::DoCreate();
  auto place = [this](TWidgetControl* c, int32_t left, int32_t top, int32_t width, int32_t height, bool enabled) {
    c->SetParent(this);
    Place(c, left, top, width, height);
    c->SetEnabled(enabled);
  };
  auto label = [&](int32_t top, int32_t height, const WideString& text, const char* font, int32_t size,
                   TWidgetColor color, bool enabled) {
    auto* c = new TWidgetLabel(this);
    place(c, kLabelLeft, top, kLabelWidth, height, enabled);
    c->SetCaption(text);
    TWidgetFont* f = c->Canvas()->Font();
    f->SetName(font);
    f->SetSize(size);
    f->SetColor(color);
    f->Format()->SetAlignment(wsaFar);
    f->Format()->SetLineAlignment(wsaCenter);
    c->Shadow = true;
    return c;
  };
  Picture = new TWidgetImageControl(this);
  place(Picture, 0, 0, ABOUT_WIDTH, ABOUT_HEIGHT, true);
  Picture->SetImageName(IMG_ABOUT);
  Picture->SetOpacity(255);
  Picture->OnMouseDown = [this](TComponent*, int32_t, int32_t, int32_t) { HideAnimated(); };
  TitleLabel = label(kTitleTop, kTitleHeight, APPLICATION_TITLE, kTitleFont, kTitleFontSize, kTextColor, false);
  VersionLabel =
      label(kVersionTop, kLineHeight, WideString(u"Version ") + PROGRAM_VERSION, kTextFont, kTextFontSize, kTextColor, false);
  CopyrightLabel = label(kCopyrightTop, kLineHeight, kCopyrightText, kTextFont, kTextFontSize, kTextColor, false);
  LinkLabel = label(kLinkTop, kLineHeight, MakerAddress(), kTextFont, kTextFontSize, kLinkColor, true);
  FitTitle();
  LinkLabel->SetCursor(LoadCursorW(nullptr, IDC_HAND));
  LinkLabel->OnClick = [this](TComponent*, int32_t, int32_t, int32_t) { LinkClick(); };
  for (TWidgetControl* c : {static_cast<TWidgetControl*>(Picture), static_cast<TWidgetControl*>(TitleLabel),
                            static_cast<TWidgetControl*>(VersionLabel), static_cast<TWidgetControl*>(CopyrightLabel),
                            static_cast<TWidgetControl*>(LinkLabel)})
    c->SetVisible(true);
  if (Dpi() != BASE_DPI) ApplyDpi();
}

void TAboutForm::Step(TComponent* sender) {
  if (OnFadeStep) OnFadeStep(sender);
}

// The fades run synchronously: no message is handled until they end.
void TAboutForm::ShowAnimated() {
  Show();
  for (TWidgetLabel* l : {TitleLabel, VersionLabel, CopyrightLabel, LinkLabel})
    if (l) l->SetOpacity(0);
  SetForegroundWindow(StoredHandle());
  SetActiveWindow(StoredHandle());
  Redraw();
  while (Opacity() < 255) {
    if (Opacity() > kFadeInLast) {
      SetOpacity(255);
      UpdateLayer();
      Step(this);
      break;
    }
    SetOpacity(static_cast<uint8_t>(Opacity() + kFadeStep));
    UpdateLayer();
    Step(this);
    Sleep(kFadeSleepMs);
  }
  Sleep(ABOUT_LABELS_PAUSE_MS);
  for (TWidgetLabel* l : {TitleLabel, VersionLabel, CopyrightLabel, LinkLabel})
    if (l) FadeInControl(l);
}

void TAboutForm::FadeInControl(TWidgetControl* control) {
  control->Show();
  while (control->Opacity() < 255) {
    if (control->Opacity() > kFadeInLast) {
      control->SetOpacity(255);
      Redraw();
      Step(control);
      break;
    }
    control->SetOpacity(static_cast<uint8_t>(control->Opacity() + kFadeStep));
    Redraw();
    Step(control);
    Sleep(kFadeSleepMs);
  }
}

void TAboutForm::HideAnimated() {
  while (Opacity() != 0) {
    if (Opacity() <= kFadeStep) {
      SetOpacity(0);
      UpdateLayer();
      Step(this);
      break;
    }
    SetOpacity(static_cast<uint8_t>(Opacity() - kFadeStep));
    UpdateLayer();
    Step(this);
    Sleep(kFadeSleepMs);
  }
  Hide();
}

void TAboutForm::LinkClick() {
  HideAnimated();
  const HWND owner = ParentWindow();
  if (OpenLink) OpenLink(owner, MakerAddress() + WideOfAscii(HOME_PAGE_PATH));
}

TAboutForm* ShowAbout(TComponent* owner, HWND ownerWindow) {
  auto* form = owner ? dynamic_cast<TAboutForm*>(owner->FindComponent(kFormName)) : nullptr;
  if (!form) form = new TAboutForm(owner, ownerWindow);
  form->ShowAnimated();
  form->Redraw();
  return form;
}
