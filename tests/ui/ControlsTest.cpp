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

WideString WindowText(HWND window) {
  wchar_t text[32] = {};
  GetWindowTextW(window, text, 32);
  return WideOf(text);
}

// A visible form at a known place on the screen, painted opaque so that the
// platform sees it under the cursor.
struct TScreenForm {
  TScreenForm() : Form(nullptr) {
    Form.MoveTo(100, 100);
    Form.SetWidth(60);
    Form.SetHeight(60);
    Form.OnPaint = FillWith(0xFF808080);
    Form.Show();
    Form.Redraw();
    Pump(50);
  }
  TWidgetForm Form;
};
}  // namespace

TEST(ControlNames, CountedAcrossClassesInOrder) {
  int start = ControlCounter();
  TControl first(nullptr);
  TWidgetForm second(nullptr);
  TWidgetTray third(nullptr);
  auto name = [](int n) { return WideFromUtf8("Widget_" + std::to_string(n)); };
  EXPECT_EQ(first.Name(), name(start));
  EXPECT_EQ(second.Name(), name(start + 1));
  EXPECT_EQ(third.Name(), name(start + 2));
  if (start == 0) {
    EXPECT_EQ(first.Name(), u"Widget_0");  // the first control of this process
  }
}

TEST(ControlWindow, ChildWithoutParentRaisesParentRequired) {
  TControl orphan(nullptr);
  WideString expected = u"Parent Required " + orphan.Name();
  EXPECT_EQ(ErrorOf([&] { orphan.Handle(); }), expected);
  EXPECT_THROW(orphan.Handle(), EInvalidOperation);
  EXPECT_EQ(orphan.StoredHandle(), nullptr);
  EXPECT_EQ(ErrorOf([&] { orphan.Show(); }), expected);
  EXPECT_FALSE(orphan.Visible());
}

TEST(ControlWindow, PropertiesBeforeCreationAreStoredAndUsed) {
  TWidgetForm form(nullptr);
  form.SetCaption(u"Before");
  EXPECT_EQ(form.Caption(), u"Before");
  form.SetLeft(30);
  form.SetTop(40);
  form.SetBounds(1, 2, 3, 4);  // no window yet: changes nothing
  form.SetEnabled(false);
  EXPECT_FALSE(form.WindowExists());

  HWND window = form.Handle();
  EXPECT_EQ(WindowText(window), u"Before");
  RECT r;
  GetWindowRect(window, &r);
  EXPECT_EQ(r.left, 30);
  EXPECT_EQ(r.top, 40);
  EXPECT_EQ(r.right - r.left, 320);
  EXPECT_EQ(form.Style() & (WS_POPUP | WS_CHILD | WS_DISABLED), static_cast<DWORD>(WS_POPUP | WS_DISABLED));
  EXPECT_EQ(form.ExStyle() & (WS_EX_LAYERED | WS_EX_TOOLWINDOW), static_cast<DWORD>(WS_EX_LAYERED | WS_EX_TOOLWINDOW));
  form.SetCaption(u"After");
  EXPECT_EQ(WindowText(window), u"After");
  EXPECT_EQ(form.Caption(), u"After");
}

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
  EXPECT_EQ(TControl::FromWindow(GetWindow(laterWindow, GW_HWNDNEXT)), child);
  HWND childWindow = child->StoredHandle();
  delete child;
  EXPECT_FALSE(IsWindow(childWindow));
  EXPECT_EQ(form->ControlCount(), 1);
  delete form;  // frees its window, which takes the child window along, then the child
  EXPECT_FALSE(IsWindow(formWindow));
  EXPECT_FALSE(IsWindow(laterWindow));
}

TEST(ControlWindow, PlatformDestructionLeavesTheObjectUsable) {
  TWidgetForm form(nullptr);
  HWND window = form.Handle();
  DestroyWindow(window);
  EXPECT_EQ(TControl::FromWindow(window), nullptr);
  EXPECT_EQ(form.Handle(), window);  // no second window
  form.SetLeft(12);
  EXPECT_EQ(form.Left(), 12);
}

