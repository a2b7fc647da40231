#include "registrar/registrar_run.h"

#include "registrar/association_items.h"
#include "registrar/hand_off_keys.h"
#include "registrar_test_support.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

using Brivox::CKeyValueFile;
using Brivox::String;
using FileTestSupport::Ansi;
using FileTestSupport::ThrownText;
using HandOffKeys::Keys;
using HandOffKeys::NothingTicked;
using HandOffKeys::With;
using HandOffKeys::Without;
using RegistrarTestSupport::BoxRecorder;
using RegistrarTestSupport::PrivateClasses;

namespace {

using Texts = std::vector<std::string>;

const wchar_t* const viewerPath = L"C:\\Program Files\\Kanoru 2\\Kanoru2.exe";
const char* const openCommand = "\"C:\\Program Files\\Kanoru 2\\Kanoru2.exe\" \"%1\"";

CKeyValueFile MakeStore(const Keys& keys)
{
    CKeyValueFile store;
    for (const auto& [key, value] : keys)
        store.SetRaw(key, value);
    return store;
}

// The store with some keys changed, all others as NothingTicked gives them.
CKeyValueFile HandOff(const Keys& changes)
{
    return MakeStore(With(NothingTicked(), changes));
}

std::string MissingKeyText(const wchar_t* key)
{
    return Ansi(String(L"コンフィグデータ '") + key + L"' の取得に失敗しました");
}

// What an earlier run left: jpg and webp associated, both classes with the verb on the image class.
void SeedEarlierAssociation(PrivateClasses& classes)
{
    for (const char* extension : {".jpg", ".webp"})
        classes.SetDefault(extension, "zo2-img-files");
    classes.SetDefault(".png", "pngfile");
    classes.SetDefault(".knb", "zo2-bkmk-files");
    for (const char* progId : {"zo2-img-files", "zo2-bkmk-files"}) {
        classes.SetDefault((std::string(progId) + "\\Shell\\Open\\Command").c_str(), openCommand);
        classes.SetDefault((std::string(progId) + "\\DefaultIcon").c_str(), "C:\\Kanoru\\Kanoru2.exe,1");
    }
    classes.SetDefault("zo2-img-files\\Shell\\open-by-zo2\\Command", openCommand);
}

} // namespace

TEST(ApplyEnvConfig, ListsSkipEmptyItemsAndVerbsFollowThisRunsAssociations)
{
    PrivateClasses classes;
    BoxRecorder boxes;
    CKeyValueFile store =
        HandOff({{L"RelationJPG", L"true"}, {L"EnvSetOthers", L"webp;;tif;"}, {L"EnvRClickOthers", L";tif"}});
    ApplyEnvConfig(store, viewerPath);

    EXPECT_EQ(Texts{}, boxes.Texts());
    for (const char* extension : {".jpg", ".webp", ".tif"})
        EXPECT_EQ("zo2-img-files", classes.Value(extension)) << extension;
    EXPECT_FALSE(classes.KeyExists("."));
    EXPECT_EQ(openCommand, classes.Value("zo2-img-files\\Shell\\Open\\Command"));
    // tif was associated in this run, so its verb went under the image class.
    EXPECT_EQ(openCommand, classes.Value("zo2-img-files\\Shell\\open-by-zo2\\Command"));
    EXPECT_EQ(Ansi(L"Kanoruで開く(&2)"), classes.Value("zo2-img-files\\Shell\\open-by-zo2"));
}

TEST(ApplyEnvConfig, RemovingEverythingLeavesEmptyExtensionsAndNoClass)
{
    PrivateClasses classes;
    SeedEarlierAssociation(classes);
    BoxRecorder boxes;
    CKeyValueFile store = HandOff({{L"EnvSetOthersOld", L"webp"}});
    ApplyEnvConfig(store, viewerPath);

    EXPECT_EQ(Texts{}, boxes.Texts());
    for (const char* extension : {".jpg", ".webp", ".knb"})
        EXPECT_EQ("", classes.Value(extension)) << extension;
    EXPECT_EQ("pngfile", classes.Value(".png"));
    EXPECT_FALSE(classes.KeyExists("zo2-img-files"));
    EXPECT_FALSE(classes.KeyExists("zo2-bkmk-files"));
    // Extensions that never had a key get none.
    EXPECT_FALSE(classes.KeyExists(".argb"));
}

