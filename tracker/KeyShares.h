#pragma once
// Which trackers poll one service with one key, and the one budget every
// request of such a group comes out of: each poll, a first poll, Refresh, the
// poll after a Save and a Test. Shared by every widget thread and the dialogs;
// each call takes the one lock. Times are milliseconds of a steady clock, so
// neither a changed wall clock nor a night's sleep moves a pause.
#include <cstdint>
#include <map>
#include <mutex>
#include <string>

#include "tracker/TrackerSource.h"

// The group a tracker's key puts it in: the source, the origin its requests go
// to (as KeyOrigin writes it, so the same server however it is typed) and a
// digest of the key; for a service that limits a whole account, the source and
// origin alone. Empty for a tracker without a key.
std::string KeyGroup(const TSourceSettings& source, const std::string& key);

// The pause (ms) after the group's refusals-th refusal in a row (1 for the
// first): the server's Retry-After when it gave one (retryAfterMs >= 0), else
// one window of the limit (a minute for a service without one), doubling while
// refusals go on; never more than an hour.
int64_t RefusalPause(TRateLimit limit, int64_t retryAfterMs, int32_t refusals);

int64_t SteadyMs();

class TKeyShares {
public:
  // Puts owner in group, out of any other; an empty group takes it out.
  void Set(const void* owner, const std::string& group);
  // Owners in group; at least 1, the asker itself.
  int32_t Sharing(const std::string& group) const;

  // Takes the group's next free slot for one request at nowMs: the ms to wait
  // before sending it (0: now). The slot is the caller's; nothing else takes it.
  // A group without a key or limit sends at once, but not during its pause.
  int64_t Reserve(const std::string& group, TRateLimit limit, int64_t nowMs);
  // Takes the slot only when it is free at nowMs (a Test, which the user
  // waits for): true, or false with the ms until the next free one.
  bool TakeFree(const std::string& group, TRateLimit limit, int64_t nowMs, int64_t& waitMs);
  // A 429 or 503 for the group: it pauses (see RefusalPause) and no slot
  // falls before the pause ends. Returns the end of the pause.
  int64_t Refused(const std::string& group, TRateLimit limit, int64_t retryAfterMs, int64_t nowMs);
  // An answer that was no refusal: the next refusal starts from one window again.
  void Answered(const std::string& group);
  // The end of the group's pause, 0 when it is not paused at nowMs.
  int64_t PausedUntil(const std::string& group, int64_t nowMs) const;

  // Some server answered a tracker at nowMs; when none has for a while, a
  // failed connection is this computer's, not a site's.
  void Heard(int64_t nowMs);
  int64_t LastHeard() const;

private:
  struct TBudget {
    int64_t NextSlot = 0;     // the earliest time the next request may go
    int64_t PausedUntil = 0;  // a refusal's pause
    int32_t Refusals = 0;     // in a row
  };
  mutable std::mutex FLock;
  std::map<const void*, std::string> FGroups;  // guarded by FLock
  std::map<std::string, TBudget> FBudgets;     // guarded by FLock
  int64_t FLastHeard = -1;                     // guarded by FLock
};
