#include "registrar/shell_association.h"

#include "registrar_test_support.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

using Brivox::ShellClassInfo;
using FileTestSupport::Ansi;
using RegistrarTestSupport::PrivateClasses;

namespace {

using Names = std::vector<std::string>;

ShellClassInfo VerbInfo(const wchar_t* menuText)
{
    ShellClassInfo info;
    info.Verb = L"open-by-zo2";
    info.MenuText = menuText;
    info.Command = L"\"C:\\Kanoru\\Kanoru2.exe\" \"%1\"";
    return info;
}

// The image class as the registrar writes it.
ShellClassInfo ImageClassInfo()
{
    ShellClassInfo info;
    info.Command = L"\"C:\\Kanoru\\Kanoru2.exe\" \"%1\"";
    info.Description = L"Kanoru イメージ";
    info.IconPath = L"C:\\Kanoru\\Kanoru2.exe";
    info.IconIndex = 1;
    return info;
}

// A ProgID of another program: description, icon and its own verb.
void SeedForeignProgId(PrivateClasses& classes)
{
    classes.SetDefault(".zip", "OtherArchiver.zip");
    classes.SetDefault("OtherArchiver.zip", Ansi(L"ZIP 書庫").c_str());
    classes.SetDefault("OtherArchiver.zip\\DefaultIcon", "C:\\Other\\other.exe,3");
    classes.SetDefault("OtherArchiver.zip\\shell\\open\\command", "\"C:\\Other\\other.exe\" \"%1\"");
}

} // namespace

TEST(RegisterExtension, NamesTheProgIdAndAContentTypeOnlyWhenGiven)
{
    PrivateClasses classes;
    Brivox::RegisterExtension(L"jpg", L"zo2-img-files", L"");
    Brivox::RegisterExtension(L"png", L"zo2-img-files", L"image/png");
    EXPECT_EQ("zo2-img-files", classes.Value(".jpg"));
    EXPECT_EQ(std::nullopt, classes.Value(".jpg", "Content Type"));
    EXPECT_EQ("image/png", classes.Value(".png", "Content Type"));
}

TEST(UnregisterExtension, EmptiesOnlyAnExtensionThatNamesTheProgIdExactly)
{
    PrivateClasses classes;
    classes.SetDefault(".jpg", "zo2-img-files");
    classes.SetDefault(".png", "pngfile");
    classes.SetDefault(".bmp", "ZO2-IMG-FILES");
    classes.CreateKey(".gif"); // a key without default value is nobody's
    for (const wchar_t* extension : {L"jpg", L"png", L"bmp", L"gif", L"argb"})
        EXPECT_NO_THROW(Brivox::UnregisterExtension(extension, L"zo2-img-files"));

    EXPECT_EQ("", classes.Value(".jpg")); // the key stays, with an empty default
    EXPECT_EQ("pngfile", classes.Value(".png"));
    EXPECT_EQ("ZO2-IMG-FILES", classes.Value(".bmp"));
    EXPECT_TRUE(classes.KeyExists(".gif"));
    EXPECT_EQ(std::nullopt, classes.Value(".gif"));
    EXPECT_FALSE(classes.KeyExists(".argb"));
}

TEST(RegisterShellClass, WritesDescriptionCommandAndIconOfAClass)
{
    PrivateClasses classes;
    Brivox::RegisterShellClass(L"zo2-img-files", ImageClassInfo());

    EXPECT_EQ(Ansi(L"Kanoru イメージ"), classes.Value("zo2-img-files"));
    EXPECT_EQ(std::nullopt, classes.Value("zo2-img-files\\Shell\\Open"));
    EXPECT_EQ("\"C:\\Kanoru\\Kanoru2.exe\" \"%1\"", classes.Value("zo2-img-files\\Shell\\Open\\Command"));
    EXPECT_EQ("C:\\Kanoru\\Kanoru2.exe,1", classes.Value("zo2-img-files\\DefaultIcon"));
}

