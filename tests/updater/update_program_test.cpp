// The update command of the real Kanoru2.exe, started in a folder of its own with its requests
// sent through the test server as its proxy. The test answers the program's boxes and presses the
// updater's buttons by posting to its windows, and ends every process it finds still running.
// First: the test server's socket header must come before <windows.h>.
#include "update_site.h"

#include "update_run_support.h"

#include "support/test_timeout.h"
#include "support/window_test_bed.h"
#include "updater/updater_dialog.h"
#include "viewer/viewer_fixtures.h"

#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace FileTestSupport;
using namespace UpdateTestSupport;
using HttpTestSupport::TestHttpServer;
using KanoruTest::ProgramInFreshFolder;

namespace {

constexpr int UpdateCommandId = 0xF857;
constexpr int StatusId = 40251;
const std::wstring UpdaterCaption = L"ネットワーク更新";
const std::wstring NoUpdateText = L"現在利用できる更新はありませんでした。";

// The settings file of a program that sends its requests through the server.
void WriteSettings(const std::wstring& folder, int port, const std::string& more = "")
{
    WriteText(String(folder.c_str()) + L"Kanoru.cfg",
              "HttpProxy = true\r\nHttpProxyServer = 127.0.0.1:" + std::to_string(port) + "\r\n" + more);
}

bool IsBox(HWND hwnd)
{
    return ::GetDlgItem(hwnd, 0xFFFF) != nullptr;
}

// The visible dialogs and boxes of the process.
std::vector<HWND> Dialogs(DWORD processId)
{
    std::vector<HWND> dialogs;
    for (HWND hwnd : KanoruTest::FindProcessWindows(processId)) {
        char className[16] = {};
        ::GetClassNameA(hwnd, className, sizeof className);
        if (::IsWindowVisible(hwnd) && std::string(className) == "#32770")
            dialogs.push_back(hwnd);
    }
    return dialogs;
}

bool HasBox(DWORD processId)
{
    for (HWND hwnd : Dialogs(processId))
        if (IsBox(hwnd))
            return true;
    return false;
}

std::wstring BoxText(HWND box)
{
    return KanoruTest::WindowText(::GetDlgItem(box, 0xFFFF));
}

// The updater dialog, once it shows.
HWND WaitForUpdater(DWORD processId)
{
    HWND found = nullptr;
    KanoruTest::PumpUntil([&] {
        // A box shown at once may come before the dialog itself is shown.
        for (HWND hwnd : KanoruTest::FindProcessWindows(processId))
            if (!IsBox(hwnd) && KanoruTest::WindowText(hwnd) == UpdaterCaption)
                found = hwnd;
        return found != nullptr;
    });
    return found;
}

// The first box the process shows; null when none came.
HWND WaitForBox(DWORD processId)
{
    HWND found = nullptr;
    KanoruTest::PumpUntil([&] {
        for (HWND hwnd : Dialogs(processId))
            if (IsBox(hwnd))
                found = hwnd;
        return found != nullptr;
    });
    return found;
}

// "続行" enabled by a found update (the template's enabled button before the dialog has started
// does not count).
bool ContinueEnabled(HWND updater)
{
    return ::IsWindowVisible(updater) && ::IsWindowEnabled(::GetDlgItem(updater, IDOK));
}

bool WaitUntilGone(HWND hwnd)
{
    return KanoruTest::PumpUntil([&] { return !::IsWindow(hwnd); });
}

void Press(HWND dialog, int id)
{
    ::PostMessageW(dialog, WM_COMMAND, static_cast<WPARAM>(id), 0);
}

// The main window answers at once.
bool Answers(HWND hwnd)
{
    DWORD_PTR result = 0;
    return ::SendMessageTimeoutW(hwnd, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &result) != 0;
}

// Ends, by their ids, the processes whose program lies in the folder.
void EndProgramsIn(const std::wstring& folder)
{
    const HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32FirstW(snapshot, &entry); more; more = ::Process32NextW(snapshot, &entry)) {
        const HANDLE process = ::OpenProcess(
            PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID);
        if (!process)
            continue;
        wchar_t path[MAX_PATH + 1] = {};
        DWORD size = MAX_PATH;
        if (::QueryFullProcessImageNameW(process, 0, path, &size) &&
            ::CompareStringOrdinal(path, static_cast<int>(folder.size()), folder.c_str(),
                                   static_cast<int>(folder.size()), TRUE) == CSTR_EQUAL &&
            ::WaitForSingleObject(process, 0) == WAIT_TIMEOUT) {
            ::TerminateProcess(process, 99);
            ::WaitForSingleObject(process, 30 * 1000);
        }
        ::CloseHandle(process);
    }
    ::CloseHandle(snapshot);
}

