#include "document/file_list.h"

#include "file_list_test_support.h"

#include "formats/archive_fixtures.h"
#include "foundation/file_system.h"
#include "foundation/file_test_support.h"
#include "foundation/random.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <future>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

using ArchiveFixtures::Zip;
using Brivox::String;
using FileTestSupport::Ansi;
using FileTestSupport::Exists;
using FileTestSupport::MakeFolder;
using FileTestSupport::ReadText;
using FileTestSupport::ThrownText;
using FileTestSupport::Tree;
using FileTestSupport::WriteText;
using Paths = std::vector<std::wstring>;

namespace {

// The file with its missing folders.
void Put(const String& path, const std::string& text)
{
    Brivox::CreateDirectories(path);
    WriteText(path, text);
}

// A file held open without sharing its deletion: neither Windows nor Wine deletes or moves it.
class HeldFile
{
public:
    explicit HeldFile(const String& path)
        : m_handle(::CreateFileW(path.CStr(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, 0, nullptr))
    {
    }
    ~HeldFile()
    {
        if (m_handle != INVALID_HANDLE_VALUE)
            ::CloseHandle(m_handle);
    }
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;
    bool IsOpen() const { return m_handle != INVALID_HANDLE_VALUE; }

private:
    HANDLE m_handle;
};

class FileOperationsTest : public FileTestSupport::TempFolderTest
{
protected:
    void SetUp() override
    {
        TempFolderTest::SetUp();
        list.PushTempFolder(At(L"t\\$Kanoru$/"));
        list.SetWindow(&window);
        list.SetKeyMode(KeyByNumbers);
    }

    // Files "d\0.jpg" to "d\<count - 1>.jpg" holding their own names, listed in that order.
    void Fill(int count)
    {
        Brivox::CreateDirectories(At(L"d\\"));
        for (int i = 0; i < count; ++i) {
            const String path = Numbered(i);
            WriteText(path, Ansi(path));
            list.Insert(path, false);
        }
    }

    String Numbered(int i) const { return At(L"d\\") + Brivox::FormatString(L"%d.jpg", i); }

    void Mark(const std::vector<int>& indexes)
    {
        const int current = list.GetCurrent();
        for (int index : indexes) {
            list.SetCurrent(index);
            list.SetMark(true);
        }
        list.SetCurrent(current);
    }

    // The entries' paths relative to the test folder.
    Paths Entries() const { return RelativeEntries(list, root); }

    std::vector<int> Marked() const
    {
        std::vector<int> marked;
        for (int i = 0; i < list.GetCount(); ++i) {
            if (list.GetEntry(i).IsMarked())
                marked.push_back(i);
        }
        return marked;
    }

