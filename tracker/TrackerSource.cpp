#include "tracker/TrackerSource.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstring>
#include <iterator>

#include "text/TextIds.h"

// The services' own parts, each in its file under tracker/sources/.
extern const TServiceCalls COUNTER_CALLS, PLAUSIBLE_CALLS, UMAMI_CALLS, MATOMO_CALLS, FATHOM_CALLS, JSON_CALLS;

namespace {

// One row per service, in the order of the Source list; the first is the default.
const TSourceService kSources[] = {
    // Name, default server, where requests go, key, rate limit per key and where it holds, new tracker's interval,
    // name in the Source list, what the count means, what choosing it tells, the service's own parts.
    {"orvanta", "", TServerUse::CounterHost, TKeyUse::None, {}, TLimitScope::AnyServer, DEFAULT_POLL_INTERVAL,
     {STR_SOURCE_NAMES, u"Orvanta counter"}, {}, {}, &COUNTER_CALLS},
    {"plausible", "https://plausible.io", TServerUse::BaseUrl, TKeyUse::Always, {600, 3600}, TLimitScope::AnyServer,
     DEFAULT_POLL_INTERVAL, {STR_SOURCE_NAMES + 1, u"Plausible"},
     {STR_MEANING_5_MINUTES, u"visitors in the last 5 minutes"}, {}, &PLAUSIBLE_CALLS},
    // Only Umami Cloud limits its API; a self-hosted Umami has no limit.
    {"umami", "https://api.umami.is/v1", TServerUse::BaseUrl, TKeyUse::Always, {50, 15}, TLimitScope::DefaultHost,
     DEFAULT_POLL_INTERVAL, {STR_SOURCE_NAMES + 2, u"Umami"},
     {STR_MEANING_5_MINUTES, u"visitors in the last 5 minutes"}, {}, &UMAMI_CALLS},
    {"matomo", "", TServerUse::BaseUrl, TKeyUse::Always, {}, TLimitScope::AnyServer, DEFAULT_POLL_INTERVAL,
     {STR_SOURCE_NAMES + 3, u"Matomo"}, {STR_MEANING_30_MINUTES, u"visitors in the last 30 minutes"}, {},
     &MATOMO_CALLS},
    // Fathom counts every request against the account's monthly quota, so it polls once a minute,
    // and limits requests per account, not per key.
    {"fathom", "https://api.usefathom.com", TServerUse::BaseUrl, TKeyUse::Always, {10, 60}, TLimitScope::Account,
     60000, {STR_SOURCE_NAMES + 4, u"Fathom"}, {STR_MEANING_NOW, u"visitors on the site now"},
     {STR_FATHOM_QUOTA, u"Fathom counts every request against the account's monthly pageview quota, so a Fathom "
                        u"tracker polls once a minute."},
     &FATHOM_CALLS},
    {"json", "", TServerUse::UrlTemplate, TKeyUse::WhereHeaderNamesIt, {}, TLimitScope::AnyServer,
     DEFAULT_POLL_INTERVAL, {STR_SOURCE_NAMES + 5, u"Any JSON endpoint"}, {}, {}, &JSON_CALLS},
};

bool HasScheme(const std::string& text, const char* scheme) {
  const size_t n = std::strlen(scheme);
  return text.size() >= n && Lower(text.substr(0, n)) == scheme;
}

// An http(s) address with a host and nothing a shell would read as a program or an argument.
bool IsWebAddress(const std::string& url) {
  if (!HasScheme(url, "http://") && !HasScheme(url, "https://")) return false;
  if (!IsHeaderText(url, false)) return false;
  const size_t authority = url.find("://") + 3;
  const size_t end = url.find_first_of("/?#", authority);
  THostSetting host;
  return ParseHostSetting(url.substr(0, end), host);
}

std::string HostText(const THostSetting& host) {
  return std::string(host.Scheme == TUrlScheme::Https ? "https://" : "http://") + host.Server.Host + ":" +
         std::to_string(host.Server.Port);
}

// A URL template: the host part and the path with its query, {id} filled in.
bool SplitTemplate(const std::string& url, const WideString& id, THostSetting& host, std::string& pathAndQuery) {
  const size_t schemeEnd = url.find("://");
  if (schemeEnd == std::string::npos) return false;
  const size_t pathStart = url.find_first_of("/?", schemeEnd + 3);
  std::string base = url.substr(0, pathStart);
  std::string rest = pathStart == std::string::npos ? "/" : url.substr(pathStart);
  if (rest[0] == '?') rest = "/" + rest;
  std::string dummy;
  if (!ParseBaseUrl(base, host, dummy) || !dummy.empty()) return false;
  const size_t query = rest.find('?');
  std::string pathPart = rest.substr(0, query), queryPart = query == std::string::npos ? "" : rest.substr(query);
  ReplaceAll(pathPart, "{id}", EncodePathText(id));
  ReplaceAll(queryPart, "{id}", QueryEscape(Utf8FromWide(id)));
  pathAndQuery = pathPart + queryPart;
  for (unsigned char c : pathAndQuery)
    if (c <= 0x20 || c >= 0x7F || c == '#') return false;
  return true;
}

TPollFailure UnknownSource(const TSourceSettings& source) {
  TPollFailure f = Failure(TFailure::UnknownSource);
  f.Detail = ShownDetail(source.Source);
  return f;
}

int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

// IMF-fixdate, RFC 850 or asctime, always GMT: the first plain number is the
// day, the second the year, whatever order the format puts them in.
bool ParseHttpDate(const std::string& text, int64_t& when) {
  static const char* months[] = {"jan", "feb", "mar", "apr", "may", "jun", "jul", "aug", "sep", "oct", "nov", "dec"};
  int month = -1, day = -1, year = -1, h = -1, mi = -1, s = -1;
  std::string token;
  auto take = [&]() -> bool {
    if (token.empty()) return true;
    const std::string t = Lower(token);
    token.clear();
    if (t.find(':') != std::string::npos) {
      if (t.size() != 8 || t[2] != ':' || t[5] != ':') return false;
      for (size_t i : {0u, 1u, 3u, 4u, 6u, 7u})
        if (!std::isdigit(static_cast<unsigned char>(t[i]))) return false;
      h = std::stoi(t.substr(0, 2)), mi = std::stoi(t.substr(3, 2)), s = std::stoi(t.substr(6, 2));
      return true;
    }
    if (std::all_of(t.begin(), t.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); })) {
      if (t.size() > 4) return false;
      const int n = std::stoi(t);
      if (day < 0) day = n;
      else if (year < 0) year = t.size() == 2 ? (n < 70 ? 2000 + n : 1900 + n) : n;
      else return false;
      return true;
    }
    for (int i = 0; i < 12; ++i)
      if (t == months[i]) {
        if (month >= 0) return false;
        month = i + 1;
        return true;
      }
    for (const char* word : {"gmt", "mon", "tue", "wed", "thu", "fri", "sat", "sun", "monday", "tuesday",
                             "wednesday", "thursday", "friday", "saturday", "sunday"})
      if (t == word) return true;
    return false;
  };
  for (char c : text) {
    if (c == ' ' || c == ',' || c == '-') {
      if (!take()) return false;
    } else {
      token += c;
    }
  }
  if (!take()) return false;
  if (month < 0 || day < 1 || day > 31 || year < 1970 || h > 23 || mi > 59 || s > 60 || h < 0) return false;
  when = DaysFromCivil(year, month, day) * 86400 + h * 3600 + mi * 60 + s;
  return true;
}

}  // namespace

