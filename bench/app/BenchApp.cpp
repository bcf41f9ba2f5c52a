// The whole program under Wine, started from outside: time from process start
// to the first widget shown and polled (1 and 50 trackers), time from Exit to
// the process's end (50 trackers, service answering and hung), and private
// memory at 50 trackers, each beside an empty GUI program measured in the same
// run. Usage: bench_app [rounds, default 3]; medians are printed.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/OrvantaProcess.h"
#include "tools/fakeserver/FakeServer.h"

#include "tools/hostproc/HostProcess.h"

using namespace shelltest;

namespace {

using TClock = std::chrono::steady_clock;

double MsSince(TClock::time_point start) {
  return std::chrono::duration<double, std::milli>(TClock::now() - start).count();
}

// Under Wine a process's memory counters read 0: the host's own figure of it.
double HostPrivateMb(const std::string& exeName) { return hostproc::PrivateMb(hostproc::FolderOf(exeName)); }

struct TFigures {
  double StartMs = 0, ExitMs = 0, PrivateMb = 0;
};

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

TFigures EmptyProgram() {
  TFigures f;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  std::wstring command = L"\"Z:";
  for (const char* p = BENCH_EMPTY_PATH; *p; ++p) command += *p == '/' ? L'\\' : static_cast<wchar_t>(*p);
  command += L"\"";
  const auto start = TClock::now();
  if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) return f;
  HWND window = nullptr;
  WaitUntil([&] {
    auto found = WindowsOf(info.dwProcessId, [](HWND w) { return IsWindowVisible(w) != FALSE; });
    window = found.empty() ? nullptr : found[0];
    return window != nullptr;
  }, 20000);
  f.StartMs = MsSince(start);
  Sleep(500);
  f.PrivateMb = HostPrivateMb("empty_gui_program.exe");
  const auto exit = TClock::now();
  PostMessageW(window, WM_CLOSE, 0, 0);
  WaitForSingleObject(info.hProcess, 20000);
  f.ExitMs = MsSince(exit);
  CloseHandle(info.hProcess);
  CloseHandle(info.hThread);
  return f;
}

// trackers widgets; hung: the service takes every request and never answers.
TFigures Program(TFakeServer& counter, TFakeServer& maker, int trackers, bool hung) {
  TFigures f;
  const TFakeRoute route{200, "", 0, "text/plain", {}, 0, hung ? TFakeMode::NeverAnswer : TFakeMode::Normal};
  std::u16string list = u"[Trackers]\n", sections;
  for (int i = 0; i < trackers; ++i) {
    const std::string id = "bench" + std::to_string(i);
    const std::u16string wid(id.begin(), id.end());
    auto text = [](int n) { const std::string s = std::to_string(n); return std::u16string(s.begin(), s.end()); };
    list += u"Key" + text(i) + u"=" + wid + u"\n";
    sections += u"[" + wid + u"]\nLeft=" + text(i % 12 * 100) + u"\nTop=" + text(i / 12 * 90) + u"\nInterval=600000\n";
    if (hung) counter.SetCountRoute(id, route);
  }
  counter.SetRoute(PING_PATH, route);
  maker.SetRoute(VERSION_PATH, route);
  counter.ClearRequests();
  maker.ClearRequests();
  DeleteSettings();
  SeedSettings(list + sections);

  const auto start = TClock::now();
  TOrvanta app;
  auto countRequests = [&] {
    size_t n = 0;
    for (const TFakeRequest& r : counter.Requests()) n += r.Path.rfind("/sitecount/", 0) == 0;
    return n;
  };
  WaitUntil([&] { return !app.Widgets().empty() && countRequests() > 0; }, 30000);
  f.StartMs = MsSince(start);
  WaitUntil([&] { return app.Widgets().size() == static_cast<size_t>(trackers) &&
                         countRequests() == static_cast<size_t>(trackers) && maker.Requests().size() == 1; }, 60000);
  Sleep(1000);
  f.PrivateMb = HostPrivateMb("Orvanta.exe");
  const auto exit = TClock::now();
  app.Command(CMD_EXIT);
  app.Ended(30000);
  f.ExitMs = MsSince(exit);
  return f;
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 && std::atoi(argv[1]) > 0 ? std::atoi(argv[1]) : 3;
  if (!COUNTER_PORT || !MAKER_PORT) {
    std::printf("bench_app: Orvanta.exe was not built for loopback hosts; configure with "
                "-DORVANTA_COUNTER_HOST=127.0.0.1:29780 -DORVANTA_MAKER_HOST=127.0.0.1:29781\n");
    return 1;
  }
  TFakeServer counter, maker;
  counter.ReuseAddress = maker.ReuseAddress = true;
  if (!counter.Start(COUNTER_PORT) || !maker.Start(MAKER_PORT)) {
    std::printf("bench_app: the loopback ports are taken\n");
    return 1;
  }
  const std::string saved = ReadBytes(SettingsFile());
  std::vector<double> emptyStart, emptyExit, emptyMb, start1, start50, exit50, exitHung, mb50;
  for (int r = 0; r < rounds; ++r) {
    // Alternating, so machine load falls on both sides alike.
    TFigures e = EmptyProgram();
    emptyStart.push_back(e.StartMs);
    emptyExit.push_back(e.ExitMs);
    emptyMb.push_back(e.PrivateMb);
    start1.push_back(Program(counter, maker, 1, false).StartMs);
    TFigures p = Program(counter, maker, 50, false);
    start50.push_back(p.StartMs);
    exit50.push_back(p.ExitMs);
    mb50.push_back(p.PrivateMb);
    exitHung.push_back(Program(counter, maker, 50, true).ExitMs);
    std::printf("round %d done\n", r + 1);
  }
  DeleteSettings();
  if (!saved.empty()) WriteBytes(SettingsFile(), saved);

  std::printf("bench_app: medians of %d rounds\n", rounds);
  std::printf("%-52s %12s %14s\n", "", "Orvanta.exe", "empty program");
  std::printf("%-52s %10.0f ms %12.0f ms\n", "start to first widget shown and polled, 1 tracker", Median(start1),
              Median(emptyStart));
  std::printf("%-52s %10.0f ms %12.0f ms\n", "start to first widget shown and polled, 50 trackers", Median(start50),
              Median(emptyStart));
  std::printf("%-52s %10.0f ms %12.0f ms\n", "Exit to process end, 50 trackers, service answering", Median(exit50),
              Median(emptyExit));
  std::printf("%-52s %10.0f ms %12.0f ms\n", "Exit to process end, 50 trackers, service hung", Median(exitHung),
              Median(emptyExit));
  std::printf("%-52s %10.1f MB %12.1f MB\n", "private memory (host RssAnon), 50 trackers", Median(mb50),
              Median(emptyMb));
  return 0;
}
