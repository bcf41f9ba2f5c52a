#pragma once
// The counter service: the program's own, polled at its counter host with
// no key; its answer is the count as plain text.
#include <cstdint>
#include <string>

// The response body with codes 0 to 32 trimmed at both ends, then read in the
// program's integer syntax (text/IntegerSyntax.h); NO_COUNT when invalid.
int32_t ParseCount(const std::string& body);
