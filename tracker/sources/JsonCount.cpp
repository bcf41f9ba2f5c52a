#include "tracker/sources/JsonCount.h"

#include <algorithm>
#include <climits>

namespace {
// Nesting deeper than the limit is refused before the parser sees it.
bool WithinDepth(const std::string& body) {
  int depth = 0;
  bool inString = false, escaped = false;
  for (char c : body) {
    if (inString) {
      if (escaped) escaped = false;
      else if (c == '\\') escaped = true;
      else if (c == '"') inString = false;
    } else if (c == '"') {
      inString = true;
    } else if (c == '[' || c == '{') {
      if (++depth > JSON_MAX_DEPTH) return false;
    } else if (c == ']' || c == '}') {
      --depth;
    }
  }
  return true;
}
}  // namespace

int32_t CountOf(const nlohmann::json* value) {
  if (!value) return NO_COUNT;
  if (value->is_number_unsigned()) {
    const auto n = value->get<uint64_t>();
    return n <= static_cast<uint64_t>(INT32_MAX) ? static_cast<int32_t>(n) : NO_COUNT;
  }
  if (value->is_number_integer()) {
    const auto n = value->get<int64_t>();
    return n >= 0 && n <= INT32_MAX ? static_cast<int32_t>(n) : NO_COUNT;
  }
  if (value->is_string()) {
    const std::string& s = value->get_ref<const std::string&>();
    if (s.empty() || s.size() > 10 || !std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; }))
      return NO_COUNT;
    const long long n = std::stoll(s);
    return n <= INT32_MAX ? static_cast<int32_t>(n) : NO_COUNT;
  }
  return NO_COUNT;
}

const nlohmann::json* Member(const nlohmann::json& object, const char* name) {
  if (!object.is_object()) return nullptr;
  auto it = object.find(name);
  return it == object.end() ? nullptr : &*it;
}

int32_t ReadJsonCount(const std::string& body, std::string where, TPollFailure& why, const TJsonReader& read) {
  int32_t count = NO_COUNT;
  if (WithinDepth(body)) {
    const nlohmann::json root = nlohmann::json::parse(body, nullptr, false), none;
    count = read(root.is_discarded() ? none : root, where, why);
    // The service's own words say more than any count could.
    if (why.Kind != TFailure::None) return NO_COUNT;
  }
  if (count < 0) {
    why.Kind = TFailure::NotANumber;
    why.Where = where;
  }
  return count;
}
