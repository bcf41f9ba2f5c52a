#pragma once
// The tray icon's menu: loaded, filled with the languages and the trackers,
// made foreground, tracked and destroyed in one call, so it always shows the
// current languages, trackers and titles.
#include <vector>

#include "app/WidgetLanguages.h"
#include "platform/WinApi.h"
#include "text/TextIds.h"
#include "tracker/TrackerSettings.h"

// A tracker's menu entry: title (or "[No Title]") followed by this with the ID.
constexpr const WideChar TRACKER_MENU_FORMAT[] = u" - (%s)";

// The entry of one tracker in the Preferences submenu.
WideString TrackerMenuCaption(const TTextLookup& texts, const TTrackerSettings& tracker);

// Shows the menu at the cursor; the chosen command reaches owner as WM_COMMAND.
void PopupTrayMenu(HWND owner, const TWidgetLanguages& languages, const std::vector<TTrackerSettings>& trackers);