// A program started in a folder that already holds it; ended by its id when it still runs.
class StartedProgram
{
public:
    explicit StartedProgram(const std::wstring& path)
    {
        std::wstring commandLine = L"\"" + path + L"\"";
        const std::wstring folder = path.substr(0, path.find_last_of(L'\\') + 1);
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        if (!::CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                              folder.c_str(), &startup, &info))
            return;
        ::CloseHandle(info.hThread);
        m_process = info.hProcess;
        m_processId = info.dwProcessId;
    }
    ~StartedProgram()
    {
        if (!m_process)
            return;
        if (::WaitForSingleObject(m_process, 0) == WAIT_TIMEOUT) {
            ::TerminateProcess(m_process, 99);
            ::WaitForSingleObject(m_process, INFINITE);
        }
        ::CloseHandle(m_process);
    }
    StartedProgram(const StartedProgram&) = delete;
    StartedProgram& operator=(const StartedProgram&) = delete;

    DWORD ProcessId() const { return m_processId; }
    HWND WaitForWindow() const
    {
        HWND window = nullptr;
        KanoruTest::PumpUntil([&] {
            for (HWND hwnd : KanoruTest::FindProcessWindows(m_processId))
                if (::IsWindowVisible(hwnd))
                    window = hwnd;
            return window != nullptr;
        });
        return window;
    }
    long WaitForExit() const
    {
        if (!m_process ||
            !KanoruTest::PumpUntil([&] { return ::WaitForSingleObject(m_process, 0) == WAIT_OBJECT_0; }))
            return -1;
        DWORD code = 0;
        ::GetExitCodeProcess(m_process, &code);
        return static_cast<long>(code);
    }

private:
    HANDLE m_process = nullptr;
    DWORD m_processId = 0;
};

// The UTF-16 settings file the program wrote.
std::wstring SavedSettings(const std::wstring& folder)
{
    const std::string bytes = ReadText(String((folder + L"Kanoru.cfg").c_str()));
    if (bytes.size() < 2)
        return L"";
    return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data() + 2), (bytes.size() - 2) / 2);
}

// Runs the command on the main window up to the "no update" box, answers it and waits until the
// updater has closed.
void ExpectNoUpdate(DWORD processId, HWND mainWindow)
{
    KanoruTest::PostCommand(mainWindow, UpdateCommandId);
    const HWND updater = WaitForUpdater(processId);
    ASSERT_NE(nullptr, updater);
    const HWND box = WaitForBox(processId);
    ASSERT_NE(nullptr, box);
    EXPECT_EQ(UpdaterCaption, KanoruTest::WindowText(box));
    EXPECT_EQ(NoUpdateText, BoxText(box));
    Press(box, IDOK);
    EXPECT_TRUE(WaitUntilGone(updater));
    EXPECT_TRUE(Answers(mainWindow));
}

// The program's files, the settings file left out (the program writes it when it likes), and the
// names of those that differ between two of them: gtest would print whole programs byte by byte.
std::map<std::wstring, std::string> ProgramFiles(const std::wstring& folder)
{
    std::map<std::wstring, std::string> files = Snapshot(String(folder.c_str()));
    files.erase(L"Kanoru.cfg");
    return files;
}

