#pragma once
// Resource ids of the settings dialog tests' own page.

#define IDD_BINDING_TEST_PAGE 4490
#define IDC_TEST_INT 1001
#define IDC_TEST_REAL 1002
#define IDC_TEST_TEXT 1003
#define IDC_TEST_RAW 1004
#define IDC_TEST_WIDTH 1005
#define IDC_TEST_HEIGHT 1006
#define IDC_TEST_RADIO1 1007
#define IDC_TEST_RADIO2 1008
#define IDC_TEST_RADIO3 1009
#define IDC_TEST_COMBO 1010
#define IDC_TEST_LIST 1011
#define IDC_TEST_CHECK 1012
