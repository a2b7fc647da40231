#include "foundation/shell.h"

#include "file_test_support.h"
#include "foundation/command_line.h"
#include "foundation/exception.h"
#include "registry_test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using Brivox::String;
using RegistryTestSupport::PrivateClassesRoot;
using namespace FileTestSupport;

namespace {

std::string AnsiOf(const wchar_t* text)
{
    return Ansi(String(text));
}

// The files of an extension in the system temporary folder.
int CountTempFiles(const wchar_t* extension)
{
    int count = 0;
    WIN32_FIND_DATAW data;
    HANDLE find = ::FindFirstFileW((Brivox::GetTempPathString() + L"*." + extension).CStr(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return 0;
    do
        ++count;
    while (::FindNextFileW(find, &data));
    ::FindClose(find);
    return count;
}

// A private HKEY_CLASSES_ROOT with the extension ".kanorutest" of the ProgID "KanoruTest.File",
// whose "open" verb runs the given program.
class AssociationTest : public testing::Test
{
protected:
    void Associate(const std::string& program)
    {
        classes.SetDefault(".kanorutest", "KanoruTest.File");
        classes.SetDefault("KanoruTest.File\\shell\\open\\command", ("\"" + program + "\" \"%1\"").c_str());
    }

    PrivateClassesRoot classes;
};

} // namespace

TEST(ShellFolderTest, SendToEndsWithASeparatorAndAnUnknownFolderThrows)
{
    const String sendTo = Brivox::GetSendToFolder();
    EXPECT_TRUE(sendTo.EndsWith(L"SendTo\\")) << Ansi(sendTo);
    EXPECT_EQ(AnsiOf(L"不明フォルダの取得に失敗しました"),
              ThrownText([] { Brivox::GetSpecialFolder(0xEE, L"不明"); }));
}

TEST_F(AssociationTest, ProgIdsAndVerbsAreReadFromTheClassesRoot)
{
    Associate("C:\\program.exe");
    EXPECT_EQ(String(L"KanoruTest.File"), Brivox::GetExtensionProgId(L"kanorutest"));
    EXPECT_EQ(String(), Brivox::GetExtensionProgId(L"kanorunone"));
    EXPECT_TRUE(Brivox::IsExtensionProgId(L"kanorutest", L"KanoruTest.File"));
    // Ordinal: another case is another ProgID.
    EXPECT_FALSE(Brivox::IsExtensionProgId(L"kanorutest", L"kanorutest.file"));
    EXPECT_FALSE(Brivox::IsExtensionProgId(L"kanorunone", L"KanoruTest.File"));
    EXPECT_TRUE(Brivox::ShellVerbExists(L"KanoruTest.File", L"open"));
    EXPECT_FALSE(Brivox::ShellVerbExists(L"KanoruTest.File", L"print"));
    EXPECT_FALSE(Brivox::ShellVerbExists(L"KanoruTest.None", L"open"));
}

TEST_F(AssociationTest, AssociatedApplicationIsFoundThroughAnEmptyTemporaryFile)
{
    wchar_t self[MAX_PATH + 1] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    Associate(Ansi(String(self)));
    EXPECT_TRUE(Brivox::FindAssociatedApplication(L"kanorutest").EqualsIgnoreCase(self));
    EXPECT_EQ(0, CountTempFiles(L"kanorutest"));
}

TEST_F(AssociationTest, MissingOrAbsentApplicationThrows)
{
    try {
        Brivox::FindAssociatedApplication(L"kanorunone");
        ADD_FAILURE() << "nothing thrown";
    } catch (const Brivox::Win32Exception& e) {
        EXPECT_EQ(0u, std::string(e.what()).find(
                          AnsiOf(L".kanorunone に関連付けされたアプリケーションの取得に失敗")))
            << e.what();
    }
    EXPECT_EQ(0, CountTempFiles(L"kanorunone"));

    Associate("C:\\no such folder\\program.exe");
    EXPECT_EQ(AnsiOf(L".kanorutest に関連付けされたアプリケーションの取得に失敗しました"),
              ThrownText([] { Brivox::FindAssociatedApplication(L"kanorutest"); }));
    EXPECT_EQ(0, CountTempFiles(L"kanorutest"));
}

class RecycleBinTest : public TempFolderTest
{
};

TEST_F(RecycleBinTest, FilesAndFoldersOfOneListAreDeleted)
{
    WriteText(At(L"日本語.txt"), "a");
    MakeFolder(At(L"folder"));
    WriteText(At(L"folder\\inner.txt"), "b");
    WriteText(At(L"kept.txt"), "c");
    Brivox::DeleteToRecycleBin({At(L"日本語.txt"), At(L"folder")}, false);
    EXPECT_EQ(std::vector<std::wstring>{L"kept.txt"}, Tree(root));

    Brivox::DeleteToRecycleBin(At(L"kept.txt"), false);
    EXPECT_TRUE(Tree(root).empty());
}

TEST_F(RecycleBinTest, MissingPathIsReportedAsAFailedDeletion)
{
    EXPECT_EQ(Ansi(At(L"missing.txt") + L"の削除に失敗しました"),
              ThrownText([&] { Brivox::DeleteToRecycleBin(At(L"missing.txt"), false); }));

    // With a file that exists beside it: every path that is not gone afterwards is named.
    WriteText(At(L"present.txt"), "a");
    const std::string text = ThrownText([&] {
        Brivox::DeleteToRecycleBin({At(L"present.txt"), At(L"missing.txt")}, false);
    });
    String expected = At(L"missing.txt") + L"の削除に失敗しました";
    if (Exists(At(L"present.txt")))
        expected = At(L"present.txt") + L"の削除に失敗しました\r\n" + expected;
    EXPECT_EQ(Ansi(expected), text);
}

TEST(AdministratorTest, SystemAnswerWinsOverTheDefault)
{
    using IsUserAnAdminFunction = BOOL(WINAPI*)();
    const auto isUserAnAdmin = reinterpret_cast<IsUserAnAdminFunction>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"shell32.dll"), "IsUserAnAdmin")));
    ASSERT_TRUE(isUserAnAdmin);
    const bool admin = isUserAnAdmin() != FALSE;
    EXPECT_EQ(admin, Brivox::IsUserAdmin(false));
    EXPECT_EQ(admin, Brivox::IsUserAdmin(true));
}
