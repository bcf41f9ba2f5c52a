#include "widget/HistoryPopup.h"

#include <ctime>

#include "text/TextIds.h"
#include "text/WStrUtils.h"
#include "tracker/CountPolling.h"
#include "widget/HistoryGraph.h"

namespace {
constexpr const char kPopupFont[] = "Tahoma";
constexpr TWidgetColor kBackground = 0xF0202428;
constexpr TWidgetColor kFrame = 0xFF505860;
constexpr TWidgetColor kText = 0xFFFFFFFF;
constexpr TWidgetColor kDimText = 0xFFA8B0B8;
constexpr TWidgetColor kGrid = 0x50FFFFFF;
constexpr TWidgetColor kLine = 0xFF4FC3F7;
constexpr int32_t kPad = 8, kGap = 6;
constexpr int32_t kTitleTop = 5, kTitleHeight = 17;
constexpr int32_t kCaptionHeight = 14, kPlotHeight = 46, kMarkHeight = 13;
constexpr int32_t kHourTop = 24, kDayTop = 106;  // each graph's caption row
constexpr int64_t kHourMarks = 15 * 60, kDayMarks = 6 * 60 * 60;
// A run breaks where polls stopped for longer than this: the program was not running.
constexpr int64_t kHourBreak = 5 * 60, kDayBreak = 10 * 60;

RECT Rect(int32_t left, int32_t top, int32_t right, int32_t bottom) { return RECT{left, top, right, bottom}; }
}  // namespace

THistoryPopup::THistoryPopup(TComponent* owner, std::shared_ptr<const TTextLookup> languages)
    : TWidgetForm(owner), FLanguages(std::move(languages)) {
  SetWidth(HISTORY_POPUP_WIDTH);
  SetHeight(HISTORY_POPUP_HEIGHT);
  OnPaint = [this](TComponent*, TWidgetCanvas* canvas) { PaintHistory(canvas); };
}

// Click-through and never active: it only shows, so the widget under the
// mouse keeps its clicks and the user's window keeps the keyboard.
void THistoryPopup::FillCreateParams(TWidgetCreateParams& params) {
  TWidgetForm::FillCreateParams(params);
  params.ExStyle |= WS_EX_TRANSPARENT | WS_EX_NOACTIVATE | WS_EX_TOPMOST;
}

WideString THistoryPopup::Text(int32_t id, const WideChar* fallback) const {
  return TextOr(FLanguages.get(), id, fallback);
}

