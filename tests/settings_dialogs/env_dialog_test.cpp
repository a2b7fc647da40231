// The association settings dialog, run modally as the association command runs it, driven from
// inside its own message loop; the registrar is a stand-in that records what it was given.
#include "settings/env_dialog.h"

#include "foundation/command_line.h"
#include "foundation/config.h"
#include "foundation/encoding.h"
#include "foundation/file_system.h"
#include "foundation/registry_test_support.h"
#include "foundation/shell.h"
#include "foundation/shortcut.h"
#include "foundation/temp_file.h"
#include "foundation/thread_state.h"
#include "resources/env_dialog_ids.h"
#include "settings/config_schema.h"
#include "settings_dialogs/env_dialog_test_support.h"
#include "support/window_test_bed.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

using Brivox::CConfig;
using Brivox::CEnvConfigDialog;
using Brivox::String;
using EnvDialogTest::Command;
using EnvDialogTest::ScriptedDialog;
using EnvDialogTest::Tick;
using KanoruTest::MessageBoxAnswerer;

namespace {

std::string ReadBytes(const std::wstring& path)
{
    std::ifstream in(std::string(Brivox::GetDefaultEncoding().ToMultiByte(path)), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string Ansi(const String& text)
{
    return Brivox::GetDefaultEncoding().ToMultiByte(text);
}

// The registrar's folder, the user's rights and the start, as the test sets them; every start is
// recorded and then made for real.
class RecordingHost : public Brivox::IRegistrarHost
{
public:
    explicit RecordingHost(String folder) : folder(std::move(folder)) {}

    String GetRegistrarFolder() override { return folder; }
    bool IsUserAdmin() override { return admin; }
    std::shared_ptr<Brivox::Process> Start(const Brivox::ProcessStartInfo& startInfo) override
    {
        starts.push_back(startInfo);
        if (noHandle)
            return nullptr;
        return Brivox::Process::Start(startInfo);
    }

    String folder;
    bool admin = true;
    // As when the shell hands the start to a program that runs already.
    bool noHandle = false;
    std::vector<Brivox::ProcessStartInfo> starts;
};

bool IsTicked(HWND dialog, int id)
{
    return ::SendDlgItemMessageA(dialog, id, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void Type(HWND dialog, int id, const wchar_t* text)
{
    ::SetDlgItemTextW(dialog, id, text);
}

std::vector<std::wstring> ListItems(HWND dialog, int id)
{
    std::vector<std::wstring> items;
    const HWND list = ::GetDlgItem(dialog, id);
    const int count = static_cast<int>(::SendMessageW(list, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        wchar_t text[256] = {};
        ::SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
        items.push_back(text);
    }
    return items;
}

// Keeps a "Kanoru2.lnk" that the SendTo folder already holds aside while a test runs.
class SendToShortcutKeeper
{
public:
    SendToShortcutKeeper() : m_path(Brivox::GetSendToFolder() + L"Kanoru2.lnk"), m_kept(m_path + L".kept")
    {
        if (Brivox::FileExists(m_path))
            ::MoveFileW(m_path.CStr(), m_kept.CStr());
    }
    ~SendToShortcutKeeper()
    {
        ::DeleteFileW(m_path.CStr());
        ::MoveFileW(m_kept.CStr(), m_path.CStr());
    }
    SendToShortcutKeeper(const SendToShortcutKeeper&) = delete;
    SendToShortcutKeeper& operator=(const SendToShortcutKeeper&) = delete;

    const String& Path() const { return m_path; }

private:
    String m_path;
    String m_kept;
};

class DesktopInputEnvConfigDialog : public testing::Test
{
protected:
    void SetUp() override
    {
        InitConfig(config, L"");
        log.Create();
        const std::string logFolder = Ansi(log.GetPath());
        ::SetEnvironmentVariableA("KANORU_STUB_LOG", logFolder.substr(0, logFolder.size() - 1).c_str());
        SetStubExitCode(0);
    }

    void TearDown() override
    {
        ::SetEnvironmentVariableA("KANORU_STUB_LOG", nullptr);
        ::SetEnvironmentVariableA("KANORU_STUB_EXIT", nullptr);
    }

    static void SetStubExitCode(int code)
    {
        ::SetEnvironmentVariableA("KANORU_STUB_EXIT", std::to_string(code).c_str());
    }

    void Run(std::vector<ScriptedDialog::Step> steps)
    {
        ScriptedDialog dialog(config, host, std::move(steps));
        dialog.DoModal(nullptr);
    }

    void Run(ScriptedDialog::Step step) { Run(std::vector<ScriptedDialog::Step>{std::move(step)}); }

    std::optional<std::string> StubCommandLine() const
    {
        const String path = log.GetPath() + L"command_line.txt";
        if (!Brivox::FileExists(path))
            return std::nullopt;
        return ReadBytes(path.CStr());
    }

    std::string HandOffCopy() const { return ReadBytes((log.GetPath() + L"hand_off.cfg").CStr()); }

    Brivox::ComScope com;
    CConfig config;
    RecordingHost host{KanoruTest::TestProgramFolder() + L"kanolink_stub\\"};
    Brivox::CTempFolder log{L"envlog"};
    SendToShortcutKeeper sendTo;
};

// The hand-off file's lines, split at CR LF; false when a line ends otherwise.
std::vector<std::string> CrLfLines(const std::string& text, bool& onlyCrLf)
{
    std::vector<std::string> lines;
    onlyCrLf = true;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            onlyCrLf = false;
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        if (lines.back().find_first_of("\r\n") != std::string::npos)
            onlyCrLf = false;
        start = end + 2;
    }
    return lines;
}

} // namespace

TEST_F(DesktopInputEnvConfigDialog, OkWithTheHandOffTickedGivesKanolinkTheFileOfTheChoices)
{
    MessageBoxAnswerer boxes;
    Run([&](HWND dialog) {
        Tick(dialog, IDC_ENV_ASSOCIATE);
        Tick(dialog, IDC_ENV_JPG);
        Type(dialog, IDC_ENV_OTHER_EXTENSION, L" .webp");
        Command(dialog, IDC_ENV_ADD);
        Command(dialog, IDOK);
    });
    EXPECT_TRUE(boxes.Boxes().empty());
    ASSERT_EQ(1u, host.starts.size());

    // The whole command line is the file's full path, unquoted: "rel", 16 hexadecimal digits and
    // ".cfg" in the user's temporary folder.
    const std::optional<std::string> commandLine = StubCommandLine();
    ASSERT_TRUE(commandLine);
    const std::string temp = Ansi(Brivox::GetTempPathString());
    ASSERT_EQ(temp, commandLine->substr(0, temp.size())) << *commandLine;
    EXPECT_TRUE(std::regex_match(commandLine->substr(temp.size()), std::regex("rel[0-9a-f]{16}\\.cfg")))
        << *commandLine;
    EXPECT_FALSE(Brivox::FileExists(Brivox::GetDefaultEncoding().ToString(*commandLine)));

    const std::string copy = HandOffCopy();
    ASSERT_FALSE(copy.empty());
    EXPECT_NE("\xEF\xBB\xBF", copy.substr(0, 3));
    bool onlyCrLf = false;
    const std::vector<std::string> lines = CrLfLines(copy, onlyCrLf);
    EXPECT_TRUE(onlyCrLf);
    ASSERT_EQ(23u, lines.size()) << copy;
    std::vector<std::string> keys;
    for (const std::string& line : lines) {
        const std::size_t equals = line.find(" = ");
        ASSERT_NE(std::string::npos, equals) << line;
        keys.push_back(line.substr(0, equals));
    }
    EXPECT_TRUE(std::is_sorted(keys.begin(), keys.end()));
    const auto has = [&](const std::string& line) {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    };
    EXPECT_TRUE(has("RelationJPG = true"));
    EXPECT_TRUE(has("RelationPNG = false"));
    EXPECT_TRUE(has("EnvSetOthers = webp"));
    EXPECT_TRUE(has("EnvSetOthersOld = "));
    // Code page 932, as the registrar reads it.
    EXPECT_TRUE(has(Ansi(L"EnvDesc = Kanoru イメージ")));
    EXPECT_TRUE(has("ModuleFileName = " + Ansi(Brivox::GetModuleFileNameString())));

    EXPECT_EQ(L"webp", config.GetString(L"EnvSetOthers"));
}

// The stand-in's exit code: the file is gone after every run; a failure is shown, the dialog stays
// open, and the settings written before the start stay in the store.
class DesktopInputEnvConfigDialogExit : public DesktopInputEnvConfigDialog,
                                        public testing::WithParamInterface<int>
{
};

TEST_P(DesktopInputEnvConfigDialogExit, TheHandOffFileGoesAndAFailureIsShown)
{
    const int code = GetParam();
    SetStubExitCode(code);
    MessageBoxAnswerer boxes;
    bool openAfterOk = false;
    Run({[&](HWND dialog) {
             Tick(dialog, IDC_ENV_ASSOCIATE);
             Type(dialog, IDC_ENV_MENU_NAME, L"開く");
             Command(dialog, IDOK);
         },
         [&](HWND dialog) {
             openAfterOk = true;
             Command(dialog, IDCANCEL);
         }});
    ASSERT_EQ(1u, host.starts.size());
    const std::optional<std::string> commandLine = StubCommandLine();
    ASSERT_TRUE(commandLine);
    EXPECT_FALSE(Brivox::FileExists(Brivox::GetDefaultEncoding().ToString(*commandLine)));
    EXPECT_EQ(L"開く", config.GetRaw(L"EnvMenuName"));
    if (code == 0) {
        EXPECT_FALSE(openAfterOk);
        EXPECT_TRUE(boxes.Boxes().empty());
        return;
    }
    EXPECT_TRUE(openAfterOk);
    ASSERT_EQ(1u, boxes.Boxes().size());
    EXPECT_EQ(L"関連付け処理に失敗しました (終了コード " + std::to_wstring(code) + L")",
              std::wstring(boxes.Boxes()[0].text.CStr()));
}

INSTANTIATE_TEST_SUITE_P(DesktopInput, DesktopInputEnvConfigDialogExit, testing::Values(0, 1, 2));

// A start that fails or gives no process handle is shown; the hand-off file goes all the same.
TEST_F(DesktopInputEnvConfigDialog, AFailedStartIsShownAndTheFileDeleted)
{
    for (const bool noHandle : {true, false}) {
        host.starts.clear();
        host.noHandle = noHandle;
        if (!noHandle)
            host.folder = log.GetPath(); // holds no Kanolink.exe
        MessageBoxAnswerer boxes;
        bool openAfterOk = false;
        Run({[&](HWND dialog) {
                 Tick(dialog, IDC_ENV_ASSOCIATE);
                 Command(dialog, IDOK);
             },
             [&](HWND dialog) {
                 openAfterOk = true;
                 Command(dialog, IDCANCEL);
             }});
        ASSERT_EQ(1u, host.starts.size());
        EXPECT_TRUE(openAfterOk);
        EXPECT_FALSE(Brivox::FileExists(host.starts[0].Arguments)) << noHandle;
        ASSERT_EQ(1u, boxes.Boxes().size());
        const std::wstring text = boxes.Boxes()[0].text.CStr();
        if (noHandle)
            EXPECT_EQ(L"関連付け処理に失敗しました", text);
        else
            EXPECT_EQ(0u, text.find(L"プロセスの作成に失敗")) << Ansi(text.c_str());
    }
}

TEST_F(DesktopInputEnvConfigDialog, WithoutTheHandOffOnlyTheSettingsAndTheShortcutChange)
{
    Run([&](HWND dialog) {
        Tick(dialog, IDC_ENV_ASSOCIATE);
        Tick(dialog, IDC_ENV_JPG);
        Type(dialog, IDC_ENV_MENU_OTHER_EXTENSION, L"*.7z");
        Command(dialog, IDC_ENV_MENU_ADD);
        Type(dialog, IDC_ENV_DESC_KNB, L"栞");
        Tick(dialog, IDC_ENV_ASSOCIATE, false);
        Tick(dialog, IDC_ENV_SENDTO);
        Command(dialog, IDOK);
    });
    EXPECT_TRUE(host.starts.empty());
    EXPECT_FALSE(StubCommandLine());
    EXPECT_EQ(L"7z", config.GetString(L"EnvRClickOthers"));
    EXPECT_EQ(L"栞", config.GetRaw(L"EnvDescKnb"));
    EXPECT_TRUE(Brivox::FileExists(sendTo.Path()));

    // The next hand-off names the stored list as the one to take back.
    Run([&](HWND dialog) {
        Tick(dialog, IDC_ENV_ASSOCIATE);
        Command(dialog, IDOK);
    });
    ASSERT_EQ(1u, host.starts.size());
    EXPECT_NE(std::string::npos, HandOffCopy().find("EnvRClickOthersOld = 7z\r\n"));
}

TEST_F(DesktopInputEnvConfigDialog, OnlyAUserWhoIsNoAdministratorIsAskedToElevate)
{
    for (const bool admin : {false, true}) {
        host.admin = admin;
        host.starts.clear();
        Run([&](HWND dialog) {
            Tick(dialog, IDC_ENV_ASSOCIATE);
            Command(dialog, IDOK);
        });
        ASSERT_EQ(1u, host.starts.size());
        EXPECT_EQ(admin ? L"" : L"runas", std::wstring(host.starts[0].Verb.CStr())) << admin;
        EXPECT_EQ(host.folder + L"Kanolink.exe", host.starts[0].FileName);
    }
}

TEST_F(DesktopInputEnvConfigDialog, TheBoxesShowTheRegistryAndTheHandOffBoxStartsUntickedWithTheGroupsOff)
{
    RegistryTestSupport::PrivateClassesRoot root;
    root.SetDefault(".jpg", "zo2-img-files");
    root.SetDefault(".png", "other-files");
    root.SetDefault(".zip", "Test.Zip");
    root.CreateKey("Test.Zip\\Shell\\open-by-zo2");
    root.SetDefault(".rar", "Test.Rar");
    root.CreateKey("Test.Rar\\Shell\\open");
    root.SetDefault(".knb", "zo2-bkmk-files");
    root.CreateKey("Folder\\Shell\\open-by-zo2");
    config.SetString(L"EnvSetOthers", L"webp;tif");

    std::vector<int> ticked;
    std::vector<int> enabledBefore, enabledAfter;
    std::vector<std::wstring> others;
    const std::vector<int> all = {1005, 1006, 1007, 1008, 1009, 1010, 1011, 1012, 1013, 1014,
                                  1015, 1016, 1017, 1018, 1019, 1020, 1021, 1022, 1023, 1024,
                                  1025, 1026, 1027, 1028, 1029, 1030, 1031, 1032, IDOK, IDCANCEL};
    Run([&](HWND dialog) {
        for (int id = 1005; id <= 1032; ++id)
            if (IsTicked(dialog, id))
                ticked.push_back(id);
        for (const int id : all)
            if (::IsWindowEnabled(::GetDlgItem(dialog, id)))
                enabledBefore.push_back(id);
        others = ListItems(dialog, IDC_ENV_OTHERS);
        Tick(dialog, IDC_ENV_ASSOCIATE);
        for (const int id : all)
            if (::IsWindowEnabled(::GetDlgItem(dialog, id)))
                enabledAfter.push_back(id);
        Command(dialog, IDCANCEL);
    });
    EXPECT_EQ((std::vector<int>{IDC_ENV_JPG, IDC_ENV_KNB, IDC_ENV_MENU_ZIP, IDC_ENV_MENU_FOLDER}), ticked);
    EXPECT_EQ((std::vector<int>{IDC_ENV_ASSOCIATE, IDC_ENV_SENDTO, IDOK, IDCANCEL}), enabledBefore);
    EXPECT_EQ(all, enabledAfter);
    EXPECT_EQ((std::vector<std::wstring>{L"webp", L"tif"}), others);
}

struct TipSearch
{
    HWND dialog;
    HWND found;
};

BOOL CALLBACK FindTip(HWND window, LPARAM parameter)
{
    TipSearch& search = *reinterpret_cast<TipSearch*>(parameter);
    char className[64] = {};
    ::GetClassNameA(window, className, sizeof(className));
    if (::GetWindow(window, GW_OWNER) == search.dialog && std::string(className) == TOOLTIPS_CLASSA)
        search.found = window;
    return TRUE;
}

// The tip window of the dialog's tool tips: the one tool-tip window that the dialog owns.
HWND TipWindow(HWND dialog)
{
    TipSearch search{dialog, nullptr};
    ::EnumThreadWindows(::GetCurrentThreadId(), &FindTip, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

TEST_F(DesktopInputEnvConfigDialog, EveryControlButTheComicBookBoxesHasItsTip)
{
    std::map<int, std::wstring> tips;
    Run([&](HWND dialog) {
        const HWND tip = TipWindow(dialog);
        ASSERT_TRUE(tip);
        const int count = static_cast<int>(::SendMessageA(tip, TTM_GETTOOLCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            char text[512] = {};
            TOOLINFOA tool{};
            tool.cbSize = sizeof(tool);
            tool.lpszText = text;
            ::SendMessageA(tip, TTM_ENUMTOOLSA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&tool));
            tips[::GetDlgCtrlID(reinterpret_cast<HWND>(tool.uId))] = Brivox::FromApiTextA(text).CStr();
        }
        Command(dialog, IDCANCEL);
    });
    std::vector<int> ids;
    for (const auto& [id, text] : tips)
        ids.push_back(id);
    EXPECT_EQ((std::vector<int>{1005, 1006, 1007, 1008, 1009, 1010, 1011, 1012, 1013, 1014, 1015, 1016,
                                1017, 1018, 1019, 1020, 1021, 1022, 1023, 1024, 1025, 1026, 1030, 1032}),
              ids);
    // The tip control gives back only the first 80 bytes of a text; the two lines are joined by CR LF.
    EXPECT_EQ(0u, tips[IDC_ENV_OTHER_EXTENSION].find(
                      L"拡張子（「.」などは付けず「bmp」のように）を入力します。\r\n追加"));
    EXPECT_EQ(tips[IDC_ENV_OTHER_EXTENSION], tips[IDC_ENV_MENU_OTHER_EXTENSION]);
    EXPECT_EQ(L"それぞれの拡張子をKanoruに関連付けます。", tips[IDC_ENV_GIF]);
}

TEST_F(DesktopInputEnvConfigDialog, TypedExtensionsAreAddedTrimmedOrRefusedAndDeletedBySelection)
{
    MessageBoxAnswerer boxes;
    std::vector<std::wstring> afterAdding, afterDeleting;
    std::wstring editAfterRefusal;
    int selectedAfterDeleting = -1;
    Run([&](HWND dialog) {
        Tick(dialog, IDC_ENV_ASSOCIATE);
        for (const wchar_t* typed : {L" .webp ", L"*.tif", L"a;b", L"jxl"}) {
            Type(dialog, IDC_ENV_OTHER_EXTENSION, typed);
            Command(dialog, IDC_ENV_ADD);
        }
        afterAdding = ListItems(dialog, IDC_ENV_OTHERS);
        // A refused text stays in the edit.
        Type(dialog, IDC_ENV_OTHER_EXTENSION, L"x y");
        Command(dialog, IDC_ENV_ADD);
        wchar_t edit[64] = {};
        ::GetDlgItemTextW(dialog, IDC_ENV_OTHER_EXTENSION, edit, 64);
        editAfterRefusal = edit;
        ::SendDlgItemMessageA(dialog, IDC_ENV_OTHERS, LB_SETCURSEL, 1, 0);
        Command(dialog, IDC_ENV_DELETE);
        afterDeleting = ListItems(dialog, IDC_ENV_OTHERS);
        selectedAfterDeleting =
            static_cast<int>(::SendDlgItemMessageA(dialog, IDC_ENV_OTHERS, LB_GETCURSEL, 0, 0));
        Command(dialog, IDCANCEL);
    });
    EXPECT_EQ((std::vector<std::wstring>{L"webp", L"tif", L"jxl"}), afterAdding);
    ASSERT_EQ(2u, boxes.Boxes().size());
    EXPECT_EQ(L"a;b は不正な拡張子っぽいです", std::wstring(boxes.Boxes()[0].text.CStr()));
    EXPECT_EQ(L"エラー (3)", std::wstring(boxes.Boxes()[0].caption.CStr()));
    EXPECT_EQ(L"x y", editAfterRefusal);
    EXPECT_EQ((std::vector<std::wstring>{L"webp", L"jxl"}), afterDeleting);
    EXPECT_EQ(1, selectedAfterDeleting);
    EXPECT_EQ(L"", config.GetString(L"EnvSetOthers"));
}

// The SendTo box on OK: (a shortcut there before, the box ticked) -> a shortcut there after.
struct SendToCase
{
    bool before;
    bool ticked;
};

void PrintTo(const SendToCase& sendToCase, std::ostream* out)
{
    *out << (sendToCase.before ? "existing" : "none") << (sendToCase.ticked ? ", ticked" : ", unticked");
}

class DesktopInputEnvConfigDialogSendTo : public DesktopInputEnvConfigDialog,
                                          public testing::WithParamInterface<SendToCase>
{
};

TEST_P(DesktopInputEnvConfigDialogSendTo, TheBoxWritesOrDeletesTheShortcut)
{
    const SendToCase& sendToCase = GetParam();
    if (sendToCase.before) {
        Brivox::ShortcutInfo other;
        other.targetPath = L"C:\\windows\\notepad.exe";
        Brivox::CreateShortcut(sendTo.Path(), other);
    }
    MessageBoxAnswerer boxes;
    bool tickedOnOpen = false;
    Run([&](HWND dialog) {
        tickedOnOpen = IsTicked(dialog, IDC_ENV_SENDTO);
        Tick(dialog, IDC_ENV_SENDTO, sendToCase.ticked);
        Command(dialog, IDOK);
    });
    EXPECT_TRUE(boxes.Boxes().empty());
    EXPECT_EQ(sendToCase.before, tickedOnOpen);
    ASSERT_EQ(sendToCase.ticked, Brivox::FileExists(sendTo.Path()));
    if (sendToCase.ticked) {
        EXPECT_EQ(Brivox::GetModuleFileNameString(), Brivox::ReadShortcut(sendTo.Path()).targetPath);
    }
    EXPECT_TRUE(host.starts.empty());
}

INSTANTIATE_TEST_SUITE_P(DesktopInput, DesktopInputEnvConfigDialogSendTo,
                         testing::Values(SendToCase{false, true}, SendToCase{true, true},
                                         SendToCase{true, false}, SendToCase{false, false}));

// Cancel and the close box leave the settings, the SendTo folder and the registry (the registrar
// is never started) as they were.
class DesktopInputEnvConfigDialogClose : public DesktopInputEnvConfigDialog,
                                         public testing::WithParamInterface<bool>
{
};

TEST_P(DesktopInputEnvConfigDialogClose, ClosingWithoutOkChangesNothing)
{
    const String before = config.Serialize();
    Run([&](HWND dialog) {
        Tick(dialog, IDC_ENV_ASSOCIATE);
        Tick(dialog, IDC_ENV_PNG);
        Type(dialog, IDC_ENV_OTHER_EXTENSION, L"webp");
        Command(dialog, IDC_ENV_ADD);
        Type(dialog, IDC_ENV_DESC, L"画像");
        Tick(dialog, IDC_ENV_SENDTO);
        if (GetParam())
            Command(dialog, IDCANCEL);
        else
            ::SendMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    });
    EXPECT_EQ(before, config.Serialize());
    EXPECT_FALSE(Brivox::FileExists(sendTo.Path()));
    EXPECT_TRUE(host.starts.empty());
}

INSTANTIATE_TEST_SUITE_P(DesktopInput, DesktopInputEnvConfigDialogClose, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& info) {
                             return std::string(info.param ? "Cancel" : "CloseBox");
                         });

TEST_F(DesktopInputEnvConfigDialog, TheCommandSavesAndAppliesWhateverTheOutcome)
{
    std::vector<std::string> calls;
    KanoruTest::DialogAnswerer cancel(L"環境設定", IDCANCEL);
    Brivox::RunEnvironmentSettings(
        nullptr, config, [&] { calls.push_back("save"); }, [&] { calls.push_back("apply"); }, host);
    EXPECT_TRUE(cancel.Answered());
    EXPECT_EQ((std::vector<std::string>{"save", "apply"}), calls);
}

TEST(ViewerIcons, TheClassIconsFollowTheMainIcon)
{
    const std::wstring viewer = Brivox::GetDefaultEncoding().ToString(KANORU2_PATH).CStr();
    EXPECT_LE(3u, ::ExtractIconExW(viewer.c_str(), -1, nullptr, nullptr, 0));
    for (const int index : {1, 2}) {
        HICON large = nullptr;
        ASSERT_EQ(1u, ::ExtractIconExW(viewer.c_str(), index, &large, nullptr, 1)) << index;
        EXPECT_NE(nullptr, large) << index;
        ::DestroyIcon(large);
    }
}
