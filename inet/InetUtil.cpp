#include "inet/InetUtil.h"

#ifndef ORVANTA_COUNTER_HOST
#error "ORVANTA_COUNTER_HOST must be defined by the build"
#endif
#ifndef ORVANTA_MAKER_HOST
#error "ORVANTA_MAKER_HOST must be defined by the build"
#endif

std::string CounterHost() { return ORVANTA_COUNTER_HOST; }

std::string MakerHost() { return ORVANTA_MAKER_HOST; }

namespace {

bool IsHex(unsigned char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'); }

bool AsciiEqualNoCase(const std::string& a, const char* b) {
  size_t i = 0;
  for (; i < a.size() && b[i]; ++i) {
    char c = a[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != b[i]) return false;
  }
  return i == a.size() && !b[i];
}

// "host" or "host:port" of a URL: a strict port, no user name, no IPv6 literal.
bool ParseAuthority(const std::string& text, uint16_t defaultPort, THostPort& server) {
  if (text.empty() || text.find_first_of("@[]") != std::string::npos) return false;
  const size_t colon = text.find(':');
  server.Host = text.substr(0, colon);
  server.Port = defaultPort;
  if (server.Host.empty()) return false;
  if (colon == std::string::npos) return true;
  const std::string digits = text.substr(colon + 1);
  if (digits.empty() || digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string::npos) return false;
  const unsigned long port = std::stoul(digits);
  if (port == 0 || port > 65535) return false;
  server.Port = static_cast<uint16_t>(port);
  return true;
}

uint16_t DefaultPort(TUrlScheme scheme) { return scheme == TUrlScheme::Https ? DEFAULT_HTTPS_PORT : DEFAULT_HTTP_PORT; }

}  // namespace

bool ParseHostSetting(const std::string& text, THostSetting& setting) {
  THostSetting parsed;
  std::string authority = text;
  const size_t separator = text.find("://");
  if (separator != std::string::npos) {
    const std::string scheme = text.substr(0, separator);
    if (AsciiEqualNoCase(scheme, "https")) parsed.Scheme = TUrlScheme::Https;
    else if (!AsciiEqualNoCase(scheme, "http")) return false;
    authority.erase(0, separator + 3);
  }
  for (unsigned char c : authority)
    if (c <= 0x20 || c >= 0x7F || c == '/' || c == '?' || c == '#' || c == '\\') return false;
  if (!ParseAuthority(authority, DefaultPort(parsed.Scheme), parsed.Server)) return false;
  setting = parsed;
  return true;
}

std::string HostUrl(const std::string& hostSetting) {
  THostSetting setting;
  if (!ParseHostSetting(hostSetting, setting)) return "http://" + hostSetting;
  std::string url = (setting.Scheme == TUrlScheme::Https ? "https://" : "http://") + setting.Server.Host;
  if (setting.Server.Port != DefaultPort(setting.Scheme)) url += ":" + std::to_string(setting.Server.Port);
  return url;
}

std::string EncodePathText(const WideString& text) {
  static const char hex[] = "0123456789ABCDEF";
  const std::string bytes = Utf8FromWide(text);
  std::string out;
  for (size_t i = 0; i < bytes.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(bytes[i]);
    // A "%" that already starts an escape is the user's own and stays.
    const bool escape = c <= 0x20 || c >= 0x7F || c == '?' || c == '#' ||
                        (c == '%' && !(i + 2 < bytes.size() && IsHex(bytes[i + 1]) && IsHex(bytes[i + 2])));
    if (escape) {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

bool ResolveLocation(const std::string& location, const TRedirectTarget& current, TRedirectTarget& next) {
  for (unsigned char c : location)
    if (c <= 0x20 || c >= 0x7F) return false;
  // The fragment is never sent.
  std::string rest = location.substr(0, location.find('#'));
  if (rest.empty()) return false;
  TRedirectTarget target = current;
  const size_t colon = rest.find(':');
  if (colon != std::string::npos && colon < rest.find_first_of("/?")) {
    const std::string scheme = rest.substr(0, colon);
    if (AsciiEqualNoCase(scheme, "http")) target.Scheme = TUrlScheme::Http;
    else if (AsciiEqualNoCase(scheme, "https")) target.Scheme = TUrlScheme::Https;
    else return false;
    if (rest.compare(colon + 1, 2, "//") != 0) return false;
    rest.erase(0, colon + 1);
  }
  // Without the query, which a relative reference replaces.
  const std::string currentPath = current.Path.substr(0, current.Path.find('?'));
  if (rest.compare(0, 2, "//") == 0) {
    const size_t pathStart = rest.find_first_of("/?", 2);
    if (!ParseAuthority(rest.substr(2, pathStart - 2), DefaultPort(target.Scheme), target.Server)) return false;
    rest = pathStart == std::string::npos ? std::string("/") : rest.substr(pathStart);
    if (rest[0] == '?') rest.insert(0, "/");
  } else if (rest[0] == '?') {
    rest.insert(0, currentPath.empty() ? std::string("/") : currentPath);
  } else if (rest[0] != '/') {
    const size_t slash = currentPath.rfind('/');
    rest.insert(0, slash == std::string::npos ? std::string("/") : currentPath.substr(0, slash + 1));
  }
  target.Path = rest;
  next = target;
  return true;
}

bool IsLoopbackHost(const std::string& host) {
  std::string lower;
  for (char c : host) lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  if (lower == "localhost" || lower == "::1" || lower == "[::1]") return true;
  // A dotted quad whose first number is 127. No leading zeros: a resolver may
  // read "0127" as octal, which is another machine.
  int parts = 0, value = -1, first = -1;
  for (size_t i = 0; i <= lower.size(); ++i) {
    const char c = i < lower.size() ? lower[i] : '.';
    if (c >= '0' && c <= '9') {
      if (value == 0) return false;
      value = (value < 0 ? 0 : value) * 10 + (c - '0');
      if (value > 255) return false;
    } else if (c == '.' && value >= 0) {
      if (parts == 0) first = value;
      ++parts;
      value = -1;
    } else {
      return false;
    }
  }
  return parts == 4 && first == 127;
}

bool ParseBaseUrl(const std::string& text, THostSetting& host, std::string& basePath) {
  const size_t separator = text.find("://");
  if (separator == std::string::npos) return false;
  const std::string scheme = text.substr(0, separator);
  if (!AsciiEqualNoCase(scheme, "http") && !AsciiEqualNoCase(scheme, "https")) return false;
  const std::string rest = text.substr(separator + 3);
  for (unsigned char c : text)
    if (c <= 0x20 || c >= 0x7F || c == '?' || c == '#' || c == '\\') return false;
  const size_t slash = rest.find('/');
  std::string path = slash == std::string::npos ? std::string() : rest.substr(slash);
  while (!path.empty() && path.back() == '/') path.pop_back();
  if (!ParseHostSetting(text.substr(0, separator + 3) + rest.substr(0, slash), host)) return false;
  basePath = path;
  return true;
}
