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
#define IDM_FILTER_ROWS       1213
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
#define IDM_HIGHLIGHT         1410
#define IDM_FILTERS           1411
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

// ---- Menus and the accelerator table (resource names; a menu and the table may share a number) ----
#define IDR_MAIN_MENU         1000
#define IDR_ACCELERATORS      1000
#define IDR_CONTEXT_MENU      2000
#define IDR_TRAY_MENU         2001

// ---- Dialogs (resource names 1000 to 1010) ----
#define IDD_GOTO              1000
#define IDD_ROW_LENGTH        1001
#define IDD_PRINTING          1002
#define IDD_ASSOCIATIONS      1003
#define IDD_SIZE_LIMIT        1004
#define IDD_APP_SETTINGS      1007
#define IDD_HISTORY           1008
#define IDD_ABOUT             1009
#define IDD_HIGHLIGHT         1010
#define IDD_FILTERS           1011
#define IDD_FIND              1012

// ---- Dialog controls (1 and 2 are IDOK and IDCANCEL; labels and icons are -1) ----
// 1 to 128 sit in the button row, higher ids in the content area; 1024 to 1039 are headings.
#define IDC_UPDATE_LINK       121
#define IDC_RIGHTS_NOTE       122
#define IDC_SEPARATOR         127
#define IDC_GOTO_ROW          258
#define IDC_ROW_LENGTH        259
#define IDC_ROW_LENGTH_SPIN   260
#define IDC_PRINT_PROGRESS    261
#define IDC_MAKER_LINK        262
#define IDC_KB_LIMIT          263
#define IDC_KB_LIMIT_SPIN     264
#define IDC_LINES_LIMIT       265
#define IDC_LINES_LIMIT_SPIN  266
#define IDC_HISTORY_TEXT      267
#define IDC_VERSION           271
#define IDC_LOGO              299
#define IDC_ASSOC_LOG         512
#define IDC_ASSOC_TXT         513
#define IDC_ASSOC_VERB        527
#define IDC_TRAY_MINIMIZE     531
#define IDC_FULLSCREEN        532
#define IDC_ESC_CLOSE         533
#define IDC_SAVE_POSITION     541
#define IDC_RESTRICT_INSTANCES 542
#define IDC_HL_LIST           543
#define IDC_HL_ADD            544
#define IDC_HL_REMOVE         545
#define IDC_HL_UP             546
#define IDC_HL_DOWN           547
#define IDC_HL_TEXT           548
#define IDC_HL_MATCH_CASE     549
#define IDC_HL_WHOLE_WORD     550
#define IDC_HL_ON             551
#define IDC_HL_TEXT_COLOR     552
#define IDC_HL_BACK_COLOR     553
#define IDC_HL_SAMPLE         554
#define IDC_FL_LIST           560
#define IDC_FL_ADD            561
#define IDC_FL_REMOVE         562
#define IDC_FL_UP             563
#define IDC_FL_DOWN           564
#define IDC_FL_TEXT           565
#define IDC_FL_MATCH_CASE     566
#define IDC_FL_WHOLE_WORD     567
#define IDC_FL_ON             568
#define IDC_FL_SHOW           569
#define IDC_FL_HIDE           570
#define IDC_FL_REGEX          571
#define IDC_HL_REGEX          572
#define IDC_FIND_REGEX        582
#define IDC_HEADING_FIRST     1024
#define IDC_PRODUCT_HEADING   1024
#define IDC_HEADING_1         1025
#define IDC_HEADING_2         1026
#define IDC_HEADING_LAST      1039

// ---- Icons (resource names, not numbers) ----
#define IDI_APP               L"A"
#define IDI_LOGO              L"B"
#define IDI_PLAY              L"PLAY"
#define IDI_PAUSE             L"PAUSE"
#define IDI_FILE              L"FILE"
#define IDI_BUFF              L"BUFF"
#define IDI_SETUP             L"SETUP"
#define IDI_ASSOC             L"ASSOC"
#define IDI_PRINT             L"PRINT"

// ---- Other resources ----
#define IDT_HISTORY_TYPE      L"TEXT"
#define IDT_HISTORY_NAME      L"HISTORY"

// ---- Timers and private window messages of the main window ----
#define TIMER_SURVEILLANCE    1
#define TIMER_TRAY_MENU       4
#define TIMER_TRAY_RESTORE    5
#define TIMER_TRAY_HIDE       6
#define WM_BRINDLE_TRAY       1027
#define WM_BRINDLE_QUERY      1035