size_t SourceCount() { return std::size(kSources); }

const TSourceService& SourceRow(size_t index) { return kSources[index < std::size(kSources) ? index : 0]; }

const TSourceService& DefaultSource() { return kSources[0]; }

bool ParseSourceName(const WideString& text, TSourceKind& kind) {
  const std::string name = Lower(Utf8FromWide(text));
  if (name.empty()) {
    kind = &DefaultSource();
    return true;
  }
  for (const TSourceService& s : kSources)
    if (name == s.Name) {
      kind = &s;
      return true;
    }
  return false;
}

WideString SourceSetting(const TSourceService& service) {
  return &service == &DefaultSource() ? WideString() : WideFromUtf8(service.Name);
}

// Every service but the counter service sends one; json only where its Header
// names {key}. A source this version does not know may need one.
bool SourceNeedsKey(const TSourceSettings& source) {
  TSourceKind kind;
  if (!ParseSourceName(source.Source, kind)) return true;
  return kind->Key == TKeyUse::Always ||
         (kind->Key == TKeyUse::WhereHeaderNamesIt && source.Header.find(u"{key}") != WideString::npos);
}

bool IsProtectedKey(const std::string& stored) {
  return stored.compare(0, sizeof PROTECTED_KEY_PREFIX - 1, PROTECTED_KEY_PREFIX) == 0;
}

