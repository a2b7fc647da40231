#pragma once
// Resource ids of the association settings dialog and of the file-class icons that the registrar
// names by their place among the program's icons.

// Shell icon index 1 (the image class) and 2 (the bookmark class): icon groups are counted in
// ascending numeric id after the main icon, so these ids follow its id with none between.
#define IDI_IMAGE_CLASS 103
#define IDI_BOOKMARK_CLASS 104

#define IDD_ENV_CONFIG 147

#define IDC_ENV_OTHER_EXTENSION 1005
#define IDC_ENV_JPG 1006
#define IDC_ENV_PNG 1007
#define IDC_ENV_BMP 1008
#define IDC_ENV_ARGB 1009
#define IDC_ENV_KNB 1010
#define IDC_ENV_MENU_ZIP 1011
#define IDC_ENV_MENU_RAR 1012
#define IDC_ENV_MENU_LZH 1013
#define IDC_ENV_MENU_OTHER_EXTENSION 1014
#define IDC_ENV_MENU_FOLDER 1015
#define IDC_ENV_GIF 1016
#define IDC_ENV_MENU_GCA 1017
#define IDC_ENV_DESC 1018
#define IDC_ENV_DESC_KNB 1019
#define IDC_ENV_ASSOCIATE 1020
#define IDC_ENV_MENU_NAME 1021
#define IDC_ENV_ADD 1022
#define IDC_ENV_DELETE 1023
#define IDC_ENV_MENU_ADD 1024
#define IDC_ENV_MENU_DELETE 1025
#define IDC_ENV_SENDTO 1026
#define IDC_ENV_MENU_CBZ 1027
#define IDC_ENV_MENU_CBR 1028
#define IDC_ENV_CBZ 1029
#define IDC_ENV_OTHERS 1030
#define IDC_ENV_CBR 1031
#define IDC_ENV_MENU_OTHERS 1032
