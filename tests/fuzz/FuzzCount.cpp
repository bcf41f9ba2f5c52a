// Feeds arbitrary bytes to the integer syntax, the count parser, the request
// path builder and the redirect resolver. Properties instead of a second
// parser: every int32 printed in decimal, "0x%08X" or "$%X" reads back, also
// as a count between blanks; text that parses stops parsing when a byte is
// added after it; blanks around a count body change nothing; no crash on junk.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "tests/support/FuzzCheck.h"
#include "inet/InetUtil.h"
#include "text/IntegerSyntax.h"
#include "tracker/CountPolling.h"
#include "tracker/sources/Counter.h"

namespace {

bool IsHex(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'); }

void CheckRoundTrip(int32_t n) {
  char forms[3][16];
  std::snprintf(forms[0], sizeof forms[0], "%d", static_cast<int>(n));
  std::snprintf(forms[1], sizeof forms[1], "0x%08X", static_cast<unsigned>(n));
  std::snprintf(forms[2], sizeof forms[2], "$%X", static_cast<unsigned>(n));
  for (const char* form : forms) {
    int32_t value = n ^ 1;
    Check(ParseInteger32(std::string(form), value) && value == n, "an int32 printed reads back");
    Check(ParseCount(std::string("\r\n ") + form + "\t\r\n") == n, "a count between blanks reads back");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  if (size >= 4)
    CheckRoundTrip(static_cast<int32_t>(uint32_t(data[0]) | uint32_t(data[1]) << 8 | uint32_t(data[2]) << 16 |
                                        uint32_t(data[3]) << 24));

  int32_t value = 0;
  if (ParseInteger32(bytes, value)) {
    int32_t again = value ^ 1;
    Check(ParseInteger32(std::string("  ") + bytes, again) && again == value, "leading spaces change nothing");
    Check(!ParseInteger32(bytes + " ", again), "a trailing blank does not parse");
  }

  Check(ParseCount("\r\n " + bytes + "\t") == ParseCount(bytes), "blanks around a body change nothing");

  WideString id;
  for (size_t i = 0; i + 1 < size; i += 2) id += static_cast<WideChar>(data[i] | (data[i + 1] << 8));
  const std::string path = EncodePathText(id);
  for (size_t i = 0; i < path.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(path[i]);
    Check(c > 0x20 && c < 0x7F && c != '?' && c != '#', "the path cannot break the request line");
    if (c == '%') Check(i + 2 < path.size() && IsHex(path[i + 1]) && IsHex(path[i + 2]), "every % starts an escape");
  }

  TRedirectTarget current, next;
  current.Server = {"127.0.0.1", 8080};
  current.Path = "/sitecount/x?y";
  if (ResolveLocation(bytes, current, next)) {
    Check(!next.Path.empty() && next.Path[0] == '/', "a followed path is absolute");
    Check(!next.Server.Host.empty() && next.Server.Port != 0, "a followed host is whole");
    for (unsigned char c : next.Path) Check(c > 0x20 && c < 0x7F && c != '#', "a followed path is plain");
  }
  return 0;
}
