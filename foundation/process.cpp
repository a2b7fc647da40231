#include "foundation/process.h"

#include "foundation/encoding.h"
#include "foundation/exception.h"
#include "foundation/file_name.h"
#include "foundation/string_builder.h"

#include <shellapi.h>

#include <string>

namespace Brivox {

namespace {

const wchar_t startFailure[] = L"プロセスの作成に失敗";

// An empty text reaches the system as no text at all.
template <class Char> const Char* ApiTextOrNull(const String& text, const ApiString& api);

template <> const wchar_t* ApiTextOrNull<wchar_t>(const String& text, const ApiString& api)
{
    return text.Length() > 0 ? api.WidePointer() : nullptr;
}

template <> const char* ApiTextOrNull<char>(const String& text, const ApiString& api)
{
    return text.Length() > 0 ? api.AnsiPointer() : nullptr;
}

// ShellExecuteEx in the wide or the narrow form; the process handle, null when the shell gave none.
template <class Char, class Record>
HANDLE ExecuteThroughShell(const ProcessStartInfo& info, BOOL(WINAPI* execute)(Record*))
{
    const ApiString file(info.FileName), verb(info.Verb), arguments(info.Arguments),
        directory(info.WorkingDirectory);
    Record record = {};
    record.cbSize = sizeof record;
    record.fMask =
        SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_DDEWAIT | (info.ErrorDialog ? 0 : SEE_MASK_FLAG_NO_UI);
    record.hwnd = info.ErrorDialog ? info.ErrorDialogParent : nullptr;
    record.lpFile = ApiTextOrNull<Char>(info.FileName, file);
    record.lpVerb = ApiTextOrNull<Char>(info.Verb, verb);
    record.lpParameters = ApiTextOrNull<Char>(info.Arguments, arguments);
    record.lpDirectory = ApiTextOrNull<Char>(info.WorkingDirectory, directory);
    record.nShow = info.ShowCommand;
    if (!execute(&record)) {
        const DWORD error = ::GetLastError();
        throw Win32Exception(error, startFailure);
    }
    return record.hProcess;
}

bool IsValidHandle(HANDLE handle)
{
    return handle != nullptr && handle != INVALID_HANDLE_VALUE;
}

} // namespace

ProcessStartInfo::ProcessStartInfo(const String& fileName) : FileName(fileName) {}

ProcessStartInfo::ProcessStartInfo(const String& fileName, const String& arguments)
    : FileName(fileName), Arguments(arguments)
{
}

Process::Process(const ProcessStartInfo& startInfo)
    : m_startInfo(startInfo), m_processHandle(INVALID_HANDLE_VALUE)
{
}

Process::~Process()
{
    CloseProcessHandle();
}

std::shared_ptr<Process> Process::Start(const ProcessStartInfo& startInfo)
{
    auto process = std::make_shared<Process>(startInfo);
    if (!process->Start())
        return nullptr;
    return process;
}

std::shared_ptr<Process> Process::Start(const String& fileName)
{
    return Start(ProcessStartInfo(fileName));
}

std::shared_ptr<Process> Process::Start(const String& fileName, const String& arguments)
{
    return Start(ProcessStartInfo(fileName, arguments));
}

bool Process::Start()
{
    CloseProcessHandle();
    const ProcessStartInfo info = m_startInfo;
    return info.UseShellExecute ? StartWithShell(info) : StartWithCreateProcess(info);
}

void Process::CloseProcessHandle()
{
    if (!IsValidHandle(m_processHandle))
        return;
    ::CloseHandle(m_processHandle);
    m_processHandle = INVALID_HANDLE_VALUE;
}

String Process::BuildCommandLine(const ProcessStartInfo& startInfo)
{
    const String name = startInfo.FileName.Trim();
    const bool quoted = name.Length() > 0 && name[0] == L'"' && name[name.Length() - 1] == L'"';
    StringBuilder line;
    if (!quoted)
        line.Append(L'"');
    line.Append(name);
    if (!quoted)
        line.Append(L'"');
    if (startInfo.Arguments.Length() > 0) {
        line.Append(L' ');
        line.Append(startInfo.Arguments);
    }
    return line.ToString();
}

bool Process::StartWithShell(const ProcessStartInfo& info)
{
    const HANDLE process = IsWindowsNT() ? ExecuteThroughShell<wchar_t>(info, &::ShellExecuteExW)
                                         : ExecuteThroughShell<char>(info, &::ShellExecuteExA);
    if (!process)
        return false;
    m_processHandle = process;
    return true;
}

bool Process::StartWithCreateProcess(const ProcessStartInfo& info)
{
    const String commandLine = BuildCommandLine(info);
    const String directory =
        info.WorkingDirectory.Length() > 0 ? info.WorkingDirectory : GetCurrentDirectoryString();
    const DWORD flags = info.CreateNoWindow ? CREATE_NO_WINDOW : 0;
    PROCESS_INFORMATION created = {};
    BOOL started;
    DWORD error = 0;
    if (IsWindowsNT()) {
        // The system may write into the command line.
        std::wstring line(commandLine.CStr(), static_cast<std::size_t>(commandLine.Length()));
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        started = ::CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, flags, nullptr,
                                   directory.CStr(), &startup, &created);
        error = ::GetLastError();
    } else {
        std::string line = GetDefaultEncoding().ToMultiByte(commandLine);
        const std::string folder = GetDefaultEncoding().ToMultiByte(directory);
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        started = ::CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, flags, nullptr,
                                   folder.c_str(), &startup, &created);
        error = ::GetLastError();
    }
    if (!started)
        throw Win32Exception(error, startFailure);
    ::CloseHandle(created.hThread);
    if (IsValidHandle(created.hProcess))
        m_processHandle = created.hProcess;
    return true;
}

} // namespace Brivox
