#pragma once
// What a tracker reads a count from, as a row of the source table: its name,
// default server, key, rate limit, default interval and texts, and the
// service's own parts of a poll (its request, how its answer holds the count,
// its dashboard). The table lives in tracker/TrackerSource.cpp, each
// service's own parts in its file under tracker/sources/.
#include <cstdint>
#include <string>
#include <vector>

#include "inet/InetUtil.h"
#include "text/TextLookup.h"
#include "text/WStrUtils.h"

constexpr int32_t NO_COUNT = -1;
constexpr int32_t DEFAULT_POLL_INTERVAL = 15000;

// A tracker's source as its section holds it, text as written there.
struct TSourceSettings {
  WideString Source;   // empty: the counter service
  // Base URL; for json the whole URL template with {id}, which becomes the ID
  // as EncodePathText writes it in the path and fully escaped in the query.
  WideString Server;
  WideString Header;   // json only: "Name: value", {key} standing for the key
  WideString Pointer;  // json only: an RFC 6901 pointer to the count
  WideString Page;     // json only: the page Details opens, {id} standing for the ID
};

// Everything one poll sends.
struct TSourceRequest {
  std::string Host;  // a host setting: "http://host:port" or "https://host:port"
  std::string Path;  // with its query
  std::string Method = "GET";
  std::string Accept;       // empty for the counter service, whose request stays as it was
  std::string ContentType;  // with a Body
  std::string Body;         // Matomo's token_auth form
  // Header lines ("Name: value") that carry the key: they go to the tracker's own
  // server only and are dropped on a redirect to another one.
  std::vector<std::string> KeyHeaders;
};

// The longest text of a service's or a settings file's that a failure repeats.
constexpr size_t MAX_DETAIL_CHARS = 120;

// Why a poll brought no count; shown to the user in words.
enum class TFailure : uint8_t {
  None,
  UnknownSource,    // the Source key names no source this version knows
  NoServer,         // a self-hosted source without a Server
  BadServer,        // Server is no http(s) URL (for json: no template with a host)
  NoKey,            // the source needs a key and the tracker has none
  KeyUnreadable,    // the stored key cannot be decrypted for this user
  KeyOverHttp,      // the key would go over plain http to another machine
  NotStarted,       // no worker could be made
  NoConnection,
  TimedOut,
  Crowded,          // too many earlier requests still wait on silent servers
  Certificate,
  InsecureRedirect,
  TooManyRedirects,
  TooLarge,
  Incomplete,
  KeyRefused,       // 401 or 403
  NotFound,         // 404
  RateLimited,      // 429 or 503; PausedUntil says until when
  HttpStatus,       // any other status; Status says which
  NotANumber,       // the body holds no count where the source says; Where says where
  ServiceError,     // a whole answer that reports an error instead of a count; Detail is its message
  BadKey,           // the key holds control codes, blanks or non-ASCII bytes: it could end its header line
  BadHeader,        // json's Header is no "Name: value" line
};

struct TPollFailure {
  TFailure Kind = TFailure::None;
  int32_t Status = 0;       // HTTP status, when there was an answer
  std::string Where;        // NotANumber: the pointer or field looked at, e.g. "/visitors"
  int64_t PausedUntil = 0;  // RateLimited: Unix seconds; 0 when the server gave no Retry-After
  // UnknownSource: the Source as written; ServiceError: what the service said.
  // Either is shown to the user: one line of at most MAX_DETAIL_CHARS printable characters.
  std::string Detail;
  bool operator==(const TPollFailure& o) const {
    return Kind == o.Kind && Status == o.Status && Where == o.Where && PausedUntil == o.PausedUntil &&
           Detail == o.Detail;
  }
};

// At most Requests polls in WindowSeconds per key; Requests 0: no limit.
struct TRateLimit {
  int32_t Requests = 0;
  int32_t WindowSeconds = 0;
};

// A text of the language tables, and the English one when they have none.
struct TText {
  int32_t Id = 0;  // 0: no text
  const WideChar* English = u"";
};
inline WideString TextOf(const TTextLookup* texts, const TText& text) { return TextOr(texts, text.Id, text.English); }

// Where a service's requests go.
enum class TServerUse : uint8_t {
  CounterHost,  // the program's own counter host; the tracker has no Server
  BaseUrl,      // the Server, a base URL, or the default server when it is empty
  UrlTemplate,  // the Server is the whole URL with {id}; Pointer, Header and Page apply
};

// Whether a poll sends the key.
enum class TKeyUse : uint8_t {
  None,               // never: no key is stored for the service
  Always,             // every poll needs one
  WhereHeaderNamesIt, // only where the Header holds {key}
};

// Where the rate limit holds.
enum class TLimitScope : uint8_t {
  AnyServer,    // per key, on any server
  DefaultHost,  // per key, on the default server's host only; a self-hosted one has no limit
  Account,      // per user account: every tracker of the source shares it, whatever its key
};

struct TSourceService;

// One poll of a service: the tracker's source, ID and plain key, and where it goes.
struct TServiceCall {
  const TSourceService& Service;
  const TSourceSettings& Source;
  const WideString& Id;
  const std::string& Key;
  THostSetting Host;  // the Server's host; unset for the counter host
  std::string Base;   // the Server's path (for a template: its path and query, {id} filled in)
};

// The parts of a poll each service does its own way.
struct TServiceCalls {
  // The request's path, method, body and key headers; Host and Accept are set,
  // the server and key checked. False, with why, when it may not be sent.
  bool (*Request)(const TServiceCall& call, TSourceRequest& request, TPollFailure& why);
  // The count a whole 2xx body holds, or NO_COUNT with why (NotANumber, with
  // Where, or what the service reports).
  int32_t (*Count)(const TSourceSettings& source, const std::string& body, TPollFailure& why);
  // The service's page of the site; counterHost is the host setting the
  // counter service is polled at. Empty when there is none.
  std::string (*Dashboard)(const TSourceService& service, const TSourceSettings& source, const WideString& id,
                           const std::string& counterHost);
};

// One row of the source table.
struct TSourceService {
  const char* Name;           // the Source key's value, in lower case
  const char* DefaultServer;  // for an empty Server; empty when the service is self-hosted
  TServerUse Server;
  TKeyUse Key;
  TRateLimit Limit;  // per key
  TLimitScope LimitScope;
  int32_t DefaultInterval;  // ms, a new tracker's
  TText ListName;           // in the Source list
  TText CountMeaning;       // what the count means ("visitors in the last 5 minutes"); none: says nothing more
  TText ChoiceNote;         // told when the service is chosen in the Source list
  const TServiceCalls* Calls;
};