void THistoryPopup::ShowBeside(const WideString& title, const TTrackerHistory& history, const TScreenRect& widget,
                               int64_t now, const std::function<bool()>& goOn) {
  FTitle = title;
  FHistory = history;
  FHistory.Expire(now);
  FNow = now;
  FLocalOffset = LocalUtcOffset();
  if (!Handle()) return;
  const std::vector<TMonitorArea> monitors = DisplayMonitors();
  const int monitor = MonitorOfRect(widget, monitors);
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  TScreenRect area = ScreenRectOf(work);
  if (monitor >= 0) {
    area = monitors[static_cast<size_t>(monitor)].WorkArea;
    SetDpi(monitors[static_cast<size_t>(monitor)].Dpi);
  }
  const int32_t width = Scaled(HISTORY_POPUP_WIDTH), height = Scaled(HISTORY_POPUP_HEIGHT);
  const TScreenRect place = PlacePopup(widget, width, height, area, Scaled(kGap));
  SetBounds(place.Left, place.Top, width, height);
  Canvas()->SetSize(width, height);
  if (!FShowing) SetOpacity(0);
  FShowing = true;
  Redraw();
  // Shown without taking the activation, and on top of the widget's own topmost band.
  SetWindowPos(StoredHandle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
  FadeTo(HISTORY_POPUP_OPACITY, FADE_STEP, FADE_SLEEP_MS, goOn);
}

void THistoryPopup::FadeOut(const std::function<bool()>& goOn) {
  if (!FShowing || !WindowExists()) return;
  FShowing = false;
  if (FadeTo(0, FADE_STEP, FADE_SLEEP_MS, goOn) && WindowExists() && !FShowing)
    ShowWindow(StoredHandle(), SW_HIDE);
}

void THistoryPopup::PaintHistory(TWidgetCanvas* canvas) {
  const int32_t w = canvas->Width(), h = canvas->Height();
  canvas->Brush()->SetColor(kBackground);
  canvas->FillRect(Rect(0, 0, w, h));
  canvas->Pen()->SetColor(kFrame);
  canvas->Pen()->SetWidth(1.0f);
  canvas->DrawRect(Rect(0, 0, w, h));

  TWidgetFont* font = canvas->Font();
  font->SetName(kPopupFont);
  font->SetDpi(Dpi());
  font->SetStyle(1);  // bold
  font->SetSize(9);
  font->SetColor(kText);
  font->Format()->SetAlignment(wsaNear);
  font->Format()->SetLineAlignment(wsaCenter);
  canvas->DrawText(FTitle, Rect(Scaled(kPad), Scaled(kTitleTop), w - Scaled(kPad), Scaled(kTitleTop + kTitleHeight)));
  font->SetStyle(0);

  PaintGraph(canvas, HourSeries(FHistory), kHourTop, STR_HISTORY_HOUR, u"Last hour", HISTORY_RECENT_SECONDS,
             kHourMarks);
  PaintGraph(canvas, DaySeries(FHistory), kDayTop, STR_HISTORY_DAY, u"Last 24 hours", HISTORY_DAY_MINUTES * 60,
             kDayMarks);
}

void THistoryPopup::PaintGraph(TWidgetCanvas* canvas, const std::vector<THistorySample>& series, int32_t top,
                               int32_t captionId, const WideChar* caption, int64_t span, int64_t markStep) {
  const int32_t left = Scaled(kPad), right = canvas->Width() - Scaled(kPad);
  const int32_t plotTop = Scaled(top + kCaptionHeight), plotBottom = Scaled(top + kCaptionHeight + kPlotHeight);
  const TScreenRect box{left, plotTop, right, plotBottom};
  const TGraphPlot plot =
      PlotSeries(series, FNow - span, FNow, box, markStep, FLocalOffset, span > HISTORY_RECENT_SECONDS ? kDayBreak
                                                                                                        : kHourBreak);
  TWidgetFont* font = canvas->Font();
  font->SetSize(7);
  font->SetColor(kDimText);
  const RECT captionRow = Rect(left, Scaled(top), right, plotTop);
  font->Format()->SetAlignment(wsaNear);
  canvas->DrawText(Text(captionId, caption), captionRow);
  font->Format()->SetAlignment(wsaFar);
  if (plot.Highest >= 0)
    canvas->DrawText(WideFormat(Text(STR_HISTORY_RANGE, u"low %s \u00B7 high %s \u00B7 now %s").c_str(),
                                {CountText(plot.Lowest), CountText(plot.Highest), CountText(plot.Current)}),
                     captionRow);

  canvas->Pen()->SetColor(kGrid);
  canvas->Pen()->SetWidth(1.0f);
  canvas->DrawLines({POINT{left, plotBottom - 1}, POINT{right - 1, plotBottom - 1}});
  canvas->DrawLines({POINT{left, plotTop}, POINT{right - 1, plotTop}});
  font->Format()->SetAlignment(wsaCenter);
  const int32_t half = Scaled(18);
  for (const TGraphMark& mark : plot.Marks) {
    canvas->DrawLines({POINT{mark.X, plotTop}, POINT{mark.X, plotBottom - 1}});
    canvas->DrawText(TwoDigits(mark.Hour) + u":" + TwoDigits(mark.Minute),
                     Rect(mark.X - half, plotBottom, mark.X + half, plotBottom + Scaled(kMarkHeight)));
  }
  if (plot.Highest < 0) {
    canvas->DrawText(Text(STR_HISTORY_NONE, u"No history yet"), Rect(left, plotTop, right, plotBottom));
    return;
  }
  font->Format()->SetAlignment(wsaNear);
  canvas->DrawText(CountText(plot.Top), Rect(left + 2, plotTop, right, plotTop + Scaled(kCaptionHeight)));
  canvas->Pen()->SetColor(kLine);
  canvas->Pen()->SetWidth(static_cast<float>(Scaled(2)));
  canvas->Brush()->SetColor(kLine);
  for (const std::vector<TGraphPoint>& run : plot.Runs) {
    std::vector<POINT> points;
    points.reserve(run.size());
    for (const TGraphPoint& p : run) points.push_back(POINT{p.X, p.Y});
    canvas->DrawLines(points);
  }
}

int32_t LocalUtcOffset() {
  TIME_ZONE_INFORMATION zone{};
  const DWORD which = GetTimeZoneInformation(&zone);
  LONG bias = zone.Bias;
  if (which == TIME_ZONE_ID_DAYLIGHT) bias += zone.DaylightBias;
  else if (which == TIME_ZONE_ID_STANDARD) bias += zone.StandardBias;
  return static_cast<int32_t>(-bias * 60);
}

int64_t UtcNow() { return static_cast<int64_t>(std::time(nullptr)); }
