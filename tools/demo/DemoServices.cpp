// The services a demo run of Orvanta.exe talks to, on the loopback hosts this
// build gives the program: a counter service whose counts wander every few
// seconds (IDs named with --fail always answer 500, so their widgets show "?"),
// analytics services on the same host (Plausible, Umami, a JSON endpoint, ...)
// whose counts wander too and which check the demo keys, and a maker's host
// whose version file announces a newer version. Each request is printed as a
// line, so a script can see the widgets poll.
// The same executable is the run script's remote control: it stops the
// services, sends menu commands to the running program and moves its message
// box, all through the Wine prefix's shared window and object namespace.
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "platform/WinApi.h"
#include "tools/fakeserver/FakeServer.h"
#include "tools/fakeserver/FakeSources.h"

namespace {

constexpr const wchar_t STOP_EVENT_NAME[] = L"Orvanta_Demo_Services_Stop";
constexpr const wchar_t MANAGER_CLASS[] = L"Orvanta1.50_Widget_Manager_Class_Name";
constexpr const wchar_t MANAGER_CAPTION[] = L"Orvanta1.50_Widget_Manager_Window_Name";
constexpr const wchar_t PROMPT_CLASS[] = L"#32770";  // the system's message boxes
constexpr const wchar_t PROMPT_CAPTION[] = L"Orvanta Desktop Widget";
constexpr const char PING_PATH[] = "/widget/k3v9w2m7p4xq.png";
constexpr const char VERSION_PATH[] = "/orvanta.xml";
constexpr const wchar_t WIDGET_CLASS[] = L"TWidgetMainForm";
constexpr DWORD WANDER_MS = 3000;
constexpr int SPIKE_STEP = 4;
constexpr DWORD LOG_MS = 200;
constexpr int32_t WANDER_STEP = 5;  // a count moves by at most this much per step
constexpr DWORD MANAGER_WAIT_MS = 15000;

void Usage() {
  std::puts(
      "DemoServices [options]       serve the program's two hosts until stopped\n"
      "  --count ID=N                 /sitecount/ID starts at N and wanders (other IDs share one wandering count)\n"
      "  --fail ID                    /sitecount/ID always answers 500\n"
      "  --site SOURCE:ID=N           an analytics site on the counter host whose count starts at N and wanders;\n"
      "                               SOURCE plausible, umami, umami-cloud, matomo, fathom or json (ID: the path\n"
      "                               with its query, e.g. json:/api/shop/live=37)\n"
      "  --key SOURCE=KEY             the key SOURCE's sites take (json: the header line they need)\n"
      "  --pointer POINTER            where json answers hold the count (default /count)\n"
      "  --version TEXT               the version file announces TEXT (default 1.60)\n"
      "  --seconds N                  stop after N seconds (default: when told to)\n"
      "  --spike ID=N                 /sitecount/ID jumps to N at the fourth step (about 12 s in), then wanders\n"
      "DemoServices --stop          stops the services serving in this Wine prefix\n"
      "DemoServices --command ID    posts the menu command ID (e.g. 40000 About, 40008 Exit)\n"
      "                             to the running program's manager window\n"
      "DemoServices --move-prompt DX DY  moves the program's open message box by DX, DY pixels\n"
      "DemoServices --widget-command X Y ID  posts the menu command ID (e.g. 40013 History) to the\n"
      "                             widget whose top-left corner is at X, Y\n"
      "DemoServices --work-area     prints the work area: left top right bottom");
}

// The port of "127.0.0.1:N", or 0 when the build talks to real hosts.
uint16_t LoopbackPort(const std::string& hostPort) {
  const std::string prefix = "127.0.0.1:";
  if (hostPort.compare(0, prefix.size(), prefix) != 0) return 0;
  const long port = std::strtol(hostPort.c_str() + prefix.size(), nullptr, 10);
  return port > 0 && port <= 65535 ? static_cast<uint16_t>(port) : 0;
}

bool ParseLong(const std::string& text, long& value) {
  char* end = nullptr;
  value = std::strtol(text.c_str(), &end, 10);
  return !text.empty() && *end == '\0';
}

int PostCommand(const std::string& arg) {
  long id = 0;
  if (!ParseLong(arg, id) || id <= 0 || id > 0xFFFF) {
    std::fprintf(stderr, "not a command id: %s\n", arg.c_str());
    return 2;
  }
  // The program may still be starting: give its manager window a while to appear.
  HWND manager = nullptr;
  for (DWORD waited = 0; !(manager = FindWindowW(MANAGER_CLASS, MANAGER_CAPTION)) && waited < MANAGER_WAIT_MS;
       waited += 100)
    Sleep(100);
  if (!manager || !PostMessageW(manager, WM_COMMAND, static_cast<WPARAM>(id), 0)) {
    std::fprintf(stderr, "Orvanta is not running in this Wine prefix\n");
    return 1;
  }
  return 0;
}

int PostWidgetCommand(const std::string& xText, const std::string& yText, const std::string& idText) {
  long x = 0, y = 0, id = 0;
  if (!ParseLong(xText, x) || !ParseLong(yText, y) || !ParseLong(idText, id) || id <= 0 || id > 0xFFFF) {
    Usage();
    return 2;
  }
  for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, WIDGET_CLASS, nullptr)) != nullptr;) {
    RECT r{};
    if (GetWindowRect(w, &r) && r.left == x && r.top == y) return PostMessageW(w, WM_COMMAND, id, 0) ? 0 : 1;
  }
  std::fprintf(stderr, "no widget at %ld, %ld\n", x, y);
  return 1;
}

