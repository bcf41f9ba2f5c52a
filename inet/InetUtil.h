#pragma once
// Window-free helpers of the HTTP client: where the two web hosts are and how a
// user-typed value becomes part of a request path.
#include <cstdint>
#include <string>

#include "text/WStrUtils.h"

// Port used when a host setting names none.
constexpr uint16_t DEFAULT_HTTP_PORT = 80;

struct THostPort {
  std::string Host;
  uint16_t Port = DEFAULT_HTTP_PORT;
};

// "host" or "host:port"; a missing, empty, zero or out-of-range port gives 80.
THostPort SplitHostPort(const std::string& hostPort);

// The counter service (counts, usage image) and the maker's web host (version
// file), each as "host" or "host:port", fixed when the program is built.
std::string CounterHost();
std::string MakerHost();

// Test seam: points CounterHost at another server (a loopback fake) for the rest
// of the process; an empty value restores the built-in host.
void OverrideCounterHostForTesting(const std::string& hostPort);

// Percent-encodes everything but ASCII letters, digits, "-" and "_" (as UTF-8
// bytes), so no user-typed text can break the request line.
std::string EncodePathSegment(const WideString& text);
