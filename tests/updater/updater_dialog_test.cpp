// The updater dialog in this process. A test window stands for the main window: on the update
// command its own thread runs the dialog, as the viewer's main window does. Fake jobs of a test
// subclass call the engine's operations from the engine's worker and read back what the dialog
// shows; the real engine talks to the test server through the proxy setting, so that no name is
// looked up. Boxes are answered through the message-box hook.
#include "update_site.h"

#include "foundation/exception.h"
#include "foundation/file_name.h"
#include "foundation/file_test_support.h"
#include "foundation/temp_file.h"
#include "resources/updater_ids.h"
#include "support/test_timeout.h"
#include "support/window_test_bed.h"
#include "ui/window_test_support.h"
#include "updater/updater_dialog.h"

#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

using Brivox::CConfig;
using Brivox::String;
using KanoruTest::MessageBoxAnswerer;
using KanoruTest::PumpUntil;
using namespace UpdateTestSupport;

namespace {

const int networkUpdateCommand = 0xF857;
const wchar_t dialogCaption[] = L"ネットワーク更新";

// What the dialog shows, read from another thread than the dialog's.
struct Shown
{
    std::wstring status;
    std::wstring notices;
    int fileBar = -1;
    int overallBar = -1;
    bool continueEnabled = false;
    bool cancelEnabled = false;

    bool operator==(const Shown&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Shown& shown)
{
    return out << "status '" << Ansi(String(shown.status.c_str())) << "' notices '"
               << Ansi(String(shown.notices.c_str())) << "' bars " << shown.fileBar << ", "
               << shown.overallBar << (shown.continueEnabled ? " continue" : "")
               << (shown.cancelEnabled ? " cancel" : "");
}

std::wstring ControlText(HWND dialog, int id)
{
    wchar_t text[1024] = {};
    ::GetWindowTextW(::GetDlgItem(dialog, id), text, 1024);
    return text;
}

Shown Read(HWND dialog)
{
    Shown shown;
    shown.status = ControlText(dialog, IDC_UPDATER_STATUS);
    shown.notices = ControlText(dialog, IDC_UPDATER_NOTICES);
    shown.fileBar =
        static_cast<int>(::SendMessageW(::GetDlgItem(dialog, IDC_UPDATER_FILE_PROGRESS), PBM_GETPOS, 0, 0));
    shown.overallBar = static_cast<int>(
        ::SendMessageW(::GetDlgItem(dialog, IDC_UPDATER_OVERALL_PROGRESS), PBM_GETPOS, 0, 0));
    shown.continueEnabled = ::IsWindowEnabled(::GetDlgItem(dialog, IDOK)) != FALSE;
    shown.cancelEnabled = ::IsWindowEnabled(::GetDlgItem(dialog, IDCANCEL)) != FALSE;
    return shown;
}

// What the fake jobs saw, kept by the test beyond the dialog.
class Observations
{
public:
    // Waits until the dialog shows what the test expects, and records what it showed last.
    void Expect(HWND dialog, const Shown& expected)
    {
        Shown last;
        PumpUntil([&] {
            last = Read(dialog);
            return last == expected;
        });
        std::lock_guard<std::mutex> lock(m_lock);
        m_steps.push_back({expected, last});
    }

    void Note(const std::string& note)
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_notes.push_back(note);
    }

    void Check() const
    {
        std::lock_guard<std::mutex> lock(m_lock);
        for (std::size_t i = 0; i < m_steps.size(); ++i)
            EXPECT_EQ(m_steps[i].first, m_steps[i].second) << "step " << i;
    }

    std::vector<std::string> Notes() const
    {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_notes;
    }

    std::atomic<HWND> dialog{nullptr};

private:
    mutable std::mutex m_lock;
    std::vector<std::pair<Shown, Shown>> m_steps;
    std::vector<std::string> m_notes;
};

// The dialog with fake jobs: each runs on the engine's worker and calls the operations.
class FakeUpdater : public CNetworkUpdater
{
public:
    using Job = std::function<void(FakeUpdater&)>;