bool BuildSourceRequest(const TSourceSettings& source, const WideString& id, const std::string& key,
                        const std::string& counterHost, TSourceRequest& request, TPollFailure& why) {
  request = TSourceRequest();
  why = TPollFailure();
  TSourceKind kind;
  if (!ParseSourceName(source.Source, kind)) return why = UnknownSource(source), false;
  TServiceCall call{*kind, source, id, key, THostSetting(), std::string()};
  if (kind->Server == TServerUse::CounterHost) {
    request.Host = counterHost;
    return kind->Calls->Request(call, request, why);
  }
  const std::string server = source.Server.empty() ? kind->DefaultServer : Utf8FromWide(source.Server);
  if (server.empty()) return why = Failure(TFailure::NoServer), false;
  if (kind->Server == TServerUse::UrlTemplate) {
    if (!SplitTemplate(server, id, call.Host, call.Base)) return why = Failure(TFailure::BadServer), false;
  } else if (!ParseBaseUrl(server, call.Host, call.Base)) {
    return why = Failure(TFailure::BadServer), false;
  }
  if (kind->Key == TKeyUse::Always && key.empty()) return why = Failure(TFailure::NoKey), false;
  // A key that could end its header line would let whoever wrote it add requests of their own.
  if (!IsHeaderText(key, false)) return why = Failure(TFailure::BadKey), false;
  request.Host = HostText(call.Host);
  request.Accept = "application/json";
  if (!kind->Calls->Request(call, request, why)) return false;
  // A key goes over plain http to this machine only; json sends one only where its Header names it.
  const bool carriesKey = !key.empty() && SourceNeedsKey(source);
  if (carriesKey && call.Host.Scheme == TUrlScheme::Http && !IsLoopbackHost(call.Host.Server.Host))
    return why = Failure(TFailure::KeyOverHttp), false;
  return true;
}

bool ParseRetryAfter(const std::string& value, int64_t now, int64_t& until) {
  std::string text = value;
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.pop_back();
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.erase(0, 1);
  if (text.empty()) return false;
  int64_t when;
  if (std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    // More digits than an hour needs are clamped, never overflowed.
    when = text.size() > 6 ? now + MAX_RETRY_PAUSE_SECONDS : now + std::stoll(text);
  } else if (!ParseHttpDate(text, when)) {
    return false;
  }
  until = std::clamp<int64_t>(when, now, now + MAX_RETRY_PAUSE_SECONDS);
  return true;
}

int32_t ReadSourceCount(const TSourceSettings& source, const TTransferResult& transfer, int64_t now,
                        TPollFailure& why) {
  why = TPollFailure();
  TSourceKind kind;
  if (!ParseSourceName(source.Source, kind)) return why = UnknownSource(source), NO_COUNT;
  if (!transfer.Ok) {
    why.Status = static_cast<int32_t>(transfer.Status);
    const uint32_t status = transfer.Error == TTransferError::Status ? transfer.Status : 0;
    if (status == 401 || status == 403) why.Kind = TFailure::KeyRefused;
    else if (status == 404) why.Kind = TFailure::NotFound;
    else if (status == 429 || status == 503) {
      why.Kind = TFailure::RateLimited;
      int64_t until = 0;
      if (ParseRetryAfter(transfer.RetryAfter, now, until) && until > now) why.PausedUntil = until;
    } else if (status != 0) why.Kind = TFailure::HttpStatus;
    else {
      switch (transfer.Error) {
        case TTransferError::TimedOut: why.Kind = TFailure::TimedOut; break;
        case TTransferError::Crowded: why.Kind = TFailure::Crowded; break;
        case TTransferError::Certificate: why.Kind = TFailure::Certificate; break;
        case TTransferError::InsecureRedirect: why.Kind = TFailure::InsecureRedirect; break;
        case TTransferError::TooManyRedirects: why.Kind = TFailure::TooManyRedirects; break;
        case TTransferError::TooLarge: why.Kind = TFailure::TooLarge; break;
        case TTransferError::Incomplete: why.Kind = TFailure::Incomplete; break;
        case TTransferError::KeyOverHttp: why.Kind = TFailure::KeyOverHttp; break;
        default: why.Kind = TFailure::NoConnection; break;
      }
    }
    return NO_COUNT;
  }
  return kind->Calls->Count(source, transfer.Body, why);
}

