#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <vector>

#include "inet/InetThrd.h"
#include "tests/support/FakeServerFixture.h"
#include "tools/fakeserver/TlsFront.h"
#include "tests/support/Waiting.h"

namespace {

constexpr UINT WM_TESTDONE = WM_USER + 18;
using Clock = std::chrono::steady_clock;

long long MsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

TFakeRoute RedirectRoute(int status, const std::string& location) {
  TFakeRoute route;
  route.Status = status;
  route.ExtraHeaders = {"Location: " + location};
  return route;
}

// Every request goes to a loopback fake server unless a case names another host.
class InetWorker : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_NE(InternetRoot(), nullptr);
    Server = StartFakeServer();
    Host = Server->HostPort();
  }
  void TearDown() override {
    EXPECT_TRUE(waiting::WaitUntil([] { return TInetThread::LiveCount() == 0; })) << "a detached worker never ended";
    if (IsWindow(Window)) DestroyWindow(Window);
  }
  // Waits for the done message on the test window; false on time-out.
  bool WaitDone(int timeoutMs, LPARAM* result = nullptr) {
    MSG msg;
    auto done = [&] { return PeekMessageW(&msg, Window, WM_TESTDONE, WM_TESTDONE, PM_REMOVE) != FALSE; };
    if (!waiting::WaitUntil(done, timeoutMs)) return false;
    if (result) *result = msg.lParam;
    return true;
  }
  // A count ID, or a path of its own; short time-outs when receiveMs is given, the defaults otherwise.
  void Prepare(TRequest& request, const std::string& id, DWORD receiveMs = 0, DWORD deadlineMs = 0) {
    if (receiveMs) {
      request.Limits.ConnectTimeoutMs = request.Limits.SendTimeoutMs = 1000;
      request.Limits.ReceiveTimeoutMs = receiveMs;
      request.Limits.DeadlineMs = deadlineMs;
    }
    request.SetField(rfHost, Host);
    request.SetField(rfPath, id[0] == '/' ? id : "/sitecount/" + id);
  }
  int Get(TRequest& request, const std::string& id, DWORD receiveMs = 0, DWORD deadlineMs = 0) {
    Prepare(request, id, receiveMs, deadlineMs);
    return request.Send(InternetRoot());
  }
  std::unique_ptr<TInetThread> Start(HINTERNET internet, const std::string& id, DWORD receiveMs = 0,
                                     DWORD deadlineMs = 0) {
    auto worker = std::make_unique<TInetThread>(Window, internet, WM_TESTDONE);
    Prepare(worker->Request(), id, receiveMs, deadlineMs);
    worker->Resume();
    return worker;
  }
  std::unique_ptr<TFakeServer> Server;
  std::string Host;  // the host setting every request goes to
  // Message-only, on the test thread, for the workers' done messages.
  HWND Window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
};

}  // namespace

TEST_F(InetWorker, SendsAgentVerbatimPathAndExtraHeadersInFixedOrder) {
  TRequest request;
  EXPECT_EQ(request.HeaderText(), "");
  request.SetField(rfContentType, "text/xml");
  request.SetField(rfAccept, "text/plain");
  ASSERT_EQ(Get(request, EncodePathText(u"my.site/a b?c\r\n\u00e7")), INET_OK);
  EXPECT_EQ(request.Response().Text(), "42");
  auto seen = Server->Requests();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].Method + " " + seen[0].Path + " " + seen[0].Version,
            "GET /sitecount/my.site/a%20b%3Fc%0D%0A%C3%A7 HTTP/1.1");
  EXPECT_EQ(seen[0].UserAgent, "Orvanta Explorer 0.31");
  EXPECT_EQ(seen[0].Header("Pragma"), "no-cache") << "no cache may answer a poll";
  std::vector<std::string> order;
  for (const auto& h : seen[0].Headers)
    if (h.first == "Accept" || h.first == "Content-Type") order.push_back(h.first + ": " + h.second);
  EXPECT_EQ(order, (std::vector<std::string>{"Accept: text/plain", "Content-Type: text/xml"}));
}

