#include "ui/ThreadJobs.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace {
struct TThreadJob {
  explicit TThreadJob(const std::function<void()>& fn) : Fn(fn) {}
  enum { Waiting, Running, Done, Cancelled } State = Waiting;  // guarded by Lock
  std::function<void()> Fn;
  std::mutex Lock;
  std::condition_variable Changed;
};

// The jobs whose askers still wait, by the number lParam carries. The asker
// adds and removes its own, so a message that is never delivered (its window
// went) leaves nothing behind, and one delivered late finds nothing to run.
std::mutex gJobsLock;
std::unordered_map<LPARAM, std::shared_ptr<TThreadJob>> gJobs;
LPARAM gNextJob = 0;

LPARAM Register(const std::shared_ptr<TThreadJob>& job) {
  std::lock_guard<std::mutex> hold(gJobsLock);
  // 0 never names a job; the counter wraps long after any job is gone.
  do ++gNextJob;
  while (gNextJob == 0 || gJobs.count(gNextJob));
  gJobs.emplace(gNextJob, job);
  return gNextJob;
}

void Unregister(LPARAM id) {
  std::lock_guard<std::mutex> hold(gJobsLock);
  gJobs.erase(id);
}

std::shared_ptr<TThreadJob> Find(LPARAM id) {
  std::lock_guard<std::mutex> hold(gJobsLock);
  auto found = gJobs.find(id);
  return found == gJobs.end() ? nullptr : found->second;
}

constexpr DWORD kPumpSliceMs = 10;
}  // namespace

bool SendThreadJob(HWND window, UINT msg, const std::function<void()>& fn, DWORD timeoutMs) {
  auto job = std::make_shared<TThreadJob>(fn);
  const LPARAM id = Register(job);
  DWORD_PTR result = 0;
  // Bounded both ways: a receiver that sends to this thread meanwhile is answered.
  const bool delivered = SendMessageTimeoutW(window, msg, 0, id, SMTO_NORMAL, timeoutMs, &result) != 0;
  std::unique_lock<std::mutex> lock(job->Lock);
  if (!delivered && job->State == TThreadJob::Waiting) {
    // Never delivered, or still queued: it must not run any more.
    job->State = TThreadJob::Cancelled;
    lock.unlock();
    Unregister(id);
    return false;
  }
  // Running (or done): it refers to the caller's locals, so it has to finish
  // first. It is short by contract; meanwhile what it sends here is answered.
  while (!job->Changed.wait_for(lock, std::chrono::milliseconds(kPumpSliceMs),
                                [&] { return job->State == TThreadJob::Done; })) {
    lock.unlock();
    MSG pending;
    PeekMessageW(&pending, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    lock.lock();
  }
  lock.unlock();
  Unregister(id);
  return true;
}

size_t PendingThreadJobs() {
  std::lock_guard<std::mutex> hold(gJobsLock);
  return gJobs.size();
}

void RunThreadJob(LPARAM id) {
  std::shared_ptr<TThreadJob> job = Find(id);
  if (!job) return;
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
