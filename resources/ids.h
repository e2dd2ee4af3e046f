// Brindle's numeric vocabulary, one range per kind of id. Shared by the code and the .rc files,
// so it holds only #define lines.
#ifndef BRINDLE_IDS_H
#define BRINDLE_IDS_H

// ---- Commands (menus, accelerators, status bar clicks, posted commands) ----
#define IDM_OPEN              1101
#define IDM_PRINT_SETUP       1102
#define IDM_PRINT             1103
#define IDM_CLOSE             1108
#define IDM_EXIT              1109
#define IDM_RESTORE           1118
#define IDM_ESC               1119
#define IDM_CLEAR_HISTORY     1121
#define IDM_HISTORY_FIRST     1130
#define IDM_HISTORY_LAST      1139
#define IDM_PAUSE             1201
#define IDM_COPY              1202
#define IDM_SELECT_ALL        1203
#define IDM_FIND              1204
#define IDM_FIND_NEXT         1205
#define IDM_GOTO              1206
#define IDM_LOCK_SCROLL       1207
#define IDM_FULLSCREEN        1208
#define IDM_ERASE             1209
#define IDM_LARGER_FONT       1211
#define IDM_SMALLER_FONT      1212
#define IDM_RELOAD            1219
#define IDM_CHARSET_FIRST     1301
#define IDM_CHARSET_ANSI_RAW  1301
#define IDM_CHARSET_UTF8      1302
#define IDM_CHARSET_ANSI      1303
#define IDM_CHARSET_OEM       1304
#define IDM_CHARSET_CURRENT   1305
#define IDM_CHARSET_UTF16LE   1306
#define IDM_CHARSET_UTF16BE   1307
#define IDM_CHARSET_UTF32LE   1308
#define IDM_CHARSET_UTF7      1309
#define IDM_CHARSET_UTF32BE   1310
#define IDM_CHARSET_LAST      1310
#define IDM_AUTODETECT        1319
#define IDM_ROW_LENGTH        1401
#define IDM_FONT              1402
#define IDM_STATUS_BAR        1403
#define IDM_BACKGROUND        1404
#define IDM_ASSOCIATIONS      1405
#define IDM_LIMITS            1406
#define IDM_WRAP_LINES        1407
#define IDM_CUT_EMPTY         1408
#define IDM_APP_SETTINGS      1409
#define IDM_LANG_ENGLISH      1501
#define IDM_LANG_CZECH        1502
#define IDM_LANG_SLOVAK       1503
#define IDM_LANG_LAST_RADIO   1504
#define IDM_LANG_AUTO         1519
#define IDM_DONATE            1905
#define IDM_AUTO_CHECK        1906
#define IDM_CHECK_UPDATES     1907
#define IDM_HISTORY_TEXT      1908
#define IDM_ABOUT             1909

// ---- Menus, accelerators, dialogs ----
#define IDR_MAIN_MENU         1000
#define IDR_ACCELERATORS      1000
#define IDR_CONTEXT_MENU      2000
#define IDR_TRAY_MENU         2001

// ---- Timers and private window messages of the main window ----
#define TIMER_SURVEILLANCE    1
#define TIMER_TRAY_MENU       4
#define TIMER_TRAY_RESTORE    5
#define TIMER_TRAY_HIDE       6
#define WM_BRINDLE_TRAY       1027
#define WM_BRINDLE_QUERY      1035

// ---- Strings (string table ids) ----
#define IDS_PRODUCT           1
#define IDS_TITLE_FORMAT      17
#define IDS_ERR_OPEN          34
#define IDS_ERR_ERASE         39
#define IDS_ERASE_CAPTION     65
#define IDS_ERASE_TEXT        66
#define IDS_LOCKED            225
#define IDS_ACTUAL_SIZE       245
#define IDS_LOCKED_TIP        243
#define IDS_STREAM_NAME       148

// ---- Strings of the shell and the status bar ----
#define IDS_CREDIT            2
#define IDS_CREDIT_TIP        3
#define IDS_FILTER_LOG        5
#define IDS_FILTER_ALL        6
#define IDS_UPDATE_BLANK      49
#define IDS_NEXT_CHECK        50
#define IDS_CHECK_DISABLED    51
#define IDS_NO_UPDATE         54
#define IDS_STATUS_LINE       226
#define IDS_STATUS_LINES      227
#define IDS_STATUS_WATCHING   241
#define IDS_STATUS_PAUSED     242
#define IDS_STATUS_UNFINISHED 244

#endif
