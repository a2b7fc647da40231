#pragma once
// Resource ids of the external-viewer page of the settings dialog and of its two variable menus.

#define IDD_CONFIG_EXTERN_PAGE 134

// Program, arguments and working folder of the three viewers, and the buttons beside them.
#define IDC_EXTERN_FILE0 1005
#define IDC_EXTERN_ARG0 1010
#define IDC_EXTERN_DIR0 1011
#define IDC_EXTERN_FILE1 1012
#define IDC_EXTERN_ARG1 1014
#define IDC_EXTERN_DIR1 1015
#define IDC_EXTERN_FILE2 1016
#define IDC_EXTERN_ARG2 1017
#define IDC_EXTERN_DIR2 1018
#define IDC_EXTERN_BROWSE0 1022
#define IDC_EXTERN_BROWSE1 1032
#define IDC_EXTERN_BROWSE2 1026
#define IDC_EXTERN_ARG_MENU0 1023
#define IDC_EXTERN_ARG_MENU1 1025
#define IDC_EXTERN_ARG_MENU2 1034
#define IDC_EXTERN_DIR_MENU0 1024
#define IDC_EXTERN_DIR_MENU1 1037
#define IDC_EXTERN_DIR_MENU2 1028

// The arguments' variables: one popup of "variable<TAB>description" items.
#define IDM_EXTERN_ARG_VARIABLES 143
#define IDM_EXTERN_ARG_DIR 40287
#define IDM_EXTERN_ARG_FILE 40288
#define IDM_EXTERN_ARG_EXT 40289
#define IDM_EXTERN_ARG_NAME 40312
#define IDM_EXTERN_ARG_FULL 40313

// The working folder's variables.
#define IDM_EXTERN_DIR_VARIABLES 144
#define IDM_EXTERN_DIR_DIR 40291
