#include "foundation/shortcut.h"

#include "file_test_support.h"
#include "foundation/exception.h"
#include "foundation/file_name.h"

#include <gtest/gtest.h>

using Brivox::ShortcutInfo;
using Brivox::String;
using namespace FileTestSupport;

namespace {

class ShortcutTest : public TempFolderTest
{
protected:
    void SetUp() override
    {
        TempFolderTest::SetUp();
        ASSERT_EQ(932u, ::GetACP()) << "run with LC_ALL=ja_JP.UTF-8";
        WriteText(At(L"日本語.txt"), "target");
    }
};

} // namespace

TEST_F(ShortcutTest, EveryFieldRoundTrips)
{
    ShortcutInfo written;
    written.targetPath = At(L"日本語.txt");
    written.arguments = L"-a \"b c\" 画像";
    written.workingDirectory = Brivox::CFileName::TrimTrailingSeparator(root);
    written.description = L"説明のテキスト";
    written.iconFile = At(L"日本語.txt");
    written.iconIndex = 3;
    written.showCommand = SW_SHOWMINNOACTIVE;
    Brivox::CreateShortcut(At(L"link.lnk"), written);

    const ShortcutInfo read = Brivox::ReadShortcut(At(L"link.lnk"));
    EXPECT_EQ(written.targetPath, read.targetPath);
    EXPECT_EQ(written.arguments, read.arguments);
    EXPECT_EQ(written.workingDirectory, read.workingDirectory);
    EXPECT_EQ(written.description, read.description);
    EXPECT_EQ(written.iconFile, read.iconFile);
    EXPECT_EQ(3, read.iconIndex);
    // Wine's shell link reads every show command back as 1: the file's header (the 32-bit value at
    // offset 60) shows what was written.
    const Bytes file = ReadBytes(At(L"link.lnk"));
    ASSERT_GE(file.size(), 64u);
    EXPECT_EQ(SW_SHOWMINNOACTIVE, file[60] | file[61] << 8 | file[62] << 16 | file[63] << 24);
}

TEST_F(ShortcutTest, TargetAloneReadsBackWithEmptyTextsAndANormalWindow)
{
    ShortcutInfo written;
    written.targetPath = At(L"日本語.txt");
    Brivox::CreateShortcut(At(L"plain.lnk"), written);

    const ShortcutInfo read = Brivox::ReadShortcut(At(L"plain.lnk"));
    EXPECT_EQ(written.targetPath, read.targetPath);
    EXPECT_EQ(String(), read.arguments);
    EXPECT_EQ(String(), read.description);
    EXPECT_EQ(String(), read.iconFile);
    EXPECT_EQ(1, read.showCommand);
}

TEST_F(ShortcutTest, FailuresThrowTheirTexts)
{
    EXPECT_EQ(Ansi(L"ショートカットファイル '" + At(L"missing.lnk") + L"' の読み込みに失敗しました"),
              ThrownText([&] { Brivox::ReadShortcut(At(L"missing.lnk")); }));
    // Not a shortcut at all.
    EXPECT_EQ(Ansi(L"ショートカットファイル '" + At(L"日本語.txt") + L"' の読み込みに失敗しました"),
              ThrownText([&] { Brivox::ReadShortcut(At(L"日本語.txt")); }));

    ShortcutInfo info;
    info.targetPath = At(L"日本語.txt");
    EXPECT_EQ(Ansi(L"ショートカットファイルの書き出しに失敗しました"),
              ThrownText([&] { Brivox::CreateShortcut(At(L"no folder\\link.lnk"), info); }));
}
