#include "document/document.h"

#include "deadline_sync.h"
#include "document/cache_sizing.h"
#include "formats/archive_fixtures.h"
#include "foundation/file_name.h"
#include "foundation/file_test_support.h"
#include "settings/config_schema.h"
#include "test_decoder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

using Brivox::CSize;
using Brivox::String;
using DeadlineSync::hangLimit;
using FileTestSupport::MakeFolder;
using FileTestSupport::WriteText;
using TestDecoder::Gates;

namespace {

constexpr std::uint64_t MiB = 1024 * 1024;
constexpr std::uint64_t GiB = 1024 * MiB;

// ---- Cache sizing

// Bytes of one spread page of the default base size (1024 × 1536), with the eighth on top.
constexpr std::uint64_t spreadPage = (2ull * 1024 * 1536 * 4) * 9 / 8;

struct SizingCase
{
    const char* name;
    SCacheSizingInput input;
    std::uint64_t available;
    SCacheSizing expected;
};

SCacheSizingInput Defaults()
{
    return SCacheSizingInput{};
}

SCacheSizingInput With(void (*change)(SCacheSizingInput&))
{
    SCacheSizingInput input;
    change(input);
    return input;
}

TEST(CacheSizing, RingLookAheadDisplayCopiesAndLoaderFollowMemoryAndKeys)
{
    const SizingCase cases[] = {
        {"defaults, ample memory", Defaults(), 8 * GiB, {6, 3, true, 30}},
        // Two pages are kept back; the display copies, then the decoded files, take a share of
        // six each while twice that is left.
        {"just enough for both extras", Defaults(), 20 * spreadPage, {6, 3, true, 30}},
        {"the loader's share goes first", Defaults(), 19 * spreadPage, {6, 3, true, 0}},
        {"display copies go next", Defaults(), 13 * spreadPage, {6, 3, false, 0}},
        {"fewer slots than the most", Defaults(), 5 * spreadPage, {3, 1, false, 0}},
        {"one slot at very little", Defaults(), 2 * spreadPage, {1, 0, false, 0}},
        {"no memory at all", Defaults(), 0, {1, 0, false, 0}},
        {"single pages need half",
         With([](SCacheSizingInput& i) { i.spread = false; }),
         10 * spreadPage,
         {6, 3, true, 18}},
        {"the gap counts in a spread",
         With([](SCacheSizingInput& i) { i.paddingCenter = 1024; }),
         20 * spreadPage,
         {6, 3, false, 0}},
        {"a negative gap counts as none",
         With([](SCacheSizingInput& i) { i.paddingCenter = -500; }),
         20 * spreadPage,
         {6, 3, true, 30}},
        {"no caching: one slot, the loader still keeps a spread's files",
         With([](SCacheSizingInput& i) { i.imageCache = false; }),
         8 * GiB,
         {1, 0, false, 5}},
        {"no caching, single pages",
         With([](SCacheSizingInput& i) {
             i.imageCache = false;
             i.spread = false;
         }),
         8 * GiB,
         {1, 0, false, 3}},
        {"no caching, no loader caching",
         With([](SCacheSizingInput& i) {
             i.imageCache = false;
             i.loaderCaching = false;
         }),
         8 * GiB,
         {1, 0, false, 0}},
        {"display copies not wanted",
         With([](SCacheSizingInput& i) { i.displayCopies = false; }),
         8 * GiB,
         {6, 3, false, 30}},
        {"a base width of 0 counts as 1",
         With([](SCacheSizingInput& i) { i.baseWidth = 0; }),
         8 * GiB,
         {6, 3, true, 30}},
        {"a base width of 2,000,000 leaves one slot",
         With([](SCacheSizingInput& i) { i.baseWidth = 2000000; }),
         8 * GiB,
         {1, 0, false, 0}},
        {"tiny pages in a large memory do not wrap",
         With([](SCacheSizingInput& i) {
             i.baseWidth = 1;
             i.baseHeight = 1;
         }),
         1024 * GiB,
         {6, 3, true, 30}},
        {"a most of 0 leaves one slot",
         With([](SCacheSizingInput& i) { i.autoMax = 0; }),
         8 * GiB,
         {1, 0, true, 0}},
    };
    for (const SizingCase& c : cases) {
        const SCacheSizing sizing = ComputeCacheSizing(c.input, c.available);
        EXPECT_EQ(c.expected.ringSize, sizing.ringSize) << c.name;
        EXPECT_EQ(c.expected.lookAhead, sizing.lookAhead) << c.name;
        EXPECT_EQ(c.expected.displayCopies, sizing.displayCopies) << c.name;
        EXPECT_EQ(c.expected.loaderRing, sizing.loaderRing) << c.name;
    }
}

// ---- The document with a fake view

class FakeView : public IDocView
{
public:
    void UpdateScrollBars() override { ++scrollBarUpdates; }
    void InvalidateView(const Brivox::CRect&) override { ++invalidations; }
    // Reports may come from a pool thread.
    void ReportError(const String& text) override
    {
        std::lock_guard<std::mutex> lock(errorsLock);
        errors.push_back(text.CStr());
    }
    std::vector<std::wstring> Errors()
    {
        std::lock_guard<std::mutex> lock(errorsLock);
        return errors;
    }

