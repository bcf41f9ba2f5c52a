#pragma once
// Finding a running Orvanta of any version. The versioned names stay, for
// programs that look for them; beside them a mutex and a hidden window whose
// names carry no version, so that a later version (or its installer) finds
// this one and this one finds a later one.
#include "platform/ProgramIdentity.h"
#include "platform/WinApi.h"

// A hidden top-level window on the manager's thread: what it is sent (the
// second start's signal, the installer's Exit command) goes on to the manager.
class TInstanceBeacon {
public:
  explicit TInstanceBeacon(HWND manager);
  ~TInstanceBeacon();
  TInstanceBeacon(const TInstanceBeacon&) = delete;
  TInstanceBeacon& operator=(const TInstanceBeacon&) = delete;
  HWND Handle() const { return FWindow; }

private:
  HWND FWindow = nullptr;
};

// The window to signal in a running instance: the beacon of whatever version
// runs, else the manager of a 1.50 that has none. Null when none is found.
HWND FindRunningInstance();