    ArchiveFixtures::ZipRegistration zip;
    ObserverRecord window;
    CFileList list{Brivox::SArchiverContext{}};
};

} // namespace

// ---- Marks

TEST_F(FileOperationsTest, MarkOperationsActOnTheirEntriesAndOnlySetMarkTellsTheWindow)
{
    Fill(8);
    list.SetCurrent(3);
    window = ObserverRecord();
    list.SetMark(true);
    EXPECT_EQ(window.rows, std::vector<int>{3});
    list.InvertMarksToCurrent();
    EXPECT_EQ(Marked(), (std::vector<int>{0, 1, 2}));
    list.InvertAllMarks();
    EXPECT_EQ(Marked(), (std::vector<int>{3, 4, 5, 6, 7}));
    EXPECT_EQ(list.CountMarked(), 5);
    EXPECT_EQ(list.GetMarkedPaths(),
              (std::vector<String>{Numbered(3), Numbered(4), Numbered(5), Numbered(6), Numbered(7)}));
    list.SetMark(false);
    list.ClearMarks();
    EXPECT_EQ(list.CountMarked(), 0);
    EXPECT_EQ(window.refreshes, 0) << "the document refreshes after the bulk operations";
    EXPECT_EQ(window.rows, (std::vector<int>{3, 3}));
}

TEST_F(FileOperationsTest, MarkedStepsWrapAndSkipTheCurrentEntry)
{
    struct Case
    {
        std::vector<int> marks;
        int from;
        bool next;
        int to;
    };
    const Case cases[] = {
        {{4}, 4, true, 4},    {{4}, 4, false, 4},      {{2, 7}, 7, true, 2},  {{2, 7}, 2, false, 7},
        {{2, 7}, 0, true, 2}, {{2, 7}, 0, false, 7},   {{2, 7}, 3, true, 7},  {{2, 7}, 3, false, 2},
        {{}, 5, true, 5},     {{0, 1, 9}, 9, true, 0}, {{0, 8}, 0, false, 8},
    };
    Fill(10);
    for (const Case& c : cases) {
        list.ClearMarks();
        Mark(c.marks);
        list.SetCurrent(c.from);
        window.refreshes = 0;
        c.next ? list.NextMarked() : list.PrevMarked();
        EXPECT_EQ(list.GetCurrent(), c.to) << "from " << c.from << (c.next ? " forward" : " backward");
        EXPECT_EQ(window.refreshes, 0);
    }
    CFileList empty{Brivox::SArchiverContext{}};
    empty.NextMarked();
    empty.PrevMarked();
    EXPECT_EQ(empty.GetCurrent(), -1);
}

// ---- Shuffles and sorted steps

TEST_F(FileOperationsTest, ShuffleKeepsTheShownFileFirstAndPutsEveryOtherAnywhereBehindIt)
{
    Fill(5);
    const Paths before = Entries();
    // position -> the files met there over all seeds
    std::map<int, std::set<std::wstring>> seen;
    for (std::uint32_t seed = 1; seed <= 200; ++seed) {
        list.SetCurrent(2);
        list.ClearMarks();
        Mark({4});
        window.refreshes = 0;
        Brivox::MersenneTwister generator(seed);
        list.Shuffle(generator);
        ASSERT_EQ(list.GetCurrent(), 0);
        ASSERT_EQ(Entries().front(), L"d\\2.jpg") << "seed " << seed;
        Paths sorted = Entries();
        std::sort(sorted.begin(), sorted.end());
        ASSERT_EQ(sorted, before) << "a permutation";
        ASSERT_EQ(Marked().size(), 1u);
        EXPECT_EQ(Entries()[Marked().front()], L"d\\4.jpg") << "the mark travels with its entry";
        EXPECT_EQ(window.refreshes, 1);
        for (int i = 1; i < 5; ++i)
            seen[i].insert(Entries()[i]);
        // Back to the order of the names for the next seed.
        list.SortBy(KeyByNumbers);
    }
    for (int i = 1; i < 5; ++i)
        EXPECT_EQ(seen[i], (std::set<std::wstring>{L"d\\0.jpg", L"d\\1.jpg", L"d\\3.jpg", L"d\\4.jpg"}))
            << "position " << i;
}

TEST_F(FileOperationsTest, ShufflesOfOneEntryAndOfNoneChangeNothing)
{
    Brivox::MersenneTwister generator(7);
    list.Shuffle(generator);
    list.ShuffleFolders(generator);
    EXPECT_EQ(list.GetCount(), 0);
    EXPECT_EQ(list.GetCurrent(), -1);
    Fill(1);
    list.Shuffle(generator);
    EXPECT_EQ(Entries(), Paths{L"d\\0.jpg"});
    EXPECT_EQ(list.GetCurrent(), 0);
    list.ShuffleFolders(generator);
    EXPECT_EQ(Entries(), Paths{L"d\\0.jpg"});
    EXPECT_EQ(list.GetCurrent(), 0);
}

// Dropping the duplicates moves the entries after them: the shown file is found by its path.
TEST_F(FileOperationsTest, ShuffleAfterDuplicatesStillStartsWithTheShownFile)
{
    for (const wchar_t* name : {L"a.jpg", L"b.jpg", L"b.jpg", L"c.jpg"})
        list.Insert(At(name), false);
    ASSERT_EQ(list.GetCount(), 4);
    list.SetCurrent(3);
    Brivox::MersenneTwister generator(3);
    list.Shuffle(generator);
    ASSERT_EQ(list.GetCount(), 3);
    EXPECT_EQ(Entries().front(), L"c.jpg");
    EXPECT_EQ(list.GetCurrent(), 0);
}

TEST_F(FileOperationsTest, ShuffleFoldersKeepsEachFolderTogetherInItsOrder)
{
    ArchiveFixtures::WriteFile(At(L"z.zip"), Zip({{"1.jpg", "1"}, {"sub/2.jpg", "2"}}));
    list.OpenPath(At(L"z.zip"), FileAddRules{});
    for (const wchar_t* name : {L"a\\1.jpg", L"a\\2.jpg", L"a\\3.jpg", L"b\\1.jpg", L"b\\2.jpg", L"c\\1.jpg"})
        list.Insert(At(name), false);
    list.Insert(At(L"a\\1.jpg"), false);
    const std::vector<Paths> groups{{L"a\\1.jpg", L"a\\2.jpg", L"a\\3.jpg"},
                                    {L"b\\1.jpg", L"b\\2.jpg"},
                                    {L"c\\1.jpg"},
                                    {L"z.zip\\1.jpg"},
                                    {L"z.zip\\sub/2.jpg"}};
    std::set<std::wstring> firsts;
    for (std::uint32_t seed = 1; seed <= 60; ++seed) {
        list.SetCurrent(list.IndexOf(At(L"b\\2.jpg")));
        Brivox::MersenneTwister generator(seed);
        list.ShuffleFolders(generator);
        const Paths entries = Entries();
        ASSERT_EQ(entries.size(), 8u) << "the duplicate is gone";
        EXPECT_EQ(entries[list.GetCurrent()], L"b\\2.jpg");
        // The list is the groups, each whole and in order, one after another.
        std::size_t at = 0;
        std::set<std::size_t> used;
        while (at < entries.size()) {
            const auto group = std::find_if(groups.begin(), groups.end(),
                                            [&](const Paths& g) { return g.front() == entries[at]; });
            ASSERT_NE(group, groups.end()) << "seed " << seed;
            ASSERT_TRUE(used.insert(group - groups.begin()).second);
            ASSERT_TRUE(std::equal(group->begin(), group->end(), entries.begin() + static_cast<long>(at)))
                << "seed " << seed;
            at += group->size();
        }
        firsts.insert(entries.front());
        list.SortBy(KeyByNumbers);
    }
    EXPECT_EQ(firsts.size(), groups.size()) << "every folder comes first for some seed, the shown one too";
}

TEST_F(FileOperationsTest, SortedStepsFollowTheKeysWithoutReorderingTheList)
{
    Fill(4);
    Brivox::MersenneTwister generator(11);
    list.Shuffle(generator);
    const Paths shuffled = Entries();
    const auto name = [&] { return Entries()[list.GetCurrent()]; };
    list.SetCurrent(list.IndexOf(Numbered(0)));
    Paths forward;
    for (int i = 0; i < 5; ++i) {
        list.NextInSortedOrder();
        forward.push_back(name());
    }
    EXPECT_EQ(forward, (Paths{L"d\\1.jpg", L"d\\2.jpg", L"d\\3.jpg", L"d\\0.jpg", L"d\\1.jpg"}));
    list.PrevInSortedOrder();
    list.PrevInSortedOrder();
    EXPECT_EQ(name(), L"d\\3.jpg") << "backward from the first wraps to the last";
    EXPECT_EQ(Entries(), shuffled);

    CFileList empty{Brivox::SArchiverContext{}};
    empty.NextInSortedOrder();
    EXPECT_EQ(empty.GetCurrent(), -1);
}

// ---- Removing entries

TEST_F(FileOperationsTest, RemoveCurrentKeepsTheIndexAndWrapsAfterTheLast)
{
    Fill(5);
    list.SetCurrent(4);
    list.RemoveCurrent();
    EXPECT_EQ(list.GetCurrent(), 0);
    list.SetCurrent(1);
    list.RemoveCurrent();
    EXPECT_EQ(Entries(), (Paths{L"d\\0.jpg", L"d\\2.jpg", L"d\\3.jpg"}));
    EXPECT_EQ(list.GetCurrent(), 1);
    EXPECT_TRUE(Exists(Numbered(1))) << "the file stays";
    list.RemoveCurrent();
    list.RemoveCurrent();
    list.RemoveCurrent();
    EXPECT_EQ(list.GetCount(), 0);
    EXPECT_EQ(list.GetCurrent(), -1);
}

TEST_F(FileOperationsTest, RemoveMarkedLeavesTheDiskTrueToTheList)
{
    struct Case
    {
        bool deleteFiles;
        bool toRecycleBin;
        std::vector<int> marks;
        int current;
        Paths entries;
        int newCurrent;
    };
    const Paths all{L"0.jpg", L"1.jpg", L"2.jpg", L"3.jpg", L"4.jpg", L"5.jpg"};
    const Case cases[] = {
        {false, false, {1, 3}, 2, {L"d\\0.jpg", L"d\\2.jpg", L"d\\4.jpg", L"d\\5.jpg"}, 1},
        {true, false, {1, 3}, 2, {L"d\\0.jpg", L"d\\2.jpg", L"d\\4.jpg", L"d\\5.jpg"}, 1},
        {true, true, {1, 3}, 2, {L"d\\0.jpg", L"d\\2.jpg", L"d\\4.jpg", L"d\\5.jpg"}, 1},
        {false, false, {5}, 5, {L"d\\0.jpg", L"d\\1.jpg", L"d\\2.jpg", L"d\\3.jpg", L"d\\4.jpg"}, 0},
        {true, true, {5}, 5, {L"d\\0.jpg", L"d\\1.jpg", L"d\\2.jpg", L"d\\3.jpg", L"d\\4.jpg"}, 0},
        {true, false, {2, 3}, 2, {L"d\\0.jpg", L"d\\1.jpg", L"d\\4.jpg", L"d\\5.jpg"}, 2},
        {true, false, {0, 1, 2, 3, 4, 5}, 3, {}, -1},
    };
    for (const Case& c : cases) {
        list.Clear();
        Fill(6);
        list.SetCurrent(c.current);
        Mark(c.marks);
        // Read-only files go too.
        SetFileAttributesW(Numbered(1).CStr(), FILE_ATTRIBUTE_READONLY);
        list.RemoveMarked(c.deleteFiles, c.toRecycleBin, nullptr);
        EXPECT_EQ(Entries(), c.entries);
        EXPECT_EQ(list.GetCurrent(), c.newCurrent);
        Paths onDisk;
        for (const std::wstring& entry : c.entries)
            onDisk.push_back(entry.substr(2));
        EXPECT_EQ(Tree(At(L"d\\")), c.deleteFiles ? onDisk : all);
        SetFileAttributesW(Numbered(1).CStr(), FILE_ATTRIBUTE_NORMAL);
    }
}

// A folder, a file that cannot be deleted, and the files around them; directly and through the
// recycle bin, as one batch and one by one.
class DeletionFailureTest : public FileOperationsTest, public ::testing::WithParamInterface<bool>
{
};

TEST_P(DeletionFailureTest, AFolderIsNeverDeletedAndItsEntryStays)
{
    const bool toRecycleBin = GetParam();
    Put(At(L"x\\folder\\inner.jpg"), "x");
    WriteText(At(L"x\\a.jpg"), "a");
    list.Insert(At(L"x\\a.jpg"), false);
    list.Insert(At(L"x\\folder"), false);
    const std::string expected = Ansi(At(L"x\\folder") + L"の削除に失敗しました\r\n");

    Mark({0, 1});
    EXPECT_EQ(ThrownText([&] { list.RemoveMarked(true, toRecycleBin, nullptr); }), expected);
    EXPECT_EQ(Entries(), Paths{L"x\\folder"});
    EXPECT_EQ(Tree(At(L"x\\")), (Paths{L"folder\\", L"folder\\inner.jpg"}));

    list.SetCurrent(0);
    EXPECT_EQ(ThrownText([&] { list.DeleteCurrent(toRecycleBin, nullptr); }), expected);
    EXPECT_EQ(Entries(), Paths{L"x\\folder"});
    EXPECT_EQ(Tree(At(L"x\\")), (Paths{L"folder\\", L"folder\\inner.jpg"}));
}

TEST_P(DeletionFailureTest, AFileThatCannotBeDeletedKeepsItsEntry)
{
    const bool toRecycleBin = GetParam();
    Fill(3);
    HeldFile held(Numbered(1));
    ASSERT_TRUE(held.IsOpen());
    const std::string expected = Ansi(Numbered(1) + L"の削除に失敗しました\r\n");

    list.SetCurrent(1);
    EXPECT_EQ(ThrownText([&] { list.DeleteCurrent(toRecycleBin, nullptr); }), expected);
    EXPECT_EQ(Entries(), (Paths{L"d\\0.jpg", L"d\\1.jpg", L"d\\2.jpg"}));
    EXPECT_EQ(list.GetCurrent(), 1);

    // The second of three fails: the first and the third go all the same.
    Mark({0, 1, 2});
    EXPECT_EQ(ThrownText([&] { list.RemoveMarked(true, toRecycleBin, nullptr); }), expected);
    EXPECT_EQ(Entries(), Paths{L"d\\1.jpg"});
    EXPECT_EQ(list.GetCurrent(), 0);
    EXPECT_EQ(Tree(At(L"d\\")), Paths{L"1.jpg"});
}

TEST_P(DeletionFailureTest, DeleteCurrentDeletesTheFileAndAnArchiveEntryOnlyLeaves)
{
    const bool toRecycleBin = GetParam();
    ArchiveFixtures::WriteFile(At(L"z.zip"), Zip({{"1.jpg", "1"}}));
    list.OpenPath(At(L"z.zip"), FileAddRules{});
    Fill(2);
    list.SetCurrent(0);
    list.DeleteCurrent(toRecycleBin, nullptr);
    EXPECT_EQ(Entries(), (Paths{L"d\\0.jpg", L"d\\1.jpg"}));
    EXPECT_TRUE(Exists(At(L"z.zip")));
    list.SetCurrent(1);
    list.DeleteCurrent(toRecycleBin, nullptr);
    EXPECT_EQ(Entries(), Paths{L"d\\0.jpg"});
    EXPECT_EQ(Tree(At(L"d\\")), Paths{L"0.jpg"});
    EXPECT_EQ(list.GetCurrent(), 0);
}

INSTANTIATE_TEST_SUITE_P(DirectAndRecycleBin, DeletionFailureTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? std::string("RecycleBin") : std::string("Direct");
                         });

