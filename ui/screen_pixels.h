#pragma once
// Reading what the screen shows and what a window's caption holds, also for windows of other
// processes: for programs that watch another program's windows.

#include "foundation/string.h"
#include "foundation/win32.h"
#include "imaging/plane.h"

#include <memory>

namespace Brivox {

// A window's caption as stored, read without sending the window a message (its thread may be busy,
// or it may belong to another process).
String GetStoredWindowText(HWND hwnd);
// The screen's pixels of a rectangle in screen co-ordinates.
std::unique_ptr<CDib32> CopyScreenRect(const RECT& area);
// A window's client area as the screen shows it: what covers the window shows too.
std::unique_ptr<CDib32> CopyClientFromScreen(HWND hwnd);

} // namespace Brivox
