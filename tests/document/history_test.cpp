#include "document/history.h"

#include "document/file_list.h"
#include "formats/archive_fixtures.h"
#include "foundation/exception.h"
#include "foundation/file_name.h"
#include "foundation/file_test_support.h"
#include "foundation/temp_file.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

using Brivox::String;
using FileTestSupport::ReadText;
using FileTestSupport::Tree;
using FileTestSupport::WriteText;

namespace {

class HistoryTest : public FileTestSupport::TempFolderTest
{
protected:
    void SetUp() override
    {
        TempFolderTest::SetUp();
        folder = At(L"history\\");
        list.PushTempFolder(At(L"t\\$Kanoru$/"));
        list.SetKeyMode(KeyByPath);
        list.Insert(At(L"shown.bmp"), false);
    }

    // History files numbered as given, each holding a text that names it.
    void MakeSeries(const std::vector<int>& numbers)
    {
        if (!FileTestSupport::Exists(At(L"history")))
            FileTestSupport::MakeFolder(At(L"history"));
        for (int number : numbers)
            WriteText(GetHistoryFilePath(folder, number), Old(number));
    }

    static std::string Old(int number) { return "old " + std::to_string(number); }

    // The folder's files and what each holds: "old n" for a file made by the test, "new" for a
    // bookmark of the list.
    std::map<std::wstring, std::string> Series() const
    {
        std::map<std::wstring, std::string> files;
        for (const std::wstring& name : Tree(folder)) {
            const std::string text = ReadText(folder + name.c_str());
            files[name] = text.compare(0, 3, "old") == 0 ? text : text == Bookmark() ? "new" : "other";
        }
        return files;
    }

    std::string Bookmark() const
    {
        const String path = At(L"expected.knb");
        list.SaveBookmark(path);
        return ReadText(path);
    }

    ArchiveFixtures::ZipRegistration zip;
    CFileList list{Brivox::SArchiverContext{}};
    String folder;
};

using Files = std::map<std::wstring, std::string>;

} // namespace

