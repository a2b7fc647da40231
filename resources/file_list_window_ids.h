#pragma once
// Template and control ids of the file list window.

#define IDD_FILE_LIST 123

#define IDC_FILE_LIST 1030
