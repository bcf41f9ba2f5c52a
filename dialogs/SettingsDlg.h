#pragma once
// The Settings dialog ("Preferences") of one tracker, modal on the thread of
// the tracker's window.
#include <optional>

#include "dialogs/DialogHost.h"
#include "dialogs/DialogRes.h"
#include "tracker/TrackerEdit.h"

// Opens the dialog on record, owned by host.Owner, and returns when it ends:
// the edit the user saved, or none (cancelled, or host.Owner belongs to
// another thread, where nothing opens).
std::optional<TTrackerEdit> ShowSettingsDialog(const TTrackerSettings& record, const TDialogHost& host);