TEST_F(HistoryTest, AWriteShiftsTheSeriesWhenTheNewestFileExists)
{
    struct Case
    {
        const char* what;
        std::vector<int> present;
        Files after;
    };
    const std::vector<Case> cases{
        {"a full series: the oldest goes",
         {0, 1, 2},
         {{L"00.knb", "new"}, {L"01.knb", Old(0)}, {L"02.knb", Old(1)}}},
        {"no newest file: nothing moves", {1}, {{L"00.knb", "new"}, {L"01.knb", Old(1)}}},
        {"a gap: the oldest number still goes", {0, 2}, {{L"00.knb", "new"}, {L"01.knb", Old(0)}}},
        {"no files", {}, {{L"00.knb", "new"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FileTestSupport::RemoveAll(std::wstring(At(L"history").CStr()));
        if (!c.present.empty())
            MakeSeries(c.present);
        // The folder is made when missing.
        WriteHistory(list, folder, 3);
        EXPECT_EQ(Series(), c.after);
    }
}

TEST_F(HistoryTest, ACountOfOneReplacesTheNewest)
{
    MakeSeries({0});
    WriteHistory(list, folder, 1);
    EXPECT_EQ(Series(), (Files{{L"00.knb", "new"}}));
}

TEST_F(HistoryTest, NoCountOrAnEmptyListWritesNothing)
{
    MakeSeries({0, 1});
    WriteHistory(list, folder, 0);
    WriteHistory(list, folder, -1);
    list.Clear();
    WriteHistory(list, folder, 3);
    EXPECT_EQ(Series(), (Files{{L"00.knb", Old(0)}, {L"01.knb", Old(1)}}));
}

TEST_F(HistoryTest, AHistoryFolderThatIsAFileFailsAndChangesNothing)
{
    WriteText(At(L"history"), "a file");
    EXPECT_THROW(WriteHistory(list, folder, 3), Brivox::IOException);
    EXPECT_EQ(ReadText(At(L"history")), "a file");
    EXPECT_EQ(Tree(root), (std::vector<std::wstring>{L"history"}));
    EXPECT_EQ(list.GetCount(), 1);
}

TEST_F(HistoryTest, AFailedDeletionStopsTheRotationWithItsError)
{
    MakeSeries({0, 1, 2});
    // Held open without sharing, the oldest file cannot go.
    HANDLE held = ::CreateFileW(GetHistoryFilePath(folder, 2).CStr(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_THROW(WriteHistory(list, folder, 3), Brivox::IOException);
    ::CloseHandle(held);
    // No temporary file is left, and no file moved.
    EXPECT_EQ(Series(), (Files{{L"00.knb", Old(0)}, {L"01.knb", Old(1)}, {L"02.knb", Old(2)}}));
}

// The steps by which the document reopens history entry k: the file moved aside, the close that
// writes the shown list into the series, the gaps closed, the taken file read.
TEST_F(HistoryTest, ReopeningAnyEntryOpensItAndLeavesTheSeriesWithoutGaps)
{
    struct Case
    {
        bool shown;
        int chosen;
        Files after;
    };
    const std::vector<Case> cases{
        {true, 0, {{L"00.knb", "new"}, {L"01.knb", Old(1)}, {L"02.knb", Old(2)}}},
        {true, 1, {{L"00.knb", "new"}, {L"01.knb", Old(0)}}},
        {true, 2, {{L"00.knb", "new"}, {L"01.knb", Old(0)}, {L"02.knb", Old(1)}}},
        {false, 0, {{L"00.knb", Old(1)}, {L"01.knb", Old(2)}}},
        {false, 1, {{L"00.knb", Old(0)}, {L"01.knb", Old(2)}}},
        {false, 2, {{L"00.knb", Old(0)}, {L"01.knb", Old(1)}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.shown ? "a page on show, entry " : "nothing on show, entry ") +
                     std::to_string(c.chosen));
        FileTestSupport::RemoveAll(std::wstring(At(L"history").CStr()));
        MakeSeries({0, 1, 2});
        const std::unique_ptr<Brivox::CTempFile> taken = TakeHistoryFile(folder, c.chosen);
        if (c.shown)
            WriteHistory(list, folder, 3);
        CloseHistoryGaps(folder, 3);

        EXPECT_EQ(ReadText(taken->GetPath()), Old(c.chosen));
        EXPECT_EQ(Brivox::CFileName::GetDirectory(taken->GetPath()), folder);
        EXPECT_EQ(Brivox::CFileName::GetLowerExtension(taken->GetPath()), String(L"knb"));
        Files series = Series();
        series.erase(Brivox::CFileName::GetFileName(taken->GetPath()).CStr());
        EXPECT_EQ(series, c.after);
    }
}

TEST_F(HistoryTest, TheTakenFileOpensAsABookmarkAndGoesWithItsObject)
{
    list.SetCurrent(0);
    MakeSeries({});
    WriteHistory(list, folder, 3);
    String takenPath;
    {
        const std::unique_ptr<Brivox::CTempFile> taken = TakeHistoryFile(folder, 0);
        takenPath = taken->GetPath();
        CFileList reader{Brivox::SArchiverContext{}};
        reader.PushTempFolder(At(L"t\\$Kanoru$/"));
        reader.OpenBookmark(takenPath);
        ASSERT_EQ(reader.GetCount(), 1);
        EXPECT_EQ(reader.GetEntry(0).GetPath(), At(L"shown.bmp"));
    }
    EXPECT_FALSE(FileTestSupport::Exists(takenPath));
    EXPECT_EQ(Tree(folder), std::vector<std::wstring>{});
}

TEST_F(HistoryTest, TakingAMissingEntryThrows)
{
    MakeSeries({0});
    EXPECT_THROW(TakeHistoryFile(folder, 1), Brivox::IOException);
    EXPECT_EQ(Tree(folder), std::vector<std::wstring>{L"00.knb"});
}

TEST_F(HistoryTest, TrimmingDeletesTheNumbersALowerCountNoLongerKeeps)
{
    MakeSeries({0, 1, 2, 5});
    TrimHistory(folder, 1, 3);
    EXPECT_EQ(Series(), (Files{{L"00.knb", Old(0)}, {L"05.knb", Old(5)}}));
    TrimHistory(folder, -2, 1);
    EXPECT_EQ(Series(), (Files{{L"05.knb", Old(5)}}));
}

TEST_F(HistoryTest, TheFolderSettingIsResolvedAgainstTheProgramFolder)
{
    EXPECT_EQ(GetHistoryFolder(L".\\history\\"), Brivox::CFileName::ExecutableDirectory() + L"history\\");
    EXPECT_EQ(GetHistoryFolder(L"D:\\h"), String(L"D:\\h\\"));
    EXPECT_EQ(GetHistoryFilePath(L"D:\\h", 7), String(L"D:\\h\\07.knb"));
    EXPECT_EQ(GetHistoryFilePath(L"D:\\h\\", 12), String(L"D:\\h\\12.knb"));
}
