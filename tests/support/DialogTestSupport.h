#pragma once
// Driving real dialogs and message boxes from a test: they are found among a
// thread's windows, filled and pressed through messages, and a box that
// opens is read and answered from a second thread.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>
#include <vector>

#include "platform/WinApi.h"
#include "tests/support/UiTestSupport.h"

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

}  // namespace dialogtest
