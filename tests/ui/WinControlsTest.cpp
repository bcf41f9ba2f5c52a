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

TEST(GdiObjects, NewCanvasHasWindowBrushNoPenAndEightPointTahoma) {
  TCanvas canvas;
  ASSERT_NE(canvas.Brush()->Handle(), nullptr);
  EXPECT_EQ(canvas.Brush()->Color(), static_cast<int32_t>(GetSysColor(COLOR_WINDOW)));
  EXPECT_EQ(canvas.Pen()->Handle(), nullptr);
  EXPECT_FALSE(canvas.HandleAllocated());
  ASSERT_NE(canvas.Font()->Handle(), nullptr);
  LOGFONTW lf = FontOf(canvas.Font()->Handle());
  HDC screen = GetDC(nullptr);
  int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  EXPECT_EQ(lf.lfHeight, -MulDiv(dpi, 8, 72));
  if (dpi == 96) {
    EXPECT_EQ(lf.lfHeight, -11);
  }
  EXPECT_EQ(WideOf(lf.lfFaceName), u"Tahoma");
  EXPECT_EQ(lf.lfCharSet, 162);
  canvas.Pen()->SetColor(0);
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

TEST(GdiObjects, AssignCopiesAndReportsChanges) {
  TBrush source, target;
  int changes = 0;
  target.OnChange = [&](TGraphicObject* sender) {
    EXPECT_EQ(sender, &target);
    ++changes;
  };
  source.SetColor(0x00112233);
  target.Assign(&source);
  EXPECT_EQ(target.Color(), 0x00112233);
  EXPECT_NE(target.Handle(), nullptr);
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

  TFont big, copy;
  big.SetSize(20);
  big.SetName(u"Courier New");
  big.SetColor(0x0000FF);
  copy.Assign(&big);
  EXPECT_EQ(copy.Size(), 20);
  EXPECT_EQ(copy.Name(), u"Courier New");
  EXPECT_EQ(copy.Color(), 0x0000FF);

  TPen pen, penCopy;
  pen.SetColor(0x00FF00);
  penCopy.Assign(&pen);
  EXPECT_EQ(penCopy.Color(), 0x00FF00);
  EXPECT_NE(penCopy.Handle(), nullptr);
}

TEST(GdiObjects, CanvasSelectsIntoItsContextAndGivesTheOriginalsBack) {
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
    EXPECT_TRUE(canvas.HandleAllocated());
    canvas.Font()->SetColor(0x0000FF);
    EXPECT_EQ(GetCurrentObject(dc, OBJ_FONT), canvas.Font()->Handle());
    EXPECT_EQ(GetTextColor(dc), 0x0000FFu);
    canvas.Brush()->SetColor(0x00FF00);
    EXPECT_EQ(GetCurrentObject(dc, OBJ_BRUSH), canvas.Brush()->Handle());
    canvas.Font()->SetSize(14);  // the new font replaces the old one in the context
    EXPECT_EQ(GetCurrentObject(dc, OBJ_FONT), canvas.Font()->Handle());
    EXPECT_EQ(changes, 3);
    canvas.SetHandle(nullptr);
    EXPECT_EQ(GetCurrentObject(dc, OBJ_FONT), originalFont);
    EXPECT_EQ(GetCurrentObject(dc, OBJ_BRUSH), originalBrush);
  }
  DeleteDC(dc);
}

TEST(WinForms, CloseActionsAndCreationStyles) {
  struct Row { int action; bool exists; bool visible; };
  for (Row row : {Row{-1, false, false}, Row{caHide, true, false}, Row{caNone, true, true}}) {
    TWinForm form(nullptr);
    EXPECT_EQ(form.Width(), 320);
    EXPECT_EQ(form.Brush()->Color(), static_cast<int32_t>(GetSysColor(COLOR_BTNFACE)));
    if (row.action >= 0)
      form.OnClose = [&](TComponent*, TCloseAction& action) { action = static_cast<TCloseAction>(row.action); };
    form.Show();
    HWND window = form.StoredHandle();
    EXPECT_EQ(form.Style() & WS_OVERLAPPEDWINDOW, static_cast<DWORD>(WS_OVERLAPPEDWINDOW));
    EXPECT_EQ(form.ExStyle() & 0x300, 0x300u);
    SendMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(form.WindowExists(), row.exists) << row.action;
    EXPECT_EQ(IsWindow(window) && IsWindowVisible(window), row.visible) << row.action;
  }
}