    int scrollBarUpdates = 0;
    int invalidations = 0;

private:
    std::mutex errorsLock;
    std::vector<std::wstring> errors;
};

// The user's password dialog: records what it was asked and gives "typed" or nothing.
class FakePasswordDialog : public Brivox::IQueryArchivePassword
{
public:
    bool Query(const String& archivePath, String& password, int attempt) override
    {
        asked.push_back({archivePath, attempt});
        if (!answers)
            return false;
        password = L"typed";
        return true;
    }

    bool answers = true;
    std::vector<std::pair<String, int>> asked;
};

// A file list window that runs a document call while the list tells it of a change, as a modal
// box's message loop can.
class ReenteringListWindow : public IFileListObserver
{
public:
    void Refresh() override
    {
        if (during)
            during();
    }
    void UpdateRow(int) override {}

    std::function<void()> during;
};

// Counts the compositions made on the thread that asks, as opposed to the ring's worker.
class CountingDocument : public CDocument
{
public:
    using CDocument::CDocument;
    ~CountingDocument() override
    {
        // The worker calls LoadPage until it has stopped; this class must still be whole then.
        Stop();
    }

    std::atomic<std::thread::id> caller{std::this_thread::get_id()};
    std::atomic<int> callerCompositions{0};

protected:
    bool LoadPage(ILoadData& load) override
    {
        if (std::this_thread::get_id() == caller.load())
            ++callerCompositions;
        return CDocument::LoadPage(load);
    }
};

SMemoryProbe Ample()
{
    return {[] { return std::uint64_t{8 * GiB}; }, [] { return std::uint64_t{100 * MiB}; }};
}

class DocumentTest : public FileTestSupport::TempFolderTest
{
protected:
    void SetUp() override
    {
        TempFolderTest::SetUp();
        ASSERT_EQ(932u, ::GetACP()) << "run with LC_ALL=ja_JP.UTF-8";
        TestDecoder::Register();
        TestDecoder::Reset();
        InitConfig(settings, At(L"none.cfg"));
        settings.SetRaw(L"TmpDir", At(L"t"));
        // Single pages: every file is a page of its own, identified by its width.
        settings.SetInt(L"ImageSpreadView_", 0);
        MakeFolder(At(L"t"));
        MakeFolder(At(L"d"));
    }
    void TearDown() override
    {
        Gates().OpenAll();
        document.reset();
        TempFolderTest::TearDown();
    }

    CountingDocument& Make(SMemoryProbe probe = Ample())
    {
        document =
            std::make_unique<CountingDocument>(&view, &dialog, &listWindow, &settings, std::move(probe));
        return *document;
    }

    // Files d\p00.tst … : page i is 10 + i pixels wide; a description replaces the plain content.
    void MakeFiles(int count, const std::map<int, std::string>& special = {})
    {
        for (int i = 0; i < count; ++i) {
            const auto found = special.find(i);
            WriteText(File(i),
                      found != special.end() ? found->second : std::to_string(10 + i) + " 20 3366cc");
        }
    }
    String File(int i) const
    {
        wchar_t name[16];
        swprintf(name, 16, L"d\\p%02d.tst", i);
        return At(name);
    }
    // The file of the page on show, told by its width; -1 without an image.
    int Shown() const { return document->HasPageImage() ? document->GetPageSize().cx - 10 : -1; }