TEST(ApplyEnvConfig, RemovingTheBookmarkClassEmptiesOnlyAKnbThatNamesIt)
{
    for (const char* knb : {"zo2-bkmk-files", "OtherBookmarks"}) {
        PrivateClasses classes;
        classes.SetDefault(".knb", knb);
        BoxRecorder boxes;
        CKeyValueFile store = HandOff({});
        ApplyEnvConfig(store, viewerPath);
        EXPECT_EQ(std::string(knb) == "zo2-bkmk-files" ? "" : knb, classes.Value(".knb"));
        EXPECT_EQ(Texts{}, boxes.Texts());
    }
}

TEST(ApplyEnvConfig, AMissingFlagEndsTheRunAfterTheOldEntriesAreGone)
{
    PrivateClasses classes;
    SeedEarlierAssociation(classes);
    BoxRecorder boxes;
    CKeyValueFile store =
        MakeStore(Without(With(NothingTicked(), {{L"EnvSetOthersOld", L"webp"}}), L"RelationJPG"));

    EXPECT_EQ(MissingKeyText(L"RelationJPG"), ThrownText([&] { ApplyEnvConfig(store, viewerPath); }));
    EXPECT_EQ(Texts{}, boxes.Texts());
    EXPECT_EQ("", classes.Value(".webp"));
    EXPECT_FALSE(classes.KeyExists("zo2-img-files\\Shell\\open-by-zo2"));
    // Nothing after the old entries was done.
    EXPECT_EQ("zo2-img-files", classes.Value(".jpg"));
    EXPECT_TRUE(classes.KeyExists("zo2-img-files\\Shell\\Open\\Command"));
}

TEST(ApplyEnvConfig, AMissingDescriptionFailsTheImageClassAloneWithItsBox)
{
    PrivateClasses classes;
    BoxRecorder boxes;
    CKeyValueFile store = MakeStore(
        Without(With(NothingTicked(), {{L"RelationJPG", L"true"}, {L"RelationKNB", L"true"}}), L"EnvDesc"));
    ApplyEnvConfig(store, viewerPath);

    ASSERT_EQ(Texts{Ansi(L"関連付け処理に失敗しました。")}, boxes.Texts());
    EXPECT_EQ(Ansi(L"エラー"), boxes.Boxes()[0].caption);
    EXPECT_EQ(static_cast<UINT>(0x51040), boxes.Boxes()[0].style);
    EXPECT_EQ("zo2-img-files", classes.Value(".jpg"));
    EXPECT_FALSE(classes.KeyExists("zo2-img-files"));
    // The bookmark step still ran.
    EXPECT_EQ("zo2-bkmk-files", classes.Value(".knb"));
    EXPECT_EQ("C:\\Program Files\\Kanoru 2\\Kanoru2.exe,2", classes.Value("zo2-bkmk-files\\DefaultIcon"));
}

TEST(ApplyEnvConfig, AVerbForAnUnassociatedExtensionIsRefusedAndTheOthersStillGetTheirs)
{
    PrivateClasses classes;
    classes.SetDefault(".lzh", "OtherArchiver.lzh");
    classes.SetDefault(".cab", "OtherArchiver.cab");
    classes.CreateKey(".7z"); // a key, but no ProgID
    BoxRecorder boxes;
    CKeyValueFile store =
        HandOff({{L"MenuRAR", L"true"}, {L"MenuLZH", L"true"}, {L"EnvRClickOthers", L"7z;cab"}});
    ApplyEnvConfig(store, viewerPath);

    const wchar_t* const advice =
        L" が関連付けされていません。右クリックメニューの登録を行う場合、関連付けを行っておいてください。";
    EXPECT_EQ((Texts{Ansi(String(L".rar") + advice), Ansi(String(L".7z") + advice)}), boxes.Texts());
    EXPECT_FALSE(classes.KeyExists(".rar"));
    EXPECT_EQ(std::nullopt, classes.Value(".7z"));
    EXPECT_EQ(openCommand, classes.Value("OtherArchiver.lzh\\Shell\\open-by-zo2\\Command"));
    EXPECT_EQ(openCommand, classes.Value("OtherArchiver.cab\\Shell\\open-by-zo2\\Command"));
}