std::string DifferingNames(const std::map<std::wstring, std::string>& before,
                           const std::map<std::wstring, std::string>& after)
{
    std::string names;
    for (const auto& [name, bytes] : before) {
        const auto found = after.find(name);
        if (found == after.end() || found->second != bytes)
            names += Ansi(name.c_str()) + " ";
    }
    for (const auto& entry : after)
        if (!before.count(entry.first))
            names += Ansi(entry.first.c_str()) + " ";
    return names;
}

void Close(HWND mainWindow)
{
    ::PostMessageW(mainWindow, WM_CLOSE, 0, 0);
}

} // namespace

TEST(DesktopInputUpdateProgram, NothingNewShowsItsBoxAfterOneRequestAndTheViewerStays)
{
    const std::string program = "the program as installed";
    UpdateSite site(Site({{"Kanoru2.exe", program}}, {{"Kanoru2.exe", ""}}));
    ProgramInFreshFolder viewer(ViewerFixtures::Kanoru2Path(), L"", [&](const std::wstring& folder) {
        WriteSettings(folder, site.Server().Port(), "HttpFile000MD5 = " + Md5Of(program) + "\r\n");
    });
    ASSERT_TRUE(viewer.Started());
    const HWND mainWindow = viewer.WaitForWindow();
    ASSERT_NE(nullptr, mainWindow);
    ExpectNoUpdate(viewer.ProcessId(), mainWindow);
    const std::vector<std::string> requested = site.Requested();
    ASSERT_EQ(1u, requested.size());
    EXPECT_EQ(Ansi(NetworkUpdateInfoUrl), requested[0]);
    EXPECT_TRUE(::IsWindowVisible(mainWindow));
    Close(mainWindow);
    EXPECT_EQ(0, viewer.WaitForExit());
}

TEST(DesktopInputUpdateProgram, AnErrorPageIsShownAsAnError)
{
    UpdateSite site({});
    ProgramInFreshFolder viewer(ViewerFixtures::Kanoru2Path(), L"", [&](const std::wstring& folder) {
        WriteSettings(folder, site.Server().Port());
    });
    ASSERT_TRUE(viewer.Started());
    const HWND mainWindow = viewer.WaitForWindow();
    ASSERT_NE(nullptr, mainWindow);
    KanoruTest::PostCommand(mainWindow, UpdateCommandId);
    const HWND updater = WaitForUpdater(viewer.ProcessId());
    ASSERT_NE(nullptr, updater);
    const HWND box = WaitForBox(viewer.ProcessId());
    ASSERT_NE(nullptr, box);
    const std::wstring error =
        std::wstring(NetworkUpdateInfoUrl) + L" の取得に失敗しました (HTTP/1.0 404 Not Found)";
    EXPECT_EQ(error, BoxText(box));
    EXPECT_EQ(error, KanoruTest::WindowText(::GetDlgItem(updater, StatusId)));
    Press(box, IDOK);
    EXPECT_TRUE(WaitUntilGone(box));
    // The updater stays until it is closed, with nothing to continue.
    EXPECT_TRUE(::IsWindow(updater));
    EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(updater, IDOK)));
    Press(updater, IDCANCEL);
    EXPECT_TRUE(WaitUntilGone(updater));
    EXPECT_TRUE(Answers(mainWindow));
    Close(mainWindow);
    EXPECT_EQ(0, viewer.WaitForExit());
}

