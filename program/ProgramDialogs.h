#pragma once
// Where the shell meets the dialogs: the hosts built from a widget or from
// the manager, and the hooks that open a dialog and hand what the user saved
// to the widget or the manager.
#include <memory>
#include <string>

#include "app/ShellDialogs.h"
#include "dialogs/DialogHost.h"
#include "tracker/KeyShares.h"

class TWidgetManager;
class TWidgetMainForm;

// The Settings dialog's host for widget, on the widget's thread: its window,
// texts, ID claim, preview and status, and Test polls of counterHost.
TDialogHost SettingsHost(TWidgetMainForm& widget);
// The Add Tracker dialog's host for the manager, on the GUI thread.
TDialogHost AddTrackerHost(TWidgetManager& manager);

// A Test poll of request on a worker thread, answered in texts' words:
// message is posted to dialog once the answer is there. A request refused
// before it is sent (an unreadable stored key, an unusable source) has its
// answer at once. The poll takes its slot from budget, the program's.
std::unique_ptr<TTestPoll> StartTestPoll(const TTestRequest& request, HWND dialog, UINT message,
                                         const std::string& counterHost, const TTextLookup* texts,
                                         std::shared_ptr<TKeyShares> budget);

// The hooks through which the shell opens the dialogs.
TShellDialogs ProgramDialogs();
