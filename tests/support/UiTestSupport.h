#pragma once
// Shared by the framework's Windows tests: the framework is started once per
// test process, and small helpers read pixels and pump messages.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/Widgets.h"

namespace uitest {

struct WidgetsEnvironment : ::testing::Environment {
  void SetUp() override { Unit.reset(new TWidgetsUnit); }
  void TearDown() override { Unit.reset(); }
  std::unique_ptr<TWidgetsUnit> Unit;
};

inline ::testing::Environment* const kEnvironment = ::testing::AddGlobalTestEnvironment(new WidgetsEnvironment);

// Non-premultiplied ARGB of one bitmap pixel.
inline uint32_t PixelAt(Gdiplus::GpBitmap* bitmap, int x, int y) {
  Gdiplus::ARGB color = 0;
  Gdiplus::DllExports::GdipBitmapGetPixel(bitmap, x, y, &color);
  return color;
}

// Runs this thread's message loop for a while, or until done() holds.
inline void Pump(int milliseconds, const std::function<bool()>& done = nullptr) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  while (std::chrono::steady_clock::now() < end) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    if (done && done()) return;
    Sleep(5);
  }
}

// The screen pixel as 0x00RRGGBB.
inline uint32_t ScreenPixel(int x, int y) {
  HDC screen = GetDC(nullptr);
  COLORREF c = GetPixel(screen, x, y);
  ReleaseDC(nullptr, screen);
  return (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
}

// A paint handler that fills the whole canvas with argb and counts its calls.
inline TPaintEvent FillWith(uint32_t argb, int* paints = nullptr) {
  return [argb, paints](TComponent*, TWidgetCanvas* canvas) {
    if (paints) ++*paints;
    canvas->Brush()->SetColor(argb);
    canvas->FillRect(RECT{0, 0, canvas->Width(), canvas->Height()});
  };
}

// A mouse handler that logs "what keys x,y".
inline TMouseEvent Logger(std::vector<std::string>& log, const char* what) {
  return [&log, what](TComponent*, int32_t keys, int32_t x, int32_t y) {
    log.push_back(std::string(what) + " " + std::to_string(keys) + " " + std::to_string(x) + "," + std::to_string(y));
  };
}

}  // namespace uitest
