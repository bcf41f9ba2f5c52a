#include <gtest/gtest.h>

#include "tests/support/UiTestSupport.h"

using namespace uitest;

namespace {
// A shown child of form at (x, y), size x size, painting argb.
TWidgetControl* AddChild(TWidgetForm& form, int x, int y, int size, uint32_t argb, int* paints = nullptr) {
  auto* child = new TWidgetControl(&form);
  child->SetParent(&form);
  child->MoveTo(x, y);
  child->SetWidth(size);
  child->SetHeight(size);
  child->OnPaint = FillWith(argb, paints);
  child->Show();
  return child;
}

uint32_t PaintedAt(TWidgetForm& form, int x, int y) {
  form.Paint();
  return PixelAt(form.Canvas()->Bitmap(), x, y);
}
}  // namespace

// A 40 x 40 form with a green 20 x 20 child at (10, 10) and a red one over its corner.
TEST(FormCompositing, ChildrenArriveThroughTheirOpacityInOrderAndHiddenOrFreedOnesNotAtAll) {
  TWidgetForm form(nullptr);
  form.SetWidth(40);
  form.SetHeight(40);
  int paints = 0;
  TWidgetControl* child = AddChild(form, 10, 10, 20, 0xFF00FF00, &paints);
  TWidgetControl* top = AddChild(form, 25, 25, 10, 0xFFFF0000);
  form.Canvas()->SetSize(40, 40);  // the hidden form has had no size message
  EXPECT_EQ(PaintedAt(form, 27, 27), 0xFFFF0000u);
  // Raising the first child through the platform puts it on top from then on.
  SetWindowPos(child->StoredHandle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  EXPECT_EQ(PaintedAt(form, 27, 27), 0xFF00FF00u);
  delete top;  // must leave the list painting walks, or the next paint calls a freed object
  ASSERT_EQ(form.ChildControls(), (std::vector<TControl*>{child}));
  EXPECT_EQ(PaintedAt(form, 32, 32), 0u);
  child->SetOpacity(128);
  EXPECT_NEAR(PaintedAt(form, 15, 15) >> 24, 127, 1);
  child->SetOpacity(255);  // faded once: still through alpha scaling
  EXPECT_EQ(PaintedAt(form, 15, 15) >> 24, 254u);
  child->Hide();
  EXPECT_EQ(PaintedAt(form, 15, 15), 0u);
  EXPECT_EQ(paints, 5);
}

// The layer shows the form's picture through its opacity, and fading re-sends
// the picture without painting again.
TEST(FormRedraw, ChildRedrawPaintsTheFormOnceAndShowsItThroughOpacity) {
  SetCursorPos(900, 900);
  TWidgetForm form(nullptr);
  form.MoveTo(200, 200);
  form.SetWidth(40);
  form.SetHeight(40);
  int paints = 0;
  form.OnPaint = [&](TComponent* sender, TWidgetCanvas* canvas) {
    if (++paints > 1 && form.Opacity() == 1) throw Exception(u"paint failed");
    form.Redraw();  // dropped: a Redraw is running
    FillWith(0xFFFF0000)(sender, canvas);
    canvas->Brush()->SetColor(0x800000FF);  // half-transparent blue corner
    canvas->FillRect(RECT{0, 0, 10, 10});
  };
  uint32_t background = ScreenPixel(220, 220);
  auto shows = [&](uint32_t rgb) {
    Pump(300, [&] { return ScreenPixel(220, 220) == rgb; });
    return ScreenPixel(220, 220) == rgb;
  };
  form.Show();
  AddChild(form, 0, 0, 0, 0)->Redraw();
  EXPECT_TRUE(shows(0xFF0000));
  EXPECT_NEAR(ScreenPixel(203, 203) & 0xFF, 128, 4);  // blue at half alpha over black
  for (uint8_t opacity : {0, 255}) {
    form.SetOpacity(opacity);
    form.UpdateLayer();
    EXPECT_TRUE(shows(opacity ? 0xFF0000 : background)) << int(opacity);
  }
  EXPECT_EQ(paints, 1);
  form.SetOpacity(1);
  EXPECT_THROW(form.Redraw(), Exception);
  EXPECT_FALSE(form.Painting());  // cleared also when painting raises
}

// Steps of at most Step, the last one landing on the target; a fade begun
// between steps (as a pumped message may) ends the one it interrupted.
TEST(FormFade, StepsReachTheTargetAndANewerFadeEndsAnOlderOne) {
  TWidgetForm form(nullptr);
  form.Show();
  std::vector<int> seen;
  form.OnFadeStep = [&](TComponent*) { seen.push_back(form.Opacity()); };
  form.SetOpacity(0);
  int pauses = 0;
  EXPECT_TRUE(form.FadeTo(20, 8, 0, [&] { return ++pauses > 0; }));
  EXPECT_TRUE(form.FadeTo(20, 8, 0, nullptr));  // there already: no step
  EXPECT_FALSE(form.FadeStep(4, 0));            // step 0 goes all the way
  EXPECT_EQ(seen, (std::vector<int>{8, 16, 20, 4}));
  EXPECT_EQ(pauses, 2);  // between steps only

  seen.clear();
  form.SetOpacity(255);
  bool interrupted = false;
  EXPECT_FALSE(form.FadeTo(0, 100, 1, [&] { return interrupted || (interrupted = form.FadeTo(200, 0, 0, nullptr)); }));
  EXPECT_FALSE(form.FadeTo(0, 8, 0, [] { return false; }));  // the caller's pump can end it too
  EXPECT_EQ(seen, (std::vector<int>{155, 200, 192}));
}

// Centring measures from the screen's corner, not the work area's.
TEST(FormPlacement, CentringUsesTheWorkAreaSizeAndOSLevelFollowsTheVersion) {
  TWidgetForm form(nullptr);
  form.SetWidth(101);
  form.SetHeight(51);
  // A work area away from the screen's corner tells the two apart.
  RECT saved{}, offset{100, 50, 1100, 950};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &saved, 0);
  ASSERT_TRUE(SystemParametersInfoW(SPI_SETWORKAREA, 0, &offset, 0));
  CenterWindow(form.Handle());
  SystemParametersInfoW(SPI_SETWORKAREA, 0, &saved, 0);
  RECT r;
  GetWindowRect(form.StoredHandle(), &r);
  EXPECT_EQ((std::vector<LONG>{r.left, r.top}), (std::vector<LONG>{(1000 - 101) / 2, (900 - 51) / 2}));
  EXPECT_EQ((std::vector<int32_t>{ComputeOSLevel(5, 2, L""), ComputeOSLevel(5, 1, L""),
                                  ComputeOSLevel(5, 1, L"service pack 2"), ComputeOSLevel(5, 0, L"Service Pack 4")}),
            (std::vector<int32_t>{0x600, 0x501, 0x502, 0}));
}