TEST(ControlMessages, PerformWorksWithoutAWindow) {
  TControl control(nullptr);
  EXPECT_EQ(control.Perform(WM_SETTEXT, 0, reinterpret_cast<LPARAM>(u"abc")), 0);
  EXPECT_EQ(control.Perform(WM_GETTEXTLENGTH, 0, 0), 3);
  WideChar buffer[3] = {u'x', u'x', u'x'};
  EXPECT_EQ(control.Perform(WM_GETTEXT, 3, reinterpret_cast<LPARAM>(buffer)), 2);
  EXPECT_EQ(WideString(buffer), u"ab");
  buffer[0] = u'x';
  EXPECT_EQ(control.Perform(WM_GETTEXT, 0, reinterpret_cast<LPARAM>(buffer)), 0);  // no room for the terminator
  EXPECT_EQ(buffer[0], u'x');
  control.Perform(WM_MOVE, 0, MAKELPARAM(-5, 7));
  EXPECT_EQ(control.Left(), -5);
}

TEST(ControlMessages, ExceptionsStopAtTheWindowProcedure) {
  TWidgetForm form(nullptr);
  int calls = 0;
  form.OnMouseDown = [&](TComponent*, int32_t, int32_t, int32_t) {
    ++calls;
    throw Exception(u"handler failed");
  };
  HWND window = form.Handle();
  EXPECT_EQ(SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, 0), 0);
  EXPECT_EQ(SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, 0), 0);
  EXPECT_EQ(calls, 2);
  EXPECT_TRUE(form.WindowExists());
}

TEST(ControlMessages, ClickNeedsPressAndReleaseInside) {
  TScreenForm screen;
  TWidgetForm& form = screen.Form;
  std::vector<std::string> log;
  form.OnMouseDown = Logger(log, "down");
  form.OnMouseUp = Logger(log, "up");
  form.OnClick = Logger(log, "click");
  HWND w = form.Handle();
  SetCursorPos(120, 120);
  SendMessageW(w, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 20));
  SendMessageW(w, WM_LBUTTONUP, 0, MAKELPARAM(20, 20));
  EXPECT_EQ(log, (std::vector<std::string>{"down 1 20,20", "up 1 20,20", "click 1 20,20"}));

  log.clear();
  SendMessageW(w, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 20));
  SetCursorPos(400, 400);
  SendMessageW(w, WM_LBUTTONUP, 0, MAKELPARAM(300, 300));
  EXPECT_EQ(log, (std::vector<std::string>{"down 1 20,20", "up 1 300,300"}));

  log.clear();
  SetCursorPos(120, 120);
  SendMessageW(w, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 20));
  SendMessageW(w, WM_RBUTTONUP, MK_LBUTTON, MAKELPARAM(20, 20));  // left still held
  EXPECT_EQ(log, (std::vector<std::string>{"down 1 20,20", "up 3 20,20"}));
  SendMessageW(w, WM_MBUTTONUP, MK_SHIFT, MAKELPARAM(20, 20));
  EXPECT_EQ(log.back(), "click 20 20,20");  // the left press is still pending
}

TEST(ControlMessages, EnterHoverAndLeaveFollowTheCursor) {
  SetCursorPos(500, 500);  // away from where earlier windows were
  Pump(100);
  TScreenForm screen;
  TWidgetForm& form = screen.Form;
  std::vector<std::string> log;
  form.OnMouseMove = [&](TComponent*, int32_t, int32_t, int32_t) { log.push_back("move"); };
  form.OnMouseEnter = Logger(log, "enter");
  form.OnMouseHover = Logger(log, "hover");
  form.OnMouseLeave = Logger(log, "leave");
  SetCursorPos(500, 500);
  Pump(30);
  log.clear();
  SetCursorPos(130, 130);  // the platform reports the move into the window
  Pump(600, [&] { return log.size() >= 3; });
  ASSERT_GE(log.size(), 3u) << testing::PrintToString(log);
  EXPECT_EQ(log[0], "move");
  EXPECT_EQ(log[1], "enter 0 0,0");
  EXPECT_EQ(log[2].substr(0, 5), "hover");
  Pump(200);
  SendMessageW(form.Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(31, 31));  // still inside: no second enter
  Pump(200);
  auto count = [&](const std::string& prefix) {
    return std::count_if(log.begin(), log.end(), [&](const std::string& s) { return s.rfind(prefix, 0) == 0; });
  };
  EXPECT_EQ(count("hover"), 1);
  EXPECT_EQ(count("enter"), 1);
  SetCursorPos(500, 500);
  Pump(1000, [&] { return count("leave") > 0; });
  EXPECT_EQ(log.back().substr(0, 5), "leave");
}

