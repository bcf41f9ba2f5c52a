#include "inet/InetThrd.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <system_error>
#include <vector>

namespace {

// Neither WinInet nor any proxy cache may answer a poll with an old count.
// Redirects are followed by Send, not WinInet: under Wine it follows a redirect
// loop for ever inside HttpSendRequest, out of reach of the request's deadline.
constexpr DWORD REQUEST_FLAGS = INTERNET_FLAG_HYPERLINK | INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                                INTERNET_FLAG_PRAGMA_NOCACHE | INTERNET_FLAG_NO_AUTO_REDIRECT |
                                // The user's cookies and logons belong to the browser; a redirect
                                // must not carry them to a host the user never named.
                                INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_NO_AUTH;

using Clock = std::chrono::steady_clock;

std::atomic<int> liveJobs{0};

// Secure hops abandoned at their deadline whose threads a silent server still
// holds. Past this many a new one is refused at once, so a server that never
// answers cannot pile up threads for ever. Hops in flight within their deadline
// do not count: many trackers polling a slow server together all get through.
constexpr int MAX_HELD_SECURE_HOPS = 16;
std::atomic<int> heldSecureHops{0};

void SetTimeout(HINTERNET h, DWORD option, DWORD ms) {
  InternetSetOptionA(h, option, &ms, sizeof ms);
}

// What the platform's last failure means to the user.
TTransferError LastTransferError() {
  switch (GetLastError()) {
    case ERROR_INTERNET_TIMEOUT: return TTransferError::TimedOut;
    case ERROR_INTERNET_SEC_CERT_DATE_INVALID:
    case ERROR_INTERNET_SEC_CERT_CN_INVALID:
    case ERROR_INTERNET_INVALID_CA:
    case ERROR_INTERNET_SEC_CERT_ERRORS:
    case ERROR_INTERNET_SEC_CERT_NO_REV:
    case ERROR_INTERNET_SEC_CERT_REV_FAILED:
    case ERROR_INTERNET_SEC_CERT_REVOKED:
    case ERROR_INTERNET_SEC_INVALID_CERT: return TTransferError::Certificate;
    default: return TTransferError::NoConnection;
  }
}

int Failed(TResponse& response, TTransferError error) {
  response.Error = error;
  return INET_FAILED;
}

// A connection closed before the announced Content-Length ends the reads as
// quietly as a complete body; a cut-off count must not pass for a whole one.
bool BodyComplete(HINTERNET request, size_t received) {
  DWORD announced = 0, size = sizeof announced, index = 0;
  if (!HttpQueryInfoA(request, HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &announced, &size, &index))
    return true;
  return received == announced;
}

}  // namespace

TRequest::TRequest() : FResponse(new TResponse) {
  FFields[rfMethod] = "GET";
  FFields[rfVersion] = "HTTP/1.1";
}

void TRequest::SetField(int index, const std::string& value) {
  if (index >= 0 && index < REQUEST_FIELD_COUNT) FFields[static_cast<size_t>(index)] = value;
}

std::string TRequest::HeaderText() const {
  static const struct {
    int Field;
    const char* Name;
  } order[] = {{rfAccept, "Accept"}, {rfContentType, "Content-Type"}};
  std::string text;
  for (const auto& h : order) {
    const std::string& value = FFields[static_cast<size_t>(h.Field)];
    if (!value.empty()) text += std::string(h.Name) + ": " + value + "\r\n";
  }
  for (const std::string& line : KeyHeaders) text += line + "\r\n";
  return text;
}

