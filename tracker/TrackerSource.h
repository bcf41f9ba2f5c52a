#pragma once
// The analytics services a tracker can read: the request one poll sends, where
// the count is in the answer, what a failure means in words, each service's
// rate limit and its dashboard. Window-free, so every rule is tested natively.
#include <cstdint>
#include <string>
#include <vector>

#include "inet/InetUtil.h"
#include "text/TextLookup.h"
#include "text/WStrUtils.h"

enum class TSourceKind : uint8_t { Orvanta, Plausible, Umami, Matomo, Fathom, Json };

// "orvanta", "plausible", "umami", "matomo", "fathom", "json": the Source key's values.
const char* SourceName(TSourceKind kind);
// Case ignored; an empty text is Orvanta. False for a name this version does not know.
bool ParseSourceName(const WideString& text, TSourceKind& kind);

// The service's default base URL; empty for the self-hosted ones (Matomo,
// Umami without Umami Cloud) and for json.
const char* DefaultServer(TSourceKind kind);

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

// The request of one poll of tracker id with the plain key (empty: none).
// counterHost is the host setting the counter service is polled at. False,
// with why, when no request may be sent: the poll then fails at once. An ID
// in a query is escaped but for RFC 3986's unreserved characters, in a path
// as EncodePathText writes it.
bool BuildSourceRequest(const TSourceSettings& source, const WideString& id, const std::string& key,
                        const std::string& counterHost, TSourceRequest& request, TPollFailure& why);

// What a finished transfer brought.
struct TTransferResult {
  bool Ok = false;  // a whole 2xx body
  uint32_t Status = 0;
  TTransferError Error = TTransferError::None;
  std::string Body;
  std::string RetryAfter;  // the Retry-After header as received, empty when none
};

// The longest pause a Retry-After may impose.
constexpr int64_t MAX_RETRY_PAUSE_SECONDS = 3600;

// A Retry-After value, delta-seconds or an HTTP date (IMF-fixdate, RFC 850 or
// asctime), as Unix seconds, bounded to now + MAX_RETRY_PAUSE_SECONDS and never
// before now. False for anything else.
bool ParseRetryAfter(const std::string& value, int64_t now, int64_t& until);

// The count a transfer carries for the source, or NO_COUNT with why. The JSON
// sources parse with a depth limit (JSON_MAX_DEPTH) and the transfer's own cap.
constexpr int JSON_MAX_DEPTH = 32;
int32_t ReadSourceCount(const TSourceSettings& source, const TTransferResult& transfer, int64_t now, TPollFailure& why);

// Text from a server or a settings file as one line the user can read (see
// TPollFailure::Detail): controls become blanks, bidirectional marks go, at
// most MAX_DETAIL_CHARS characters stay.
std::string ShownDetail(const WideString& text);

// The failure in the current language ("the key was refused (401)"); clock is
// PausedUntil as the user's local "HH:MM", which the caller formats.
WideString FailureText(const TPollFailure& failure, const TTextLookup* texts, const WideString& clock);

// Text id of what the count means for the source ("visitors in the last 5
// minutes"); 0 for the counter service and json, which say nothing more.
int32_t CountMeaningTextId(TSourceKind kind);

// The page Details opens: the service's dashboard of the site; empty for the
// counter service (Details then opens the counter service's own page), for
// json without a Page, and for anything that is not an http(s) address, so
// that no settings file makes Details start a program.
std::string DashboardUrl(const TSourceSettings& source, const WideString& id);

// At most Requests polls in WindowSeconds per key; Requests 0: no limit.
struct TRateLimit {
  int32_t Requests = 0;
  int32_t WindowSeconds = 0;
};
TRateLimit SourceRateLimit(const TSourceSettings& source);

// The interval (ms) a tracker polls at when sharing trackers (itself
// included) poll with one key: intervalMs, raised to whole seconds where the
// limit needs it.
int32_t SharedKeyInterval(int32_t intervalMs, TRateLimit limit, int32_t sharing);

// A new tracker's interval (ms): Fathom counts every request against the
// account's monthly quota, so it polls once a minute; the others as today.
int32_t DefaultSourceInterval(TSourceKind kind);

// A key as stored: "dpapi:" and base64 of the encrypted bytes, or, written by
// hand, the key in plain text.
constexpr const char PROTECTED_KEY_PREFIX[] = "dpapi:";
bool IsProtectedKey(const std::string& stored);
