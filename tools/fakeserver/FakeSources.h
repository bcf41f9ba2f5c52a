#pragma once
// Fake analytics services on a TFakeServer: Plausible, Umami (self-hosted and
// Cloud), Matomo, Fathom and plain JSON endpoints. Each checks a request the
// way the service's API reference describes it (method, path, query, key
// header, Matomo's form body) and answers the site's count, a refusal, a rate
// limit, a redirect to another host or a hostile body. The server records
// every request as usual.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "tools/fakeserver/FakeServer.h"

enum class TFakeSource { Plausible, Umami, UmamiCloud, Matomo, Fathom, Json };

// "plausible", "umami", "umami-cloud", "matomo", "fathom", "json".
const char* FakeSourceName(TFakeSource source);
bool ParseFakeSource(const std::string& name, TFakeSource& source);

// Umami's answers over its versions: {"visitors": n}, {"x": n}, [{"x": n}].
enum class TUmamiForm { Visitors, X, XInArray };

// One site of a source. For Json the site is the request's whole path with
// its query ("/api/shop/live?id=7"); for the others the ID the request names
// (Plausible's domain, Umami's website ID, Matomo's idSite, Fathom's site ID).
struct TFakeSite {
  // The key the request must carry; a source's sites with one key share its
  // rate limit.
  // Json: the whole header line the request must carry ("X-Key: abc"), or
  // empty for an endpoint that needs none.
  std::string Key;
  int32_t Count = 0;
  std::string Pointer = "/count";  // Json: where the answer holds the count
  // When set: sent instead of the count once the key and the limit let the
  // request through (an HTML page, a cut-off or huge body, deep nesting).
  std::optional<TFakeRoute> Answer;
};

struct TFakeRateLimit {
  uint32_t Requests = 0;  // answered requests allowed per source and key within WindowMs; 0: no limit
  uint32_t WindowMs = 0;
  bool RetryAfterDate = false;  // Retry-After as an HTTP date, else in seconds
  std::string RetryAfter;       // when not empty, sent as it is instead
};

enum class TFakeHostile { HtmlPage, Truncated, DeeplyNested, Huge };
// A hostile answer for TFakeSite::Answer; size is the nesting depth or the
// body's bytes (0: 1000 levels, 2 MiB).
TFakeRoute FakeHostileAnswer(TFakeHostile kind, size_t size = 0);

class TFakeSources {
public:
  // Becomes the server's handler and answers until another one replaces it,
  // even after this object is gone (the handler shares its state).
  explicit TFakeSources(TFakeServer& server);
  TFakeSources(const TFakeSources&) = delete;
  TFakeSources& operator=(const TFakeSources&) = delete;

  void SetSite(TFakeSource source, const std::string& site, const TFakeSite& config);
  void SetCount(TFakeSource source, const std::string& site, int32_t count);  // the site must exist
  void RemoveSite(TFakeSource source, const std::string& site);
  // Every source's path starts with this (a Server such as
  // "http://127.0.0.1:N/stats" has "/stats"); default empty.
  void SetBasePath(const std::string& path);
  void SetUmamiForm(TUmamiForm form);
  void SetMatomoDigits(bool asStrings);  // Matomo's figures as strings of digits
  void SetRateLimit(const TFakeRateLimit& limit);
  // Every source request is answered with status and Location toBase plus
  // the request's path and query, e.g. toBase "http://localhost:<port>";
  // empty: no redirect.
  void SetRedirect(const std::string& toBase, int status = 302);

private:
  struct TState;
  std::shared_ptr<TState> FState;
};
