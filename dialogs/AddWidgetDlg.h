#pragma once
// The Add Tracker dialog, modal on the GUI thread.
#include <optional>

#include "dialogs/DialogHost.h"
#include "dialogs/DialogRes.h"
#include "tracker/TrackerEdit.h"

// Opens the dialog owned by host.Owner and returns when it ends: the new
// tracker the user saved (its ID, title, source, poll interval and typed key;
// the caller creates it), or none.
std::optional<TTrackerEdit> ShowAddTrackerDialog(const TDialogHost& host);
