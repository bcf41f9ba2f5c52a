// The widget seen from its owner's thread: the published snapshot, bounded
// looks and closes, messages to the manager, freeing from inside a callback,
// and real mouse input under Xvfb.
#include "tests/support/DialogTestSupport.h"
#include "tests/support/WidgetTestSupport.h"

#include <algorithm>
#include <atomic>
#include <string>
#include <utility>
#include <vector>

using namespace widgettest;

namespace {
// A stand-in manager window on the test's thread that records what widgets send and post.
struct TRecorder {
  static inline std::vector<std::pair<UINT, LPARAM>> Log;
  static LRESULT CALLBACK Proc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_SHOWDETAILS || msg == WM_REMOVEWIDGET || msg == WM_TRACKERCHANGED || msg == WM_WIDGETNOTSHOWN)
      Log.emplace_back(msg, lParam);
    if (msg == WM_COMMAND) Log.emplace_back(msg, static_cast<LPARAM>(wParam));  // the command, for commands
    return DefWindowProcW(window, msg, wParam, lParam);
  }
  TRecorder() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = Proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"OrvantaTestManager";
    RegisterClassW(&wc);
    Window = CreateWindowW(wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    Log.clear();
  }
  ~TRecorder() { DestroyWindow(Window); }
  int Count(UINT msg, LPARAM lParam) const {
    return static_cast<int>(std::count(Log.begin(), Log.end(), std::pair{msg, lParam}));
  }
  // Pumps this thread until the message arrived from that window.
  bool WaitFor(UINT msg, HWND from, int milliseconds = 5000) const {
    bool got = false;
    uitest::Pump(milliseconds, [&] { return got = Count(msg, reinterpret_cast<LPARAM>(from)) > 0; });
    return got;
  }
  HWND Window;
};

// The open message box of the widget's thread, if any.
HWND MessageBoxOf(TWidgetMainForm* w) {
  return dialogtest::DialogOf(GetWindowThreadProcessId(w->WindowHandle(), nullptr), [](HWND) { return true; });
}

// A modal dialog like the Settings dialog: told to the widget, ended by WM_CLOSE.
INT_PTR CALLBACK SettingsLikeProc(HWND dialog, UINT msg, WPARAM, LPARAM lParam) {
  if (msg == WM_INITDIALOG) {
    reinterpret_cast<TWidgetMainForm*>(lParam)->SetSettingsDialog(dialog);
    return TRUE;
  }
  if (msg == WM_CLOSE) EndDialog(dialog, IDCANCEL);
  return FALSE;
}
void RunSettingsLikeDialog(TWidgetMainForm& widget) {
  struct {
    DLGTEMPLATE Head;
    WORD Menu, Class, Title;
  } dialog{{WS_POPUP | WS_CAPTION | WS_VISIBLE, 0, 0, 10, 10, 120, 60}, 0, 0, 0};
  DialogBoxIndirectParamW(GetModuleHandleW(nullptr), &dialog.Head, widget.StoredHandle(), SettingsLikeProc,
                          reinterpret_cast<LPARAM>(&widget));
}

std::atomic<int> clicksBelow{0};
LRESULT CALLBACK BelowProc(HWND h, UINT m, WPARAM wp, LPARAM lp) {
  if (m == WM_LBUTTONDOWN) ++clicksBelow;
  return DefWindowProcW(h, m, wp, lp);
}

}  // namespace

// ---- what other threads read

TEST_F(WidgetTest, SnapshotFollowsTheWidgetAndStaysReadableWhileItsThreadIsBusy) {
  Server->SetCount("snap", "31");
  std::atomic<bool> inHook{false}, release{false};
  Host.Preferences = [&](TWidgetMainForm&) {
    inHook = true;
    while (!release) Sleep(5);  // a thread that answers nothing
  };
  TWidgetMainForm* w = Start(Quiet(u"snap"));
  Refresh(w);
  ASSERT_TRUE(WaitUntil([&] { return w->Settings().Count == 31; }));

  // Titles swapped on the widget's thread are never read half-written.
  const WideString a(300, u'a'), b(5, u'b');
  std::atomic<bool> swapping{true};
  std::thread reader([&] {
    while (swapping) {
      WideString t = w->Settings().Title;
      if (t != a && t != b && t != u"Orvanta") ADD_FAILURE() << "torn title of " << t.size();
    }
  });
  w->Invoke([&] {
    TTrackerEdit edit{w->Settings(), ""};
    for (int i = 0; i < 500; ++i) {
      edit.Settings.Title = i % 2 ? a : b;
      w->Apply(edit);
    }
  });
  swapping = false;
  reader.join();

  // A look at a busy thread is given up at its bound (that it never runs
  // later is ThreadJobs' test); the snapshot still answers.
  Post(w, WM_COMMAND, CMD_PREFERENCES);
  ASSERT_TRUE(WaitUntil([&] { return inHook.load(); }));
  auto started = GetTickCount64();
  EXPECT_FALSE(w->Invoke([] {}, 300));
  EXPECT_LT(GetTickCount64() - started, 2000u);
  EXPECT_EQ(w->Settings().ID, u"snap");
  release = true;
  EXPECT_TRUE(w->Invoke([] {})) << "the hook has let go of this test's locals";
}