WideString FailureText(const TPollFailure& failure, const TTextLookup* texts, const WideString& clock) {
  struct TText {
    TFailure Kind;
    int32_t Id;
    const WideChar* English;
  };
  static const TText table[] = {
      {TFailure::NoServer, STR_FAIL_NO_SERVER, u"no server address given"},
      {TFailure::BadServer, STR_FAIL_BAD_SERVER, u"the server address is not a web address"},
      {TFailure::NoKey, STR_FAIL_NO_KEY, u"no API key given"},
      {TFailure::KeyUnreadable, STR_FAIL_KEY_UNREADABLE,
       u"the API key cannot be read on this Windows account: enter it again"},
      {TFailure::KeyOverHttp, STR_FAIL_KEY_OVER_HTTP, u"a key is sent only over https, or over http to this computer"},
      {TFailure::NotStarted, STR_FAIL_NOT_STARTED, u"the request could not be started"},
      {TFailure::NoConnection, STR_FAIL_NO_CONNECTION, u"the server cannot be reached"},
      {TFailure::TimedOut, STR_FAIL_TIMED_OUT, u"no answer within 10 s"},
      {TFailure::Crowded, STR_FAIL_CROWDED, u"too many requests still wait for servers that do not answer"},
      {TFailure::Certificate, STR_FAIL_CERTIFICATE, u"certificate not trusted"},
      {TFailure::InsecureRedirect, STR_FAIL_INSECURE_REDIRECT, u"redirected from https to http"},
      {TFailure::TooManyRedirects, STR_FAIL_REDIRECTS, u"too many redirects"},
      {TFailure::TooLarge, STR_FAIL_TOO_LARGE, u"the answer is too large"},
      {TFailure::Incomplete, STR_FAIL_INCOMPLETE, u"the answer was cut off"},
      {TFailure::KeyRefused, STR_FAIL_KEY_REFUSED, u"the key was refused (%d)"},
      {TFailure::NotFound, STR_FAIL_NOT_FOUND, u"site not found (404)"},
      {TFailure::HttpStatus, STR_FAIL_STATUS, u"the server answered %d"},
      {TFailure::BadKey, STR_FAIL_BAD_KEY, u"the API key holds characters a request cannot carry"},
      {TFailure::BadHeader, STR_FAIL_BAD_HEADER, u"the header is not a \"Name: value\" line"},
  };
  auto text = [&](int32_t id, const WideChar* english) { return TextOr(texts, id, english); };
  switch (failure.Kind) {
    case TFailure::None: return WideString();
    case TFailure::RateLimited:
      if (failure.PausedUntil > 0 && !clock.empty())
        return WideFormat(text(STR_FAIL_PAUSED, u"paused until %s (rate limit)").c_str(), {clock});
      return WideFormat(text(STR_FAIL_RATE_LIMITED, u"rate limited (%d)").c_str(), {failure.Status});
    case TFailure::UnknownSource:
      return WideFormat(text(STR_FAIL_UNKNOWN_SOURCE, u"this version does not know the source \"%s\"").c_str(),
                        {WideFromUtf8(failure.Detail)});
    case TFailure::ServiceError:
      return WideFormat(text(STR_FAIL_SERVICE_ERROR, u"the server reports an error: %s").c_str(),
                        {WideFromUtf8(failure.Detail)});
    case TFailure::NotANumber:
      if (failure.Where.empty()) return text(STR_FAIL_NOT_A_COUNT, u"the answer is not a count");
      return WideFormat(text(STR_FAIL_NOT_A_NUMBER, u"not a number at %s").c_str(), {WideFromUtf8(failure.Where)});
    default: break;
  }
  for (const TText& t : table)
    if (t.Kind == failure.Kind) return WideFormat(text(t.Id, t.English).c_str(), {failure.Status});
  return text(STR_FAIL_NO_CONNECTION, u"the server cannot be reached");
}

std::string DashboardUrl(const TSourceSettings& source, const WideString& id, const std::string& counterHost) {
  TSourceKind kind;
  if (!ParseSourceName(source.Source, kind)) return std::string();
  const std::string url = kind->Calls->Dashboard(*kind, source, id, counterHost);
  return IsWebAddress(url) ? url : std::string();
}

TRateLimit SourceRateLimit(const TSourceSettings& source) {
  TSourceKind kind;
  if (!ParseSourceName(source.Source, kind)) return TRateLimit();
  if (kind->LimitScope == TLimitScope::DefaultHost && !IsDefaultHost(*kind, Utf8FromWide(source.Server)))
    return TRateLimit();
  return kind->Limit;
}

int64_t BudgetSpacing(TRateLimit limit) {
  if (limit.Requests <= 0 || limit.WindowSeconds <= 0) return 0;
  // A window starting with one request holds it and those spaced after it.
  const int64_t share = std::max<int64_t>(2, static_cast<int64_t>(limit.Requests) * LIMIT_SHARE_PERCENT / 100);
  const int64_t windowMs = static_cast<int64_t>(limit.WindowSeconds) * 1000;
  return (windowMs + share - 2) / (share - 1);
}

int32_t SharedKeyInterval(int32_t intervalMs, TRateLimit limit, int32_t sharing) {
  const int64_t spacing = BudgetSpacing(limit);
  if (spacing <= 0 || sharing < 1) return intervalMs;
  constexpr int64_t longest = INT32_MAX / 1000 * 1000;
  // Each of sharing trackers takes one slot of the group per interval; the
  // spacing is at most an hour, so the product fits int64.
  const int64_t neededMs = static_cast<int64_t>(sharing) * spacing;
  if (intervalMs >= neededMs) return intervalMs;
  const int64_t seconds = (neededMs + 999) / 1000;
  return static_cast<int32_t>(std::min<int64_t>(seconds * 1000, longest));
}
