#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "inet/InetThrd.h"
#include "support/FakeServerFixture.h"

namespace {

constexpr UINT WM_TESTDONE = WM_USER + 18;
using Clock = std::chrono::steady_clock;

long long MsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// A message-only window on the test thread that a worker can post to.
class TTestWindow {
public:
  TTestWindow() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"OrvantaInetTestWindow";
    RegisterClassW(&wc);
    Handle = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
  }
  ~TTestWindow() {
    if (IsWindow(Handle)) DestroyWindow(Handle);
  }
  // Pumps the thread's queue until the done message arrives; false on time-out.
  bool WaitDone(DWORD timeoutMs, LPARAM* result = nullptr) {
    auto start = Clock::now();
    for (;;) {
      MSG msg;
      while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.hwnd == Handle && msg.message == WM_TESTDONE) {
          if (result) *result = msg.lParam;
          return true;
        }
        DispatchMessageW(&msg);
      }
      long long left = static_cast<long long>(timeoutMs) - MsSince(start);
      if (left <= 0) return false;
      MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(std::min(left, 50LL)), QS_ALLINPUT);
    }
  }
  HWND Handle;
};

class InetWorker : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_NE(OpenInternetHandle(), nullptr);
    Server = StartFakeServer();
  }
  // Runs one GET on the calling thread against the fake server.
  int Get(TRequest& request, const std::string& path) {
    request.SetField(rfHost, Server->HostPort());
    request.SetField(rfPath, path);
    return request.Send(InternetHandle);
  }
  static void WaitForDetachedWorkers(DWORD timeoutMs) {
    auto start = Clock::now();
    while (TInetThread::LiveCount() > 0 && MsSince(start) < timeoutMs) Sleep(20);
  }
  std::unique_ptr<TFakeServer> Server;
};

TRequestLimits ShortLimits() {
  TRequestLimits limits;
  limits.ConnectTimeoutMs = 1000;
  limits.SendTimeoutMs = 1000;
  limits.ReceiveTimeoutMs = 1000;
  limits.DeadlineMs = 2000;
  return limits;
}

}  // namespace

TEST(RequestFields, OutOfRangeIndexesAreIgnored) {
  TRequest request;
  EXPECT_EQ(request.GetField(rfMethod), "GET");
  EXPECT_EQ(request.GetField(rfVersion), "HTTP/1.1");
  request.SetField(12, "x");
  request.SetField(-1, "x");
  for (int i = 0; i < REQUEST_FIELD_COUNT; ++i) {
    if (i == rfMethod || i == rfVersion) continue;
    EXPECT_EQ(request.GetField(i), "") << i;
  }
  EXPECT_EQ(request.GetField(12), "");
  EXPECT_EQ(request.GetField(-1), "");
  request.Response().SetHeader(12, "x");
  EXPECT_EQ(request.Response().GetHeader(12), "");
}

TEST(RequestFields, DefaultLimitsBoundEveryRequest) {
  TRequestLimits limits;
  EXPECT_EQ(limits.ConnectTimeoutMs, 5000u);
  EXPECT_EQ(limits.SendTimeoutMs, 5000u);
  EXPECT_EQ(limits.ReceiveTimeoutMs, 10000u);
  EXPECT_EQ(limits.DeadlineMs, 15000u);
  EXPECT_EQ(limits.MaxBodyBytes, size_t(1) << 20);
  EXPECT_EQ(TRequest().Limits.DeadlineMs, 15000u);
}

TEST(RequestFields, HeaderTextKeepsFixedOrder) {
  TRequest request;
  EXPECT_EQ(request.HeaderText(), "");
  request.SetField(rfCookie, "a=1");
  request.SetField(rfAccept, "text/plain");
  EXPECT_EQ(request.HeaderText(), "Accept: text/plain\r\nCookie: a=1\r\n");
  request.SetField(rfContentType, "text/xml");
  request.SetField(rfConnection, "close");
  EXPECT_EQ(request.HeaderText(),
            "Accept: text/plain\r\nCookie: a=1\r\nConnection: close\r\nContent-Type: text/xml\r\n");
}

