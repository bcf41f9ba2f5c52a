#include "text/IntegerSyntax.h"

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

bool ParseInteger32(const std::string& text, int32_t& value) {
  const size_t n = text.size();
  size_t i = 0;
  while (i < n && text[i] == ' ') ++i;
  bool negative = false;
  if (i < n && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  bool hex = false;
  if (i < n && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
    hex = true;
    ++i;
  } else if (i + 1 < n && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    hex = true;
    i += 2;
  }
  if (i == n) return false;
  uint32_t magnitude = 0;
  if (hex) {
    // Hex is a 32-bit pattern taken as signed, so a colour written as 0xFFFFFFFF reads back as that colour.
    for (; i < n; ++i) {
      const int digit = HexValue(text[i]);
      if (digit < 0 || magnitude > 0x0FFFFFFFu) return false;
      magnitude = magnitude << 4 | static_cast<uint32_t>(digit);
    }
  } else {
    const uint64_t limit = negative ? 2147483648u : 2147483647u;
    uint64_t total = 0;
    for (; i < n; ++i) {
      if (text[i] < '0' || text[i] > '9') return false;
      total = total * 10 + static_cast<uint64_t>(text[i] - '0');
      if (total > limit) return false;
    }
    magnitude = static_cast<uint32_t>(total);
  }
  value = static_cast<int32_t>(negative ? 0u - magnitude : magnitude);
  return true;
}

bool ParseInteger32(const WideString& text, int32_t& value) {
  std::string narrow;
  narrow.reserve(text.size());
  for (WideChar c : text) {
    if (c >= 0x80) return false;
    narrow += static_cast<char>(c);
  }
  return ParseInteger32(narrow, value);
}
