#include <gtest/gtest.h>

#include "UiTestSupport.h"

using namespace uitest;

namespace {
LOGFONTW FontOf(HFONT font) {
  LOGFONTW lf{};
  GetObjectW(font, sizeof(lf), &lf);
  return lf;
}

// Holds Shift and/or Ctrl in this thread's keyboard state for one scope.
struct TKeysDown {
  TKeysDown(bool shift, bool control) {
    GetKeyboardState(Saved);
    BYTE state[256];
    std::copy(Saved, Saved + 256, state);
    state[VK_SHIFT] = shift ? 0x80 : 0;
    state[VK_CONTROL] = control ? 0x80 : 0;
    SetKeyboardState(state);
  }
  ~TKeysDown() { SetKeyboardState(Saved); }
  BYTE Saved[256];
};
}  // namespace

TEST(GdiObjects, NewCanvasHasWindowBrushNoPenAndEightPointTurkishTahoma) {
  TCanvas canvas;
  EXPECT_EQ(canvas.Brush()->Color(), static_cast<int32_t>(GetSysColor(COLOR_WINDOW)));
  EXPECT_EQ(canvas.Pen()->Handle(), nullptr);
  LOGFONTW lf = FontOf(canvas.Font()->Handle());
  HDC screen = GetDC(nullptr);
  EXPECT_EQ(lf.lfHeight, -MulDiv(GetDeviceCaps(screen, LOGPIXELSY), 8, 72));
  ReleaseDC(nullptr, screen);
  EXPECT_EQ(WideOf(lf.lfFaceName), u"Tahoma");
  EXPECT_EQ(lf.lfCharSet, 162);
  canvas.Pen()->SetColor(0);  // the colour it has: still no pen
  EXPECT_EQ(canvas.Pen()->Handle(), nullptr);
  canvas.Pen()->SetColor(1);
  EXPECT_NE(canvas.Pen()->Handle(), nullptr);
}

TEST(GdiObjects, FontStylesAndLongNames) {
  TFont font;
  font.SetStyle(fsBold | fsItalic | fsUnderline);
  LOGFONTW lf = FontOf(font.Handle());
  EXPECT_EQ(lf.lfWeight, FW_BOLD);
  EXPECT_EQ(lf.lfItalic, 1);
  EXPECT_EQ(lf.lfUnderline, 1);
  font.SetName(WideString(40, u'A'));  // longer than a face name can hold
  lf = FontOf(font.Handle());
  EXPECT_EQ(WideOf(lf.lfFaceName), WideString(31, u'A'));
}

TEST(GdiObjects, AssignCopiesSameKindOnlyAndReportsChanges) {
  TBrush source, target;
  int changes = 0;
  target.OnChange = [&](TGraphicObject* sender) { changes += sender == &target; };
  source.SetColor(0x00112233);
  target.Assign(&source);
  EXPECT_EQ(target.Color(), 0x00112233);
  EXPECT_EQ(changes, 1);
  target.Assign(&target);
  TFont font;
  target.Assign(&font);  // another kind: ignored
  EXPECT_EQ(changes, 1);
  // A system colour is stored resolved, so setting it again makes a new brush.
  target.SetColor(clSysBtnFace);
  HBRUSH first = target.Handle();
  target.SetColor(clSysBtnFace);
  EXPECT_NE(target.Handle(), first);
  EXPECT_EQ(changes, 3);

  TFont copy;
  font.SetName(u"Courier New");
  copy.Assign(&font);
  EXPECT_EQ(WideOf(FontOf(copy.Handle()).lfFaceName), u"Courier New");
}

// A changed object's new handle goes into the context before the old one is
// deleted: GDI refuses to delete a selected object.
TEST(GdiObjects, CanvasSelectsReplacementsAndGivesTheOriginalsBack) {
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ originalFont = GetCurrentObject(dc, OBJ_FONT);
  HGDIOBJ originalBrush = GetCurrentObject(dc, OBJ_BRUSH);
  {
    TCanvas canvas;
    int changes = 0;
    canvas.OnChange = [&](TCanvas*) { ++changes; };
    canvas.Font()->SetSize(12);  // no context yet: nothing selected
    EXPECT_EQ(changes, 0);
    canvas.SetHandle(dc);
    canvas.Font()->SetColor(0x0000FF);
    EXPECT_EQ(GetCurrentObject(dc, OBJ_FONT), canvas.Font()->Handle());
    EXPECT_EQ(GetTextColor(dc), 0x0000FFu);
    canvas.Brush()->SetColor(0x00FF00);
    EXPECT_EQ(GetCurrentObject(dc, OBJ_BRUSH), canvas.Brush()->Handle());
    canvas.Font()->SetSize(14);
    EXPECT_EQ(GetCurrentObject(dc, OBJ_FONT), canvas.Font()->Handle());
    EXPECT_EQ(changes, 3);
    canvas.SetHandle(nullptr);
    EXPECT_EQ(GetCurrentObject(dc, OBJ_FONT), originalFont);
    EXPECT_EQ(GetCurrentObject(dc, OBJ_BRUSH), originalBrush);
  }
  DeleteDC(dc);
}