TEST_F(InetWorker, OnlyAWholeBodyWithA2xxStatusSucceeds) {
  struct Case {
    const char* Id;
    TFakeRoute Route;
    int Result;
    std::string Body;
    int MinReads = 0;
  } cases[] = {
      {"big", {200, "", 20000}, INET_OK, FakeBody(20000), 3},
      {"empty", {}, INET_OK, ""},
      {"busy", {503}, INET_FAILED, "busy"},  // an error page is kept, but fails
      {"missing", {404}, INET_FAILED, "12"},
      {"short", FakeRoute(TFakeMode::ShortBody, "12"), INET_FAILED, "12"},
      {"cap", {200, "", 1 << 20}, INET_OK, FakeBody(1 << 20)},
      {"huge", {200, "", (1 << 20) + 1}, INET_FAILED, ""},
  };
  for (Case& c : cases) {
    if (c.Route.Mode == TFakeMode::Normal && !c.Route.GeneratedSize) c.Route.Body = c.Body;
    Server->SetCountRoute(c.Id, c.Route);
    TRequest request;
    EXPECT_EQ(Get(request, c.Id), c.Result) << c.Id;
    EXPECT_EQ(request.Response().Text(), c.Body) << c.Id;
    EXPECT_EQ(request.Response().Status, DWORD(c.Route.Status)) << c.Id;
    EXPECT_GE(request.Response().ReadCount, c.MinReads) << c.Id;
  }
  EXPECT_EQ(Server->Requests().size(), std::size(cases)) << "one request each";
}

// The deadline is shorter than the receive time-out, so every wait must be bounded by it.
TEST_F(InetWorker, GetFollowsAtMostFiveRedirectsAndEndsByTheDeadlineAlsoOnStalledServers) {
  // Another host:port, reached by an absolute Location and left by a relative one.
  auto other = StartFakeServer();
  TFakeRoute last = FakeRoute(TFakeMode::Normal, "77");
  Server->SetCountRoute("chain", RedirectRoute(302, "http://" + other->HostPort() + "/step"));
  // A cookie set on the way is the platform's to keep, not the program's to send.
  TFakeRoute step = RedirectRoute(301, "end");
  step.ExtraHeaders.push_back("Set-Cookie: jar=1; Path=/");
  other->SetRoute("/step", step);
  other->SetRoute("/end", last);
  TRequest chained;
  EXPECT_EQ(Get(chained, "chain"), INET_OK);
  EXPECT_EQ(chained.Response().Text(), "77");
  ASSERT_EQ(other->Requests().size(), 2u);
  EXPECT_EQ(other->Requests()[1].Header("Cookie"), "");

  // /h0 to /h5 each lead to the next; /h6 answers.
  const int statuses[] = {301, 302, 303, 307, 308, 302};
  for (int i = 0; i < 6; ++i)
    Server->SetRoute("/h" + std::to_string(i), RedirectRoute(statuses[i], "/h" + std::to_string(i + 1)));
  Server->SetRoute("/h6", FakeRoute(TFakeMode::Normal, "end"));
  for (int i = 0; i < 5; ++i) {
    TFakeRoute slow = RedirectRoute(302, "/slow" + std::to_string(i + 1));
    slow.DelayMs = 400;
    Server->SetRoute("/slow" + std::to_string(i), slow);
  }
  // To https on this plain server, whose silence the TLS handshake waits out.
  Server->SetRoute("/https", RedirectRoute(302, "https://localhost:" + std::to_string(Server->Port()) + "/h6"));
  Server->SetRoute("/post", RedirectRoute(307, "/h6"));
  Server->SetCountRoute("loop", FakeRoute(TFakeMode::RedirectLoop));
  Server->SetCountRoute("never", FakeRoute(TFakeMode::NeverAnswer));
  Server->SetCountRoute("stall", FakeRoute(TFakeMode::HeadersThenStall, "12345"));
  TFakeRoute dribble = FakeRoute(TFakeMode::Dribble, std::string(100, '7'));
  dribble.DribbleIntervalMs = 200;  // every byte comes well within the receive time-out
  Server->SetCountRoute("dribble", dribble);
  const struct {
    const char* Path;
    const char* Method;
    int Result;
    size_t Requests;
  } cases[] = {
      {"/h1", "GET", INET_OK, 6}, {"/h0", "GET", INET_FAILED, 6}, {"/sitecount/loop", "GET", INET_FAILED, 1},
      {"/slow0", "GET", INET_FAILED, 3}, {"/https", "GET", INET_FAILED, 1}, {"/post", "POST", INET_FAILED, 1},
      {"/sitecount/never", "GET", INET_FAILED, 1}, {"/sitecount/stall", "GET", INET_FAILED, 1},
      {"/sitecount/dribble", "GET", INET_FAILED, 1},
  };
  for (const auto& c : cases) {
    Server->ClearRequests();
    TRequest request;
    request.SetField(rfMethod, c.Method);
    auto start = Clock::now();
    EXPECT_EQ(Get(request, c.Path, 3000, 1000), c.Result) << c.Path;
    EXPECT_LT(MsSince(start), 2000) << c.Path;
    if (c.Result == INET_OK) {
      EXPECT_EQ(request.Response().Text(), "end") << c.Path;
    }
    // The slow chain ends by the deadline in its second or third hop.
    EXPECT_NEAR(double(Server->Requests().size()), double(c.Requests), c.Path == std::string("/slow0")) << c.Path;
  }
}

