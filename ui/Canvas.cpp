#include "ui/Canvas.h"

#include <cmath>
#include <cstring>
#include <map>
#include <mutex>
#include <utility>
#include <vector>

#include "platform/AnsiText.h"
#include "ui/ScreenGeometry.h"
#include "ui/StreamAdapter.h"
#include "ui/WidgetsUnit.h"

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

namespace {
constexpr int kTextRenderingAntiAliasGridFit = 3;
constexpr int kTextRenderingSystemDefault = 0;
constexpr DWORD kResourceCopyBlock = 16384;

// Decoded resource pictures, made once per process and shared read-only by
// every image of every thread; the tinted copies live while an image uses them.
std::mutex gPictureLock;  // guards both maps
std::map<WideString, std::shared_ptr<const TWidgetPixels>> gPictures;
std::map<std::pair<WideString, TWidgetColor>, std::weak_ptr<const TWidgetPixels>> gTintedPictures;

// GDI+ decodes the resource through the stream adapter, which owns the memory stream.
void DecodeResource(const WideString& name, TGpBitmap& bitmap) {
  auto* stream = new TMemoryStream;
  LoadResourceStream(u"PNG", name, stream);
  TComPtr<IStream> adapter(new TStreamAdapter(stream, TStreamOwnership::Owned));
  if (GdipCreateBitmapFromStream(adapter.Get(), bitmap.Put()) != Ok) bitmap.Release();
}

// The pixels of a decoded ARGB bitmap; null for other formats, whose
// conversion to ARGB would change what they draw.
std::shared_ptr<const TWidgetPixels> PixelsOf(GpBitmap* bitmap) {
  PixelFormat format = 0;
  UINT width = 0, height = 0;
  if (!bitmap || GdipGetImagePixelFormat(bitmap, &format) != Ok || format != PixelFormat32bppARGB) return nullptr;
  GdipGetImageWidth(bitmap, &width);
  GdipGetImageHeight(bitmap, &height);
  GpRect whole(0, 0, static_cast<INT>(width), static_cast<INT>(height));
  BitmapData data{};
  if (!width || !height ||
      GdipBitmapLockBits(bitmap, &whole, ImageLockModeRead, PixelFormat32bppARGB, &data) != Ok)
    return nullptr;
  auto pixels = std::make_shared<TWidgetPixels>();
  pixels->Width = width;
  pixels->Height = height;
  pixels->Bytes.resize(size_t{width} * height * 4);
  for (UINT y = 0; y < height; ++y)
    std::memcpy(&pixels->Bytes[size_t{y} * width * 4], static_cast<const uint8_t*>(data.Scan0) + ptrdiff_t{data.Stride} * y,
                size_t{width} * 4);
  GdipBitmapUnlockBits(bitmap, &data);
  return pixels;
}

// The shared pixels of a resource; null when there are none to share, with
// the resource's own decoded bitmap (if any) handed out in Unshared.
std::shared_ptr<const TWidgetPixels> SharedPicture(const WideString& name, TGpBitmap& unshared) {
  std::lock_guard<std::mutex> lock(gPictureLock);
  auto found = gPictures.find(name);
  if (found != gPictures.end()) return found->second;
  DecodeResource(name, unshared);
  std::shared_ptr<const TWidgetPixels> pixels = PixelsOf(unshared.Get());
  if (pixels) {
    unshared.Reset();
    gPictures[name] = pixels;
  }
  return pixels;
}

std::shared_ptr<const TWidgetPixels> TintedPicture(const WideString& name, const TWidgetPixels& source,
                                                   TWidgetColor color) {
  std::lock_guard<std::mutex> lock(gPictureLock);
  auto key = std::make_pair(name, color);
  if (auto kept = gTintedPictures[key].lock()) return kept;
  auto tinted = std::make_shared<TWidgetPixels>(source);
  for (size_t i = 0; i < tinted->Bytes.size(); i += 4) {
    tinted->Bytes[i] = color & 0xFF;
    tinted->Bytes[i + 1] = (color >> 8) & 0xFF;
    tinted->Bytes[i + 2] = (color >> 16) & 0xFF;
  }
  for (auto it = gTintedPictures.begin(); it != gTintedPictures.end();)
    it = it->second.expired() ? gTintedPictures.erase(it) : std::next(it);
  gTintedPictures[key] = tinted;
  return tinted;
}

// Unlocks the bits however the pixel pass ends.
class TLockedBits {
public:
  TLockedBits(GpBitmap* bitmap, const GpRect& rect) : FBitmap(bitmap) {
    FLocked = GdipBitmapLockBits(bitmap, &rect, ImageLockModeRead | ImageLockModeWrite, PixelFormat32bppARGB,
                                 &FData) == Ok;
  }
  ~TLockedBits() {
    if (FLocked) GdipBitmapUnlockBits(FBitmap, &FData);
  }
  TLockedBits(const TLockedBits&) = delete;
  TLockedBits& operator=(const TLockedBits&) = delete;
  bool Locked() const { return FLocked; }
  const BitmapData& Data() const { return FData; }

private:
  GpBitmap* FBitmap;
  BitmapData FData{};
  bool FLocked = false;
};
}  // namespace