    FakeUpdater(const Brivox::CWnd& mainWindow, CConfig& config, Observations& seen, Job infoJob,
                Job updateJob)
        : CNetworkUpdater(mainWindow, config), seen(seen), m_infoJob(std::move(infoJob)),
          m_updateJob(std::move(updateJob))
    {
    }
    ~FakeUpdater() override { Cancel(); }

    using CNetworkUpdater::ConfirmUpdate;
    using CNetworkUpdater::IsRunning;
    using CNetworkUpdater::OnError;
    using CNetworkUpdater::OnFileProgress;
    using CNetworkUpdater::OnInfoProgress;
    using CNetworkUpdater::OnOldNotices;
    using CNetworkUpdater::OnUpdateFinished;
    using CNetworkUpdater::OnUpdateFound;
    using CNetworkUpdater::StoreSettings;

    HWND Dialog() const { return GetWindow().GetHandle(); }
    void Expect(const Shown& expected) { seen.Expect(Dialog(), expected); }
    void PostToDialog(UINT message, WPARAM wParam = 0) const { ::PostMessageW(Dialog(), message, wParam, 0); }

    Observations& seen;

protected:
    void InfoJobBody() override
    {
        seen.dialog = Dialog();
        m_infoJob(*this);
    }
    void UpdateJobBody() override
    {
        if (m_updateJob)
            m_updateJob(*this);
    }

private:
    Job m_infoJob;
    Job m_updateJob;
};

Brivox::UpdateInfo DescriptionWithNotices(const std::vector<std::wstring>& notices)
{
    Brivox::UpdateInfo description;
    for (const std::wstring& notice : notices)
        description.notices.push_back({String(notice.c_str())});
    return description;
}

// An information job that finds an update and presses "続行" once the dialog offers it.
void FindUpdateAndContinue(FakeUpdater& fake)
{
    fake.OnUpdateFound(Brivox::UpdateInfo());
    fake.Expect({L"", L"", 0, 0, true, true});
    fake.PostToDialog(WM_COMMAND, IDOK);
}

std::string FirstLine(const std::string& request)
{
    return request.substr(0, request.find("\r\n"));
}

// The dialog with the real engine over a test folder in the program folder's place. The script
// that the update hands over to is run by the command processor as a process of the test's own.
class InstallingUpdater : public CNetworkUpdater
{
public:
    InstallingUpdater(const Brivox::CWnd& mainWindow, CConfig& config, const String& folder, HANDLE& script)
        : CNetworkUpdater(mainWindow, config), m_folder(folder), m_script(script)
    {
    }

protected:
    String GetProgramFolder() override { return m_folder; }
    String GetExecutablePath() override { return m_folder + L"Kanoru2.exe"; }
    void StartUpdateScript(const String& path) override
    {
        std::wstring commandLine = std::wstring(L"cmd.exe /c \"") + path.CStr() + L"\"";
        const std::wstring folder = Brivox::CFileName::GetDirectory(path).CStr();
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process = {};
        if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                              folder.c_str(), &startup, &process))
            throw Brivox::RuntimeException(L"cmd.exe did not start");
        ::CloseHandle(process.hThread);
        m_script = process.hProcess;
    }

private:
    String m_folder;
    HANDLE& m_script;
};

// Ends the script's process by its id if it still runs when the test ends.
struct ScriptProcess
{
    ~ScriptProcess()
    {
        if (!handle)
            return;
        if (::WaitForSingleObject(handle, 0) == WAIT_TIMEOUT) {
            ::TerminateProcess(handle, 99);
            ::WaitForSingleObject(handle, INFINITE);
        }
        ::CloseHandle(handle);
    }

    HANDLE handle = nullptr;
};

