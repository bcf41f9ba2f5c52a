#pragma once
// The history beside its widget: the last hour and the last day as graphs
// with their lowest, highest and current counts, drawn on a layered window
// that lets the mouse through and never takes the focus.
#include <memory>

#include "text/TextLookup.h"
#include "ui/Forms.h"
#include "tracker/History.h"

constexpr const WideChar HISTORY_POPUP_CLASS_NAME[] = u"TWidgetHistoryPopup";
constexpr int32_t HISTORY_POPUP_WIDTH = 260, HISTORY_POPUP_HEIGHT = 188;  // at 96 DPI
constexpr uint8_t HISTORY_POPUP_OPACITY = 240;

// Belongs to the widget's thread, which makes and shows it.
class THistoryPopup : public TWidgetForm {
public:
  THistoryPopup(TComponent* owner, std::shared_ptr<const TTextLookup> languages);
  const WideChar* ClassName() const override { return HISTORY_POPUP_CLASS_NAME; }

  // Draws history as of now (UTC seconds) and fades in beside widget, inside
  // the work area of its monitor. goOn pumps the thread's messages between
  // the fade's steps and says whether to go on.
  void ShowBeside(const WideString& title, const TTrackerHistory& history, const TScreenRect& widget, int64_t now,
                  const std::function<bool()>& goOn);
  void FadeOut(const std::function<bool()>& goOn);
  bool Showing() const { return FShowing; }

protected:
  void FillCreateParams(TWidgetCreateParams& params) override;

private:
  void PaintHistory(TWidgetCanvas* canvas);
  void PaintGraph(TWidgetCanvas* canvas, const std::vector<THistorySample>& series, int32_t top, int32_t captionId,
                  const WideChar* caption, int64_t span, int64_t markStep);
  WideString Text(int32_t id, const WideChar* fallback) const;

  std::shared_ptr<const TTextLookup> FLanguages;
  WideString FTitle;
  TTrackerHistory FHistory;
  int64_t FNow = 0;
  int32_t FLocalOffset = 0;
  bool FShowing = false;
};

// Seconds to add to UTC for local time now, as the system's time zone says.
int32_t LocalUtcOffset();
// UTC seconds since 1970, from the system clock.
int64_t UtcNow();
