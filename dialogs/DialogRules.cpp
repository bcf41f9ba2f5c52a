#include "dialogs/DialogRules.h"

#include <algorithm>
#include <limits>

#include "text/IntegerSyntax.h"

int32_t SliderFromOpacity(int32_t opacity) { return std::clamp(SLIDER_SUM - opacity, SLIDER_MIN, SLIDER_MAX); }

uint8_t OpacityFromSlider(int32_t position) {
  return static_cast<uint8_t>(std::clamp(SLIDER_SUM - position, SLIDER_MIN, SLIDER_MAX));
}

int32_t RefreshIntervalMs(const WideString& text) {
  constexpr int32_t kMaxSeconds = std::numeric_limits<int32_t>::max() / 1000;
  int32_t seconds = 0;
  if (!ParseInteger32(text, seconds) || seconds <= 0) seconds = DEFAULT_REFRESH_SECONDS;
  return std::min(seconds, kMaxSeconds) * 1000;
}

bool AlertThreshold(const WideString& text, int32_t& value) {
  value = 0;
  if (text.empty()) return true;
  int32_t n = 0;
  if (!ParseInteger32(text, n) || n < 0) return false;
  value = n;
  return true;
}