// Wine's command processor keeps a running script open to its end, so the script's own folder,
// emptied, stays behind there.
bool IsWine()
{
    return ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

// The update's temporary folder ("%x@%x") in the folder, if there is one.
String TemporaryFolderIn(const String& folder)
{
    for (const std::wstring& path : Tree(folder)) {
        if (path.back() == L'\\' && path.find(L'\\') == path.size() - 1 &&
            path.find(L'@') != std::wstring::npos)
            return folder + String(path.c_str());
    }
    return String();
}

// The main window of the tests: its thread runs the update command with the dialog that the test
// makes (the program's own without one), and it is destroyed on WM_CLOSE.
class DesktopInputUpdaterDialog : public ::testing::Test
{
protected:
    using DialogMaker = std::function<std::unique_ptr<CNetworkUpdater>(const Brivox::CWnd&, CConfig&)>;

    void SetUp() override
    {
        config = DefaultSettings();
        Attach(main);
    }

    // The window runs the update command on its thread and is destroyed on WM_CLOSE.
    void Attach(TestWindow& window)
    {
        window.onMessage = [this, &window](Brivox::SMessage& message) {
            if (message.message != WM_COMMAND || LOWORD(message.wParam) != networkUpdateCommand)
                return false;
            mainThread = ::GetCurrentThreadId();
            if (makeDialog) {
                const std::unique_ptr<CNetworkUpdater> dialog = makeDialog(window.window, config);
                closedMain = dialog->Run();
                finished = dialog->IsFinished();
            } else {
                RunNetworkUpdate(window.window, config);
            }
            ++commandsEnded;
            return true;
        };
        window.Create();
    }

    void TearDown() override
    {
        if (main.Handle())
            ::PostMessageW(main.Handle(), WM_CLOSE, 0, 0);
    }

    void UseFake(Observations& seen, FakeUpdater::Job infoJob, FakeUpdater::Job updateJob = {})
    {
        makeDialog = [&seen, infoJob, updateJob](const Brivox::CWnd& mainWindow, CConfig& store) {
            return std::make_unique<FakeUpdater>(mainWindow, store, seen, infoJob, updateJob);
        };
    }

    // The real engine asks the test server, through the proxy setting.
    void UseProxy(const TestHttpServer& server)
    {
        config.SetBool(L"HttpProxy", true);
        config.SetString(L"HttpProxyServer",
                         String(std::wstring(L"127.0.0.1:") + std::to_wstring(server.Port())));
    }

    // Posts the update command, as the menu does.
    void StartCommand() { StartCommand(main); }
    void StartCommand(const TestWindow& window)
    {
        started = commandsEnded;
        ::PostMessageW(window.Handle(), WM_COMMAND, networkUpdateCommand, 0);
    }
    bool WaitForCommand()
    {
        return PumpUntil([&] { return commandsEnded > started; });
    }
    void RunCommand()
    {
        StartCommand();
        ASSERT_TRUE(WaitForCommand()) << "the command did not end";
    }

    // The dialog once it shows.
    static HWND WaitForDialog()
    {
        HWND dialog = nullptr;
        PumpUntil([&] {
            const std::vector<HWND> found = KanoruTest::FindWindowsByCaption(dialogCaption);
            dialog = found.empty() ? nullptr : found[0];
            return dialog != nullptr;
        });
        return dialog;
    }

    TestWindow main;
    CConfig config;
    DialogMaker makeDialog;
    int started = 0;
    std::atomic<int> commandsEnded{0};
    std::atomic<DWORD> mainThread{0};
    std::atomic<bool> closedMain{false};
    std::atomic<bool> finished{false};
};

} // namespace

TEST_F(DesktopInputUpdaterDialog, InformationJobShowsOldNoticesTheDescriptionsDownloadAndNewNotices)
{
    MessageBoxAnswerer boxes;
    Observations seen;
    UseFake(seen, [](FakeUpdater& fake) {
        fake.OnOldNotices({L"古い一つ目", L"古い二つ目"});
        const std::wstring old = L"古い二つ目\r\n古い一つ目\r\n";
        fake.Expect({L"", old, 0, 0, false, true});
        const struct
        {
            int done;
            int total;
            const wchar_t* status;
            int bar;
        } cases[] = {
            {0, 1000, L"update.cfg      0 / 1000", 0},
            {100, 1000, L"update.cfg    100 / 1000", 25},
            {2000000000, 2100000000, L"update.cfg 2000000000 / 2100000000", 243},
            // 256 of a range that ends at 255.
            {1000, 1000, L"update.cfg   1000 / 1000", 255},
            {7, 0, L"update.cfg      7 / 0", 0},
        };
        for (const auto& c : cases) {
            fake.OnInfoProgress(c.done, c.total);
            fake.Expect({c.status, old, c.bar, c.bar, false, true});
        }
        fake.OnUpdateFound(DescriptionWithNotices({L"一つ目", L"二つ目\n続き"}));
        fake.Expect({L"", L"二つ目\r\n続き\r\n一つ目\r\n", 0, 0, true, true});
        fake.PostToDialog(WM_CLOSE);
    });
    RunCommand();
    seen.Check();
    EXPECT_TRUE(boxes.Boxes().empty());
    EXPECT_FALSE(closedMain);
    EXPECT_FALSE(main.Saw(WM_CLOSE));
}

