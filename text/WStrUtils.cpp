#include "text/WStrUtils.h"

#include <cstdlib>
#include <cstring>
#include <new>

Exception::Exception(WideString message) : FMessage(std::move(message)), FUtf8(Utf8FromWide(FMessage)) {}

std::string Utf8FromWide(const WideString& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t c = text[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000)
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    if (c < 0x80) out += char(c);
    else if (c < 0x800) { out += char(0xC0 | (c >> 6)); out += char(0x80 | (c & 0x3F)); }
    else if (c < 0x10000) { out += char(0xE0 | (c >> 12)); out += char(0x80 | ((c >> 6) & 0x3F)); out += char(0x80 | (c & 0x3F)); }
    else { out += char(0xF0 | (c >> 18)); out += char(0x80 | ((c >> 12) & 0x3F)); out += char(0x80 | ((c >> 6) & 0x3F)); out += char(0x80 | (c & 0x3F)); }
  }
  return out;
}

WideString WideFromUtf8(const std::string& text) {
  WideString out;
  size_t i = 0;
  auto cont = [&](size_t k) { return k < text.size() && (uint8_t(text[k]) & 0xC0) == 0x80; };
  while (i < text.size()) {
    uint8_t b = uint8_t(text[i]);
    uint32_t c = 0xFFFD;
    size_t n = 1;
    if (b < 0x80) c = b;
    else if ((b & 0xE0) == 0xC0 && cont(i + 1)) { c = ((b & 0x1Fu) << 6) | (text[i + 1] & 0x3F); n = 2; }
    else if ((b & 0xF0) == 0xE0 && cont(i + 1) && cont(i + 2)) {
      c = ((b & 0x0Fu) << 12) | ((text[i + 1] & 0x3Fu) << 6) | (text[i + 2] & 0x3F); n = 3;
    } else if ((b & 0xF8) == 0xF0 && cont(i + 1) && cont(i + 2) && cont(i + 3)) {
      c = ((b & 0x07u) << 18) | ((text[i + 1] & 0x3Fu) << 12) | ((text[i + 2] & 0x3Fu) << 6) | (text[i + 3] & 0x3F);
      n = 4;
    }
    if (c >= 0x10000 && c <= 0x10FFFF) {
      c -= 0x10000;
      out += WideChar(0xD800 + (c >> 10));
      out += WideChar(0xDC00 + (c & 0x3FF));
    } else {
      out += WideChar(c > 0x10FFFF ? 0xFFFD : c);
    }
    i += n;
  }
  return out;
}

WideString WideFormat(const WideChar* format, std::initializer_list<FormatArg> args) {
  WideString out;
  auto next = args.begin();
  for (const WideChar* p = format; *p; ++p) {
    if (*p != u'%' || p[1] == 0) { out += *p; continue; }
    WideChar conversion = *++p;
    if (conversion == u'%') { out += u'%'; continue; }
    if (next == args.end()) { out += u'%'; out += conversion; continue; }
    const FormatArg& a = *next++;
    switch (conversion) {
      case u's':
        if (a.Kind == FormatArg::kText) out += *a.Text;
        else if (a.Kind == FormatArg::kChars && a.Chars) out += a.Chars;
        break;
      case u'x': {
        static const char digits[] = "0123456789ABCDEF";
        uint32_t v = static_cast<uint32_t>(a.Int);
        WideString hex;
        do { hex.insert(hex.begin(), WideChar(digits[v & 15])); v >>= 4; } while (v);
        out += hex;
        break;
      }
      default: {  // d, u
        std::string dec = std::to_string(a.Int);
        out.append(dec.begin(), dec.end());
      }
    }
  }
  return out;
}

int WideLength(const WideChar* p) {
  if (!p) return 0;
  const WideChar* q = p;
  while (*q) ++q;
  return static_cast<int>(q - p);
}

WideChar* WideMove(WideChar* dest, const WideChar* src, int count) {
  // memmove picks the copy direction itself, so overlapping ranges are safe.
  if (count > 0 && dest != src) std::memmove(dest, src, static_cast<size_t>(count) * sizeof(WideChar));
  return dest;
}

WideChar* WideCopyZ(WideChar* dest, const WideChar* src) {
  return WideMove(dest, src, WideLength(src) + 1);
}

WideChar* WideCopyMax(WideChar* dest, const WideChar* src, int max) {
  int n = 0;
  if (src)
    while (n < max && src[n]) ++n;
  WideMove(dest, src, n);
  dest[n] = 0;
  return dest;
}

WideChar* WideFromBytes(WideChar* dest, const std::string& narrow) {
  WideChar* d = dest;
  for (unsigned char b : narrow) *d++ = WideChar(b);
  *d = 0;
  return dest;
}

// The block starts with its own byte count (2n + 4) so WideFreeZ needs nothing else.
WideChar* WideAllocZ(int count) {
  const uint64_t bytes = 2 * static_cast<uint64_t>(count < 0 ? 0 : count) + 4;
  if (bytes > INT32_MAX) throw std::bad_alloc();
  auto* block = static_cast<unsigned char*>(std::calloc(1, static_cast<size_t>(bytes)));
  if (!block) throw std::bad_alloc();
  const uint32_t header = static_cast<uint32_t>(bytes);
  std::memcpy(block, &header, sizeof header);
  return reinterpret_cast<WideChar*>(block + 4);
}

WideChar* WideDupZ(const WideChar* p) {
  if (!p) return nullptr;
  const int n = WideLength(p) + 1;
  return WideMove(WideAllocZ(n), p, n);
}

void WideFreeZ(WideChar* p) {
  if (p) std::free(reinterpret_cast<unsigned char*>(p) - 4);
}
