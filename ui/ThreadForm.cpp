#include "ui/ThreadForm.h"

#include <commctrl.h>
#include <objbase.h>

#include "ui/ThreadJobs.h"
#include "ui/WidgetsUnit.h"

// Shared by the form object and its thread, so that the thread can finish
// safely even when the object was freed from one of its own callbacks.
struct TThreadForm::TLife {
  TLife() : EndedEvent(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
  std::atomic<bool> Freed{false};
  std::atomic<bool> Ended{false};
  TKernelHandle EndedEvent;  // set once the thread touches the form no more
};

TThreadForm::TThreadForm(TComponent* owner) : TWidgetForm(owner), FLife(std::make_shared<TLife>()) {
  // Built here, but its window belongs to the form's own thread: until that
  // thread runs, no thread may create it.
  SetOwnerThread(0);
}

TThreadForm::~TThreadForm() { FinishThread(THREAD_FORM_FREE_WAIT_MS); }

void TThreadForm::FinishThread(DWORD timeoutMs) {
  if (OnOwnThread()) {
    // The window goes now, so that WMDestroy ends the thread's loop, and the
    // callbacks up the stack learn not to touch the form any more.
    FLife->Freed = true;
    FThread.detach();
    if (WindowExists()) DestroyWindow(StoredHandle());
  } else if (!Stop(timeoutMs) && FThread.joinable()) {
    // Only an owner that neither waits nor abandons gets here.
    FLife->Freed = true;
    FThread.detach();
  }
}

bool TThreadForm::Freed(const std::shared_ptr<TLife>& life) { return life->Freed; }

bool TThreadForm::OnOwnThread() const { return FThread.joinable() && FThread.get_id() == std::this_thread::get_id(); }

void TThreadForm::Resume() {
  if (FThread.joinable() || FLife->Ended) return;
  std::shared_ptr<TLife> life = FLife;
  FThread = std::thread([this, life] {
    ThreadMain();
    life->Ended = true;
    SetEvent(life->EndedEvent.Get());
  });
}

void TThreadForm::ThreadMain() {
  ReleaseUnusedStack();  // such a thread lives long and stays shallow
  SetOwnerThread(GetCurrentThreadId());
  WideString failure;
  try {
    EnsureHandle();
  } catch (...) {
    failure = CaughtErrorText();
  }
  HWND window = WindowExists() ? StoredHandle() : nullptr;
  if (!window) {
    // Never silent: the owner tells the user which window is missing and why.
    ThreadFailed(failure.empty() ? WideString(u"the window was not made") : failure);
    return;
  }
  // Published before the stop flag is read; RequestClose does the reverse, so
  // one of the two always sees the other.
  FThreadWindow = window;
  InitCommonControls();
  // These threads start after others exist, so COM gets the multithreaded model.
  HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  if (FStopRequested) PostMessageW(window, WM_CLOSE, 0, 0);
  try {
    ThreadStarted();
  } catch (...) {
  }
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) != 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  // The form may have been freed by now: only the thread's own state is left.
  if (SUCCEEDED(com)) CoUninitialize();
}

void TThreadForm::RequestClose() {
  FStopRequested = true;
  HWND window = FThreadWindow;
  if (window) PostMessageW(window, WM_CLOSE, 0, 0);
}

bool TThreadForm::WaitClosed(DWORD timeoutMs) {
  if (!FThread.joinable()) return FLife->Ended || !ThreadRunning();
  if (OnOwnThread()) return false;
  const ULONGLONG end = GetTickCount64() + timeoutMs;
  for (;;) {
    ULONGLONG now = GetTickCount64();
    DWORD left = now < end ? static_cast<DWORD>(end - now) : 0;
    HANDLE ended = FLife->EndedEvent.Get();
    DWORD r = MsgWaitForMultipleObjects(1, &ended, FALSE, left, QS_SENDMESSAGE);
    if (r == WAIT_OBJECT_0) break;
    if (r != WAIT_OBJECT_0 + 1) return false;
    // Answers what other threads send here; nothing posted is taken.
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
  FThread.join();  // it has done everything but return
  return true;
}

bool TThreadForm::Stop(DWORD timeoutMs) {
  if (!FThread.joinable()) return true;
  RequestClose();
  return WaitClosed(timeoutMs);
}

bool TThreadForm::ThreadRunning() const { return FThread.joinable() && !FLife->Ended; }
bool TThreadForm::ThreadEnded() const { return FLife->Ended; }

void TThreadForm::Abandon(TThreadForm* form) {
  if (!form) return;
  if (form->FThread.joinable()) form->FThread.detach();
  if (TComponent* owner = form->Owner()) owner->Disown(form);
}

bool TThreadForm::Invoke(const std::function<void()>& fn, DWORD timeoutMs) {
  if (OnOwnThread() || !ThreadRunning()) {
    fn();
    return true;
  }
  // Between Resume and the window's creation there is nobody to ask yet.
  const ULONGLONG end = GetTickCount64() + timeoutMs;
  HWND window = FThreadWindow;
  while (!window && ThreadRunning() && GetTickCount64() < end) {
    Sleep(5);
    window = FThreadWindow;
  }
  if (!window) {
    if (ThreadRunning()) return false;
    fn();
    return true;
  }
  const ULONGLONG now = GetTickCount64();
  return SendThreadJob(window, WM_THREADJOB, fn, now < end ? static_cast<DWORD>(end - now) : 1);
}

bool TThreadForm::PumpOwnMessages() {
  std::shared_ptr<TLife> life = FLife;  // a message handled here may free the form
  return PumpMessages() && !life->Freed && WindowExists();
}

void TThreadForm::WndProc(TWidgetMessage& message) {
  if (message.Msg == WM_THREADJOB) {
    RunThreadJob(message.LParam);
    return;
  }
  TWidgetForm::WndProc(message);
}

void TThreadForm::WMDestroy(TWidgetMessage& message) {
  FThreadWindow = nullptr;
  TWidgetForm::WMDestroy(message);
  PostQuitMessage(0);
}
