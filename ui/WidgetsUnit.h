#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/WinApi.h"

#include <gdiplus.h>

#include "ui/WindowClass.h"

// Framework start-up and shut-down, held as a scoped object by the application
// and by the tests: the first holder adds the window-property atom, computes
// OSLevel, raises the timer resolution and starts GDI+; the last one releases
// the cached font family, shuts GDI+ down, restores the timer and deletes the
// atom. Holders may live on any thread. Each holder also holds the window
// classes of the framework's own controls and forms.
class TWidgetsUnit {
public:
  TWidgetsUnit();
  ~TWidgetsUnit();
  TWidgetsUnit(const TWidgetsUnit&) = delete;
  TWidgetsUnit& operator=(const TWidgetsUnit&) = delete;

private:
  std::vector<std::unique_ptr<TWindowClass>> FClasses;
};

constexpr const char* WINDOW_ATOM_NAME = "Widget.WindowAtom.3.1";

// The atom naming the window property that binds a window to its control; 0
// while no TWidgetsUnit is held.
ATOM WindowAtom();

// 0x600, 0x502, 0x501 or 0: selects the text rendering hint of canvases.
int32_t OSLevel();
int32_t ComputeOSLevel(uint32_t major, uint32_t minor, const std::wstring& servicePack);

// Gives back the pages of the calling thread's stack below the caller's frame.
// A thread that lives long and stays shallow, such as a widget's, calls it first.
void ReleaseUnusedStack();

// The generic sans-serif family, made on first need and kept until shut-down;
// null when GDI+ cannot provide one.
Gdiplus::GpFontFamily* GenericSansSerifFamily();
