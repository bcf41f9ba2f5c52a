#pragma once
// The one integer syntax of the program, shared by settings values and count
// responses: leading U+0020 spaces, an optional "+" or "-", then either decimal
// digits within int32, or hexadecimal digits after "$", "x", "X", "0x" or "0X".
// Nothing may follow the digits.
#include <cstdint>
#include <string>

#include "text/WStrUtils.h"

// False, and value untouched, when text is not a whole integer of that syntax.
bool ParseInteger32(const std::string& text, int32_t& value);
// The same for wide text; a code unit outside ASCII never parses.
bool ParseInteger32(const WideString& text, int32_t& value);