// ---- TWidgetSolidBrush

TWidgetSolidBrush::TWidgetSolidBrush() { GdipCreateSolidFill(clWidgetBlack, FHandle.Put()); }

TWidgetColor TWidgetSolidBrush::Color() const {
  ARGB color = 0;
  if (FHandle) GdipGetSolidFillColor(FHandle.Get(), &color);
  return color;
}

void TWidgetSolidBrush::SetColor(TWidgetColor value) {
  if (value != Color()) GdipSetSolidFillColor(FHandle.Get(), value);
}

void TWidgetSolidBrush::SetOpacity(uint8_t value) {
  if (value != Opacity()) SetColor((Color() & 0x00FFFFFF) | (TWidgetColor(value) << 24));
}

// ---- TWidgetPen

TWidgetPen::TWidgetPen() {
  GdipCreatePen1(FColor, FWidth, UnitWorld, FHandle.Put());
  GdipSetPenDashStyle(FHandle.Get(), static_cast<GpDashStyle>(FDashStyle));
  GdipSetPenMode(FHandle.Get(), PenAlignmentInset);  // the outline stays inside the rectangle
}

void TWidgetPen::SetColor(TWidgetColor value) {
  if (value == FColor) return;
  FColor = value;
  GdipSetPenColor(FHandle.Get(), value);
}

void TWidgetPen::SetWidth(float value) {
  if (value == FWidth) return;
  FWidth = value;
  GdipSetPenWidth(FHandle.Get(), value);
}

// ---- TWidgetStringFormat

TWidgetStringFormat::TWidgetStringFormat() { GdipCreateStringFormat(0, LANG_NEUTRAL, FHandle.Put()); }

void TWidgetStringFormat::SetAlignment(int32_t value) {
  if (value == FAlignment) return;
  FAlignment = value;
  GdipSetStringFormatAlign(FHandle.Get(), static_cast<StringAlignment>(value));
}

void TWidgetStringFormat::SetLineAlignment(int32_t value) {
  if (value == FLineAlignment) return;
  FLineAlignment = value;
  GdipSetStringFormatLineAlign(FHandle.Get(), static_cast<StringAlignment>(value));
}

// ---- TWidgetFont

TWidgetFont::TWidgetFont() : FBrush(new TWidgetSolidBrush), FFormat(new TWidgetStringFormat) { CreateHandle(); }

void TWidgetFont::SetName(const std::string& value) {
  if (value == FName) return;
  FName = value;
  CreateHandle();
}

void TWidgetFont::SetSize(int32_t value) {
  if (value == FSize) return;
  FSize = value;
  CreateHandle();
}

void TWidgetFont::SetStyle(int32_t value) {
  if (value == FStyle) return;
  FStyle = value;
  CreateHandle();
}

void TWidgetFont::SetDpi(uint32_t value) {
  value = SaneDpi(value);
  if (value == FDpi) return;
  FDpi = value;
  CreateHandle();
}

