#pragma once
// The tray icon's tip: the total of every tracker's count, then each tracker
// with its count, so a user reads them all without finding the widgets.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/WideTypes.h"

struct TTrackerCount {
  WideString Title;  // its title, or its ID when it has none
  int32_t Count;     // NO_COUNT: shown as "?", left out of the total and counted apart
};

// "212 online (1 ?) · Blog 132 · Shop 80 · Forum ?", where onlineText is the
// language's "%s online". At most limit characters: trackers that do not fit
// are left out whole and "…" says so. Empty for no trackers.
WideString TrayTotalText(const std::vector<TTrackerCount>& counts, const WideString& onlineText, size_t limit);
