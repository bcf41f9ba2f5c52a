#include "tracker/TrackerSource.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstring>

#include <nlohmann/json.hpp>

#include "text/TextIds.h"
#include "tracker/CountPolling.h"

namespace {

struct TSourceInfo {
  TSourceKind Kind;
  const char* Name;
  const char* Server;
};
constexpr TSourceInfo kSources[] = {
    {TSourceKind::Orvanta, "orvanta", ""},
    {TSourceKind::Plausible, "plausible", "https://plausible.io"},
    {TSourceKind::Umami, "umami", "https://api.umami.is/v1"},
    {TSourceKind::Matomo, "matomo", ""},
    {TSourceKind::Fathom, "fathom", "https://api.usefathom.com"},
    {TSourceKind::Json, "json", ""},
};
constexpr const char kUmamiCloudHost[] = "api.umami.is";
constexpr const char kUmamiCloudApi[] = "/v1";

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// A value inside a query: everything but the unreserved characters escaped.
std::string QueryEscape(const std::string& text) {
  static const char hex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : text) {
    if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~') {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    }
  }
  return out;
}

// Bytes a header line carries as they are: no line end, and no byte WinInet's
// ANSI header calls would read in the user's code page.
bool IsHeaderText(const std::string& text, bool blanks) {
  return std::all_of(text.begin(), text.end(), [blanks](char c) {
    const unsigned char b = static_cast<unsigned char>(c);
    return (b > 0x20 || (blanks && b == 0x20)) && b < 0x7F;
  });
}

// A header name: RFC 9110 token characters.
bool IsHeaderName(const std::string& name) {
  return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || (c != 0 && std::strchr("!#$%&'*+-.^_`|~", c));
  });
}

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

void ReplaceAll(std::string& text, const std::string& what, const std::string& with) {
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size()))
    text.replace(at, what.size(), with);
}

// Umami Cloud, by its default or its API host; any other Server is a self-hosted Umami.
bool IsUmamiCloud(const std::string& server) {
  THostSetting host;
  std::string base;
  return server.empty() || (ParseBaseUrl(server, host, base) && Lower(host.Server.Host) == kUmamiCloudHost);
}

// A json template: the host part and the path with its query, {id} filled in.
bool SplitTemplate(const std::string& url, const WideString& id, THostSetting& host, std::string& pathAndQuery) {
  const size_t schemeEnd = url.find("://");
  if (schemeEnd == std::string::npos) return false;
  const size_t pathStart = url.find_first_of("/?", schemeEnd + 3);
  std::string base = url.substr(0, pathStart);
  std::string rest = pathStart == std::string::npos ? "/" : url.substr(pathStart);
  if (rest[0] == '?') rest = "/" + rest;
  std::string path, dummy;
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

// A count: a whole JSON number from 0 to INT32_MAX, or a string of its digits.
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

TPollFailure Failure(TFailure kind) {
  TPollFailure f;
  f.Kind = kind;
  return f;
}

// Some Matomo versions answer a refused token or a bad request with 200 and
// {"result":"error","message":...}; its message says more than any count could.
bool ServiceErrorOf(TSourceKind kind, const nlohmann::json& root, std::string& message) {
  const nlohmann::json* result = Member(root, "result");
  if (kind != TSourceKind::Matomo || !result || *result != "error") return false;
  const nlohmann::json* said = Member(root, "message");
  message = ShownDetail(WideFromUtf8(said && said->is_string() ? said->get<std::string>() : std::string("error")));
  return true;
}

TPollFailure UnknownSource(const TSourceSettings& source) {
  TPollFailure f = Failure(TFailure::UnknownSource);
  f.Detail = ShownDetail(source.Source);
  return f;
}

int32_t JsonCount(TSourceKind kind, const std::string& pointer, const nlohmann::json& root, std::string& where) {
  switch (kind) {
    case TSourceKind::Plausible: where.clear(); return CountOf(&root);
    case TSourceKind::Umami: {
      // Newer versions answer {"visitors": n}, older {"x": n}, some inside a one-element array.
      const nlohmann::json& object = root.is_array() && root.size() == 1 ? root[0] : root;
      const std::string prefix = &object == &root ? "" : "/0";
      if (const nlohmann::json* v = Member(object, "visitors")) {
        where = prefix + "/visitors";
        return CountOf(v);
      }
      where = prefix + (Member(object, "x") ? "/x" : "/visitors");
      return CountOf(Member(object, "x"));
    }
    case TSourceKind::Matomo:
      where = "/0/visitors";
      return root.is_array() && root.size() == 1 ? CountOf(Member(root[0], "visitors")) : NO_COUNT;
    case TSourceKind::Fathom: where = "/total"; return CountOf(Member(root, "total"));
    case TSourceKind::Json: {
      where = pointer;
      try {
        const nlohmann::json::json_pointer p(pointer);
        return root.contains(p) ? CountOf(&root.at(p)) : NO_COUNT;
      } catch (const nlohmann::json::exception&) {
        return NO_COUNT;
      }
    }
    default: return NO_COUNT;
  }
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

// Line breaks become blanks too, so that a tip or a status line stays one line;
// marks that would reorder the text around it go, and blanks run together.
std::string ShownDetail(const WideString& text) {
  WideString line;
  size_t chars = 0;
  bool cut = false;
  for (size_t i = 0; i < text.size(); ++i) {
    WideChar c = text[i];
    if ((c >= 0x200E && c <= 0x200F) || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069)) continue;
    if (c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029) c = u' ';
    if (c == u' ' && (line.empty() || line.back() == u' ' || chars == MAX_DETAIL_CHARS)) continue;
    if ((cut = chars++ == MAX_DETAIL_CHARS)) break;
    line += c;
    // A surrogate pair is one character and is never cut in two.
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size()) line += text[++i];
  }
  while (!line.empty() && line.back() == u' ') line.pop_back();
  return Utf8FromWide(cut ? line + u"\u2026" : line);
}

