#include "tracker/KeyOrigin.h"

#include <cctype>

#include "inet/InetUtil.h"

namespace {
std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}
}  // namespace

// "plausible https://plausible.io:443": the source's name in lower case (one
// this version does not know as written there), then the Server's scheme,
// host in lower case and port, the service's default standing in for an empty
// Server. For json the Server is a URL template, whose path and query are no
// part of the origin. A Server that is no http(s) address reaches no server:
// it stands as written.
std::string KeyOrigin(const TSourceSettings& source) {
  TSourceKind kind = TSourceKind::Orvanta;
  const bool known = ParseSourceName(source.Source, kind);
  std::string server = Utf8FromWide(source.Server);
  if (server.empty() && known) server = DefaultServer(kind);
  const size_t scheme = server.find("://");
  THostSetting host;
  if (scheme != std::string::npos && ParseHostSetting(server.substr(0, server.find_first_of("/?#", scheme + 3)), host))
    server = std::string(host.Scheme == TUrlScheme::Https ? "https://" : "http://") + Lower(host.Server.Host) + ":" +
             std::to_string(host.Server.Port);
  return (known ? std::string(SourceName(kind)) : Lower(Utf8FromWide(source.Source))) + " " + server;
}

// Every service but the counter service sends one; json only where its Header
// names {key}. A source this version does not know may need one.
bool SourceNeedsKey(const TSourceSettings& source) {
  TSourceKind kind;
  if (!ParseSourceName(source.Source, kind)) return true;
  if (kind == TSourceKind::Json) return source.Header.find(u"{key}") != WideString::npos;
  return kind != TSourceKind::Orvanta;
}
