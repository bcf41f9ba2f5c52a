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
constexpr int32_t STR_HISTORY_UNREACHABLE = 1180;   // %s: the history file, then the system's reason
constexpr int32_t STR_HISTORY_NOT_KEPT = 1181;      // likewise, for a damaged one that could not be renamed
constexpr int32_t STR_SETTINGS_CAPTION = 3000;     // the Settings dialog
constexpr int32_t STR_ADD_CAPTION = 4000;          // the Add Tracker dialog
// The trackers' sources in the dialogs and the manager.
constexpr int32_t STR_KEYS_UNREADABLE = 1130;   // trackers whose key must be entered again
constexpr int32_t STR_KEY_UNCHANGED = 1131;     // the API key edit's cue while a key is stored
constexpr int32_t STR_TEST_RUNNING = 1132;
constexpr int32_t STR_TEST_COUNT = 1133;        // a Test poll's count
constexpr int32_t STR_INTERVAL_RAISED = 1134;   // trackers sharing a key poll less often
constexpr int32_t STR_FATHOM_QUOTA = 1135;      // why a Fathom tracker polls once a minute
constexpr int32_t STR_LAST_FAILURE = 1136;      // the Settings dialog's reason for "?"
constexpr int32_t STR_SOURCE_NAMES = 1140;      // 1140 to 1145: the Source list, in the source table's order
constexpr int32_t STR_KEY_NOT_STORED = 1137;      // a typed key DPAPI would not encrypt
constexpr int32_t STR_TRAY_ONLINE = 1150;         // the tray tip's total: "%s online"
constexpr int32_t STR_ALERT_SPIKE = 1151;         // a spike balloon: "%d visitors online"
constexpr int32_t STR_ALERT_QUIET = 1152;         // a gone-quiet balloon, with its minutes
constexpr int32_t STR_ALERT_UNUSABLE = 1153;      // the Settings dialog's alert field refused
constexpr int32_t STR_HISTORY_HOUR = 1154;        // the history popup's captions
constexpr int32_t STR_HISTORY_DAY = 1155;
constexpr int32_t STR_HISTORY_RANGE = 1156;       // "low %s · high %s · now %s"
constexpr int32_t STR_HISTORY_NONE = 1157;
constexpr int32_t STR_CSV_FILES = 1158;           // the export's file type
constexpr int32_t STR_EXPORT_FAILED = 1159;       // %s: the file, then the system's reason
constexpr int32_t STR_KEY_FOR_SERVER_CUE = 1160;  // the API key edit's cue once the stored key is another origin's
constexpr int32_t STR_KEY_FOR_SERVER = 1161;      // Test and Save refused: that key goes nowhere else
constexpr int32_t STR_KEYS_NOT_PROTECTED = 1162;  // sections whose hand-written key stays in plain text
constexpr int32_t STR_TRACKERS_NOT_SHOWN = 1190;  // followed by a line per tracker: its label and the reason
// Why a tracker's poll brought no count, and what its count means.
constexpr int32_t STR_FAIL_UNKNOWN_SOURCE = 1100;
constexpr int32_t STR_FAIL_NO_SERVER = 1101;
constexpr int32_t STR_FAIL_BAD_SERVER = 1102;
constexpr int32_t STR_FAIL_NO_KEY = 1103;
constexpr int32_t STR_FAIL_KEY_UNREADABLE = 1104;
constexpr int32_t STR_FAIL_KEY_OVER_HTTP = 1105;
constexpr int32_t STR_FAIL_NOT_STARTED = 1106;
constexpr int32_t STR_FAIL_NO_CONNECTION = 1107;
constexpr int32_t STR_FAIL_TIMED_OUT = 1108;
constexpr int32_t STR_FAIL_CERTIFICATE = 1109;
constexpr int32_t STR_FAIL_INSECURE_REDIRECT = 1110;
constexpr int32_t STR_FAIL_REDIRECTS = 1111;
constexpr int32_t STR_FAIL_TOO_LARGE = 1112;
constexpr int32_t STR_FAIL_INCOMPLETE = 1113;
constexpr int32_t STR_FAIL_KEY_REFUSED = 1114;     // %d: the status
constexpr int32_t STR_FAIL_NOT_FOUND = 1115;
constexpr int32_t STR_FAIL_PAUSED = 1116;          // %s: the local time the pause ends
constexpr int32_t STR_FAIL_RATE_LIMITED = 1117;    // %d: the status
constexpr int32_t STR_FAIL_STATUS = 1118;          // %d: the status
constexpr int32_t STR_FAIL_NOT_A_NUMBER = 1119;    // %s: where the count was looked for
constexpr int32_t STR_FAIL_NOT_A_COUNT = 1120;
constexpr int32_t STR_MEANING_5_MINUTES = 1121;
constexpr int32_t STR_MEANING_30_MINUTES = 1122;
constexpr int32_t STR_MEANING_NOW = 1123;
constexpr int32_t STR_FAIL_BAD_KEY = 1124;
constexpr int32_t STR_FAIL_BAD_HEADER = 1125;
constexpr int32_t STR_FAIL_CROWDED = 1126;
constexpr int32_t STR_TEST_SPACED = 1127;         // %d: seconds until the key's next request may go
constexpr int32_t STR_SOURCE_UNKNOWN = 1170;        // the Source list's entry for a source this version does not know
constexpr int32_t STR_FAIL_SERVICE_ERROR = 1171;    // %s: the error message a service answered with
constexpr int32_t STR_SOURCE_REPLACE = 1172;        // asks before a source this version does not know is replaced
