#include "ui/GdiObjects.h"

namespace {
constexpr UINT kNonClientMetricsSize = 500;  // the record without iPaddedBorderWidth
constexpr LONG kBoldWeight = FW_BOLD;
constexpr int kPointsPerInch = 72;
constexpr size_t kFaceNameMax = LF_FACESIZE - 1;
}  // namespace

// Every change makes the new handle, tells the listeners (a canvas then selects
// it in place of the old one), and only then deletes the old handle, which GDI
// would refuse to delete while it is still selected.

void TPen::MakeHandle() {
  TGdiObject old(FHandle.Release());
  FHandle.Reset(CreatePen(FStyle, FWidth, static_cast<COLORREF>(ResolveSysColor(FColor))));
  Changed();
}

void TPen::SetColor(int32_t value) {
  if (value == FColor) return;
  FColor = value;
  MakeHandle();
}

void TPen::Assign(TGraphicObject* source) {
  auto* pen = dynamic_cast<TPen*>(source);
  if (!pen || pen == this) return;
  FColor = pen->FColor;
  FStyle = pen->FStyle;
  FWidth = pen->FWidth;
  MakeHandle();
}

void TBrush::MakeHandle() {
  TGdiObject old(FHandle.Release());
  FHandle.Reset(CreateSolidBrush(static_cast<COLORREF>(FColor)));
  Changed();
}

void TBrush::SetColor(int32_t value) {
  if (value == FColor) return;
  FColor = ResolveSysColor(value);
  MakeHandle();
}

void TBrush::Assign(TGraphicObject* source) {
  auto* brush = dynamic_cast<TBrush*>(source);
  if (!brush || brush == this) return;
  FColor = brush->FColor;
  MakeHandle();
}

TFont::TFont() {
  MakeHandle();
}

// Starts from the message-box font of the platform; charset Turkish, height
// from the screen's vertical resolution.
void TFont::MakeHandle() {
  LOGFONTW font{};
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = kNonClientMetricsSize;
  if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, kNonClientMetricsSize, &metrics, 0)) font = metrics.lfMessageFont;
  if (FStyle & fsBold) font.lfWeight = kBoldWeight;
  if (FStyle & fsItalic) font.lfItalic = 1;
  if (FStyle & fsUnderline) font.lfUnderline = 1;
  size_t n = std::min(FName.size(), kFaceNameMax);  // a longer name is cut, never overflows
  for (size_t i = 0; i < n; ++i) font.lfFaceName[i] = static_cast<wchar_t>(FName[i]);
  font.lfFaceName[n] = 0;
  font.lfCharSet = TURKISH_FONT_CHARSET;
  {
    TScreenDC screen;
    font.lfHeight = -MulDiv(GetDeviceCaps(screen.Get(), LOGPIXELSY), FSize, kPointsPerInch);
  }
  TGdiObject old(FHandle.Release());
  FHandle.Reset(CreateFontIndirectW(&font));
  Changed();
}

void TFont::SetSize(int32_t value) {
  if (value == FSize) return;
  FSize = value;
  MakeHandle();
}

void TFont::SetName(const WideString& value) {
  if (value == FName) return;
  FName = value;
  MakeHandle();
}

void TFont::SetStyle(int32_t value) {
  if (value == FStyle) return;
  FStyle = value;
  MakeHandle();
}

void TFont::SetColor(int32_t value) {
  if (value == FColor) return;
  FColor = value;
  Changed();
}

void TFont::Assign(TGraphicObject* source) {
  auto* font = dynamic_cast<TFont*>(source);
  if (!font || font == this) return;
  FSize = font->FSize;
  FName = font->FName;
  FStyle = font->FStyle;
  FColor = font->FColor;
  MakeHandle();
}

// ---- TCanvas

TCanvas::TCanvas() : FFont(new TFont), FBrush(new TBrush), FPen(new TPen) {
  FFont->OnChange = [this](TGraphicObject*) { FontChanged(); };
  FBrush->OnChange = [this](TGraphicObject*) { BrushChanged(); };
  FBrush->SetColor(clSysWindow);
  FPen->OnChange = [this](TGraphicObject*) { PenChanged(); };
  FPen->SetColor(0);  // the value it has: no handle is made
}

TCanvas::~TCanvas() { SetHandle(nullptr); }

void TCanvas::SetHandle(HDC dc) {
  if (dc == FHandle) return;
  FSelectedFont.Restore();
  FSelectedBrush.Restore();
  FSelectedPen.Restore();
  FHandle = dc;
}

void TCanvas::FontChanged() {
  if (!FHandle) return;
  FSelectedFont.Restore();
  FSelectedFont = TSelectedObject(FHandle, FFont->Handle());
  SetTextColor(FHandle, static_cast<COLORREF>(ResolveSysColor(FFont->Color())));
  Changed();
}

void TCanvas::BrushChanged() {
  if (!FHandle) return;
  FSelectedBrush.Restore();
  FSelectedBrush = TSelectedObject(FHandle, FBrush->Handle());
  Changed();
}

void TCanvas::PenChanged() {
  if (!FHandle) return;
  FSelectedPen.Restore();
  FSelectedPen = TSelectedObject(FHandle, FPen->Handle());
  Changed();
}

int32_t ResolveSysColor(int32_t color) {
  return color < 0 ? static_cast<int32_t>(GetSysColor(color & 0xFF)) : color;
}
