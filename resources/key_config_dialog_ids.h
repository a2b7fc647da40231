#pragma once
// Template and control ids of the key-configuration dialog.

#define IDD_KEY_CONFIG 122

#define IDC_KEY_CTRL 1006
#define IDC_KEY_ALT 1007
#define IDC_KEY_SHIFT 1008
#define IDC_KEY_RESET 1022
#define IDC_KEY_COMMANDS 1030
#define IDC_KEY_LIST 1033
