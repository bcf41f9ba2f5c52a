#include "tools/fakeserver/FakeServer.h"

#include <chrono>
#include <cstring>

#include "platform/WinApi.h"

namespace {

constexpr uint32_t POLL_MS = 50;          // how often blocked loops look at the stop flag
constexpr size_t MAX_HEAD_BYTES = 65536;  // a longer request head is dropped
constexpr size_t SEND_SLICE = 65536;

struct TWinsock {
  TWinsock() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
  }
  ~TWinsock() { WSACleanup(); }
};

bool WaitSocket(SOCKET s, bool forWrite) {
  fd_set set;
  FD_ZERO(&set);
  FD_SET(s, &set);
  timeval tv{0, static_cast<long>(POLL_MS * 1000)};
  return select(0, forWrite ? nullptr : &set, forWrite ? &set : nullptr, nullptr, &tv) > 0;
}

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return std::string();
  size_t e = s.find_last_not_of(" \t");
  return s.substr(b, e - b + 1);
}

const char* Reason(int status) {
  switch (status) {
    case 200: return "OK";
    case 301: return "Moved Permanently";
    case 302: return "Found";
    case 303: return "See Other";
    case 307: return "Temporary Redirect";
    case 308: return "Permanent Redirect";
    case 400: return "Bad Request";
    case 401: return "Unauthorized";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 429: return "Too Many Requests";
    case 500: return "Internal Server Error";
    case 503: return "Service Unavailable";
    default: return "Status";
  }
}

}  // namespace

char FakeBodyByte(size_t i) { return static_cast<char>('a' + i % 26 + (i / 26 % 2) * ('A' - 'a')); }

std::string FakeBody(size_t size) {
  std::string s(size, '\0');
  for (size_t i = 0; i < size; ++i) s[i] = FakeBodyByte(i);
  return s;
}

std::string TFakeRequest::Header(const std::string& name) const {
  std::string key = Lower(name);
  for (const auto& h : Headers)
    if (Lower(h.first) == key) return h.second;
  return std::string();
}

TFakeServer::TFakeServer() : FListen(INVALID_SOCKET) {
  static TWinsock winsock;
}

TFakeServer::~TFakeServer() { Stop(); }

std::string TFakeServer::HostPort() const { return "127.0.0.1:" + std::to_string(FPort); }

bool TFakeServer::Start(uint16_t port) {
  if (FListen != INVALID_SOCKET) return true;
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) return false;
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(port);
  const BOOL reuse = TRUE;
  if (ReuseAddress) setsockopt(s, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&reuse), sizeof reuse);
  int len = sizeof addr;
  if (bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(s, SOMAXCONN) != 0 ||
      getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    closesocket(s);
    return false;
  }
  FPort = ntohs(addr.sin_port);
  FListen = s;
  FStopping = false;
  FAcceptThread = std::thread(&TFakeServer::AcceptLoop, this);
  return true;
}

void TFakeServer::Stop() {
  if (FListen == INVALID_SOCKET) return;
  {
    // Under the lock, or a connection about to wait in Pause misses the wake-up and sleeps on.
    std::lock_guard<std::mutex> guard(FLock);
    FStopping = true;
  }
  FChanged.notify_all();
  if (FAcceptThread.joinable()) FAcceptThread.join();
  ReapConnections(true);
  closesocket(static_cast<SOCKET>(FListen));
  FListen = INVALID_SOCKET;
}

void TFakeServer::ReapConnections(bool all) {
  std::vector<TConnection> ending;
  {
    std::lock_guard<std::mutex> guard(FLock);
    for (auto it = FConnections.begin(); it != FConnections.end();) {
      if (all || it->Done->load()) {
        ending.push_back(std::move(*it));
        it = FConnections.erase(it);
      } else {
        ++it;
      }
    }
  }
  for (auto& c : ending) c.Thread.join();
}

void TFakeServer::AcceptLoop() {
  SOCKET listener = static_cast<SOCKET>(FListen);
  while (!FStopping) {
    if (!WaitSocket(listener, false)) continue;
    SOCKET s = accept(listener, nullptr, nullptr);
    if (s == INVALID_SOCKET) continue;
    u_long nonBlocking = 1;
    ioctlsocket(s, FIONBIO, &nonBlocking);
    ReapConnections(false);
    auto done = std::make_shared<std::atomic<bool>>(false);
    ++FOpenConnections;
    std::thread t([this, s, done] {
      Serve(s);
      closesocket(s);
      --FOpenConnections;
      *done = true;
    });
    std::lock_guard<std::mutex> guard(FLock);
    FConnections.push_back(TConnection{std::move(t), done});
  }
}

