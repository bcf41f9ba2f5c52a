#include "tracker/KeyShares.h"

#include <algorithm>
#include <chrono>

#include "tracker/KeyOrigin.h"

namespace {
// FNV-1a: the group needs only to tell keys apart, and the map holds no key.
std::string Digest(const std::string& text) {
  uint64_t h = 1469598103934665603ull;
  for (unsigned char c : text) h = (h ^ c) * 1099511628211ull;
  return std::to_string(h);
}

constexpr int64_t HOUR_MS = 3600 * 1000;
}  // namespace

std::string KeyGroup(const TSourceSettings& source, const std::string& key) {
  if (key.empty()) return std::string();
  TSourceKind kind;
  if (!ParseSourceName(source.Source, kind)) return std::string();
  if (kind->LimitScope == TLimitScope::Account) return KeyOrigin(source);
  return KeyOrigin(source) + " " + Digest(key);
}

int64_t RefusalPause(TRateLimit limit, int64_t retryAfterMs, int32_t refusals) {
  if (retryAfterMs >= 0) return std::min(retryAfterMs, HOUR_MS);
  int64_t pause = limit.WindowSeconds > 0 ? std::min<int64_t>(limit.WindowSeconds, 3600) * 1000 : 60 * 1000;
  for (int32_t i = 1; i < refusals && pause < HOUR_MS; ++i) pause *= 2;
  return std::min(pause, HOUR_MS);
}

int64_t SteadyMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void TKeyShares::Set(const void* owner, const std::string& group) {
  std::lock_guard<std::mutex> guard(FLock);
  if (group.empty())
    FGroups.erase(owner);
  else
    FGroups[owner] = group;
}

int32_t TKeyShares::Sharing(const std::string& group) const {
  if (group.empty()) return 1;
  std::lock_guard<std::mutex> guard(FLock);
  const auto n = std::count_if(FGroups.begin(), FGroups.end(), [&](const auto& g) { return g.second == group; });
  return std::max<int32_t>(1, static_cast<int32_t>(n));
}

int64_t TKeyShares::Reserve(const std::string& group, TRateLimit limit, int64_t nowMs) {
  if (group.empty()) return 0;
  std::lock_guard<std::mutex> guard(FLock);
  TBudget& b = FBudgets[group];
  const int64_t slot = std::max({nowMs, b.NextSlot, b.PausedUntil});
  b.NextSlot = slot + BudgetSpacing(limit);
  return slot - nowMs;
}

bool TKeyShares::TakeFree(const std::string& group, TRateLimit limit, int64_t nowMs, int64_t& waitMs) {
  waitMs = 0;
  if (group.empty()) return true;
  std::lock_guard<std::mutex> guard(FLock);
  TBudget& b = FBudgets[group];
  const int64_t slot = std::max({nowMs, b.NextSlot, b.PausedUntil});
  if (slot > nowMs) {
    waitMs = slot - nowMs;
    return false;
  }
  b.NextSlot = nowMs + BudgetSpacing(limit);
  return true;
}

int64_t TKeyShares::Refused(const std::string& group, TRateLimit limit, int64_t retryAfterMs, int64_t nowMs) {
  if (group.empty()) return 0;
  std::lock_guard<std::mutex> guard(FLock);
  TBudget& b = FBudgets[group];
  b.Refusals = std::min(b.Refusals + 1, 32);
  b.PausedUntil = std::max(b.PausedUntil, nowMs + RefusalPause(limit, retryAfterMs, b.Refusals));
  // Slots taken before the refusal move behind the pause.
  b.NextSlot = std::max(b.NextSlot, b.PausedUntil);
  return b.PausedUntil;
}

void TKeyShares::Answered(const std::string& group) {
  if (group.empty()) return;
  std::lock_guard<std::mutex> guard(FLock);
  const auto it = FBudgets.find(group);
  if (it != FBudgets.end()) it->second.Refusals = 0;
}

void TKeyShares::Heard(int64_t nowMs) {
  std::lock_guard<std::mutex> guard(FLock);
  FLastHeard = std::max(FLastHeard, nowMs);
}

int64_t TKeyShares::LastHeard() const {
  std::lock_guard<std::mutex> guard(FLock);
  return FLastHeard;
}

int64_t TKeyShares::PausedUntil(const std::string& group, int64_t nowMs) const {
  if (group.empty()) return 0;
  std::lock_guard<std::mutex> guard(FLock);
  const auto it = FBudgets.find(group);
  return it != FBudgets.end() && it->second.PausedUntil > nowMs ? it->second.PausedUntil : 0;
}