TEST(ControlMessages, WheelTowardsTheUserIsNegative) {
  TWidgetForm form(nullptr);
  std::vector<int32_t> got;
  form.OnMouseWheel = [&](TComponent*, int32_t keys, int32_t delta, int32_t x, int32_t y) { got = {keys, delta, x, y}; };
  EXPECT_EQ(SendMessageW(form.Handle(), WM_MOUSEWHEEL, MAKEWPARAM(MK_CONTROL, static_cast<WORD>(-120)),
                         MAKELPARAM(-10, 900)),
            0);
  EXPECT_EQ(got, (std::vector<int32_t>{MK_CONTROL, -120, -10, 900}));
}

TEST(ControlMessages, SetCursorUsesTheControlsCursorInTheClientArea) {
  TScreenForm screen;
  TWidgetForm& form = screen.Form;
  HCURSOR hand = CopyCursor(LoadCursorW(nullptr, IDC_HAND));
  form.SetCursor(hand);
  form.SetCursor(hand);  // the same handle again: kept, not destroyed
  HWND w = form.StoredHandle();
  ::SetCursor(LoadCursorW(nullptr, IDC_ARROW));
  EXPECT_EQ(SendMessageW(w, WM_SETCURSOR, reinterpret_cast<WPARAM>(w), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)), 1);
  EXPECT_EQ(GetCursor(), hand);
  ::SetCursor(LoadCursorW(nullptr, IDC_ARROW));
  SendMessageW(w, WM_SETCURSOR, reinterpret_cast<WPARAM>(w), MAKELPARAM(HTCAPTION, WM_MOUSEMOVE));
  EXPECT_NE(GetCursor(), hand);
}

TEST(ControlMessages, SizeMessagesUpdateClientSizeAndTheCanvas) {
  TWidgetForm form(nullptr);
  form.SetHeight(30);
  form.Handle();
  std::vector<int> sizes;
  form.OnSize = [&](TComponent*, int32_t flag, int32_t w, int32_t h) { sizes = {flag, w, h}; };
  form.SetWidth(64);
  EXPECT_EQ(sizes, (std::vector<int>{SIZE_RESTORED, 64, 30}));
  EXPECT_EQ(form.ClientWidth(), 64);
  EXPECT_EQ(form.Canvas()->Width(), 64);
  EXPECT_EQ(form.Canvas()->Height(), 30);
}

TEST(ControlThreads, FormsOnSeveralThreadsAtOnce) {
  struct TThreadForm : TWidgetForm {
    using TWidgetForm::TWidgetForm;
    const WideChar* ClassName() const override { return u"TThreadForm"; }  // registered by the racing threads
  };
  constexpr int kThreads = 4;
  std::vector<WideString> names(kThreads);
  std::vector<int> created(kThreads, 0);
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i)
    threads.emplace_back([&, i] {
      for (int round = 0; round < 5; ++round) {
        TThreadForm form(nullptr);
        auto* child = new TWidgetControl(&form);
        child->SetParent(&form);
        child->Show();
        if (IsWindow(form.StoredHandle()) && TControl::FromWindow(child->StoredHandle()) == child) ++created[i];
        names[i] = form.Name();
      }
    });
  for (auto& t : threads) t.join();
  for (int i = 0; i < kThreads; ++i) EXPECT_EQ(created[i], 5);
  for (int i = 0; i < kThreads; ++i)
    for (int j = i + 1; j < kThreads; ++j) EXPECT_NE(names[i], names[j]);
  WNDCLASSW info;
  EXPECT_TRUE(GetClassInfoW(GetModuleHandleW(nullptr), L"TThreadForm", &info));
}

TEST(ControlErrors, PlatformFailuresCarryCodeAndText) {
  EXPECT_EQ(EOSError(0).Message(), u"A call to an OS function failed");
  WideString message = EOSError(ERROR_INVALID_WINDOW_HANDLE).Message();
  EXPECT_EQ(message.substr(0, 28), u"System Error.  Code: 1400.\r\n");
  EXPECT_GT(message.size(), 28u);  // the platform's text follows
  TWidgetForm form(nullptr);
  HWND window = form.Handle();
  DestroyWindow(window);
  EXPECT_EQ(ErrorOf([&] { form.DestroyWindowHandle(); }).substr(0, 21), u"System Error.  Code: ");
  EXPECT_EQ(form.StoredHandle(), window);  // kept when the destruction failed
}
