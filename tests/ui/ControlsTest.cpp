#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "UiTestSupport.h"

using namespace uitest;

namespace {
WideString ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const Exception& e) {
    return e.Message();
  }
  return u"<no error>";
}

WideString TextOf(HWND window, bool className = false) {
  wchar_t text[64] = {};
  className ? GetClassNameW(window, text, 64) : GetWindowTextW(window, text, 64);
  return WideOf(text);
}
}  // namespace

// Nothing is made when a window may not be: no handle is stored and the
// control stays hidden.
TEST(ControlWindow, CreationIsRefusedWithoutParentOrFromAnotherThread) {
  TControl orphan(nullptr);
  EXPECT_EQ(ErrorOf([&] { orphan.Show(); }), u"Parent Required " + orphan.Name());
  EXPECT_EQ(orphan.StoredHandle(), nullptr);
  EXPECT_FALSE(orphan.Visible());

  TWidgetForm form(nullptr);
  auto* child = new TWidgetControl(&form);
  child->SetParent(&form);
  WideString refused;
  std::thread([&] { refused = ErrorOf([&] { child->Show(); }); }).join();
  EXPECT_EQ(refused, u"Cannot create the window of " + form.Name() + u" on another thread");
  form.SetOwnerThread(0);  // handed on, taken by nobody yet
  EXPECT_THROW(form.Handle(), EInvalidOperation);
  EXPECT_EQ(form.StoredHandle(), nullptr);
  bool made = false;
  std::thread([&] {
    form.SetOwnerThread(GetCurrentThreadId());
    made = IsWindow(form.Handle());
    form.DestroyWindowObject();  // a window goes with the thread that made it
  }).join();
  EXPECT_TRUE(made);
  EXPECT_EQ(child->StoredHandle(), nullptr);
}

TEST(ControlWindow, PropertiesBeforeCreationAreStoredAndUsed) {
  struct TNamedLater : TWidgetForm {
    using TWidgetForm::TWidgetForm;
  };
  int count = ControlCounter();
  TNamedLater form(nullptr);
  EXPECT_EQ(form.Name(), WideFromUtf8("Widget_" + std::to_string(count)));  // counted over every class
  form.SetCaption(u"Before");
  WideChar buffer[3] = {u'x', u'x', u'x'};
  EXPECT_EQ(form.Perform(WM_GETTEXT, 3, reinterpret_cast<LPARAM>(buffer)), 2);  // cut to fit with its terminator
  EXPECT_EQ(WideString(buffer), u"Be");
  EXPECT_EQ(form.Perform(WM_GETTEXT, 0, reinterpret_cast<LPARAM>(buffer)), 0);  // no room for the terminator
  EXPECT_EQ(buffer[0], u'B');
  form.SetLeft(30);
  form.SetBounds(1, 2, 3, 4);  // no window yet: changes nothing
  form.SetEnabled(false);
  form.SetHeight(30);
  HWND window = form.Handle();
  EXPECT_EQ(TextOf(window), u"Before");
  RECT r;
  GetWindowRect(window, &r);
  EXPECT_EQ((std::vector<LONG>{r.left, r.right - r.left}), (std::vector<LONG>{30, 320}));
  EXPECT_EQ(form.Style() & (WS_POPUP | WS_CHILD | WS_DISABLED), static_cast<DWORD>(WS_POPUP | WS_DISABLED));
  EXPECT_EQ(TextOf(window, true), u"TWidgetForm");  // a subclass of its own renames no window class
  std::vector<int> sizes;
  form.OnSize = [&](TComponent*, int32_t flag, int32_t w, int32_t h) { sizes = {flag, w, h}; };
  form.SetWidth(64);
  EXPECT_EQ(sizes, (std::vector<int>{SIZE_RESTORED, 64, 30}));
  EXPECT_EQ((std::vector<int>{form.ClientWidth(), form.Canvas()->Width()}), (std::vector<int>{64, 64}));
}

// Freeing a control destroys its window first; a window the platform destroyed
// is not made again, and destroying it once more reports the platform's error.
TEST(ControlWindow, ChildWindowsComeAfterTheirParentsAndGoBeforeTheirObjects) {
  auto* form = new TWidgetForm(nullptr);
  auto* child = new TWidgetControl(form);
  child->SetParent(form);
  child->Show();  // makes the form's window first
  HWND formWindow = form->StoredHandle();
  ASSERT_TRUE(IsWindow(formWindow));
  auto* later = new TWidgetControl(form);
  later->SetParent(form);
  HWND laterWindow = later->Handle();
  EXPECT_EQ(GetWindow(formWindow, GW_CHILD), laterWindow);  // newest on top
  HWND childWindow = child->StoredHandle();
  delete child;
  EXPECT_FALSE(IsWindow(childWindow));
  EXPECT_EQ(form->ControlCount(), 1);
  DestroyWindow(formWindow);  // takes the child window along
  EXPECT_FALSE(IsWindow(laterWindow));
  EXPECT_EQ(form->Handle(), formWindow);
  WideString error = ErrorOf([&] { form->DestroyWindowHandle(); });
  EXPECT_EQ(error.substr(0, 21), u"System Error.  Code: ");
  EXPECT_LT(error.find(u".\r\n") + 3, error.size());  // the platform's text follows the code
  delete form;
}

// The form is painted opaque, so that the platform sees it under the cursor.
TEST(ControlMessages, ClicksWheelAndCursorReachTheControl) {
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
  std::vector<int32_t> wheel;
  form.OnMouseWheel = [&](TComponent*, int32_t keys, int32_t delta, int32_t x, int32_t y) { wheel = {keys, delta, x, y}; };
  SendMessageW(w, WM_MOUSEWHEEL, MAKEWPARAM(MK_CONTROL, static_cast<WORD>(-120)), MAKELPARAM(-10, 900));
  EXPECT_EQ(wheel, (std::vector<int32_t>{MK_CONTROL, -120, -10, 900}));
  form.OnMouseWheel = [](TComponent*, int32_t, int32_t, int32_t, int32_t) { throw Exception(u"handler failed"); };
  EXPECT_EQ(SendMessageW(w, WM_MOUSEWHEEL, 0, 0), 0);  // stopped at the window procedure

  HCURSOR hand = CopyCursor(LoadCursorW(nullptr, IDC_HAND));
  form.SetCursor(hand);
  form.SetCursor(hand);  // the same handle again: kept, not destroyed
  for (WORD hit : {HTCAPTION, HTCLIENT}) {
    ::SetCursor(LoadCursorW(nullptr, IDC_ARROW));
    SendMessageW(w, WM_SETCURSOR, reinterpret_cast<WPARAM>(w), MAKELPARAM(hit, WM_MOUSEMOVE));
    EXPECT_EQ(GetCursor() == hand, hit == HTCLIENT);
  }
}
