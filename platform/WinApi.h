#pragma once
// The one place for mingw-w64 specifics: include this instead of <windows.h>.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <winsock2.h>
#include <windows.h>
#include <algorithm>

// <gdiplus.h> expects min and max in scope.
namespace Gdiplus {
using std::max;
using std::min;
}  // namespace Gdiplus

#include "platform/WideTypes.h"

// UTF-16 text crosses into the platform as wchar_t, which is 16 bits here.
static_assert(sizeof(wchar_t) == sizeof(WideChar), "wchar_t must be UTF-16 on Windows");
inline const wchar_t* WinStr(const WideString& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }
inline wchar_t* WinStr(WideChar* s) { return reinterpret_cast<wchar_t*>(s); }
inline const wchar_t* WinStr(const WideChar* s) { return reinterpret_cast<const wchar_t*>(s); }
inline WideString WideOf(const wchar_t* s) { return s ? WideString(reinterpret_cast<const WideChar*>(s)) : WideString(); }
inline WideString WideOf(const wchar_t* s, size_t n) { return WideString(reinterpret_cast<const WideChar*>(s), n); }
