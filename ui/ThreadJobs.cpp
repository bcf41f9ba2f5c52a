#include "ui/ThreadJobs.h"

#include <condition_variable>
#include <memory>
#include <mutex>

namespace {
struct TThreadJob {
  explicit TThreadJob(const std::function<void()>& fn) : Fn(fn) {}
  enum { Waiting, Running, Done, Cancelled } State = Waiting;  // guarded by Lock
  std::function<void()> Fn;
  std::mutex Lock;
  std::condition_variable Changed;
};
// What travels in lParam: one reference of the job's own, freed by the receiver.
using TTicket = std::shared_ptr<TThreadJob>;
}  // namespace

bool SendThreadJob(HWND window, UINT msg, const std::function<void()>& fn, DWORD timeoutMs) {
  auto job = std::make_shared<TThreadJob>(fn);
  auto* ticket = new TTicket(job);
  DWORD_PTR result = 0;
  // Bounded both ways: a receiver that sends to this thread meanwhile is answered.
  if (SendMessageTimeoutW(window, msg, 0, reinterpret_cast<LPARAM>(ticket), SMTO_NORMAL, timeoutMs, &result))
    return true;
  std::unique_lock<std::mutex> lock(job->Lock);
  if (job->State == TThreadJob::Waiting) {
    // Never delivered, or still queued: it must not run any more.
    job->State = TThreadJob::Cancelled;
    return false;
  }
  // Already running: it refers to our locals, so it has to finish first.
  job->Changed.wait(lock, [&] { return job->State == TThreadJob::Done; });
  return true;
}

void RunThreadJob(LPARAM ticketParam) {
  std::unique_ptr<TTicket> ticket(reinterpret_cast<TTicket*>(ticketParam));
  if (!ticket) return;
  TTicket job = *ticket;
  {
    std::lock_guard<std::mutex> guard(job->Lock);
    if (job->State != TThreadJob::Waiting) return;
    job->State = TThreadJob::Running;
  }
  try {
    job->Fn();
  } catch (...) {
    // The asker learns only that it ran.
  }
  {
    std::lock_guard<std::mutex> guard(job->Lock);
    job->State = TThreadJob::Done;
  }
  job->Changed.notify_all();
}
