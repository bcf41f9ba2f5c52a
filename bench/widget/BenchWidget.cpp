// What a live tracker costs: private memory, GDI and user objects, windows,
// threads and CPU time with 1, 10 and 50 widgets polling the loopback fake
// service; first what a day's history costs in memory and in its file.
// Usage: bench_widget [idle seconds per size, default 60 | history]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "inet/InetThrd.h"
#include "tools/fakeserver/FakeServer.h"
#include "tools/hostproc/HostProcess.h"
#include "tracker/History.h"
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

// A day polled every 15 s (the default), ending at the same instant for each
// tracker: 240 samples as polled and 1,440 minutes.
void FillDay(THistoryBook& book, int trackers) {
  constexpr int64_t end = 1796729640;  // 2026-12-08T11:34:00Z
  const int64_t step = DEFAULT_POLL_INTERVAL / 1000;
  for (int i = 0; i < trackers; ++i) {
    const WideString id = u"bench" + WideFromUtf8(std::to_string(i));
    for (int64_t t = end - HISTORY_DAY_MINUTES * 60 + step; t <= end; t += step)
      book.Add(id, t, static_cast<int32_t>(t % 997 == 0 ? -1 : (t / 60) % 500));
  }
}

// Best of seven runs, in milliseconds.
double BestMs(const std::function<void()>& run) {
  double best = 1e300;
  for (int i = 0; i < 7; ++i) {
    const auto start = std::chrono::steady_clock::now();
    run();
    best = std::min(best, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
  }
  return best;
}

// Prints each figure beside its target; false when the file does not read back.
bool BenchHistory() {
  auto verdict = [](bool met) { return met ? "ok" : "OVER"; };
  THistoryBook one;
  FillDay(one, 1);
  const TTrackerHistory day = one.Snapshot(u"bench0");
  const double perTracker = day.Bytes() / (1024.0 * 1024.0);
  const double before = Measure().PrivateMb;
  auto fifty = std::make_unique<THistoryBook>();
  FillDay(*fifty, 50);
  const double measured = (Measure().PrivateMb - before) / 50;
  std::printf("history, a day at %d s (%zu as polled, %zu minutes): %zu bytes a tracker (%.4f MB), %.3f MB for 50; "
              "private memory %.4f MB a tracker; target < 0.06 MB: %s\n",
              DEFAULT_POLL_INTERVAL / 1000, day.Recent().size(), day.Minutes().size(), day.Bytes(), perTracker,
              50 * perTracker, measured, verdict(std::max(perTracker, measured) < 0.06));
  fifty.reset();

  THistoryBook full;
  FillDay(full, static_cast<int>(HISTORY_MAX_TRACKERS));
  const std::string bytes = full.Serialize();
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / "orvanta-bench-history";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  const WideString file = (dir / "history.dat").u16string();
  WideString error;
  bool ok = SaveHistoryFile(file, full, &error);
  const double saveMs = BestMs([&] { ok = ok && SaveHistoryFile(file, full, &error); });
  // Into an empty book each time, as at a start; the books go after the timing.
  std::vector<std::unique_ptr<THistoryBook>> books;
  const double deserializeMs = BestMs([&] {
    books.push_back(std::make_unique<THistoryBook>());
    ok = ok && books.back()->Deserialize(bytes);
  });
  WideString kept;
  const double loadMs = BestMs([&] {
    books.push_back(std::make_unique<THistoryBook>());
    ok = ok && LoadHistoryFile(file, *books.back(), u"bench", &kept) == THistoryLoadState::Read;
  });
  const THistoryBook& read = *books.back();
  ok = ok && read.Trackers() == HISTORY_MAX_TRACKERS && read.Serialize() == bytes;
  std::printf("history file, %zu trackers, %zu bytes (best of 7): Deserialize %.2f ms, LoadHistoryFile %.2f ms "
              "(target < 100 ms: %s), SaveHistoryFile %.2f ms (target < 20 ms: %s)%s\n",
              read.Trackers(), bytes.size(), deserializeMs, loadMs, verdict(loadMs < 100), saveMs,
              verdict(saveMs < 20), ok ? "" : "; THE FILE DID NOT READ BACK");
  std::fflush(stdout);
  std::filesystem::remove_all(dir);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  const bool historyOk = BenchHistory();
  if (argc > 1 && std::strcmp(argv[1], "history") == 0) return historyOk ? 0 : 1;
  int idleSeconds = argc > 1 ? std::atoi(argv[1]) : 60;
  if (idleSeconds <= 0) idleSeconds = 60;
  OleInitialize(nullptr);
  TWidgetsUnit unit;
  TFakeServer server;
  if (!server.Start(0)) {
    std::printf("the fake server could not listen on 127.0.0.1\n");
    return 1;
  }
  TWidgetHost host{nullptr, nullptr, std::make_shared<TWidgetBoard>(), nullptr, nullptr, server.HostPort(), nullptr,
                   std::make_shared<THistoryBook>()};

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
  return historyOk ? 0 : 1;
}