bool TFakeServer::Pause(uint32_t ms) const {
  std::unique_lock<std::mutex> lock(FLock);
  return !FChanged.wait_for(lock, std::chrono::milliseconds(ms), [&] { return FStopping.load(); });
}

void TFakeServer::SetCount(const std::string& id, const std::string& body) {
  TFakeRoute route;
  route.Body = body;
  SetCountRoute(id, route);
}

void TFakeServer::SetCountRoute(const std::string& id, const TFakeRoute& route) {
  std::lock_guard<std::mutex> guard(FLock);
  FCounts[id] = route;
}

void TFakeServer::SetDefaultCount(int32_t count) {
  std::lock_guard<std::mutex> guard(FLock);
  FDefaultCount = count;
}

void TFakeServer::SetRoute(const std::string& path, const TFakeRoute& route) {
  std::lock_guard<std::mutex> guard(FLock);
  FRoutes[path] = route;
}

void TFakeServer::SetHandler(TFakeHandler handler) {
  std::lock_guard<std::mutex> guard(FLock);
  FHandler = std::move(handler);
}

std::vector<TFakeRequest> TFakeServer::Requests() const {
  std::lock_guard<std::mutex> guard(FLock);
  return FRequests;
}

bool TFakeServer::WaitForRequests(size_t count, uint32_t timeoutMs) const {
  std::unique_lock<std::mutex> lock(FLock);
  return FChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return FRequests.size() >= count; });
}

void TFakeServer::ClearRequests() {
  std::lock_guard<std::mutex> guard(FLock);
  FRequests.clear();
}

TFakeRoute TFakeServer::RouteFor(const TFakeRequest& request) const {
  static const std::string countPrefix = "/sitecount/";
  TFakeHandler handler;
  {
    std::lock_guard<std::mutex> guard(FLock);
    handler = FHandler;
  }
  // A copy, called unlocked: the handler may take its own lock or call back into the server.
  TFakeRoute answer;
  if (handler && handler(request, answer)) return answer;
  const std::string& path = request.Path;
  std::lock_guard<std::mutex> guard(FLock);
  auto exact = FRoutes.find(path);
  if (exact != FRoutes.end()) return exact->second;
  if (path.compare(0, countPrefix.size(), countPrefix) == 0) {
    auto count = FCounts.find(path.substr(countPrefix.size()));
    if (count != FCounts.end()) return count->second;
    TFakeRoute route;
    route.Body = std::to_string(FDefaultCount);
    return route;
  }
  TFakeRoute missing;
  missing.Status = 404;
  missing.Body = "Not Found";
  return missing;
}

