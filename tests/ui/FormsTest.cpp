#include <gtest/gtest.h>

#include "UiTestSupport.h"

using namespace uitest;

namespace {
void Fill(TWidgetCanvas* canvas, uint32_t argb) {
  canvas->Brush()->SetColor(argb);
  canvas->FillRect(RECT{0, 0, canvas->Width(), canvas->Height()});
}

// A form with one child at (10, 10), both sized and shown; the child paints green.
struct TFormWithChild {
  TFormWithChild() : Form(nullptr) {
    Form.SetWidth(40);
    Form.SetHeight(40);
    Child = new TWidgetControl(&Form);
    Child->SetParent(&Form);
    Child->MoveTo(10, 10);
    Child->SetWidth(20);
    Child->SetHeight(20);
    Child->OnPaint = [](TComponent*, TWidgetCanvas* canvas) { Fill(canvas, 0xFF00FF00); };
    Child->Show();
    Form.Handle();
    Form.Canvas()->SetSize(40, 40);
  }
  TWidgetForm Form;
  TWidgetControl* Child;
};
}  // namespace

TEST(FormCompositing, ChildrenArriveThroughTheirOpacity) {
  TFormWithChild f;
  f.Form.Paint();
  EXPECT_EQ(PixelAt(f.Form.Canvas()->Bitmap(), 15, 15), 0xFF00FF00u);
  EXPECT_EQ(PixelAt(f.Form.Canvas()->Bitmap(), 5, 5), 0u);
  f.Child->SetOpacity(128);
  f.Form.Paint();
  EXPECT_TRUE(Near(AlphaAt(f.Form.Canvas()->Bitmap(), 15, 15), 127, 1));
  f.Child->SetOpacity(255);  // faded once: still through alpha scaling
  f.Form.Paint();
  EXPECT_EQ(AlphaAt(f.Form.Canvas()->Bitmap(), 15, 15), 254);
  EXPECT_TRUE(f.Child->Faded());
}

TEST(FormCompositing, InvisibleChildIsNeitherPaintedNorComposited) {
  TFormWithChild f;
  int paints = 0;
  f.Child->OnPaint = [&](TComponent*, TWidgetCanvas* canvas) {
    ++paints;
    Fill(canvas, 0xFF00FF00);
  };
  f.Form.Paint();
  EXPECT_EQ(paints, 1);
  f.Child->Hide();
  f.Form.Paint();
  EXPECT_EQ(paints, 1);
  EXPECT_EQ(AlphaAt(f.Form.Canvas()->Bitmap(), 15, 15), 0);
}

