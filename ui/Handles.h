#pragma once
// Owners of the window and drawing handles, on top of the platform's own.
#include "platform/OwnedHandle.h"

#include <gdiplus.h>
#include <objidl.h>

namespace handle_traits {
struct Menu { using Type = HMENU; static void Free(HMENU h) { DestroyMenu(h); } };
struct MemoryDC { using Type = HDC; static void Free(HDC h) { DeleteDC(h); } };
struct GdiObject { using Type = HGDIOBJ; static void Free(HGDIOBJ h) { DeleteObject(h); } };
struct Bitmap { using Type = HBITMAP; static void Free(HBITMAP h) { DeleteObject(h); } };
struct Icon { using Type = HICON; static void Free(HICON h) { DestroyIcon(h); } };
struct Cursor { using Type = HCURSOR; static void Free(HCURSOR h) { DestroyCursor(h); } };
struct GlobalAtom { using Type = ATOM; static void Free(ATOM a) { GlobalDeleteAtom(a); } };
struct GpImage { using Type = Gdiplus::GpBitmap*; static void Free(Type h) { Gdiplus::DllExports::GdipDisposeImage(h); } };
struct GpGraphics { using Type = Gdiplus::GpGraphics*; static void Free(Type h) { Gdiplus::DllExports::GdipDeleteGraphics(h); } };
struct GpSolidFill { using Type = Gdiplus::GpSolidFill*; static void Free(Type h) { Gdiplus::DllExports::GdipDeleteBrush(h); } };
struct GpPen { using Type = Gdiplus::GpPen*; static void Free(Type h) { Gdiplus::DllExports::GdipDeletePen(h); } };
struct GpStringFormat { using Type = Gdiplus::GpStringFormat*; static void Free(Type h) { Gdiplus::DllExports::GdipDeleteStringFormat(h); } };
struct GpFont { using Type = Gdiplus::GpFont*; static void Free(Type h) { Gdiplus::DllExports::GdipDeleteFont(h); } };
struct GpFontFamily { using Type = Gdiplus::GpFontFamily*; static void Free(Type h) { Gdiplus::DllExports::GdipDeleteFontFamily(h); } };
}  // namespace handle_traits

using TMenuHandle = TOwnedHandle<handle_traits::Menu>;
using TMemoryDC = TOwnedHandle<handle_traits::MemoryDC>;
using TGdiObject = TOwnedHandle<handle_traits::GdiObject>;
using TBitmapHandle = TOwnedHandle<handle_traits::Bitmap>;
using TIconHandle = TOwnedHandle<handle_traits::Icon>;
using TCursorHandle = TOwnedHandle<handle_traits::Cursor>;
using TGlobalAtom = TOwnedHandle<handle_traits::GlobalAtom>;
using TGpBitmap = TOwnedHandle<handle_traits::GpImage>;
using TGpGraphics = TOwnedHandle<handle_traits::GpGraphics>;
using TGpSolidFill = TOwnedHandle<handle_traits::GpSolidFill>;
using TGpPen = TOwnedHandle<handle_traits::GpPen>;
using TGpStringFormat = TOwnedHandle<handle_traits::GpStringFormat>;
using TGpFont = TOwnedHandle<handle_traits::GpFont>;
using TGpFontFamily = TOwnedHandle<handle_traits::GpFontFamily>;

// A screen device context, released to the screen when it goes.
class TScreenDC {
public:
  TScreenDC() : FDC(GetDC(nullptr)) {}
  ~TScreenDC() { if (FDC) ReleaseDC(nullptr, FDC); }
  TScreenDC(const TScreenDC&) = delete;
  TScreenDC& operator=(const TScreenDC&) = delete;
  HDC Get() const { return FDC; }

private:
  HDC FDC;
};

// An object selected into a device context; the previous one goes back in when
// this ends, so the selected object can then be deleted safely.
class TSelectedObject {
public:
  TSelectedObject() = default;
  TSelectedObject(HDC dc, HGDIOBJ object) : FDC(dc), FPrevious(SelectObject(dc, object)) {}
  ~TSelectedObject() { Restore(); }
  TSelectedObject(const TSelectedObject&) = delete;
  TSelectedObject& operator=(const TSelectedObject&) = delete;
  TSelectedObject(TSelectedObject&& other) noexcept : FDC(other.FDC), FPrevious(other.FPrevious) {
    other.FDC = nullptr;
    other.FPrevious = nullptr;
  }
  TSelectedObject& operator=(TSelectedObject&& other) noexcept {
    if (this != &other) {
      Restore();
      FDC = other.FDC;
      FPrevious = other.FPrevious;
      other.FDC = nullptr;
      other.FPrevious = nullptr;
    }
    return *this;
  }
  void Restore() {
    if (FDC && FPrevious) SelectObject(FDC, FPrevious);
    FDC = nullptr;
    FPrevious = nullptr;
  }

private:
  HDC FDC = nullptr;
  HGDIOBJ FPrevious = nullptr;
};

// One COM reference.
template <typename T>
class TComPtr {
public:
  TComPtr() = default;
  explicit TComPtr(T* adopted) : FPtr(adopted) {}
  ~TComPtr() { Reset(); }
  TComPtr(const TComPtr&) = delete;
  TComPtr& operator=(const TComPtr&) = delete;
  TComPtr(TComPtr&& other) noexcept : FPtr(other.FPtr) { other.FPtr = nullptr; }
  TComPtr& operator=(TComPtr&& other) noexcept {
    if (this != &other) {
      Reset();
      FPtr = other.FPtr;
      other.FPtr = nullptr;
    }
    return *this;
  }
  T* Get() const { return FPtr; }
  T* operator->() const { return FPtr; }
  explicit operator bool() const { return FPtr != nullptr; }
  void Reset() {
    if (FPtr) FPtr->Release();
    FPtr = nullptr;
  }
  T** Put() {
    Reset();
    return &FPtr;
  }

private:
  T* FPtr = nullptr;
};