TEST_F(DesktopInputUpdaterDialog, UpdateJobShowsTheFileNameTheOverallCountAndBothBars)
{
    MessageBoxAnswerer boxes;
    Observations seen;
    UseFake(seen, FindUpdateAndContinue, [](FakeUpdater& fake) {
        const struct
        {
            const wchar_t* name;
            int fileDone;
            int fileTotal;
            int overallDone;
            int totalSize;
            const wchar_t* status;
            int fileBar;
            int overallBar;
        } cases[] = {
            {L"spi/a.spi", 500, 1000, 1500, 4000, L"a.spi   1500 / 4000", 128, 96},
            {L"sub\\Kanoru2.exe", 1000, 1000, 4000, 4000, L"Kanoru2.exe   4000 / 4000", 255, 255},
            {L"big.zip", 2000000000, 2100000000, 2000000000, 2100000000, L"big.zip 2000000000 / 2100000000",
             243, 243},
            {L"empty.txt", 0, 0, 0, 0, L"empty.txt      0 / 0", 0, 0},
        };
        for (const auto& c : cases) {
            fake.OnFileProgress(c.name, c.fileDone, c.fileTotal, c.overallDone, c.totalSize);
            fake.Expect({c.status, L"", c.fileBar, c.overallBar, false, true});
        }
        fake.PostToDialog(WM_CLOSE);
    });
    RunCommand();
    seen.Check();
    EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(DesktopInputUpdaterDialog, ConfirmedUpdateDisablesCancelClosesTheDialogAndThenTheMainWindow)
{
    MessageBoxAnswerer boxes(IDOK);
    Observations seen;
    UseFake(seen, FindUpdateAndContinue, [](FakeUpdater& fake) {
        fake.seen.Note(fake.ConfirmUpdate() ? "confirmed" : "refused");
        fake.Expect({L"", L"", 0, 0, false, false});
        fake.OnUpdateFinished();
    });
    RunCommand();
    seen.Check();
    EXPECT_EQ(std::vector<std::string>{"confirmed"}, seen.Notes());
    ASSERT_EQ(1u, boxes.Boxes().size());
    const MessageBoxAnswerer::Box box = boxes.Boxes()[0];
    EXPECT_EQ(String(L"更新処理を行います"), box.text);
    EXPECT_EQ(String(L"確認"), box.caption);
    EXPECT_EQ(0x10041u, box.style);
    // Shown by the dialog's thread, owned by the dialog.
    EXPECT_EQ(seen.dialog.load(), box.owner);
    EXPECT_EQ(mainThread.load(), box.threadId);
    EXPECT_TRUE(finished);
    EXPECT_TRUE(closedMain);
    EXPECT_TRUE(PumpUntil([&] { return main.Handle() == nullptr; }));
}

TEST_F(DesktopInputUpdaterDialog, RefusedConfirmationClosesTheDialogAndLeavesTheMainWindow)
{
    MessageBoxAnswerer boxes(IDCANCEL);
    Observations seen;
    UseFake(seen, FindUpdateAndContinue,
            [](FakeUpdater& fake) { fake.seen.Note(fake.ConfirmUpdate() ? "confirmed" : "refused"); });
    RunCommand();
    seen.Check();
    EXPECT_EQ(std::vector<std::string>{"refused"}, seen.Notes());
    ASSERT_EQ(1u, boxes.Boxes().size());
    EXPECT_EQ(0x10041u, boxes.Boxes()[0].style);
    EXPECT_FALSE(finished);
    EXPECT_FALSE(closedMain);
    EXPECT_FALSE(main.Saw(WM_CLOSE));
}

TEST_F(DesktopInputUpdaterDialog, AnErrorIsShownInTheStatusLineAndABoxAndTheDialogStaysOpen)
{
    MessageBoxAnswerer boxes;
    Observations seen;
    const std::wstring error = L"サーバーからの受信に失敗しました";
    UseFake(seen, [error](FakeUpdater& fake) { fake.OnError(error.c_str()); });
    StartCommand();
    ASSERT_TRUE(boxes.WaitForBoxes(1));
    const MessageBoxAnswerer::Box box = boxes.Boxes()[0];
    EXPECT_EQ(String(error.c_str()), box.text);
    EXPECT_EQ(String(dialogCaption), box.caption);
    EXPECT_EQ(static_cast<UINT>(MB_ICONEXCLAMATION), box.style);
    EXPECT_EQ(seen.dialog.load(), box.owner);
    EXPECT_EQ(mainThread.load(), box.threadId);

    const HWND dialog = WaitForDialog();
    ASSERT_TRUE(dialog);
    EXPECT_EQ((Shown{error, L"", 0, 0, false, true}), Read(dialog));
    ::PostMessageW(dialog, WM_CLOSE, 0, 0);
    ASSERT_TRUE(WaitForCommand());
    EXPECT_EQ(1u, boxes.Boxes().size());
    EXPECT_FALSE(closedMain);
}

TEST_F(DesktopInputUpdaterDialog, SettingsChangesHandedOverWhileTheDialogClosesAreStored)
{
    MessageBoxAnswerer boxes;
    Observations seen;
    config.SetString(L"HttpUpdate", L"1");
    UseFake(seen, [](FakeUpdater& fake) {
        fake.PostToDialog(WM_CLOSE);
        // The closing dialog has asked the job to stop and waits for it.
        PumpUntil([&] { return !fake.IsRunning(); });
        Brivox::UpdateSettingsChange change;
        change.SetInt(L"HttpOldNotice", 1);
        change.SetString(L"HttpOldNotice000", L"お知らせ");
        change.Remove(L"HttpUpdate");
        fake.StoreSettings(change);
        fake.OnOldNotices({L"表示されない"});
    });
    RunCommand();
    EXPECT_EQ(1, config.GetInt(L"HttpOldNotice"));
    EXPECT_EQ(String(L"お知らせ"), config.GetString(L"HttpOldNotice000"));
    EXPECT_FALSE(config.Contains(L"HttpUpdate"));
    EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(DesktopInputUpdaterDialog, NothingNewAsksOnceShowsTheBoxAndLeavesTheMainWindow)
{
    const std::string body = "program";
    UpdateSite site(Site({{"Kanoru2.exe", body}}, {{"Kanoru2.exe", ""}}));
    UseProxy(site.Server());
    config.SetRaw(L"HttpFile000MD5", Wide(Md5Of(body)));
    const CConfig before = config;
    MessageBoxAnswerer boxes;
    RunCommand();

    ASSERT_EQ(1u, boxes.Boxes().size());
    const MessageBoxAnswerer::Box box = boxes.Boxes()[0];
    EXPECT_EQ(String(L"現在利用できる更新はありませんでした。"), box.text);
    EXPECT_EQ(String(dialogCaption), box.caption);
    EXPECT_EQ(0x10040u, box.style);
    EXPECT_EQ(mainThread.load(), box.threadId);
    EXPECT_TRUE(box.owner && box.owner != main.Handle());
    const std::vector<std::string> requests = site.Requests();
    ASSERT_EQ(1u, requests.size());
    EXPECT_EQ("GET http://update.example/zo2/update.cfg HTTP/1.0", FirstLine(requests[0]));
    EXPECT_FALSE(main.Saw(WM_CLOSE));
    EXPECT_EQ(Entries(before), Entries(config));
}

TEST_F(DesktopInputUpdaterDialog, AnErrorPageIsShownAsAnErrorNotAsNothingNew)
{
    UpdateSite site({});
    UseProxy(site.Server());
    MessageBoxAnswerer boxes;
    StartCommand();
    ASSERT_TRUE(boxes.WaitForBoxes(1));
    const String error =
        Brivox::String(NetworkUpdateInfoUrl) + L" の取得に失敗しました (HTTP/1.0 404 Not Found)";
    EXPECT_EQ(error, boxes.Boxes()[0].text);
    EXPECT_EQ(static_cast<UINT>(MB_ICONEXCLAMATION), boxes.Boxes()[0].style);

    const HWND dialog = WaitForDialog();
    ASSERT_TRUE(dialog);
    const Shown shown = Read(dialog);
    EXPECT_EQ(std::wstring(error.CStr()), shown.status);
    EXPECT_FALSE(shown.continueEnabled);
    ::PostMessageW(dialog, WM_CLOSE, 0, 0);
    ASSERT_TRUE(WaitForCommand());
    EXPECT_EQ(1u, boxes.Boxes().size());
}

TEST_F(DesktopInputUpdaterDialog, ClosingDuringASlowDownloadEndsTheDialogEveryTime)
{
    KanoruTest::ExtendTimeout(600);
    const int rounds = 50;
    UpdateSite site({{"update.cfg", std::string(4000, '#')}}, "update.cfg", rounds);
    UseProxy(site.Server());
    const CConfig before = config;
    MessageBoxAnswerer boxes;
    for (int round = 0; round < rounds; ++round) {
        SCOPED_TRACE(round);
        StartCommand();
        const HWND dialog = WaitForDialog();
        ASSERT_TRUE(dialog);
        // The download has begun: its first bytes are counted.
        ASSERT_TRUE(PumpUntil([&] { return Read(dialog).status.rfind(L"update.cfg", 0) == 0; }));
        // Closed by the window's close box, or by "キャンセル".
        if (round % 2 == 0)
            ::PostMessageW(dialog, WM_CLOSE, 0, 0);
        else
            ::PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        ASSERT_TRUE(WaitForCommand()) << "the dialog did not close";
        ASSERT_TRUE(KanoruTest::FindWindowsByCaption(dialogCaption).empty());
    }
    EXPECT_EQ(static_cast<std::size_t>(rounds), site.Requests().size());
    EXPECT_TRUE(boxes.Boxes().empty());
    EXPECT_EQ(Entries(before), Entries(config));
    EXPECT_FALSE(main.Saw(WM_CLOSE));
}

class UpdaterBackup : public FileTestSupport::TempFolderTest
{
};

TEST_F(UpdaterBackup, OldExecutablesMoveIntoTheNewestBackupUpToTheFirstMissingNumber)
{
    const struct
    {
        std::vector<int> present;
        std::vector<int> moved;
    } cases[] = {
        {{0, 1, 2, 3, 5}, {0, 1, 2, 3}},
        {{1, 2}, {1, 2}},
        {{0, 2}, {0}},
        {{}, {}},
    };
    const auto name = [](int i) { return Brivox::FormatString(L"Kanoru2.%02d.exe", i); };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.present.size());
        const String folder = At(L"prog") + L"\\";
        FileTestSupport::MakeFolder(At(L"prog"));
        FileTestSupport::WriteText(folder + L"Kanoru2.exe", "program");
        for (const int i : c.present)
            FileTestSupport::WriteText(folder + name(i), "old " + std::to_string(i));

        MoveOldExecutablesToBackup(folder);

        for (const int i : c.present) {
            const bool moved = std::find(c.moved.begin(), c.moved.end(), i) != c.moved.end();
            EXPECT_EQ(!moved, FileTestSupport::Exists(folder + name(i))) << i;
            if (moved) {
                EXPECT_EQ("old " + std::to_string(i), ReadText(folder + L"$backup-00$\\" + name(i))) << i;
            }
        }
        EXPECT_TRUE(FileTestSupport::Exists(folder + L"Kanoru2.exe"));
        FileTestSupport::RemoveAll(std::wstring(At(L"prog").CStr()));
    }
}

