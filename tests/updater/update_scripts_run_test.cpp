// The update scripts run by the command processor over a test folder that stands for the
// program folder, with a stub in the program's place that marks each start.
#include "updater/update_scripts.h"

#include "foundation/file_name.h"
#include "foundation/file_test_support.h"
#include "support/test_timeout.h"
#include "update_run_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

using Brivox::CUpdateScripts;
using Brivox::String;
using Brivox::UpdateScriptEntry;
using namespace FileTestSupport;
using namespace UpdateTestSupport;

namespace {

const DWORD deadline = 60 * 1000;

String TestProgramFolder()
{
    wchar_t path[MAX_PATH + 1] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder = path;
    return String(folder.substr(0, folder.find_last_of(L'\\') + 1));
}

// The folder first on the PATH of this process, and so of the processes it starts, while the
// object lives.
class ScopedPathPrefix
{
public:
    explicit ScopedPathPrefix(const String& folder)
    {
        std::vector<wchar_t> old(32768);
        ::GetEnvironmentVariableW(L"PATH", old.data(), static_cast<DWORD>(old.size()));
        m_old = old.data();
        ::SetEnvironmentVariableW(L"PATH", (std::wstring(folder.CStr()) + L";" + m_old).c_str());
    }
    ~ScopedPathPrefix() { ::SetEnvironmentVariableW(L"PATH", m_old.c_str()); }
    ScopedPathPrefix(const ScopedPathPrefix&) = delete;
    ScopedPathPrefix& operator=(const ScopedPathPrefix&) = delete;

private:
    std::wstring m_old;
};

// Runs the script with the command processor in the script's folder, as the shell starts it,
// handing all output so far to onOutput whenever more arrives; the script's exit code.
DWORD RunScript(const String& script, const std::function<void(const std::string& output)>& onOutput)
{
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!::CreatePipe(&readEnd, &writeEnd, &inheritable, 0)) {
        ADD_FAILURE() << "no pipe";
        return 99;
    }
    const Handle reader(readEnd);
    ::SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nullptr;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    std::wstring commandLine = std::wstring(L"cmd.exe /c \"") + script.CStr() + L"\"";
    const std::wstring folder = Brivox::CFileName::GetDirectory(script).CStr();
    PROCESS_INFORMATION process = {};
    const BOOL started = ::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE,
                                          CREATE_NO_WINDOW, nullptr, folder.c_str(), &startup, &process);
    ::CloseHandle(writeEnd);
    if (!started) {
        ADD_FAILURE() << "cmd.exe did not start";
        return 99;
    }
    const Handle processHandle(process.hProcess), thread(process.hThread);
    std::string output;
    char buffer[4096];
    DWORD read = 0;
    // Ends when every writer has gone: the command processor and whatever it started.
    while (::ReadFile(readEnd, buffer, sizeof buffer, &read, nullptr) && read > 0) {
        output.append(buffer, read);
        onOutput(output);
    }
    DWORD code = 99;
    EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(process.hProcess, deadline));
    ::GetExitCodeProcess(process.hProcess, &code);
    return code;
}

class UpdateRunTest : public TempFolderTest
{
protected:
    void SetUp() override
    {
        TempFolderTest::SetUp();
        KanoruTest::ExtendTimeout(300);
        temporary = At(L"update\\");
        MakeFolder(temporary);
        stub = ReadBytes(TestProgramFolder() + L"kanoru_restart_stub.exe");
        ASSERT_FALSE(stub.empty()) << "kanoru_restart_stub.exe is missing";
        // The new program: the stub with some bytes after it, which do not change how it runs.
        newProgram = stub;
        newProgram.insert(newProgram.end(), {'n', 'e', 'w'});
    }

    String Program() const { return At(L"Kanoru2.exe"); }
    // What the program folder holds, leaving out the temporary folder (checked on its own).
    std::vector<std::wstring> ProgramTree() const
    {
        std::vector<std::wstring> tree = Tree(root);
        tree.erase(std::remove(tree.begin(), tree.end(), L"update\\"), tree.end());
        return tree;
    }
    String Marker() const { return At(L"restarted.txt"); }

    // The new program and a file for a sub-folder, and the record of the installation.
    void PutDownloads()
    {
        WriteBytes(temporary + L"Kanoru2.exe", newProgram);
        MakeFolder(temporary + L"data");
        WriteText(temporary + L"data\\readme.txt", "new readme");
        WriteText(temporary + L"$installed$.cfg", "HttpFile000MD5 = 0123456789abcdef0123456789abcdef\r\n");
    }