namespace {

bool IsRedirect(DWORD status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// What one hop sends, copied from the request, so that a hop run on a thread
// of its own touches nothing its caller may free.
struct THopInput {
  std::string Method, Version, Headers, Body;
  TRequestLimits Limits;
};

// One request to one server. A redirect of a GET ends it early with the
// Location in location; otherwise the body is read and the result returned.
int SendHop(const THopInput& request, HINTERNET internet, const TRedirectTarget& target, Clock::time_point deadline,
            TResponse& response, std::string& location) {
  auto pastDeadline = [&] { return Clock::now() >= deadline; };
  // Every hop, and each platform wait inside it, stays within the whole request's deadline.
  auto bounded = [&](DWORD ms) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return static_cast<DWORD>(std::max<long long>(1, std::min<long long>(ms, left)));
  };
  if (pastDeadline()) return Failed(response, TTransferError::TimedOut);
  TInetHandle connection(InternetConnectA(internet, target.Server.Host.c_str(), target.Server.Port, nullptr, nullptr,
                                          INTERNET_SERVICE_HTTP, 0, 0));
  if (!connection) return Failed(response, LastTransferError());
  // A certificate the platform does not trust, for another name or out of date
  // fails the send: no flag here ever waives those checks.
  const DWORD flags = REQUEST_FLAGS | (target.Scheme == TUrlScheme::Https ? INTERNET_FLAG_SECURE : 0);
  TInetHandle handle(HttpOpenRequestA(connection.Get(), request.Method.c_str(), target.Path.c_str(), request.Version.c_str(),
                                      nullptr, nullptr, flags, 0));
  if (!handle) return Failed(response, LastTransferError());
  SetTimeout(handle.Get(), INTERNET_OPTION_CONNECT_TIMEOUT, bounded(request.Limits.ConnectTimeoutMs));
  SetTimeout(handle.Get(), INTERNET_OPTION_SEND_TIMEOUT, bounded(request.Limits.SendTimeoutMs));
  SetTimeout(handle.Get(), INTERNET_OPTION_RECEIVE_TIMEOUT, bounded(request.Limits.ReceiveTimeoutMs));

  const std::string& headers = request.Headers;
  const std::string& body = request.Body;
  if (!HttpSendRequestA(handle.Get(), headers.c_str(), static_cast<DWORD>(headers.size()),
                        body.empty() ? nullptr : const_cast<char*>(body.data()), static_cast<DWORD>(body.size())))
    return Failed(response, pastDeadline() ? TTransferError::TimedOut : LastTransferError());

  DWORD status = 0, size = sizeof status, index = 0;
  if (!HttpQueryInfoA(handle.Get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, &index))
    return Failed(response, TTransferError::NoConnection);
  response.Status = status;
  {
    char retry[128] = {};
    DWORD retryLength = sizeof retry;
    index = 0;
    // A rate-limited answer says when to ask again; a longer value is no date.
    if (HttpQueryInfoA(handle.Get(), HTTP_QUERY_RETRY_AFTER, retry, &retryLength, &index))
      response.RetryAfter.assign(retry, strnlen(retry, std::min<size_t>(retryLength, sizeof retry)));
  }
  // Other methods are not repeated at another address; their redirect is their answer.
  if (IsRedirect(status) && request.Method == "GET") {
    char buffer[INET_LOCATION_BUFFER] = {};
    DWORD length = sizeof buffer;
    index = 0;
    if (HttpQueryInfoA(handle.Get(), HTTP_QUERY_LOCATION, buffer, &length, &index)) {
      location.assign(buffer, strnlen(buffer, std::min<size_t>(length, sizeof buffer)));
      if (!location.empty()) return INET_OK;
    }
  }

  std::vector<char> buffer(INET_READ_SIZE);
  for (;;) {
    // Checked between reads, so a server that sends one byte at a time is cut off too.
    if (pastDeadline()) return Failed(response, TTransferError::TimedOut);
    DWORD available = 0;
    if (!InternetQueryDataAvailable(handle.Get(), &available, 0, 0))
      return Failed(response, pastDeadline() ? TTransferError::TimedOut : LastTransferError());
    // Ask only for what is already there: a full-size read would block until
    // 8192 bytes came, out of the deadline's reach.
    DWORD want = available == 0 ? INET_READ_SIZE : std::min(available, INET_READ_SIZE);
    std::fill(buffer.begin(), buffer.end(), 0);
    DWORD got = 0;
    if (!InternetReadFile(handle.Get(), buffer.data(), want, &got))
      return Failed(response, pastDeadline() ? TTransferError::TimedOut : LastTransferError());
    if (got == 0) break;
    if (response.Body.size() + got > request.Limits.MaxBodyBytes) {
      response.Body = std::string();
      return Failed(response, TTransferError::TooLarge);
    }
    response.Body.append(buffer.data(), got);
    ++response.ReadCount;
  }
  // An error page is kept for whoever wants to read it, but is no answer.
  if (status < 200 || status > 299) return Failed(response, TTransferError::Status);
  if (!BodyComplete(handle.Get(), response.Body.size())) return Failed(response, TTransferError::Incomplete);
  return INET_OK;
}

// Under Wine the TLS handshake waits for the server with no time-out at all, out
// of reach of the deadline and of closing the handle. A secure hop therefore
// runs on a thread of its own, which is abandoned at the deadline and frees its
// copies itself whenever the platform lets it go.
int SendSecureHop(const THopInput& request, HINTERNET internet, const TRedirectTarget& target,
                  Clock::time_point deadline, TResponse& response, std::string& location) {
  struct TOutcome {
    std::mutex Lock;
    std::condition_variable Changed;
    bool Finished = false;  // everything here is guarded by Lock
    bool Abandoned = false;  // counted in heldSecureHops until the thread ends
    int Result = INET_FAILED;
    TResponse Response;
    std::string Location;
  };
  auto outcome = std::make_shared<TOutcome>();
  if (heldSecureHops.load() >= MAX_HELD_SECURE_HOPS) return Failed(response, TTransferError::Crowded);
  try {
    std::thread([outcome, request, internet, target, deadline] {
      TResponse hopResponse;
      std::string hopLocation;
      const int result = SendHop(request, internet, target, deadline, hopResponse, hopLocation);
      std::lock_guard<std::mutex> guard(outcome->Lock);
      if (outcome->Abandoned) --heldSecureHops;
      outcome->Finished = true;
      outcome->Result = result;
      outcome->Response = std::move(hopResponse);
      outcome->Location = std::move(hopLocation);
      outcome->Changed.notify_all();
    }).detach();
  } catch (const std::system_error&) {
    return Failed(response, TTransferError::NoConnection);
  }
  std::unique_lock<std::mutex> lock(outcome->Lock);
  if (!outcome->Changed.wait_until(lock, deadline, [&] { return outcome->Finished; })) {
    outcome->Abandoned = true;
    ++heldSecureHops;
    return Failed(response, TTransferError::TimedOut);
  }
  response = std::move(outcome->Response);
  location = std::move(outcome->Location);
  return outcome->Result;
}

}  // namespace

