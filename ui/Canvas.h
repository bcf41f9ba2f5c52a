#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ui/Handles.h"
#include "ui/Streams.h"

// ARGB colours: alpha in the top byte, not premultiplied.
using TWidgetColor = uint32_t;
constexpr TWidgetColor clWidgetBlack = 0xFF000000;
constexpr TWidgetColor clWidgetTransparent = 0x00000000;

enum TWidgetFontStyle : int32_t { wfsBold = 1, wfsItalic = 2, wfsUnderline = 4, wfsStrikeout = 8 };
enum TWidgetStringAlignment : int32_t { wsaNear = 0, wsaCenter = 1, wsaFar = 2 };

// All of these draw on the thread of the control that owns them. GDI+ results
// are not checked: an object whose native part failed simply draws nothing.
class TWidgetGraphicObject {
public:
  TWidgetGraphicObject() = default;
  virtual ~TWidgetGraphicObject() = default;
  TWidgetGraphicObject(const TWidgetGraphicObject&) = delete;
  TWidgetGraphicObject& operator=(const TWidgetGraphicObject&) = delete;
};

class TWidgetBrush : public TWidgetGraphicObject {};

class TWidgetSolidBrush : public TWidgetBrush {
public:
  TWidgetSolidBrush();
  Gdiplus::GpSolidFill* Handle() const { return FHandle.Get(); }
  TWidgetColor Color() const;
  void SetColor(TWidgetColor value);
  uint8_t Opacity() const { return static_cast<uint8_t>(Color() >> 24); }
  void SetOpacity(uint8_t value);

private:
  TGpSolidFill FHandle;
};

class TWidgetPen : public TWidgetGraphicObject {
public:
  TWidgetPen();
  Gdiplus::GpPen* Handle() const { return FHandle.Get(); }
  TWidgetColor Color() const { return FColor; }
  void SetColor(TWidgetColor value);
  float Width() const { return FWidth; }
  void SetWidth(float value);
  int32_t DashStyle() const { return FDashStyle; }

private:
  TGpPen FHandle;
  TWidgetColor FColor = clWidgetBlack;
  float FWidth = 1.0f;
  int32_t FDashStyle = 0;
};

class TWidgetStringFormat : public TWidgetGraphicObject {
public:
  TWidgetStringFormat();
  Gdiplus::GpStringFormat* Handle() const { return FHandle.Get(); }
  int32_t Alignment() const { return FAlignment; }
  void SetAlignment(int32_t value);
  int32_t LineAlignment() const { return FLineAlignment; }
  void SetLineAlignment(int32_t value);

private:
  TGpStringFormat FHandle;
  int32_t FAlignment = wsaNear;
  int32_t FLineAlignment = wsaNear;
};

class TWidgetFont : public TWidgetGraphicObject {
public:
  TWidgetFont();

  // The family name is narrow text in the system code page.
  const std::string& Name() const { return FName; }
  void SetName(const std::string& value);
  int32_t Size() const { return FSize; }
  void SetSize(int32_t value);
  int32_t Style() const { return FStyle; }
  void SetStyle(int32_t value);
  // Size is in points at this DPI: the font is made in pixels, so the text
  // does not depend on the resolution GDI+ gives a surface.
  uint32_t Dpi() const { return FDpi; }
  void SetDpi(uint32_t value);
  TWidgetColor Color() const { return FBrush->Color(); }
  void SetColor(TWidgetColor value) { FBrush->SetColor(value); }
  uint8_t Opacity() const { return FBrush->Opacity(); }
  void SetOpacity(uint8_t value) { FBrush->SetOpacity(value); }
  TWidgetSolidBrush* Brush() const { return FBrush.get(); }
  TWidgetStringFormat* Format() const { return FFormat.get(); }
  Gdiplus::GpFont* Handle() const { return FHandle.Get(); }

private:
  void CreateHandle();

  TGpFont FHandle;
  std::string FName = "Arial";
  int32_t FSize = 10;
  int32_t FStyle = 0;
  uint32_t FDpi = 96;
  // Declared after the handle so that they go first.
  std::unique_ptr<TWidgetSolidBrush> FBrush;
  std::unique_ptr<TWidgetStringFormat> FFormat;
};

