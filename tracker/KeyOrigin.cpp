#include "tracker/KeyOrigin.h"

#include "inet/InetUtil.h"

// "plausible https://plausible.io:443": the source's name in lower case (one
// this version does not know as written there), then the Server's scheme,
// host in lower case and port, the service's default standing in for an empty
// Server. For json the Server is a URL template, whose path and query are no
// part of the origin. A Server that is no http(s) address reaches no server:
// it stands as written.
std::string KeyOrigin(const TSourceSettings& source) {
  TSourceKind kind = nullptr;
  const bool known = ParseSourceName(source.Source, kind);
  std::string server = Utf8FromWide(source.Server);
  if (server.empty() && known) server = kind->DefaultServer;
  const size_t scheme = server.find("://");
  THostSetting host;
  if (scheme != std::string::npos && ParseHostSetting(server.substr(0, server.find_first_of("/?#", scheme + 3)), host))
    server = std::string(host.Scheme == TUrlScheme::Https ? "https://" : "http://") + Lower(host.Server.Host) + ":" +
             std::to_string(host.Server.Port);
  return (known ? std::string(kind->Name) : Lower(Utf8FromWide(source.Source))) + " " + server;
}