// ---- Strings (string table ids) ----
#define IDS_PRODUCT           1
#define IDS_NOTICE            2
#define IDS_NOTICE_TIP        3
#define IDS_LOG_FILE_TYPE     4
#define IDS_FILTER_LOG        5
#define IDS_FILTER_ALL        6
#define IDS_TITLE_FORMAT      17
#define IDS_ERR_PRINT_NO_DATA 33
#define IDS_ERR_OPEN          34
#define IDS_ERR_PRINT_START   35
#define IDS_ERR_ASSOC_READ    36
#define IDS_NO_RIGHTS         37
#define IDS_ERR_CLIPBOARD     38
#define IDS_ERR_ERASE         39
#define IDS_UPDATE_BLANK      49
#define IDS_UPDATE_NEXT       50
#define IDS_UPDATE_DISABLED   51
#define IDS_UPDATE_CONNECTING 53
#define IDS_UPDATE_NONE       54
#define IDS_UPDATE_NEW        55
#define IDS_UPDATE_UPGRADE    56
#define IDS_UPDATE_STABILITY  57
#define IDS_UPDATE_BAD_REPLY  58
#define IDS_UPDATE_NO_CONNECT 59
#define IDS_UPDATE_INIT_FAIL  60
#define IDS_UPDATE_CLICK_ICON 61
#define IDS_DONATE_LANGUAGE   62
#define IDS_ERASE_CAPTION     65
#define IDS_ERASE_TEXT        66
#define IDS_ERASE_ROTATED     67
// A refused regular expression: reason r (regex.h) has string IDS_REGEX_FAULT + r.
#define IDS_REGEX_FAULT       80
#define IDS_REGEX_BAD_ESCAPE  81
#define IDS_REGEX_BAD_HEX     82
#define IDS_REGEX_BACKREF     83
#define IDS_REGEX_LOOKAROUND  84
#define IDS_REGEX_BAD_GROUP   85
#define IDS_REGEX_UNCLOSED_GROUP 86
#define IDS_REGEX_UNOPENED_GROUP 87
#define IDS_REGEX_UNCLOSED_CLASS 88
#define IDS_REGEX_BAD_RANGE   89
#define IDS_REGEX_NOTHING_TO_REPEAT 90
#define IDS_REGEX_BAD_COUNT   91
#define IDS_REGEX_COUNT_TOO_LARGE 92
#define IDS_REGEX_TRAILING_BACKSLASH 93
#define IDS_REGEX_TOO_COMPLEX 94
#define IDS_REGEX_NO_MEMORY   95
#define IDS_REGEX_CAPTION     96
#define IDS_VERB_CAPTION      164
#define IDS_LOCKED            225
#define IDS_ROW_NUMBER        226
#define IDS_ROW_COUNT         227
#define IDS_FILTERED          228
#define IDS_FILTERED_TIP      229
#define IDS_FILTER_LIST_SHOW  230
#define IDS_FILTER_LIST_HIDE  231
#define IDS_WATCHING          241
#define IDS_PAUSED            242
#define IDS_LOCKED_TIP        243
#define IDS_UNFINISHED        244
#define IDS_ACTUAL_SIZE       245
#define IDS_STOPPED           246
#define IDS_STOPPED_TIP       247

// Untranslated names, in English (United States) only: string blocks 9 and 10.
#define IDS_FIXED_FIRST       128
#define IDS_REG_KEY           129
#define IDS_REG_ROW_LENGTH    130
#define IDS_REG_TEXT_COLOR    131
#define IDS_REG_BACKGROUND    132
#define IDS_REG_HISTORY       133
#define IDS_REG_CHARSET       134
#define IDS_REG_STATUS_BAR    135
#define IDS_REG_FONT          136
#define IDS_REG_KB_LIMIT      137
#define IDS_REG_WRAP_LINES    138
#define IDS_REG_LINES_LIMIT   139
#define IDS_REG_INSTALLED     140
#define IDS_REG_AUTODETECT    141
#define IDS_REG_LAST_CHECK    142
#define IDS_REG_AUTO_CHECK    143
#define IDS_PROGID            145
#define IDS_DEFAULT_ICON      146
#define IDS_VERB_KEY          147
#define IDS_STREAM_NAME       148
#define IDS_REG_HIGHLIGHT     149
#define IDS_REG_FILTER        150
#define IDS_REG_FILTER_RULE   151
#define IDS_REG_RESTRICT_INSTANCES 152
#define IDS_REG_REPO          153
#define IDS_REG_LANGUAGE      154
#define IDS_REG_CUT_EMPTY     155
#define IDS_REG_TRAY_MINIMIZE 156
#define IDS_REG_FULLSCREEN    157
#define IDS_REG_ESC_CLOSE     158
#define IDS_REG_SAVE_POSITION 159
#define IDS_FIXED_LAST        159

// Help texts are found by arithmetic: popup p of the main menu has string IDS_HELP_POPUP_BASE + p,
// command c has c + IDS_HELP_MENU_OFFSET, dialog control c has (c + IDS_HELP_CONTROL_OFFSET) mod 65536.
#define IDS_HELP_POPUP_BASE   256
#define IDS_HELP_MENU_OFFSET  256
#define IDS_HELP_CONTROL_OFFSET 3584


#endif