// Decoded 32bpp ARGB pixels, rows top-down without padding. Immutable once
// made, so that every thread may read them at once.
struct TWidgetPixels {
  uint32_t Width = 0;
  uint32_t Height = 0;
  std::vector<uint8_t> Bytes;
};

class TWidgetImage : public TWidgetGraphicObject {
public:
  // FromResource: Name is a "PNG" resource of the program; otherwise a file path.
  TWidgetImage(const WideString& name, bool fromResource);
  // A resource picture's handle draws from pixels that every image of that
  // resource shares: draw and read through it, never write.
  Gdiplus::GpBitmap* Handle() const { return FHandle.Get(); }
  const WideString& Name() const { return FName; }
  uint32_t Width() const;
  uint32_t Height() const;
  // Gives every pixel Color's red, green and blue and keeps its alpha, when the
  // image has an alpha channel; shared pixels are not touched.
  void Tint(TWidgetColor color);

private:
  void WrapShared(std::shared_ptr<const TWidgetPixels> pixels);

  std::shared_ptr<const TWidgetPixels> FShared;  // declared first: the handle goes before the pixels it draws from
  TGpBitmap FHandle;
  WideString FName;
};

// An off-screen 32bpp ARGB surface with its GDI+ graphics context, font, brush
// and pen. The surface is made when first used, transparent.
class TWidgetCanvas : public TWidgetGraphicObject {
public:
  TWidgetCanvas(int32_t width, int32_t height);

  Gdiplus::GpBitmap* Bitmap() const {
    EnsureSurface();
    return FBitmap.Get();
  }
  Gdiplus::GpGraphics* Graphics() const {
    EnsureSurface();
    return FGraphics.Get();
  }
  int32_t Width() const { return FWidth; }
  int32_t Height() const { return FHeight; }
  TWidgetFont* Font() const { return FFont.get(); }
  TWidgetSolidBrush* Brush() const { return FBrush.get(); }
  TWidgetPen* Pen() const { return FPen.get(); }

  void Clear();
  void DrawImage(Gdiplus::GpImage* image, int32_t x, int32_t y, int32_t w, int32_t h);
  // Scales the image's own alpha in place before drawing it.
  void DrawImageAlpha(Gdiplus::GpBitmap* image, int32_t x, int32_t y, int32_t w, int32_t h, uint8_t opacity);
  void DrawRect(const RECT& rect);
  void FillRect(const RECT& rect);
  // A polyline through the points in the pen; one point draws a dot.
  void DrawLines(const std::vector<POINT>& points);
  void DrawText(const WideString& text, const RECT& rect);
  // The box text takes on one line in the current font.
  SIZE MeasureText(const WideString& text) const;
  void SetSize(int32_t width, int32_t height);

private:
  void EnsureSurface() const;
  void ReleaseSurface();

  // Destroyed in reverse: brush, pen, font, then the graphics before its bitmap.
  mutable TGpBitmap FBitmap;
  mutable TGpGraphics FGraphics;
  mutable bool FSurfaceMade = false;  // tried once per size, so a failure is not retried on every draw
  int32_t FWidth;
  int32_t FHeight;
  std::unique_ptr<TWidgetFont> FFont;
  std::unique_ptr<TWidgetPen> FPen;
  std::unique_ptr<TWidgetSolidBrush> FBrush;
};

// Multiplies every pixel's alpha by Opacity / 256 in place; colour channels stay.
void ScaleAlpha(Gdiplus::GpBitmap* bitmap, uint8_t opacity);

// Copies the resource's bytes into Stream (when given) and rewinds it; a missing
// resource leaves the stream untouched. Reports nothing.
void LoadResourceStream(const WideString& resType, const WideString& resName, TStream* stream);

// Steps the canvas's font down from largest to smallest until text fits
// width x height on one line, and leaves it at that size (at smallest when
// nothing fits): the family a name gives differs from machine to machine.
int32_t FitFontSize(TWidgetCanvas& canvas, const WideString& text, int32_t width, int32_t height, int32_t largest,
                    int32_t smallest);
