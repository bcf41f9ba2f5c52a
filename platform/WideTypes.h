#pragma once
// The program's wide text: UTF-16 in every build, also natively where wchar_t
// is 32 bits wide. Both the text storage and the platform boundary use it.
#include <string>

using WideChar = char16_t;
using WideString = std::u16string;
