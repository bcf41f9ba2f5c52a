#pragma once
// Which trackers poll one service with one key, so that those sharing a key
// space their polls to stay inside the service's limit for that key. Shared
// by every widget thread; each call takes the one lock.
#include <cstdint>
#include <map>
#include <mutex>
#include <string>

#include "tracker/TrackerSource.h"

// The group a tracker's key puts it in: the source, its server and a digest
// of the key; empty for a tracker without a key.
std::string KeyGroup(const TSourceSettings& source, const std::string& key);

class TKeyShares {
public:
  // Puts owner in group, out of any other; an empty group takes it out.
  void Set(const void* owner, const std::string& group);
  // Owners in group; at least 1, the asker itself.
  int32_t Sharing(const std::string& group) const;

private:
  mutable std::mutex FLock;
  std::map<const void*, std::string> FGroups;  // guarded by FLock
};
