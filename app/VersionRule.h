#pragma once
// Whether the maker's version file names a version newer than this one.
#include "text/WStrUtils.h"

// Ordinal comparison, code unit by code unit; a longer text with the same
// start is the greater, so "1.5" and "1.100" are not newer than "1.50".
bool IsNewerVersion(const WideString& version);