TEST(DesktopInputUpdateProgram, CancelAgainstAServerThatNeverAnswersLeavesTheViewerAnswering)
{
    TestHttpServer server(
        [](TestHttpServer& self, SOCKET connection) { self.WaitUntilClosedOrStopped(connection); });
    ProgramInFreshFolder viewer(ViewerFixtures::Kanoru2Path(), L"",
                                [&](const std::wstring& folder) { WriteSettings(folder, server.Port()); });
    ASSERT_TRUE(viewer.Started());
    const HWND mainWindow = viewer.WaitForWindow();
    ASSERT_NE(nullptr, mainWindow);
    KanoruTest::PostCommand(mainWindow, UpdateCommandId);
    const HWND updater = WaitForUpdater(viewer.ProcessId());
    ASSERT_NE(nullptr, updater);
    ASSERT_TRUE(KanoruTest::PumpUntil([&] { return !server.Requests().empty(); }));
    Press(updater, IDCANCEL);
    EXPECT_TRUE(WaitUntilGone(updater));
    EXPECT_TRUE(Answers(mainWindow));
    EXPECT_TRUE(Dialogs(viewer.ProcessId()).empty());
    Close(mainWindow);
    EXPECT_EQ(0, viewer.WaitForExit());
}

TEST(DesktopInputUpdateProgram, AnEntryThatWouldRunCommandsIsRefusedBeforeAnythingChanges)
{
    KanoruTest::ExtendTimeout(120);
    const std::wstring pwned = L"C:\\pwned.txt";
    ::DeleteFileW(pwned.c_str());
    UpdateSite site(
        Site({{"Kanoru2.exe", "new program"}}, {{"x\" & echo pwned > C:\\pwned.txt & rem \"", ""}}));
    ProgramInFreshFolder viewer(ViewerFixtures::Kanoru2Path(), L"", [&](const std::wstring& folder) {
        WriteSettings(folder, site.Server().Port());
    });
    ASSERT_TRUE(viewer.Started());
    const HWND mainWindow = viewer.WaitForWindow();
    ASSERT_NE(nullptr, mainWindow);
    const auto before = ProgramFiles(viewer.Folder());
    KanoruTest::PostCommand(mainWindow, UpdateCommandId);
    const HWND updater = WaitForUpdater(viewer.ProcessId());
    ASSERT_NE(nullptr, updater);
    // The description may be refused as it is read, or the entry once the update starts.
    ASSERT_TRUE(
        KanoruTest::PumpUntil([&] { return ContinueEnabled(updater) || HasBox(viewer.ProcessId()); }));
    if (ContinueEnabled(updater))
        Press(updater, IDOK);
    const HWND box = WaitForBox(viewer.ProcessId());
    ASSERT_NE(nullptr, box);
    const std::wstring error = BoxText(box);
    EXPECT_EQ(UpdaterCaption, KanoruTest::WindowText(box));
    EXPECT_NE(NoUpdateText, error);
    EXPECT_EQ(error, KanoruTest::WindowText(::GetDlgItem(updater, StatusId))) << Ansi(error.c_str());
    Press(box, IDOK);
    Press(updater, IDCANCEL);
    EXPECT_TRUE(WaitUntilGone(updater));
    EXPECT_EQ("", DifferingNames(before, ProgramFiles(viewer.Folder())));
    EXPECT_FALSE(Exists(pwned.c_str()));
    Close(mainWindow);
    EXPECT_EQ(0, viewer.WaitForExit());
}

