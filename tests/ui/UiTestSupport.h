#pragma once
// Shared by the framework's Windows tests: the framework is started once per
// test process, and small helpers read pixels and pump messages.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "ui/Widgets.h"

namespace uitest {

class WidgetsEnvironment : public ::testing::Environment {
public:
  void SetUp() override { FUnit = new TWidgetsUnit; }
  void TearDown() override { delete FUnit; }

private:
  TWidgetsUnit* FUnit = nullptr;
};

inline ::testing::Environment* const kEnvironment = ::testing::AddGlobalTestEnvironment(new WidgetsEnvironment);

// Non-premultiplied ARGB of one bitmap pixel.
inline uint32_t PixelAt(Gdiplus::GpBitmap* bitmap, int x, int y) {
  Gdiplus::ARGB color = 0;
  Gdiplus::DllExports::GdipBitmapGetPixel(bitmap, x, y, &color);
  return color;
}

inline uint8_t AlphaAt(Gdiplus::GpBitmap* bitmap, int x, int y) { return PixelAt(bitmap, x, y) >> 24; }

// A bitmap filled with one colour, owned by the caller.
inline TGpBitmap SolidBitmap(int w, int h, uint32_t argb) {
  TGpBitmap bitmap;
  Gdiplus::DllExports::GdipCreateBitmapFromScan0(w, h, 0, PixelFormat32bppARGB, nullptr, bitmap.Put());
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) Gdiplus::DllExports::GdipBitmapSetPixel(bitmap.Get(), x, y, argb);
  return bitmap;
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

// A font family GDI+ can make fonts from here: Wine offers whatever the machine
// has installed, often only DejaVu. Empty when there is none.
inline std::string InstalledFamily() {
  for (const char* name : {"DejaVu Sans", "Tahoma", "Arial", "Liberation Sans"}) {
    Gdiplus::GpFontFamily* family = nullptr;
    std::wstring wide(name, name + std::char_traits<char>::length(name));
    if (Gdiplus::DllExports::GdipCreateFontFamilyFromName(wide.c_str(), nullptr, &family) == Gdiplus::Ok) {
      Gdiplus::DllExports::GdipDeleteFontFamily(family);
      return name;
    }
  }
  return std::string();
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

inline bool Near(int a, int b, int tolerance = 3) { return a - b <= tolerance && b - a <= tolerance; }

}  // namespace uitest