// A family that is not installed falls back to the cached generic sans-serif.
void TWidgetFont::CreateHandle() {
  TGpFont font;
  TGpFontFamily named;
  const WideString name = WideFromAnsi(FName);
  GpFontFamily* family = nullptr;
  if (GdipCreateFontFamilyFromName(WinStr(name), nullptr, named.Put()) == Ok && named)
    family = named.Get();
  else
    family = GenericSansSerifFamily();
  const REAL pixels = PointsToPixels(static_cast<float>(FSize), FDpi);
  if (family && GdipCreateFont(family, pixels, FStyle, UnitPixel, font.Put()) != Ok) {
    font.Release();
    if (GpFontFamily* generic = GenericSansSerifFamily())
      if (GdipCreateFont(generic, pixels, FStyle, UnitPixel, font.Put()) != Ok) font.Release();
  }
  // The new font exists before the old one goes, so a change always shows as a new handle.
  FHandle = std::move(font);
}

// ---- TWidgetImage

// A resource is decoded once per process; each image wraps the shared pixels
// in a GDI+ bitmap of its own, since GDI+ objects serve one thread at a time.
TWidgetImage::TWidgetImage(const WideString& name, bool fromResource) : FName(name) {
  if (fromResource) {
    std::shared_ptr<const TWidgetPixels> pixels = SharedPicture(name, FHandle);
    if (pixels) WrapShared(std::move(pixels));
  } else {
    DWORD attributes = GetFileAttributesW(WinStr(name));
    if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY))
      if (GdipCreateBitmapFromFile(WinStr(name), FHandle.Put()) != Ok) FHandle.Release();
  }
}

void TWidgetImage::WrapShared(std::shared_ptr<const TWidgetPixels> pixels) {
  FHandle.Reset();
  FShared = std::move(pixels);
  // GDI+ reads the pixels in place; nothing here writes through this handle.
  auto* scan0 = const_cast<uint8_t*>(FShared->Bytes.data());
  if (GdipCreateBitmapFromScan0(static_cast<INT>(FShared->Width), static_cast<INT>(FShared->Height),
                                static_cast<INT>(FShared->Width * 4), PixelFormat32bppARGB, scan0, FHandle.Put()) != Ok)
    FHandle.Release();
}

void TWidgetImage::Tint(TWidgetColor color) {
  if (FShared) {
    WrapShared(TintedPicture(FName, *FShared, color));
    return;
  }
  GpBitmap* bitmap = FHandle.Get();
  PixelFormat format = 0;
  if (!bitmap || GdipGetImagePixelFormat(bitmap, &format) != Ok || !(format & PixelFormatAlpha)) return;
  GpRect whole(0, 0, static_cast<INT>(Width()), static_cast<INT>(Height()));
  TLockedBits bits(bitmap, whole);
  if (!bits.Locked()) return;
  const BitmapData& data = bits.Data();
  for (UINT y = 0; y < data.Height; ++y) {
    // The stride may be negative for bottom-up bitmaps.
    uint8_t* pixel = static_cast<uint8_t*>(data.Scan0) + ptrdiff_t{data.Stride} * y;
    for (UINT x = 0; x < data.Width; ++x, pixel += 4) {
      pixel[0] = color & 0xFF;
      pixel[1] = (color >> 8) & 0xFF;
      pixel[2] = (color >> 16) & 0xFF;
    }
  }
}

uint32_t TWidgetImage::Width() const {
  UINT w = 0;
  if (FHandle) GdipGetImageWidth(FHandle.Get(), &w);
  return w;
}

uint32_t TWidgetImage::Height() const {
  UINT h = 0;
  if (FHandle) GdipGetImageHeight(FHandle.Get(), &h);
  return h;
}

// ---- TWidgetCanvas

TWidgetCanvas::TWidgetCanvas(int32_t width, int32_t height) : FWidth(width), FHeight(height) {
  FFont.reset(new TWidgetFont);
  FBrush.reset(new TWidgetSolidBrush);
  FPen.reset(new TWidgetPen);
}

// Made on first use rather than at every size change: a control that never
// draws into its canvas keeps no pixels.
namespace {
void SetTextHint(GpGraphics* graphics) {
  GdipSetTextRenderingHint(graphics, static_cast<TextRenderingHint>(OSLevel() >= 0x600 ? kTextRenderingAntiAliasGridFit
                                                                                       : kTextRenderingSystemDefault));
}
}  // namespace

