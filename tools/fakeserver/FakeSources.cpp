#include "tools/fakeserver/FakeSources.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <deque>
#include <map>
#include <mutex>
#include <utility>
#include <vector>

namespace {

using TClock = std::chrono::steady_clock;
using TParams = std::vector<std::pair<std::string, std::string>>;

constexpr size_t DEFAULT_NESTING = 1000;
constexpr size_t DEFAULT_HUGE_BYTES = 2u << 20;  // past the program's 1 MiB cap
constexpr const char JSON_TYPE[] = "application/json; charset=utf-8";
constexpr const char FORM_TYPE[] = "application/x-www-form-urlencoded";

struct TSourceName {
  TFakeSource Source;
  const char* Name;
};
constexpr TSourceName kNames[] = {
    {TFakeSource::Plausible, "plausible"}, {TFakeSource::Umami, "umami"},   {TFakeSource::UmamiCloud, "umami-cloud"},
    {TFakeSource::Matomo, "matomo"},       {TFakeSource::Fathom, "fathom"}, {TFakeSource::Json, "json"},
};

bool StartsWith(const std::string& s, const std::string& prefix) { return s.compare(0, prefix.size(), prefix) == 0; }

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string Decode(const std::string& s, bool plusIsSpace) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '%' && i + 2 < s.size() && HexDigit(s[i + 1]) >= 0 && HexDigit(s[i + 2]) >= 0) {
      out += static_cast<char>(HexDigit(s[i + 1]) * 16 + HexDigit(s[i + 2]));
      i += 2;
    } else {
      out += plusIsSpace && s[i] == '+' ? ' ' : s[i];
    }
  }
  return out;
}

// "a=1&b=2" (a query, or a form body) as decoded pairs, in order.
TParams ParseParams(const std::string& text, bool plusIsSpace) {
  TParams params;
  for (size_t pos = 0; pos < text.size();) {
    size_t end = text.find('&', pos);
    if (end == std::string::npos) end = text.size();
    const std::string item = text.substr(pos, end - pos);
    const size_t eq = item.find('=');
    if (!item.empty())
      params.emplace_back(Decode(item.substr(0, eq), plusIsSpace),
                          eq == std::string::npos ? std::string() : Decode(item.substr(eq + 1), plusIsSpace));
    pos = end + 1;
  }
  return params;
}

const std::string* Param(const TParams& params, const std::string& name) {
  for (const auto& p : params)
    if (p.first == name) return &p.second;
  return nullptr;
}

// What is wrong with the query, or empty. Expected holds every parameter
// exactly once; a value of "*" is the site and goes to site.
std::string QueryProblem(const TParams& params, const TParams& expected, std::string& site) {
  if (params.size() != expected.size()) return "the query needs exactly its documented parameters";
  for (const auto& [name, value] : expected) {
    const std::string* got = Param(params, name);
    if (!got) return "missing query parameter " + name;
    if (value == "*") site = *got;
    else if (*got != value) return "query parameter " + name + " must be " + value;
  }
  return std::string();
}

std::string JsonText(const std::string& s) {
  std::string out = "\"";
  for (char c : s) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

TFakeRoute JsonAnswer(int status, const std::string& body) {
  TFakeRoute route;
  route.Status = status;
  route.Body = body;
  route.ContentType = JSON_TYPE;
  return route;
}

TFakeRoute ErrorAnswer(TFakeSource source, int status, const std::string& message) {
  // Matomo reports errors in its own shape; the others as {"error": "..."}.
  if (source == TFakeSource::Matomo) return JsonAnswer(status, "{\"result\":\"error\",\"message\":" + JsonText(message) + "}");
  return JsonAnswer(status, "{\"error\":" + JsonText(message) + "}");
}

// {"data":{"online":n}} for "/data/online"; the bare number for "".
std::string CountAtPointer(const std::string& pointer, int32_t count) {
  std::vector<std::string> names;
  for (size_t pos = 1; pos <= pointer.size();) {
    size_t end = pointer.find('/', pos);
    if (end == std::string::npos) end = pointer.size();
    std::string name = pointer.substr(pos, end - pos), plain;
    for (size_t i = 0; i < name.size(); ++i) {
      if (name[i] == '~' && i + 1 < name.size()) plain += name[++i] == '1' ? '/' : '~';
      else plain += name[i];
    }
    names.push_back(plain);
    pos = end + 1;
  }
  std::string body = std::to_string(count);
  for (auto it = names.rbegin(); it != names.rend(); ++it) body = "{" + JsonText(*it) + ":" + body + "}";
  return body;
}

std::string HttpDate(std::time_t when) {
  char text[64];
  std::strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S GMT", std::gmtime(&when));
  return text;
}

}  // namespace

