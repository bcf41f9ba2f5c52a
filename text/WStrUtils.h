#pragma once
// Wide strings are UTF-16 everywhere, also in the native build where wchar_t is
// 32 bits wide; the Windows build casts to wchar_t only at the platform boundary.
#include <cstdint>
#include <exception>
#include <initializer_list>
#include <string>

#include "platform/WideTypes.h"

// Base of every error the program raises; Message is the exact user-facing text.
class Exception : public std::exception {
public:
  explicit Exception(WideString message);
  const WideString& Message() const noexcept { return FMessage; }
  const char* what() const noexcept override { return FUtf8.c_str(); }

private:
  WideString FMessage;
  std::string FUtf8;
};

// Inside a catch block: the caught error's message, for telling the user.
WideString CaughtErrorText();

// One argument of WideFormat: %d takes an integer, %s a text, %u an unsigned, %x hex.
struct FormatArg {
  FormatArg(int32_t v) : Kind(kInt), Int(v) {}
  FormatArg(uint32_t v) : Kind(kUInt), Int(static_cast<int64_t>(v)) {}
  FormatArg(const WideString& v) : Kind(kText), Text(&v) {}
  FormatArg(const WideChar* v) : Kind(kChars), Chars(v) {}
  enum { kInt, kUInt, kText, kChars } Kind;
  int64_t Int = 0;
  const WideString* Text = nullptr;
  const WideChar* Chars = nullptr;
};

// printf-like formatting for the program's messages ("List index out of bounds (%d)").
WideString WideFormat(const WideChar* format, std::initializer_list<FormatArg> args);

WideString WideFromUtf8(const std::string& text);
std::string Utf8FromWide(const WideString& text);
// ASCII (host names, paths, resource names) widened unit by unit.
inline WideString WideOfAscii(const std::string& ascii) { return WideString(ascii.begin(), ascii.end()); }
// The last two decimal digits of a clock field, as in "09:05".
inline WideString TwoDigits(int32_t n) {
  return WideString(1, static_cast<WideChar>(u'0' + n / 10 % 10)) + static_cast<WideChar>(u'0' + n % 10);
}