// The whole update: the viewer downloads, backs up, hands over to the scripts and exits; the
// scripts replace its files and start the new program (a stub that marks its start). The real
// program put back then records what was installed and finds nothing new.
TEST(DesktopInputUpdateProgram, AnUpdateReplacesTheProgramAndIsRecordedByTheNextCheck)
{
    KanoruTest::ExtendTimeout(300);
    const Bytes stub =
        ReadBytes(String(KanoruTest::TestProgramFolder().c_str()) + L"kanoru_restart_stub.exe");
    ASSERT_FALSE(stub.empty()) << "kanoru_restart_stub.exe is missing";
    const std::string newProgram = std::string(stub.begin(), stub.end()) + "new";
    const std::string plugins = Zip({{"spi/a.spi", "plug-in"}});
    UpdateSite site(Site({{"Kanoru2.exe", newProgram}, {"plugins.zip", plugins}},
                         {{"Kanoru2.exe", ""}, {"plugins.zip/spi/a.spi", "spi"}}));
    ProgramInFreshFolder viewer(ViewerFixtures::Kanoru2Path(), L"", [&](const std::wstring& folder) {
        WriteSettings(folder, site.Server().Port(), "HttpBackup = true\r\n");
    });
    ASSERT_TRUE(viewer.Started());
    const std::wstring folderText = viewer.Folder();
    const String folder(folderText.c_str());
    const std::string oldProgram = ReadText(folder + L"Kanoru2.exe");
    const HWND mainWindow = viewer.WaitForWindow();
    ASSERT_NE(nullptr, mainWindow);

    KanoruTest::PostCommand(mainWindow, UpdateCommandId);
    const HWND updater = WaitForUpdater(viewer.ProcessId());
    ASSERT_NE(nullptr, updater);
    ASSERT_TRUE(KanoruTest::PumpUntil([&] { return ContinueEnabled(updater); }));
    Press(updater, IDOK);
    const HWND confirmation = WaitForBox(viewer.ProcessId());
    ASSERT_NE(nullptr, confirmation);
    EXPECT_EQ(L"確認", KanoruTest::WindowText(confirmation));
    EXPECT_EQ(L"更新処理を行います", BoxText(confirmation));
    Press(confirmation, IDOK);
    EXPECT_EQ(0, viewer.WaitForExit());

    // Every folder but the two the update makes is the scripts' temporary one.
    const auto installed = [&] {
        if (!Exists(folder + L"restarted.txt") || !Exists(folder + L"$installed$.cfg"))
            return false;
        for (const std::wstring& path : Tree(folder)) {
            const std::size_t separator = path.find(L'\\');
            const std::wstring top = path.substr(0, separator + 1);
            if (separator == std::wstring::npos || top == L"spi\\" || top == L"$backup-00$\\")
                continue;
            if (!RemovedByItsScript(folder + top.c_str()))
                return false;
        }
        return true;
    };
    // The scripts wait, a second a try, until the ended viewer lets go of its program file.
    const bool done = WaitUntil(folder, installed, 150 * 1000);
    EndProgramsIn(folderText);
    ASSERT_TRUE(done) << "the update was not installed; the program folder holds:" << [&] {
        std::string names;
        for (const std::wstring& path : Tree(folder))
            names += " " + Ansi(path.c_str());
        return names;
    }();
    EXPECT_EQ(newProgram, ReadText(folder + L"Kanoru2.exe"));
    EXPECT_EQ("plug-in", ReadText(folder + L"spi\\a.spi"));
    EXPECT_EQ(oldProgram, ReadText(folder + L"$backup-00$\\Kanoru2.exe"));
    const std::string info = Ansi(NetworkUpdateInfoUrl);
    const std::string siteFolder = info.substr(0, info.rfind('/') + 1);
    EXPECT_EQ((std::vector<std::string>{info, siteFolder + "Kanoru2.exe", siteFolder + "plugins.zip"}),
              site.Requested());

    // The real program back in place.
    ::SetFileAttributesW((folderText + L"Kanoru2.exe").c_str(), FILE_ATTRIBUTE_NORMAL);
    ASSERT_TRUE(
        ::CopyFileW(ViewerFixtures::Kanoru2Path().c_str(), (folderText + L"Kanoru2.exe").c_str(), FALSE));
    {
        const StartedProgram again(folderText + L"Kanoru2.exe");
        const HWND window = again.WaitForWindow();
        ASSERT_NE(nullptr, window);
        ExpectNoUpdate(again.ProcessId(), window);
        Close(window);
        EXPECT_EQ(0, again.WaitForExit());
    }
    EXPECT_EQ(4u, site.Requested().size());
    EXPECT_FALSE(Exists(folder + L"$installed$.cfg"));
    const std::wstring settings = SavedSettings(folderText);
    for (const std::string& line :
         {"HttpFile000MD5 = " + Md5Of(newProgram) + "\r\n", "HttpFile001MD5 = " + Md5Of(plugins) + "\r\n"})
        EXPECT_NE(std::wstring::npos, settings.find(Wide(line).CStr())) << line;
}
