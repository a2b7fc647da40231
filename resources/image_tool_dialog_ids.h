#pragma once
// Templates and control ids of the image tool dialogs: rotation, levels, gamma, brightness and
// contrast, mosaic, alpha, Gauss or unsharp mask, and resize.

#define IDD_ROTATE 113
#define IDD_RESIZE 116
#define IDD_LEVELS 120
#define IDD_GAMMA 124
#define IDD_BRIGHT_CONTRAST 126
#define IDD_MOSAIC 127
#define IDD_ALPHA 128
#define IDD_GAUSS 151

// The value edit and the first track bar of the dialogs that have one.
#define IDC_TOOL_VALUE 1005
#define IDC_TOOL_TRACK 1034
#define IDC_TOOL_TRACK2 1035
// "画像に反映させる" (levels, gamma, Gauss), "自動判別を行う" (alpha).
#define IDC_TOOL_REFLECT 1006
#define IDC_TOOL_OPAQUE 1007
// The owner-drawn histogram or gamma curve.
#define IDC_TOOL_GRAPH 1036

#define IDC_LEVEL_HIGH_VALUE 1010
#define IDC_LEVEL_CSV 1022

#define IDC_MOSAIC_CENTER 1047
#define IDC_MOSAIC_AVERAGE 1048
#define IDC_MOSAIC_UPDOWN 1052

#define IDC_ALPHA_SWATCH 40251

#define IDC_RESIZE_CURRENT_WIDTH 1005
#define IDC_RESIZE_CURRENT_HEIGHT 1006
#define IDC_RESIZE_WIDTH 1007
#define IDC_RESIZE_HEIGHT 1008
#define IDC_RESIZE_KEEP_ASPECT 1009
