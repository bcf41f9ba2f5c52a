#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "tests/support/UiTestSupport.h"
#include "tests/support/TextTestUtil.h"

using namespace uitest;
using testutil::MessageOf;

// Nothing is made when a window may not be: no handle is stored and the
// control stays hidden. Properties set before the window exists are what it
// is made with; freeing a control destroys its window.
TEST(ControlWindow, IsMadeOnTheOwnerThreadFromEarlierPropertiesAndGoesWithItsControl) {
  TControl orphan(nullptr);
  EXPECT_EQ(MessageOf<Exception>([&] { orphan.Show(); }), u"Parent Required " + orphan.Name());
  EXPECT_FALSE(orphan.Visible());

  TWidgetForm form(nullptr);
  form.SetCaption(u"Before");
  WideChar buffer[3] = {u'x', u'x', u'x'};
  EXPECT_EQ(form.Perform(WM_GETTEXT, 3, reinterpret_cast<LPARAM>(buffer)), 2);  // cut to fit with its terminator
  EXPECT_EQ(WideString(buffer), u"Be");
  EXPECT_EQ(form.Perform(WM_GETTEXT, 0, reinterpret_cast<LPARAM>(buffer)), 0);  // no room for the terminator
  form.MoveTo(30, 0);
  form.SetEnabled(false);
  auto* child = new TWidgetControl(&form);
  child->SetParent(&form);
  WideString refused;
  std::thread([&] { refused = MessageOf<Exception>([&] { child->Show(); }); }).join();
  EXPECT_EQ(refused, u"Cannot create the window of " + form.Name() + u" on another thread");
  EXPECT_EQ((std::vector<HWND>{form.StoredHandle(), child->StoredHandle()}), (std::vector<HWND>{nullptr, nullptr}));
  EXPECT_FALSE(child->Visible());
  child->Show();  // on the owner thread: makes the form's window first
  RECT r;
  GetWindowRect(form.StoredHandle(), &r);
  EXPECT_EQ((std::vector<LONG>{r.left, r.right - r.left}), (std::vector<LONG>{30, 320}));
  EXPECT_EQ(form.Style() & (WS_POPUP | WS_CHILD | WS_DISABLED), static_cast<DWORD>(WS_POPUP | WS_DISABLED));
  HWND childWindow = child->StoredHandle();
  ASSERT_TRUE(IsWindow(childWindow));
  delete child;
  EXPECT_FALSE(IsWindow(childWindow));
}

// The form is painted opaque, so that the platform sees it under the cursor.
TEST(ControlMessages, ClicksAndCursorReachTheControl) {
  TWidgetForm form(nullptr);
  form.MoveTo(100, 100);
  form.SetWidth(60);
  form.SetHeight(60);
  form.OnPaint = FillWith(0xFF808080);
  form.Show();
  form.Redraw();
  std::vector<std::string> log;
  form.OnMouseDown = Logger(log, "down");
  form.OnMouseUp = Logger(log, "up");
  form.OnClick = Logger(log, "click");
  HWND w = form.Handle();
  struct Row { POINT cursor; UINT msg; WPARAM keys; std::vector<std::string> events; };
  const Row rows[] = {
      {{120, 120}, WM_LBUTTONUP, 0, {"down 1 20,20", "up 1 20,20", "click 1 20,20"}},
      {{400, 400}, WM_LBUTTONUP, 0, {"down 1 20,20", "up 1 20,20"}},          // released outside
      {{120, 120}, WM_RBUTTONUP, MK_LBUTTON, {"down 1 20,20", "up 3 20,20"}},  // left still held
      {{120, 120}, WM_MBUTTONUP, MK_SHIFT, {"down 1 20,20", "up 20 20,20", "click 20 20,20"}},
  };
  for (const Row& row : rows) {
    log.clear();
    SendMessageW(w, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 20));
    SetCursorPos(row.cursor.x, row.cursor.y);
    SendMessageW(w, row.msg, row.keys, MAKELPARAM(20, 20));
    EXPECT_EQ(log, row.events) << row.msg;
  }
  form.OnClick = [](TComponent*, int32_t, int32_t, int32_t) { throw Exception(u"handler failed"); };
  SendMessageW(w, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 20));
  EXPECT_EQ(SendMessageW(w, WM_LBUTTONUP, 0, MAKELPARAM(20, 20)), 0);  // stopped at the window procedure

  HCURSOR hand = CopyCursor(LoadCursorW(nullptr, IDC_HAND));
  form.SetCursor(hand);
  form.SetCursor(hand);  // the same handle again: kept, not destroyed
  for (WORD hit : {HTCAPTION, HTCLIENT}) {
    ::SetCursor(LoadCursorW(nullptr, IDC_ARROW));
    SendMessageW(w, WM_SETCURSOR, reinterpret_cast<WPARAM>(w), MAKELPARAM(hit, WM_MOUSEMOVE));
    EXPECT_EQ(GetCursor() == hand, hit == HTCLIENT);
  }
}