// ---- Copying and moving

TEST_F(FileOperationsTest, MoveMarkedToMovesTheFilesAndKeepsTheCurrentFile)
{
    Fill(5);
    list.SetCurrent(2);
    Mark({0, 1, 3});
    list.MoveMarkedTo(At(L"to\\"), true);
    EXPECT_EQ(Entries(), (Paths{L"d\\2.jpg", L"d\\4.jpg"}));
    EXPECT_EQ(list.GetCurrent(), 0);
    EXPECT_EQ(Tree(At(L"to\\")), (Paths{L"0.jpg", L"1.jpg", L"3.jpg"}));
    EXPECT_EQ(ReadText(At(L"to\\3.jpg")), Ansi(Numbered(3)));
    EXPECT_EQ(Tree(At(L"d\\")), (Paths{L"2.jpg", L"4.jpg"}));
}

TEST_F(FileOperationsTest, MoveMarkedToTriesEveryFileAndKeepsTheFailedOnesAsTheyWere)
{
    Fill(4);
    Put(At(L"to\\1.jpg"), "older");
    list.SetCurrent(3);
    Mark({0, 1, 2});
    const std::string text = ThrownText([&] { list.MoveMarkedTo(At(L"to"), false); });
    EXPECT_EQ(text,
              Ansi(L"ファイルの移動に失敗しました (" + Numbered(1) + L" → " + At(L"to\\1.jpg") + L")\r\n"));
    EXPECT_EQ(Entries(), (Paths{L"to\\0.jpg", L"d\\1.jpg", L"to\\2.jpg", L"d\\3.jpg"}));
    EXPECT_EQ(list.GetCurrent(), 3);
    EXPECT_EQ(ReadText(At(L"to\\1.jpg")), "older");
    EXPECT_EQ(Tree(At(L"d\\")), (Paths{L"1.jpg", L"3.jpg"}));

    // With removal the moved ones leave although another failed.
    list.ClearMarks();
    list.SetCurrent(3);
    Mark({1, 3});
    Put(At(L"to2\\1.jpg"), "older");
    EXPECT_EQ(ThrownText([&] { list.MoveMarkedTo(At(L"to2\\"), true); }),
              Ansi(L"ファイルの移動に失敗しました (" + Numbered(1) + L" → " + At(L"to2\\1.jpg") + L")\r\n"));
    EXPECT_EQ(Entries(), (Paths{L"to\\0.jpg", L"d\\1.jpg", L"to\\2.jpg"}));
    EXPECT_EQ(list.GetCurrent(), 0) << "the current entry left, the one after it wraps to the first";
}

