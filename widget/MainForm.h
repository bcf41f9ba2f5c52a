#pragma once
// The tracker widget: a 79 x 74 layered window on a thread of its own that
// polls the counter service, fades in and out, drags, snaps to its
// neighbours and the work area, and offers its context menu.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "inet/InetThrd.h"
#include "platform/ProgramIds.h"
#include "text/TextLookup.h"
#include "text/TextIds.h"
#include "ui/ThreadForm.h"
#include "ui/Widgets.h"
#include "tracker/CountPolling.h"
#include "widget/WidgetFace.h"
#include "widget/HistoryWatch.h"
#include "tracker/KeyShares.h"
#include "widget/Snapping.h"
#include "tracker/SpikeAlert.h"
#include "tracker/TrackerEdit.h"
#include "tracker/TrackerSettings.h"

class TWidgetMainForm;

constexpr const WideChar WIDGET_MAINFORM_CLASS_NAME[] = u"TWidgetMainForm";

// What a widget reaches of its owner's world. Copied into the widget: the
// widget holds the board and the texts too, so they outlive every widget
// whatever order their owners go in.
struct TWidgetHost {
  HWND ManagerWindow = nullptr;                  // WM_SHOWDETAILS, WM_REMOVEWIDGET, WM_CLOSE go here
  std::shared_ptr<const TTextLookup> Languages;  // menu and message-box texts; none: built-in English
  std::shared_ptr<TWidgetBoard> Board;           // every widget's bounds, for snapping; none: work area only
  // Opens the Settings dialog modally on the widget's thread.
  std::function<void(TWidgetMainForm& widget)> Preferences;
  // Asked on the widget's thread before its Settings dialog gives it a new ID:
  // true once the owner agreed (no other tracker has it, case ignored); false
  // when it refused or could not be asked in time. An empty ID gives the
  // claim up. None: nobody else to ask.
  std::function<bool(const TWidgetMainForm& widget, const WideString& id)> ClaimId;
  // The host setting the widget polls: the build's counter service, or a
  // loopback server for tests and benchmarks.
  std::string CounterServer = CounterHost();
  // The trackers polling with each key; none: each key counts as its own.
  std::shared_ptr<TKeyShares> KeyShares;
  // Every tracker's history, which each poll adds to; none: no history is kept.
  std::shared_ptr<THistoryBook> History;
};

constexpr DWORD WIDGET_DETAILS_WAIT_MS = 5000;

// Built on the owner's thread; from Resume on, the window and every field
// belong to the widget's own thread. Other threads read the published
// Settings() snapshot and WindowHandle(), and talk to it through messages.
class TWidgetMainForm : public TThreadForm {
public:
  TWidgetMainForm(TComponent* owner, const TWidgetHost& host, const TTrackerSettings& settings);
  ~TWidgetMainForm() override;
  const WideChar* ClassName() const override { return WIDGET_MAINFORM_CLASS_NAME; }

  // Owner's thread, when it lists the widget: the board then keeps list order.
  void ListOnBoard();

  // Any thread: the persisted fields as the widget's thread last published them.
  TTrackerSettings Settings() const;
  // Widget thread: takes a saved edit as a whole (a typed key encrypted, the
  // history renamed with the ID, polling restarted when ID or source changed)
  // and tells the manager once. False, with nothing changed, when a typed key
  // cannot be encrypted.
  bool Apply(const TTrackerEdit& edit);
  // Any thread: why the widget's window could not be made; empty while it could.
  WideString StartFailure() const;

  // Polling (widget thread).
  void StartPoll();
  void OnStartTimer();
  void OnPollTimer();
  // Widget thread (or before Resume) from here on.
  const WideString& ID() const { return FSettings.ID; }
  int32_t Interval() const { return FSettings.Interval; }
  bool Enable() const { return FSettings.Enable; }
  // The source, and its key as stored ("dpapi:...").
  const TSourceSettings& Source() const { return FSettings.Source; }
  const WideString& StoredKey() const { return FSettings.ApiKey; }
  bool KeyUnreadable() const { return FPoller.KeyUnreadable; }
  const TPollFailure& LastFailure() const { return FPoller.LastFailure(); }
  // The last failure in words, in the current language; empty after a count.
  WideString LastFailureText() const;
  // The interval polls run at, and how many trackers share the key.
  int32_t PollInterval() const { return FPoller.PollInterval(PollInput()); }
  int32_t KeySharing() const { return FPoller.Sharing; }
  // The tooltip's text: what the count means, or why it is "?".
  const WideString& TipText() const { return FTip.Text(); }
  int32_t Count() const { return FSettings.Count; }
  int32_t Previous() const { return FSettings.Previous; }
  bool Busy() const { return FWorker != nullptr; }
  int32_t StartDelay() const { return FStartDelay; }
  void SetStartDelay(int32_t value) { FStartDelay = value; }

