// Feeds arbitrary answers to every source's count reader, and arbitrary
// settings to the request builder. Properties: a count is never below zero
// and comes only with no failure; a request that may be sent holds no line
// break in any header or path, and sends a key over plain http only to this
// machine.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "widget/CountPolling.h"
#include "widget/TrackerSource.h"

namespace {
void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "property broken: %s\n", what);
    std::abort();
  }
}
bool Plain(const std::string& s) {
  for (unsigned char c : s)
    if (c < 0x20 || c == 0x7F) return false;
  return true;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  // The first byte picks the source; up to the first newline is the pointer
  // (or server template), the rest the body.
  const char16_t* names[] = {u"", u"plausible", u"umami", u"matomo", u"fathom", u"json"};
  const std::string rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  const size_t cut = rest.find('\n');
  const std::string head = rest.substr(0, cut), body = cut == std::string::npos ? "" : rest.substr(cut + 1);
  TSourceSettings source;
  source.Source = names[data[0] % 6];
  source.Pointer = WideFromUtf8(head);
  TTransferResult t;
  t.Ok = data[0] & 0x80;
  t.Status = t.Ok ? 200 : 429;
  t.Error = t.Ok ? TTransferError::None : TTransferError::Status;
  t.Body = body;
  t.RetryAfter = head;
  TPollFailure why;
  const int32_t count = ReadSourceCount(source, t, 1000000, why);
  Check(count >= NO_COUNT, "a count is a count or none");
  Check((count >= 0) == (why.Kind == TFailure::None), "a count comes without a failure");
  if (why.PausedUntil) Check(why.PausedUntil > 1000000 && why.PausedUntil <= 1003600, "a pause is at most an hour");

  source.Server = WideFromUtf8(head);
  source.Header = WideFromUtf8(body.substr(0, 64));
  TSourceRequest r;
  if (BuildSourceRequest(source, WideFromUtf8(body.substr(0, 16)), body.substr(16, 16), "127.0.0.1:1", r, why)) {
    Check(Plain(r.Path) && Plain(r.Host) && Plain(r.Body), "the request line stays one line");
    for (const std::string& h : r.KeyHeaders) Check(Plain(h), "a header stays one line");
  }
  return 0;
}