// ---- the manager's side

// About and a confirmed Remove reach the manager. Closing ends the thread
// while the remove question or a dialog is open, or details are being sent.
TEST_F(WidgetTest, TheManagerHearsAboutRemoveAndDetailsAndClosingEndsTheThreadWhileADialogIsOpen) {
  TRecorder manager;
  Host.ManagerWindow = manager.Window;
  Host.Preferences = RunSettingsLikeDialog;
  TWidgetMainForm* asking = Start(Quiet(u"asking", 200, 200));
  HWND window = asking->WindowHandle();
  Post(asking, WM_COMMAND, CMD_ABOUT);  // the About window is the manager's
  EXPECT_TRUE(manager.WaitFor(WM_COMMAND, reinterpret_cast<HWND>(static_cast<uintptr_t>(CMD_ABOUT))));
  for (int answer : {IDNO, IDYES}) {
    Post(asking, WM_COMMAND, CMD_REMOVE);
    HWND box = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (box = MessageBoxOf(asking)) != nullptr; }));
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, answer)));
    ASSERT_TRUE(WaitUntil([&] { return MessageBoxOf(asking) == nullptr; }));
    // The question returns only after its box is unmapped (two seconds under Wine).
    EXPECT_EQ(manager.WaitFor(WM_REMOVEWIDGET, window, 4000), answer == IDYES) << answer;
  }
  Post(asking, WM_COMMAND, CMD_REMOVE);
  ASSERT_TRUE(WaitUntil([&] { return MessageBoxOf(asking) != nullptr; }));
  EXPECT_TRUE(asking->Stop(FORM_STOP_WAIT_MS));
  EXPECT_FALSE(IsWindow(window));
  uitest::Pump(200);
  EXPECT_EQ(manager.Count(WM_REMOVEWIDGET, reinterpret_cast<LPARAM>(window)), 1)
      << "the yes above, and nothing from the closed question";

  TWidgetMainForm* editing = Start(Quiet(u"editing", 500, 200));
  Post(editing, WM_COMMAND, CMD_PREFERENCES);
  ASSERT_TRUE(WaitUntil([&] { return MessageBoxOf(editing) != nullptr; }));
  EXPECT_TRUE(editing->Stop(FORM_STOP_WAIT_MS));

  // This thread does not pump while it waits; the widget's details request to
  // it must still be answered, or both would wait on each other.
  TWidgetMainForm* sending = Start(Quiet(u"sending"));
  window = sending->WindowHandle();
  Post(sending, WM_COMMAND, CMD_DETAILS);
  auto started = GetTickCount64();
  EXPECT_TRUE(sending->Stop(FORM_STOP_WAIT_MS));
  EXPECT_LT(GetTickCount64() - started, 4000u);
  EXPECT_EQ(manager.Count(WM_SHOWDETAILS, reinterpret_cast<LPARAM>(window)), 1);

  // A widget whose window cannot be made tells the manager, with the reason,
  // instead of ending its thread without a word.
  struct TNoWindow : TWidgetMainForm {
    using TWidgetMainForm::TWidgetMainForm;
    const WideChar* ClassName() const override { return u"TNoSuchWidgetClass"; }
  };
  auto* lost = new TNoWindow(Owner.get(), Host, Quiet(u"lost"));
  lost->Resume();
  EXPECT_TRUE(manager.WaitFor(WM_WIDGETNOTSHOWN, reinterpret_cast<HWND>(static_cast<TWidgetMainForm*>(lost))));
  EXPECT_NE(lost->StartFailure().find(u"TNoSuchWidgetClass"), WideString::npos);
}