TEST_F(FileOperationsTest, CopyMarkedToCopiesTheOthersAndReportsTheOneThatExists)
{
    Fill(4);
    Put(At(L"to\\2.jpg"), "older");
    Mark({0, 2, 3});
    window.refreshes = 0;
    const std::string text = ThrownText([&] { list.CopyMarkedTo(At(L"to\\")); });
    EXPECT_EQ(text,
              Ansi(L"ファイルのコピーに失敗しました (" + Numbered(2) + L" → " + At(L"to\\2.jpg") + L")\r\n"));
    EXPECT_EQ(Tree(At(L"to\\")), (Paths{L"0.jpg", L"2.jpg", L"3.jpg"}));
    EXPECT_EQ(ReadText(At(L"to\\2.jpg")), "older");
    EXPECT_EQ(ReadText(At(L"to\\3.jpg")), Ansi(Numbered(3)));
    EXPECT_EQ(Tree(At(L"d\\")).size(), 4u);
    EXPECT_EQ(Entries().size(), 4u);
    EXPECT_EQ(window.refreshes, 0);
}

TEST_F(FileOperationsTest, AnArchiveEntryIsWrittenWholeUnderItsOwnNameAndNeverOverAFile)
{
    ArchiveFixtures::WriteFile(At(L"z.zip"), Zip({{"1.jpg", "first"}, {"sub/2.jpg", "second"}}));
    list.OpenPath(At(L"z.zip"), FileAddRules{});
    ASSERT_EQ(Entries(), (Paths{L"z.zip\\1.jpg", L"z.zip\\sub/2.jpg"}));
    const std::string archive = ReadText(At(L"z.zip"));

    list.GetEntry(1).CopyTo(At(L"to\\"));
    EXPECT_EQ(Tree(At(L"to\\")), Paths{L"2.jpg"}) << "no temporary file is left";
    EXPECT_EQ(ReadText(At(L"to\\2.jpg")), "second");

    // The path of the test folder is long: one failure fills most of an exception's text.
    Mark({0});
    Put(At(L"to\\1.jpg"), "older");
    const std::string text = ThrownText([&] { list.CopyMarkedTo(At(L"to\\")); });
    EXPECT_EQ(text, Ansi(L"ファイルのコピーに失敗しました (" + At(L"z.zip\\1.jpg") + L" → " +
                         At(L"to\\1.jpg") + L")\r\n"));
    EXPECT_EQ(ReadText(At(L"to\\1.jpg")), "older");
    EXPECT_EQ(Tree(At(L"to\\")), (Paths{L"1.jpg", L"2.jpg"}));

    // A move copies: the archive stays as it was and the entry still reads from it.
    list.SetCurrent(0);
    list.MoveCurrentTo(At(L"moved\\one.jpg"), false);
    EXPECT_EQ(ReadText(At(L"moved\\one.jpg")), "first");
    EXPECT_EQ(ReadText(At(L"z.zip")), archive);
    EXPECT_EQ(Entries()[0], L"moved\\one.jpg");
    EXPECT_TRUE(list.GetEntry(0).IsInArchive());
    EXPECT_EQ(ThrownText([&] { list.GetEntry(1).MoveTo(At(L"moved\\one.jpg")); }),
              Ansi(L"ファイルの移動に失敗しました (" + At(L"z.zip\\sub/2.jpg") + L" → " +
                   At(L"moved\\one.jpg") + L")"));
    EXPECT_EQ(ReadText(At(L"moved\\one.jpg")), "first");
}