namespace {
// A form that attaches a tooltip while its window is being made, as a widget
// with a count to explain does: the tooltip subclasses the window (TTF_SUBCLASS).
struct TTippedForm : TWidgetForm {
  TTippedForm() : TWidgetForm(nullptr) {}
  void DoCreate() override {
    TWidgetForm::DoCreate();
    Tip.Attach(StoredHandle());
    Tip.SetText(u"visitors in the last 5 minutes");
  }
  TWindowTip Tip;
};
}  // namespace

// The second form of a class once found the window's procedure changed by the
// tooltip, took the class's own procedure for the default and called itself
// on the first message it passed on, until the stack overflowed.
TEST(FormWindowClass, AFormHookedWhileItIsMadePassesMessagesOnOnceNotForEver) {
  TTippedForm first, second;
  for (TTippedForm* form : {&first, &second}) {
    HWND window = form->Handle();
    ASSERT_TRUE(IsWindow(window));
    EXPECT_EQ(SendMessageW(window, WM_GETICON, ICON_SMALL, 0), 0);
    EXPECT_EQ(SendMessageW(window, WM_GETTEXTLENGTH, 0, 0), 0);
  }
  // A class nobody registered is refused loudly, not registered on the spot.
  struct TUnregistered : TWidgetForm {
    TUnregistered() : TWidgetForm(nullptr) {}
    const WideChar* ClassName() const override { return u"TNobodyRegisteredThis"; }
  } stray;
  EXPECT_THROW(stray.Handle(), EInvalidOperation);
}
