#pragma once
// One poll of a source on a worker thread, and what it brought.
#include <memory>

#include "inet/InetThrd.h"
#include "tracker/TrackerSource.h"

// A started worker for the request, done message doneMessage to targetWindow;
// none when no thread could be made, and then no message comes either.
std::unique_ptr<TInetThread> StartSourceRequest(HWND targetWindow, UINT doneMessage, const TSourceRequest& request);

// A finished worker's outcome.
TTransferResult TransferOf(TInetThread& worker);