TEST_F(FileOperationsTest, MoveCurrentToMovesTheFileAndTheEntryFollowsOrLeaves)
{
    Fill(3);
    list.SetCurrent(1);
    list.MoveCurrentTo(At(L"to\\one.jpg"), false);
    EXPECT_EQ(Entries(), (Paths{L"d\\0.jpg", L"to\\one.jpg", L"d\\2.jpg"}));
    EXPECT_EQ(ReadText(At(L"to\\one.jpg")), Ansi(Numbered(1)));

    list.SetCurrent(2);
    EXPECT_EQ(ThrownText([&] { list.MoveCurrentTo(At(L"to\\one.jpg"), true); }),
              Ansi(L"ファイルの移動に失敗しました (" + Numbered(2) + L" → " + At(L"to\\one.jpg") + L")"));
    EXPECT_EQ(Entries().size(), 3u);
    EXPECT_EQ(ReadText(At(L"to\\one.jpg")), Ansi(Numbered(1)));

    list.MoveCurrentTo(At(L"to\\two.jpg"), true);
    EXPECT_EQ(Entries(), (Paths{L"d\\0.jpg", L"to\\one.jpg"}));
    EXPECT_EQ(list.GetCurrent(), 0);
    EXPECT_EQ(Tree(At(L"to\\")), (Paths{L"one.jpg", L"two.jpg"}));
}

