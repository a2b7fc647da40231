#pragma once
// Resource ids of the ui tests' dialogs and menus.

#define IDD_MODELESS_TEST 101
#define IDD_MODAL_TEST 102
#define IDD_CONTROLS_TEST 103
#define IDD_PAGE_SMALL 104
#define IDD_PAGE_LARGE 105
#define IDD_MISSING 199

#define IDC_TEXT 1001
#define IDC_CHECK 1002
#define IDC_EDIT 1003
#define IDC_COMBO 1004
#define IDC_LIST 1005
#define IDC_LISTVIEW 1006
#define IDC_TAB 1007
#define IDC_TRACKBAR 1008
#define IDC_RADIO1 1009
#define IDC_RADIO2 1010
#define IDC_RADIO3 1011
#define IDC_BUTTON 1012
#define IDC_PAGE_TEXT 1013
#define IDC_PROGRESS 1014
#define IDC_UPDOWN 1015
#define IDC_ABSENT 1099
#define IDM_TEST_MENU 201
#define IDM_TEST_ITEM 40001
