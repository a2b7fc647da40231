#pragma once

#include "foundation/string.h"
#include "foundation/win32.h"

namespace Brivox {

// The narrow message-box function as the programs call it: MessageBoxA, unless a hook is set.
using MessageBoxHook = int (*)(HWND owner, const char* text, const char* caption, UINT style);

// Shows a box with text and caption in the ANSI code page; returns the button pressed.
int ShowNarrowMessageBox(HWND owner, const char* text, const char* caption, UINT style);

// Routes every box through hook instead (nullptr restores MessageBoxA), so that tests can answer
// boxes that would otherwise wait for a user. Returns the hook that was set before.
MessageBoxHook SetMessageBoxHook(MessageBoxHook hook);

// A box with the flag words OR-ed; an empty caption is passed as none, so that the system shows
// its default caption. Returns the button pressed.
int ShowMessageBox(HWND owner, const String& text, const String& caption, UINT flags1, UINT flags2,
                   UINT flags3, UINT flags4);
int ShowMessageBoxWithFlags(HWND owner, const String& text, const String& caption, UINT flags1, UINT flags2);
// MB_OK alone.
int ShowMessageBoxOk(HWND owner, const String& text, const String& caption);

} // namespace Brivox