void TWidgetCanvas::EnsureSurface() const {
  if (FSurfaceMade) return;
  FSurfaceMade = true;
  if (GdipCreateBitmapFromScan0(FWidth, FHeight, 0, PixelFormat32bppARGB, nullptr, FBitmap.Put()) != Ok) {
    FBitmap.Release();
    return;
  }
  if (GdipGetImageGraphicsContext(FBitmap.Get(), FGraphics.Put()) != Ok) {
    FGraphics.Release();
    return;
  }
  SetTextHint(FGraphics.Get());
}

void TWidgetCanvas::ReleaseSurface() {
  FGraphics.Reset();
  FBitmap.Reset();
  FSurfaceMade = false;
}

// Zeroing the locked bits gives the same transparent surface as
// GdipGraphicsClear at a fraction of its cost; the graphics is the fallback.
void TWidgetCanvas::Clear() {
  if (!Graphics()) return;
  GpRect whole(0, 0, FWidth, FHeight);
  BitmapData data{};
  if (GdipBitmapLockBits(FBitmap.Get(), &whole, ImageLockModeWrite, PixelFormat32bppARGB, &data) != Ok) {
    GdipGraphicsClear(FGraphics.Get(), clWidgetTransparent);
    return;
  }
  auto* row = static_cast<uint8_t*>(data.Scan0);
  for (UINT y = 0; y < data.Height; ++y, row += data.Stride) std::memset(row, 0, data.Width * 4);
  GdipBitmapUnlockBits(FBitmap.Get(), &data);
}

// A picture drawn at another size than its own is resampled with the best
// filter GDI+ has; at its own size it is copied exactly as before.
void TWidgetCanvas::DrawImage(GpImage* image, int32_t x, int32_t y, int32_t w, int32_t h) {
  if (!image || !Graphics()) return;
  UINT width = 0, height = 0;
  GdipGetImageWidth(image, &width);
  GdipGetImageHeight(image, &height);
  if (width == static_cast<UINT>(w) && height == static_cast<UINT>(h)) {
    GdipDrawImageRectI(FGraphics.Get(), image, x, y, w, h);
    return;
  }
  InterpolationMode interpolation = InterpolationModeDefault;
  PixelOffsetMode offset = PixelOffsetModeDefault;
  GdipGetInterpolationMode(FGraphics.Get(), &interpolation);
  GdipGetPixelOffsetMode(FGraphics.Get(), &offset);
  GdipSetInterpolationMode(FGraphics.Get(), InterpolationModeHighQualityBicubic);
  GdipSetPixelOffsetMode(FGraphics.Get(), PixelOffsetModeHalf);
  GdipDrawImageRectI(FGraphics.Get(), image, x, y, w, h);
  GdipSetInterpolationMode(FGraphics.Get(), interpolation);
  GdipSetPixelOffsetMode(FGraphics.Get(), offset);
}

void TWidgetCanvas::DrawImageAlpha(GpBitmap* image, int32_t x, int32_t y, int32_t w, int32_t h, uint8_t opacity) {
  if (!image) return;
  ScaleAlpha(image, opacity);
  DrawImage(image, x, y, w, h);
}

void TWidgetCanvas::DrawRect(const RECT& rect) {
  if (Graphics())
    GdipDrawRectangleI(FGraphics.Get(), FPen->Handle(), rect.left, rect.top, rect.right - rect.left,
                       rect.bottom - rect.top);
}

void TWidgetCanvas::FillRect(const RECT& rect) {
  if (Graphics())
    GdipFillRectangleI(FGraphics.Get(), FBrush->Handle(), rect.left, rect.top, rect.right - rect.left,
                       rect.bottom - rect.top);
}

void TWidgetCanvas::DrawLines(const std::vector<POINT>& points) {
  if (points.empty() || !Graphics()) return;
  if (points.size() == 1) {
    GdipFillRectangleI(FGraphics.Get(), FBrush->Handle(), points[0].x, points[0].y, 2, 2);
    return;
  }
  std::vector<GpPoint> line;
  line.reserve(points.size());
  for (const POINT& p : points) line.push_back(GpPoint{p.x, p.y});
  GdipDrawLinesI(FGraphics.Get(), FPen->Handle(), line.data(), static_cast<INT>(line.size()));
}