const char* FakeSourceName(TFakeSource source) {
  for (const auto& n : kNames)
    if (n.Source == source) return n.Name;
  return "json";
}

bool ParseFakeSource(const std::string& name, TFakeSource& source) {
  for (const auto& n : kNames)
    if (name == n.Name) {
      source = n.Source;
      return true;
    }
  return false;
}

TFakeRoute FakeHostileAnswer(TFakeHostile kind, size_t size) {
  TFakeRoute route = JsonAnswer(200, std::string());
  switch (kind) {
    case TFakeHostile::HtmlPage: route.Mode = TFakeMode::HtmlPage; break;
    case TFakeHostile::Truncated:
      route.Body = "{\"visitors\": 1";
      route.Mode = TFakeMode::ShortBody;
      break;
    case TFakeHostile::DeeplyNested: {
      const size_t depth = size ? size : DEFAULT_NESTING;
      route.Body = std::string(depth, '[') + "1" + std::string(depth, ']');
      break;
    }
    case TFakeHostile::Huge: route.GeneratedSize = size ? size : DEFAULT_HUGE_BYTES; break;
  }
  return route;
}

struct TFakeSources::TState {
  std::mutex Lock;  // guards everything below; taken on the server's connection threads
  std::map<std::pair<TFakeSource, std::string>, TFakeSite> Sites;
  std::string BasePath;
  TUmamiForm UmamiForm = TUmamiForm::Visitors;
  bool MatomoDigits = false;
  TFakeRateLimit Limit;
  std::map<std::pair<TFakeSource, std::string>, std::deque<TClock::time_point>> Answered;  // per key, within the window
  std::string RedirectBase;
  int RedirectStatus = 302;

  bool Handle(const TFakeRequest& request, TFakeRoute& answer);
  TFakeRoute Answer(TFakeSource source, const TFakeRequest& request, const std::string& path, const std::string& query);
  std::string PresentedKey(TFakeSource source, const TFakeRequest& request) const;
  bool KeyFits(TFakeSource source, const TFakeSite& site, const TFakeRequest& request) const;
  bool Limited(TFakeSource source, const std::string& key, TFakeRoute& answer);
  std::string CountBody(TFakeSource source, const TFakeSite& site) const;
};

bool TFakeSources::TState::Handle(const TFakeRequest& request, TFakeRoute& answer) {
  std::lock_guard<std::mutex> guard(Lock);
  const size_t q = request.Path.find('?');
  const std::string path = request.Path.substr(0, q), query = q == std::string::npos ? "" : request.Path.substr(q + 1);
  // Which source the path belongs to; any other path is left to the server's routes.
  TFakeSource source;
  if (Sites.count({TFakeSource::Json, request.Path})) {
    source = TFakeSource::Json;
  } else {
    if (!StartsWith(path, BasePath)) return false;
    const std::string tail = path.substr(BasePath.size());
    const bool active = tail.size() > 7 && tail.compare(tail.size() - 7, 7, "/active") == 0;
    if (tail == "/api/v1/stats/realtime/visitors") source = TFakeSource::Plausible;
    else if (tail == "/v1/current_visitors") source = TFakeSource::Fathom;
    else if (tail == "/index.php") source = TFakeSource::Matomo;
    else if (active && StartsWith(tail, "/api/websites/")) source = TFakeSource::Umami;
    else if (active && StartsWith(tail, "/v1/websites/")) source = TFakeSource::UmamiCloud;
    else return false;
  }
  if (!RedirectBase.empty()) {
    answer = TFakeRoute();
    answer.Status = RedirectStatus;
    answer.Body = "moved";
    answer.ExtraHeaders = {"Location: " + RedirectBase + request.Path};
    return true;
  }
  answer = Answer(source, request, path, query);
  return true;
}