    // The script has ended and the program it started has marked its start.
    void ExpectRestartedAndCleanedUp()
    {
        EXPECT_TRUE(WaitUntil(root, [&] { return Exists(Marker()); })) << "the program was not started again";
        EXPECT_TRUE(RemovedByItsScript(temporary)) << "the temporary folder is still there";
    }

    String temporary;
    Bytes stub;
    Bytes newProgram;
};

} // namespace

TEST_F(UpdateRunTest, StartedScriptMovesEverythingRestartsAndRemovesItsFolder)
{
    WriteBytes(Program(), stub);
    PutDownloads();
    const CUpdateScripts scripts(temporary, root, Program(),
                                 {{L"Kanoru2.exe", L""}, {L"data/readme.txt", L"docs"}});
    scripts.SaveAndRun();

    // Nothing here waits for the script: the last thing it does is to remove its folder.
    EXPECT_TRUE(WaitUntil(root, [&] { return Exists(Marker()) && RemovedByItsScript(temporary); }));
    EXPECT_EQ(newProgram, ReadBytes(Program()));
    EXPECT_EQ("new readme", ReadText(At(L"docs\\readme.txt")));
    EXPECT_EQ("HttpFile000MD5 = 0123456789abcdef0123456789abcdef\r\n", ReadText(At(L"$installed$.cfg")));
    EXPECT_EQ(std::vector<std::wstring>(
                  {L"$installed$.cfg", L"Kanoru2.exe", L"docs\\", L"docs\\readme.txt", L"restarted.txt"}),
              ProgramTree());
}

TEST_F(UpdateRunTest, MoveHeldUpByTheRunningProgramCompletesOnceItExits)
{
    WriteBytes(Program(), stub);
    PutDownloads();
    const std::wstring holdName = L"KanoruUpdateHold" + std::to_wstring(::GetCurrentProcessId());
    const Handle hold(::CreateEventW(nullptr, TRUE, FALSE, holdName.c_str()));
    const Handle ready(::CreateEventW(nullptr, TRUE, FALSE, (holdName + L".ready").c_str()));
    std::wstring commandLine = L"\"" + std::wstring(Program().CStr()) + L"\" hold " + holdName;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started = {};
    ASSERT_TRUE(::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                 root.CStr(), &startup, &started));
    const Handle running(started.hProcess), thread(started.hThread);
    ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(ready.Get(), deadline))
        << "the running program did not start";

    const CUpdateScripts scripts(temporary, root, Program(),
                                 {{L"Kanoru2.exe", L""}, {L"data/readme.txt", L"docs"}});
    scripts.Save();
    bool heldUp = false;
    RunScript(scripts.GetUpdatePath(), [&](const std::string& output) {
        // The first wait between tries: the move has failed once. Now the program exits.
        if (!heldUp && output.find("ping -n 2") != std::string::npos) {
            heldUp = true;
            ::SetEvent(hold.Get());
        }
    });
    EXPECT_TRUE(heldUp) << "the move did not wait for the running program";
    EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(running.Get(), deadline));
    ExpectRestartedAndCleanedUp();
    EXPECT_EQ(newProgram, ReadBytes(Program()));
    EXPECT_EQ("new readme", ReadText(At(L"docs\\readme.txt")));
    EXPECT_TRUE(Exists(At(L"$installed$.cfg")));
}

TEST_F(UpdateRunTest, DestinationThatCanNeverBeWrittenGivesUpAndStillRestarts)
{
    WriteBytes(Program(), stub);
    PutDownloads();
    WriteText(temporary + L"plugin.spi", "new plug-in");
    WriteText(temporary + L"later.txt", "after the failure");
    // A folder where the file should go: no move can ever replace it.
    MakeFolder(At(L"plugin.spi"));
    const CUpdateScripts scripts(temporary, root, Program(),
                                 {{L"data/readme.txt", L"docs"}, {L"plugin.spi", L""}, {L"later.txt", L""}});
    scripts.Save();
    // All 120 tries without the second between them.
    const ScopedPathPrefix fakePing(TestProgramFolder() + L"fake_ping");
    std::string output;
    RunScript(scripts.GetUpdatePath(), [&](const std::string& sofar) { output = sofar; });
    EXPECT_NE(std::string::npos, output.find("if 119 geq 120 exit /b 1"));
    EXPECT_NE(std::string::npos, output.find("if 120 geq 120 exit /b 1"));
    ExpectRestartedAndCleanedUp();
    // Entries before the failure are in place, the one that failed and those after it are not,
    // and the installation is not recorded.
    EXPECT_EQ(std::vector<std::wstring>(
                  {L"Kanoru2.exe", L"docs\\", L"docs\\readme.txt", L"plugin.spi\\", L"restarted.txt"}),
              ProgramTree());
    EXPECT_EQ(stub, ReadBytes(Program()));
}
