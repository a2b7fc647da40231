// The update engine against the test server, with a headless owner that records every call and
// its thread, carries out the settings changes handed to it on its own thread (the test's), and
// a test folder in the program folder's place; the replacement script is only recorded, not run.
#include "update_site.h"

#include "formats/zip_fixture.h"
#include "foundation/encoding.h"
#include "foundation/file_test_support.h"
#include "foundation/md5.h"
#include "support/test_timeout.h"
#include "updater/network_updater.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <iterator>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

using Brivox::CConfig;
using Brivox::String;
using Brivox::UpdateInfo;
using FileTestSupport::Ansi;
using FileTestSupport::Exists;
using FileTestSupport::ReadBytes;
using FileTestSupport::ReadText;
using FileTestSupport::ThrownText;
using FileTestSupport::Tree;
using FileTestSupport::WriteText;
using HttpTestSupport::TestHttpServer;

using namespace UpdateTestSupport;

namespace {

class TestOwner : public Brivox::CNetworkUpdaterBase
{
public:
    struct Call
    {
        std::string name;
        DWORD thread;
    };

    TestOwner(const String& programFolder, const std::string& infoUrl, CConfig settings)
        : config(std::move(settings)), m_programFolder(programFolder), m_infoUrl(Wide(infoUrl))
    {
    }
    ~TestOwner() override { Cancel(); }

    // On the owner's thread: carries out what the jobs hand over until the named call has come.
    void RunUntilCall(const std::string& name)
    {
        std::unique_lock<std::mutex> lock(m_lock);
        for (;;) {
            RunPosted(lock);
            for (const Call& call : m_calls) {
                if (call.name == name)
                    return;
            }
            m_changed.wait(lock);
        }
    }

    // Runs a job to its last call.
    void RunInfoJob()
    {
        StartGetInfo();
        RunUntilOneOf({"OnNoUpdate", "OnUpdateFound", "OnError"});
    }
    void RunUpdateJob()
    {
        StartUpdate();
        RunUntilOneOf({"OnUpdateFinished", "OnError"});
    }

    // What is still to be carried out, after a job has ended.
    void RunPending()
    {
        std::unique_lock<std::mutex> lock(m_lock);
        RunPosted(lock);
    }

    // The calls in their order, without the progress reports unless asked for, and without the
    // owner's own carrying out of settings changes, whose moment depends on the owner's thread.
    std::vector<std::string> Names(bool withProgress = false)
    {
        std::lock_guard<std::mutex> lock(m_lock);
        std::vector<std::string> names;
        for (const Call& call : m_calls) {
            if ((withProgress || call.name.find("Progress") == std::string::npos) &&
                call.name != "ApplySettings")
                names.push_back(call.name);
        }
        return names;
    }

    // Once nothing is pending: every change handed over has been carried out.
    void ExpectEveryChangeApplied()
    {
        std::lock_guard<std::mutex> lock(m_lock);
        const auto count = [&](const char* name) {
            return std::count_if(m_calls.begin(), m_calls.end(),
                                 [&](const Call& call) { return call.name == name; });
        };
        EXPECT_TRUE(m_posted.empty());
        EXPECT_EQ(count("StoreSettings"), count("ApplySettings"));
    }

    void ClearCalls()
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_calls.clear();
        m_reported.clear();
    }

    // Reads of the settings and writes to them happened on the owner's thread only; every other
    // call on a worker.
    void ExpectOwnerThreadForSettings()
    {
        std::lock_guard<std::mutex> lock(m_lock);
        for (const Call& call : m_calls) {
            if (call.name == "GetConfig" || call.name == "ApplySettings")
                EXPECT_EQ(m_ownerThread, call.thread) << call.name;
            else
                EXPECT_NE(m_ownerThread, call.thread) << call.name;
        }
    }