TEST(ApplyEnvConfig, AnExtensionTheRegistryRefusesShowsItsBoxAndTheRunGoesOn)
{
    PrivateClasses classes;
    BoxRecorder boxes;
    // Longer than a registry key name may be.
    const std::wstring tooLong(300, L'x');
    CKeyValueFile store = HandOff({{L"EnvSetOthers", tooLong + L";webp"}});
    ApplyEnvConfig(store, viewerPath);

    EXPECT_EQ(Texts{Ansi(L"." + tooLong + L" の関連付けに失敗しました。")}, boxes.Texts());
    EXPECT_EQ("zo2-img-files", classes.Value(".webp"));
    EXPECT_EQ(openCommand, classes.Value("zo2-img-files\\Shell\\Open\\Command"));
}

TEST(CheckHandOffFile, EveryKeyMustBePresent)
{
    for (const auto& [key, value] : NothingTicked()) {
        CKeyValueFile store = MakeStore(Without(NothingTicked(), key.c_str()));
        EXPECT_EQ(MissingKeyText(key.c_str()), ThrownText([&] { CheckHandOffFile(store); }));
    }
    CKeyValueFile complete = MakeStore(NothingTicked());
    EXPECT_NO_THROW(CheckHandOffFile(complete));
}

TEST(CheckHandOffFile, EveryListItemMustBeAPlainExtension)
{
    const struct
    {
        const wchar_t* key;
        const wchar_t* value;
        const wchar_t* refused; // nothing when the list is fine
    } cases[] = {
        {L"EnvSetOthers", L"webp;;tif;", nullptr},       {L"EnvRClickOthers", L"7z;漢字", nullptr},
        {L"EnvSetOthers", L"web\\p", L"web\\p"}, // an escape that is none: the backslash stays
        {L"EnvRClickOthersOld", L"zip;..\\x", L"..\\x"}, {L"EnvSetOthersOld", L"jpg; png", L" png"},
        {L"EnvRClickOthers", L"a\\nb", L"a\nb"},         {L"EnvSetOthers", L".jpg", L".jpg"},
    };
    for (const auto& c : cases) {
        CKeyValueFile store = HandOff({{c.key, c.value}});
        if (c.refused)
            EXPECT_EQ(Ansi(String(c.refused) + L" は不正な拡張子っぽいです"),
                      ThrownText([&] { CheckHandOffFile(store); }))
                << Ansi(c.value);
        else
            EXPECT_NO_THROW(CheckHandOffFile(store)) << Ansi(c.value);
    }
}

TEST(LocateViewer, NamesKanoru2InTheFolderOnlyWhenItIsThereAndFitsTheAnsiCodePage)
{
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    const std::wstring pid = std::to_wstring(::GetCurrentProcessId());
    // A snowman has no form in any ANSI code page.
    for (const std::wstring& name : {L"KanolinkViewer テスト " + pid, L"KanolinkViewer \x2603 " + pid}) {
        const std::wstring folder = temp + name;
        const std::wstring viewer = folder + L"\\Kanoru2.exe";
        ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
        const std::string refused = Ansi(String(L"'") + viewer + L"' を関連付けに使用できません");
        EXPECT_EQ(refused, ThrownText([&] { LocateViewer(folder); }));

        const HANDLE file = ::CreateFileW(viewer.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, file);
        ::CloseHandle(file);
        if (name.find(L'\x2603') == std::wstring::npos)
            EXPECT_EQ(String(viewer), LocateViewer(folder + L"\\"));
        else
            EXPECT_EQ(refused, ThrownText([&] { LocateViewer(folder); }));
        ::DeleteFileW(viewer.c_str());
        ::RemoveDirectoryW(folder.c_str());
    }
}
