#pragma once
// The one seam through which the shell opens its dialogs and prompts. The
// dialogs library fills it; every hook left empty does nothing.
#include <functional>

#include "widget/AddTrackerHost.h"

class TWidgetManager;
class TWidgetMainForm;
class TInetThread;

struct TShellDialogs {
  // GUI thread, modal: the Add Tracker dialog (also at the end of a first start).
  std::function<void(const TAddTrackerHost& host)> AddTracker;
  // GUI thread: the About window.
  std::function<void(TWidgetManager& manager)> About;
  // The widget's own thread, modal: its Settings dialog.
  std::function<void(TWidgetMainForm& widget)> Preferences;
  // GUI thread: the version file has arrived (or failed); the worker is freed
  // after the hook returns.
  std::function<void(TWidgetManager& manager, TInetThread& worker, int sendResult)> VersionResponse;
};
