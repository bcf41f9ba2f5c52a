#pragma once
// The widget UI framework: controls bound to platform windows, layered forms
// drawn through an ARGB canvas over GDI+, the desktop, GDI canvas objects,
// native windows and the tray icon.
#include "ui/Canvas.h"
#include "ui/Components.h"
#include "ui/Controls.h"
#include "ui/Forms.h"
#include "ui/GdiObjects.h"
#include "ui/Handles.h"
#include "ui/StreamAdapter.h"
#include "ui/Streams.h"
#include "ui/WidgetsUnit.h"
#include "ui/WinControls.h"
