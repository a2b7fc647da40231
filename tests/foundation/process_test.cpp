#include "foundation/process.h"

#include "child_process.h"
#include "file_test_support.h"
#include "foundation/exception.h"
#include "foundation/file_name.h"

#include <gtest/gtest.h>

#include <string>

using Brivox::Process;
using Brivox::ProcessStartInfo;
using Brivox::String;
using namespace FileTestSupport;

namespace {

const DWORD helperExitCode = 37;
const DWORD deadline = 60000;

// The helper: writes its current folder, a line end and its arguments after the report path into
// the report file (UTF-16), and ends with its own exit code. Its argument is the report path in
// double quotes, a space and the rest.
int ReportArguments(const std::wstring& argument)
{
    const std::size_t close = argument.find(L'"', 1);
    if (argument.empty() || argument[0] != L'"' || close == std::wstring::npos)
        return 1;
    wchar_t folder[MAX_PATH + 1] = {};
    ::GetCurrentDirectoryW(MAX_PATH, folder);
    const std::wstring report =
        std::wstring(folder) + L"\n" + (close + 2 <= argument.size() ? argument.substr(close + 2) : L"");
    HANDLE file = ::CreateFileW(argument.substr(1, close - 1).c_str(), GENERIC_WRITE, 0, nullptr,
                                CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    ::WriteFile(file, report.data(), static_cast<DWORD>(report.size() * sizeof(wchar_t)), &written, nullptr);
    ::CloseHandle(file);
    return static_cast<int>(helperExitCode);
}

const ChildProcess::ChildRole reportArguments(L"report-arguments", ReportArguments);

String ThisProgram()
{
    wchar_t path[MAX_PATH + 1] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    return String(path);
}

std::wstring ReadReport(const String& path)
{
    const Bytes bytes = ReadBytes(path);
    return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
}

DWORD WaitForExitCode(HANDLE process)
{
    EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(process, deadline)) << "the helper did not end in time";
    DWORD code = 0;
    ::GetExitCodeProcess(process, &code);
    return code;
}

std::wstring WithoutTrailingSeparator(const String& folder)
{
    return Brivox::CFileName::TrimTrailingSeparator(folder).CStr();
}

class ProcessTest : public TempFolderTest
{
protected:
    // The helper's start: arguments with a quoted blank and Japanese text after the report path.
    ProcessStartInfo HelperStart()
    {
        return ProcessStartInfo(ThisProgram(), L"--kanoru-child=report-arguments \"" + At(L"report.txt") +
                                                   L"\" " + helperArguments);
    }

    const String helperArguments = L"1  \"two words\" 日本語";
};

struct StartCase
{
    const char* name;
    bool useShell;
    const wchar_t* verb;
    bool givesFolder;
};

} // namespace

TEST_F(ProcessTest, HelperGetsItsArgumentsAndFolderAndItsExitCodeComesBack)
{
    const StartCase cases[] = {
        {"shell", true, L"", true},
        {"shell runas", true, L"runas", true},
        {"direct", false, L"", true},
        {"direct in the current folder", false, L"", false},
    };
    for (const StartCase& c : cases) {
        SCOPED_TRACE(c.name);
        ProcessStartInfo info = HelperStart();
        info.UseShellExecute = c.useShell;
        info.Verb = c.verb;
        if (c.givesFolder)
            info.WorkingDirectory = root;
        const std::shared_ptr<Process> process = Process::Start(info);
        ASSERT_TRUE(process);
        ASSERT_NE(INVALID_HANDLE_VALUE, process->GetProcessHandle());
        EXPECT_EQ(helperExitCode, WaitForExitCode(process->GetProcessHandle()));
        const std::wstring folder =
            c.givesFolder ? WithoutTrailingSeparator(root) : Brivox::GetCurrentDirectoryString().CStr();
        EXPECT_EQ(folder + L"\n" + helperArguments.CStr(), ReadReport(At(L"report.txt")));
        ::DeleteFileW(At(L"report.txt").CStr());
    }
}

TEST_F(ProcessTest, MissingProgramFailsWithTheSystemsReason)
{
    for (bool useShell : {true, false}) {
        ProcessStartInfo info(At(L"missing.exe"), L"a");
        info.UseShellExecute = useShell;
        Process process(info);
        try {
            process.Start();
            ADD_FAILURE() << "nothing thrown, shell " << useShell;
        } catch (const Brivox::Win32Exception& e) {
            EXPECT_EQ(Ansi(L"プロセスの作成に失敗 : ") + SystemText(ERROR_FILE_NOT_FOUND), e.what())
                << "shell " << useShell;
        }
        EXPECT_EQ(INVALID_HANDLE_VALUE, process.GetProcessHandle());
    }
}

TEST_F(ProcessTest, StartingAgainClosesTheFirstProcessHandle)
{
    ProcessStartInfo info = HelperStart();
    info.UseShellExecute = false;
    Process process(info);
    ASSERT_TRUE(process.Start());
    const HANDLE first = process.GetProcessHandle();
    const DWORD firstId = ::GetProcessId(first);
    EXPECT_EQ(helperExitCode, WaitForExitCode(first));

    ASSERT_TRUE(process.Start());
    // A handle still open would still name the first process; a closed one names none, or the
    // second process when the system gave its value out again.
    EXPECT_NE(firstId, ::GetProcessId(first));
    EXPECT_EQ(helperExitCode, WaitForExitCode(process.GetProcessHandle()));
    process.CloseProcessHandle();
    EXPECT_EQ(INVALID_HANDLE_VALUE, process.GetProcessHandle());
}

TEST(ProcessCommandLine, QuotesTheTrimmedNameOnceAndKeepsTheArguments)
{
    const struct
    {
        const wchar_t* fileName;
        const wchar_t* arguments;
        const wchar_t* expected;
    } cases[] = {
        {L"C:\\Tools\\a b.exe", L"-x", L"\"C:\\Tools\\a b.exe\" -x"},
        {L"  prog.exe\t ", L"", L"\"prog.exe\""},
        {L"\"C:\\a b\\p.exe\"", L"", L"\"C:\\a b\\p.exe\""},
        {L" \"p.exe\" ", L"x", L"\"p.exe\" x"},
        {L"\"", L"", L"\""},
        {L"p.exe", L" a  \"b\" ", L"\"p.exe\"  a  \"b\" "},
    };
    for (const auto& c : cases) {
        const String line = Process::BuildCommandLine(ProcessStartInfo(c.fileName, c.arguments));
        EXPECT_EQ(std::wstring(c.expected), line.CStr()) << Ansi(c.fileName);
    }
}
