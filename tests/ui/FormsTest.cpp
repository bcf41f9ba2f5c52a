#include <gtest/gtest.h>

#include "UiTestSupport.h"

using namespace uitest;

namespace {
// A shown child of form at (x, y), size x size, painting argb.
TWidgetControl* AddChild(TWidgetForm& form, int x, int y, int size, uint32_t argb) {
  auto* child = new TWidgetControl(&form);
  child->SetParent(&form);
  child->MoveTo(x, y);
  child->SetWidth(size);
  child->SetHeight(size);
  child->OnPaint = FillWith(argb);
  child->Show();
  return child;
}

// A 40 x 40 form with one green 20 x 20 child at (10, 10).
struct TFormWithChild {
  TFormWithChild() : Form(nullptr) {
    Form.SetWidth(40);
    Form.SetHeight(40);
    Child = AddChild(Form, 10, 10, 20, 0xFF00FF00);
    Form.Canvas()->SetSize(40, 40);
  }
  uint32_t At(int x, int y) {
    Form.Paint();
    return PixelAt(Form.Canvas()->Bitmap(), x, y);
  }
  TWidgetForm Form;
  TWidgetControl* Child;
};
}  // namespace

TEST(FormCompositing, ChildrenArriveThroughTheirOpacity) {
  TFormWithChild f;
  EXPECT_EQ(f.At(15, 15), 0xFF00FF00u);
  EXPECT_EQ(f.At(5, 5), 0u);
  f.Child->SetOpacity(128);
  EXPECT_TRUE(Near(f.At(15, 15) >> 24, 127, 1));
  f.Child->SetOpacity(255);  // faded once: still through alpha scaling
  EXPECT_EQ(f.At(15, 15) >> 24, 254u);
}

TEST(FormCompositing, InvisibleChildIsNeitherPaintedNorComposited) {
  TFormWithChild f;
  int paints = 0;
  f.Child->OnPaint = FillWith(0xFF00FF00, &paints);
  f.Form.Paint();
  f.Child->Hide();
  EXPECT_EQ(f.At(15, 15), 0u);
  EXPECT_EQ(paints, 1);
}