TEST_F(InetWorker, SendsAgentMethodPathAndHeadersInOrder) {
  TRequest request;
  request.SetField(rfContentType, "text/xml");
  request.SetField(rfConnection, "close");
  request.SetField(rfCookie, "sid=7");
  request.SetField(rfAccept, "text/plain");
  ASSERT_EQ(Get(request, "/sitecount/abc"), INET_OK);
  EXPECT_EQ(request.Response().Text(), "42");
  auto seen = Server->Requests();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].Method, "GET");
  EXPECT_EQ(seen[0].Path, "/sitecount/abc");
  EXPECT_EQ(seen[0].Version, "HTTP/1.1");
  EXPECT_EQ(seen[0].UserAgent, "Orvanta Explorer 0.31");
  std::vector<std::string> order;
  for (const auto& h : seen[0].Headers)
    if (h.first == "Accept" || h.first == "Cookie" || h.first == "Connection" || h.first == "Content-Type")
      order.push_back(h.first + ": " + h.second);
  EXPECT_EQ(order, (std::vector<std::string>{"Accept: text/plain", "Cookie: sid=7", "Connection: close",
                                             "Content-Type: text/xml"}));
}

TEST_F(InetWorker, LargeBodyArrivesWholeOverSeveralReads) {
  TFakeRoute route;
  route.GeneratedSize = 20000;
  Server->SetCountRoute("big", route);
  TRequest request;
  ASSERT_EQ(Get(request, "/sitecount/big"), INET_OK);
  EXPECT_EQ(request.Response().Text(), FakeBody(20000));
  EXPECT_GE(request.Response().ReadCount, 3);
}

TEST_F(InetWorker, EmptyBodyAndErrorStatusAreNotFailures) {
  Server->SetCount("empty", "");
  TRequest empty;
  EXPECT_EQ(Get(empty, "/sitecount/empty"), INET_OK);
  EXPECT_EQ(empty.Response().Text(), "");

  TFakeRoute failing;
  failing.Status = 503;
  failing.Body = "busy";
  Server->SetCountRoute("down", failing);
  TRequest down;
  EXPECT_EQ(Get(down, "/sitecount/down"), INET_OK);
  EXPECT_EQ(down.Response().Text(), "busy");
}

TEST_F(InetWorker, SetCookieIsKeptOnlyWhenItFits) {
  struct {
    const char* Id;
    std::string Cookie;  // empty: no Set-Cookie header
    std::string Expected;
  } cases[] = {
      {"none", "", ""},
      {"short", "sid=abc; path=/", "sid=abc; path=/"},
      {"fits", "k=" + std::string(1000, 'v'), "k=" + std::string(1000, 'v')},
      {"long", "k=" + std::string(1100, 'v'), ""},
  };
  for (const auto& c : cases) {
    TFakeRoute route;
    route.Body = "1";
    if (!c.Cookie.empty()) route.ExtraHeaders.push_back("Set-Cookie: " + c.Cookie);
    Server->SetCountRoute(c.Id, route);
    TRequest request;
    EXPECT_EQ(Get(request, std::string("/sitecount/") + c.Id), INET_OK) << c.Id;
    EXPECT_EQ(request.Response().GetHeader(hfSetCookie), c.Expected) << c.Id;
    EXPECT_EQ(request.Response().Text(), "1") << c.Id;
  }
}

TEST_F(InetWorker, PollsNeverComeFromTheCache) {
  Server->SetCount("c", "1");
  TRequest first;
  ASSERT_EQ(Get(first, "/sitecount/c"), INET_OK);
  Server->SetCount("c", "2");
  TRequest second;
  ASSERT_EQ(Get(second, "/sitecount/c"), INET_OK);
  EXPECT_EQ(second.Response().Text(), "2");
  EXPECT_EQ(Server->Requests().size(), 2u);
}

TEST_F(InetWorker, EscapedIdsKeepTheRequestLineIntact) {
  TRequest request;
  std::string path = "/sitecount/" + EncodePathSegment(u"a b?c\r\nd/\u00e7");
  ASSERT_EQ(Get(request, path), INET_OK);
  auto seen = Server->Requests();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].Path, "/sitecount/a%20b%3Fc%0D%0Ad%2F%C3%A7");
  EXPECT_EQ(seen[0].Version, "HTTP/1.1");
}

TEST_F(InetWorker, BodyPastTheCapFailsAndIsDropped) {
  TFakeRoute exact;
  exact.GeneratedSize = 1 << 20;
  Server->SetCountRoute("exact", exact);
  TRequest atCap;
  EXPECT_EQ(Get(atCap, "/sitecount/exact"), INET_OK);
  EXPECT_EQ(atCap.Response().Text().size(), size_t(1) << 20);

  TFakeRoute huge;
  huge.GeneratedSize = 50u << 20;
  Server->SetCountRoute("huge", huge);
  TRequest overCap;
  EXPECT_EQ(Get(overCap, "/sitecount/huge"), INET_FAILED);
  EXPECT_EQ(overCap.Response().Text(), "");
}

