#pragma once
// Text in the system's ANSI code page, as the platform's narrow calls and
// narrow resources use it: the program's one pair of conversions.
#include <string>

#include "platform/WinApi.h"

inline WideString WideFromAnsi(const std::string& bytes) {
  if (bytes.empty()) return WideString();
  const int n = MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  if (n <= 0) return WideString();
  WideString text(static_cast<size_t>(n), u'\0');
  MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), WinStr(&text[0]), n);
  return text;
}

inline std::string AnsiFromWide(const WideString& text) {
  if (text.empty()) return std::string();
  const int n =
      WideCharToMultiByte(CP_ACP, 0, WinStr(text), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  if (n <= 0) return std::string();
  std::string bytes(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, WinStr(text), static_cast<int>(text.size()), &bytes[0], n, nullptr, nullptr);
  return bytes;
}
