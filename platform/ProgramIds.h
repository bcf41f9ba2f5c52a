#pragma once
// Every window message, command, timer and resource id that the program's
// windows exchange, in one place. Plain integers, so window-free code that
// builds natively can use them too.
#include <cstdint>

// Menu commands and resource ids, which the resource scripts share.
#include "resources/ResourceIds.h"

constexpr uint32_t MSG_USER_BASE = 1024;  // WM_USER

// Messages between the program's windows.
constexpr uint32_t WM_VERSIONRESPONSE = MSG_USER_BASE + 17;  // request worker -> manager
constexpr uint32_t WM_PINGRESPONSE = MSG_USER_BASE + 18;     // request worker -> manager
constexpr uint32_t WM_COUNTRESPONSE = MSG_USER_BASE + 18;    // request worker -> widget
constexpr uint32_t WM_HIDEWIDGET = MSG_USER_BASE + 19;       // manager -> widget, posted
constexpr uint32_t WM_SHOWWIDGET = MSG_USER_BASE + 20;       // manager -> widget, posted
constexpr uint32_t WM_TOGGLETOPMOST = MSG_USER_BASE + 21;    // anyone -> widget
constexpr uint32_t WM_SHOWDETAILS = MSG_USER_BASE + 22;      // widget -> manager, sent; lParam: the widget's window
constexpr uint32_t WM_REMOVEWIDGET = MSG_USER_BASE + 24;     // widget -> manager, posted; lParam: the widget's window
constexpr uint32_t WM_LANGUAGECHANGED = MSG_USER_BASE + 25;  // manager -> widgets and dialogs
// widget -> manager, posted after the user changed what the settings file keeps
// (a drag ended, settings saved, pinned on top); lParam: the widget's window.
constexpr uint32_t WM_TRACKERCHANGED = MSG_USER_BASE + 26;
constexpr uint32_t WM_SECONDINSTANCE = 5938;                 // second start -> running manager
// Private, posted by the manager to itself: the settings or the history file
// could not be read, told once the message loop runs.
constexpr uint32_t WM_SETTINGSUNREADABLE = 0x8000 + 0x103;
// Private, likewise: trackers whose stored API key cannot be decrypted here.
constexpr uint32_t WM_KEYSUNREADABLE = 0x8000 + 0x104;
// widget -> manager, posted when the widget's thread could not make its
// window; lParam: the widget object (its window does not exist).
constexpr uint32_t WM_WIDGETNOTSHOWN = MSG_USER_BASE + 30;
// request worker -> Settings or Add Tracker dialog: the Test poll's answer.
constexpr uint32_t WM_SOURCETESTED = MSG_USER_BASE + 27;
// widget -> manager, posted after a poll put new counts on the face and in the
// widget's settings snapshot; lParam: the widget's window.
constexpr uint32_t WM_COUNTSHOWN = MSG_USER_BASE + 28;
// widget -> manager, posted when a poll makes an alert; wParam: the
// TAlertEvent, lParam: the widget's window.
constexpr uint32_t WM_TRACKERALERT = MSG_USER_BASE + 29;

// Timers.
constexpr uint32_t TIMER_POLL = 1001;          // widget: next poll
constexpr uint32_t TIMER_START = 1002;         // widget: start delay over
constexpr uint32_t TIMER_UPDATECHECK = 1002;   // manager: start-up requests, once
constexpr uint32_t TIMER_HOVER = 1005;         // widget: where the mouse is, for the history popup
constexpr uint32_t TIMER_SLOT = 1006;          // widget: its key group's slot for the waiting poll

