#include "text/WFold.h"

#include <vector>

#ifdef _WIN32
#include "platform/WinApi.h"
#else
#include <clocale>
#include <cwctype>
#include <locale.h>
#endif

namespace {

// ASCII upper-cases the same in every ANSI code page, and CharUpperBuffA maps i
// to I even for Turkish, so pure ASCII names skip the platform round trip.
WideChar UpperAscii(WideChar c) { return c >= u'a' && c <= u'z' ? WideChar(c - 0x20) : c; }

bool FoldAscii(const WideString& name, WideString& out) {
  for (WideChar c : name)
    if (c >= 0x80) return false;
  out = name;
  for (WideChar& c : out) c = UpperAscii(c);
  return true;
}

}  // namespace

#ifdef _WIN32

WideString FoldName(const WideString& name) {
  WideString out;
  if (FoldAscii(name, out)) return out;
  // Through the thread's ANSI code page, as the user's locale sees letter case;
  // characters it lacks become its replacement character.
  const int units = static_cast<int>(name.size());
  const int bytes = WideCharToMultiByte(CP_THREAD_ACP, 0, WinStr(name), units, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return name;
  std::vector<char> narrow(static_cast<size_t>(bytes));
  WideCharToMultiByte(CP_THREAD_ACP, 0, WinStr(name), units, narrow.data(), bytes, nullptr, nullptr);
  CharUpperBuffA(narrow.data(), static_cast<DWORD>(bytes));
  const int wide = MultiByteToWideChar(CP_THREAD_ACP, 0, narrow.data(), bytes, nullptr, 0);
  if (wide <= 0) return name;
  std::vector<wchar_t> back(static_cast<size_t>(wide));
  MultiByteToWideChar(CP_THREAD_ACP, 0, narrow.data(), bytes, back.data(), wide);
  return WideOf(back.data(), back.size());
}

#else

namespace {

// The C locale upper-cases ASCII only; a UTF-8 locale knows every letter.
locale_t UnicodeLocale() {
  static const locale_t locale = [] {
    locale_t l = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    if (!l) l = newlocale(LC_CTYPE_MASK, "en_US.UTF-8", static_cast<locale_t>(nullptr));
    return l;
  }();
  return locale;
}

}  // namespace

WideString FoldName(const WideString& name) {
  WideString out;
  if (FoldAscii(name, out)) return out;
  out = name;
  const locale_t locale = UnicodeLocale();
  for (WideChar& c : out) {
    if (c < 0x80) {
      c = UpperAscii(c);
      continue;
    }
    // Surrogates are halves of a character, not letters.
    if (c >= 0xD800 && c < 0xE000) continue;
    const wint_t up = locale ? towupper_l(c, locale) : std::towupper(c);
    if (up <= 0xFFFF && !(up >= 0xD800 && up < 0xE000)) c = WideChar(up);
  }
  return out;
}

#endif
