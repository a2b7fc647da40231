#pragma once
// Resource ids shared by the resource scripts and the code.

// The program icon (16, 32 and 48 pixels), set on the main window's class.
#define IDI_KANORU2 102
