#pragma once
// Starting other programs and opening documents, directly or through the shell, keeping the new
// process's handle for a starter that must wait for it.

#include "foundation/string.h"
#include "foundation/win32.h"

#include <memory>

namespace Brivox {

// What to start. A plain value.
struct ProcessStartInfo
{
    explicit ProcessStartInfo(const String& fileName);
    ProcessStartInfo(const String& fileName, const String& arguments);

    // The program or document.
    String FileName;
    // The command-line arguments as one text.
    String Arguments;
    // The shell verb ("runas"); empty for the shell's default verb.
    String Verb;
    String WorkingDirectory;
    bool UseShellExecute = true;
    // Only without the shell.
    bool CreateNoWindow = false;
    // Only with the shell: whether the shell may show its own error box, owned by the parent.
    bool ErrorDialog = false;
    HWND ErrorDialogParent = nullptr;
    // Only with the shell: a show-window code (SW_SHOWNORMAL by default).
    int ShowCommand = SW_SHOWNORMAL;
};

// One started process; the last owner closes its handle. The started program runs on by itself:
// nothing here waits for it or ends it.
class Process
{
public:
    explicit Process(const ProcessStartInfo& startInfo);
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    // Starts a new Process; empty when the start gave no process handle (the shell handed the
    // request to a program that was already running). Throws Win32Exception "プロセスの作成に失敗"
    // when the system refuses the start.
    static std::shared_ptr<Process> Start(const ProcessStartInfo& startInfo);
    static std::shared_ptr<Process> Start(const String& fileName);
    static std::shared_ptr<Process> Start(const String& fileName, const String& arguments);

    // Closes the handle of an earlier start, then starts through the shell or directly as the
    // start info says. True when a process handle was obtained.
    bool Start();
    void CloseProcessHandle();
    // INVALID_HANDLE_VALUE when there is none.
    HANDLE GetProcessHandle() const { return m_processHandle; }

    // The command line of the direct start: the trimmed file name in double quotes (unless it
    // already starts and ends with one), then a space and the arguments as they are.
    static String BuildCommandLine(const ProcessStartInfo& startInfo);

private:
    bool StartWithShell(const ProcessStartInfo& startInfo);
    bool StartWithCreateProcess(const ProcessStartInfo& startInfo);

    ProcessStartInfo m_startInfo;
    HANDLE m_processHandle;
};

} // namespace Brivox