    CConfig config;
    std::string error;
    std::vector<String> oldNotices;
    std::vector<String> startedScripts;
    bool confirm = true;

protected:
    const CConfig& GetConfig() override
    {
        Record("GetConfig");
        return config;
    }
    String GetKeyPrefix() override { return L"Http"; }
    String GetInfoUrl() override { return m_infoUrl; }
    void OnOldNotices(const std::vector<String>& notices) override
    {
        oldNotices = notices;
        Record("OnOldNotices");
    }
    void OnInfoProgress(int, int) override { Record("OnInfoProgress"); }
    void OnNoUpdate() override { Record("OnNoUpdate"); }
    void OnUpdateFound(const UpdateInfo&) override { Record("OnUpdateFound"); }
    void OnFileProgress(const String& name, int, int, int, int) override
    {
        Record("OnFileProgress:" + Ansi(name));
    }
    bool ConfirmUpdate() override
    {
        Record("ConfirmUpdate");
        return confirm;
    }
    void BackupOldExecutables() override { Record("BackupOldExecutables"); }
    void OnError(const String& message) override
    {
        error = Ansi(message);
        Record("OnError");
    }
    void OnUpdateFinished() override { Record("OnUpdateFinished"); }
    void StoreSettings(const Brivox::UpdateSettingsChange& change) override
    {
        Record("StoreSettings");
        std::lock_guard<std::mutex> lock(m_lock);
        m_posted.push_back([this, change] {
            change.ApplyTo(config);
            Record("ApplySettings");
        });
        m_changed.notify_all();
    }
    String GetProgramFolder() override { return m_programFolder; }
    String GetExecutablePath() override { return m_programFolder + L"Kanoru2.exe"; }
    void StartUpdateScript(const String& path) override
    {
        startedScripts.push_back(path);
        Record("StartUpdateScript");
    }

private:
    void Record(const std::string& name)
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_calls.push_back({name, ::GetCurrentThreadId()});
        m_changed.notify_all();
    }

    void RunPosted(std::unique_lock<std::mutex>& lock)
    {
        while (!m_posted.empty()) {
            const std::function<void()> operation = std::move(m_posted.front());
            m_posted.pop_front();
            lock.unlock();
            operation();
            lock.lock();
        }
    }

    void RunUntilOneOf(const std::vector<std::string>& names)
    {
        std::unique_lock<std::mutex> lock(m_lock);
        for (;;) {
            RunPosted(lock);
            for (const Call& call : m_calls) {
                for (const std::string& name : names) {
                    if (call.name == name && m_reported.insert(&call - m_calls.data()).second)
                        return;
                }
            }
            m_changed.wait(lock);
        }
    }

    String m_programFolder;
    String m_infoUrl;
    DWORD m_ownerThread = ::GetCurrentThreadId();
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::vector<Call> m_calls;
    std::deque<std::function<void()>> m_posted;
    // The last calls already waited for, by index.
    std::set<std::ptrdiff_t> m_reported;
};

class NetworkUpdater : public FileTestSupport::TempFolderTest
{
protected:
    void SetUp() override
    {
        TempFolderTest::SetUp();
        program = At(L"prog\\");
        FileTestSupport::MakeFolder(At(L"prog"));
        FileTestSupport::MakeFolder(At(L"prog\\sub"));
        WriteText(program + L"Kanoru2.exe", "old program");
        WriteText(program + L"sub\\b.txt", "old b");
    }

    // The update's temporary folder: the one folder in the program folder that the test did not
    // make.
    String TemporaryFolder() const
    {
        for (const std::wstring& path : Tree(program)) {
            if (path.back() == L'\\' && path.find(L'\\') == path.size() - 1 &&
                path.find(L'@') != std::wstring::npos)
                return program + String(path);
        }
        return String();
    }

    String program;
};

std::string RefusedName(const std::string& name)
{
    return name + Ansi(L"' は更新に使用できないファイル名です");
}

} // namespace

