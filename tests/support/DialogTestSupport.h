#pragma once
// Driving real dialogs and message boxes from a test: they are found among a
// thread's windows, filled and pressed through messages, and a box that
// opens is read and answered from a second thread. A tracker dialog can run
// on a thread of its own, as on its owner's.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <optional>
#include <thread>
#include <vector>

#include "platform/ProgramIds.h"
#include "platform/WinApi.h"
#include "tests/support/UiTestSupport.h"
#include "tests/support/Waiting.h"
#include "tracker/TrackerEdit.h"

namespace dialogtest {

// Waits, handling this thread's messages (sent ones included), until cond holds.
inline bool PumpUntil(const std::function<bool()>& cond, int milliseconds = 8000) {
  uitest::Pump(milliseconds, cond);
  return cond();
}

inline BOOL CALLBACK CollectInto(HWND w, LPARAM found) {
  reinterpret_cast<std::vector<HWND>*>(found)->push_back(w);
  return TRUE;
}

inline std::wstring TextOf(HWND w) {
  wchar_t text[512] = {};
  GetWindowTextW(w, text, 512);
  return text;
}

inline std::wstring ClassOf(HWND w) {
  wchar_t name[16] = {};
  GetClassNameW(w, name, 16);
  return name;
}

// The first of the thread's visible dialogs and message boxes that is() accepts.
inline HWND DialogOf(DWORD threadId, const std::function<bool(HWND)>& is) {
  std::vector<HWND> all;
  EnumThreadWindows(threadId, CollectInto, reinterpret_cast<LPARAM>(&all));
  for (HWND w : all)
    if (ClassOf(w) == L"#32770" && IsWindowVisible(w) && is(w)) return w;
  return nullptr;
}

// The message of a box: its longest static text (the icon has none).
inline std::wstring BoxMessage(HWND box) {
  std::vector<HWND> children;
  EnumChildWindows(box, CollectInto, reinterpret_cast<LPARAM>(&children));
  std::wstring longest;
  for (HWND c : children)
    if (_wcsicmp(ClassOf(c).c_str(), L"Static") == 0 && TextOf(c).size() > longest.size()) longest = TextOf(c);
  return longest;
}

// Runs fn on this thread while a second thread answers every message box that
// this thread opens meanwhile with the given button; returns the caption and
// the message of each box, one after the other.
inline std::vector<std::wstring> AnsweringBoxes(const std::function<void()>& fn, int button) {
  const DWORD self = GetCurrentThreadId();
  std::atomic<bool> done{false};
  std::vector<std::wstring> seen;
  std::thread watcher([&] {
    for (HWND answered = nullptr; !done; Sleep(10))
      if (HWND box = DialogOf(self, [&](HWND d) { return d != answered; })) {
        seen.insert(seen.end(), {TextOf(box), BoxMessage(box)});
        PostMessageW(answered = box, WM_COMMAND, static_cast<WPARAM>(button), 0);
      }
  });
  fn();
  done = true;
  watcher.join();
  return seen;
}

// Presses Save; the error box that it opens, if any, is read and closed, and
// the focus must be back on the refused field. Returns the box's message,
// empty when the dialog closed instead. Unless pump, this thread handles no
// message meanwhile (the dialog's owner is waiting for it).
inline std::wstring Save(HWND dialog, int refused = IDC_TRACKERID, bool pump = true) {
  const DWORD thread = GetWindowThreadProcessId(dialog, nullptr);
  PostMessageW(dialog, WM_COMMAND, IDOK, 0);
  HWND box = nullptr;
  auto isBox = [dialog](HWND d) { return GetWindow(d, GW_OWNER) == dialog; };
  auto done = [&] { return !IsWindow(dialog) || (box = DialogOf(thread, isBox)) != nullptr; };
  EXPECT_TRUE(pump ? PumpUntil(done) : waiting::WaitUntil(done, 10000));
  if (!box) return std::wstring();
  const std::wstring message = BoxMessage(box);
  EXPECT_EQ(TextOf(box), L"Error");
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  auto onField = [&] { return GetGUIThreadInfo(thread, &info) && info.hwndFocus == GetDlgItem(dialog, refused); };
  EXPECT_TRUE(PumpUntil(onField)) << std::string(message.begin(), message.end());
  return message;
}

// A tracker dialog shown as its owner shows it: modal, on a thread of its
// own that also made the owner window. show opens it and returns its edit.
class TDialogThread {
public:
  explicit TDialogThread(std::function<std::optional<TTrackerEdit>(HWND owner)> show)
      : FThread([this, show] {
          HWND owner = CreateWindowExW(0, L"STATIC", L"Owner", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
          FThreadId = GetCurrentThreadId();
          FResult = show(owner);
          DestroyWindow(owner);
          FEnded = true;
        }) {
    auto isTrackerDialog = [](HWND d) { return GetDlgItem(d, IDC_SOURCE) != nullptr; };
    EXPECT_TRUE(waiting::WaitUntil([&] { return FThreadId && (FDialog = DialogOf(FThreadId, isTrackerDialog)); }));
  }
  ~TDialogThread() { Result(0); }
  HWND Dialog() const { return FDialog; }
  // Waits for the dialog to end: the edit it handed back, or none. One still
  // open after the wait is cancelled, so that a failing test ends.
  std::optional<TTrackerEdit> Result(int milliseconds = 5000) {
    if (!waiting::WaitUntil([&] { return FEnded.load(); }, milliseconds)) PostMessageW(FDialog, WM_COMMAND, IDCANCEL, 0);
    if (FThread.joinable()) FThread.join();
    return FResult;
  }

private:
  std::atomic<DWORD> FThreadId{0};
  std::atomic<bool> FEnded{false};
  HWND FDialog = nullptr;
  std::optional<TTrackerEdit> FResult;
  std::thread FThread;  // last: it starts once the fields above exist
};

}  // namespace dialogtest
