// Kanolink itself, as the viewer starts it: copied beside a stand-in Kanoru2.exe into a folder
// whose path holds blanks and Japanese text, run on hand-off files, its registry read back.
#include "program_test_support.h"
#include "registrar/hand_off_keys.h"
#include "support/test_timeout.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

using HandOffKeys::Keys;
using HandOffKeys::NothingTicked;
using HandOffKeys::With;
using HandOffKeys::Without;
using KanolinkTest::Outcome;
using Texts = std::vector<std::wstring>;

namespace {

// Every key that a run here may write, and the other programs' ProgIDs that the tests seed.
const std::vector<std::string> touchedKeys = {".jpg",
                                              ".png",
                                              ".bmp",
                                              ".gif",
                                              ".argb",
                                              ".cbz",
                                              ".cbr",
                                              ".knb",
                                              ".zip",
                                              ".rar",
                                              ".lzh",
                                              ".gca",
                                              ".webp",
                                              "zo2-img-files",
                                              "zo2-bkmk-files",
                                              "Folder\\Shell\\open-by-zo2",
                                              "KanolinkTest.Zip",
                                              "KanolinkTest.Png"};

const wchar_t* const advice =
    L" が関連付けされていません。右クリックメニューの登録を行う場合、関連付けを行っておいてください。";

// jpg, cbz and webp associated, png left to its owner, the bookmark class, and the verb on zip's
// ProgID, on cbz (so on the image class) and on folders.
Keys Associate()
{
    return With(NothingTicked(), {{L"RelationJPG", L"true"},
                                  {L"RelationCBZ", L"true"},
                                  {L"RelationKNB", L"true"},
                                  {L"EnvSetOthers", L"webp"},
                                  {L"MenuZIP", L"true"},
                                  {L"MenuCBZ", L"true"},
                                  {L"MenuFolder", L"true"}});
}

using KanolinkTest::Value;

bool KeyExists(const std::string& path)
{
    HKEY key = nullptr;
    if (::RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    ::RegCloseKey(key);
    return true;
}

void SetDefault(const std::string& path, const std::wstring& value)
{
    const std::string bytes = KanolinkTest::ToCodePage932(value);
    ASSERT_EQ(ERROR_SUCCESS, ::RegSetKeyValueA(HKEY_CLASSES_ROOT, path.c_str(), nullptr, REG_SZ,
                                               bytes.c_str(), static_cast<DWORD>(bytes.size() + 1)));
}

class KanolinkProgram : public testing::Test
{
protected:
    void SetUp() override
    {
        wchar_t temp[MAX_PATH] = {};
        ::GetTempPathW(MAX_PATH, temp);
        folder = std::wstring(temp) + L"Kanolink テスト " + std::to_wstring(::GetCurrentProcessId());
        ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
        program = folder + L"\\Kanolink.exe";
        viewer = folder + L"\\Kanoru2.exe";
        ASSERT_TRUE(::CopyFileA(KANOLINK_PATH, FromWide(program).c_str(), TRUE)) << KANOLINK_PATH;
        ASSERT_TRUE(::CopyFileA(KANOLINK_PATH, FromWide(viewer).c_str(), TRUE)); // any file stands in
        handOff = folder + L"\\rel 1234@5678.cfg";

        // A ProgID of another program owns zip, one more owns png.
        SetDefault(".zip", L"KanolinkTest.Zip");
        SetDefault("KanolinkTest.Zip", L"ZIP 書庫");
        SetDefault("KanolinkTest.Zip\\DefaultIcon", L"C:\\Other\\other.exe,3");
        SetDefault("KanolinkTest.Zip\\shell\\open\\command", L"\"C:\\Other\\other.exe\" \"%1\"");
        SetDefault(".png", L"KanolinkTest.Png");
    }

    void TearDown() override
    {
        for (const std::wstring& file : {handOff, program, viewer})
            ::DeleteFileW(file.c_str());
        ::RemoveDirectoryW(folder.c_str());
    }

    static std::string FromWide(const std::wstring& text) { return KanolinkTest::ToCodePage932(text); }

    Outcome Run(const Keys& keys)
    {
        KanolinkTest::WriteHandOff(handOff, keys);
        // The path with its blanks, unquoted, is the whole command line.
        return KanolinkTest::RunProgram(program, handOff);
    }

    std::wstring Command() const { return L"\"" + viewer + L"\" \"%1\""; }

    KanolinkTest::SavedClassKeys savedKeys{touchedKeys};
    std::wstring folder, program, viewer, handOff;
};

} // namespace

TEST_F(KanolinkProgram, AssociationWritesTheChosenEntriesForTheViewerBesideIt)
{
    const Outcome outcome = Run(Associate());
    EXPECT_EQ(Texts{}, outcome.boxes);
    EXPECT_EQ(0u, outcome.exitCode);

    for (const char* extension : {".jpg", ".cbz", ".webp"})
        EXPECT_EQ(L"zo2-img-files", Value(extension)) << extension;
    EXPECT_EQ(L"Kanoru イメージ", Value("zo2-img-files"));
    EXPECT_EQ(Command(), Value("zo2-img-files\\Shell\\Open\\Command"));
    EXPECT_EQ(viewer + L",1", Value("zo2-img-files\\DefaultIcon"));
    EXPECT_EQ(L"zo2-bkmk-files", Value(".knb"));
    EXPECT_EQ(L"Kanoru ブックマーク", Value("zo2-bkmk-files"));
    EXPECT_EQ(Command(), Value("zo2-bkmk-files\\Shell\\Open\\Command"));
    EXPECT_EQ(viewer + L",2", Value("zo2-bkmk-files\\DefaultIcon"));
    EXPECT_EQ(L"KanolinkTest.Png", Value(".png"));

    // The verbs: under zip's own ProgID, which keeps its description and icon, under the image
    // class for cbz, and on folders.
    for (const char* verb : {"KanolinkTest.Zip\\shell\\open-by-zo2", "zo2-img-files\\Shell\\open-by-zo2",
                             "Folder\\Shell\\open-by-zo2"}) {
        EXPECT_EQ(L"Kanoruで開く(&2)", Value(verb)) << verb;
        EXPECT_EQ(Command(), Value(std::string(verb) + "\\Command")) << verb;
    }
    EXPECT_EQ(L"ZIP 書庫", Value("KanolinkTest.Zip"));
    EXPECT_EQ(L"C:\\Other\\other.exe,3", Value("KanolinkTest.Zip\\DefaultIcon"));
    EXPECT_EQ(L"\"C:\\Other\\other.exe\" \"%1\"", Value("KanolinkTest.Zip\\shell\\open\\command"));
}

TEST_F(KanolinkProgram, RemovalTakesBackEveryEntryAndVerbButLeavesTheKeys)
{
    KanoruTest::ExtendTimeout(120);
    const bool folderOpens = KeyExists("Folder\\shell\\open");
    ASSERT_EQ(0u, Run(Associate()).exitCode);
    const Outcome outcome = Run(With(NothingTicked(), {{L"EnvSetOthersOld", L"webp"}}));
    EXPECT_EQ(Texts{}, outcome.boxes);
    EXPECT_EQ(0u, outcome.exitCode);

    for (const char* extension : {".jpg", ".cbz", ".webp", ".knb"})
        EXPECT_EQ(L"", Value(extension)) << extension;
    EXPECT_FALSE(KeyExists("zo2-img-files"));
    EXPECT_FALSE(KeyExists("zo2-bkmk-files"));
    EXPECT_FALSE(KeyExists("KanolinkTest.Zip\\shell\\open-by-zo2"));
    EXPECT_FALSE(KeyExists("Folder\\Shell\\open-by-zo2"));
    EXPECT_EQ(folderOpens, KeyExists("Folder\\shell\\open"));
    EXPECT_EQ(L"KanolinkTest.Zip", Value(".zip"));
    EXPECT_EQ(L"KanolinkTest.Png", Value(".png"));
}

TEST_F(KanolinkProgram, AFileThatCannotBeLoadedEndsWithOneAndNoBox)
{
    // No such file; and a quoted path names a file whose name begins with the quote.
    KanolinkTest::WriteHandOff(handOff, NothingTicked());
    for (const std::wstring& arguments : {folder + L"\\missing.cfg", L"\"" + handOff + L"\""}) {
        const Outcome outcome = KanolinkTest::RunProgram(program, arguments);
        EXPECT_EQ(1u, outcome.exitCode);
        EXPECT_EQ(Texts{}, outcome.boxes);
    }
}

TEST_F(KanolinkProgram, OnlyTrueInSmallLettersTicksABox)
{
    const Outcome outcome =
        Run(With(NothingTicked(), {{L"RelationJPG", L"True"}, {L"RelationCBZ", L"true "}}));
    EXPECT_EQ(0u, outcome.exitCode);
    EXPECT_EQ(Texts{}, outcome.boxes);
    EXPECT_FALSE(KeyExists(".jpg"));
    EXPECT_FALSE(KeyExists(".cbz"));
    EXPECT_FALSE(KeyExists("zo2-img-files"));
}

TEST_F(KanolinkProgram, AVerbForAnArchiveWithoutAssociationIsShownAndTheRestWritten)
{
    const Outcome outcome = Run(With(NothingTicked(), {{L"MenuRAR", L"true"}, {L"MenuZIP", L"true"}}));
    EXPECT_EQ(0u, outcome.exitCode);
    EXPECT_EQ(Texts{L".rar" + std::wstring(advice)}, outcome.boxes);
    EXPECT_FALSE(KeyExists(".rar"));
    EXPECT_EQ(Command(), Value("KanolinkTest.Zip\\shell\\open-by-zo2\\Command"));
}

namespace {

// A hand-off file that would associate, with one fault; an empty reason stands for the viewer's
// path, which its case takes away.
struct RefusedFile
{
    const char* name;
    Keys keys;
    std::wstring reason;
};

// The case's name in the test's name.
void PrintTo(const RefusedFile& file, std::ostream* out)
{
    *out << file.name;
}

class KanolinkRefusal : public KanolinkProgram, public testing::WithParamInterface<RefusedFile>
{
};

} // namespace

TEST_P(KanolinkRefusal, ABadFileIsRefusedWholeWithOneBoxAndNoRegistryChange)
{
    // A program with a box, and the root read twice: slow on a busy machine.
    KanoruTest::ExtendTimeout(120);
    std::wstring reason = GetParam().reason;
    if (reason.empty()) {
        ASSERT_TRUE(::DeleteFileW(viewer.c_str()));
        reason = L"'" + viewer + L"' を関連付けに使用できません";
    }
    const std::string before = KanolinkTest::ExportClassesRoot();
    const Outcome outcome = Run(GetParam().keys);
    EXPECT_EQ(2u, outcome.exitCode);
    EXPECT_EQ(Texts{reason}, outcome.boxes);
    EXPECT_TRUE(before == KanolinkTest::ExportClassesRoot());
}

INSTANTIATE_TEST_SUITE_P(
    Faults, KanolinkRefusal,
    testing::Values(RefusedFile{"NoRelationJPG", Without(Associate(), L"RelationJPG"),
                                L"コンフィグデータ 'RelationJPG' の取得に失敗しました"},
                    RefusedFile{"NoEnvDesc", Without(Associate(), L"EnvDesc"),
                                L"コンフィグデータ 'EnvDesc' の取得に失敗しました"},
                    RefusedFile{"BackslashInAList", With(Associate(), {{L"EnvSetOthers", L"web\\p"}}),
                                L"web\\p は不正な拡張子っぽいです"},
                    RefusedFile{"PathInAnOldList", With(Associate(), {{L"EnvRClickOthersOld", L"zip;..\\x"}}),
                                L"..\\x は不正な拡張子っぽいです"},
                    RefusedFile{"NoViewerBesideIt", Associate(), L""}));