TEST(UpdateInfoParse, RequiredKeysAndCounts)
{
    const std::string file =
        "File = 1\r\nFile000 = a.txt\r\nFile000Time = t\r\nFile000MD5 = m\r\nFile000Size = 5\r\n";
    const std::string entry =
        "Entry = 1\r\nEntry000Src = a.txt\r\nEntry000Dst = sub\r\nEntry000Backup = true\r\n"
        "Entry000Delete = false\r\n";
    const struct
    {
        std::string text;
        std::wstring error; // empty: parses
    } cases[] = {
        {"", L""},
        {entry, L""},
        {file + entry + "Notice = 1\r\nNotice000 = a\\nb\r\n", L""},
        {"File = 1\r\nFile000 = a.txt\r\nFile000Time = t\r\nFile000Size = 5\r\n",
         L"コンフィグデータ 'File000MD5' の読み込みに失敗しました"},
        {"File = 1\r\nFile000 = a.txt\r\nFile000Time = t\r\nFile000MD5 = m\r\nFile000Size = \r\n",
         L"コンフィグデータ 'File000Size' (数値)の読み込みに失敗しました"},
        {"Entry = 1\r\nEntry000Src = a\r\nEntry000Dst = b\r\nEntry000Backup = yes\r\nEntry000Delete = "
         "false\r\n",
         L"コンフィグデータ 'Entry000Backup' (真偽値)の読み込みに失敗しました"},
        {"Entry = 1\r\nEntry000Src = a\r\nEntry000Backup = true\r\nEntry000Delete = false\r\n",
         L"コンフィグデータ 'Entry000Dst' の読み込みに失敗しました"},
        {"Notice = 2\r\nNotice000 = x\r\n", L"コンフィグデータ 'Notice001' (文字列)の読み込みに失敗しました"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        UpdateInfo info;
        if (!c.error.empty()) {
            EXPECT_EQ(Ansi(c.error), ThrownText([&] { info.Parse(Wide(c.text)); }));
            continue;
        }
        info.Parse(Wide(c.text));
        const bool hasFile = c.text.find("File =") != std::string::npos;
        const bool hasEntry = c.text.find("Entry =") != std::string::npos;
        ASSERT_EQ(hasFile ? 1u : 0u, info.files.size());
        ASSERT_EQ(hasEntry ? 1u : 0u, info.entries.size());
        if (hasFile) {
            EXPECT_EQ(String(L"a.txt"), info.files[0].name);
            EXPECT_EQ(String(L"m"), info.files[0].md5);
            EXPECT_EQ(5, info.GetTotalFileSize());
        }
        if (hasEntry) {
            EXPECT_EQ(String(L"sub"), info.entries[0].dst);
            EXPECT_TRUE(info.entries[0].backup);
            EXPECT_FALSE(info.entries[0].deleteOld);
        }
        if (!info.notices.empty()) {
            EXPECT_EQ(String(L"a\nb"), info.notices[0].text);
        }
    }
}

TEST_F(NetworkUpdater, NothingToDoWhenEveryFileIsInstalledAndAnErrorPageIsAnError)
{
    const std::string body = "new program";
    UpdateSite site(Site({{"Kanoru2.exe", body}}, {{"Kanoru2.exe", ""}}));
    CConfig settings = DefaultSettings();
    settings.SetRaw(L"HttpFile000MD5", Wide(Md5Of(body)));
    {
        TestOwner owner(program, site.InfoUrl(), settings);
        owner.RunInfoJob();
        EXPECT_EQ((std::vector<std::string>{"GetConfig", "OnOldNotices", "OnNoUpdate"}), owner.Names());
        EXPECT_EQ((std::vector<std::string>{"/zo2/update.cfg"}), site.Requested());
        EXPECT_NE(std::string::npos, site.Requests()[0].find("Pragma: no-cache\r\n"));
        owner.ExpectOwnerThreadForSettings();
    }

    UpdateSite missing({});
    TestOwner owner(program, missing.InfoUrl(), DefaultSettings());
    owner.RunInfoJob();
    EXPECT_EQ((std::vector<std::string>{"GetConfig", "OnOldNotices", "OnError"}), owner.Names());
    EXPECT_EQ(missing.InfoUrl() + Ansi(L" の取得に失敗しました (HTTP/1.0 404 Not Found)"), owner.error);
    EXPECT_EQ(Entries(DefaultSettings()), Entries(owner.config));
}

TEST_F(NetworkUpdater, FullUpdateIsRecordedOnlyByTheNextCheck)
{
    const std::string program1 = "new program";
    const std::string pack = Zip({{"b.txt", "new b"}, {"data/a.txt", "new a"}});
    UpdateSite site(Site({{"Kanoru2.exe", program1}, {"pack.zip", pack}},
                         {{"Kanoru2.exe", ""}, {"pack.zip/b.txt", "sub"}, {"pack.zip\\data", "."}},
                         {"first", "second\\nline"}));
    const auto before = Snapshot(program);
    TestOwner owner(program, site.InfoUrl(), DefaultSettings());
    owner.RunInfoJob();
    EXPECT_EQ((std::vector<std::string>{"GetConfig", "OnOldNotices", "StoreSettings", "OnUpdateFound"}),
              owner.Names());
    owner.RunUpdateJob();
    owner.RunPending();
    EXPECT_EQ(
        (std::vector<std::string>{"GetConfig", "OnOldNotices", "StoreSettings", "OnUpdateFound", "GetConfig",
                                  "ConfirmUpdate", "StartUpdateScript", "StoreSettings", "OnUpdateFinished"}),
        owner.Names());
    EXPECT_EQ((std::vector<std::string>{"/zo2/update.cfg", "/zo2/Kanoru2.exe", "/zo2/pack.zip"}),
              site.Requested());

    const String temporary = TemporaryFolder();
    ASSERT_NE(String(), temporary);
    EXPECT_EQ((std::vector<String>{temporary + L"$update$.bat"}), owner.startedScripts);
    EXPECT_EQ((std::vector<std::wstring>{L"$installed$.cfg", L"$movefile$.bat", L"$update$.bat",
                                         L"Kanoru2.exe", L"pack.zip\\", L"pack.zip\\b.txt",
                                         L"pack.zip\\data\\", L"pack.zip\\data\\a.txt"}),
              Tree(temporary));
    EXPECT_EQ(program1, ReadText(temporary + L"Kanoru2.exe"));
    EXPECT_EQ("new a", ReadText(temporary + L"pack.zip\\data\\a.txt"));
    const std::string script = ReadText(temporary + L"$update$.bat");
    EXPECT_NE(std::string::npos,
              script.find("\"" + Ansi(temporary) + "pack.zip\\b.txt\" \"" + Ansi(program) + "sub\""));
    const std::wstring record = L"\xFEFFHttpFile000MD5 = " + std::wstring(Wide(Md5Of(program1)).CStr()) +
                                L"\r\nHttpFile001MD5 = " + Wide(Md5Of(pack)).CStr() + L"\r\n";
    const FileTestSupport::Bytes recordBytes = ReadBytes(temporary + L"$installed$.cfg");
    EXPECT_EQ(record,
              std::wstring(reinterpret_cast<const wchar_t*>(recordBytes.data()), recordBytes.size() / 2));

    // Only the notices are stored, and the update key erased: nothing counts as installed yet.
    CConfig expected = DefaultSettings();
    expected.SetInt(L"HttpOldNotice", 2);
    expected.SetString(L"HttpOldNotice000", L"first");
    expected.SetString(L"HttpOldNotice001", L"second\nline");
    expected.Remove(L"HttpUpdate");
    EXPECT_EQ(Entries(expected), Entries(owner.config));
    // The engine keeps the temporary folder for the script; nothing else in the program folder
    // changed.
    auto after = Snapshot(program);
    for (auto it = after.begin(); it != after.end();) {
        it = String(it->first).Compare(0, temporary, program.Length(), temporary.Length() - program.Length(),
                                       0) == 0
                 ? after.erase(it)
                 : std::next(it);
    }
    EXPECT_EQ(before, after);
    owner.ExpectOwnerThreadForSettings();
    owner.ExpectEveryChangeApplied();

    // The script did not finish: the next check stores nothing and offers the update again.
    owner.ClearCalls();
    owner.RunInfoJob();
    owner.RunPending();
    EXPECT_EQ((std::vector<std::string>{"GetConfig", "OnOldNotices", "StoreSettings", "OnUpdateFound"}),
              owner.Names());
    EXPECT_EQ(Entries(expected), Entries(owner.config));

    // The script moved the record into the program folder last: the next check stores it and
    // finds nothing to do.
    ASSERT_TRUE(::MoveFileW((temporary + L"$installed$.cfg").CStr(), (program + L"$installed$.cfg").CStr()));
    owner.ClearCalls();
    owner.RunInfoJob();
    owner.RunPending();
    EXPECT_EQ((std::vector<std::string>{"GetConfig", "OnOldNotices", "StoreSettings", "OnNoUpdate"}),
              owner.Names());
    EXPECT_FALSE(Exists(program + L"$installed$.cfg"));
    expected.SetRaw(L"HttpFile000MD5", Wide(Md5Of(program1)));
    expected.SetRaw(L"HttpFile001MD5", Wide(Md5Of(pack)));
    EXPECT_EQ(Entries(expected), Entries(owner.config));
    owner.ExpectOwnerThreadForSettings();
    owner.ExpectEveryChangeApplied();
}

TEST_F(NetworkUpdater, InstallationRecordGivesOnlyWellFormedMd5Keys)
{
    const std::string body = "new program";
    const std::string md5 = Md5Of(body);
    UpdateSite site(Site({{"Kanoru2.exe", body}}, {{"Kanoru2.exe", ""}}));
    WriteText(program + L"$installed$.cfg",
              "HttpFile000MD5 = " + md5 + "\r\nHttpFile001MD5 = " + md5.substr(1) + "\r\nHttpFile002MD5 = " +
                  std::string(32, 'A') + "\r\nHttpBackup = false\r\nOtherFile003MD5 = " + md5 + "\r\n");
    TestOwner owner(program, site.InfoUrl(), DefaultSettings());
    owner.RunInfoJob();
    owner.RunPending();
    EXPECT_EQ((std::vector<std::string>{"GetConfig", "OnOldNotices", "StoreSettings", "OnNoUpdate"}),
              owner.Names());
    CConfig expected = DefaultSettings();
    expected.SetRaw(L"HttpFile000MD5", Wide(md5));
    EXPECT_EQ(Entries(expected), Entries(owner.config));
    EXPECT_FALSE(Exists(program + L"$installed$.cfg"));
}

TEST_F(NetworkUpdater, BackupsRotateAndKeepWhatIsReplaced)
{
    for (int k = 0; k <= 5; ++k) {
        const String folder = program + Brivox::FormatString(L"$backup-%02d$", k);
        FileTestSupport::MakeFolder(folder);
        WriteText(folder + L"\\was.txt", std::to_string(k));
    }
    UpdateSite site(Site({{"Kanoru2.exe", "new program"}, {"b.txt", "new b"}},
                         {{"Kanoru2.exe", ""}, {"b.txt", "sub", true}}));
    CConfig settings = DefaultSettings();
    settings.SetBool(L"HttpBackup", true);
    TestOwner owner(program, site.InfoUrl(), settings);
    owner.RunInfoJob();
    owner.RunUpdateJob();
    EXPECT_EQ("", owner.error);
    EXPECT_EQ(1u, owner.startedScripts.size());
    const auto names = owner.Names();
    EXPECT_EQ(1, std::count(names.begin(), names.end(), "BackupOldExecutables"));

    // 03 to 05 went, 00 to 02 moved up by one, and the new backup holds the replaced program but
    // not the file whose entry has the Delete flag, which stays where it is.
    std::vector<std::wstring> backups;
    for (const std::wstring& path : Tree(program)) {
        if (path.rfind(L"$backup-", 0) == 0)
            backups.push_back(path);
    }
    EXPECT_EQ((std::vector<std::wstring>{L"$backup-00$\\", L"$backup-00$\\Kanoru2.exe", L"$backup-01$\\",
                                         L"$backup-01$\\was.txt", L"$backup-02$\\", L"$backup-02$\\was.txt",
                                         L"$backup-03$\\", L"$backup-03$\\was.txt"}),
              backups);
    EXPECT_EQ("old program", ReadText(program + L"$backup-00$\\Kanoru2.exe"));
    for (int k = 1; k <= 3; ++k)
        EXPECT_EQ(std::to_string(k - 1),
                  ReadText(program + Brivox::FormatString(L"$backup-%02d$\\was.txt", k)));
    EXPECT_EQ("old b", ReadText(program + L"sub\\b.txt"));
    EXPECT_EQ("old program", ReadText(program + L"Kanoru2.exe"));
}

TEST_F(NetworkUpdater, AFailedBackupEndsTheUpdateBeforeTheScripts)
{
    UpdateSite site(Site({{"Kanoru2.exe", "new program"}}, {{"Kanoru2.exe", ""}}));
    CConfig settings = DefaultSettings();
    settings.SetBool(L"HttpBackup", true);
    TestOwner owner(program, site.InfoUrl(), settings);
    owner.RunInfoJob();
    owner.RunPending();
    const std::map<String, String> found = Entries(owner.config);
    {
        // Held open without sharing: the copy into the backup fails.
        const HANDLE held = ::CreateFileW((program + L"Kanoru2.exe").CStr(), GENERIC_READ, 0, nullptr,
                                          OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, held);
        owner.RunUpdateJob();
        ::CloseHandle(held);
    }
    owner.RunPending();
    EXPECT_NE(std::string::npos, owner.error.find(Ansi(L"ファイルのコピーに失敗しました"))) << owner.error;
    EXPECT_TRUE(owner.startedScripts.empty());
    const String temporary = TemporaryFolder();
    EXPECT_FALSE(Exists(temporary + L"$update$.bat"));
    EXPECT_FALSE(Exists(temporary + L"$installed$.cfg"));
    EXPECT_EQ(found, Entries(owner.config));
    const auto names = owner.Names();
    EXPECT_EQ(0, std::count(names.begin(), names.end(), "BackupOldExecutables"));
}

TEST_F(NetworkUpdater, DamagedDownloadsInstallNothing)
{
    const std::string good = "new program";
    const struct
    {
        const char* name;
        std::vector<SiteFile> files;
        std::wstring error;
    } cases[] = {
        {"wrong MD5",
         {{"Kanoru2.exe", good, std::string(32, '0')}},
         L"ファイル 'Kanoru2.exe' が破損してるっぽいです"},
        {"upper-case MD5",
         {{"Kanoru2.exe", good, Ansi(Wide(Md5Of(good)).ToUpper())}},
         L"ファイル 'Kanoru2.exe' が破損してるっぽいです"},
        {"climbing ZIP entry",
         {{"pack.zip", Zip({{"ok.txt", "fine"}, {"..\\x", "evil"}})}},
         L" 内に怪しいファイル名があります：..\\x"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto before = Snapshot(root);
        {
            UpdateSite site(Site(c.files, {{"Kanoru2.exe", ""}}));
            TestOwner owner(program, site.InfoUrl(), DefaultSettings());
            owner.RunInfoJob();
            owner.RunUpdateJob();
            owner.RunPending();
            EXPECT_NE(std::string::npos, owner.error.find(Ansi(c.error))) << owner.error;
            EXPECT_TRUE(owner.startedScripts.empty());
            const auto names = owner.Names();
            EXPECT_EQ(0, std::count(names.begin(), names.end(), "ConfirmUpdate"));
        }
        // The engine took its temporary folder with it.
        EXPECT_EQ(before, Snapshot(root));
    }
}

TEST_F(NetworkUpdater, NamesLeadingOutsideTheirFoldersAreRefusedBeforeAnyWrite)
{
    KanoruTest::ExtendTimeout(120);
    const struct
    {
        std::string file;
        std::string src;
        std::string dst;
        std::string refused;
    } cases[] = {
        {"..\\..\\evil.txt", "a.txt", "", "..\\..\\evil.txt"},
        {"C:\\x", "a.txt", "", "C:\\x"},
        {"\\\\srv\\s\\x", "a.txt", "", "\\\\srv\\s\\x"},
        {"a:b", "a.txt", "", "a:b"},
        {"%APPDATA%\\x", "a.txt", "", "%APPDATA%\\x"},
        {"CON", "a.txt", "", "CON"},
        {"$update$.bat", "a.txt", "", "$update$.bat"},
        {"sub/$Installed$.cfg. ", "a.txt", "", "sub/$Installed$.cfg. "},
        {"a.txt", "pack.zip/../../x", "", "pack.zip/../../x"},
        {"a.txt", "a.txt", "..", ".."},
        {"a.txt", "a.txt", "C:\\Windows", "C:\\Windows"},
        {"a.txt", "a.txt", "%APPDATA%\\Microsoft\\Windows\\Start Menu\\Programs\\Startup",
         "%APPDATA%\\Microsoft\\Windows\\Start Menu\\Programs\\Startup"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.refused);
        const auto before = Snapshot(root);
        UpdateSite site(Site({{c.file, "body"}}, {{c.src, c.dst}}));
        TestOwner owner(program, site.InfoUrl(), DefaultSettings());
        owner.RunInfoJob();
        owner.RunUpdateJob();
        owner.RunPending();
        EXPECT_EQ(Ansi(L"'") + RefusedName(c.refused), owner.error);
        EXPECT_EQ((std::vector<std::string>{"/zo2/update.cfg"}), site.Requested());
        EXPECT_EQ(before, Snapshot(root));
    }
}

TEST_F(NetworkUpdater, CancelDuringADownloadEndsQuietly)
{
    const std::string big = ZipFixture::SampleData(200000, 7);
    UpdateSite site(Site({{"a.txt", "small"}, {"big.bin", big}}, {{"a.txt", ""}, {"big.bin", ""}}),
                    "big.bin");
    TestOwner owner(program, site.InfoUrl(), DefaultSettings());
    owner.RunInfoJob();
    owner.RunPending();
    const std::map<String, String> found = Entries(owner.config);

    owner.StartUpdate();
    owner.RunUntilCall("OnFileProgress:big.bin");
    owner.ClearCalls();
    const auto started = std::chrono::steady_clock::now();
    owner.Cancel();
    // The request was aborted, not left to its time-out.
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(15));
    owner.RunPending();
    const auto names = owner.Names(true);
    for (const std::string& name : names)
        EXPECT_EQ("OnFileProgress:big.bin", name) << "after the cancel";
    EXPECT_EQ("", owner.error);
    EXPECT_TRUE(owner.startedScripts.empty());
    EXPECT_EQ(found, Entries(owner.config));
}
