#pragma once
// Watching a viewer started as a process of its own until its first page is on screen: its main
// window's title names a page ("Kanoru : ..." with a count other than [0/0]) and its client area
// on the screen shows more than one colour. Used by the script that runs the viewer without a
// display and by the start-up benchmark.

#include "foundation/process.h"
#include "foundation/string.h"
#include "foundation/win32.h"

#include <memory>

namespace FirstPage {

// Whether a main-window title names a shown page.
bool TitleShowsPage(const Brivox::String& title);

// The visible top-level window of the process whose title names a page; null when there is none.
HWND FindPageWindow(DWORD processId);

// Whether the window's client area, as the screen shows it, holds more than one colour: the
// viewer's background alone is one colour.
bool ClientShowsPicture(HWND window);

enum class WaitResult
{
    Shown,
    Ended,   // the process ended first
    TimedOut // neither within the time allowed
};

// Waits, checking every few milliseconds, until the process's first page is on screen or the
// process ends; `window` receives the page window when shown.
WaitResult WaitForFirstPage(Brivox::Process& process, DWORD timeoutMs, HWND& window);

// Saves the window's rectangle of the screen (the whole screen for a null window), as far as it
// lies on the screen, as a PNG file. False when none of it does.
bool SaveScreenshot(HWND window, const Brivox::String& path);

// Asks the window to close (WM_CLOSE) and waits for the process to end; false when it is still
// running after the time allowed.
bool CloseAndWait(HWND window, Brivox::Process& process, DWORD timeoutMs);

// The process's exit code; STILL_ACTIVE while it runs.
DWORD ExitCodeOf(Brivox::Process& process);

// Starts the program directly (not through the shell) with the arguments, each given to it
// whole.
std::shared_ptr<Brivox::Process> StartProgram(const Brivox::String& program,
                                              const std::vector<Brivox::String>& arguments);

} // namespace FirstPage
