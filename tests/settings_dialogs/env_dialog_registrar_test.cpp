// The whole hand-off: the dialog's OK starts the real Kanolink beside a Kanoru2.exe in a test
// folder, and the Wine prefix's HKEY_CLASSES_ROOT then holds the chosen associations.
#include "settings/env_dialog.h"

#include "foundation/config.h"
#include "foundation/encoding.h"
#include "foundation/thread_state.h"
#include "registrar/program/program_test_support.h"
#include "resources/env_dialog_ids.h"
#include "settings/config_schema.h"
#include "settings_dialogs/env_dialog_test_support.h"
#include "support/window_test_bed.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

using EnvDialogTest::Command;
using EnvDialogTest::Tick;

class FolderHost : public Brivox::IRegistrarHost
{
public:
    explicit FolderHost(Brivox::String folder) : m_folder(std::move(folder)) {}
    Brivox::String GetRegistrarFolder() override { return m_folder; }
    bool IsUserAdmin() override { return true; }
    std::shared_ptr<Brivox::Process> Start(const Brivox::ProcessStartInfo& startInfo) override
    {
        return Brivox::Process::Start(startInfo);
    }

private:
    Brivox::String m_folder;
};

using KanolinkTest::Value;

void SetDefault(const std::string& path, const std::wstring& value)
{
    const std::string bytes = KanolinkTest::ToCodePage932(value);
    ASSERT_EQ(ERROR_SUCCESS, ::RegSetKeyValueA(HKEY_CLASSES_ROOT, path.c_str(), nullptr, REG_SZ,
                                               bytes.c_str(), static_cast<DWORD>(bytes.size() + 1)));
}

} // namespace

// Holds the desktop's lock, which the registrar's own program tests hold while they write the
// same keys.
TEST(DesktopInputEnvConfigDialogRegistrar, OkWritesTheChosenAssociationsThroughKanolink)
{
    KanolinkTest::SavedClassKeys saved({".jpg", ".png", ".bmp", ".gif", ".argb", ".cbz", ".cbr", ".knb",
                                        ".zip", ".rar", ".lzh", ".gca", ".webp", "zo2-img-files",
                                        "zo2-bkmk-files", "Folder\\Shell\\open-by-zo2", "KanolinkTest.Zip",
                                        "KanolinkTest.Png"});
    SetDefault(".zip", L"KanolinkTest.Zip");
    SetDefault("KanolinkTest.Zip", L"ZIP 書庫");
    SetDefault(".png", L"KanolinkTest.Png");

    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    const std::wstring folder =
        std::wstring(temp) + L"環境設定 テスト " + std::to_wstring(::GetCurrentProcessId()) + L"\\";
    ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
    const std::wstring kanolink = folder + L"Kanolink.exe";
    const std::wstring viewer = folder + L"Kanoru2.exe";
    ASSERT_TRUE(::CopyFileA(KANOLINK_PATH, KanolinkTest::ToCodePage932(kanolink).c_str(), TRUE));
    ASSERT_TRUE(::CopyFileA(KANORU2_PATH, KanolinkTest::ToCodePage932(viewer).c_str(), TRUE));

    Brivox::ComScope com;
    Brivox::CConfig config;
    InitConfig(config, L"");
    FolderHost host(folder.c_str());
    KanoruTest::MessageBoxAnswerer boxes;
    {
        EnvDialogTest::ScriptedDialog dialog(config, host, {[](HWND dialog) {
                                                 Tick(dialog, IDC_ENV_ASSOCIATE);
                                                 for (const int id : {IDC_ENV_JPG, IDC_ENV_CBZ, IDC_ENV_KNB,
                                                                      IDC_ENV_MENU_ZIP, IDC_ENV_MENU_CBZ,
                                                                      IDC_ENV_MENU_FOLDER})
                                                     Tick(dialog, id);
                                                 ::SetDlgItemTextW(dialog, IDC_ENV_OTHER_EXTENSION, L"webp");
                                                 Command(dialog, IDC_ENV_ADD);
                                                 Command(dialog, IDOK);
                                             }});
        dialog.DoModal(nullptr);
    }
    EXPECT_TRUE(boxes.Boxes().empty());

    const std::wstring command = L"\"" + viewer + L"\" \"%1\"";
    for (const char* extension : {".jpg", ".cbz", ".webp"})
        EXPECT_EQ(L"zo2-img-files", Value(extension)) << extension;
    EXPECT_EQ(L"Kanoru イメージ", Value("zo2-img-files"));
    EXPECT_EQ(command, Value("zo2-img-files\\Shell\\Open\\Command"));
    EXPECT_EQ(viewer + L",1", Value("zo2-img-files\\DefaultIcon"));
    EXPECT_EQ(L"zo2-bkmk-files", Value(".knb"));
    EXPECT_EQ(viewer + L",2", Value("zo2-bkmk-files\\DefaultIcon"));
    EXPECT_EQ(L"KanolinkTest.Png", Value(".png"));
    for (const char* verb : {"KanolinkTest.Zip\\shell\\open-by-zo2", "zo2-img-files\\Shell\\open-by-zo2",
                             "Folder\\Shell\\open-by-zo2"}) {
        EXPECT_EQ(L"Kanoruで開く(&2)", Value(verb)) << verb;
        EXPECT_EQ(command, Value(std::string(verb) + "\\Command")) << verb;
    }
    EXPECT_EQ(L"ZIP 書庫", Value("KanolinkTest.Zip"));

    ::DeleteFileW(kanolink.c_str());
    ::DeleteFileW(viewer.c_str());
    ::RemoveDirectoryW(folder.c_str());
}