// The owner reads what the worker posted, for failures too. Https answers only
// through a trusted certificate for the counter host as a build would name it;
// the TLS front relays to Server.
TEST_F(InetWorker, WorkerPostsEveryResultAndHttpsAnswersOnlyThroughATrustedCertificateForItsName) {
  TTlsFront front(Server->Port());
  ASSERT_TRUE(front.Started()) << front.Error();
  const std::string secure = front.HostSetting(TTlsCert::Good);
  const std::string plain = "http://localhost:" + std::to_string(Server->Port());
  Server->SetCountRoute("up", RedirectRoute(301, secure + "/sitecount/rel"));
  Server->SetCountRoute("rel", RedirectRoute(302, "abc"));  // stays on https
  Server->SetCountRoute("down", RedirectRoute(302, plain + "/sitecount/abc"));
  const struct {
    HINTERNET Internet;
    std::string Host;
    const char* Id;
    LPARAM Result;
    size_t Requests;  // that reached Server
  } cases[] = {
      {InternetRoot(), Server->HostPort(), "abc", INET_OK, 1},
      {nullptr, Server->HostPort(), "abc", INET_FAILED, 0},  // at once, without network
      {InternetRoot(), "127.0.0.1:" + std::to_string(ClosedLoopbackPort()), "abc", INET_FAILED, 0},
      {InternetRoot(), secure, "abc", INET_OK, 1},
      {InternetRoot(), front.HostSetting(TTlsCert::WrongName), "abc", INET_FAILED, 0},
      {InternetRoot(), front.HostSetting(TTlsCert::Expired), "abc", INET_FAILED, 0},
      {InternetRoot(), front.HostSetting(TTlsCert::Untrusted), "abc", INET_FAILED, 0},
      {InternetRoot(), plain, "up", INET_OK, 3},
      {InternetRoot(), secure, "down", INET_FAILED, 1},  // never down to plain HTTP
      {InternetRoot(), "ftp://localhost:" + std::to_string(Server->Port()), "abc", INET_FAILED, 0},
  };
  for (const auto& c : cases) {
    Server->ClearRequests();
    Host = c.Host;
    auto start = Clock::now();
    auto worker = Start(c.Internet, c.Id, 3000, 5000);
    LPARAM result = 99;
    ASSERT_TRUE(WaitDone(8000, &result)) << c.Host << " " << c.Id;
    EXPECT_EQ(result, c.Result) << c.Host << " " << c.Id;
    EXPECT_EQ(worker->Result(), c.Result) << "the owner reads what was posted: " << c.Host << " " << c.Id;
    EXPECT_EQ(worker->Request().Response().Text(), c.Result == INET_OK ? "42" : "") << c.Host << " " << c.Id;
    EXPECT_EQ(Server->Requests().size(), c.Requests) << c.Host << " " << c.Id;
    EXPECT_LT(MsSince(start), c.Internet ? 8000 : 1000) << c.Host << " " << c.Id;
  }
}