TEST_F(DesktopInputUpdaterDialog, ConfirmedUpdateIsInstalledByTheScriptsAndRecordedByTheNextCheck)
{
    KanoruTest::ExtendTimeout(240);
    Brivox::CTempFolder programFolder(L"kanoru-update-");
    programFolder.Create();
    const String folder = programFolder.GetPath();
    FileTestSupport::WriteText(folder + L"Kanoru2.exe", "old program");
    const FileTestSupport::Bytes stub = FileTestSupport::ReadBytes(
        String(KanoruTest::TestProgramFolder().c_str()) + L"kanoru_restart_stub.exe");
    ASSERT_FALSE(stub.empty()) << "kanoru_restart_stub.exe is missing";
    const std::string newProgram(stub.begin(), stub.end());
    UpdateSite site(Site({{"Kanoru2.exe", newProgram}, {"spi.zip", Zip({{"spi/a.spi", "plug-in"}})}},
                         {{"Kanoru2.exe", ""}, {"spi.zip/spi/a.spi", "spi"}}));
    UseProxy(site.Server());
    config.SetBool(L"HttpBackup", true);
    ScriptProcess script;
    makeDialog = [&](const Brivox::CWnd& mainWindow, CConfig& store) {
        return std::make_unique<InstallingUpdater>(mainWindow, store, folder, script.handle);
    };
    MessageBoxAnswerer boxes(IDOK);

    StartCommand();
    const HWND dialog = WaitForDialog();
    ASSERT_TRUE(dialog);
    ASSERT_TRUE(PumpUntil([&] { return Read(dialog).continueEnabled; }));
    ::PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitForCommand());
    ASSERT_EQ(1u, boxes.Boxes().size());
    EXPECT_EQ(String(L"確認"), boxes.Boxes()[0].caption);
    EXPECT_TRUE(finished);
    EXPECT_TRUE(closedMain);
    EXPECT_TRUE(PumpUntil([&] { return main.Handle() == nullptr; }));

    ASSERT_TRUE(script.handle);
    ASSERT_TRUE(PumpUntil([&] { return ::WaitForSingleObject(script.handle, 0) == WAIT_OBJECT_0; },
                          std::chrono::seconds(120)));
    EXPECT_TRUE(PumpUntil([&] { return FileTestSupport::Exists(folder + L"restarted.txt"); }))
        << "the new program did not start";
    EXPECT_EQ(stub, FileTestSupport::ReadBytes(folder + L"Kanoru2.exe"));
    EXPECT_EQ("plug-in", ReadText(folder + L"spi\\a.spi"));
    EXPECT_EQ("old program", ReadText(folder + L"$backup-00$\\Kanoru2.exe"));
    EXPECT_TRUE(FileTestSupport::Exists(folder + L"$installed$.cfg"));
    const String temporary = TemporaryFolderIn(folder);
    EXPECT_TRUE(temporary.Length() == 0 || (IsWine() && Tree(temporary).empty()))
        << "the temporary folder is still there";
    // Recorded only by the next check, once the scripts have moved everything.
    EXPECT_FALSE(config.Contains(L"HttpFile000MD5"));

    TestWindow again;
    Attach(again);
    StartCommand(again);
    ASSERT_TRUE(WaitForCommand());
    ASSERT_EQ(2u, boxes.Boxes().size());
    EXPECT_EQ(String(L"現在利用できる更新はありませんでした。"), boxes.Boxes()[1].text);
    EXPECT_EQ(Wide(Md5Of(newProgram)), config.GetRaw(L"HttpFile000MD5"));
    EXPECT_TRUE(config.Contains(L"HttpFile001MD5"));
    EXPECT_FALSE(FileTestSupport::Exists(folder + L"$installed$.cfg"));
    EXPECT_FALSE(finished);
    ::PostMessageW(again.Handle(), WM_CLOSE, 0, 0);
    PumpUntil([&] { return again.Handle() == nullptr; });
}

TEST_F(DesktopInputUpdaterDialog, CancelEndsARequestThatIsNeverAnsweredAndTheMainWindowAnswersAgain)
{
    TestHttpServer silent(
        [](TestHttpServer& server, SOCKET connection) { server.WaitUntilClosedOrStopped(connection); });
    UseProxy(silent);
    MessageBoxAnswerer boxes;
    StartCommand();
    const HWND dialog = WaitForDialog();
    ASSERT_TRUE(dialog);
    ASSERT_TRUE(PumpUntil([&] { return !silent.Requests().empty(); }));
    ::PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(WaitForCommand());
    DWORD_PTR result = 0;
    EXPECT_NE(0, ::SendMessageTimeoutW(main.Handle(), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &result));
    EXPECT_TRUE(boxes.Boxes().empty());
    EXPECT_FALSE(main.Saw(WM_CLOSE));
}
