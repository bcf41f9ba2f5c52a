#pragma once
// Window-free screen geometry: DPI scaling of layout values, and which
// monitor a rectangle is on, so that widgets snap to the right work area and
// never end up where no monitor shows them. Positions are physical pixels.
#include <cstdint>
#include <vector>

#include "platform/ScreenRect.h"

// The DPI at which every layout value of the program is written (100 %).
constexpr uint32_t BASE_DPI = 96;

struct TMonitorArea {
  TScreenRect Bounds;
  TScreenRect WorkArea;
  uint32_t Dpi = BASE_DPI;
};

// A DPI the layout can trust: what the platform reports, or 96 for nonsense.
uint32_t SaneDpi(uint32_t dpi);
// A 96-DPI layout value at Dpi, rounded to the nearest pixel (halves away from zero).
int32_t ScaleToDpi(int32_t value, uint32_t dpi);
// A font size in points at Dpi, as the pixel height of its em.
float PointsToPixels(float points, uint32_t dpi);

bool RectsMeet(const TScreenRect& a, const TScreenRect& b);

// The monitor a rectangle is on: the one it overlaps most, else the nearest;
// -1 without monitors.
int MonitorOfRect(const TScreenRect& rect, const std::vector<TMonitorArea>& monitors);

// The work area of the monitor the rectangle is on; Fallback without monitors.
TScreenRect WorkAreaOf(const TScreenRect& rect, const std::vector<TMonitorArea>& monitors,
                       const TScreenRect& fallback);

// A rectangle that meets no monitor's work area moves, keeping its size, just
// inside the nearest edge of the nearest work area; one still visible, even in
// part, stays. True when it moved.
bool KeepOnScreen(TScreenRect& rect, const std::vector<TMonitorArea>& monitors);
