#pragma once
// The Add Tracker dialog, modal on the GUI thread.
#include "dialogs/DialogRes.h"
#include "widget/AddTrackerHost.h"

// Opens the dialog owned by host.Owner (an open one is brought to the front
// instead) and returns when it ends: DIALOG_SAVED once a tracker was
// created, DIALOG_CANCELLED, or 0 when nothing was opened.
INT_PTR ShowAddTrackerDialog(const TAddTrackerHost& host);
