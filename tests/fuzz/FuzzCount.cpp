// Feeds arbitrary response bodies and IDs to the count parser, the face texts
// and the request path builder.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "inet/InetUtil.h"
#include "widget/CountPolling.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string body(reinterpret_cast<const char*>(data), size);

  TCountPoller poller;
  poller.Count = static_cast<int32_t>(size) - 1;
  poller.StartPoll();
  TPollActions a = poller.ApplyResponse(body);
  if (poller.Count != ParseCount(body)) std::abort();
  if (a.CountCaption != CountText(poller.Count)) std::abort();
  // A parsed count prints back to the same value.
  if (poller.Count >= 0 && std::to_string(poller.Count) != Utf8FromWide(a.CountCaption)) std::abort();

  int32_t value = 0;
  if (ParseInteger32(body, value) && body.find_first_of(" \r\n\t") != std::string::npos) std::abort();

  WideString id;
  for (size_t i = 0; i + 1 < size; i += 2) id += static_cast<WideChar>(data[i] | (data[i + 1] << 8));
  poller.ID = id;
  poller.StartPoll();
  for (char c : poller.RequestPath())
    if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
          c == '%' || c == '/'))
      std::abort();

  THostPort hp = SplitHostPort(body);
  if (hp.Port == 0) std::abort();
  return 0;
}
