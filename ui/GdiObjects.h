#pragma once
// Classic GDI drawing objects for the windows that paint with GDI. Colours are
// 0x00BBGGRR, or negative for a system colour (see ResolveSysColor). Used only
// on the thread of the window that owns them.
#include <cstdint>
#include <functional>
#include <memory>

#include "ui/Handles.h"

constexpr int32_t clSysWindow = static_cast<int32_t>(0x80000005);
constexpr int32_t clSysBtnFace = static_cast<int32_t>(0x8000000F);

enum TFontStyle : int32_t { fsBold = 1, fsItalic = 2, fsUnderline = 4 };

constexpr BYTE TURKISH_FONT_CHARSET = 162;

class TGraphicObject {
public:
  using TChangeEvent = std::function<void(TGraphicObject* Sender)>;

  TGraphicObject() = default;
  virtual ~TGraphicObject() = default;
  TGraphicObject(const TGraphicObject&) = delete;
  TGraphicObject& operator=(const TGraphicObject&) = delete;

  virtual void Assign(TGraphicObject*) {}
  virtual void Changed() {
    if (OnChange) OnChange(this);
  }

  TChangeEvent OnChange;
};

class TPen : public TGraphicObject {
public:
  HPEN Handle() const { return static_cast<HPEN>(FHandle.Get()); }
  int32_t Color() const { return FColor; }
  void SetColor(int32_t value);
  int32_t Style() const { return FStyle; }
  int32_t Width() const { return FWidth; }
  // Copies colour, style and width, like brushes and fonts copy theirs.
  void Assign(TGraphicObject* source) override;

private:
  void MakeHandle();

  TGdiObject FHandle;
  int32_t FColor = 0;
  int32_t FStyle = PS_SOLID;
  int32_t FWidth = 0;  // one device pixel
};

class TBrush : public TGraphicObject {
public:
  HBRUSH Handle() const { return static_cast<HBRUSH>(FHandle.Get()); }
  // Stored already resolved to RGB; -1 until first set.
  int32_t Color() const { return FColor; }
  void SetColor(int32_t value);
  void Assign(TGraphicObject* source) override;

private:
  void MakeHandle();

  TGdiObject FHandle;
  int32_t FColor = -1;
};

class TFont : public TGraphicObject {
public:
  TFont();
  HFONT Handle() const { return static_cast<HFONT>(FHandle.Get()); }
  int32_t Size() const { return FSize; }
  void SetSize(int32_t value);
  const WideString& Name() const { return FName; }
  void SetName(const WideString& value);
  int32_t Style() const { return FStyle; }
  void SetStyle(int32_t value);
  int32_t Color() const { return FColor; }
  void SetColor(int32_t value);
  void Assign(TGraphicObject* source) override;

private:
  void MakeHandle();

  TGdiObject FHandle;
  int32_t FSize = 8;
  WideString FName = u"Tahoma";
  int32_t FStyle = 0;
  int32_t FColor = 0;
};

// Owns a font, a brush and a pen and selects them into the device context a
// painter lends it; the context's own objects go back in when it is unbound.
class TCanvas {
public:
  using TChangeEvent = std::function<void(TCanvas* Sender)>;

  TCanvas();
  virtual ~TCanvas();
  TCanvas(const TCanvas&) = delete;
  TCanvas& operator=(const TCanvas&) = delete;

  HDC Handle() const { return FHandle; }
  void SetHandle(HDC dc);
  TFont* Font() const { return FFont.get(); }
  TBrush* Brush() const { return FBrush.get(); }
  TPen* Pen() const { return FPen.get(); }
  virtual void Changed() {
    if (OnChange) OnChange(this);
  }

  TChangeEvent OnChange;

private:
  void FontChanged();
  void BrushChanged();
  void PenChanged();

  HDC FHandle = nullptr;
  std::unique_ptr<TFont> FFont;
  std::unique_ptr<TBrush> FBrush;
  std::unique_ptr<TPen> FPen;
  // Declared last so that the context gets its own objects back first.
  TSelectedObject FSelectedFont, FSelectedBrush, FSelectedPen;
};

// A negative colour names a system colour by its low byte; others pass through.
int32_t ResolveSysColor(int32_t color);
