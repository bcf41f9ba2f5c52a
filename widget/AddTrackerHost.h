#pragma once
// What the Add Tracker dialog needs from the one who opens it, so that the
// dialog knows nothing of the manager. Everything runs on the GUI thread.
#include <functional>
#include <vector>

#include "platform/WinApi.h"
#include "text/TextLookup.h"
#include "tracker/TrackerSource.h"

// What the user saved in the Add Tracker dialog.
struct TNewTracker {
  WideString ID, Title;
  TSourceSettings Source;
  WideString StoredKey;  // "dpapi:...", or empty
  int32_t Interval = 0;  // ms; 0: the default
};

struct TAddTrackerHost {
  HWND Owner = nullptr;
  const TTextLookup* Texts = nullptr;
  // The IDs the trackers there are hold: a new one must differ from each.
  std::function<std::vector<WideString>()> TakenIds;
  // Makes the tracker the user saved.
  std::function<void(const TNewTracker& tracker)> Create;
  // Where a Test poll of the counter service goes.
  std::string CounterServer;
  // Where the open dialog is noted, so that a second Add brings it forward.
  HWND* OpenDialog = nullptr;
};
