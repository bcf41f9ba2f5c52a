#pragma once
// A fake counter service and maker's web host on 127.0.0.1 for tests and the
// demo: configurable answers, hostile behaviours on request, and a record of
// every request it received.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

enum class TFakeMode {
  Normal,
  NeverAnswer,       // accept, read the request, never answer
  HeadersThenStall,  // send the head, then nothing
  Dribble,           // the body one byte at a time, DribbleIntervalMs apart
  ShortBody,         // Content-Length larger than the body, then close
  RedirectLoop,      // 302 back to the same path, for ever
  HtmlPage,          // an HTML error page with status 200
};

struct TFakeRoute {
  int Status = 200;
  std::string Body;
  size_t GeneratedSize = 0;  // when not 0: a body of this many pattern bytes instead of Body
  std::string ContentType = "text/plain";
  std::vector<std::string> ExtraHeaders;  // whole lines without CR LF, e.g. "Set-Cookie: a=b"
  uint32_t DelayMs = 0;                   // wait before answering
  TFakeMode Mode = TFakeMode::Normal;
  uint32_t DribbleIntervalMs = 2000;
};

struct TFakeRequest {
  std::string Method, Path, Version, UserAgent, Body;
  std::vector<std::pair<std::string, std::string>> Headers;  // in the order received
  std::string Header(const std::string& name) const;         // first match, any case
};

// Answers a request before the routes do: true when it filled the answer.
// The request's Path holds its query.
using TFakeHandler = std::function<bool(const TFakeRequest& request, TFakeRoute& answer)>;

// Byte i of a generated body.
char FakeBodyByte(size_t i);
std::string FakeBody(size_t size);

class TFakeServer {
public:
  TFakeServer();
  ~TFakeServer();
  TFakeServer(const TFakeServer&) = delete;
  TFakeServer& operator=(const TFakeServer&) = delete;

  // Listens on 127.0.0.1:port (0 = any free port) on a thread of its own.
  bool Start(uint16_t port = 0);
  // Set before Start: a fixed port can be taken again at once after the last
  // run's connections (still in TIME_WAIT).
  bool ReuseAddress = false;
  // Never hangs: stalled connections are dropped.
  void Stop();
  uint16_t Port() const { return FPort; }
  std::string HostPort() const;  // "127.0.0.1:<port>"

  // "/sitecount/<id>": the configured answer, else DefaultCount as text.
  void SetCount(const std::string& id, const std::string& body);
  void SetCountRoute(const std::string& id, const TFakeRoute& route);
  void SetDefaultCount(int32_t count);
  // Any other exact path, e.g. "/widget/x.png" or "/orvanta.xml".
  void SetRoute(const std::string& path, const TFakeRoute& route);
  // Consulted before the routes above; an empty one removes it. It runs on
  // the connection's thread, outside the server's lock.
  void SetHandler(TFakeHandler handler);

  std::vector<TFakeRequest> Requests() const;
  bool WaitForRequests(size_t count, uint32_t timeoutMs) const;
  void ClearRequests();
  int OpenConnections() const { return FOpenConnections.load(); }

private:
  struct TConnection {
    std::thread Thread;
    std::shared_ptr<std::atomic<bool>> Done;
  };
  void AcceptLoop();
  void Serve(uintptr_t socket);
  TFakeRoute RouteFor(const TFakeRequest& request) const;
  // Waits up to ms, returning false early when the server stops.
  bool Pause(uint32_t ms) const;
  void ReapConnections(bool all);

  uintptr_t FListen;
  uint16_t FPort = 0;
  std::thread FAcceptThread;
  std::atomic<bool> FStopping{false};
  std::atomic<int> FOpenConnections{0};

  mutable std::mutex FLock;  // guards everything below
  mutable std::condition_variable FChanged;
  std::map<std::string, TFakeRoute> FCounts;
  std::map<std::string, TFakeRoute> FRoutes;
  TFakeHandler FHandler;
  int32_t FDefaultCount = 42;
  std::vector<TFakeRequest> FRequests;
  std::vector<TConnection> FConnections;
};
