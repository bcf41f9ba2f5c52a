#pragma once
// What the tray icon tells: the tip with every tracker's count, and a
// tracker's alert as a balloon, in the current language.
#include <vector>

#include "text/TextLookup.h"
#include "ui/WinControls.h"
#include "tracker/SpikeAlert.h"
#include "tracker/TrackerSettings.h"

// The trackers in list order, as their widgets last published them; fallback
// (the program's name) while none has a title or count to show.
void ShowTrayTotals(TWidgetTray& tray, const TTextLookup* texts, const std::vector<TTrackerSettings>& trackers,
                    const WideString& fallback);
void ShowAlertBalloon(TWidgetTray& tray, const TTextLookup* texts, const TTrackerSettings& tracker, TAlertEvent event);
