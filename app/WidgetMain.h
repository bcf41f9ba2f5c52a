#pragma once
// The application shell: start-up and the message loop, the settings file, the
// widget manager with its tray icon, and the languages.
#include "app/SettingsFile.h"
#include "app/ShellDialogs.h"
#include "app/TrackerList.h"
#include "app/WidgetApplication.h"
#include "app/WidgetLanguages.h"
#include "app/WidgetManager.h"