TEST(WinForms, PaintBindsTheCanvasToThePaintContext) {
  struct TPaintedForm : TWinForm {
    using TWinForm::TWinForm;
    void Paint() override {
      Bound = Canvas()->HandleAllocated();
      BrushColor = Canvas()->Brush()->Color();
      ::FillRect(Canvas()->Handle(), &Area, Canvas()->Brush()->Handle());
    }
    RECT Area{0, 0, 5, 5};
    bool Bound = false;
    int32_t BrushColor = 0;
  };
  TPaintedForm form(nullptr);
  form.Brush()->SetColor(0x0000FF);
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = CreateCompatibleBitmap(GetDC(nullptr), 8, 8);
  HGDIOBJ old = SelectObject(dc, bitmap);
  SendMessageW(form.Handle(), WM_PAINT, reinterpret_cast<WPARAM>(dc), 0);
  EXPECT_TRUE(form.Bound);
  EXPECT_EQ(form.BrushColor, 0x0000FF);
  EXPECT_EQ(GetPixel(dc, 2, 2), 0x0000FFu);
  EXPECT_FALSE(form.Canvas()->HandleAllocated());
  SelectObject(dc, old);
  DeleteObject(bitmap);
  DeleteDC(dc);

  // A real paint request, through BeginPaint, reaches the screen.
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
  EXPECT_FALSE(form.Canvas()->HandleAllocated());
}

TEST(TrayIcon, RecordAfterConstructionAndCreation) {
  TWidgetTray tray(nullptr);
  const NOTIFYICONDATAW& data = tray.IconData();
  EXPECT_EQ(data.cbSize, 936u);
  EXPECT_EQ(data.uFlags, static_cast<UINT>(NIF_MESSAGE | NIF_ICON));
  EXPECT_EQ(data.uCallbackMessage, 6137u);
  EXPECT_EQ(data.uTimeout, 3000u);
  EXPECT_FALSE(tray.ShowIcon());
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

TEST(TrayIcon, MouseMessagesBecomeEvents) {
  TWidgetTray tray(nullptr);
  HWND window = tray.Handle();
  std::vector<std::string> log;
  auto mouse = [&](const char* what) {
    return [&log, what](TComponent*, int32_t keys, int32_t x, int32_t y) {
      log.push_back(std::string(what) + " " + std::to_string(keys) + " " + std::to_string(x) + "," + std::to_string(y));
    };
  };
  tray.OnTrayMouseDown = mouse("down");
  tray.OnTrayMouseUp = mouse("up");
  tray.OnTrayMouseMove = mouse("move");
  tray.OnTrayClick = [&](TComponent*) { log.push_back("click"); };
  tray.OnTrayDblClick = [&](TComponent*) { log.push_back("dbl"); };
  SetCursorPos(321, 123);
  auto send = [&](UINT mouseMsg) { SendMessageW(window, WM_TRAYNOTIFY, 0, mouseMsg); };

  send(WM_RBUTTONDOWN);
  send(WM_RBUTTONUP);
  EXPECT_EQ(log, (std::vector<std::string>{"down 2 321,123", "up 2 321,123"}));
  log.clear();
  send(WM_LBUTTONDOWN);
  send(WM_LBUTTONUP);
  send(WM_LBUTTONUP);  // no new press: no second click
  EXPECT_EQ(log, (std::vector<std::string>{"down 1 321,123", "click", "up 1 321,123", "up 1 321,123"}));
  log.clear();
  {
    TKeysDown keys(true, true);
    send(WM_MBUTTONDOWN);
    send(WM_MBUTTONUP);
    send(WM_MOUSEMOVE);
  }
  {
    TKeysDown keys(true, false);
    send(WM_LBUTTONDOWN);
  }
  EXPECT_EQ(log, (std::vector<std::string>{"down 28 321,123", "up 28 321,123", "move 12 321,123", "down 5 321,123"}));
  log.clear();
  send(WM_LBUTTONDBLCLK);
  send(WM_RBUTTONDBLCLK);
  send(WM_MBUTTONDBLCLK);
  send(WM_KEYDOWN);  // anything else: nothing
  EXPECT_EQ(log, (std::vector<std::string>{"dbl", "dbl", "dbl"}));
}