// ---- Background duplicates

namespace {

// What the duplicates reported, with an optional gate that holds the reporting job.
struct ReportRecord
{
    std::mutex lock;
    std::condition_variable changed;
    std::vector<String> messages;
    bool holdReports = false;
    bool returned = false;

    CopyFailureReport Reporter()
    {
        return [this](const String& message) {
            std::unique_lock<std::mutex> guard(lock);
            messages.push_back(message);
            changed.notify_all();
            changed.wait(guard, [this] { return !holdReports; });
            returned = true;
        };
    }
    void Release()
    {
        std::lock_guard<std::mutex> guard(lock);
        holdReports = false;
        changed.notify_all();
    }
    void WaitForMessage()
    {
        std::unique_lock<std::mutex> guard(lock);
        changed.wait(guard, [this] { return !messages.empty(); });
    }
};

} // namespace

TEST_F(FileOperationsTest, ADuplicateOntoAnExistingFileReportsItsFailure)
{
    Fill(2);
    Put(At(L"to\\1.jpg"), "older");
    ReportRecord record;
    list.SetCurrent(1);
    list.PostCopyCurrentTo(At(L"to\\1.jpg"), record.Reporter());
    list.PostCopyCurrentTo(At(L"to\\copy.jpg"), record.Reporter());
    list.WaitForCopies();
    EXPECT_EQ(record.messages, std::vector<String>{L"ファイルのコピーに失敗しました (" + Numbered(1) +
                                                   L" → " + At(L"to\\1.jpg") + L")"});
    EXPECT_EQ(ReadText(At(L"to\\1.jpg")), "older");
    EXPECT_EQ(ReadText(At(L"to\\copy.jpg")), Ansi(Numbered(1)));
}

