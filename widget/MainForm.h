#pragma once
// The tracker widget: a 79 x 74 layered window on a thread of its own that
// polls the counter service, fades in and out, drags, snaps to its
// neighbours and the work area, and offers its context menu.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "inet/InetThrd.h"
#include "platform/ProgramIds.h"
#include "text/TextLookup.h"
#include "ui/Widgets.h"
#include "widget/CountPolling.h"
#include "widget/FaceControls.h"
#include "widget/Snapping.h"

class TWidgetMainForm;

constexpr int32_t WIDGET_WIDTH = 79;
constexpr int32_t WIDGET_HEIGHT = 74;

constexpr int32_t STR_CONFIRM = 1003;
constexpr int32_t STR_REMOVE_QUESTION = 1006;

constexpr uint8_t FADE_STEP = 8;
constexpr DWORD FADE_SLEEP_MS = 4;

constexpr const char IMG_SHADOW[] = "SHADOW.PNG";
constexpr const char IMG_OVERLAY[] = "OVERLAY.PNG";

// What a widget reaches of its owner's world. Copied into the widget; the
// languages and the board must outlive every widget.
struct TWidgetHost {
  HWND ManagerWindow = nullptr;           // WM_SHOWDETAILS, WM_REMOVEWIDGET, WM_CLOSE go here
  const TTextLookup* Languages = nullptr;  // menu and message-box texts; none: built-in English
  TWidgetBoard* Board = nullptr;          // every widget's bounds, for snapping; none: work area only
  // Opens the Settings dialog modally on the widget's thread.
  std::function<void(TWidgetMainForm& widget)> Preferences;
};

// The fields a tracker keeps in the settings file.
struct TTrackerSettings {
  int32_t Left = 0, Top = 0;
  bool AlwaysTop = true;
  bool IgnoreMouse = false;
  bool PreventDragging = false;
  WideString Title = u"Orvanta";
  WideString ID;
  int32_t Interval = DEFAULT_POLL_INTERVAL;
  int32_t Count = NO_COUNT;
  int32_t Previous = NO_COUNT;
  int32_t TargetOpacity = 255;
  bool Enable = true;
  uint32_t BackColor = 0;  // Windows colour 0x00BBGGRR
};

// Defaults with the widget in the work area's bottom-right corner.
TTrackerSettings DefaultTrackerSettings();

// Built on the owner's thread; from Resume on, the window and every field
// belong to the widget's own thread. Other threads talk to it through
// messages (Invoke for a synchronous look).
class TWidgetMainForm : public TWidgetForm {
public:
  TWidgetMainForm(TComponent* owner, const TWidgetHost& host, const TTrackerSettings& settings);
  // Closes the window on its own thread and joins the thread.
  ~TWidgetMainForm() override;

  // Owner's thread, when it lists the widget: the board then keeps list order.
  void ListOnBoard();
  // Starts the widget's thread: window, fade-in, message loop.
  void Resume();
  // Ends the thread (WM_CLOSE to the window) and waits for it; safe to repeat.
  void Stop();
  bool ThreadRunning() const { return FThread.joinable() && !FThreadDone; }
  // Runs fn on the widget's thread and waits; runs it here when no window exists.
  void Invoke(const std::function<void()>& fn);

  TTrackerSettings Settings() const;

  // Polling (widget thread).
  void StartPoll();
  void OnStartTimer();
  void OnPollTimer();
  const WideString& ID() const { return FPoller.ID; }
  void SetID(const WideString& value) { FPoller.ID = value; }
  int32_t Interval() const { return FPoller.Interval; }
  void SetInterval(int32_t value) { FPoller.Interval = value; }
  bool Enable() const { return FPoller.Enable; }
  void SetEnable(bool value) { FPoller.Enable = value; }
  int32_t Count() const { return FPoller.Count; }
  int32_t Previous() const { return FPoller.Previous; }
  bool Busy() const { return FWorker != nullptr; }
  int32_t StartDelay() const { return FStartDelay; }
  void SetStartDelay(int32_t value) { FStartDelay = value; }