// The canvas once kept its objects selected into the paint context past EndPaint.
TEST(WinForms, PaintBindsTheCanvasToThePaintContext) {
  struct TPaintedForm : TWinForm {
    using TWinForm::TWinForm;
    void Paint() override {
      Bound = Canvas()->HandleAllocated();
      RECT area{0, 0, 5, 5};
      ::FillRect(Canvas()->Handle(), &area, Canvas()->Brush()->Handle());
    }
    bool Bound = false;
  };
  TPaintedForm form(nullptr);
  form.Brush()->SetColor(0x0000FF);
  form.MoveTo(300, 300);
  form.SetWidth(120);
  form.SetHeight(90);
  form.Show();
  form.Invalidate();
  UpdateWindow(form.StoredHandle());
  POINT p{2, 2};
  ClientToScreen(form.StoredHandle(), &p);
  Pump(300, [&] { return ScreenPixel(p.x, p.y) == 0xFF0000; });
  EXPECT_EQ(ScreenPixel(p.x, p.y), 0xFF0000u);
  EXPECT_TRUE(form.Bound);
  EXPECT_FALSE(form.Canvas()->HandleAllocated());
}

TEST(TrayIcon, RecordNamesTheWindowOnceCreated) {
  TWidgetTray tray(nullptr);
  const NOTIFYICONDATAW& data = tray.IconData();
  HWND window = tray.Handle();
  EXPECT_EQ(data.hWnd, window);
  EXPECT_EQ(data.uID, static_cast<UINT>(reinterpret_cast<UINT_PTR>(window)));
  wchar_t cls[64];
  GetClassNameW(window, cls, 64);
  EXPECT_EQ(WideOf(cls), u"Widget_Tray_Window_Class");
  EXPECT_EQ(static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE)) & (WS_POPUP | WS_OVERLAPPEDWINDOW),
            static_cast<DWORD>(WS_POPUP));
  EXPECT_EQ(SendMessageW(window, WM_QUERYENDSESSION, 0, 0), 1);
}

TEST(TrayIcon, TextsAreCutToTheirFields) {
  TWidgetTray tray(nullptr);
  tray.SetTip(WideString(200, u't'));
  EXPECT_EQ(WideOf(tray.IconData().szTip), WideString(127, u't'));
  EXPECT_TRUE(tray.IconData().uFlags & NIF_TIP);
  EXPECT_EQ(tray.Tip().size(), 200u);
  tray.SetTip(u"");
  EXPECT_FALSE(tray.IconData().uFlags & NIF_TIP);
  tray.SetBalloonText(WideString(300, u'b'));
  EXPECT_EQ(WideOf(tray.IconData().szInfo), WideString(255, u'b'));
  tray.SetBalloonTitle(WideString(100, u'h'));
  EXPECT_EQ(WideOf(tray.IconData().szInfoTitle), WideString(63, u'h'));
}

TEST(TrayIcon, ShowsInTheNotificationAreaAndBalloonsComeAndGo) {
  TWidgetTray tray(nullptr);
  HWND window = tray.Handle();
  tray.SetIcon(CopyIcon(LoadIconW(nullptr, IDI_APPLICATION)));
  tray.SetShowIcon(true);
  EXPECT_TRUE(tray.Notify(NIM_MODIFY));  // the icon is there to modify
  tray.SetBalloonIcon(NIIF_INFO);
  tray.ShowBalloon();
  EXPECT_TRUE(tray.IconData().uFlags & NIF_INFO);
  EXPECT_EQ(tray.IconData().dwInfoFlags, static_cast<DWORD>(NIIF_INFO));
  SendMessageW(window, WM_TRAYNOTIFY, 0, NIN_BALLOONTIMEOUT);
  EXPECT_FALSE(tray.IconData().uFlags & NIF_INFO);
  tray.SetShowIcon(false);
  EXPECT_FALSE(tray.Notify(NIM_MODIFY));  // gone
  tray.SetShowIcon(true);
  DestroyWindow(window);  // deletes the icon and frees the owned icon handle
  EXPECT_EQ(tray.Icon(), nullptr);
}

TEST(TrayIcon, MouseMessagesBecomeEventsWithKeysAndOneClickPerPress) {
  TWidgetTray tray(nullptr);
  HWND window = tray.Handle();
  std::vector<std::string> log;
  tray.OnTrayMouseDown = Logger(log, "down");
  tray.OnTrayMouseUp = Logger(log, "up");
  tray.OnTrayMouseMove = Logger(log, "move");
  tray.OnTrayClick = [&](TComponent*) { log.push_back("click"); };
  tray.OnTrayDblClick = [&](TComponent*) { log.push_back("dbl"); };
  SetCursorPos(321, 123);
  struct Row { bool shift, control; std::vector<UINT> messages; std::vector<std::string> events; };
  const Row rows[] = {
      {false, false, {WM_RBUTTONDOWN, WM_RBUTTONUP}, {"down 2 321,123", "up 2 321,123"}},
      // No new press before the second release: no second click.
      {false, false, {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONUP}, {"down 1 321,123", "click", "up 1 321,123", "up 1 321,123"}},
      {true, true, {WM_MBUTTONDOWN, WM_MBUTTONUP, WM_MOUSEMOVE}, {"down 28 321,123", "up 28 321,123", "move 12 321,123"}},
      {true, false, {WM_LBUTTONDOWN}, {"down 5 321,123"}},
      {false, true, {WM_LBUTTONUP}, {"click", "up 9 321,123"}},
      {false, false, {WM_LBUTTONDBLCLK, WM_RBUTTONDBLCLK, WM_MBUTTONDBLCLK, WM_KEYDOWN}, {"dbl", "dbl", "dbl"}},
  };
  for (const Row& row : rows) {
    log.clear();
    TKeysDown keys(row.shift, row.control);
    for (UINT msg : row.messages) SendMessageW(window, WM_TRAYNOTIFY, 0, msg);
    EXPECT_EQ(log, row.events) << row.messages.front();
  }
}
