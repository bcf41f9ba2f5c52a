#pragma once
// What the manager's Exit does that needs none of its state: bounded waits,
// workers left to run out, the tray icon deleted on a thread of its own, and
// widgets closed together.
#include <memory>
#include <vector>

#include "inet/InetThrd.h"
#include "platform/WinApi.h"

class TWidgetMainForm;

// How far the tick count is from a deadline; 0 once it has passed.
DWORD Remaining(DWORD deadline);
// A worker still out on the network is left to run out; a finished one is freed.
void LetRunOut(std::unique_ptr<TInetThread>& worker);
// The thread deleting icon from the tray; none when it could not start.
HANDLE StartIconRemoval(const NOTIFYICONDATAW& icon);
// Closes the widgets in order, waits until the deadline (a tick count), frees
// the ended ones and abandons the rest; false when some were abandoned.
bool CloseAll(const std::vector<TWidgetMainForm*>& widgets, DWORD deadline, DWORD stepMs);
