#pragma once
// A rectangle on the screen in physical pixels. Here rather than with the
// window code, so that a tracker's position is known to code that has no window.
#include <cstdint>

// Right and Bottom are exclusive.
struct TScreenRect {
  int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;
};