TEST_F(FileOperationsTest, ADuplicateFollowedAtOnceByDeletingItsSourceIsComplete)
{
    MakeFolder(At(L"d"));
    const std::string big(8 << 20, 'k');
    for (int i = 0; i < 3; ++i) {
        WriteText(Numbered(i), big);
        list.Insert(Numbered(i), false);
    }
    ReportRecord record;
    list.SetCurrent(0);
    list.PostCopyCurrentTo(At(L"copy0.jpg"), record.Reporter());
    list.DeleteCurrent(false, nullptr);
    list.PostCopyCurrentTo(At(L"copy1.jpg"), record.Reporter());
    Mark({0});
    list.RemoveMarked(true, true, nullptr);
    list.PostCopyCurrentTo(At(L"copy2.jpg"), record.Reporter());
    list.MoveCurrentTo(At(L"moved.jpg"), true);
    EXPECT_TRUE(record.messages.empty());
    for (const wchar_t* copy : {L"copy0.jpg", L"copy1.jpg", L"copy2.jpg"})
        EXPECT_TRUE(ReadText(At(copy)) == big) << Ansi(String(copy));
    EXPECT_EQ(list.GetCount(), 0);
}

TEST_F(FileOperationsTest, TheListWaitsForAPendingDuplicateBeforeItGoes)
{
    Fill(1);
    WriteText(At(L"exists.jpg"), "older");
    ReportRecord record;
    record.holdReports = true;
    auto doomed = std::make_unique<CFileList>(Brivox::SArchiverContext{});
    doomed->Insert(Numbered(0), false);
    doomed->PostCopyCurrentTo(At(L"exists.jpg"), record.Reporter());
    // The job is now held inside its report; the list goes on another thread, and the job is let
    // go only once that has begun.
    record.WaitForMessage();
    std::promise<void> started;
    bool jobEndedFirst = false;
    auto destroyed = std::async(std::launch::async, [&] {
        started.set_value();
        doomed.reset();
        std::lock_guard<std::mutex> guard(record.lock);
        jobEndedFirst = record.returned;
    });
    started.get_future().wait();
    record.Release();
    destroyed.get();
    EXPECT_TRUE(jobEndedFirst);
}
