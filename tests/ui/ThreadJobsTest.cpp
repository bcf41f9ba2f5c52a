// Jobs handed to another thread's window: run once, never after the asker
// gave up, nothing left behind when the window is gone, and no deadlock when
// the running job sends back to its asker.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "ui/ThreadJobs.h"

namespace {
LRESULT CALLBACK JobWindowProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_THREADJOB) {
    RunThreadJob(lp);
    return 1;
  }
  return DefWindowProcW(w, msg, wp, lp);
}

// A window on a thread of its own that takes jobs; Hold keeps its thread
// busy (not pumping) until released.
class TJobWindow {
public:
  TJobWindow() {
    FThread = std::thread([this] {
      WNDCLASSW wc{};
      wc.lpfnWndProc = JobWindowProc;
      wc.hInstance = GetModuleHandleW(nullptr);
      wc.lpszClassName = L"ThreadJobsTestWindow";
      RegisterClassW(&wc);
      Window = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
      MSG msg;
      while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == WM_APP) {
          InHold = true;
          while (Holding) Sleep(1);
          InHold = false;
          continue;
        }
        DispatchMessageW(&msg);
      }
      DestroyWindow(Window);
    });
    for (int i = 0; i < 5000 && !Window; ++i) Sleep(1);
  }
  ~TJobWindow() {
    Holding = false;
    PostMessageW(Window, WM_QUIT, 0, 0);
    FThread.join();
  }
  // Returns once the thread is busy, so that nothing sent now is answered.
  void Hold() {
    Holding = true;
    PostMessageW(Window, WM_APP, 0, 0);
    for (int i = 0; i < 5000 && !InHold; ++i) Sleep(1);
  }
  std::atomic<HWND> Window{nullptr};
  std::atomic<bool> Holding{false}, InHold{false};

private:
  std::thread FThread;
};
}  // namespace

TEST(ThreadJobs, RunOnceNeverLateAndLeaveNothingForAWindowThatIsGone) {
  HWND gone = nullptr;
  int runs = 0;
  {
    TJobWindow target;
    EXPECT_TRUE(SendThreadJob(target.Window, WM_THREADJOB, [&] { ++runs; }, 2000));
    EXPECT_EQ(runs, 1);

    // The receiver is busy past the bound: refused, and when it gets to the
    // job later, the job does not run.
    target.Hold();
    std::atomic<int> late{0};
    EXPECT_FALSE(SendThreadJob(target.Window, WM_THREADJOB, [&] { ++late; }, 100));
    target.Holding = false;
    EXPECT_TRUE(SendThreadJob(target.Window, WM_THREADJOB, [] {}, 2000));
    EXPECT_EQ(late, 0);

    // The running job sends to its asker's thread, and runs past the bound.
    HWND asker = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    bool answered = false;
    EXPECT_TRUE(SendThreadJob(target.Window, WM_THREADJOB, [&] {
      Sleep(200);
      DWORD_PTR length = 1;
      answered = SendMessageTimeoutW(asker, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, 2000, &length) && length == 0;
    }, 100));
    EXPECT_TRUE(answered);
    DestroyWindow(asker);
    gone = target.Window;
  }
  EXPECT_FALSE(SendThreadJob(gone, WM_THREADJOB, [&] { ++runs; }, 500));
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(PendingThreadJobs(), 0u);
}