void TFakeServer::Serve(uintptr_t socketValue) {
  SOCKET s = static_cast<SOCKET>(socketValue);
  auto sendAll = [&](const char* data, size_t size) {
    while (size > 0) {
      if (FStopping) return false;
      int n = send(s, data, static_cast<int>(std::min(size, SEND_SLICE)), 0);
      if (n == SOCKET_ERROR) {
        if (WSAGetLastError() != WSAEWOULDBLOCK) return false;
        WaitSocket(s, true);
        continue;
      }
      data += n;
      size -= static_cast<size_t>(n);
    }
    return true;
  };
  auto sendText = [&](const std::string& text) { return sendAll(text.data(), text.size()); };

  // Read the request head (and a body the head announces).
  std::string data;
  size_t headEnd = std::string::npos;
  char buffer[4096];
  while (headEnd == std::string::npos) {
    if (FStopping || data.size() > MAX_HEAD_BYTES) return;
    if (!WaitSocket(s, false)) continue;
    int n = recv(s, buffer, sizeof buffer, 0);
    if (n == 0) return;
    if (n < 0) {
      if (WSAGetLastError() == WSAEWOULDBLOCK) continue;
      return;
    }
    data.append(buffer, static_cast<size_t>(n));
    headEnd = data.find("\r\n\r\n");
  }

  TFakeRequest request;
  size_t lineEnd = data.find("\r\n");
  std::string requestLine = data.substr(0, lineEnd);
  size_t sp1 = requestLine.find(' '), sp2 = requestLine.rfind(' ');
  if (sp1 == std::string::npos || sp2 == sp1) return;
  request.Method = requestLine.substr(0, sp1);
  request.Path = requestLine.substr(sp1 + 1, sp2 - sp1 - 1);
  request.Version = requestLine.substr(sp2 + 1);
  for (size_t pos = lineEnd + 2; pos < headEnd;) {
    size_t end = data.find("\r\n", pos);
    std::string line = data.substr(pos, end - pos);
    size_t colon = line.find(':');
    if (colon != std::string::npos) request.Headers.emplace_back(line.substr(0, colon), Trim(line.substr(colon + 1)));
    pos = end + 2;
  }
  request.UserAgent = request.Header("User-Agent");
  size_t bodyLength = static_cast<size_t>(std::strtoul(request.Header("Content-Length").c_str(), nullptr, 10));
  request.Body = data.substr(headEnd + 4);
  while (request.Body.size() < bodyLength && bodyLength <= MAX_HEAD_BYTES) {
    if (FStopping) return;
    if (!WaitSocket(s, false)) continue;
    int n = recv(s, buffer, sizeof buffer, 0);
    if (n <= 0) break;
    request.Body.append(buffer, static_cast<size_t>(n));
  }
  {
    std::lock_guard<std::mutex> guard(FLock);
    FRequests.push_back(request);
  }
  FChanged.notify_all();

  TFakeRoute route = RouteFor(request);
  if (route.DelayMs && !Pause(route.DelayMs)) return;
  if (route.Mode == TFakeMode::NeverAnswer) {
    while (Pause(60000)) {
    }
    return;
  }
  int status = route.Status;
  std::string body = route.GeneratedSize ? std::string() : route.Body;
  size_t bodySize = route.GeneratedSize ? route.GeneratedSize : body.size();
  std::string contentType = route.ContentType;
  std::string extra;
  for (const auto& line : route.ExtraHeaders) extra += line + "\r\n";
  if (route.Mode == TFakeMode::RedirectLoop) {
    status = 302;
    extra += "Location: http://" + HostPort() + request.Path + "\r\n";
    body = "moved";
    bodySize = body.size();
  } else if (route.Mode == TFakeMode::HtmlPage) {
    contentType = "text/html";
    body = "<html><head><title>Oops</title></head><body><h1>Something went wrong</h1></body></html>";
    bodySize = body.size();
  }

  std::string head = "HTTP/1.1 " + std::to_string(status) + " " + Reason(status) + "\r\n";
  head += "Content-Type: " + contentType + "\r\n";
  head += "Connection: close\r\n";
  head += extra;
  size_t announced = route.Mode == TFakeMode::ShortBody ? bodySize + 100 : bodySize;
  head += "Content-Length: " + std::to_string(announced) + "\r\n\r\n";
  if (!sendText(head)) return;
  if (route.Mode == TFakeMode::HeadersThenStall) {
    while (Pause(60000)) {
    }
    return;
  }
  if (route.Mode == TFakeMode::Dribble) {
    for (size_t i = 0; i < bodySize; ++i) {
      char c = route.GeneratedSize ? FakeBodyByte(i) : body[i];
      if (!sendAll(&c, 1) || !Pause(route.DribbleIntervalMs)) return;
    }
    return;
  }
  if (route.GeneratedSize) {
    std::string slice;
    for (size_t sent = 0; sent < bodySize; sent += slice.size()) {
      size_t n = std::min(SEND_SLICE, bodySize - sent);
      slice.resize(n);
      for (size_t i = 0; i < n; ++i) slice[i] = FakeBodyByte(sent + i);
      if (!sendText(slice)) return;
    }
  } else {
    sendText(body);
  }
  // Let the client read everything before the socket closes.
  shutdown(s, SD_SEND);
  for (int i = 0; i < 10 && !FStopping; ++i) {
    if (!WaitSocket(s, false)) continue;
    int n = recv(s, buffer, sizeof buffer, 0);
    if (n == 0 || (n < 0 && WSAGetLastError() != WSAEWOULDBLOCK)) break;
  }
}
