#include "inet/InetUtil.h"

#include <mutex>

#ifndef ORVANTA_COUNTER_HOST
#error "ORVANTA_COUNTER_HOST must be defined by the build"
#endif
#ifndef ORVANTA_MAKER_HOST
#error "ORVANTA_MAKER_HOST must be defined by the build"
#endif

namespace {
std::mutex overrideLock;
std::string counterOverride;  // guarded by overrideLock; set by tests only
}  // namespace

THostPort SplitHostPort(const std::string& hostPort) {
  THostPort result;
  result.Host = hostPort;
  size_t colon = hostPort.rfind(':');
  // A second colon means an IPv6 literal without a port; leave it whole.
  if (colon == std::string::npos || hostPort.find(':') != colon) return result;
  result.Host = hostPort.substr(0, colon);
  std::string digits = hostPort.substr(colon + 1);
  if (digits.empty() || digits.size() > 5) return result;
  uint32_t port = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return result;
    port = port * 10 + static_cast<uint32_t>(c - '0');
  }
  if (port > 0 && port <= 65535) result.Port = static_cast<uint16_t>(port);
  return result;
}

std::string CounterHost() {
  std::lock_guard<std::mutex> guard(overrideLock);
  return counterOverride.empty() ? std::string(ORVANTA_COUNTER_HOST) : counterOverride;
}

std::string MakerHost() { return ORVANTA_MAKER_HOST; }

void OverrideCounterHostForTesting(const std::string& hostPort) {
  std::lock_guard<std::mutex> guard(overrideLock);
  counterOverride = hostPort;
}

std::string EncodePathSegment(const WideString& text) {
  static const char hex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : Utf8FromWide(text)) {
    bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
    if (plain) {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    }
  }
  return out;
}
