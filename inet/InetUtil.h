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

// User-typed text (a tracker ID) as part of a request path: verbatim, "/"
// included, except what would break the request line or change its meaning.
std::string EncodePathText(const WideString& text);

// Schemes a redirect may name. Only plain HTTP is followed for now; https
// would also need INTERNET_FLAG_SECURE on the request.
enum class TUrlScheme { Http, Https };
constexpr uint16_t DEFAULT_HTTPS_PORT = 443;

// Where a redirect leads.
struct TRedirectTarget {
  TUrlScheme Scheme = TUrlScheme::Http;
  THostPort Server;
  std::string Path;  // with its query, without a fragment
};

// Resolves a Location header against the request it answered: "scheme://host[:port]/path",
// "//host[:port]/path", "/path" or a path relative to the current one's folder.
// False for anything else, or for text with blanks, control codes or non-ASCII bytes.
bool ResolveLocation(const std::string& location, const TRedirectTarget& current, TRedirectTarget& next);
