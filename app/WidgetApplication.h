#pragma once
// The process's life: the single-instance guard, start-up in its fixed order,
// the GUI thread's message loop and the teardown.
#include <memory>

#include "app/InstanceBeacon.h"
#include "app/ShellDialogs.h"
#include "app/WidgetLanguages.h"
#include "platform/WinApi.h"
#include "ui/Handles.h"
#include "ui/Widgets.h"

class TWidgetManager;

// A running instance that does not take the second start's signal in this
// time is not waited for.
constexpr UINT SECOND_INSTANCE_WAIT_MS = 5000;

class TWidgetApplication {
public:
  explicit TWidgetApplication(const TShellDialogs& dialogs = TShellDialogs());
  ~TWidgetApplication();
  TWidgetApplication(const TWidgetApplication&) = delete;
  TWidgetApplication& operator=(const TWidgetApplication&) = delete;

  // The whole life of the process; every exception stops here. Returns the
  // exit code.
  int Run();

  bool ClaimInstance();
  void ReleaseInstance();
  void Initialize();
  void Finalize();

  bool AlreadyRunning() const { return FAlreadyRunning; }
  const WideString& Title() const { return FTitle; }
  TWidgetManager* Manager() const { return FManager; }

private:
  void SignalRunningInstance();
  void MessageLoop();

  TShellDialogs FDialogs;
  bool FAlreadyRunning = false;
  TKernelHandle FMutex;
  TKernelHandle FAnyVersionMutex;
  std::unique_ptr<TInstanceBeacon> FBeacon;
  WideString FTitle;
  bool FComInitialized = false;
  bool FAbandoned = false;  // a widget thread outlived the shutdown: shared parts are not torn down
  std::unique_ptr<TWidgetsUnit> FUnit;
  std::shared_ptr<TWidgetLanguages> FLanguages;
  TWidgetDesktop* FDesktop = nullptr;  // owns the manager
  TWidgetManager* FManager = nullptr;
};
