#pragma once
// A tracker window's face: its controls, their layout at each DPI, and what
// they show. The controls belong to the form they are built on; the face
// names them.
#include <cstdint>

#include "ui/Widgets.h"
#include "widget/FaceControls.h"

constexpr const char IMG_SHADOW[] = "SHADOW.PNG";
constexpr const char IMG_OVERLAY[] = "OVERLAY.PNG";

// What a new face shows.
struct TFaceContent {
  WideString Title;
  int32_t Count, Previous;
  uint32_t BackColor;  // Windows colour 0x00BBGGRR, the shadow's tint
};

class TWidgetFace {
public:
  // Builds the controls on form, bottom to top; the glass passes mouse
  // presses to onMouseDown and the mouse arriving to onMouseEnter.
  void Build(TWidgetForm* form, const TFaceContent& content, const TMouseEvent& onMouseDown,
             const TMouseEvent& onMouseEnter);
  // Every control and font at dpi; nothing before Build.
  void Place(uint32_t dpi);
  void ShowCounts(int32_t count, int32_t previous);
  void ShowTitle(const WideString& title);
  // The count's colour says whether it is at or above its alert.
  void ShowAlert(bool high);
  void ShowState(const WideChar* image);

  TWidgetImageControl* ShadowImage = nullptr;
  TWidgetLabel* CountLabel = nullptr;
  TWidgetLabel* PreviousLabel = nullptr;
  TWidgetImageControl* TrendImage = nullptr;
  TWidgetImageControl* OverlayImage = nullptr;
  TWidgetLabel* TitleLabel = nullptr;
  TWidgetImageControl* StateImage = nullptr;
};
