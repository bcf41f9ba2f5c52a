#pragma once
// The folded form under which section and key names are matched: two names
// that differ only in letter case fold to the same text.
#include "text/WStrUtils.h"

WideString FoldName(const WideString& name);
