#pragma once
// The two content controls of a tracker's face: a picture from the program's
// resources and a one-line text with a soft shadow.
#include <cstdint>
#include <memory>
#include <string>

#include "ui/Widgets.h"

constexpr const WideChar IMAGE_CONTROL_CLASS_NAME[] = u"TWidgetImageControl";
constexpr const WideChar LABEL_CLASS_NAME[] = u"TWidgetLabel";

// Picture drawn from a "PNG" resource, scaled to the control's size. A control
// larger than the picture draws its double-size rendering ("NAME_2X.PNG")
// where the program has one. Its window (like the label's) is the platform's
// "STATIC" class, subclassed.
class TWidgetImageControl : public TWidgetControl {
public:
  explicit TWidgetImageControl(TComponent* owner);
  const WideChar* ClassName() const override { return IMAGE_CONTROL_CLASS_NAME; }
  ~TWidgetImageControl() override;

  const std::string& ImageName() const { return FImageName; }
  // Reloads the resource every time, also for the same name, dropping any tint.
  void SetImageName(const std::string& name);
  // Recolours every pixel to Color's red, green and blue, keeping its alpha.
  void Tint(TWidgetColor color);
  TWidgetImage* Image() const { return FImage.get(); }
  // The rendering drawn at the control's current size.
  TWidgetImage* Picture();
  // What a repaint copies: the picture itself at its own size, otherwise the
  // picture resampled to the control's size once, until size or picture change.
  Gdiplus::GpBitmap* PictureAtSize();
  void Paint() override;

protected:
  void FillCreateParams(TWidgetCreateParams& params) override;
  void DoPaint() override;

private:
  std::unique_ptr<TWidgetImage> FImage;
  std::unique_ptr<TWidgetImage> FLarge;  // loaded when first needed
  bool FLargeTried = false;
  std::unique_ptr<TWidgetCanvas> FResampled;
  Gdiplus::GpBitmap* FResampledFrom = nullptr;
  bool FTinted = false;
  TWidgetColor FTint = 0;
  std::string FImageName;
};

// The resource name of a picture's double-size rendering: "A.PNG" -> "A_2X.PNG".
std::string LargePictureName(const std::string& name);

// One line of text in the canvas font, drawn over a faint copy of itself one
// pixel down and right.
class TWidgetLabel : public TWidgetControl {
public:
  explicit TWidgetLabel(TComponent* owner);
  const WideChar* ClassName() const override { return LABEL_CLASS_NAME; }

  bool Shadow = true;

protected:
  void FillCreateParams(TWidgetCreateParams& params) override;
  void DoPaint() override;
};

// The alpha the shadow keeps of the text colour.
constexpr TWidgetColor LABEL_SHADOW_MASK = 0x40000000;

// A Windows colour 0x00BBGGRR as the opaque ARGB 0xFFRRGGBB.
TWidgetColor OpaqueArgbOf(uint32_t windowsColor);
