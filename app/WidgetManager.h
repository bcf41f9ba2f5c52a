#pragma once
// The hidden manager window on the GUI thread: the tray icon and its
// commands, the list of tracker widgets and their lifetimes, language
// changes, the start-up requests and the orderly, bounded shutdown. The
// settings file is the tracker store's; the tray menu is made where it pops up.
#include <cstdint>
#include <memory>
#include <vector>

#include "app/HistoryKeeper.h"
#include "app/SettingsFile.h"
#include "app/StartNotices.h"
#include "app/TrackerStarts.h"
#include "app/ShellDialogs.h"
#include "app/TrackerStore.h"
#include "app/WidgetLanguages.h"
#include "inet/InetThrd.h"
#include "platform/ProgramIdentity.h"
#include "text/TextIds.h"
#include "tracker/TrackerEdit.h"
#include "ui/Widgets.h"
#include "widget/MainForm.h"

constexpr const WideChar TASKBAR_CREATED_MESSAGE[] = u"TaskbarCreated";

constexpr const char VERSION_PATH[] = "/orvanta.xml";
constexpr const char USAGE_PING_PATH[] = "/widget/k3v9w2m7p4xq.png";

// The manager's own timers, beside TIMER_UPDATECHECK.
constexpr uint32_t TIMER_AUTOSAVE = 1003;  // the settings file is written when a burst of changes is over
constexpr uint32_t TIMER_REAP = 1004;      // removed widgets are freed once their threads have ended
constexpr uint32_t TIMER_HISTORY = 1006;   // the history file is written once a minute
constexpr uint32_t TIMER_NOTSHOWN = 1007;  // trackers whose window could not be made are told about

constexpr uint32_t UPDATECHECK_DELAY_MS = 500;
constexpr uint32_t AUTOSAVE_DELAY_MS = 1000;
constexpr uint32_t REAP_INTERVAL_MS = 100;
constexpr uint32_t NOTSHOWN_DELAY_MS = 500;
constexpr DWORD CLOSE_STEP_MS = 10;
// Exit, counted from WM_CLOSE: widgets that have not ended by then are left to
// the process's end, and so is a usage ping that has not come back.
constexpr DWORD EXIT_WIDGET_WAIT_MS = 3500;
constexpr DWORD EXIT_PING_WAIT_MS = 3800;
// How long a widget's thread waits for the manager to agree to a new ID.
constexpr DWORD CLAIM_ID_WAIT_MS = 2000;
// WM_KEYSUNREADABLE's wParam when the keys are in plain text rather than unreadable.
constexpr WPARAM KEYS_NOT_PROTECTED = 1;

class TWidgetManager : public TWinForm {
public:
  TWidgetManager(TComponent* owner, std::shared_ptr<TWidgetLanguages> languages, const TShellDialogs& dialogs,
                 const WideString& title);
  // Frees the widgets first, while the board and the texts they lean on exist.
  ~TWidgetManager() override;

  // Settings file.
  void LoadSettings();
  // Writes the whole file at once; false when it could not be written, in
  // which case the file on disk is as it was.
  bool SaveSettings();
  // A user change: the file is written about a second after the last of a burst.
  void SettingsChanged();
  // The tray icon, for what its tip and balloon say (manager thread).
  const TWidgetTray* Tray() const { return FTray; }
  WideString SettingsFileName() const { return FSettingsFolder + SETTINGS_FILE_NAME; }
  bool FirstRun() const { return FStore.State() == TSettingsState::FirstRun; }

  // Widgets.
  // fresh: what the Add Tracker dialog saved beyond the ID and title (its
  // source, stored key and poll interval).
  int CreateTracker(const WideString& id, const WideString& title, int32_t startDelay,
                    const TTrackerSettings* fresh = nullptr);
  // Creates the tracker the Add Tracker dialog saved, its typed key
  // encrypted; false, with nothing made, when the key cannot be encrypted.
  bool AddTracker(const TTrackerEdit& edit);
  int AddWidget(TWidgetMainForm* widget);
  int RemoveWidget(TWidgetMainForm* widget);
  int RemoveWidgetByHandle(HWND window);
  TWidgetMainForm* FindWidgetByHandle(HWND window) const;
  int WidgetCount() const { return static_cast<int>(FWidgetList.size()); }
  TWidgetMainForm* Widget(int index) const { return FWidgetList.at(static_cast<size_t>(index)).Widget; }
  // Every ID a new tracker must not take: the live trackers' (and the ones
  // they are about to take) and the ones kept in the file without a widget.
  std::vector<WideString> TakenIds() const;
  // The widget may take id unless another tracker has it, case ignored; the
  // claim holds until the widget claims another. An empty id gives it up.
  bool ClaimTrackerId(const TWidgetMainForm* widget, const WideString& id);
  void HideAll();
  void ShowAll();
  // Some widget's thread did not end in time at shutdown.
  bool Abandoned() const { return FAbandoned; }
  // Shows why the settings could not be written, once per run.
  void TellSaveFailed();

