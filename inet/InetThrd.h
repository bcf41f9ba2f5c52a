#pragma once
// One HTTP request run synchronously through WinInet on a short-lived worker
// thread, which posts a done message to its owner's window when it ends.
#include <array>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/WinApi.h"
#include <wininet.h>

#include "inet/InetUtil.h"
#include "platform/OwnedHandle.h"

namespace handle_traits {
struct Internet { using Type = HINTERNET; static void Free(HINTERNET h) { InternetCloseHandle(h); } };
}  // namespace handle_traits
using TInetHandle = TOwnedHandle<handle_traits::Internet>;

// Agent string of the shared root handle.
constexpr const char INET_AGENT[] = "Orvanta Explorer 0.31";

// Request field indexes; 3, 5 and 7 to 11 have no role.
enum TRequestField : int {
  rfHost = 0,  // a host setting: "host[:port]", "http://host[:port]" or "https://host[:port]"
  rfPath = 1,
  rfMethod = 2,
  rfContentType = 4,
  rfAccept = 6,
  rfVersion = 8,
};
constexpr int REQUEST_FIELD_COUNT = 12;

constexpr DWORD INET_READ_SIZE = 8192;       // bytes asked for per body read
constexpr DWORD INET_LOCATION_BUFFER = 2048; // a longer redirect target is not followed
constexpr int INET_MAX_REDIRECTS = 5;        // the sixth redirect fails the request
constexpr int INET_FAILED = -1;
constexpr int INET_OK = 0;

// Bounds of one request. Under Wine the platform's own send and receive
// time-outs are "wait forever", so every request carries its own.
struct TRequestLimits {
  DWORD ConnectTimeoutMs = 5000;
  DWORD SendTimeoutMs = 5000;
  DWORD ReceiveTimeoutMs = 10000;
  DWORD DeadlineMs = 15000;        // whole request with its redirects; bounds every wait
  size_t MaxBodyBytes = 1 << 20;   // past this the transfer fails and the body is dropped
};

// What the last server answered; after redirects, that of the final hop.
class TResponse {
public:
  // The whole body, byte for byte as received.
  std::string Text() const { return Body; }

  std::string Body;
  int ReadCount = 0;  // non-empty reads that delivered the body
  DWORD Status = 0;   // HTTP status code; 0 when no answer came
  TTransferError Error = TTransferError::None;  // why the request failed, None when it did not
  std::string RetryAfter;                       // the Retry-After header, as received
};

class TRequest {
public:
  TRequest();
  TRequest(const TRequest&) = delete;
  TRequest& operator=(const TRequest&) = delete;

  void SetField(int index, const std::string& value);
  // Extra request headers in their fixed order: Accept, Content-Type, then the
  // key headers.
  std::string HeaderText() const;
  // Runs the request on the calling thread, following redirects of a GET
  // itself: INET_OK only for a whole body with a 2xx status, else INET_FAILED.
  int Send(HINTERNET internet);

  TResponse& Response() { return *FResponse; }
  const TResponse& Response() const { return *FResponse; }
  std::string Body;  // optional data sent with the request
  // Header lines ("Name: value") that carry a key: sent to the first server
  // only, over https or to this machine, and dropped on a redirect to another.
  std::vector<std::string> KeyHeaders;
  bool BodyCarriesKey = false;  // the body holds a key: the same rules as KeyHeaders
  TRequestLimits Limits;

private:
  std::unique_ptr<TResponse> FResponse;
  std::array<std::string, REQUEST_FIELD_COUNT> FFields;
};

// Owner's handle on one worker. Created suspended; Resume starts the request.
// The request and response are shared with the worker thread, so an owner that
// frees a hung worker need not wait for it: after WORKER_FREE_WAIT_MS the worker
// is detached, posts nothing, and frees the shared state itself when it ends.
class TInetThread {
public:
  TInetThread(HWND targetWindow, HINTERNET internet, UINT doneMessage);
  ~TInetThread();
  TInetThread(const TInetThread&) = delete;
  TInetThread& operator=(const TInetThread&) = delete;

  // Owner's thread only, before Resume and after the done message.
  TRequest& Request();
  void Resume();
  bool Finished() const;
  // Send's result once Finished, INET_FAILED before.
  int Result() const;
  HWND TargetWindow() const;
  UINT DoneMessage() const;

  // Lets go of the worker: joins it when it finishes within waitMs, else
  // detaches it (it then posts nothing). The destructor waits WORKER_FREE_WAIT_MS.
  void Release(DWORD waitMs);

  // Worker states still alive, detached ones included.
  static int LiveCount();

  struct TJob;

private:
  std::shared_ptr<TJob> FJob;
  std::thread FThread;
};

constexpr DWORD WORKER_FREE_WAIT_MS = 1500;

// A started worker for one GET of path on the host setting, with the process's
// root handle; none when no thread could be made, and then no done message
// will come either.
std::unique_ptr<TInetThread> StartGet(HWND targetWindow, UINT doneMessage, const std::string& host,
                                      const std::string& path);
// Trackers poll one host at once; WinInet's default of two connections per
// server would queue every tracker behind two slow ones.
constexpr DWORD INET_MAX_CONNS_PER_SERVER = 128;

// The process's one root handle, shared by every worker; null when opening failed.
HINTERNET InternetRoot();