TEST_F(InetWorker, UnreachableServerFails) {
  TRequest request;
  request.SetField(rfHost, "127.0.0.1:" + std::to_string(ClosedLoopbackPort()));
  request.SetField(rfPath, "/sitecount/x");
  EXPECT_EQ(request.Send(InternetHandle), INET_FAILED);
  EXPECT_EQ(request.Response().Text(), "");
}

TEST_F(InetWorker, StalledServersEndByTheDeadline) {
  TFakeRoute dribble = FakeRoute(TFakeMode::Dribble, std::string(100, '7'));
  dribble.DribbleIntervalMs = 200;  // every byte comes well within the receive time-out
  Server->SetCountRoute("never", FakeRoute(TFakeMode::NeverAnswer));
  Server->SetCountRoute("stall", FakeRoute(TFakeMode::HeadersThenStall, "12345"));
  Server->SetCountRoute("dribble", dribble);
  for (const char* id : {"never", "stall", "dribble"}) {
    TRequest request;
    request.Limits = ShortLimits();
    auto start = Clock::now();
    EXPECT_EQ(Get(request, std::string("/sitecount/") + id), INET_FAILED) << id;
    EXPECT_LT(MsSince(start), 4000) << id;
  }
}

TEST_F(InetWorker, HostileAnswersEndPromptly) {
  Server->SetCountRoute("short", FakeRoute(TFakeMode::ShortBody, "12"));
  Server->SetCountRoute("chunk", FakeRoute(TFakeMode::BadChunk));
  Server->SetCountRoute("html", FakeRoute(TFakeMode::HtmlPage));
  for (const char* id : {"short", "chunk", "html"}) {
    TRequest request;
    request.Limits = ShortLimits();
    auto start = Clock::now();
    Get(request, std::string("/sitecount/") + id);
    EXPECT_LT(MsSince(start), 4000) << id;
    EXPECT_LE(request.Response().Text().size(), 200u) << id;
  }
}

TEST_F(InetWorker, TruncatedBodyIsAFailure) {
  Server->SetCountRoute("short", FakeRoute(TFakeMode::ShortBody, "12"));
  TRequest request;
  request.Limits = ShortLimits();
  EXPECT_EQ(Get(request, "/sitecount/short"), INET_FAILED);
  EXPECT_EQ(request.Response().Text(), "12");
}

TEST_F(InetWorker, RedirectsAreNotFollowed) {
  Server->SetCountRoute("loop", FakeRoute(TFakeMode::RedirectLoop));
  TRequest request;
  request.Limits = ShortLimits();
  EXPECT_EQ(Get(request, "/sitecount/loop"), INET_OK);
  EXPECT_EQ(request.Response().Text(), "moved");
  EXPECT_EQ(Server->Requests().size(), 1u);
}

TEST_F(InetWorker, WorkerPostsItsResultToTheWindow) {
  TCounterHostOverride counterHost(*Server);
  TTestWindow window;
  TInetThread worker(window.Handle, InternetHandle, WM_TESTDONE);
  worker.Request().SetField(rfHost, CounterHost());
  worker.Request().SetField(rfPath, "/sitecount/abc");
  worker.Resume();
  LPARAM result = 99;
  ASSERT_TRUE(window.WaitDone(5000, &result));
  EXPECT_EQ(result, INET_OK);
  EXPECT_EQ(worker.Request().Response().Text(), "42");
}

TEST_F(InetWorker, NullInternetHandleFailsAtOnceAndStillPosts) {
  TTestWindow window;
  TInetThread worker(window.Handle, nullptr, WM_TESTDONE);
  worker.Request().SetField(rfHost, Server->HostPort());
  worker.Request().SetField(rfPath, "/sitecount/abc");
  auto start = Clock::now();
  worker.Resume();
  LPARAM result = 99;
  ASSERT_TRUE(window.WaitDone(2000, &result));
  EXPECT_EQ(result, INET_FAILED);
  EXPECT_LT(MsSince(start), 1000);
  EXPECT_TRUE(Server->Requests().empty());
}

TEST_F(InetWorker, DestroyedTargetWindowGetsNoMessage) {
  TFakeRoute slow;
  slow.Body = "5";
  slow.DelayMs = 300;
  Server->SetCountRoute("slow", slow);
  TTestWindow window;
  TInetThread worker(window.Handle, InternetHandle, WM_TESTDONE);
  worker.Request().SetField(rfHost, Server->HostPort());
  worker.Request().SetField(rfPath, "/sitecount/slow");
  worker.Resume();
  ASSERT_TRUE(Server->WaitForRequests(1, 3000));
  DestroyWindow(window.Handle);
  auto start = Clock::now();
  while (!worker.Finished() && MsSince(start) < 3000) Sleep(10);
  ASSERT_TRUE(worker.Finished());
  EXPECT_EQ(worker.Request().Response().Text(), "5");
  MSG msg;
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_TESTDONE, WM_TESTDONE, PM_REMOVE));
}