TEST(FormCompositing, LaterChildrenLandOnTop) {
  TFormWithChild f;
  auto* top = new TWidgetControl(&f.Form);
  top->SetParent(&f.Form);
  top->MoveTo(15, 15);
  top->SetWidth(10);
  top->SetHeight(10);
  top->OnPaint = [](TComponent*, TWidgetCanvas* canvas) { Fill(canvas, 0xFFFF0000); };
  top->Show();
  f.Form.Paint();
  EXPECT_EQ(PixelAt(f.Form.Canvas()->Bitmap(), 12, 12), 0xFF00FF00u);
  EXPECT_EQ(PixelAt(f.Form.Canvas()->Bitmap(), 20, 20), 0xFFFF0000u);
  // Raising the first child through the platform puts it on top from then on.
  SetWindowPos(f.Child->StoredHandle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  f.Form.Paint();
  EXPECT_EQ(PixelAt(f.Form.Canvas()->Bitmap(), 20, 20), 0xFF00FF00u);
  // A control whose window is a child only through ParentWindow is painted too.
  TWidgetControl loose(nullptr);
  loose.SetParentWindow(f.Form.StoredHandle());
  loose.SetWidth(4);
  loose.SetHeight(4);
  int loosePaints = 0;
  loose.OnPaint = [&](TComponent*, TWidgetCanvas*) { ++loosePaints; };
  loose.Show();
  f.Form.Paint();
  EXPECT_EQ(loosePaints, 1);
  delete top;
  f.Form.Paint();  // the freed child is gone from the painting
  EXPECT_EQ(loosePaints, 2);
}

TEST(FormRedraw, RedrawInsideOnPaintIsDropped) {
  TWidgetForm form(nullptr);
  form.Handle();
  int paints = 0;
  form.OnPaint = [&](TComponent*, TWidgetCanvas*) {
    ++paints;
    EXPECT_TRUE(form.Painting());
    form.Redraw();
  };
  form.Redraw();
  EXPECT_EQ(paints, 1);
  EXPECT_FALSE(form.Painting());
  form.OnPaint = [&](TComponent*, TWidgetCanvas*) { throw Exception(u"paint failed"); };
  EXPECT_THROW(form.Redraw(), Exception);
  EXPECT_FALSE(form.Painting());  // cleared also when painting raises
}

TEST(FormRedraw, ChildRedrawClimbsToTheForm) {
  TFormWithChild f;
  int formPaints = 0;
  f.Form.OnPaint = [&](TComponent*, TWidgetCanvas*) { ++formPaints; };
  f.Child->Redraw();
  EXPECT_EQ(formPaints, 1);
}

TEST(FormLayer, ShowsTheCanvasOnScreenAndOpacityZeroHidesIt) {
  SetCursorPos(900, 900);
  TWidgetForm form(nullptr);
  form.MoveTo(200, 200);
  form.SetWidth(40);
  form.SetHeight(40);
  int paints = 0;
  form.OnPaint = [&](TComponent*, TWidgetCanvas* canvas) {
    ++paints;
    Fill(canvas, 0xFFFF0000);
    canvas->Brush()->SetColor(0x800000FF);  // half-transparent blue corner
    canvas->FillRect(RECT{0, 0, 10, 10});
  };
  uint32_t background = ScreenPixel(220, 220);
  form.Show();
  form.Redraw();
  Pump(300, [] { return ScreenPixel(220, 220) == 0xFF0000; });
  EXPECT_EQ(ScreenPixel(220, 220), 0xFF0000u);
  uint32_t corner = ScreenPixel(203, 203);
  EXPECT_TRUE(Near(corner & 0xFF, 128, 4)) << std::hex << corner;  // blue at half alpha over black
  EXPECT_EQ(ScreenPixel(250, 250), background);  // outside the form

  form.SetOpacity(0);
  form.UpdateLayer();
  Pump(300, [&] { return ScreenPixel(220, 220) == background; });
  EXPECT_EQ(ScreenPixel(220, 220), background);
  form.SetOpacity(255);
  form.UpdateLayer();
  Pump(300, [] { return ScreenPixel(220, 220) == 0xFF0000; });
  EXPECT_EQ(ScreenPixel(220, 220), 0xFF0000u);
  EXPECT_EQ(paints, 1);  // fading re-sends the picture without painting
}

TEST(FormLayer, WithoutWindowOrCanvasNothingHappens) {
  TWidgetForm form(nullptr);
  form.UpdateLayer();
  form.Redraw();
  EXPECT_FALSE(form.WindowExists());
}

TEST(FormMessages, CloseActions) {
  struct Row { int action; bool exists; bool visible; };
  for (Row row : {Row{-1, false, false}, Row{caFree, false, false}, Row{caHide, true, false}, Row{caNone, true, true}}) {
    TWidgetForm form(nullptr);
    form.SetWidth(10);
    form.SetHeight(10);
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

TEST(FormMessages, CreateDestroyActivateAndMouseActivateEvents) {
  TWidgetForm form(nullptr);
  std::vector<std::string> log;
  TWidgetControl* child = nullptr;
  form.OnCreate = [&](TComponent*) {
    log.push_back("create");
    child = new TWidgetControl(&form);  // the form's handle is already known here
    child->SetParent(&form);
    child->Handle();
  };
  form.OnDestroy = [&](TComponent*) { log.push_back("destroy"); };
  form.OnActivate = [&](TComponent*, uint32_t state) { log.push_back("activate " + std::to_string(state)); };
  HWND window = form.Handle();
  ASSERT_NE(child, nullptr);
  EXPECT_EQ(GetParent(child->StoredHandle()), window);
  int childPaints = 0;
  child->OnPaint = [&](TComponent*, TWidgetCanvas*) { ++childPaints; };
  child->Show();
  form.Paint();
  EXPECT_EQ(childPaints, 1);  // children made while the form is being created are painted too
  SendMessageW(window, WM_ACTIVATE, MAKEWPARAM(WA_CLICKACTIVE, 0), 0);
  EXPECT_EQ(SendMessageW(window, WM_MOUSEACTIVATE, 0, MAKELPARAM(HTCLIENT, WM_LBUTTONDOWN)), MA_ACTIVATE);
  form.OnMouseActivate = [&](TComponent*, uint16_t hit, uint16_t msg, int32_t& result) {
    EXPECT_EQ(hit, HTCLIENT);
    EXPECT_EQ(msg, WM_LBUTTONDOWN);
    EXPECT_EQ(result, MA_ACTIVATE);
    result = MA_NOACTIVATE;
  };
  EXPECT_EQ(SendMessageW(window, WM_MOUSEACTIVATE, 0, MAKELPARAM(HTCLIENT, WM_LBUTTONDOWN)), MA_NOACTIVATE);
  DestroyWindow(window);
  EXPECT_EQ(log, (std::vector<std::string>{"create", "activate 2", "destroy"}));
}

TEST(FormMessages, OwnedNativeFormsFollowWhenThePlatformMovesTheForm) {
  TWidgetForm form(nullptr);
  form.MoveTo(100, 100);
  form.SetWidth(20);
  form.SetHeight(20);
  auto* owned = new TWinForm(&form);
  owned->SetParent(&form);
  owned->MoveTo(130, 110);
  owned->SetWidth(50);
  owned->SetHeight(50);
  owned->Handle();
  RECT r;
  GetWindowRect(owned->StoredHandle(), &r);
  ASSERT_EQ(r.left, 130);
  SetWindowPos(form.Handle(), nullptr, 160, 170, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  GetWindowRect(owned->StoredHandle(), &r);
  EXPECT_EQ(r.left, 190);  // kept 30, 10 away from the form
  EXPECT_EQ(r.top, 180);
  EXPECT_EQ(form.Left(), 160);  // the form learns its own move from WM_MOVE
  SetWindowPos(form.Handle(), nullptr, 0, 0, 30, 30, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  GetWindowRect(owned->StoredHandle(), &r);
  EXPECT_EQ(r.left, 190);
}

TEST(Desktop, WorkAreaAndCentering) {
  TWidgetDesktop desktop(nullptr);
  RECT work;
  desktop.WorkArea(work);
  EXPECT_EQ(desktop.WorkAreaWidth(), work.right - work.left);
  EXPECT_EQ(desktop.WorkAreaHeight(), work.bottom - work.top);
  EXPECT_GE(desktop.VirtualScreenWidth(), desktop.WorkAreaWidth());
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

TEST(Desktop, SystemColoursResolveByTheirLowByte) {
  EXPECT_EQ(ResolveSysColor(static_cast<int32_t>(0x8000000F)), static_cast<int32_t>(GetSysColor(COLOR_BTNFACE)));
  EXPECT_EQ(ResolveSysColor(static_cast<int32_t>(0x80000005)), static_cast<int32_t>(GetSysColor(COLOR_WINDOW)));
  EXPECT_EQ(ResolveSysColor(0x00123456), 0x00123456);
  EXPECT_EQ(ResolveSysColor(0), 0);
}

TEST(Desktop, OSLevelFromVersionAndServicePack) {
  struct Row { uint32_t major, minor; const wchar_t* sp; int32_t level; };
  for (Row row : {Row{6, 1, L"", 0x600}, Row{5, 2, L"", 0x600}, Row{10, 0, L"", 0x600}, Row{5, 1, L"", 0x501},
                  Row{5, 1, L"Service Pack 1", 0x501}, Row{5, 1, L"Service Pack 2", 0x502},
                  Row{5, 1, L"service pack 3", 0x502}, Row{5, 0, L"Service Pack 4", 0}, Row{4, 9, L"", 0}})
    EXPECT_EQ(ComputeOSLevel(row.major, row.minor, row.sp), row.level) << row.major << "." << row.minor;
  EXPECT_EQ(OSLevel(), 0x600);  // this Wine reports a modern version
}
