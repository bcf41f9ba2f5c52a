#pragma once
// Standard base64 (RFC 4648, with padding), for binary values kept in the
// text settings file.
#include <string>

std::string Base64Encode(const std::string& bytes);
// False for anything but canonical padded base64.
bool Base64Decode(const std::string& text, std::string& bytes);