TEST_F(InetWorker, FreeingAHungWorkerReturnsAndItEndsLater) {
  Server->SetCountRoute("never", FakeRoute(TFakeMode::NeverAnswer));
  TTestWindow window;
  {
    auto worker = std::make_unique<TInetThread>(window.Handle, InternetHandle, WM_TESTDONE);
    worker->Request().Limits = ShortLimits();
    worker->Request().Limits.ReceiveTimeoutMs = 2500;
    worker->Request().Limits.DeadlineMs = 3000;
    worker->Request().SetField(rfHost, Server->HostPort());
    worker->Request().SetField(rfPath, "/sitecount/never");
    worker->Resume();
    ASSERT_TRUE(Server->WaitForRequests(1, 3000));
    auto start = Clock::now();
    worker.reset();
    EXPECT_LT(MsSince(start), 2000);
  }
  EXPECT_GE(TInetThread::LiveCount(), 1);
  WaitForDetachedWorkers(6000);
  EXPECT_EQ(TInetThread::LiveCount(), 0);
  // The detached worker must not report to a window whose owner let it go.
  EXPECT_FALSE(window.WaitDone(200));
}

TEST_F(InetWorker, TwoHungTrackersDoNotBlockAThird) {
  Server->SetCountRoute("hung1", FakeRoute(TFakeMode::NeverAnswer));
  Server->SetCountRoute("hung2", FakeRoute(TFakeMode::NeverAnswer));
  Server->SetCount("live", "3");
  // Wine does not enforce the per-server limit, so check that it was raised.
  for (DWORD option : {INTERNET_OPTION_MAX_CONNS_PER_SERVER, INTERNET_OPTION_MAX_CONNS_PER_1_0_SERVER}) {
    DWORD conns = 0, size = sizeof conns;
    ASSERT_TRUE(InternetQueryOptionA(nullptr, option, &conns, &size));
    EXPECT_EQ(conns, INET_MAX_CONNS_PER_SERVER);
  }
  TTestWindow window;
  std::vector<std::unique_ptr<TInetThread>> hung;
  for (const char* id : {"hung1", "hung2"}) {
    hung.push_back(std::make_unique<TInetThread>(window.Handle, InternetHandle, WM_TESTDONE));
    hung.back()->Request().Limits = ShortLimits();
    hung.back()->Request().Limits.ReceiveTimeoutMs = 3000;
    hung.back()->Request().Limits.DeadlineMs = 3000;
    hung.back()->Request().SetField(rfHost, Server->HostPort());
    hung.back()->Request().SetField(rfPath, std::string("/sitecount/") + id);
    hung.back()->Resume();
  }
  ASSERT_TRUE(Server->WaitForRequests(2, 3000));
  TRequest live;
  auto start = Clock::now();
  EXPECT_EQ(Get(live, "/sitecount/live"), INET_OK);
  EXPECT_EQ(live.Response().Text(), "3");
  EXPECT_LT(MsSince(start), 2000);
  EXPECT_FALSE(hung[0]->Finished());
  hung.clear();
  WaitForDetachedWorkers(8000);
}

TEST_F(InetWorker, FakeServerStopDropsStalledConnections) {
  Server->SetCountRoute("never", FakeRoute(TFakeMode::NeverAnswer));
  Server->SetCountRoute("stall", FakeRoute(TFakeMode::HeadersThenStall, "12345"));
  std::string bodies[2] = {"x", "x"};
  std::thread clients[2];
  const char* ids[2] = {"never", "stall"};
  for (int i = 0; i < 2; ++i) {
    clients[i] = std::thread([this, &bodies, &ids, i] {
      TRequest request;
      Get(request, std::string("/sitecount/") + ids[i]);
      bodies[i] = request.Response().Text();
    });
  }
  ASSERT_TRUE(Server->WaitForRequests(2, 3000));
  auto start = Clock::now();
  Server->Stop();
  EXPECT_LT(MsSince(start), 1000);
  for (auto& c : clients) c.join();
  // The dropped connections end the requests long before their time-outs.
  EXPECT_LT(MsSince(start), 3000);
  EXPECT_EQ(bodies[0], "");
  EXPECT_EQ(bodies[1], "");
  EXPECT_EQ(Server->OpenConnections(), 0);
}
