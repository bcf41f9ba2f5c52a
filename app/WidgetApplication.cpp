#include "app/WidgetApplication.h"

#include <commctrl.h>

#include "app/WidgetManager.h"
#include "inet/InetThrd.h"

TWidgetApplication::TWidgetApplication(const TShellDialogs& dialogs) : FDialogs(dialogs), FTitle(APPLICATION_TITLE) {}

TWidgetApplication::~TWidgetApplication() { ReleaseInstance(); }

int TWidgetApplication::Run() {
  try {
    if (ClaimInstance()) {
      SignalRunningInstance();
    } else {
      try {
        Initialize();
        MessageLoop();
      } catch (...) {
      }
      // The texts still exist here; after Finalize nothing is left to show it.
      try {
        if (FManager) FManager->TellSaveFailed();
      } catch (...) {
      }
      Finalize();
    }
  } catch (...) {
  }
  ReleaseInstance();
  // Threads that did not end may still be inside shared code: leave now,
  // before static objects go.
  if (FAbandoned) ExitProcess(0);
  return 0;
}

// Either name taken means another instance runs: this version's, or any
// other that shares the settings file.
bool TWidgetApplication::ClaimInstance() {
  FMutex.Reset(CreateMutexW(nullptr, FALSE, WinStr(INSTANCE_MUTEX_NAME)));
  FAlreadyRunning = GetLastError() == ERROR_ALREADY_EXISTS;
  FAnyVersionMutex.Reset(CreateMutexW(nullptr, FALSE, WinStr(ANY_VERSION_MUTEX_NAME)));
  FAlreadyRunning = GetLastError() == ERROR_ALREADY_EXISTS || FAlreadyRunning;
  return FAlreadyRunning;
}

void TWidgetApplication::ReleaseInstance() {
  for (TKernelHandle* mutex : {&FMutex, &FAnyVersionMutex})
    if (*mutex) {
      WaitForSingleObject(mutex->Get(), 0);
      mutex->Reset();
    }
}

// The running instance may be busy or hung: the signal is bounded. With no
// manager window yet (it is still starting) nothing is sent.
void TWidgetApplication::SignalRunningInstance() {
  HWND manager = FindRunningInstance();
  DWORD_PTR result = 0;
  if (manager)
    SendMessageTimeoutW(manager, WM_SECONDINSTANCE, 0, 0, SMTO_ABORTIFHUNG, SECOND_INSTANCE_WAIT_MS, &result);
}

void TWidgetApplication::Initialize() {
  InitCommonControls();
  // No other thread exists yet, so the GUI thread takes the apartment model.
  FComInitialized = SUCCEEDED(CoInitialize(nullptr));
  // Raises the timer resolution and starts GDI+ before any graphic object.
  FUnit.reset(new TWidgetsUnit);

  wchar_t path[MAX_PATH + 1] = {};
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  WideString folder(reinterpret_cast<const WideChar*>(path), length < MAX_PATH ? length : 0);
  const size_t slash = folder.find_last_of(u"\\/");
  if (slash != WideString::npos) SetCurrentDirectoryW(WinStr(folder.substr(0, slash + 1)));

  FLanguages = std::make_shared<TWidgetLanguages>(nullptr);
  InternetRoot();  // opened here, before the first widget thread asks for it
  FDesktop = new TWidgetDesktop(nullptr);
  FDesktop->SetName(u"Desktop");
  FManager = new TWidgetManager(FDesktop, FLanguages, FDialogs, FTitle);
  FManager->SetName(u"WidgetManager");
  FManager->SetParentWindow(GetDesktopWindow());
  FManager->EnsureHandle();
  FBeacon = std::make_unique<TInstanceBeacon>(FManager->StoredHandle());
  FManager->LoadSettings();
}

// A result of -1 counts as a message, like any other non-zero result.
void TWidgetApplication::MessageLoop() {
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) != 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

void TWidgetApplication::Finalize() {
  try {
    FBeacon.reset();  // nothing more is handed to a manager that goes
    if (FManager) FAbandoned = FManager->Abandoned();
    delete FDesktop;  // and the manager with it
  } catch (...) {
    FAbandoned = true;
  }
  FDesktop = nullptr;
  FManager = nullptr;
  FLanguages.reset();
  if (FAbandoned) {
    // A widget thread may still draw through GDI+ or wait inside WinInet.
    static_cast<void>(FUnit.release());
    return;
  }
  if (FComInitialized) CoUninitialize();
  FComInitialized = false;
  FUnit.reset();
}

