#include "tracker/sources/ServiceRules.h"

#include <algorithm>
#include <cctype>
#include <cstring>

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

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

// No line end, and no byte WinInet's ANSI header calls would read in the user's code page.
bool IsHeaderText(const std::string& text, bool blanks) {
  return std::all_of(text.begin(), text.end(), [blanks](char c) {
    const unsigned char b = static_cast<unsigned char>(c);
    return (b > 0x20 || (blanks && b == 0x20)) && b < 0x7F;
  });
}

bool IsHeaderName(const std::string& name) {
  return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || (c != 0 && std::strchr("!#$%&'*+-.^_`|~", c));
  });
}

void ReplaceAll(std::string& text, const std::string& what, const std::string& with) {
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size()))
    text.replace(at, what.size(), with);
}

std::string BearerHeader(const std::string& key) { return "Authorization: Bearer " + key; }

std::string TrimmedServer(const TSourceSettings& source) {
  std::string server = Utf8FromWide(source.Server);
  while (!server.empty() && server.back() == '/') server.pop_back();
  return server;
}

TPollFailure Failure(TFailure kind) {
  TPollFailure f;
  f.Kind = kind;
  return f;
}

bool IsDefaultHost(const TSourceService& service, const std::string& server) {
  THostSetting host, defaultHost;
  std::string base;
  return server.empty() || (ParseBaseUrl(server, host, base) && ParseBaseUrl(service.DefaultServer, defaultHost, base) &&
                            Lower(host.Server.Host) == Lower(defaultHost.Server.Host));
}

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
