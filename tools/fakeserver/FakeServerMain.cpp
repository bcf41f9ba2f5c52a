// Stand-alone fake counter service and maker's host for demos under Wine.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/WinApi.h"
#include "tools/fakeserver/FakeServer.h"

namespace {

void Usage() {
  std::puts(
      "FakeServer [options]\n"
      "  --port N            listen on 127.0.0.1:N (default 8080, 0 = any free port)\n"
      "  --default-count N   answer of /sitecount/<ID> for IDs not configured (default 42)\n"
      "  --count ID=BODY     answer of /sitecount/ID\n"
      "  --delay ID=MS       answer /sitecount/ID after MS milliseconds\n"
      "  --hang ID           accept /sitecount/ID and never answer\n"
      "  --file PATH=FILE    serve the bytes of FILE at PATH (e.g. /widget/a.png)\n"
      "  --version TEXT      serve /orvanta.xml announcing version TEXT\n"
      "  --seconds N         stop after N seconds (default: run until killed)");
}

bool SplitPair(const std::string& arg, std::string& key, std::string& value) {
  size_t eq = arg.find('=');
  if (eq == std::string::npos) return false;
  key = arg.substr(0, eq);
  value = arg.substr(eq + 1);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  TFakeServer server;
  long port = 8080, seconds = 0;
  for (int i = 1; i < argc; ++i) {
    std::string opt = argv[i];
    if (opt == "--help" || opt == "-h") {
      Usage();
      return 0;
    }
    if (i + 1 >= argc) {
      Usage();
      return 2;
    }
    std::string arg = argv[++i], key, value;
    if (opt == "--port") {
      port = std::strtol(arg.c_str(), nullptr, 10);
    } else if (opt == "--seconds") {
      seconds = std::strtol(arg.c_str(), nullptr, 10);
    } else if (opt == "--default-count") {
      server.SetDefaultCount(static_cast<int32_t>(std::strtol(arg.c_str(), nullptr, 10)));
    } else if (opt == "--count" && SplitPair(arg, key, value)) {
      server.SetCount(key, value);
    } else if (opt == "--delay" && SplitPair(arg, key, value)) {
      TFakeRoute route;
      route.Body = "7";
      route.DelayMs = static_cast<uint32_t>(std::strtoul(value.c_str(), nullptr, 10));
      server.SetCountRoute(key, route);
    } else if (opt == "--hang") {
      TFakeRoute route;
      route.Mode = TFakeMode::NeverAnswer;
      server.SetCountRoute(arg, route);
    } else if (opt == "--file" && SplitPair(arg, key, value)) {
      std::ifstream in(value, std::ios::binary);
      if (!in) {
        std::fprintf(stderr, "cannot read %s\n", value.c_str());
        return 2;
      }
      std::ostringstream bytes;
      bytes << in.rdbuf();
      TFakeRoute route;
      route.Body = bytes.str();
      route.ContentType = key.size() > 4 && key.compare(key.size() - 4, 4, ".png") == 0 ? "image/png" : "application/octet-stream";
      server.SetRoute(key, route);
    } else if (opt == "--version") {
      TFakeRoute route;
      route.ContentType = "text/xml";
      route.Body = "<?xml version=\"1.0\"?>\r\n<data><version>" + arg + "</version></data>\r\n";
      server.SetRoute("/orvanta.xml", route);
    } else {
      Usage();
      return 2;
    }
  }
  if (port < 0 || port > 65535 || !server.Start(static_cast<uint16_t>(port))) {
    std::fprintf(stderr, "cannot listen on 127.0.0.1:%ld\n", port);
    return 1;
  }
  std::printf("FakeServer listening on %s\n", server.HostPort().c_str());
  std::fflush(stdout);
  for (long waited = 0; seconds <= 0 || waited < seconds; ++waited) Sleep(1000);
  server.Stop();
  return 0;
}