    [[nodiscard]] bool WorkersIdle()
    {
        return document->WaitIdle(hangLimit) && document->GetImageLoader().WaitIdle(hangLimit);
    }

    Brivox::CConfig settings;
    FakeView view;
    FakePasswordDialog dialog;
    ReenteringListWindow listWindow;
    std::unique_ptr<CountingDocument> document;
};

TEST_F(DocumentTest, DefaultsWithAmpleMemorySizeTheRingAtSixWithThreeAhead)
{
    CDocument& doc = Make();
    const auto ring = doc.Snapshot();
    EXPECT_EQ(6u, ring.slots.size());
    EXPECT_EQ(3, ring.lookAhead);
    // The default draw mode resamples in software: the display copies are made ahead.
    EXPECT_TRUE(doc.AreDisplayCopiesInUse());
    EXPECT_FALSE(doc.HasPageImage());
}

TEST_F(DocumentTest, MemoryTheProcessTookSinceTheFirstQueryCountsAsAvailable)
{
    // Room for 13 single pages of 1024 × 1536 (with the eighth): the display copies do not fit.
    constexpr std::uint64_t page = 1024ull * 1536 * 4 * 9 / 8;
    std::uint64_t free = 13 * page;
    std::uint64_t workingSet = 50 * MiB;
    Make({[&] { return free; }, [&] { return workingSet; }});
    EXPECT_FALSE(document->AreDisplayCopiesInUse());
    // The process filled 7 pages' worth of its caches: they are the document's to use again.
    free -= 7 * page;
    workingSet += 7 * page;
    document->ApplySettings(false);
    EXPECT_FALSE(document->AreDisplayCopiesInUse());
    workingSet += 7 * page;
    document->ApplySettings(false);
    EXPECT_TRUE(document->AreDisplayCopiesInUse());
}

TEST_F(DocumentTest, OpeningAFolderShowsItsFirstPageAndPagesThroughIt)
{
    MakeFiles(4);
    CDocument& doc = Make();
    doc.OpenPath(At(L"d\\"));
    EXPECT_EQ(4, doc.GetFileCount());
    EXPECT_EQ(0, doc.GetCurrentIndex());
    EXPECT_EQ(0, Shown());
    EXPECT_EQ(L"TST", std::wstring(doc.GetPageName().CStr()));
    EXPECT_TRUE(doc.IsAtFirstFile());
    for (int i = 1; i < 4; ++i) {
        doc.GoNext(-1);
        EXPECT_EQ(i, doc.GetCurrentIndex());
        EXPECT_EQ(i, Shown());
    }
    EXPECT_TRUE(doc.IsAtLastFile());
    doc.GoPrevious(-1);
    EXPECT_EQ(2, Shown());
    EXPECT_GT(view.invalidations, 0);
    EXPECT_GT(view.scrollBarUpdates, 0);
}

TEST_F(DocumentTest, AZipOpensAndPagesThroughItsEntries)
{
    ArchiveFixtures::ZipRegistration zip;
    ArchiveFixtures::WriteFile(At(L"d\\book.zip"), ArchiveFixtures::Zip({{"1.tst", "30 20 ff0000"},
                                                                         {"2.tst", "31 20 00ff00"},
                                                                         {"10.tst", "32 20 0000ff"}}));
    CDocument& doc = Make();
    doc.OpenPath(At(L"d\\book.zip"));
    ASSERT_EQ(3, doc.GetFileCount());
    std::vector<int> widths;
    for (int i = 0; i < 3; ++i) {
        widths.push_back(doc.GetPageSize().cx);
        doc.GoNext(-1);
    }
    EXPECT_EQ((std::vector<int>{30, 31, 32}), widths);
}

// One navigation from a starting file; run many times with every decode held and let through in
// a random order, so that the worker is at a different point each time.
struct NavigationCase
{
    const char* name;
    bool link;
    int start;
    std::function<void(CDocument&)> move;
    int expected;
    bool lastFails = false;
};

std::function<void(CDocument&)> Next(int count)
{
    return [count](CDocument& doc) { doc.GoNext(count); };
}

std::function<void(CDocument&)> Previous(int count)
{
    return [count](CDocument& doc) { doc.GoPrevious(count); };
}

const NavigationCase navigationCases[] = {
    {"OnePageOnFromTheLastPageStays", false, 4, Next(-1), 4},
    {"OnePageOnFromTheLastPageWraps", true, 4, Next(-1), 0},
    {"FiftyFilesOnNearTheEndStopsAtTheLast", false, 3, Next(50), 4},
    {"FiftyFilesOnNearTheEndWraps", true, 3, Next(50), 3},
    {"FiveFilesBackFromFile2StopsAtTheFirst", false, 2, Previous(5), 0},
    {"FiveFilesBackFromFile2Wraps", true, 2, Previous(5), 2},
    {"OnePageBackFromTheFirstPageStays", false, 0, Previous(-1), 0},
    {"OnePageBackFromTheFirstPageWraps", true, 0, Previous(-1), 4},
    {"TheLastPage", false, 1, [](CDocument& doc) { doc.GoLast(); }, 4},
    {"OnePageOnBeforeALastFileThatFailsStays", false, 3, Next(-1), 3, true},
    {"OnePageOnBeforeALastFileThatFailsWraps", true, 3, Next(-1), 0, true},
};

// Each case runs as a test of its own: fifty runs with the worker released at random points are
// what a case costs, and all of them in one test outgrew a test's time on a busy machine.
class DocumentNavigationTest : public DocumentTest, public ::testing::WithParamInterface<NavigationCase>
{
};

TEST_P(DocumentNavigationTest, GivesOneResultWhereverTheWorkerIs)
{
    const NavigationCase& c = GetParam();
    for (int i = 0; i < 5; ++i)
        WriteText(File(i),
                  std::to_string(10 + i) + " 20 3366cc gate=g" + (c.lastFails && i == 4 ? " fail=open" : ""));
    settings.SetBool(L"LinkFirstAndLast", c.link);
    for (unsigned run = 0; run < 50 && !HasFailure(); ++run) {
        TestDecoder::Reset();
        Gates().HoldEveryPass();
        {
            DeadlineSync::RandomReleaser releaser(Gates(), run);
            CDocument& doc = Make();
            doc.OpenPath(File(c.start));
            ASSERT_EQ(c.start, Shown());
            c.move(doc);
            EXPECT_EQ(c.expected, doc.GetCurrentIndex()) << "run " << run;
            EXPECT_EQ(c.expected, Shown()) << "run " << run;
            document.reset();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, DocumentNavigationTest, ::testing::ValuesIn(navigationCases),
                         [](const ::testing::TestParamInfo<NavigationCase>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(DocumentTest, APageTurnToAPageReadAheadComposesAndDecodesNothingInTheCaller)
{
    MakeFiles(20);
    CountingDocument& doc = Make();
    doc.OpenPath(At(L"d\\"));
    ASSERT_TRUE(WorkersIdle());
    for (int i = 1; i <= 2; ++i) {
        const int compositions = doc.callerCompositions;
        const int decodes = TestDecoder::OpensOnThisThread();
        doc.GoNext(-1);
        EXPECT_EQ(compositions, doc.callerCompositions) << "page " << i;
        EXPECT_EQ(decodes, TestDecoder::OpensOnThisThread()) << "page " << i;
        EXPECT_EQ(i, Shown());
        ASSERT_TRUE(WorkersIdle());
    }
}

TEST_F(DocumentTest, StoredPasswordsAnswerTheFirstAttemptsAndTheDialogTheRest)
{
    struct Case
    {
        const wchar_t* stored;
        std::vector<std::pair<bool, std::wstring>> answers; // attempts 0 to 2
        std::vector<int> dialogAttempts;
    };
    const Case cases[] = {
        // An empty setting is one empty password, tried first.
        {L"", {{true, L""}, {true, L"typed"}, {true, L"typed"}}, {1, 2}},
        {L"a\nb", {{true, L"a"}, {true, L"b"}, {true, L"typed"}}, {2}},
    };
    CDocument& doc = Make();
    for (const Case& c : cases) {
        dialog.asked.clear();
        settings.SetString(L"ArcPassAutoTry", c.stored);
        doc.ApplySettings(false);
        Brivox::IQueryArchivePassword& query = doc;
        for (int attempt = 0; attempt < 3; ++attempt) {
            String password;
            EXPECT_EQ(c.answers[attempt].first, query.Query(L"x.zip", password, attempt));
            EXPECT_EQ(c.answers[attempt].second, std::wstring(password.CStr())) << attempt;
        }
        std::vector<int> attempts;
        for (const auto& [archive, attempt] : dialog.asked) {
            EXPECT_EQ(L"x.zip", std::wstring(archive.CStr()));
            attempts.push_back(attempt);
        }
        EXPECT_EQ(c.dialogAttempts, attempts);
    }
    dialog.answers = false;
    String password;
    EXPECT_FALSE(static_cast<Brivox::IQueryArchivePassword&>(doc).Query(L"x.zip", password, 2));
}

TEST_F(DocumentTest, AFailedPageShowsNothingOfThePageBeforeAndKeepsItsFile)
{
    // File 1 is wider than any plane may be: its composition fails after the decoder opened it.
    MakeFiles(3, {{1, "70000 20 ff0000"}});
    CDocument& doc = Make();
    doc.OpenPath(At(L"d\\"));
    ASSERT_EQ(0, Shown());
    doc.GoNext(1);
    EXPECT_FALSE(doc.HasPageImage());
    EXPECT_EQ((CSize{0, 0}), doc.GetPageSize());
    EXPECT_EQ(1, doc.GetCurrentIndex());
    // Navigation waits for a page on show; a reload with another file there brings one.
    doc.GoNext(-1);
    EXPECT_EQ(1, doc.GetCurrentIndex());
    WriteText(File(1), "11 20 3366cc");
    doc.Reload(true);
    EXPECT_EQ(1, Shown());
}

TEST_F(DocumentTest, AListWhoseFilesAllFailShowsNoImageAndKeepsTheCurrentFile)
{
    MakeFiles(4, {{0, "10 20 3366cc fail=open"},
                  {1, "11 20 3366cc fail=open"},
                  {2, "12 20 3366cc fail=open"},
                  {3, "13 20 3366cc fail=open"}});
    CDocument& doc = Make();
    doc.OpenPath(File(1));
    EXPECT_FALSE(doc.HasPageImage());
    EXPECT_FALSE(doc.HasCurrentImage());
    // Not moved to the last file by a page that found none.
    EXPECT_EQ(1, doc.GetCurrentIndex());
    for (const auto& row : doc.GetListRows().rows)
        EXPECT_EQ(-1, row.state);
}

TEST_F(DocumentTest, NavigationReachedDuringAnOpenDoesNothing)
{
    MakeFiles(5);
    MakeFolder(At(L"e"));
    WriteText(At(L"e\\q.tst"), "40 20 3366cc");
    CDocument& doc = Make();
    doc.OpenPath(At(L"d\\"));
    ASSERT_EQ(0, Shown());
    int reached = 0;
    listWindow.during = [&] {
        ++reached;
        doc.GoNext(2);
        doc.GoTo(3);
        doc.GoLast();
        doc.OpenPath(At(L"d\\p04.tst"));
    };
    doc.OpenPath(At(L"e\\q.tst"));
    listWindow.during = nullptr;
    EXPECT_GT(reached, 0);
    EXPECT_EQ(6, doc.GetFileCount());
    EXPECT_EQ(L"q.tst",
              std::wstring(
                  Brivox::CFileName::GetFileName(doc.GetEntryCopy(doc.GetCurrentIndex())->GetPath()).CStr()));
    EXPECT_EQ(30, Shown());
}

TEST_F(DocumentTest, AViewSizeThatLeavesTheViewRectangleAsItWasRefreshesNothing)
{
    settings.SetBool(L"Padding", true);
    settings.SetInt(L"PaddingH", 32);
    settings.SetInt(L"PaddingV", 32);
    MakeFiles(2);
    CDocument& doc = Make();
    doc.OpenPath(At(L"d\\"));
    doc.SetViewRect({1000, 800});
    EXPECT_EQ((Brivox::CRect{32, 32, 968, 768}), doc.GetLayout().GetViewRect());
    EXPECT_EQ((Brivox::CRect{32, 32, 968, 768}), doc.GetSettingsSnapshot()->layout->GetViewRect());
    const int invalidations = view.invalidations;
    doc.SetViewRect({1000, 800});
    EXPECT_EQ(invalidations, view.invalidations);
    doc.SetViewRect({1000, 600});
    EXPECT_EQ(invalidations + 1, view.invalidations);
}

TEST_F(DocumentTest, RandomOperationsKeepThePageOnTheCurrentFileUnderTheLockChecker)
{
    MakeFiles(12);
    for (int i = 0; i < 12; ++i)
        WriteText(File(i), std::to_string(10 + i) + " 20 3366cc gate=g");
    Gates().HoldEveryPass();
    DeadlineSync::RandomReleaser releaser(Gates(), 7);
    CDocument& doc = Make();
    std::mt19937 random(11);
    auto draw = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    doc.OpenPath(At(L"d\\"));
    for (int step = 0; step < 300 && !HasFailure(); ++step) {
        switch (draw(9)) {
        case 0:
            doc.GoNext(-1);
            break;
        case 1:
            doc.GoPrevious(-1);
            break;
        case 2:
            doc.GoNext(draw(6));
            break;
        case 3:
            doc.GoTo(draw(12));
            break;
        case 4:
            doc.Reload(draw(2) == 0);
            break;
        case 5:
            doc.SetViewRect({200 + draw(400), 200 + draw(400)});
            break;
        case 6:
            settings.SetInt(L"ImageCacheAutoMax", 1 + draw(6));
            settings.SetBool(L"LinkFirstAndLast", draw(2) == 0);
            doc.ApplySettings(true);
            break;
        case 7:
            doc.GoLast();
            break;
        default:
            doc.OpenPath(File(draw(12)));
            break;
        }
        ASSERT_TRUE(doc.HasPageImage()) << "step " << step;
        EXPECT_EQ(doc.GetCurrentIndex(), Shown()) << "step " << step;
    }
}

// ---- Marks, list order and the files behind the entries

TEST_F(DocumentTest, MarksStepsAndRemovalFromTheListFollowTheShownPage)
{
    MakeFiles(5);
    CDocument& doc = Make();
    doc.OpenPath(At(L"d\\"));
    doc.GoTo(1);
    doc.SetMark(true);
    doc.GoTo(3);
    doc.SetMark(true);
    EXPECT_EQ(2, doc.CountMarked());
    EXPECT_EQ((std::vector<std::wstring>{File(1).CStr(), File(3).CStr()}), [&] {
        std::vector<std::wstring> paths;
        for (const String& path : doc.GetMarkedPaths())
            paths.push_back(path.CStr());
        return paths;
    }());
    doc.GoNextMarked();
    EXPECT_EQ(1, Shown());
    doc.RemoveMarked(false, false, nullptr);
    EXPECT_EQ(3, doc.GetFileCount());
    EXPECT_TRUE(doc.HasPageImage());
    EXPECT_EQ(doc.GetCurrentIndex(), [&] {
        const String shown = doc.GetEntryCopy(doc.GetCurrentIndex())->GetPath();
        for (int i = 0; i < doc.GetFileCount(); ++i)
            if (doc.GetEntryCopy(i)->GetPath() == shown)
                return i;
        return -1;
    }());
    // The files stay on disk when only the list forgets them.
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW(File(1).CStr()));
}

TEST_F(DocumentTest, DeletingTheCurrentFileShowsTheNextAndAFailedDuplicateIsReported)
{
    settings.SetBool(L"DeleteByShell", false);
    MakeFiles(3);
    CDocument& doc = Make();
    doc.OpenPath(File(1));
    doc.DeleteCurrentFile(nullptr);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW(File(1).CStr()));
    EXPECT_EQ(2, doc.GetFileCount());
    EXPECT_EQ(2, Shown());
    // A duplicate onto a file that exists fails on its pool thread and reaches the view.
    doc.CopyCurrentFileInBackground(File(0));
    document.reset();
    ASSERT_EQ(1u, view.Errors().size());
    EXPECT_NE(std::wstring::npos, view.Errors()[0].find(L"p02.tst"));
}

// ---- Bookmarks and the history

class DocumentHistoryTest : public DocumentTest
{
protected:
    void SetUp() override
    {
        DocumentTest::SetUp();
        settings.SetRaw(L"HistoryDir", At(L"h\\"));
        settings.SetInt(L"HistoryMax", 3);
    }
    String History(int number) const
    {
        wchar_t name[16];
        swprintf(name, 16, L"h\\%02d.knb", number);
        return At(name);
    }
    bool Exists(const String& path) const
    {
        return ::GetFileAttributesW(path.CStr()) != INVALID_FILE_ATTRIBUTES;
    }
};

TEST_F(DocumentHistoryTest, ABookmarkOpensThroughOpenPathInAnyLetterCase)
{
    MakeFiles(4);
    CDocument& doc = Make();
    doc.OpenPath(File(2));
    doc.SaveBookmark(At(L"list.knb"), false);
    EXPECT_EQ(0, std::wstring(doc.GetBookmarkPath().CStr()).size());
    doc.Close();
    EXPECT_EQ(0, doc.GetFileCount());
    doc.OpenPath(At(L"LIST.KNB"));
    EXPECT_EQ(4, doc.GetFileCount());
    EXPECT_EQ(2, Shown());
    EXPECT_EQ(std::wstring(At(L"LIST.KNB").CStr()), doc.GetBookmarkPath().CStr());
}

TEST_F(DocumentHistoryTest, ClosingWithAPageOnShowWritesTheNewestHistoryFile)
{
    MakeFiles(3);
    CDocument& doc = Make();
    doc.Close(); // nothing on show: nothing written
    EXPECT_FALSE(Exists(History(0)));
    doc.OpenPath(File(1));
    doc.Close();
    EXPECT_TRUE(Exists(History(0)));
    EXPECT_FALSE(doc.HasPageImage());
    doc.OpenPath(File(2));
    doc.Close();
    EXPECT_TRUE(Exists(History(1)));
    // The older list, taken out of the series and opened; the series closes its gap.
    doc.OpenHistory(1);
    EXPECT_EQ(1, Shown());
    EXPECT_TRUE(Exists(History(0)));
    EXPECT_FALSE(Exists(History(1)));
    // With a page on show, the close writes it as the newest file first.
    doc.OpenHistory(0);
    EXPECT_EQ(2, Shown());
    EXPECT_TRUE(Exists(History(0)));
    EXPECT_FALSE(Exists(History(1)));
    EXPECT_TRUE(view.Errors().empty());
}

TEST_F(DocumentHistoryTest, AHistoryFolderThatIsAFileIsReportedOnceAndTheDocumentStillEmpties)
{
    WriteText(At(L"h"), "not a folder");
    MakeFiles(2);
    CDocument& doc = Make();
    doc.OpenPath(File(0));
    doc.Close();
    EXPECT_EQ(0, doc.GetFileCount());
    EXPECT_FALSE(doc.HasPageImage());
    EXPECT_EQ(1u, view.Errors().size());
    doc.OpenPath(File(1));
    EXPECT_NO_THROW(document.reset());
    EXPECT_EQ(1u, view.Errors().size());
}

TEST_F(DocumentHistoryTest, ALowerHistoryCountDeletesTheFilesItNoLongerKeeps)
{
    MakeFolder(At(L"h"));
    for (int i = 0; i < 3; ++i)
        WriteText(History(i), "x");
    CDocument& doc = Make();
    settings.SetInt(L"HistoryMax", 1);
    doc.ApplySettings(false);
    EXPECT_TRUE(Exists(History(0)));
    EXPECT_FALSE(Exists(History(1)));
    EXPECT_FALSE(Exists(History(2)));
}

} // namespace