  // Commands.
  void ShowAbout();
  void ShowAddDialog();
  void SelectLanguageCommand(int index);
  void OpenTrackerSettings(int index);

  TWidgetLanguages& Languages() const { return *FLanguages; }
  // The open Add Tracker dialog, or none: a language switch reaches it.
  HWND AddDialog() const { return FAddDialog; }
  void SetAddDialog(HWND dialog) { FAddDialog = dialog; }
  const std::string& CounterServer() const { return FCounterServer; }
  // Which trackers share a key, and the budget of each key group.
  const std::shared_ptr<TKeyShares>& KeyShares() const { return FKeyShares; }
  // The counter service the widgets poll and Details opens: the build's own
  // unless the manager is pointed elsewhere before its widgets start.
  void SetCounterServer(const std::string& hostSetting) { FCounterServer = hostSetting; }

protected:
  const WideChar* ClassName() const override { return MANAGER_CLASS_NAME; }
  void WndProc(TWidgetMessage& message) override;
  void WMDestroy(TWidgetMessage& message) override;
  void WMTimer(TWidgetMessage& message) override;
  void WMClose(TWidgetMessage& message) override;
  void DoCreate() override;
  virtual void WMCommand(TWidgetMessage& message);
  virtual void WMShowDetails(TWidgetMessage& message);
  virtual void WMRemoveWidget(TWidgetMessage& message);

private:
  struct TTrackerSlot {
    TWidgetMainForm* Widget;
    WideString SectionId;  // the section the tracker was read from or last written to
    WideString ClaimedId;  // an ID its Settings dialog is about to give it
  };

  void CreateTray();
  void RestoreTrayIcon();
  void UpdateTrayTip();
  void ShowAlert(TWidgetMessage& message);
  void TrayMouseUp(TComponent* sender, int32_t keys, int32_t x, int32_t y);
  void StartUpdateCheck();
  void StartVersionRequest();
  void StartUsagePing();
  void VersionResponse(TWidgetMessage& message);
  void EndSession();
  void TellSettingsUnreadable();
  void TellKeys(bool plain) {
    ::TellKeys(StoredHandle(), FLanguages.get(), FTitle, plain ? FStore.PlainKeySections() : FUnreadableKeys, plain);
  }
  TScreenRect WorkArea() const;
  // A widget for the tracker, listed but not yet started; none when it could not be made.
  TWidgetMainForm* NewTracker(const TTrackerSettings& settings, int32_t startDelay);
  void StartTracker(TWidgetMainForm* widget, bool keep);
  int FindSlot(const TWidgetMainForm* widget) const;
  int DropFailedWidget(TWidgetMainForm* widget);
  void WidgetNotShown(const TWidgetMainForm* widget);
  void NotShown(const WideString& tracker, const WideString& reason);
  std::vector<TTrackerEntry> Entries() const;
  void ReapRetired();
  // Closes every widget in list order, waits until the deadline (a tick count),
  // frees the ended ones and abandons the rest.
  void CloseWidgets(DWORD deadline);
  void CloseTray(DWORD deadline);

  // Declared first, so they go last: every widget leans on them.
  TWindowClass FWindowClass{MANAGER_CLASS_NAME};
  std::shared_ptr<TWidgetLanguages> FLanguages;
  std::shared_ptr<TWidgetBoard> FBoard;
  std::shared_ptr<TKeyShares> FKeyShares = std::make_shared<TKeyShares>();
  std::vector<WideString> FUnreadableKeys;  // trackers told about once the message loop runs
  std::vector<WideString> FNotShown;        // trackers without a window, and why, told together
  TShellDialogs FDialogs;
  WideString FTitle;
  std::string FCounterServer = CounterHost();

  // GUI thread only, like everything below.
  std::vector<TTrackerSlot> FWidgetList;   // menu ids and [Trackers] keys follow this order
  std::vector<TWidgetMainForm*> FRetired;  // removed, freed once their threads end
  WideString FSettingsFolder;
  TTrackerStore FStore;
  THistoryKeeper FHistory;
  TTrackerStarts FStarts;
  TWidgetTray* FTray = nullptr;            // owned as a component
  std::unique_ptr<TInetThread> FPingThread;
  std::unique_ptr<TInetThread> FVersionThread;
  HWND FAddDialog = nullptr;
  UINT FTaskbarCreated = 0;
  TKernelHandle FIconRemoval;              // thread deleting the tray icon at Exit
  bool FSaveFailureTold = false;
  bool FPlainKeysTold = false;
  bool FClosing = false;
  DWORD FCloseStarted = 0;
  bool FAbandoned = false;
};