TEST(FormCompositing, LaterChildrenLandOnTopUntilTheOrderChanges) {
  TFormWithChild f;
  TWidgetControl* top = AddChild(f.Form, 25, 25, 10, 0xFFFF0000);
  EXPECT_EQ(f.At(27, 27), 0xFFFF0000u);
  // Raising the first child through the platform puts it on top from then on.
  SetWindowPos(f.Child->StoredHandle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  EXPECT_EQ(f.At(27, 27), 0xFF00FF00u);
  EXPECT_EQ(f.At(32, 32), 0xFFFF0000u);
  delete top;  // the freed child is gone from the painting
  EXPECT_EQ(f.At(32, 32), 0u);
}

TEST(FormRedraw, ChildRedrawPaintsTheFormOnceAndNeverReenters) {
  TFormWithChild f;
  int paints = 0;
  f.Form.OnPaint = [&](TComponent*, TWidgetCanvas*) {
    ++paints;
    EXPECT_TRUE(f.Form.Painting());
    f.Form.Redraw();
  };
  f.Child->Redraw();
  EXPECT_EQ(paints, 1);
  EXPECT_FALSE(f.Form.Painting());
  f.Form.OnPaint = [&](TComponent*, TWidgetCanvas*) { throw Exception(u"paint failed"); };
  EXPECT_THROW(f.Form.Redraw(), Exception);
  EXPECT_FALSE(f.Form.Painting());  // cleared also when painting raises

  TWidgetForm windowless(nullptr);
  windowless.UpdateLayer();
  windowless.Redraw();
  EXPECT_FALSE(windowless.WindowExists());
}

TEST(FormLayer, ShowsTheCanvasOnScreenAndOpacityZeroHidesIt) {
  SetCursorPos(900, 900);
  TWidgetForm form(nullptr);
  form.MoveTo(200, 200);
  form.SetWidth(40);
  form.SetHeight(40);
  int paints = 0;
  TPaintEvent red = FillWith(0xFFFF0000, &paints);
  form.OnPaint = [&](TComponent* sender, TWidgetCanvas* canvas) {
    red(sender, canvas);
    canvas->Brush()->SetColor(0x800000FF);  // half-transparent blue corner
    canvas->FillRect(RECT{0, 0, 10, 10});
  };
  uint32_t background = ScreenPixel(220, 220);
  auto shows = [&](uint32_t rgb) {
    Pump(300, [&] { return ScreenPixel(220, 220) == rgb; });
    return ScreenPixel(220, 220) == rgb;
  };
  form.Show();
  form.Redraw();
  EXPECT_TRUE(shows(0xFF0000));
  uint32_t corner = ScreenPixel(203, 203);
  EXPECT_TRUE(Near(corner & 0xFF, 128, 4)) << std::hex << corner;  // blue at half alpha over black
  EXPECT_EQ(ScreenPixel(250, 250), background);  // outside the form

  form.SetOpacity(0);
  form.UpdateLayer();
  EXPECT_TRUE(shows(background));
  form.SetOpacity(255);
  form.UpdateLayer();
  EXPECT_TRUE(shows(0xFF0000));
  EXPECT_EQ(paints, 1);  // fading re-sends the picture without painting
}

// No handler and caFree destroy the window, caHide hides it, caNone keeps it.
template <class TForm>
void ExpectCloseActions() {
  struct Row { int action; bool exists; bool visible; };
  for (Row row : {Row{-1, false, false}, Row{caFree, false, false}, Row{caHide, true, false}, Row{caNone, true, true}}) {
    TForm form(nullptr);
    form.SetWidth(10);
    if (row.action >= 0)
      form.OnClose = [&](TComponent* sender, TCloseAction& action) {
        EXPECT_EQ(action, caFree);
        EXPECT_EQ(sender, &form);
        action = static_cast<TCloseAction>(row.action);
      };
    form.Show();
    HWND window = form.StoredHandle();
    SendMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(form.WindowExists(), row.exists) << row.action;
    EXPECT_EQ(IsWindow(window) && IsWindowVisible(window), row.visible) << row.action;
    EXPECT_EQ(form.Width(), 10);  // the object stays readable
  }
}

TEST(FormMessages, CloseActionsOfLayeredAndNativeForms) {
  ExpectCloseActions<TWidgetForm>();
  ExpectCloseActions<TWinForm>();
}

TEST(FormMessages, EventsInOrderAndChildrenMadeDuringCreationArePainted) {
  TWidgetForm form(nullptr);
  std::vector<std::string> log;
  TWidgetControl* child = nullptr;
  int childPaints = 0;
  form.OnCreate = [&](TComponent*) {
    log.push_back("create");
    child = AddChild(form, 0, 0, 5, 0xFF0000FF);  // the form's handle is already known here
    child->OnPaint = FillWith(0xFF0000FF, &childPaints);
  };
  form.OnDestroy = [&](TComponent*) { log.push_back("destroy"); };
  form.OnActivate = [&](TComponent*, uint32_t state) { log.push_back("activate " + std::to_string(state)); };
  HWND window = form.Handle();
  ASSERT_NE(child, nullptr);
  EXPECT_EQ(GetParent(child->StoredHandle()), window);
  form.Paint();
  EXPECT_EQ(childPaints, 1);
  SendMessageW(window, WM_ACTIVATE, MAKEWPARAM(WA_CLICKACTIVE, 0), 0);
  EXPECT_EQ(SendMessageW(window, WM_MOUSEACTIVATE, 0, MAKELPARAM(HTCLIENT, WM_LBUTTONDOWN)), MA_ACTIVATE);
  form.OnMouseActivate = [&](TComponent*, uint16_t hit, uint16_t msg, int32_t& result) {
    EXPECT_EQ((std::vector<int>{hit, msg, result}), (std::vector<int>{HTCLIENT, WM_LBUTTONDOWN, MA_ACTIVATE}));
    result = MA_NOACTIVATE;
  };
  EXPECT_EQ(SendMessageW(window, WM_MOUSEACTIVATE, 0, MAKELPARAM(HTCLIENT, WM_LBUTTONDOWN)), MA_NOACTIVATE);
  DestroyWindow(window);
  EXPECT_EQ(log, (std::vector<std::string>{"create", "activate 2", "destroy"}));
}

TEST(FormMessages, OwnedNativeFormsFollowWhenThePlatformMovesTheForm) {
  TWidgetForm form(nullptr);
  form.MoveTo(100, 100);
  auto* owned = new TWinForm(&form);
  owned->SetParent(&form);
  owned->MoveTo(130, 110);
  owned->Handle();
  SetWindowPos(form.Handle(), nullptr, 160, 170, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  SetWindowPos(form.Handle(), nullptr, 0, 0, 30, 30, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  RECT r;
  GetWindowRect(owned->StoredHandle(), &r);
  EXPECT_EQ(r.left, 190);  // kept 30, 10 away from the form, and a resize moves nothing
  EXPECT_EQ(r.top, 180);
  EXPECT_EQ(form.Left(), 160);  // the form learns its own move from WM_MOVE
}

TEST(Desktop, CentringMeasuresFromTheScreenCorner) {
  TWidgetDesktop desktop(nullptr);
  TWidgetForm form(nullptr);
  form.SetWidth(101);
  form.SetHeight(51);
  CenterWindow(form.Handle());
  RECT r;
  GetWindowRect(form.StoredHandle(), &r);
  EXPECT_EQ(r.left, (desktop.WorkAreaWidth() - 101) / 2);
  EXPECT_EQ(r.top, (desktop.WorkAreaHeight() - 51) / 2);
  EXPECT_EQ(r.right - r.left, 101);
}

TEST(Desktop, OSLevelFromVersionAndServicePack) {
  struct Row { uint32_t major, minor; const wchar_t* sp; int32_t level; };
  for (Row row : {Row{6, 1, L"", 0x600}, Row{5, 2, L"", 0x600}, Row{10, 0, L"", 0x600}, Row{5, 1, L"", 0x501},
                  Row{5, 1, L"Service Pack 1", 0x501}, Row{5, 1, L"Service Pack 2", 0x502},
                  Row{5, 1, L"service pack 3", 0x502}, Row{5, 0, L"Service Pack 4", 0}, Row{4, 9, L"", 0}})
    EXPECT_EQ(ComputeOSLevel(row.major, row.minor, row.sp), row.level) << row.major << "." << row.minor;
  EXPECT_EQ(OSLevel(), 0x600);  // this Wine reports a modern version
}