int TRequest::Send(HINTERNET internet) {
  *FResponse = TResponse();
  if (!internet) return Failed(*FResponse, TTransferError::NoConnection);
  const auto deadline = Clock::now() + std::chrono::milliseconds(Limits.DeadlineMs);
  THostSetting host;
  if (!ParseHostSetting(FFields[rfHost], host)) return Failed(*FResponse, TTransferError::NoConnection);
  TRedirectTarget target;
  target.Scheme = host.Scheme;
  target.Server = host.Server;
  target.Path = FFields[rfPath];
  auto key = [](const TRedirectTarget& t) {
    return (t.Scheme == TUrlScheme::Https ? "https://" : "http://") + t.Server.Host + ":" +
           std::to_string(t.Server.Port) + t.Path;
  };
  THopInput input{FFields[rfMethod], FFields[rfVersion], HeaderText(), Body, Limits};
  bool carriesKey = !KeyHeaders.empty() || BodyCarriesKey;
  const TRedirectTarget first = target;
  std::vector<std::string> visited;
  for (int redirects = 0;; ++redirects) {
    *FResponse = TResponse();  // the response is the final hop's alone
    // A key goes to its own server only, and never in clear over the network.
    if (carriesKey && (target.Scheme != first.Scheme || target.Server.Host != first.Server.Host ||
                       target.Server.Port != first.Server.Port)) {
      KeyHeaders.clear();
      input.Headers = HeaderText();
      input.Body.clear();
      carriesKey = false;
    }
    if (carriesKey && target.Scheme == TUrlScheme::Http && !IsLoopbackHost(target.Server.Host))
      return Failed(*FResponse, TTransferError::KeyOverHttp);
    std::string location;
    const int result = target.Scheme == TUrlScheme::Https
                           ? SendSecureHop(input, internet, target, deadline, *FResponse, location)
                           : SendHop(input, internet, target, deadline, *FResponse, location);
    if (location.empty()) return result;
    visited.push_back(key(target));
    TRedirectTarget next;
    if (redirects == INET_MAX_REDIRECTS) return Failed(*FResponse, TTransferError::TooManyRedirects);
    if (!ResolveLocation(location, target, next)) return Failed(*FResponse, TTransferError::Status);
    // An answer asked for over TLS is never taken from plain HTTP.
    if (target.Scheme == TUrlScheme::Https && next.Scheme != TUrlScheme::Https)
      return Failed(*FResponse, TTransferError::InsecureRedirect);
    if (std::find(visited.begin(), visited.end(), key(next)) != visited.end())
      return Failed(*FResponse, TTransferError::TooManyRedirects);
    target = next;
  }
}