TFakeRoute TFakeSources::TState::Answer(TFakeSource source, const TFakeRequest& request, const std::string& path,
                                        const std::string& query) {
  const TParams params = ParseParams(query, false);
  // A token in the URL ends up in logs: the fake refuses it, as a careful setup does.
  if (source == TFakeSource::Matomo && Param(params, "token_auth"))
    return ErrorAnswer(source, 400, "token_auth belongs in the POST body");
  const char* method = source == TFakeSource::Matomo ? "POST" : "GET";
  if (request.Method != method) return ErrorAnswer(source, 405, std::string("use ") + method);

  std::string site, problem;
  switch (source) {
    case TFakeSource::Plausible:
    case TFakeSource::Fathom: problem = QueryProblem(params, {{"site_id", "*"}}, site); break;
    case TFakeSource::Umami:
    case TFakeSource::UmamiCloud: {
      // The website ID between ".../websites/" and "/active".
      const size_t idStart = path.find("/websites/", BasePath.size()) + 10, idEnd = path.size() - 7;
      if (idEnd > idStart) site = Decode(path.substr(idStart, idEnd - idStart), false);
      if (site.empty() || site.find('/') != std::string::npos) return ErrorAnswer(source, 404, "no such route");
      if (!query.empty()) problem = "no query expected";
      break;
    }
    case TFakeSource::Matomo:
      problem = QueryProblem(params,
                             {{"module", "API"}, {"method", "Live.getCounters"}, {"idSite", "*"}, {"lastMinutes", "30"},
                              {"format", "JSON"}},
                             site);
      break;
    case TFakeSource::Json: site = request.Path; break;
  }
  if (!problem.empty()) return ErrorAnswer(source, 400, problem);

  auto known = Sites.find({source, site});
  if (known == Sites.end()) {
    // A key some site of this source takes reaches "not found"; any other is refused first.
    const std::string key = PresentedKey(source, request);
    bool keyKnown = false;
    for (const auto& [id, s] : Sites)
      if (id.first == source && !key.empty() && s.Key == key) keyKnown = true;
    return keyKnown ? ErrorAnswer(source, 404, "site not found") : ErrorAnswer(source, 401, "missing or invalid API key");
  }
  const TFakeSite& config = known->second;
  if (!KeyFits(source, config, request)) return ErrorAnswer(source, 401, "missing or invalid API key");
  TFakeRoute answer;
  if (Limited(source, config.Key, answer)) return answer;
  if (config.Answer) return *config.Answer;
  return JsonAnswer(200, CountBody(source, config));
}

std::string TFakeSources::TState::PresentedKey(TFakeSource source, const TFakeRequest& request) const {
  switch (source) {
    case TFakeSource::UmamiCloud: return request.Header("x-umami-api-key");
    case TFakeSource::Matomo: {
      if (!StartsWith(request.Header("Content-Type"), FORM_TYPE)) return std::string();
      const TParams form = ParseParams(request.Body, true);
      const std::string* token = Param(form, "token_auth");
      return token && form.size() == 1 ? *token : std::string();
    }
    case TFakeSource::Json: return std::string();
    default: {
      const std::string value = request.Header("Authorization");
      return StartsWith(value, "Bearer ") ? value.substr(7) : std::string();
    }
  }
}

bool TFakeSources::TState::KeyFits(TFakeSource source, const TFakeSite& site, const TFakeRequest& request) const {
  if (source != TFakeSource::Json) return !site.Key.empty() && PresentedKey(source, request) == site.Key;
  if (site.Key.empty()) return true;
  const size_t colon = site.Key.find(':');
  if (colon == std::string::npos) return false;
  const size_t valueStart = site.Key.find_first_not_of(' ', colon + 1);
  const std::string value = valueStart == std::string::npos ? "" : site.Key.substr(valueStart);
  return request.Header(site.Key.substr(0, colon)) == value;
}

