#pragma once
// The Settings dialog ("Preferences") of one tracker widget, modal on the
// widget's own thread.
#include "dialogs/DialogRes.h"

class TWidgetMainForm;

// The widget's Preferences command: opens the dialog for the widget (an open
// one is brought to the front instead) and returns when it ends. Returns
// DIALOG_SAVED, DIALOG_CANCELLED, or 0 when nothing was opened. The widget
// may be gone when it returns.
INT_PTR ShowSettingsDialog(TWidgetMainForm& widget);