TEST_F(WidgetTest, AWidgetFreedOrStoppedFromItsOwnThreadEndsQuietly) {
  // Stop on its own thread refuses instead of joining itself.
  TWidgetMainForm* w = Start(Quiet(u"self"));
  bool stopped = true;
  EXPECT_TRUE(w->Invoke([&] { stopped = w->Stop(100); }));
  EXPECT_FALSE(stopped);
  EXPECT_TRUE(w->ThreadRunning());

  // Freed from a look that runs on its thread, or from its own fade step in
  // the middle of the fade-in: the window goes and the thread ends.
  auto threadEnds = [](DWORD id) {
    HANDLE thread = OpenThread(SYNCHRONIZE, FALSE, id);
    bool ended = !thread || WaitForSingleObject(thread, 10000) == WAIT_OBJECT_0;
    if (thread) CloseHandle(thread);
    return ended;
  };
  auto* looked = new TWidgetMainForm(nullptr, Host, Quiet(u"looked", 200, 200));
  looked->Resume();
  ASSERT_TRUE(WaitUntil([&] { return looked->WindowHandle() != nullptr; }));
  HWND window = looked->WindowHandle();
  DWORD thread = 0;
  EXPECT_TRUE(looked->Invoke([&] {
    thread = GetCurrentThreadId();
    delete looked;
  }));
  EXPECT_FALSE(IsWindow(window));
  EXPECT_TRUE(threadEnds(thread));

  std::atomic<DWORD> fadingThread{0};
  auto* fading = new TWidgetMainForm(nullptr, Host, Quiet(u"fading", 400, 200));
  fading->OnFadeStep = [&](TComponent*) {
    if (fading->Opacity() < 64) return;
    window = fading->WindowHandle();
    delete fading;
    fadingThread = GetCurrentThreadId();
  };
  fading->Resume();
  ASSERT_TRUE(WaitUntil([&] { return fadingThread.load() != 0; }));
  EXPECT_FALSE(IsWindow(window));
  EXPECT_TRUE(threadEnds(fadingThread));
}

// ---- real input

// Each step waits for the widget's own sign that the input before it has
// arrived: a drag that moved it reports its end to the manager.
TEST_F(WidgetTest, MouseDragsMovesAndRespectsPreventDraggingAndTheMenuOpensOnRightClick) {
  TRecorder manager;
  Host.ManagerWindow = manager.Window;
  TWidgetMainForm* w = Start(Quiet(u"drag", 400, 400));
  HWND window = w->WindowHandle();
  auto drag = [&](const RECT& from, int dx, const char* key) {
    TRecorder::Log.clear();
    std::string args = MouseTo(from.left + 40, from.top + 40);
    if (key) args += std::string("keydown ") + key + " ";
    args += "mousedown 1 mousemove_relative -- " + std::to_string(dx / 2) + " 0 sleep 0.1 " +
            "mousemove_relative -- " + std::to_string(dx - dx / 2) + " 0 sleep 0.1 mouseup 1 ";
    if (key) args += std::string("keyup ") + key;
    XInput(args);
  };
  RECT r = BoundsOf(w);
  drag(r, 120, nullptr);
  ASSERT_TRUE(manager.WaitFor(WM_TRACKERCHANGED, window));
  EXPECT_GE(BoundsOf(w).left, r.left + 100);
  EXPECT_EQ(w->Settings().Left, BoundsOf(w).left);

  // Held off without Ctrl: had the first drag moved it, the second would end
  // twice as far.
  w->Invoke([w] {
    TTrackerEdit edit{w->Settings(), ""};
    edit.Settings.PreventDragging = true;
    w->Apply(edit);
  });
  r = BoundsOf(w);
  drag(r, 120, nullptr);
  EXPECT_EQ(BoundsOf(w).left, r.left);
  drag(r, 120, "ctrl");
  ASSERT_TRUE(manager.WaitFor(WM_TRACKERCHANGED, window));
  EXPECT_GE(BoundsOf(w).left, r.left + 100);
  EXPECT_LE(BoundsOf(w).left, r.left + 140);

  r = BoundsOf(w);
  XInput(MouseTo(r.left + 40, r.top + 40) + "click 3");
  HWND menu = nullptr;
  EXPECT_TRUE(WaitUntil([&] { return (menu = FindWindowW(L"#32768", nullptr)) && IsWindowVisible(menu); }));
  // Closing ends the open menu with the widget.
  EXPECT_TRUE(w->Stop(FORM_STOP_WAIT_MS));
  EXPECT_TRUE(!menu || !IsWindowVisible(menu));
}

TEST_F(WidgetTest, ClicksFallThroughAWidgetThatIgnoresTheMouse) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = BelowProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"OrvantaTestBelow";
  RegisterClassW(&wc);
  HWND under = CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP | WS_VISIBLE, 380, 380, 200, 200, nullptr, nullptr,
                               wc.hInstance, nullptr);
  TTrackerSettings s = Quiet(u"through", 400, 400);
  s.IgnoreMouse = true;
  TWidgetMainForm* w = Start(s);
  RECT r = BoundsOf(w);
  XInput(MouseTo(r.left + 40, r.top + 40) + "sleep 0.2 click 1");
  uitest::Pump(3000, [] { return clicksBelow > 0; });
  EXPECT_GT(clicksBelow.load(), 0);
  EXPECT_EQ(BoundsOf(w).left, r.left);
  DestroyWindow(under);
}
