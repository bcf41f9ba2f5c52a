/* The ids of the program's resources and of the commands and controls in
   them, shared by the resource scripts and the code. Plain #defines, because
   windres reads this file with the C preprocessor alone. */
#ifndef ORVANTA_RESOURCE_IDS_H
#define ORVANTA_RESOURCE_IDS_H

/* Resources. */
#define MENU_WIDGET 101
#define MENU_TRAY 102
#define ICON_PROGRAM 101
#define DIALOG_SETTINGS 101
#define DIALOG_ADDTRACKER 102

/* Menu commands. The widget's menu and the tray menu share the 40000 range. */
#define CMD_ABOUT 40000
#define CMD_PREFERENCES 40001
#define CMD_REFRESH 40002
#define CMD_HIDE 40003
#define CMD_SHOW 40004
#define CMD_DETAILS 40005
#define CMD_EXIT 40008
#define CMD_ADDTRACKER 40009
#define CMD_REMOVE 40010
#define CMD_LANGUAGES 40011
#define CMD_TRACKERS 40012
#define CMD_HISTORY 40013
#define CMD_EXPORTHISTORY 40014
#define CMD_LANGUAGE_BASE 30000 /* + index of the language */
#define CMD_TRACKER_BASE 50000  /* + index of the tracker */

/* The tracker dialogs' controls. Save and Cancel are IDOK and IDCANCEL, so
   that Enter and Esc press them. */
#define IDC_SAVE 1
#define IDC_CANCEL 2
#define IDC_ENABLE 1001
#define IDC_TRACKERID 1002
#define IDC_TITLE 1003
#define IDC_REFRESH 1004
#define IDC_ALWAYSTOP 1005
#define IDC_IGNOREMOUSE 1006
#define IDC_PREVENTDRAGGING 1007
#define IDC_TRANSPARENCY 1008
#define IDC_ALERTABOVE 1009
#define IDC_SOURCE 1020
#define IDC_SERVER 1021
#define IDC_APIKEY 1022
#define IDC_POINTER 1023
#define IDC_HEADER 1024
#define IDC_SOURCE_STATUS 1026
#define IDC_TEST 3025

/* The dialogs' labels: each one's id is also the id of its text in the
   language table. */
#define LABEL_SETTINGS_GROUP 3001
#define LABEL_ENABLE 3003
#define LABEL_TRACKERID 3004
#define LABEL_TITLE 3005
#define LABEL_REFRESH 3006
#define LABEL_ALWAYSTOP 3007
#define LABEL_IGNOREMOUSE 3008
#define LABEL_PREVENTDRAGGING 3009
#define LABEL_TRANSPARENCY 3010
#define LABEL_ALERTABOVE 3011
#define LABEL_SOURCE 3020
#define LABEL_SERVER 3021
#define LABEL_APIKEY 3022
#define LABEL_POINTER 3023
#define LABEL_HEADER 3024
#define LABEL_SOURCE_GROUP 3026
#define LABEL_ADD_GROUP 4001
#define LABEL_ADD_TRACKERID 4004
#define LABEL_ADD_TITLE 4005

#endif