  // Properties.
  const WideString& Title() const { return FTitle; }
  void SetTitle(const WideString& value);
  bool AlwaysTop() const { return FAlwaysTop; }
  void SetAlwaysTop(bool value);
  bool IgnoreMouse() const { return FIgnoreMouse; }
  void SetIgnoreMouse(bool value);
  bool PreventDragging() const { return FPreventDragging; }
  void SetPreventDragging(bool value) { FPreventDragging = value; }
  int32_t TargetOpacity() const { return FTargetOpacity; }
  void SetTargetOpacity(int32_t value);
  uint32_t BackColor() const { return FBackColor; }
  void SetBackColor(uint32_t value) { FBackColor = value; }  // shows when the face is built again
  bool Shown() const { return FShown; }
  void SetShown(bool value);
  HWND SettingsDialog() const { return FSettingsDialog; }
  void SetSettingsDialog(HWND value) { FSettingsDialog = value; }
  bool Dragging() const { return FDragging; }
  HMENU Menu() const { return FMenu; }

  void ShowWidget();
  void HideWidget();
  void PopupMenu();
  void MouseDownHandler(TComponent* sender, int32_t keys, int32_t x, int32_t y);

  TWidgetImageControl* ShadowImage = nullptr;
  TWidgetLabel* CountLabel = nullptr;
  TWidgetLabel* PreviousLabel = nullptr;
  TWidgetImageControl* TrendImage = nullptr;
  TWidgetImageControl* OverlayImage = nullptr;
  TWidgetLabel* TitleLabel = nullptr;
  TWidgetImageControl* StateImage = nullptr;

  // Raised after every fade step, with Opacity already at its new value.
  TNotifyEvent OnFadeStep;

protected:
  void WndProc(TWidgetMessage& message) override;
  void WMDestroy(TWidgetMessage& message) override;
  void WMTimer(TWidgetMessage& message) override;
  void WMWindowPosChanging(TWidgetMessage& message) override;
  void WMWindowPosChanged(TWidgetMessage& message) override;
  void WMClose(TWidgetMessage& message) override;
  void DoCreate() override;
  virtual void WMCommand(TWidgetMessage& message);
  virtual void ApplyResponse(TWidgetMessage& message);
  virtual void WMHideWidget(TWidgetMessage& message);
  virtual void WMShowWidget(TWidgetMessage& message);
  virtual void WMToggleTopMost(TWidgetMessage& message);
  virtual void WMLanguageChanged(TWidgetMessage& message);

private:
  void ThreadMain();
  void BuildFace();
  void LocalizeMenu();
  WideString Text(int32_t id, const WideChar* fallback) const;
  void Carry(TPollActions actions);
  bool StartWorker();
  // Pumps the thread's queue; false once the window is gone or a quit came.
  bool PumpMessages();
  bool FadeGoesOn(uint32_t generation);
  void FadeTo(uint8_t opacity);
  void Publish();
  void ShowAbout();
  void ConfirmRemove();

  TWidgetHost FHost;
  TCountPoller FPoller;
  std::unique_ptr<TInetThread> FWorker;
  HMENU FMenu = nullptr;
  WideString FTitle;
  int32_t FStartDelay = 0;
  bool FDragging = false;
  bool FAlwaysTop = false;
  int32_t FTargetOpacity = 255;
  bool FShown = true;
  HWND FSettingsDialog = nullptr;
  bool FIgnoreMouse = false;
  bool FPreventDragging = false;
  uint32_t FBackColor = 0;
  bool FClosing = false;
  uint32_t FFadeGeneration = 0;  // a newer fade ends an older one that it interrupted

  std::thread FThread;
  std::atomic<bool> FThreadDone{false};
  std::atomic<bool> FStopRequested{false};
  std::atomic<HWND> FThreadWindow{nullptr};
};