  // Properties.
  const WideString& Title() const { return FSettings.Title; }
  bool AlwaysTop() const { return FSettings.AlwaysTop; }
  void SetAlwaysTop(bool value);
  bool IgnoreMouse() const { return FSettings.IgnoreMouse; }
  bool PreventDragging() const { return FSettings.PreventDragging; }
  int32_t TargetOpacity() const { return FSettings.TargetOpacity; }
  uint32_t BackColor() const { return FSettings.BackColor; }
  bool Shown() const { return FShown; }
  void SetShown(bool value);
  // Any thread: what the widget was given at construction; it never changes.
  const TWidgetHost& Host() const { return FHost; }
  HWND SettingsDialog() const { return FSettingsDialog; }
  // The history popup's window while it shows, else none.
  HWND HistoryWindow() const { return FHistory.Showing() ? FHistory.PopupWindow() : nullptr; }
  int32_t AlertAbove() const { return FSettings.AlertAbove; }
  void SetSettingsDialog(HWND value) { FSettingsDialog = value; }
  bool Dragging() const { return FDragging; }
  HMENU Menu() const { return FMenu.Get(); }

  void ShowWidget();
  void HideWidget();
  void PopupMenu();
  void MouseDownHandler(TComponent* sender, int32_t keys, int32_t x, int32_t y);

  // Widget thread: the face's controls.
  const TWidgetFace& Face() const { return FFace; }

protected:
  void WndProc(TWidgetMessage& message) override;
  void WMDestroy(TWidgetMessage& message) override;
  void WMTimer(TWidgetMessage& message) override;
  void WMWindowPosChanging(TWidgetMessage& message) override;
  void WMWindowPosChanged(TWidgetMessage& message) override;
  void WMClose(TWidgetMessage& message) override;
  void DoCreate() override;
  void ApplyDpi() override;
  void ThreadStarted() override;
  void ThreadFailed(const WideString& reason) override;
  virtual void WMCommand(TWidgetMessage& message);
  virtual void ApplyResponse(TWidgetMessage& message);
  virtual void WMHideWidget(TWidgetMessage& message);
  virtual void WMShowWidget(TWidgetMessage& message);
  virtual void WMToggleTopMost(TWidgetMessage& message);
  virtual void WMLanguageChanged(TWidgetMessage& message);

private:
  void PublishSettings();
  void NotifyChanged();
  void ApplyTopMost();
  void ApplyIgnoreMouse();
  void KeepOnScreen();
  void WMSettingChange(TWidgetMessage& message);
  void LocalizeMenu();
  WideString Text(int32_t id, const WideChar* fallback) const;
  TPollInput PollInput() const;
  void Carry(const TPollResult& result);
  void TakeKey(const WideString& stored);
  void UpdateSharing();
  void UpdateTip();
  bool StartWorker();
  void Publish();
  void ConfirmRemove();
  THistorySubject HistorySubject() const;
  // Pumps this thread's messages between a fade's steps while the widget lives.
  std::function<bool()> Pump();

  // Registered here, on the owner's thread, before the widget's thread makes
  // either window.
  TWindowClass FWindowClass{WIDGET_MAINFORM_CLASS_NAME};
  TWindowClass FPopupClass{HISTORY_POPUP_CLASS_NAME};
  TWidgetHost FHost;
  THistoryWatch FHistory;
  // The tracker as it is; its position is the window's. Count and Previous
  // are the counts shown, ApiKey the key as stored.
  TTrackerSettings FSettings;
  TCountPoller FPoller;
  TWidgetFace FFace;
  TSpikeAlert FAlert;
  std::unique_ptr<TInetThread> FWorker;
  TMenuHandle FMenu;
  TWindowTip FTip;
  std::string FKeyGroup;
  int32_t FStartDelay = 0;
  bool FDragging = false;
  bool FShown = true;
  HWND FSettingsDialog = nullptr;
  bool FClosing = false;

  mutable std::mutex FSettingsLock;
  TTrackerSettings FPublished;  // guarded by FSettingsLock; written by the widget's thread
  WideString FStartFailure;     // guarded by FSettingsLock
};
