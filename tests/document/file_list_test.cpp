#include "document/file_list.h"

#include "file_list_test_support.h"

#include "formats/archive_fixtures.h"
#include "formats/bmp_loader.h"
#include "formats/image_loader.h"
#include "formats/jpeg_loader.h"
#include "foundation/file_test_support.h"
#include "foundation/shortcut.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

using ArchiveFixtures::Zip;
using Brivox::String;
using FileTestSupport::Ansi;
using FileTestSupport::MakeFolder;
using FileTestSupport::WriteText;
using Paths = std::vector<std::wstring>;

namespace {

// The rules the document fills from the settings: each list split at every ';', empty pieces kept.
FileAddRules Rules(bool ignoreBySuffix = true, const wchar_t* accepted = L"", const wchar_t* ignored = L"",
                   bool followShortcuts = false, bool topFolderOnly = false)
{
    FileAddRules rules;
    rules.followShortcuts = followShortcuts;
    rules.ignoreBySuffix = ignoreBySuffix;
    rules.acceptedSuffixes = String(accepted).Split(Brivox::MakeCharList(L';'));
    rules.ignoredSuffixes = String(ignored).Split(Brivox::MakeCharList(L';'));
    rules.topFolderOnly = topFolderOnly;
    return rules;
}

// The BMP and JPEG loaders for the time of a test, so that the readable extensions are known.
class ImageLoaderRegistration
{
public:
    ImageLoaderRegistration() : m_saved(Brivox::GetImageLoaderFactories().Snapshot())
    {
        Brivox::GetImageLoaderFactories().Replace(
            {{0, std::make_shared<Brivox::DefaultFactory<Brivox::CBmpLoader, Brivox::IImageLoader>>()},
             {0, std::make_shared<Brivox::DefaultFactory<Brivox::CJpgLoader, Brivox::IImageLoader>>()}});
    }
    ~ImageLoaderRegistration() { Brivox::GetImageLoaderFactories().Replace(*m_saved); }
    ImageLoaderRegistration(const ImageLoaderRegistration&) = delete;
    ImageLoaderRegistration& operator=(const ImageLoaderRegistration&) = delete;

private:
    std::shared_ptr<const Brivox::FactoryList<Brivox::IImageLoader>> m_saved;
};

void SetWriteTime(const String& path, WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second,
                  WORD milliseconds)
{
    const SYSTEMTIME parts{year, month, 0, day, hour, minute, second, milliseconds};
    FILETIME time;
    ASSERT_TRUE(::SystemTimeToFileTime(&parts, &time));
    HANDLE file = ::CreateFileW(path.CStr(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(::SetFileTime(file, nullptr, nullptr, &time));
    ::CloseHandle(file);
}

class FileListTest : public FileTestSupport::TempFolderTest
{
protected:
    void SetUp() override
    {
        TempFolderTest::SetUp();
        ASSERT_EQ(932u, ::GetACP()) << "run with LC_ALL=ja_JP.UTF-8";
        list.PushTempFolder(At(L"t\\$Kanoru$/"));
        list.SetWindow(&window);
        list.SetKeyMode(KeyByNumbers);
    }

    // Folders and files below the test folder; names ending with '\' are folders.
    void Make(const std::vector<std::wstring>& names)
    {
        for (const std::wstring& name : names) {
            if (name.back() == L'\\')
                MakeFolder(At(name.substr(0, name.size() - 1).c_str()));
            else
                WriteText(At(name.c_str()), "x");
        }
    }

    // The entries' paths relative to the test folder.
    Paths Entries() const { return RelativeEntries(list, root); }

    std::wstring CurrentEntry() const { return Entries().at(list.GetCurrent()); }

    ImageLoaderRegistration images;
    ArchiveFixtures::ZipRegistration zip;
    ObserverRecord window;
    CFileList list{Brivox::SArchiverContext{}};
};

} // namespace

// ---- Opens

TEST_F(FileListTest, AnImageOpensWithTheImagesBesideItAndBecomesCurrent)
{
    Make({L"d\\", L"d\\b.bmp", L"d\\a9.bmp", L"d\\a10.bmp", L"d\\Mixed.JPG", L"d\\第２話.bmp",
          L"d\\第10話.bmp", L"d\\README", L"d\\a.txt", L"d\\sub\\", L"d\\sub\\c.bmp"});
    ArchiveFixtures::WriteFile(At(L"d\\book.zip"), Zip({{"1.bmp", "one"}}));
    const Paths expected{L"d\\Mixed.JPG", L"d\\a9.bmp",     L"d\\a10.bmp",
                         L"d\\b.bmp",     L"d\\第２話.bmp", L"d\\第10話.bmp"};

    // The file may be named in other letters than the folder holds it.
    for (const wchar_t* given : {L"d\\b.bmp", L"d\\B.BMP"}) {
        SCOPED_TRACE(Ansi(given));
        list.Clear();
        list.OpenPath(At(given), Rules());
        EXPECT_EQ(Entries(), expected);
        EXPECT_EQ(CurrentEntry(), L"d\\b.bmp");
    }
}

TEST_F(FileListTest, AFolderOpensWholeAndTwiceAddsNothing)
{
    Make({L"d\\", L"d\\b.bmp", L"d\\a9.bmp", L"d\\a10.bmp", L"d\\Mixed.JPG", L"d\\第２話.bmp",
          L"d\\第10話.bmp", L"d\\README", L"d\\a.txt", L"d\\sub\\", L"d\\sub\\c.bmp", L"d\\.dot\\",
          L"d\\.dot\\.e.bmp", L"e\\", L"e\\z.bmp"});
    ArchiveFixtures::WriteFile(At(L"d\\book.zip"), Zip({{"1.bmp", "one"}}));
    // Names that begin with a dot are ordinary files and folders.
    const Paths folder{L"d\\.dot\\.e.bmp", L"d\\Mixed.JPG",  L"d\\a9.bmp",
                       L"d\\a10.bmp",      L"d\\b.bmp",      L"d\\book.zip\\1.bmp",
                       L"d\\sub\\c.bmp",   L"d\\第２話.bmp", L"d\\第10話.bmp"};

    // An open appends; a folder makes the first entry of the whole list current.
    list.OpenPath(At(L"e\\z.bmp"), Rules());
    list.OpenPath(At(L"d\\"), Rules());
    Paths expected{L"e\\z.bmp"};
    expected.insert(expected.end(), folder.begin(), folder.end());
    EXPECT_EQ(Entries(), expected);
    EXPECT_EQ(list.GetCurrent(), 0);

    list.SetCurrent(3);
    list.OpenPath(At(L"d\\"), Rules());
    EXPECT_EQ(Entries(), expected);
    EXPECT_EQ(list.GetCurrent(), 0);

    list.Clear();
    list.OpenPath(At(L"d\\"), Rules(true, L"", L"", false, true));
    expected = folder;
    expected.erase(std::find(expected.begin(), expected.end(), L"d\\sub\\c.bmp"));
    expected.erase(expected.begin());
    EXPECT_EQ(Entries(), expected) << "top folder only";
}

TEST_F(FileListTest, AnArchiveOpensWithItsNestedEntriesInKeyOrder)
{
    ArchiveFixtures::WriteFile(At(L"x.zip"), Zip({{"1.bmp", "one"},
                                                  {"sub/10.bmp", "ten"},
                                                  {"sub/9.bmp", "nine"},
                                                  {"notes.txt", "text"},
                                                  {"inner.zip", Zip({{"2.bmp", "two"}, {"README", "r"}})},
                                                  {Ansi(L"日本.bmp"), "nihon"},
                                                  {"NOEXT", "n"}}));
    list.OpenPath(At(L"e.bmp"), Rules()); // a missing file adds nothing
    ASSERT_EQ(list.GetCount(), 0);
    WriteText(At(L"a.bmp"), "a");
    list.OpenPaths({At(L"a.bmp")}, Rules());

    list.OpenPath(At(L"x.zip"), Rules());
    EXPECT_EQ(Entries(), (Paths{L"a.bmp", L"x.zip\\1.bmp", L"x.zip\\inner.zip\\2.bmp", L"x.zip\\sub/9.bmp",
                                L"x.zip\\sub/10.bmp", L"x.zip\\日本.bmp"}));
    EXPECT_EQ(list.GetCurrent(), 0);

    // Stored and deflated entries alike, read through their archives.
    const std::vector<std::string> contents{"one", "two", "nine", "ten", "nihon"};
    for (int i = 1; i < list.GetCount(); ++i) {
        const CFileInfo& entry = list.GetEntry(i);
        EXPECT_TRUE(entry.IsInArchive());
        EXPECT_EQ(ArchiveFixtures::Text(entry.GetFileData()->GetBytes()), contents[i - 1]);
    }
}

TEST_F(FileListTest, NestedArchivesOpenEightDeepAndNeverOutsideTheExtractionFolder)
{
    // L1.zip holds 1.bmp and L2.zip, which holds 2.bmp and L3.zip, and so on down to L9.zip.
    std::string level = Zip({{"9.bmp", "nine"}});
    for (int k = 8; k >= 1; --k)
        level = Zip(
            {{std::to_string(k) + ".bmp", std::to_string(k)}, {"L" + std::to_string(k + 1) + ".zip", level}});
    ArchiveFixtures::WriteFile(At(L"L1.zip"), level);
    list.OpenPath(At(L"L1.zip"), Rules());
    ASSERT_EQ(list.GetCount(), 9);
    std::wstring inside = L"L1.zip\\";
    for (int k = 1; k <= 8; ++k) {
        EXPECT_EQ(Entries()[k - 1], inside + std::to_wstring(k) + L".bmp");
        EXPECT_EQ(list.GetEntry(k - 1).GetOutermostPath(), At(L"L1.zip"));
        inside += L"L" + std::to_wstring(k + 1) + L".zip" + (k < 8 ? L"\\" : L"");
    }
    EXPECT_EQ(Entries()[8], inside) << "the ninth level stays a plain entry of the eighth";

    // A nested archive whose name climbs out of the extraction folder is not written there.
    ArchiveFixtures::WriteFile(At(L"c.zip"),
                               Zip({{"1.bmp", "one"}, {"..\\..\\in.zip", Zip({{"2.bmp", "two"}})}}));
    list.Clear();
    EXPECT_NO_THROW(list.OpenPath(At(L"c.zip"), Rules()));
    for (const std::wstring& entry : Entries())
        EXPECT_EQ(entry.find(L"2.bmp"), std::wstring::npos);
    EXPECT_FALSE(FileTestSupport::Exists(At(L"in.zip")));
    EXPECT_FALSE(FileTestSupport::Exists(At(L"t\\in.zip")));
}

TEST_F(FileListTest, TheSuffixFilterFollowsTheTwoLists)
{
    Make({L"d\\", L"d\\a.txt", L"d\\README", L"d\\b.bmp", L"d\\c.JPG"});
    struct Case
    {
        bool ignoreBySuffix;
        const wchar_t* accepted;
        const wchar_t* ignored;
        Paths expected;
    };
    const Case cases[] = {
        {true, L"", L"", {L"d\\b.bmp", L"d\\c.JPG"}},
        // An empty ignore list still holds the empty suffix: a name without one stays out.
        {false, L"", L"", {L"d\\a.txt", L"d\\b.bmp", L"d\\c.JPG"}},
        {false, L"", L"TXT", {L"d\\README", L"d\\b.bmp", L"d\\c.JPG"}},
        {true, L"TXT", L"bmp", {L"d\\a.txt", L"d\\c.JPG"}},
        {true, L"txt;", L"jpg", {L"d\\README", L"d\\a.txt", L"d\\b.bmp"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Ansi(String(L"accepted '") + c.accepted + L"' ignored '" + c.ignored + L"'"));
        list.Clear();
        list.OpenPath(At(L"d\\"), Rules(c.ignoreBySuffix, c.accepted, c.ignored));
        EXPECT_EQ(Entries(), c.expected);
    }
}

TEST_F(FileListTest, ShortcutsAreFollowedOncePerOpen)
{
    Make({L"d\\", L"d\\1.bmp", L"e\\", L"e\\far.bmp", L"f\\", L"f\\g.bmp"});
    WriteText(At(L"d\\broken.lnk"), "not a shortcut");
    const auto link = [this](const wchar_t* name, const String& target) {
        Brivox::ShortcutInfo info;
        info.targetPath = target;
        Brivox::CreateShortcut(At(name), info);
    };
    // Two shortcuts that lead to each other; the first is made while its target is a stand-in.
    WriteText(At(L"d\\loop_b.lnk"), "");
    link(L"d\\loop_a.lnk", At(L"d\\loop_b.lnk"));
    link(L"d\\loop_b.lnk", At(L"d\\loop_a.lnk"));
    link(L"d\\pic.lnk", At(L"e\\far.bmp"));
    link(L"d\\dir.lnk", At(L"f"));

    list.OpenPath(At(L"d\\"), Rules(true, L"lnk", L"", true));
    EXPECT_EQ(Entries(), (Paths{L"d\\1.bmp", L"d\\broken.lnk", L"e\\far.bmp", L"f\\g.bmp"}));

    // Beside an opened file, shortcuts to folders are not followed.
    list.Clear();
    list.OpenPath(At(L"d\\1.bmp"), Rules(true, L"lnk", L"", true));
    EXPECT_EQ(Entries(), (Paths{L"d\\1.bmp", L"d\\broken.lnk", L"e\\far.bmp"}));
    EXPECT_EQ(CurrentEntry(), L"d\\1.bmp");

    // Without following, a shortcut is a file like any other.
    list.Clear();
    list.OpenPath(At(L"d\\"), Rules(true, L"lnk", L"", false));
    EXPECT_EQ(Entries(), (Paths{L"d\\1.bmp", L"d\\broken.lnk", L"d\\dir.lnk", L"d\\loop_a.lnk",
                                L"d\\loop_b.lnk", L"d\\pic.lnk"}));
}

TEST_F(FileListTest, WhatCannotBeListedAddsNothing)
{
    WriteText(At(L"a.bmp"), "a");
    EXPECT_NO_THROW(list.OpenPath(At(L"missing\\"), Rules()));
    EXPECT_NO_THROW(list.OpenPath(At(L"missing\\x.bmp"), Rules()));
    EXPECT_EQ(list.GetCount(), 0);
    EXPECT_EQ(list.GetCurrent(), -1);

    // Named on its own, a missing file is an entry that fails when it is decoded.
    list.OpenPaths({At(L"missing\\"), At(L"gone.bmp"), At(L"a.bmp")}, Rules());
    EXPECT_EQ(Entries(), (Paths{L"a.bmp", L"gone.bmp"}));
    EXPECT_EQ(list.GetCurrent(), 0) << "the first path is not in the list";

    list.OpenPaths({}, Rules());
    EXPECT_EQ(list.GetCount(), 2);
}

TEST_F(FileListTest, OpenPathsMakesTheFirstPathCurrent)
{
    Make({L"d\\", L"d\\2.bmp", L"d\\1.bmp", L"c.bmp"});
    ArchiveFixtures::WriteFile(At(L"x.zip"), Zip({{"b.bmp", "b"}, {"a.bmp", "a"}}));
    list.OpenPaths({At(L"c.bmp"), At(L"x.zip"), At(L"d\\"), At(L"c.bmp")}, Rules());
    EXPECT_EQ(Entries(), (Paths{L"c.bmp", L"d\\1.bmp", L"d\\2.bmp", L"x.zip\\a.bmp", L"x.zip\\b.bmp"}));
    EXPECT_EQ(CurrentEntry(), L"c.bmp");
}

// ---- Keys

TEST(FileInfoKeys, NumericKeysPadRunsAndKeepFractions)
{
    const std::wstring longRun = std::wstring(L"p:") + wchar_t(9) + L"123456789.000";
    const struct
    {
        const wchar_t* path;
        std::wstring key;
    } cases[] = {
        {L"img12.jpg", L"img00000012.jpg"},
        {L"img12", L"img00000012.000"},
        {L"vol1.5.2", L"vol00000001.5.00000002.000"},
        {L"x1.23456", L"x00000001.234"},
        {L"a1.", L"a00000001."}, // nothing read past the end
        {L"img１２.jpg", L"img00000012.jpg"},
        {L"x1．5", L"x00000001.5"},
        {L"p0123", L"p00000123.000"},
        {L"p00000000000000000042", L"p00000042.000"},
        {L"p0", L"p00000000.000"},
        {L"p123456789", longRun},
        {L"C:\\第2巻\\b", L"C:\\第00000002.000巻\\b"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Ansi(c.path));
        EXPECT_EQ(Wide(CFileInfo::MakeNumericKey(c.path)), c.key);
        EXPECT_EQ(Wide(CFileInfo(c.path, KeyByNumbers).GetKey()), c.key);
    }
}

TEST(FileInfoKeys, NameModesAndOtherModes)
{
    const String path = L"C:\\Dir\\Page１0.JPG";
    const struct
    {
        int mode;
        const wchar_t* key;
    } cases[] = {
        {KeyByPath, L"C:\\Dir\\Page１0.JPG"},
        {KeyByLowerPath, L"c:\\dir\\page１0.jpg"},
        {KeyByFileName, L"Page１0.JPG"},
        {KeyByLowerFileName, L"page１0.jpg"},
        {KeyByNumbers, L"C:\\Dir\\Page00000010.JPG"},
        {7, L""},
        {-1, L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        CFileInfo entry(path, KeyByPath);
        entry.BuildSortKey(c.mode);
        EXPECT_EQ(Wide(entry.GetKey()), c.key);
    }
}

class FileInfoFacts : public FileTestSupport::TempFolderTest
{
};

TEST_F(FileInfoFacts, SizeAndTimeKeysOfFiles)
{
    WriteText(At(L"five.bmp"), "12345");
    SetWriteTime(At(L"five.bmp"), 2024, 2, 29, 23, 59, 58, 123);
    EXPECT_EQ(Wide(CFileInfo(At(L"five.bmp"), KeyBySize).GetKey()), L"0000000005");
    EXPECT_EQ(Wide(CFileInfo(At(L"five.bmp"), KeyByTime).GetKey()), L"2024/02/29 23:59:58:123");

    // A file that cannot be read keys as size 0 and no time, without an exception.
    EXPECT_EQ(Wide(CFileInfo(At(L"gone.bmp"), KeyBySize).GetKey()), L"0000000000");
    EXPECT_EQ(Wide(CFileInfo(At(L"gone.bmp"), KeyByTime).GetKey()), L"");
}

TEST_F(FileInfoFacts, FilesOfTwoGibibytesAndMoreKeyAfterSmallerOnes)
{
    // Sparse: the size is set, nothing is written.
    HANDLE file = ::CreateFileW(At(L"big.bmp").CStr(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    LARGE_INTEGER size;
    size.QuadPart = 3000000000LL;
    ASSERT_TRUE(::SetFilePointerEx(file, size, nullptr, FILE_BEGIN));
    ASSERT_TRUE(::SetEndOfFile(file));
    ::CloseHandle(file);
    WriteText(At(L"small.bmp"), "12345");

    const String big = CFileInfo(At(L"big.bmp"), KeyBySize).GetKey();
    EXPECT_EQ(Wide(big), L"3000000000");
    EXPECT_LT(CFileInfo(At(L"small.bmp"), KeyBySize).GetKey(), big);
}

TEST_F(FileInfoFacts, FactsOfFilesAndOfArchiveEntries)
{
    ArchiveFixtures::ZipRegistration zip;
    MakeFolder(At(L"書庫"));
    ArchiveFixtures::WriteFile(
        At(L"書庫\\x.zip"),
        Zip({{"abc.bmp", "abc"}, {"inner.zip", Zip({{"pad", "p"}, {"12345.bmp", "12345"}})}}));
    WriteText(At(L"書庫\\abc.bmp"), "abc");
    SetWriteTime(At(L"書庫\\abc.bmp"), 2001, 1, 2, 3, 4, 5, 6);
    CFileList list{Brivox::SArchiverContext{}};
    list.PushTempFolder(At(L"t\\"));
    list.SetKeyMode(KeyBySize);
    list.OpenPaths({At(L"書庫\\abc.bmp"), At(L"書庫\\x.zip")}, Rules(false));
    ASSERT_EQ(list.GetCount(), 3);

    const CFileInfo& plain = list.GetEntry(0);
    EXPECT_FALSE(plain.IsInArchive());
    EXPECT_EQ(plain.GetIndex(), -1);
    EXPECT_EQ(plain.GetSize(), 3u);
    EXPECT_EQ(Wide(plain.FormatTime()), L"2001/01/02 03:04:05:006");
    EXPECT_EQ(plain.GetOutermostPath(), At(L"書庫\\abc.bmp"));
    EXPECT_EQ(Wide(plain.GetContainerName()), L"書庫");
    EXPECT_EQ(Wide(plain.GetMd5()), L"900150983cd24fb0d6963f7d28e17f72");

    const CFileInfo& entry = list.GetEntry(1);
    EXPECT_EQ(entry.GetPath(), At(L"書庫\\x.zip\\abc.bmp"));
    EXPECT_EQ(Wide(entry.GetMd5()), L"900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(Wide(entry.GetContainerName()), L"x");
    EXPECT_EQ(Wide(entry.FormatTime()), L"2025/04/10 13:33:02:000"); // as the archive stores it

    const CFileInfo& nested = list.GetEntry(2);
    EXPECT_EQ(nested.GetPath(), At(L"書庫\\x.zip\\inner.zip\\12345.bmp"));
    EXPECT_EQ(nested.GetSize(), 5u);
    EXPECT_EQ(Wide(nested.GetKey()), L"0000000005");
    EXPECT_EQ(nested.GetOutermostPath(), At(L"書庫\\x.zip"));
    EXPECT_EQ(Wide(nested.GetContainerName()), L"inner");
    EXPECT_EQ(nested.GetIndex(), 1);

    list.SetCurrent(2);
    EXPECT_EQ(list.GetCurrentOutermostPath(), At(L"書庫\\x.zip"));
    EXPECT_EQ(Wide(list.GetCurrentContainerName()), L"inner");
    EXPECT_EQ(Wide(list.GetCurrentTimeText()), L"2025/04/10 13:33:02:000");
    EXPECT_EQ(Wide(list.GetCurrentMd5()), L"827ccb0eea8a706c4c34a16891f84e7b");

    // A copy holds every field but keeps no archive open.
    list.SetState(2, 2);
    std::shared_ptr<CFileInfo> copy = list.GetEntryCopy(2);
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->GetPath(), nested.GetPath());
    EXPECT_EQ(copy->GetKey(), nested.GetKey());
    EXPECT_EQ(copy->GetIndex(), 1);
    EXPECT_EQ(copy->GetState(), 2);
    EXPECT_TRUE(copy->IsInArchive());
    EXPECT_FALSE(list.GetEntryCopy(3));
    list.Clear();
    EXPECT_FALSE(copy->IsInArchive());
    EXPECT_EQ(copy->GetSize(), 0u);
    EXPECT_EQ(copy->GetOutermostPath(), copy->GetPath());
    EXPECT_THROW(list.GetCurrentMd5(), Brivox::InvalidOprationException);
}

TEST(FileInfoKeys, KeysAreBuiltInAnyModeOnEveryEntry)
{
    // Enough entries for every processor's share, and a count that does not divide evenly.
    CFileList list{Brivox::SArchiverContext{}};
    for (int i = 0; i < 203; ++i)
        list.Insert(Brivox::FormatString(L"C:\\f%d\\p%d.bmp", i % 7, i), false);
    for (int mode : {KeyByNumbers, KeyByFileName, KeyByNumbers}) {
        list.SetKeyMode(mode);
        for (int i = 0; i < list.GetCount(); ++i) {
            CFileInfo expected(list.GetEntry(i).GetPath(), mode);
            ASSERT_EQ(list.GetEntry(i).GetKey(), expected.GetKey()) << i;
        }
    }
}

// ---- Sorting

TEST_F(FileListTest, NumbersSortByValueInModeSixOnly)
{
    const struct
    {
        std::vector<std::wstring> names; // in the order made
        int mode;
        Paths expected;
    } cases[] = {
        {{L"p123456789", L"p12345678", L"p10", L"p0123", L"p9"},
         KeyByNumbers,
         {L"p9", L"p10", L"p0123", L"p12345678", L"p123456789"}},
        {{L"page2.jpg", L"page10.jpg", L"page1.jpg"},
         KeyByNumbers,
         {L"page1.jpg", L"page2.jpg", L"page10.jpg"}},
        {{L"page2.jpg", L"page10.jpg", L"page1.jpg"}, KeyByPath, {L"page1.jpg", L"page10.jpg", L"page2.jpg"}},
        {{L"a123456789.jpg", L"a12.jpg"}, KeyByNumbers, {L"a12.jpg", L"a123456789.jpg"}},
    };
    for (const auto& c : cases) {
        list.Clear();
        list.SetKeyMode(c.mode);
        std::vector<String> paths;
        for (const std::wstring& name : c.names)
            paths.push_back(At(name.c_str()));
        list.OpenPaths(paths, Rules(false, L"", L"-"));
        EXPECT_EQ(Entries(), c.expected);
    }
}

TEST_F(FileListTest, SortingIsTheSameWhateverTheOrderBefore)
{
    // Equal file names in several folders, and files whose times are equal or unreadable.
    Make({L"c\\", L"a\\", L"b\\", L"c\\same.bmp", L"a\\same.bmp", L"b\\same.bmp", L"t1.bmp", L"t2.bmp",
          L"t3.bmp", L"t4.bmp"});
    SetWriteTime(At(L"t1.bmp"), 2020, 1, 1, 0, 0, 0, 0);
    SetWriteTime(At(L"t2.bmp"), 2019, 1, 1, 0, 0, 0, 0);
    SetWriteTime(At(L"t3.bmp"), 2020, 1, 1, 0, 0, 0, 0);
    SetWriteTime(At(L"t4.bmp"), 2018, 1, 1, 0, 0, 0, 0);
    for (const wchar_t* name : {L"a\\same.bmp", L"b\\same.bmp", L"c\\same.bmp"})
        SetWriteTime(At(name), 2000, 1, 1, 0, 0, 0, 0);
    std::vector<String> paths;
    for (const wchar_t* name : {L"c\\same.bmp", L"a\\same.bmp", L"b\\same.bmp", L"t1.bmp", L"t2.bmp",
                                L"t3.bmp", L"t4.bmp", L"t5.bmp"})
        paths.push_back(At(name));

    std::mt19937 random(7);
    for (int run = 0; run < 4; ++run) {
        SCOPED_TRACE(run);
        std::shuffle(paths.begin(), paths.end(), random);
        list.Clear();
        list.SetKeyMode(KeyByPath);
        list.OpenPaths(paths, Rules(false, L"", L"-"));
        list.SortBy(KeyByFileName);
        EXPECT_EQ(Entries(), (Paths{L"a\\same.bmp", L"b\\same.bmp", L"c\\same.bmp", L"t1.bmp", L"t2.bmp",
                                    L"t3.bmp", L"t4.bmp", L"t5.bmp"}));
        // t5.bmp never existed: its time is unknown, and it sorts first without an exception.
        list.SetKeyMode(KeyByTime);
        EXPECT_EQ(Entries(), (Paths{L"t5.bmp", L"a\\same.bmp", L"b\\same.bmp", L"c\\same.bmp", L"t4.bmp",
                                    L"t2.bmp", L"t1.bmp", L"t3.bmp"}));
    }
}

TEST_F(FileListTest, AFileDeletedBeforeATimeSortSortsTheSameEveryTime)
{
    Make({L"1.bmp", L"2.bmp", L"3.bmp"});
    SetWriteTime(At(L"1.bmp"), 2022, 1, 1, 0, 0, 0, 0);
    SetWriteTime(At(L"2.bmp"), 2021, 1, 1, 0, 0, 0, 0);
    SetWriteTime(At(L"3.bmp"), 2020, 1, 1, 0, 0, 0, 0);
    list.OpenPath(At(L"1.bmp"), Rules());
    ASSERT_TRUE(::DeleteFileW(At(L"2.bmp").CStr()));
    for (int run = 0; run < 3; ++run) {
        EXPECT_NO_THROW(list.SortBy(KeyByTime));
        EXPECT_EQ(Entries(), (Paths{L"2.bmp", L"3.bmp", L"1.bmp"}));
        EXPECT_EQ(CurrentEntry(), L"1.bmp");
        list.SortBy(KeyByNumbers);
    }
}

TEST_F(FileListTest, SortByKeepsTheListsKeysAndTheCurrentEntry)
{
    for (const wchar_t* path : {L"C:\\b10.bmp", L"C:\\b9.bmp", L"C:\\a.bmp"})
        list.Insert(path, false);
    list.SetCurrent(1);
    window.refreshes = 0;
    list.SortBy(KeyByPath);
    EXPECT_EQ(Entries(), (Paths{L"C:\\a.bmp", L"C:\\b10.bmp", L"C:\\b9.bmp"}));
    EXPECT_EQ(CurrentEntry(), L"C:\\b9.bmp");
    EXPECT_EQ(Wide(list.GetEntry(1).GetKey()), L"C:\\b00000010.bmp");
    EXPECT_EQ(window.refreshes, 1);

    // Neighbours that name the same file are one entry after the sort.
    list.Insert(L"C:\\a.bmp", false);
    list.Insert(L"C:\\b10.bmp", true);
    list.SortBy(KeyByNumbers);
    EXPECT_EQ(Entries(), (Paths{L"C:\\a.bmp", L"C:\\b9.bmp", L"C:\\b10.bmp"}));
    EXPECT_EQ(CurrentEntry(), L"C:\\b9.bmp");

    // A new key mode sorts as well, without telling the window.
    window.refreshes = 0;
    list.SetKeyMode(KeyByPath);
    EXPECT_EQ(Entries(), (Paths{L"C:\\a.bmp", L"C:\\b10.bmp", L"C:\\b9.bmp"}));
    EXPECT_EQ(CurrentEntry(), L"C:\\b9.bmp");
    EXPECT_EQ(window.refreshes, 0);
}

// ---- Current entry, duplicates, states

TEST_F(FileListTest, InsertAddsAtTheEndOrAfterTheCurrentEntry)
{
    list.Insert(L"C:\\a.bmp", true);
    EXPECT_EQ(list.GetCurrent(), 0) << "the first entry of an empty list";
    list.Insert(L"C:\\z.bmp", false);
    list.Insert(L"C:\\m.bmp", true);
    EXPECT_EQ(Entries(), (Paths{L"C:\\a.bmp", L"C:\\m.bmp", L"C:\\z.bmp"}));
    EXPECT_EQ(list.GetCurrent(), 0);
    EXPECT_EQ(Wide(list.GetEntry(1).GetKey()), L"C:\\m.bmp");

    window.refreshes = 0;
    list.Insert(L"c:\\A.BMP", true);
    list.Insert(L"C:\\a.bmp", false);
    EXPECT_EQ(list.GetCount(), 3) << "the current entry's own path";
    list.SetCurrent(2);
    list.Insert(L"C:\\a.bmp", false);
    EXPECT_EQ(list.GetCount(), 4);
    EXPECT_EQ(window.refreshes, 2);
}

TEST_F(FileListTest, RemoveDuplicatesKeepsTheFirstOfEveryPath)
{
    for (const wchar_t* path : {L"C:\\b", L"C:\\a", L"C:\\b", L"C:\\A", L"C:\\c", L"C:\\a", L"C:\\b"}) {
        list.SetCurrent(-1); // the last entry, so that Insert adds every path
        list.Insert(path, false);
    }
    ASSERT_EQ(list.GetCount(), 7);
    list.RemoveDuplicates();
    EXPECT_EQ(Entries(), (Paths{L"C:\\b", L"C:\\a", L"C:\\A", L"C:\\c"}));
}

TEST_F(FileListTest, CurrentIndexWrapsAndIndexOfFallsBackToCase)
{
    list.SetCurrent(-1);
    EXPECT_EQ(list.GetCurrent(), -1);
    EXPECT_EQ(list.IndexOf(L"C:\\x"), 0);
    for (wchar_t name = L'a'; name < L'i'; ++name)
        list.Insert(String(L"C:\\") + String(name, 1) + L".bmp", false);
    list.Insert(L"C:\\B.bmp", false);
    list.Insert(L"C:\\C.bmp", false);
    ASSERT_EQ(list.GetCount(), 10);

    window.refreshes = 0;
    list.SetCurrent(-1);
    EXPECT_EQ(list.GetCurrent(), 9);
    list.SetCurrent(25);
    EXPECT_EQ(list.GetCurrent(), 5);
    EXPECT_EQ(window.refreshes, 2);

    EXPECT_EQ(list.IndexOf(L"C:\\B.bmp"), 8) << "an exact match first";
    EXPECT_EQ(list.IndexOf(L"c:\\b.BMP"), 1) << "else the first ignoring case";
    EXPECT_EQ(list.IndexOf(L"C:\\zz.bmp"), 0);
}

TEST_F(FileListTest, StatesAreKeptPerEntry)
{
    for (const wchar_t* path : {L"C:\\a", L"C:\\b", L"C:\\c"})
        list.Insert(path, false);
    list.SetState(0, -1);
    list.SetState(1, 2);
    list.SetState(2, -1);
    list.SetState(3, 1);
    list.SetState(-1, 1);
    EXPECT_EQ(window.rows, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(list.GetState(3), 0);

    list.ResetNegativeStates();
    EXPECT_EQ(list.GetState(0), 0);
    EXPECT_EQ(list.GetState(1), 2);
    EXPECT_EQ(list.GetState(2), 0);
}

// ---- Folder steps

TEST_F(FileListTest, FolderStepsFindTheNeighbouringFolders)
{
    list.SetKeyMode(KeyByPath);
    // In an empty list and in a list of one folder, nothing moves.
    list.NextFolder();
    list.PrevFolder();
    EXPECT_EQ(list.GetCurrent(), -1);
    list.OpenPaths({L"C:\\A\\1", L"C:\\A\\2"}, Rules(false, L"", L"-"));
    list.SetCurrent(1);
    list.NextFolder();
    EXPECT_EQ(list.GetCurrent(), 1);
    list.PrevFolder();
    EXPECT_EQ(list.GetCurrent(), 1);

    // A (3 files), B (1 file), C (2 files).
    list.OpenPaths({L"C:\\A\\3", L"C:\\B\\1", L"C:\\C\\1", L"C:\\C\\2"}, Rules(false, L"", L"-"));
    ASSERT_EQ(Entries(),
              (Paths{L"C:\\A\\1", L"C:\\A\\2", L"C:\\A\\3", L"C:\\B\\1", L"C:\\C\\1", L"C:\\C\\2"}));
    const struct
    {
        int from;
        bool next;
        int to;
    } steps[] = {
        {5, false, 3}, // second file of C: the file of B
        {0, false, 4}, // first file of A: the first file of C, wrapping
        {3, false, 0}, // B: the first file of A
        {1, true, 3},  {3, true, 4}, {5, true, 0},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.from);
        list.SetCurrent(step.from);
        window.refreshes = 0;
        step.next ? list.NextFolder() : list.PrevFolder();
        EXPECT_EQ(list.GetCurrent(), step.to);
        EXPECT_EQ(window.refreshes, 0) << "the document refreshes afterwards";
    }
}

// Archive entries lie in folders of their own inside the archive.
TEST_F(FileListTest, FolderStepsSeeFoldersInsideArchives)
{
    ArchiveFixtures::WriteFile(At(L"x.zip"), Zip({{"1.bmp", "1"}, {"sub/10.bmp", "10"}, {"sub/9.bmp", "9"}}));
    list.OpenPath(At(L"x.zip"), Rules());
    ASSERT_EQ(Entries(), (Paths{L"x.zip\\1.bmp", L"x.zip\\sub/9.bmp", L"x.zip\\sub/10.bmp"}));
    list.NextFolder();
    EXPECT_EQ(list.GetCurrent(), 1);
    list.SetCurrent(2);
    list.PrevFolder();
    EXPECT_EQ(list.GetCurrent(), 0);
}
