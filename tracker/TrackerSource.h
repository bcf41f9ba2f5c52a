#pragma once
// The analytics services a tracker can read, as one table (a row per service,
// see tracker/sources/Service.h), and the rules all of them follow: the request
// one poll sends, what a finished transfer means, a failure in words, the
// spacing of trackers that share a key. Window-free, so every rule is tested
// natively.
#include <cstddef>
#include <cstdint>
#include <string>

#include "inet/InetUtil.h"
#include "text/TextLookup.h"
#include "text/WStrUtils.h"
#include "tracker/sources/Service.h"
#include "tracker/sources/ServiceRules.h"

// A service, as its row of the table.
using TSourceKind = const TSourceService*;

// The rows, in the order of the Source list and its texts.
size_t SourceCount();
const TSourceService& SourceRow(size_t index);
// The counter service, the first row: a tracker without a Source polls it.
const TSourceService& DefaultSource();

// Case ignored; an empty text is the default. False for a name this version does not know.
bool ParseSourceName(const WideString& text, TSourceKind& kind);
// The Source key's value for the service: its name, but none for the default.
WideString SourceSetting(const TSourceService& service);

// Whether a poll of the source sends a key.
bool SourceNeedsKey(const TSourceSettings& source);

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
// sources parse with a depth limit and the transfer's own cap.
int32_t ReadSourceCount(const TSourceSettings& source, const TTransferResult& transfer, int64_t now, TPollFailure& why);

// The failure in the current language ("the key was refused (401)"); clock is
// PausedUntil as the user's local "HH:MM", which the caller formats.
WideString FailureText(const TPollFailure& failure, const TTextLookup* texts, const WideString& clock);

// The page Details opens: the service's dashboard of the site (for the counter
// service its stats page on counterHost); empty for json without a Page, for
// a self-hosted service without a Server, for a source this version does not
// know, and for anything that is not an http(s) address, so that no settings
// file makes Details start a program.
std::string DashboardUrl(const TSourceSettings& source, const WideString& id, const std::string& counterHost);

// The service's limit for the source's server; none for a source this version does not know.
TRateLimit SourceRateLimit(const TSourceSettings& source);

// The share of a service's documented limit the program uses, in per cent.
constexpr int32_t LIMIT_SHARE_PERCENT = 80;
// The gap (ms) between two requests of one key group, so that no window of the
// limit's length holds more than LIMIT_SHARE_PERCENT of the limit; 0 for none.
int64_t BudgetSpacing(TRateLimit limit);

// The interval (ms) a tracker polls at when sharing trackers (itself
// included) poll with one key: intervalMs, raised to whole seconds where the
// group's budget needs it.
int32_t SharedKeyInterval(int32_t intervalMs, TRateLimit limit, int32_t sharing);

// A key as stored: "dpapi:" and base64 of the encrypted bytes, or, written by
// hand, the key in plain text.
constexpr const char PROTECTED_KEY_PREFIX[] = "dpapi:";
bool IsProtectedKey(const std::string& stored);
