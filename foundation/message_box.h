#pragma once

#include "foundation/win32.h"

namespace Brivox {

// The narrow message-box function as the programs call it: MessageBoxA, unless a hook is set.
using MessageBoxHook = int (*)(HWND owner, const char* text, const char* caption, UINT style);

// Shows a box with text and caption in the ANSI code page; returns the button pressed.
int ShowNarrowMessageBox(HWND owner, const char* text, const char* caption, UINT style);

// Routes every box through hook instead (nullptr restores MessageBoxA), so that tests can answer
// boxes that would otherwise wait for a user. Returns the hook that was set before.
MessageBoxHook SetMessageBoxHook(MessageBoxHook hook);

} // namespace Brivox
