#pragma once
// The seam through which the shell opens the tracker dialogs, which it does
// not know: the program fills it. A hook left empty does nothing.
#include <functional>

class TWidgetManager;
class TWidgetMainForm;

struct TShellDialogs {
  // GUI thread, modal: the Add Tracker dialog (also at the end of a first
  // start); what the user saves goes to manager.AddTracker.
  std::function<void(TWidgetManager& manager)> AddTracker;
  // The widget's own thread, modal: its Settings dialog; what the user saves
  // goes to widget.Apply. The widget may be gone when it returns.
  std::function<void(TWidgetMainForm& widget)> Preferences;
};
