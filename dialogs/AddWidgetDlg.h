#pragma once
// The Add Tracker dialog, modal on the GUI thread.
#include "dialogs/DialogRes.h"

class TWidgetManager;

// Opens the dialog owned by the manager's window (an open one is brought to
// the front instead) and returns when it ends: DIALOG_SAVED once a tracker
// was created, DIALOG_CANCELLED, or 0 when nothing was opened.
INT_PTR ShowAddTrackerDialog(TWidgetManager& manager);
