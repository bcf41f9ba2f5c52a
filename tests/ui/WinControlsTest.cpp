#include <gtest/gtest.h>

#include "UiTestSupport.h"

using namespace uitest;

// A changed object's new handle goes into the context; unbinding gives the
// context its own objects back, so that none of the canvas's stays selected.
TEST(GdiObjects, CanvasSelectsReplacementsAndAssignCopiesOnlyItsOwnKind) {
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ originalFont = GetCurrentObject(dc, OBJ_FONT);
  HGDIOBJ originalBrush = GetCurrentObject(dc, OBJ_BRUSH);
  {
    TCanvas canvas;
    EXPECT_EQ(canvas.Pen()->Handle(), nullptr);  // colour 0 is the pen's own: no handle yet
    int changes = 0;
    canvas.OnChange = [&](TCanvas*) { ++changes; };
    canvas.Font()->SetSize(12);  // no context yet: nothing selected
    canvas.SetHandle(dc);
    canvas.Font()->SetColor(0x0000FF);
    EXPECT_EQ(GetCurrentObject(dc, OBJ_FONT), canvas.Font()->Handle());
    EXPECT_EQ(GetTextColor(dc), 0x0000FFu);
    TBrush source;
    source.SetColor(0x00FF00);
    canvas.Brush()->Assign(&source);
    canvas.Brush()->Assign(canvas.Font());  // another kind: ignored
    EXPECT_EQ(GetCurrentObject(dc, OBJ_BRUSH), canvas.Brush()->Handle());
    EXPECT_EQ(canvas.Brush()->Color(), 0x00FF00);
    canvas.Pen()->SetColor(1);
    EXPECT_EQ(GetCurrentObject(dc, OBJ_PEN), canvas.Pen()->Handle());
    EXPECT_EQ(changes, 3);
    canvas.SetHandle(nullptr);
    EXPECT_EQ(GetCurrentObject(dc, OBJ_FONT), originalFont);
    EXPECT_EQ(GetCurrentObject(dc, OBJ_BRUSH), originalBrush);
  }
  DeleteDC(dc);
  TFont font, copy;
  font.SetStyle(fsBold);
  font.SetName(WideString(40, u'A'));  // longer than a face name can hold
  copy.Assign(&font);
  LOGFONTW lf{};
  GetObjectW(copy.Handle(), sizeof(lf), &lf);
  EXPECT_EQ(lf.lfWeight, FW_BOLD);
  EXPECT_EQ(WideOf(lf.lfFaceName), WideString(31, u'A'));
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

TEST(TrayIcon, ShowsInTheNotificationAreaWithTextsCutToTheirFields) {
  TWidgetTray tray(nullptr);
  HWND window = tray.Handle();
  tray.SetIcon(CopyIcon(LoadIconW(nullptr, IDI_APPLICATION)));
  tray.SetShowIcon(true);
  EXPECT_TRUE(tray.Notify(NIM_MODIFY));  // the icon is there to modify
  tray.SetTip(WideString(200, u't'));
  EXPECT_EQ(WideOf(tray.IconData().szTip), WideString(127, u't'));
  EXPECT_TRUE(tray.IconData().uFlags & NIF_TIP);
  tray.SetTip(u"");
  EXPECT_FALSE(tray.IconData().uFlags & NIF_TIP);
  tray.SetBalloonTitle(WideString(100, u'h'));
  EXPECT_EQ(WideOf(tray.IconData().szInfoTitle), WideString(63, u'h'));
  tray.ShowBalloon();
  EXPECT_TRUE(tray.IconData().uFlags & NIF_INFO);
  SendMessageW(window, WM_TRAYNOTIFY, 0, NIN_BALLOONTIMEOUT);
  EXPECT_FALSE(tray.IconData().uFlags & NIF_INFO);
  tray.SetShowIcon(false);
  EXPECT_FALSE(tray.Notify(NIM_MODIFY));  // gone
  tray.SetShowIcon(true);
  DestroyWindow(window);  // deletes the icon and frees the owned icon handle
  EXPECT_EQ(tray.Icon(), nullptr);
  // A second tray finds the class the first registered; its unhandled messages
  // still reach the platform's default procedure.
  TWidgetTray second(nullptr);
  EXPECT_EQ(DefWindowProcW(second.Handle(), WM_GETTEXTLENGTH, 0, 0), SendMessageW(second.Handle(), WM_GETTEXTLENGTH, 0, 0));
  DestroyWindow(second.Handle());
}

TEST(TrayIcon, MouseMessagesBecomeEventsWithKeysAndOneClickPerPress) {
  TWidgetTray tray(nullptr);
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
    BYTE keys[256] = {};  // this thread's view of Shift and Ctrl
    keys[VK_SHIFT] = row.shift ? 0x80 : 0;
    keys[VK_CONTROL] = row.control ? 0x80 : 0;
    SetKeyboardState(keys);
    for (UINT msg : row.messages) SendMessageW(tray.Handle(), WM_TRAYNOTIFY, 0, msg);
    EXPECT_EQ(log, row.events) << row.messages.front();
  }
}
