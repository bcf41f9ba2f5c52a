// Jobs handed to another thread's window: run once, never after the asker
// gave up, nothing left behind when the window is gone, and no deadlock when
// the running job sends back to its asker.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "tests/support/UiTestSupport.h"
#include "ui/ThreadForm.h"
#include "ui/ThreadJobs.h"

TEST(ThreadJobs, RunOnceNeverLateAndLeaveNothingForAWindowThatIsGone) {
  HWND window = nullptr;
  int runs = 0;
  {
    TThreadForm target(nullptr);  // takes jobs on a thread of its own
    target.Resume();
    for (int i = 0; i < 5000 && !target.WindowHandle(); ++i) Sleep(1);
    window = target.WindowHandle();
    EXPECT_TRUE(SendThreadJob(window, WM_THREADJOB, [&] { ++runs; }, 2000));
    EXPECT_EQ(runs, 1);

    // The receiver is busy (not pumping) past the bound: refused, and when it
    // gets to the job later, the job does not run.
    std::atomic<bool> holding{true}, held{false};
    std::thread holder([&] { SendThreadJob(window, WM_THREADJOB, [&] { for (held = true; holding;) Sleep(1); }, 5000); });
    for (int i = 0; i < 5000 && !held; ++i) Sleep(1);
    std::atomic<int> late{0};
    EXPECT_FALSE(SendThreadJob(window, WM_THREADJOB, [&] { ++late; }, 100));
    holding = false;
    holder.join();
    EXPECT_TRUE(SendThreadJob(window, WM_THREADJOB, [] {}, 2000));
    EXPECT_EQ(late, 0);

    // The running job sends to its asker's thread, and runs past the bound.
    HWND asker = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    bool answered = false;
    EXPECT_TRUE(SendThreadJob(window, WM_THREADJOB, [&] {
      Sleep(200);
      DWORD_PTR length = 1;
      answered = SendMessageTimeoutW(asker, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, 2000, &length) && length == 0;
    }, 100));
    EXPECT_TRUE(answered);
    DestroyWindow(asker);
  }
  EXPECT_FALSE(SendThreadJob(window, WM_THREADJOB, [&] { ++runs; }, 500));
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(PendingThreadJobs(), 0u);
}
