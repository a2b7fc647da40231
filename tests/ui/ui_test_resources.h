#pragma once
// Resource ids of the ui tests' dialogs and menus.

#define IDD_MODELESS_TEST 101
#define IDD_MODAL_TEST 102
#define IDD_MISSING 199
#define IDM_TEST_MENU 201
#define IDM_TEST_ITEM 40001