bool TFakeSources::TState::Limited(TFakeSource source, const std::string& key, TFakeRoute& answer) {
  if (Limit.Requests == 0) return false;
  const auto now = TClock::now();
  const auto window = std::chrono::milliseconds(Limit.WindowMs);
  auto& times = Answered[{source, key}];
  while (!times.empty() && now - times.front() >= window) times.pop_front();
  if (times.size() < Limit.Requests) {
    times.push_back(now);  // only answered requests count, so a client that waits gets through
    return false;
  }
  const auto waitMs = std::chrono::duration_cast<std::chrono::milliseconds>(times.front() + window - now).count();
  const long long seconds = std::max<long long>(1, (waitMs + 999) / 1000);
  std::string retryAfter = Limit.RetryAfter;
  if (retryAfter.empty())
    retryAfter = Limit.RetryAfterDate ? HttpDate(std::time(nullptr) + static_cast<std::time_t>(seconds))
                                      : std::to_string(seconds);
  answer = JsonAnswer(429, "{\"error\":\"rate limit exceeded\"}");
  answer.ExtraHeaders = {"Retry-After: " + retryAfter};
  return true;
}

std::string TFakeSources::TState::CountBody(TFakeSource source, const TFakeSite& site) const {
  const std::string n = std::to_string(site.Count);
  switch (source) {
    case TFakeSource::Plausible: return n;
    case TFakeSource::Umami:
    case TFakeSource::UmamiCloud:
      if (UmamiForm == TUmamiForm::X) return "{\"x\": " + n + "}";
      if (UmamiForm == TUmamiForm::XInArray) return "[{\"x\": " + n + "}]";
      return "{\"visitors\": " + n + "}";
    case TFakeSource::Matomo: {
      auto figure = [&](int64_t v) { return MatomoDigits ? "\"" + std::to_string(v) + "\"" : std::to_string(v); };
      return "[{\"visits\":" + figure(site.Count + site.Count / 3) + ",\"actions\":" + figure(3 * int64_t(site.Count)) +
             ",\"visitors\":" + figure(site.Count) + ",\"visitsConverted\":" + figure(0) + "}]";
    }
    case TFakeSource::Fathom: return "{\"total\": " + n + ", \"content\": [], \"referrers\": []}";
    case TFakeSource::Json: return CountAtPointer(site.Pointer, site.Count);
  }
  return n;
}

TFakeSources::TFakeSources(TFakeServer& server) : FState(std::make_shared<TState>()) {
  std::shared_ptr<TState> state = FState;
  server.SetHandler([state](const TFakeRequest& request, TFakeRoute& answer) { return state->Handle(request, answer); });
}

void TFakeSources::SetSite(TFakeSource source, const std::string& site, const TFakeSite& config) {
  std::lock_guard<std::mutex> guard(FState->Lock);
  FState->Sites[{source, site}] = config;
}

void TFakeSources::SetCount(TFakeSource source, const std::string& site, int32_t count) {
  std::lock_guard<std::mutex> guard(FState->Lock);
  auto it = FState->Sites.find({source, site});
  if (it != FState->Sites.end()) it->second.Count = count;
}

void TFakeSources::RemoveSite(TFakeSource source, const std::string& site) {
  std::lock_guard<std::mutex> guard(FState->Lock);
  FState->Sites.erase({source, site});
}

void TFakeSources::SetBasePath(const std::string& path) {
  std::lock_guard<std::mutex> guard(FState->Lock);
  FState->BasePath = path;
}

void TFakeSources::SetUmamiForm(TUmamiForm form) {
  std::lock_guard<std::mutex> guard(FState->Lock);
  FState->UmamiForm = form;
}

void TFakeSources::SetMatomoDigits(bool asStrings) {
  std::lock_guard<std::mutex> guard(FState->Lock);
  FState->MatomoDigits = asStrings;
}

void TFakeSources::SetRateLimit(const TFakeRateLimit& limit) {
  std::lock_guard<std::mutex> guard(FState->Lock);
  FState->Limit = limit;
  FState->Answered.clear();
}

void TFakeSources::SetRedirect(const std::string& toBase, int status) {
  std::lock_guard<std::mutex> guard(FState->Lock);
  FState->RedirectBase = toBase;
  FState->RedirectStatus = status;
}
