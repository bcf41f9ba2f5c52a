#pragma once
// Driving real dialogs and message boxes from a test: they are found among a
// thread's windows, filled and pressed through messages, and a box that
// opens is read and answered from a second thread.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>
#include <vector>

#include "platform/WinApi.h"
#include "ui/UiTestSupport.h"

namespace dialogtest {

// Waits, handling this thread's messages (sent ones included), until cond holds.
inline bool PumpUntil(const std::function<bool()>& cond, int milliseconds = 8000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  for (;;) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) continue;
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    if (cond()) return true;
    if (std::chrono::steady_clock::now() >= end) return false;
    Sleep(5);
  }
}

inline BOOL CALLBACK CollectInto(HWND w, LPARAM p) {
  reinterpret_cast<std::vector<HWND>*>(p)->push_back(w);
  return TRUE;
}

inline std::vector<HWND> ThreadWindows(DWORD threadId) {
  std::vector<HWND> found;
  EnumThreadWindows(threadId, CollectInto, reinterpret_cast<LPARAM>(&found));
  return found;
}

inline bool IsDialogBox(HWND w) {
  wchar_t name[16] = {};
  GetClassNameW(w, name, 16);
  return std::wstring(name) == L"#32770" && IsWindowVisible(w);
}

// The visible dialog of that thread that has a control with this id.
inline HWND DialogWith(DWORD threadId, int controlId) {
  for (HWND w : ThreadWindows(threadId))
    if (IsDialogBox(w) && GetDlgItem(w, controlId)) return w;
  return nullptr;
}

// A message box owned by the given window.
inline HWND BoxOwnedBy(DWORD threadId, HWND owner) {
  for (HWND w : ThreadWindows(threadId))
    if (IsDialogBox(w) && GetWindow(w, GW_OWNER) == owner) return w;
  return nullptr;
}

inline std::wstring TextOf(HWND w) {
  wchar_t text[512] = {};
  GetWindowTextW(w, text, 512);
  return text;
}

// The message of a box: its longest static text (the icon has none).
inline std::wstring BoxMessage(HWND box) {
  std::vector<HWND> children;
  EnumChildWindows(box, CollectInto, reinterpret_cast<LPARAM>(&children));
  std::wstring longest;
  for (HWND c : children) {
    wchar_t name[16] = {};
    GetClassNameW(c, name, 16);
    const std::wstring text = TextOf(c);
    if (_wcsicmp(name, L"Static") == 0 && text.size() > longest.size()) longest = text;
  }
  return longest;
}

inline HWND FocusOf(DWORD threadId) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  return GetGUIThreadInfo(threadId, &info) ? info.hwndFocus : nullptr;
}

struct TSeenBox {
  std::wstring Caption, Message;
};

// Runs fn on this thread while a second thread answers every message box
// that this thread opens meanwhile with the given button.
inline std::vector<TSeenBox> AnsweringBoxes(const std::function<void()>& fn, int button) {
  const DWORD self = GetCurrentThreadId();
  std::atomic<bool> done{false};
  std::vector<TSeenBox> seen;
  std::thread watcher([&] {
    std::vector<HWND> answered;
    while (!done) {
      for (HWND w : ThreadWindows(self))
        if (IsDialogBox(w) && std::find(answered.begin(), answered.end(), w) == answered.end()) {
          answered.push_back(w);
          seen.push_back({TextOf(w), BoxMessage(w)});
          PostMessageW(w, WM_COMMAND, static_cast<WPARAM>(button), 0);
        }
      Sleep(10);
    }
  });
  fn();
  done = true;
  watcher.join();
  return seen;
}

inline std::wstring W(const std::u16string& s) { return std::wstring(s.begin(), s.end()); }

}  // namespace dialogtest
