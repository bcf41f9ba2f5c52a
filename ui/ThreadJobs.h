#pragma once
// A function handed to another thread's window in a sent message. It runs there
// at most once, and never after the asker gave up waiting, since it may refer
// to the asker's locals.
#include <functional>

#include "platform/WinApi.h"

// The message that carries a job to a window (lParam); a window that takes
// jobs answers it with RunThreadJob.
constexpr UINT WM_THREADJOB = WM_APP + 0x101;

// Sends fn to window as msg (lParam names it) and waits up to timeoutMs,
// answering messages sent to this thread meanwhile. True when fn ran; once
// false is returned it never runs. A job its window never receives (the
// window went) leaves nothing behind.
bool SendThreadJob(HWND window, UINT msg, const std::function<void()>& fn, DWORD timeoutMs);

// The jobs whose askers are waiting now, for the process's own accounting.
size_t PendingThreadJobs();

// The receiving window's procedure: runs the job that lParam names, unless its
// asker has given up. Whatever fn throws stays here.
void RunThreadJob(LPARAM job);
