#pragma once
// The window-free rules behind the dialogs' fields.
#include <cstdint>

#include "text/WStrUtils.h"

// The transparency slider: its left end is fully opaque, its right end the
// most transparent a tracker may be.
constexpr int32_t SLIDER_MIN = 20;
constexpr int32_t SLIDER_MAX = 255;
constexpr int32_t SLIDER_SUM = SLIDER_MIN + SLIDER_MAX;  // position + opacity

int32_t SliderFromOpacity(int32_t opacity);
uint8_t OpacityFromSlider(int32_t position);

constexpr int32_t DEFAULT_REFRESH_SECONDS = 20;
// The refresh field (seconds) as a poll interval in milliseconds: empty, not a
// number (within 32 bits) or not positive gives 20 s; more seconds than the
// interval can hold are cut to the most it can.
int32_t RefreshIntervalMs(const WideString& text);

// The alert field: empty is 0 (no alert); otherwise a count from 0 up, or
// false for anything else, which the dialog refuses.
bool AlertThreshold(const WideString& text, int32_t& value);