const char* SourceName(TSourceKind kind) {
  for (const auto& s : kSources)
    if (s.Kind == kind) return s.Name;
  return "orvanta";
}

bool ParseSourceName(const WideString& text, TSourceKind& kind) {
  const std::string name = Lower(Utf8FromWide(text));
  if (name.empty()) {
    kind = TSourceKind::Orvanta;
    return true;
  }
  for (const auto& s : kSources)
    if (name == s.Name) {
      kind = s.Kind;
      return true;
    }
  return false;
}

const char* DefaultServer(TSourceKind kind) {
  for (const auto& s : kSources)
    if (s.Kind == kind) return s.Server;
  return "";
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
  if (kind == TSourceKind::Orvanta) {
    // Exactly the counter service's request of old.
    request.Host = counterHost;
    request.Path = CountRequestPath(id);
    return true;
  }
  const std::string server = source.Server.empty() ? DefaultServer(kind) : Utf8FromWide(source.Server);
  if (server.empty()) return why = Failure(TFailure::NoServer), false;
  THostSetting host;
  std::string base;
  if (kind == TSourceKind::Json) {
    if (!SplitTemplate(server, id, host, base)) return why = Failure(TFailure::BadServer), false;
  } else if (!ParseBaseUrl(server, host, base)) {
    return why = Failure(TFailure::BadServer), false;
  }
  if (kind != TSourceKind::Json && key.empty()) return why = Failure(TFailure::NoKey), false;
  // A key that could end its header line would let whoever wrote it add requests of their own.
  if (!IsHeaderText(key, false)) return why = Failure(TFailure::BadKey), false;
  request.Host = HostText(host);
  request.Accept = "application/json";
  const std::string site = QueryEscape(Utf8FromWide(id));
  const std::string bearer = "Authorization: Bearer " + key;
  switch (kind) {
    case TSourceKind::Plausible:
      request.Path = base + "/api/v1/stats/realtime/visitors?site_id=" + site;
      request.KeyHeaders = {bearer};
      break;
    case TSourceKind::Umami:
      if (Lower(host.Server.Host) == kUmamiCloudHost) {
        // Umami Cloud's API lives under /v1, which a Server of just its host leaves out.
        if (base.empty()) base = kUmamiCloudApi;
        request.Path = base + "/websites/" + EncodePathText(id) + "/active";
        request.KeyHeaders = {"x-umami-api-key: " + key};
      } else {
        request.Path = base + "/api/websites/" + EncodePathText(id) + "/active";
        request.KeyHeaders = {bearer};
      }
      break;
    case TSourceKind::Matomo:
      // The token goes in the body, as Matomo asks, so that no log of a URL holds it.
      request.Method = "POST";
      request.Path = base + "/index.php?module=API&method=Live.getCounters&idSite=" + site +
                     "&lastMinutes=30&format=JSON";
      request.ContentType = "application/x-www-form-urlencoded";
      request.Body = "token_auth=" + QueryEscape(key);
      break;
    case TSourceKind::Fathom:
      request.Path = base + "/v1/current_visitors?site_id=" + site;
      request.KeyHeaders = {bearer};
      break;
    case TSourceKind::Json: {
      request.Path = base;
      std::string header = Utf8FromWide(source.Header);
      if (!header.empty()) {
        const size_t colon = header.find(':');
        if (!IsHeaderText(header, true) || colon == std::string::npos || !IsHeaderName(header.substr(0, colon)))
          return why = Failure(TFailure::BadHeader), false;
        ReplaceAll(header, "{key}", key);
        request.KeyHeaders = {header};
      }
      break;
    }
    default: break;
  }
  // json sends the key only where its Header names it.
  const bool carriesKey = kind == TSourceKind::Json
                              ? !key.empty() && source.Header.find(u"{key}") != WideString::npos
                              : true;
  if (carriesKey && host.Scheme == TUrlScheme::Http && !IsLoopbackHost(host.Server.Host))
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
  if (kind == TSourceKind::Orvanta) {
    const int32_t count = ParseCount(transfer.Body);
    if (count < 0) why.Kind = TFailure::NotANumber;
    return count;
  }
  std::string where = kind == TSourceKind::Json ? Utf8FromWide(source.Pointer) : std::string();
  int32_t count = NO_COUNT;
  if (WithinDepth(transfer.Body)) {
    const nlohmann::json root = nlohmann::json::parse(transfer.Body, nullptr, false);
    if (!root.is_discarded() && ServiceErrorOf(kind, root, why.Detail)) {
      why.Kind = TFailure::ServiceError;
      return NO_COUNT;
    }
    if (!root.is_discarded()) count = JsonCount(kind, Utf8FromWide(source.Pointer), root, where);
    else if (kind != TSourceKind::Json) JsonCount(kind, "", nlohmann::json(), where);
  }
  if (count < 0) {
    why.Kind = TFailure::NotANumber;
    why.Where = where;
  }
  return count;
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

int32_t CountMeaningTextId(TSourceKind kind) {
  switch (kind) {
    case TSourceKind::Plausible:
    case TSourceKind::Umami: return STR_MEANING_5_MINUTES;
    case TSourceKind::Matomo: return STR_MEANING_30_MINUTES;
    case TSourceKind::Fathom: return STR_MEANING_NOW;
    default: return 0;
  }
}

namespace {
std::string DashboardOf(const TSourceSettings& source, const WideString& id) {
  TSourceKind kind;
  if (!ParseSourceName(source.Source, kind)) return std::string();
  std::string server = Utf8FromWide(source.Server);
  while (!server.empty() && server.back() == '/') server.pop_back();
  const std::string site = QueryEscape(Utf8FromWide(id));
  switch (kind) {
    case TSourceKind::Plausible: return (server.empty() ? DefaultServer(kind) : server) + "/" + EncodePathText(id);
    case TSourceKind::Umami:
      return (IsUmamiCloud(server) ? std::string("https://cloud.umami.is") : server) + "/websites/" +
             EncodePathText(id);
    case TSourceKind::Matomo:
      if (server.empty()) return std::string();
      return server + "/index.php?module=CoreHome&action=index&idSite=" + site + "&period=day&date=today";
    case TSourceKind::Fathom: return "https://app.usefathom.com/?site=" + site;
    case TSourceKind::Json: {
      std::string page = Utf8FromWide(source.Page);
      ReplaceAll(page, "{id}", EncodePathText(id));
      return page;
    }
    default: return std::string();
  }
}

}  // namespace

std::string DashboardUrl(const TSourceSettings& source, const WideString& id) {
  const std::string url = DashboardOf(source, id);
  return IsWebAddress(url) ? url : std::string();
}

TRateLimit SourceRateLimit(const TSourceSettings& source) {
  TSourceKind kind;
  if (!ParseSourceName(source.Source, kind)) return TRateLimit();
  switch (kind) {
    case TSourceKind::Fathom: return TRateLimit{10, 60};
    case TSourceKind::Plausible: return TRateLimit{600, 3600};
    case TSourceKind::Umami: return IsUmamiCloud(Utf8FromWide(source.Server)) ? TRateLimit{50, 15} : TRateLimit();
    default: return TRateLimit();
  }
}

int32_t SharedKeyInterval(int32_t intervalMs, TRateLimit limit, int32_t sharing) {
  if (limit.Requests <= 0 || limit.WindowSeconds <= 0 || sharing < 1) return intervalMs;
  constexpr int64_t longest = INT32_MAX / 1000 * 1000;
  // sharing trackers polling every interval make sharing * window / interval
  // requests a window; the product fits int64, the product with 1000 may not.
  const int64_t product = static_cast<int64_t>(sharing) * limit.WindowSeconds;
  if (product > INT64_MAX / 1000) return std::max<int32_t>(intervalMs, longest);
  const int64_t neededMs = (product * 1000 + limit.Requests - 1) / limit.Requests;
  if (intervalMs >= neededMs) return intervalMs;
  const int64_t seconds = (neededMs + 999) / 1000;
  return static_cast<int32_t>(std::min<int64_t>(seconds * 1000, longest));
}

int32_t DefaultSourceInterval(TSourceKind kind) {
  return kind == TSourceKind::Fathom ? 60000 : DEFAULT_POLL_INTERVAL;
}
