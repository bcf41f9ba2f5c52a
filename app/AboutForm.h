#pragma once
// The About window: a layered picture with the product's name, version,
// copyright and a link to the maker's page, fading in on the GUI thread.
#include "app/PageOpener.h"
#include "ui/Widgets.h"
#include "widget/FaceControls.h"


constexpr const WideChar ABOUT_CLASS_NAME[] = u"TAboutForm";
constexpr int32_t ABOUT_WIDTH = 343;
constexpr int32_t ABOUT_HEIGHT = 197;
constexpr const char IMG_ABOUT[] = "ABOUT.PNG";
constexpr const char HOME_PAGE_PATH[] = "/?ref=orvanta";
// Pause after the window's own fade, before the texts fade in one by one.
constexpr DWORD ABOUT_LABELS_PAUSE_MS = 50;

class TAboutForm : public TWidgetForm {
public:
  // ownerWindow owns the window (the manager's); the form starts hidden and
  // fully transparent, centred in the work area.
  TAboutForm(TComponent* owner, HWND ownerWindow);
  const WideChar* ClassName() const override { return ABOUT_CLASS_NAME; }

  // Shows the window, fades it in from its current opacity, then each text.
  void ShowAnimated();
  // Fades the window out and hides it.
  void HideAnimated();
  void FadeInControl(TWidgetControl* control);

  TWidgetImageControl* Picture = nullptr;
  TWidgetLabel* TitleLabel = nullptr;
  TWidgetLabel* VersionLabel = nullptr;
  TWidgetLabel* CopyrightLabel = nullptr;
  TWidgetLabel* LinkLabel = nullptr;

  // Raised after every fade step; the sender is the form or the fading label.
  TNotifyEvent OnFadeStep;
  // Opens the maker's page when the link is clicked.
  TPageOpener OpenLink = OpenPage;

protected:
  void DoCreate() override;
  void ApplyDpi() override;

private:
  TWindowClass FWindowClass{ABOUT_CLASS_NAME};
  void Place(TWidgetControl* control, int32_t left, int32_t top, int32_t width, int32_t height);
  void FitTitle();
  void LinkClick();
  void Step(TComponent* sender);
};

// Shows the About window owned by owner (created on first use, then kept
// until the owner goes) and returns it once its fade-in has ended.
TAboutForm* ShowAbout(TComponent* owner, HWND ownerWindow);
