#pragma once
// A layered form that runs on a thread of its own: the owner builds it, Resume
// starts the thread, which makes the window and pumps it until the window
// goes. Other threads ask it things through bounded jobs, close it, wait for
// it with a bound, or let go of it when the process ends.
#include <atomic>
#include <functional>
#include <memory>
#include <thread>

#include "ui/Forms.h"

// How long a cross-thread look may take before the asker gives up.
constexpr DWORD FORM_INVOKE_WAIT_MS = 2000;
// How long a close may take before the asker gives up.
constexpr DWORD FORM_STOP_WAIT_MS = 5000;

class TThreadForm : public TWidgetForm {
public:
  explicit TThreadForm(TComponent* owner);
  ~TThreadForm() override;

  // Starts the thread: window, ThreadStarted, message loop.
  void Resume();
  // Any thread. Asks the form to close; a form whose window does not exist
  // yet closes as soon as it does.
  void RequestClose();
  // Any thread but the form's: waits up to timeoutMs for the thread to end,
  // answering messages sent to the waiting thread meanwhile. True once it has ended.
  bool WaitClosed(DWORD timeoutMs);
  bool Stop(DWORD timeoutMs = FORM_STOP_WAIT_MS);
  bool ThreadRunning() const;
  bool ThreadEnded() const;
  // For a form whose thread did not end in time while the process shuts
  // down: its owner lets go of it, so it is never freed under its thread.
  static void Abandon(TThreadForm* form);

  // Any thread: the window, or null before it exists and once it is gone.
  HWND WindowHandle() const { return FThreadWindow; }
  // Runs fn on the form's thread and waits up to timeoutMs; runs it here when
  // called on that thread or when the thread is not running. False when fn did
  // not run (time out, window gone); fn never runs after that.
  bool Invoke(const std::function<void()>& fn, DWORD timeoutMs = FORM_INVOKE_WAIT_MS);
  bool OnOwnThread() const;
  // True once the object was freed from inside one of its thread's callbacks
  // (one that ran a modal dialog, say): such code must not touch the form
  // again. Hold Life() across the call.
  struct TLife;
  std::shared_ptr<TLife> Life() const { return FLife; }
  static bool Freed(const std::shared_ptr<TLife>& life);

protected:
  // What the thread does once the window exists, before its message loop.
  virtual void ThreadStarted() {}
  // The thread's window could not be made, for the reason given; the thread
  // ends after this returns.
  virtual void ThreadFailed(const WideString& /*reason*/) {}
  void WndProc(TWidgetMessage& message) override;
  // Ends the thread's loop; a derived form calls it last in its own WMDestroy.
  void WMDestroy(TWidgetMessage& message) override;
  // Closes the window and waits (bounded) for the thread; on the form's own
  // thread (freed from one of its callbacks) it destroys the window at once
  // and lets the thread run out. A derived destructor calls it first, while
  // the object is still of its own class; the base calls it again.
  void FinishThread(DWORD timeoutMs);
  // Pumps the thread's queue; false once the window is gone, the form freed, or a quit came.
  bool PumpOwnMessages();

private:
  void ThreadMain();

  std::shared_ptr<TLife> FLife;
  std::thread FThread;
  std::atomic<bool> FStopRequested{false};
  std::atomic<HWND> FThreadWindow{nullptr};
};

// Freeing a thread form waits this long at most; owners that cannot wait abandon it.
constexpr DWORD THREAD_FORM_FREE_WAIT_MS = 30000;
