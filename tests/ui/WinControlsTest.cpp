#include <gtest/gtest.h>

#include "tests/support/UiTestSupport.h"

using namespace uitest;

// A changed object's new handle goes into the context; unbinding gives the
// context its own objects back, so that none of the canvas's stays selected.
TEST(GdiObjects, CanvasSelectsReplacementsAndUnbindingRestoresTheContextsOwn) {
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ originalFont = GetCurrentObject(dc, OBJ_FONT);
  HGDIOBJ originalBrush = GetCurrentObject(dc, OBJ_BRUSH);
  {
    TCanvas canvas;
    canvas.Font()->SetSize(12);  // no context yet: nothing selected
    canvas.SetHandle(dc);
    canvas.Font()->SetColor(0x0000FF);
    EXPECT_EQ(GetCurrentObject(dc, OBJ_FONT), canvas.Font()->Handle());
    EXPECT_EQ(GetTextColor(dc), 0x0000FFu);
    canvas.Brush()->SetColor(0x00FF00);
    canvas.SetHandle(nullptr);
    EXPECT_EQ(GetCurrentObject(dc, OBJ_FONT), originalFont);
    EXPECT_EQ(GetCurrentObject(dc, OBJ_BRUSH), originalBrush);
  }
  DeleteDC(dc);
}

// Each press gives at most one click, however many releases follow.
TEST(TrayIcon, ShowsInTheNotificationAreaWithItsTipCutToItsFieldAndTellsClicksWithKeys) {
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

  std::vector<std::string> log;
  tray.OnTrayMouseDown = Logger(log, "down");
  tray.OnTrayMouseUp = Logger(log, "up");
  tray.OnTrayClick = [&](TComponent*) { log.push_back("click"); };
  tray.OnTrayDblClick = [&](TComponent*) { log.push_back("dbl"); };
  SetCursorPos(321, 123);
  struct Row { std::vector<UINT> messages; std::vector<std::string> events; };
  const Row rows[] = {
      {{WM_RBUTTONDOWN, WM_RBUTTONUP}, {"down 2 321,123", "up 2 321,123"}},
      {{WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONUP}, {"down 1 321,123", "click", "up 1 321,123", "up 1 321,123"}},
      {{WM_LBUTTONDBLCLK, WM_RBUTTONDBLCLK, WM_MBUTTONDBLCLK, WM_KEYDOWN}, {"dbl", "dbl", "dbl"}},
  };
  for (const Row& row : rows) {
    log.clear();
    for (UINT msg : row.messages) SendMessageW(window, WM_TRAYNOTIFY, 0, msg);
    EXPECT_EQ(log, row.events) << row.messages.front();
  }

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
