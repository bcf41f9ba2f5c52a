#pragma once
// Window-free helpers of the HTTP client: where the two web hosts are and how a
// user-typed value becomes part of a request path.
#include <cstdint>
#include <string>

#include "text/WStrUtils.h"

// Ports used when a host setting or a redirect names none.
constexpr uint16_t DEFAULT_HTTP_PORT = 80;
constexpr uint16_t DEFAULT_HTTPS_PORT = 443;

enum class TUrlScheme { Http, Https };

struct THostPort {
  std::string Host;
  uint16_t Port = DEFAULT_HTTP_PORT;
};

// A web host as the build names it: "host[:port]", "http://host[:port]" or
// "https://host[:port]"; without a port, 80 for http and 443 for https.
struct THostSetting {
  TUrlScheme Scheme = TUrlScheme::Http;
  THostPort Server;
};

// False for an empty host, another scheme, a port outside 1 to 65535, a path,
// a user name, an IPv6 literal, blanks or control codes.
bool ParseHostSetting(const std::string& text, THostSetting& setting);

// "http://host[:port]" or "https://host[:port]", the base of the pages a
// browser opens on that host; the port only when it is not the scheme's own.
// A setting that does not parse is given "http://" in front, as it was.
std::string HostUrl(const std::string& hostSetting);

// The counter service (counts, usage image) and the maker's web host (version
// file), each a host setting fixed when the program is built.
std::string CounterHost();
std::string MakerHost();

// User-typed text (a tracker ID) as part of a request path: verbatim, "/"
// included, except what would break the request line or change its meaning.
std::string EncodePathText(const WideString& text);

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

// Why a request brought no usable answer, in the terms a user is told.
enum class TTransferError : uint8_t {
  None,
  NoConnection,      // the name did not resolve, or the server refused or dropped the connection
  TimedOut,          // no answer within the request's bounds
  Crowded,           // refused at once: too many earlier requests still wait on servers that never answered
  Certificate,       // the server's certificate is not trusted, for another name or out of date
  InsecureRedirect,  // an https request redirected to plain http
  TooManyRedirects,  // a loop, or more than INET_MAX_REDIRECTS
  TooLarge,          // the body passed the cap
  Incomplete,        // the body ended before its announced length
  Status,            // an answer, but not 2xx
  KeyOverHttp,       // a key would have gone over plain http to a host that is not this machine
};

// 127.0.0.0/8, ::1 or "localhost" (any case): a host a key may reach over plain http.
bool IsLoopbackHost(const std::string& host);

// A source's Server: "http(s)://host[:port]" with an optional path, no query or
// fragment. The path comes back without a trailing "/".
bool ParseBaseUrl(const std::string& text, THostSetting& host, std::string& basePath);
