// Feeds arbitrary answers to every source's count reader, and arbitrary
// settings to the request builder. Properties: a count comes only with no
// failure, and only the counter service's may be below zero, as it always
// was; a request that may be sent holds no line break or non-ASCII byte in
// any header or path, and sends a key over plain http only to this machine;
// a dashboard is an http(s) address or nothing.
#include <cstddef>
#include <cstdint>
#include <string>

#include "tests/support/FuzzCheck.h"
#include "tracker/CountPolling.h"
#include "tracker/TrackerSource.h"

namespace {
bool Plain(const std::string& s) {
  for (unsigned char c : s)
    if (c < 0x20 || c >= 0x7F) return false;
  return true;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  // The first byte picks the source from the table; up to the first newline is the pointer
  // (or server template), the rest the body.
  const std::string rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  const size_t cut = rest.find('\n');
  const std::string head = rest.substr(0, cut), body = cut == std::string::npos ? "" : rest.substr(cut + 1);
  TSourceSettings source;
  source.Source = SourceSetting(SourceRow(data[0] % SourceCount()));
  source.Pointer = WideFromUtf8(head);
  TTransferResult t;
  t.Ok = data[0] & 0x80;
  t.Status = t.Ok ? 200 : 429;
  t.Error = t.Ok ? TTransferError::None : TTransferError::Status;
  t.Body = body;
  t.RetryAfter = head;
  TPollFailure why;
  const int32_t count = ReadSourceCount(source, t, 1000000, why);
  // Only a source's count is bounded: the counter service's negative numbers
  // are read as they always were.
  if (!source.Source.empty()) Check(count >= NO_COUNT, "a count is a count or none");
  Check((count >= 0) == (why.Kind == TFailure::None), "a count comes without a failure");
  if (why.PausedUntil) Check(why.PausedUntil > 1000000 && why.PausedUntil <= 1003600, "a pause is at most an hour");
  FailureText(why, nullptr, u"12:00");

  // Bit 5: a key from the input, to try what a key may hold; otherwise a
  // marked key (bit 6) that no other part of the request can contain, so
  // that finding it says the key was sent.
  const bool inputKey = data[0] & 0x20;
  const std::string marked = "Mk7q";
  std::string key = data[0] & 0x40 ? marked : "";
  if (inputKey) key = body.size() > 16 ? body.substr(16, 16) : "";
  std::string header = body.substr(0, 64);
  for (size_t at; !inputKey && (at = header.find(marked)) != std::string::npos;) header.erase(at, marked.size());
  source.Server = WideFromUtf8(head);
  source.Header = WideFromUtf8(header);
  source.Page = source.Server;
  TSourceRequest r;
  if (BuildSourceRequest(source, WideFromUtf8(body.substr(0, 16)), key, "127.0.0.1:1", r, why)) {
    Check(Plain(r.Path) && Plain(r.Host) && Plain(r.Body), "the request line stays one line");
    bool keySent = !r.Body.empty();
    for (const std::string& h : r.KeyHeaders) {
      Check(Plain(h), "a header stays one line");
      keySent = keySent || (!inputKey && !key.empty() && h.find(key) != std::string::npos);
    }
    THostSetting host;
    Check(ParseHostSetting(r.Host, host) || source.Source.empty(), "a source's host is a host setting");
    if (keySent && !source.Source.empty() && host.Scheme == TUrlScheme::Http)
      Check(IsLoopbackHost(host.Server.Host), "a key goes over plain http only to this machine");
  }
  std::string page = DashboardUrl(source, WideFromUtf8(body.substr(0, 16)), "127.0.0.1:1");
  for (char& c : page) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  Check(page.empty() || page.compare(0, 7, "http://") == 0 || page.compare(0, 8, "https://") == 0,
        "Details opens web pages only");
  return 0;
}
