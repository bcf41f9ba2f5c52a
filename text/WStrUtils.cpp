#include "text/WStrUtils.h"

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

WideString CaughtErrorText() {
  try {
    throw;
  } catch (const Exception& e) {
    return e.Message();
  } catch (const std::exception& e) {
    return WideFromUtf8(e.what());
  } catch (...) {
    return u"unknown error";
  }
}
