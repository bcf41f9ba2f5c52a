// What a live tracker costs: private memory, GDI and user objects, windows,
// threads and CPU time with 1, 10 and 50 widgets polling the loopback fake
// service. Usage: bench_widget [idle seconds per size, default 60]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "inet/InetThrd.h"
#include "tools/fakeserver/FakeServer.h"
#include "tools/hostproc/HostProcess.h"
#include "widget/MainForm.h"

#include <psapi.h>
#include <tlhelp32.h>

namespace {

constexpr int kSizes[] = {0, 1, 10, 50};  // 0: the process and the fake server alone
// Widgets start this far apart, as the manager starts them: layered windows
// made on many threads at the same instant upset Wine's own heap.
constexpr DWORD kStartGapMs = 20;

struct Sample {
  double PrivateMb;
  unsigned long Gdi, User, Windows, Threads;
};

BOOL CALLBACK CountWindow(HWND window, LPARAM count) {
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid != GetCurrentProcessId()) return TRUE;
  ++*reinterpret_cast<unsigned long*>(count);
  EnumChildWindows(window, CountWindow, count);
  return TRUE;
}

unsigned long ThreadCount() {
  unsigned long n = 0;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return 0;
  THREADENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
    if (entry.th32OwnerProcessID == GetCurrentProcessId()) ++n;
  CloseHandle(snapshot);
  return n;
}

Sample Measure() {
  Sample s{};
  PROCESS_MEMORY_COUNTERS_EX memory{};
  memory.cb = sizeof memory;
  GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory);
  s.PrivateMb = memory.PrivateUsage / (1024.0 * 1024.0);
  if (s.PrivateMb == 0) s.PrivateMb = hostproc::PrivateMb();  // Wine reads 0
  s.Gdi = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  s.User = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
  EnumWindows(CountWindow, reinterpret_cast<LPARAM>(&s.Windows));
  s.Threads = ThreadCount();
  return s;
}

double CpuSeconds() {
  FILETIME created, exited, kernel, user;
  if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return hostproc::CpuSeconds();
  auto seconds = [](const FILETIME& t) {
    return ((static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e7;
  };
  double total = seconds(kernel) + seconds(user);
  double host = hostproc::CpuSeconds();
  return host > 0 ? host : total;
}

}  // namespace

int main(int argc, char** argv) {
  int idleSeconds = argc > 1 ? std::atoi(argv[1]) : 60;
  if (idleSeconds <= 0) idleSeconds = 60;
  OleInitialize(nullptr);
  TWidgetsUnit unit;
  OpenInternetHandle();
  TFakeServer server;
  if (!server.Start(0)) {
    std::printf("the fake server could not listen on 127.0.0.1\n");
    return 1;
  }
  TWidgetHost host{nullptr, nullptr, std::make_shared<TWidgetBoard>(), nullptr, nullptr, server.HostPort(), nullptr};

  Sample base = Measure();
  std::printf("bench_widget: %d s quiet window between two polls per size\n", idleSeconds);
  std::printf("baseline: private %.2f MB, GDI %lu, user %lu, windows %lu, threads %lu\n", base.PrivateMb, base.Gdi,
              base.User, base.Windows, base.Threads);
  double baseCpu = 0;
  Sample last{};
  int lastN = 0;
  std::printf("%8s %12s %8s %8s %8s %8s %10s %12s %10s %8s %8s %12s\n", "widgets", "private MB", "GDI", "user", "windows",
              "threads", "CPU %", "MB/widget", "GDI/wid", "user/wid", "wnd/wid", "CPU %/wid");
  for (int n : kSizes) {
    auto owner = std::make_unique<TComponent>(nullptr);
    std::vector<TWidgetMainForm*> widgets;
    for (int i = 0; i < n; ++i) {
      TTrackerSettings s;
      // The first poll comes before the quiet window and the next one after it.
      s.Interval = std::max(DEFAULT_POLL_INTERVAL, (idleSeconds + 30) * 1000);
      s.ID = u"bench" + WideFromUtf8(std::to_string(i));
      s.Left = (i % 15) * 82;
      s.Top = (i / 15) * 78;
      auto* w = new TWidgetMainForm(owner.get(), host, s);
      w->SetStartDelay(250 + 20 * i);
      w->ListOnBoard();
      w->Resume();
      widgets.push_back(w);
      Sleep(kStartGapMs);
    }
    // Every widget shown and through its first poll before the quiet window.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    for (TWidgetMainForm* w : widgets) {
      bool ready = false;
      while (!ready && std::chrono::steady_clock::now() < deadline) {
        w->Invoke([&] { ready = w->Opacity() == w->TargetOpacity() && w->Count() >= 0 && !w->Busy(); });
        if (!ready) Sleep(20);
      }
    }
    double cpu0 = CpuSeconds();
    auto t0 = std::chrono::steady_clock::now();
    Sleep(static_cast<DWORD>(idleSeconds) * 1000);
    double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    double cpuPercent = 100.0 * (CpuSeconds() - cpu0) / wall;
    if (n == 0) baseCpu = cpuPercent;
    Sample s = Measure();
    int per = std::max(n, 1);
    std::printf("%8d %12.2f %8lu %8lu %8lu %8lu %10.3f %12.3f %10.2f %8.2f %8.2f %12.4f\n", n, s.PrivateMb, s.Gdi, s.User,
                s.Windows, s.Threads, cpuPercent, (s.PrivateMb - base.PrivateMb) / per,
                (double(s.Gdi) - base.Gdi) / per, (double(s.User) - base.User) / per,
                (double(s.Windows) - base.Windows) / per, (cpuPercent - baseCpu) / per);
    if (n > 1 && last.Threads) {
      std::printf("%8s marginal from %d: %.3f MB, %.2f windows, %.2f threads per widget\n", "", lastN,
                  (s.PrivateMb - last.PrivateMb) / (n - lastN), (double(s.Windows) - last.Windows) / (n - lastN),
                  (double(s.Threads) - last.Threads) / (n - lastN));
    }
    last = s;
    lastN = n;
    std::fflush(stdout);
    for (TWidgetMainForm* w : widgets) PostMessageW(w->StoredHandle(), WM_CLOSE, 0, 0);
    owner.reset();
  }
  std::printf("requests served: %zu\n", server.Requests().size());
  server.Stop();
  CloseInternetHandle();
  return 0;
}