// State shared by the owner's handle and the worker thread; whichever lets go
// last frees it.
struct TInetThread::TJob {
  TJob(HWND targetWindow, HINTERNET internet, UINT doneMessage)
      : Internet(internet), TargetWindow(targetWindow), DoneMessage(doneMessage) {
    ++liveJobs;
  }
  ~TJob() { --liveJobs; }

  TRequest Request;
  HINTERNET Internet;
  HWND TargetWindow;
  UINT DoneMessage;

  std::mutex Lock;
  std::condition_variable Changed;
  bool Finished = false;  // guarded by Lock
  int Result = INET_FAILED;  // guarded by Lock
  bool Detached = false;  // guarded by Lock: the owner is gone, post nothing
};

TInetThread::TInetThread(HWND targetWindow, HINTERNET internet, UINT doneMessage)
    : FJob(std::make_shared<TJob>(targetWindow, internet, doneMessage)) {}

TInetThread::~TInetThread() { Release(WORKER_FREE_WAIT_MS); }

void TInetThread::Release(DWORD waitMs) {
  if (!FThread.joinable()) return;
  std::unique_lock<std::mutex> lock(FJob->Lock);
  if (FJob->Changed.wait_for(lock, std::chrono::milliseconds(waitMs), [&] { return FJob->Finished; })) {
    lock.unlock();
    FThread.join();  // only the post is left to do
  } else {
    FJob->Detached = true;
    lock.unlock();
    FThread.detach();
  }
}

TRequest& TInetThread::Request() { return FJob->Request; }
HWND TInetThread::TargetWindow() const { return FJob->TargetWindow; }
UINT TInetThread::DoneMessage() const { return FJob->DoneMessage; }

bool TInetThread::Finished() const {
  std::lock_guard<std::mutex> guard(FJob->Lock);
  return FJob->Finished;
}

int TInetThread::Result() const {
  std::lock_guard<std::mutex> guard(FJob->Lock);
  return FJob->Result;
}

void TInetThread::Resume() {
  if (FThread.joinable()) return;
  std::shared_ptr<TJob> job = FJob;
  FThread = std::thread([job] {
    int result = job->Request.Send(job->Internet);
    bool post;
    {
      std::lock_guard<std::mutex> guard(job->Lock);
      job->Finished = true;
      job->Result = result;
      post = !job->Detached;
    }
    job->Changed.notify_all();
    // The owner's window may be gone already; then the message has nowhere to go.
    if (post && IsWindow(job->TargetWindow))
      PostMessageA(job->TargetWindow, job->DoneMessage, 0, static_cast<LPARAM>(result));
  });
}

int TInetThread::LiveCount() { return liveJobs.load(); }

namespace {

// Owner of the root handle: opened once, with the per-server connection limit
// raised first, and closed as the program ends.
class TInternetSession {
public:
  TInternetSession() {
    DWORD conns = INET_MAX_CONNS_PER_SERVER;
    InternetSetOptionA(nullptr, INTERNET_OPTION_MAX_CONNS_PER_SERVER, &conns, sizeof conns);
    InternetSetOptionA(nullptr, INTERNET_OPTION_MAX_CONNS_PER_1_0_SERVER, &conns, sizeof conns);
    FHandle.Reset(InternetOpenA(INET_AGENT, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  }
  // A worker left running still uses the handle; the process's end takes it then.
  ~TInternetSession() {
    if (TInetThread::LiveCount() != 0) static_cast<void>(FHandle.Release());
  }
  TInternetSession(const TInternetSession&) = delete;
  TInternetSession& operator=(const TInternetSession&) = delete;

  HINTERNET Handle() const { return FHandle.Get(); }

private:
  TInetHandle FHandle;
};

}  // namespace

// Widget threads start requests at once; a function-local static is made
// exactly once whichever thread asks first.
HINTERNET InternetRoot() {
  static const TInternetSession session;
  return session.Handle();
}

std::unique_ptr<TInetThread> StartGet(HWND targetWindow, UINT doneMessage, const std::string& host,
                                      const std::string& path) {
  try {
    auto worker = std::make_unique<TInetThread>(targetWindow, InternetRoot(), doneMessage);
    worker->Request().SetField(rfHost, host);
    worker->Request().SetField(rfPath, path);
    worker->Resume();
    return worker;
  } catch (...) {
    return nullptr;
  }
}
