#pragma once
// The main window's private messages: requests that other threads leave for the window's thread.

#include "foundation/win32.h"

// lParam: the step to carry out, waited for by the sender.
constexpr UINT WindowRequestMessage = WM_APP + 0x100;
// The whole view redrawn, asked for from another thread.
constexpr UINT InvalidateRequestMessage = WM_APP + 0x101;
// Both scroll bars brought up to date, asked for from another thread.
constexpr UINT ScrollBarsRequestMessage = WM_APP + 0x102;
// An error of another thread waits to be shown.
constexpr UINT ErrorReportMessage = WM_APP + 0x103;
// wParam: "ArcPassMask" as the password dialog of another thread left it, to be stored.
constexpr UINT ArcPassMaskMessage = WM_APP + 0x104;