TEST(RegisterShellClass, AnEmptyInfoStillMakesTheOpenVerbKeyAndNothingElse)
{
    PrivateClasses classes;
    Brivox::RegisterShellClass(L"zo2-bkmk-files", ShellClassInfo());
    EXPECT_EQ(std::nullopt, classes.Value("zo2-bkmk-files"));
    EXPECT_EQ(Names{"Shell"}, classes.SubKeys("zo2-bkmk-files"));
    EXPECT_EQ(Names{"Open"}, classes.SubKeys("zo2-bkmk-files\\Shell"));
    EXPECT_EQ(Names{}, classes.SubKeys("zo2-bkmk-files\\Shell\\Open"));
    EXPECT_EQ(std::nullopt, classes.Value("zo2-bkmk-files\\Shell\\Open"));
}

TEST(RegisterShellClass, AVerbOnAnotherProgramsProgIdLeavesEverythingElseOfIt)
{
    PrivateClasses classes;
    SeedForeignProgId(classes);
    Brivox::RegisterShellClass(L"OtherArchiver.zip", VerbInfo(L"Kanoruで開く(&2)"));

    EXPECT_EQ(Ansi(L"ZIP 書庫"), classes.Value("OtherArchiver.zip"));
    EXPECT_EQ("C:\\Other\\other.exe,3", classes.Value("OtherArchiver.zip\\DefaultIcon"));
    EXPECT_EQ("\"C:\\Other\\other.exe\" \"%1\"", classes.Value("OtherArchiver.zip\\shell\\open\\command"));
    EXPECT_EQ(Ansi(L"Kanoruで開く(&2)"), classes.Value("OtherArchiver.zip\\shell\\open-by-zo2"));
    EXPECT_EQ("\"C:\\Kanoru\\Kanoru2.exe\" \"%1\"",
              classes.Value("OtherArchiver.zip\\shell\\open-by-zo2\\Command"));
    EXPECT_EQ((Names{"DefaultIcon", "shell"}), classes.SubKeys("OtherArchiver.zip"));
    EXPECT_EQ((Names{"open", "open-by-zo2"}), classes.SubKeys("OtherArchiver.zip\\shell"));
}

TEST(RegisterShellClass, AnEmptyMenuTextLeavesTheVerbKeyWithoutDefaultValue)
{
    PrivateClasses classes;
    Brivox::RegisterShellClass(L"Folder", VerbInfo(L""));
    EXPECT_TRUE(classes.KeyExists("Folder\\Shell\\open-by-zo2"));
    EXPECT_EQ(std::nullopt, classes.Value("Folder\\Shell\\open-by-zo2"));
    EXPECT_EQ("\"C:\\Kanoru\\Kanoru2.exe\" \"%1\"", classes.Value("Folder\\Shell\\open-by-zo2\\Command"));
}

TEST(UnregisterShellVerb, RemovesTheVerbAndItsCommandButKeepsShell)
{
    PrivateClasses classes;
    SeedForeignProgId(classes);
    Brivox::RegisterShellClass(L"OtherArchiver.zip", VerbInfo(L"Kanoruで開く(&2)"));
    Brivox::UnregisterShellVerb(L"OtherArchiver.zip", L"open-by-zo2");
    EXPECT_EQ(Names{"open"}, classes.SubKeys("OtherArchiver.zip\\shell"));
    // Nothing to do without a ProgID or a verb.
    Brivox::UnregisterShellVerb(L"", L"open");
    Brivox::UnregisterShellVerb(L"OtherArchiver.zip", L"");
    EXPECT_TRUE(classes.KeyExists("OtherArchiver.zip\\shell\\open\\command"));
}

TEST(UnregisterShellClass, RemovesTheWholeClassOnceItsVerbIsGone)
{
    PrivateClasses classes;
    Brivox::RegisterShellClass(L"zo2-img-files", ImageClassInfo());
    Brivox::RegisterShellClass(L"zo2-img-files", VerbInfo(L"Kanoruで開く(&2)"));

    // The further verb keeps the class, with that verb.
    Brivox::UnregisterShellClass(L"zo2-img-files");
    EXPECT_EQ(Names{"Shell"}, classes.SubKeys("zo2-img-files"));
    EXPECT_EQ(Names{"open-by-zo2"}, classes.SubKeys("zo2-img-files\\Shell"));

    Brivox::UnregisterShellVerb(L"zo2-img-files", L"open-by-zo2");
    Brivox::UnregisterShellClass(L"zo2-img-files");
    EXPECT_FALSE(classes.KeyExists("zo2-img-files"));
    // An empty ProgID names no class.
    EXPECT_NO_THROW(Brivox::UnregisterShellClass(L""));
}
