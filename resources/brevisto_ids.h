// Resource and control identifiers of brevisto.exe, shared by brevisto.rc and the windows.
#pragma once

// Pictures
#define IDI_BREVISTO 1
#define IDB_STATUS 101
#define IDB_SIDE 102
#define IDB_BANNER 103

// Menu commands of the main window: the base plus the command's number (main_menu.h).
#define IDM_COMMAND_BASE 1000

// Dialog templates
#define IDD_MAIN 300
#define IDD_PREFS 310
#define IDD_PREF_ORDNER 311
#define IDD_PREF_BACKUPS 312
#define IDD_PREF_FENSTER 313
#define IDD_PREF_OE 314
#define IDD_PREF_DIVERSES 315
#define IDD_NOTICE 320
#define IDD_ABOUT 330
#define IDD_SYSTEM 340
#define IDD_SYSTEM_VBS 341
#define IDD_OE_OPTIONS 350
#define IDD_PASSWORD 360
#define IDD_VIEWER 370
#define IDD_WIZARD_PENDING 380

// Main window
#define IDC_SIDE_PICTURE 2001
#define IDC_CREATE_BUTTON 2002
#define IDC_RESTORE_BUTTON 2003
#define IDC_UPDATE_BUTTON 2004
#define IDC_CREATE_TEXT 2005
#define IDC_RESTORE_TEXT 2006
#define IDC_UPDATE_TEXT 2007
#define IDC_INFO_LABEL 2008
#define IDC_HEADING 2009
#define IDC_SUBHEADING 2010

// Shared by several dialogs
#define IDC_HELP_BUTTON 2100
#define IDC_APPLY_BUTTON 2101
#define IDC_TABS 2102
#define IDC_BANNER 2103
#define IDC_BANNER_TEXT 2104
#define IDC_BANNER_LOGO 2105

// Preferences pages (titles and explanations need no ids of their own)
#define IDC_TMP_FOLDER 2200
#define IDC_TMP_BROWSE 2201
#define IDC_BAK_FOLDER 2202
#define IDC_BAK_BROWSE 2203
#define IDC_MAX_BACKUPS 2210
#define IDC_MAX_BACKUPS_UPDOWN 2211
#define IDC_COMPRESSION 2212
#define IDC_TEST_BACKUP 2213
#define IDC_ASK_PASSWORD 2214
#define IDC_NOTICES_ON 2220
#define IDC_STOP_PROGRAM 2221
#define IDC_NO_MESSAGES 2222
#define IDC_MINIMIZE 2223
#define IDC_OE_AUTO_CLOSE 2230
#define IDC_OE_AUTO_START 2231
#define IDC_OE_AUTO_START2 2232
#define IDC_OE_TEXT 2233
#define IDC_UPDATE_PERIOD 2240
#define IDC_UPDATE_PERIOD_UPDOWN 2241
#define IDC_PRIORITY 2242
#define IDC_PRINT_AFTER 2243
#define IDC_REGISTER_EXT 2244
#define IDC_TITLE_FIRST 2250
#define IDC_TITLE_LAST 2269

// Notice
#define IDC_NOTICE_TEXT 2300
#define IDC_NOTICE_DONT_SHOW 2301

// About box
#define IDC_ABOUT_PRODUCT 2400
#define IDC_ABOUT_BUILD 2401
#define IDC_ABOUT_VERSION 2402
#define IDC_ABOUT_MAIL 2403
#define IDC_ABOUT_WEB 2404
#define IDC_ABOUT_CREDITS 2405
#define IDC_ABOUT_LOGO 2406

// System settings
#define IDC_VBS_EDITOR 2500
#define IDC_VBS_WSH 2501
#define IDC_VBS_TEST 2502
#define IDC_VBS_TEXT 2503

// Password
#define IDC_PASSWORD 2600
#define IDC_PASSWORD_REPEAT 2601
#define IDC_PASSWORD_BAR 2602

// Viewer
#define IDC_VIEW_FOLDER 2700
#define IDC_VIEW_BROWSE 2701
#define IDC_VIEW_BACKUPS 2702
#define IDC_VIEW_DELETE 2703
#define IDC_VIEW_DATE 2704
#define IDC_VIEW_SIZE 2705
#define IDC_VIEW_INFO 2706
#define IDC_VIEW_UPDATE 2707
#define IDC_VIEW_CONTENT 2708
#define IDC_VIEW_FOLDERS 2709
#define IDC_VIEW_MARK_FIRST 2720
#define IDC_VIEW_LABEL_FIRST 2740

// Pending wizard
#define IDC_PENDING_TEXT 2800