void TWidgetCanvas::DrawText(const WideString& text, const RECT& rect) {
  if (text.empty() || !Graphics()) return;
  RectF layout(static_cast<REAL>(rect.left), static_cast<REAL>(rect.top), static_cast<REAL>(rect.right - rect.left),
               static_cast<REAL>(rect.bottom - rect.top));
  GdipDrawString(FGraphics.Get(), WinStr(text), static_cast<INT>(text.size()), FFont->Handle(), &layout,
                 FFont->Format()->Handle(), FFont->Brush()->Handle());
}

SIZE TWidgetCanvas::MeasureText(const WideString& text) const {
  SIZE size{0, 0};
  if (text.empty() || !FFont->Handle()) return size;
  // A canvas not sized yet has no surface: a pixel of its own measures the same.
  TGpBitmap pixel;
  TGpGraphics scratch;
  GpGraphics* graphics = Graphics();
  if (!graphics) {
    if (GdipCreateBitmapFromScan0(1, 1, 0, PixelFormat32bppARGB, nullptr, pixel.Put()) != Ok ||
        GdipGetImageGraphicsContext(pixel.Get(), scratch.Put()) != Ok)
      return size;
    graphics = scratch.Get();
    SetTextHint(graphics);
  }
  RectF layout(0, 0, 1e6f, 1e6f), bound;
  if (GdipMeasureString(graphics, WinStr(text), static_cast<INT>(text.size()), FFont->Handle(), &layout,
                        FFont->Format()->Handle(), &bound, nullptr, nullptr) == Ok) {
    size.cx = static_cast<LONG>(std::ceil(bound.Width));
    size.cy = static_cast<LONG>(std::ceil(bound.Height));
  }
  return size;
}

int32_t FitFontSize(TWidgetCanvas& canvas, const WideString& text, int32_t width, int32_t height, int32_t largest,
                    int32_t smallest) {
  int32_t size = largest;
  for (; size > smallest; --size) {
    canvas.Font()->SetSize(size);
    const SIZE box = canvas.MeasureText(text);
    if (box.cx <= width && box.cy <= height) return size;
  }
  canvas.Font()->SetSize(size);
  return size;
}

void TWidgetCanvas::SetSize(int32_t width, int32_t height) {
  ReleaseSurface();
  FWidth = width;
  FHeight = height;
}

// ---- unit operations

void ScaleAlpha(GpBitmap* bitmap, uint8_t opacity) {
  if (!bitmap) return;
  PixelFormat format = 0;
  if (GdipGetImagePixelFormat(bitmap, &format) != Ok || !(format & PixelFormatAlpha)) return;
  UINT width = 0, height = 0;
  GdipGetImageWidth(bitmap, &width);
  GdipGetImageHeight(bitmap, &height);
  GpRect rect(0, 0, static_cast<INT>(width), static_cast<INT>(height));
  TLockedBits bits(bitmap, rect);
  if (!bits.Locked()) return;
  const BitmapData& data = bits.Data();
  auto* row = static_cast<uint8_t*>(data.Scan0);
  for (UINT y = 0; y < data.Height; ++y, row += data.Stride) {
    uint8_t* alpha = row + 3;
    for (UINT x = 0; x < data.Width; ++x, alpha += 4) *alpha = static_cast<uint8_t>((*alpha * opacity) >> 8);
  }
}

void LoadResourceStream(const WideString& resType, const WideString& resName, TStream* stream) {
  HMODULE module = GetModuleHandleW(nullptr);
  HRSRC info = FindResourceW(module, WinStr(resName), WinStr(resType));
  if (!info) return;
  HGLOBAL global = LoadResource(module, info);
  if (!global) return;
  const auto* data = static_cast<const uint8_t*>(LockResource(global));
  if (data && stream) {
    DWORD size = SizeofResource(module, info);
    try {
      for (DWORD done = 0; done < size;) {
        DWORD block = std::min(kResourceCopyBlock, size - done);
        stream->Write(data + done, block);
        done += block;
      }
      stream->Seek(0, TSeekOrigin::Beginning);
    } catch (...) {
      // A stream that cannot take the bytes keeps what it got; nothing is reported.
    }
  }
  FreeResource(global);
}