TEST_F(InetWorker, FreeingAHungWorkerReturnsAndItEndsLaterWithoutPosting) {
  Server->SetCountRoute("never", FakeRoute(TFakeMode::NeverAnswer));
  auto worker = Start(InternetRoot(), "never", 2500, 3000);
  ASSERT_TRUE(Server->WaitForRequests(1, 3000));
  auto start = Clock::now();
  worker.reset();
  EXPECT_LT(MsSince(start), 2000);
  EXPECT_GE(TInetThread::LiveCount(), 1);
  EXPECT_FALSE(WaitDone(4000)) << "a worker its owner let go reports to no one";
}

// Trackers waking together poll in phase; a slow answer within the deadline is
// no silent server, however many wait for it at once.
TEST_F(InetWorker, ThirtySecureRequestsToASlowServerAtOnceAllGetTheirAnswer) {
  TTlsFront front(Server->Port());
  ASSERT_TRUE(front.Started()) << front.Error();
  TFakeRoute slow;
  slow.Body = "42";
  slow.DelayMs = 1500;
  Server->SetCountRoute("slow", slow);
  Host = front.HostSetting(TTlsCert::Good);
  std::vector<std::unique_ptr<TInetThread>> workers;
  for (int i = 0; i < 30; ++i) workers.push_back(Start(InternetRoot(), "slow"));
  for (size_t done = 0; done < workers.size(); ++done) ASSERT_TRUE(WaitDone(20000)) << done << " answered";
  for (const auto& worker : workers) {
    EXPECT_EQ(worker->Result(), INET_OK) << "error " << static_cast<int>(worker->Request().Response().Error);
    EXPECT_EQ(worker->Request().Response().Text(), "42");
  }
}

// A server that never answers holds a secure hop past its deadline (the
// platform's handshake waits without a bound). Sixteen held at once refuse the
// next at once, saying why; once they are let go, requests go again.
TEST_F(InetWorker, HopsHeldBySilentServersPastTheirDeadlineRefuseMoreWithTheirOwnReason) {
  Host = "https://localhost:" + std::to_string(Server->Port());  // speaks no TLS
  std::vector<std::unique_ptr<TInetThread>> held;
  for (int i = 0; i < 16; ++i) held.push_back(Start(InternetRoot(), "abc", 500, 1000));
  for (size_t done = 0; done < held.size(); ++done) ASSERT_TRUE(WaitDone(8000)) << done;
  for (const auto& worker : held) EXPECT_EQ(worker->Request().Response().Error, TTransferError::TimedOut);
  TRequest refused;
  const auto start = Clock::now();
  EXPECT_EQ(Get(refused, "abc", 500, 1000), INET_FAILED);
  EXPECT_EQ(refused.Response().Error, TTransferError::Crowded);
  EXPECT_LT(MsSince(start), 500);
  Server->Stop();  // drops the stalled connections: the held hops end
  EXPECT_TRUE(waiting::WaitUntil([&] {
    TRequest again;
    return Get(again, "abc", 500, 1000) == INET_FAILED && again.Response().Error != TTransferError::Crowded;
  }));
}
