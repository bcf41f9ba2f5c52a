#include "tracker/KeyShares.h"

#include <algorithm>

namespace {
// FNV-1a: the group needs only to tell keys apart, and the map holds no key.
std::string Digest(const std::string& text) {
  uint64_t h = 1469598103934665603ull;
  for (unsigned char c : text) h = (h ^ c) * 1099511628211ull;
  return std::to_string(h);
}
}  // namespace

std::string KeyGroup(const TSourceSettings& source, const std::string& key) {
  if (key.empty()) return std::string();
  TSourceKind kind;
  if (!ParseSourceName(source.Source, kind)) return std::string();
  return std::string(kind->Name) + "|" + Utf8FromWide(source.Server) + "|" + Digest(key);
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
