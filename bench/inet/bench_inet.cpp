// Count polls against the loopback fake service: through the worker (thread,
// time-outs, deadline, body cap, done message) and through a plain WinInet loop
// on the calling thread, in the same run.
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "inet/InetThrd.h"
#include "tools/fakeserver/FakeServer.h"
#include "tools/fakeserver/TlsFront.h"

namespace {

constexpr int SEQUENTIAL_POLLS = 200;
constexpr int CONCURRENT_POLLS = 50;
constexpr uint32_t SLOW_ANSWER_MS = 300;  // a busy analytics service
constexpr UINT WM_BENCHDONE = WM_USER + 18;

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

HWND CreateSink() {
  WNDCLASSW wc{};
  wc.lpfnWndProc = DefWindowProcW;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"OrvantaBenchSink";
  RegisterClassW(&wc);
  return CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
}

// Waits for count done messages; returns how many reported success.
int WaitDone(int count) {
  int ok = 0;
  for (int seen = 0; seen < count;) {
    MSG msg;
    if (GetMessageW(&msg, nullptr, 0, 0) <= 0) break;
    if (msg.message == WM_BENCHDONE) {
      ++seen;
      if (msg.lParam == INET_OK) ++ok;
    } else {
      DispatchMessageW(&msg);
    }
  }
  return ok;
}

std::unique_ptr<TInetThread> StartWorker(HWND sink, const std::string& host, int i, const char* id = "bench") {
  auto worker = std::make_unique<TInetThread>(sink, InternetRoot(), WM_BENCHDONE);
  worker->Request().SetField(rfHost, host);
  worker->Request().SetField(rfPath, "/sitecount/" + std::string(id) + std::to_string(i));
  worker->Resume();
  return worker;
}

// The same GET without the worker: no thread, no time-outs, no checks.
bool PlainGet(const THostPort& server, int i) {
  bool ok = false;
  HINTERNET connection = InternetConnectA(InternetRoot(), server.Host.c_str(), server.Port, nullptr, nullptr,
                                          INTERNET_SERVICE_HTTP, 0, 0);
  if (!connection) return false;
  std::string path = "/sitecount/bench" + std::to_string(i);
  HINTERNET request = HttpOpenRequestA(connection, "GET", path.c_str(), "HTTP/1.1", nullptr, nullptr,
                                       INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0);
  if (request && HttpSendRequestA(request, nullptr, 0, nullptr, 0)) {
    char buffer[8192];
    DWORD got = 0;
    std::string body;
    while (InternetReadFile(request, buffer, sizeof buffer, &got) && got > 0) body.append(buffer, got);
    ok = !body.empty();
  }
  if (request) InternetCloseHandle(request);
  InternetCloseHandle(connection);
  return ok;
}

void Report(const char* what, int polls, int ok, double seconds) {
  std::printf("%-32s %4d polls, %4d ok, %8.1f polls/s, %7.3f ms/poll\n", what, polls, ok, polls / seconds,
              seconds * 1000.0 / polls);
}

}  // namespace

int main() {
  TFakeServer server;
  if (!server.Start(0) || !InternetRoot()) {
    std::fprintf(stderr, "cannot start the fake server or WinInet\n");
    return 1;
  }
  HWND sink = CreateSink();
  const std::string host = server.HostPort();
  const THostPort hostPort{"127.0.0.1", server.Port()};
  PlainGet(hostPort, 0);  // warm-up: WinInet's first request loads its settings

  auto start = Clock::now();
  int ok = 0;
  for (int i = 0; i < SEQUENTIAL_POLLS; ++i) ok += PlainGet(hostPort, i) ? 1 : 0;
  double plainSequential = Seconds(start);
  Report("sequential, plain WinInet", SEQUENTIAL_POLLS, ok, plainSequential);

  start = Clock::now();
  ok = 0;
  for (int i = 0; i < SEQUENTIAL_POLLS; ++i) {
    TRequest request;
    request.SetField(rfHost, host);
    request.SetField(rfPath, "/sitecount/bench" + std::to_string(i));
    ok += request.Send(InternetRoot()) == INET_OK ? 1 : 0;
  }
  Report("sequential, Send on this thread", SEQUENTIAL_POLLS, ok, Seconds(start));

  start = Clock::now();
  ok = 0;
  for (int i = 0; i < SEQUENTIAL_POLLS; ++i) {
    auto worker = StartWorker(sink, host, i);
    ok += WaitDone(1);
  }
  double workerSequential = Seconds(start);
  Report("sequential, worker", SEQUENTIAL_POLLS, ok, workerSequential);

  start = Clock::now();
  std::vector<std::thread> threads;
  std::vector<int> results(CONCURRENT_POLLS, 0);
  for (int i = 0; i < CONCURRENT_POLLS; ++i)
    threads.emplace_back([&, i] { results[static_cast<size_t>(i)] = PlainGet(hostPort, i) ? 1 : 0; });
  for (auto& t : threads) t.join();
  ok = 0;
  for (int r : results) ok += r;
  Report("concurrent, plain WinInet threads", CONCURRENT_POLLS, ok, Seconds(start));

  start = Clock::now();
  std::vector<std::unique_ptr<TInetThread>> workers;
  for (int i = 0; i < CONCURRENT_POLLS; ++i) workers.push_back(StartWorker(sink, host, i));
  ok = WaitDone(CONCURRENT_POLLS);
  workers.clear();
  Report("concurrent, workers", CONCURRENT_POLLS, ok, Seconds(start));

  // Trackers woken together from sleep, all https, against a slow service:
  // every one must get its count, none may fail for the program's own limits.
  TTlsFront front(server.Port());
  if (front.Started()) {
    TFakeRoute slow;
    slow.DelayMs = SLOW_ANSWER_MS;
    slow.Body = "42";
    for (int i = 0; i < CONCURRENT_POLLS; ++i) server.SetCountRoute("slow" + std::to_string(i), slow);
    start = Clock::now();
    for (int i = 0; i < CONCURRENT_POLLS; ++i)
      workers.push_back(StartWorker(sink, front.HostSetting(TTlsCert::Good), i, "slow"));
    ok = WaitDone(CONCURRENT_POLLS);
    workers.clear();
    Report("concurrent https, 300 ms answers", CONCURRENT_POLLS, ok, Seconds(start));
    if (ok != CONCURRENT_POLLS) std::printf("FAILED: %d https polls got no count\n", CONCURRENT_POLLS - ok);
  } else {
    std::printf("https round skipped: %s\n", front.Error().c_str());
  }

  std::printf("worker overhead per sequential poll: %.3f ms\n",
              (workerSequential - plainSequential) * 1000.0 / SEQUENTIAL_POLLS);
  DestroyWindow(sink);
  server.Stop();
  return 0;
}