int MovePrompt(const std::string& dxText, const std::string& dyText) {
  long dx = 0, dy = 0;
  if (!ParseLong(dxText, dx) || !ParseLong(dyText, dy)) {
    Usage();
    return 2;
  }
  HWND prompt = FindWindowW(PROMPT_CLASS, PROMPT_CAPTION);
  RECT r{};
  if (!prompt || !IsWindowVisible(prompt) || !GetWindowRect(prompt, &r)) {
    std::fprintf(stderr, "Orvanta shows no message box\n");
    return 1;
  }
  SetWindowPos(prompt, nullptr, r.left + dx, r.top + dy, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  return 0;
}

int Stop() {
  HANDLE stop = OpenEventW(EVENT_MODIFY_STATE, FALSE, STOP_EVENT_NAME);
  if (!stop) {
    std::puts("the demo services were not running");
    return 0;
  }
  SetEvent(stop);
  CloseHandle(stop);
  return 0;
}

// Counts that drift: each step moves every count by 1 to WANDER_STEP, mostly
// on in the same direction, so two polls a few steps apart rarely match and
// the widgets show their trend arrows.
class TWanderingCounts {
public:
  using TSetter = std::function<void(int32_t)>;
  TWanderingCounts(TFakeServer& server) : FServer(server), FRandom(static_cast<unsigned>(std::time(nullptr))) {}
  // name: what the log line calls the count; set: gives each new value to its service.
  void Add(const std::string& name, int32_t count, TSetter set) { FCounts[name] = {{count, 1}, std::move(set)}; }
  // The next steps wander on from count.
  void Jump(const std::string& name, int32_t count) {
    if (auto it = FCounts.find(name); it != FCounts.end()) it->second.Count = {count, 1};
  }
  void Step() {
    std::string line = "counts";
    for (auto& [name, count] : FCounts) {
      Move(count.Count);
      count.Set(count.Count.Value);
      line += " " + name + "=" + std::to_string(count.Count.Value);
    }
    Move(FDefault);
    FServer.SetDefaultCount(FDefault.Value);
    std::printf("%s, any other ID=%d\n", line.c_str(), static_cast<int>(FDefault.Value));
    std::fflush(stdout);
  }

private:
  struct TCount {
    int32_t Value;
    int32_t Direction;  // +1 or -1
  };
  void Move(TCount& count) {
    if (std::uniform_int_distribution<int>(0, 3)(FRandom) == 0) count.Direction = -count.Direction;
    count.Value += count.Direction * std::uniform_int_distribution<int32_t>(1, WANDER_STEP)(FRandom);
    if (count.Value < 0) count = {-count.Value, 1};
  }
  struct TWandering {
    TCount Count;
    TSetter Set;
  };
  TFakeServer& FServer;
  std::mt19937 FRandom;
  std::map<std::string, TWandering> FCounts;
  TCount FDefault{42, 1};
};

void PrintRequests(TFakeServer& server, const char* host) {
  // Cleared as printed, so a long run keeps no history; a request landing in
  // between only misses its log line.
  std::vector<TFakeRequest> requests = server.Requests();
  if (requests.empty()) return;
  server.ClearRequests();
  for (const TFakeRequest& r : requests) std::printf("%s %s %s\n", host, r.Method.c_str(), r.Path.c_str());
  std::fflush(stdout);
}

int Serve(int argc, char** argv) {
  const uint16_t counterPort = LoopbackPort(ORVANTA_COUNTER_HOST), makerPort = LoopbackPort(ORVANTA_MAKER_HOST);
  if (!counterPort || !makerPort) {
    std::fprintf(stderr, "this build of Orvanta talks to %s and %s, not to loopback demo services\n",
                 ORVANTA_COUNTER_HOST, ORVANTA_MAKER_HOST);
    return 1;
  }
  TFakeServer counter, maker;
  TFakeSources sources(counter);
  TWanderingCounts counts(counter);
  struct TDemoSite {
    TFakeSource Source;
    std::string Id;
    int32_t Count;
  };
  std::vector<TDemoSite> sites;
  std::map<TFakeSource, std::string> keys;
  std::string version = "1.60", pointer = "/count";
  long seconds = 0;
  std::vector<std::pair<std::string, int32_t>> spikes;
  for (int i = 1; i < argc; i += 2) {
    const std::string opt = argv[i], arg = i + 1 < argc ? argv[i + 1] : "";
    const size_t eq = arg.find('=');
    long value = 0;
    if (i + 1 >= argc) {
      Usage();
      return 2;
    } else if (opt == "--count" && eq != std::string::npos && ParseLong(arg.substr(eq + 1), value) && value >= 0) {
      const std::string id = arg.substr(0, eq);
      counts.Add(id, static_cast<int32_t>(value), [&counter, id](int32_t n) { counter.SetCount(id, std::to_string(n)); });
    } else if (opt == "--site") {
      // SOURCE:ID=N; a json ID may itself hold "=", the count never does.
      const size_t colon = arg.find(':'), last = arg.rfind('=');
      TFakeSource source;
      if (colon == std::string::npos || last == std::string::npos || last < colon ||
          !ParseFakeSource(arg.substr(0, colon), source) || !ParseLong(arg.substr(last + 1), value) || value < 0) {
        Usage();
        return 2;
      }
      sites.push_back({source, arg.substr(colon + 1, last - colon - 1), static_cast<int32_t>(value)});
    } else if (opt == "--key" && eq != std::string::npos) {
      TFakeSource source;
      if (!ParseFakeSource(arg.substr(0, eq), source)) {
        Usage();
        return 2;
      }
      keys[source] = arg.substr(eq + 1);
    } else if (opt == "--pointer") {
      pointer = arg;
    } else if (opt == "--fail") {
      TFakeRoute route;
      route.Status = 500;
      route.Body = "Internal Server Error";
      counter.SetCountRoute(arg, route);
    } else if (opt == "--spike" && eq != std::string::npos && ParseLong(arg.substr(eq + 1), value) && value >= 0) {
      spikes.emplace_back(arg.substr(0, eq), static_cast<int32_t>(value));
    } else if (opt == "--version") {
      version = arg;
    } else if (opt != "--seconds" || !ParseLong(arg, seconds)) {
      Usage();
      return 2;
    }
  }
  TFakeRoute versionFile;
  versionFile.ContentType = "text/xml";
  versionFile.Body = "<?xml version=\"1.0\"?>\r\n<data><version>" + version + "</version></data>\r\n";
  maker.SetRoute(VERSION_PATH, versionFile);
  TFakeRoute ping;  // the program ignores the answer
  ping.ContentType = "image/png";
  counter.SetRoute(PING_PATH, ping);
  for (const TDemoSite& site : sites) {
    TFakeSite config;
    config.Key = keys[site.Source];
    config.Count = site.Count;
    config.Pointer = pointer;
    sources.SetSite(site.Source, site.Id, config);
    counts.Add(std::string(FakeSourceName(site.Source)) + ":" + site.Id, site.Count,
               [&sources, site](int32_t n) { sources.SetCount(site.Source, site.Id, n); });
  }
  counts.Step();

  HANDLE stop = CreateEventW(nullptr, TRUE, FALSE, STOP_EVENT_NAME);
  if (!stop || GetLastError() == ERROR_ALREADY_EXISTS) {
    std::fprintf(stderr, "the demo services are already running in this Wine prefix\n");
    return 1;
  }
  // A fixed port can be taken again at once after the last run's connections.
  counter.ReuseAddress = maker.ReuseAddress = true;
  if (!counter.Start(counterPort) || !maker.Start(makerPort)) {
    std::fprintf(stderr, "cannot listen on 127.0.0.1:%u and 127.0.0.1:%u (another program has them)\n", counterPort,
                 makerPort);
    CloseHandle(stop);
    return 1;
  }
  std::printf("counter service on %s, maker's host on %s\n", counter.HostPort().c_str(), maker.HostPort().c_str());
  std::fflush(stdout);

  const DWORD start = GetTickCount();
  DWORD lastWander = start;
  int steps = 0;
  while (WaitForSingleObject(stop, LOG_MS) == WAIT_TIMEOUT) {
    const DWORD now = GetTickCount();
    if (seconds > 0 && now - start >= static_cast<DWORD>(seconds) * 1000) break;
    if (now - lastWander >= WANDER_MS) {
      if (++steps == SPIKE_STEP)
        for (const auto& [id, count] : spikes) counts.Jump(id, count);
      counts.Step();
      lastWander = now;
    }
    PrintRequests(counter, "counter");
    PrintRequests(maker, "maker");
  }
  counter.Stop();
  maker.Stop();
  PrintRequests(counter, "counter");
  PrintRequests(maker, "maker");
  std::puts("demo services stopped");
  CloseHandle(stop);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string first = argc > 1 ? argv[1] : "";
  if (first == "--help" || first == "-h") {
    Usage();
    return 0;
  }
  if (first == "--stop") return Stop();
  if (first == "--work-area") {
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    std::printf("%ld %ld %ld %ld\n", work.left, work.top, work.right, work.bottom);
    return 0;
  }
  if (first == "--command") {
    if (argc != 3) {
      Usage();
      return 2;
    }
    return PostCommand(argv[2]);
  }
  if (first == "--widget-command") {
    if (argc != 5) {
      Usage();
      return 2;
    }
    return PostWidgetCommand(argv[2], argv[3], argv[4]);
  }
  if (first == "--move-prompt") {
    if (argc != 4) {
      Usage();
      return 2;
    }
    return MovePrompt(argv[2], argv[3]);
  }
  return Serve(argc, argv);
}
