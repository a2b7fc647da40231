#pragma once
// A second process for the tests of cross-process behaviour: this test program itself, started
// again with "--kanoru-child=<role> <argument>". The role, registered by a ChildRole object at
// namespace scope, runs before main and ends that process with its exit code, so no test of the
// second process ever runs.
#include "foundation/win32.h"

#include <gtest/gtest.h>

#include <string>

namespace ChildProcess {

using RoleFunction = int (*)(const std::wstring& argument);

class ChildRole
{
public:
    ChildRole(const wchar_t* name, RoleFunction run)
    {
        const std::wstring commandLine = ::GetCommandLineW();
        const std::wstring marker = std::wstring(L"--kanoru-child=") + name + L" ";
        const std::size_t at = commandLine.find(marker);
        if (at != std::wstring::npos)
            ::ExitProcess(static_cast<UINT>(run(commandLine.substr(at + marker.size()))));
    }
};

// One running second process; ended when the object goes.
class Child
{
public:
    Child(const wchar_t* role, const std::wstring& argument)
    {
        wchar_t program[MAX_PATH + 1] = {};
        ::GetModuleFileNameW(nullptr, program, MAX_PATH);
        std::wstring commandLine =
            std::wstring(L"\"") + program + L"\" --kanoru-child=" + role + L" " + argument;
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION info = {};
        if (::CreateProcessW(program, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             &startup, &info)) {
            ::CloseHandle(info.hThread);
            process_ = info.hProcess;
        } else {
            // Which error, to tell a refused start from one that Wine could not carry out.
            ADD_FAILURE() << "the second process could not be started: error " << ::GetLastError();
        }
    }
    ~Child()
    {
        if (!process_)
            return;
        if (::WaitForSingleObject(process_, 0) == WAIT_TIMEOUT)
            ::TerminateProcess(process_, 99);
        ::CloseHandle(process_);
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    bool Started() const { return process_ != nullptr; }
    HANDLE Handle() const { return process_; }

    // The exit code; -1 when the process has not ended within the time (it is then ended).
    long Wait(DWORD milliseconds = 60000)
    {
        if (!process_ || ::WaitForSingleObject(process_, milliseconds) != WAIT_OBJECT_0) {
            ADD_FAILURE() << "the second process did not end in time";
            return -1;
        }
        DWORD code = 0;
        ::GetExitCodeProcess(process_, &code);
        return static_cast<long>(code);
    }

private:
    HANDLE process_ = nullptr;
};

} // namespace ChildProcess
