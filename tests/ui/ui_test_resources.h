#pragma once
// Resource ids of the ui tests' dialogs.

#define IDD_MODELESS_TEST 101
#define IDD_MODAL_TEST 102
#define IDD_MISSING 199
