#pragma once
// The ids of the language tables' texts that the program asks for by name
// (resources/EN-US.INI and TR-TR.INI). A dialog's labels and the menus' items
// use their control or command id as their text's id and are not listed.
#include <cstdint>

constexpr int32_t STR_CONFIRM = 1003;              // the Remove question's caption
constexpr int32_t STR_ERROR_CAPTION = 1004;        // every error box's caption
constexpr int32_t STR_REMOVE_QUESTION = 1006;
constexpr int32_t STR_NO_TITLE = 1007;             // a tracker without a title, in the tray menu
constexpr int32_t STR_NO_TRACKERS = 1008;
constexpr int32_t STR_ID_EMPTY = 1009;
constexpr int32_t STR_ID_EXISTS = 1010;
constexpr int32_t STR_NEW_VERSION = 1011;
constexpr int32_t STR_SETTINGS_NOT_SAVED = 1012;
constexpr int32_t STR_ID_UNUSABLE = 1013;
constexpr int32_t STR_SETTINGS_KEPT_ASIDE = 1014;
constexpr int32_t STR_SETTINGS_UNREACHABLE = 1015;
constexpr int32_t STR_SETTINGS_CAPTION = 3000;     // the Settings dialog
constexpr int32_t STR_ADD_CAPTION = 4000;          // the Add Tracker dialog
