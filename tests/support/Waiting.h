#pragma once
// Waiting for a condition, never for a time, and never without a bound: shared
// by the program driver, the tests and the benchmarks.
#include <chrono>
#include <functional>

#include "platform/WinApi.h"

namespace waiting {

// Polls cond every 10 ms until it holds (true) or the time is up (false).
inline bool WaitUntil(const std::function<bool()>& cond, int milliseconds = 8000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  while (!cond()) {
    if (std::chrono::steady_clock::now() >= end) return false;
    Sleep(10);
  }
  return true;
}

}  // namespace waiting
