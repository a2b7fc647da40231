#include "formats/archive.h"

#include "archive_fixtures.h"
#include "foundation/exception.h"
#include "foundation/file_name.h"
#include "foundation/file_test_support.h"
#include "foundation/thread_sync.h"
#include "support/test_timeout.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using namespace ArchiveFixtures;
using Brivox::CArchive;
using Brivox::IArchiver;
using Brivox::String;
using FileTestSupport::Exists;
using FileTestSupport::Tree;

namespace {

class ArchiveTest : public FileTestSupport::TempFolderTest
{
protected:
    void SetUp() override
    {
        TempFolderTest::SetUp();
        extractRoot = At(L"extract\\");
    }

    // A top-level archive opened on path and listed.
    std::shared_ptr<CArchive> OpenListed(const String& path, std::vector<CArchive::SListEntry>& list)
    {
        auto archive = std::make_shared<CArchive>(extractRoot, Brivox::SArchiverContext{});
        EXPECT_TRUE(archive->Open(path));
        archive->AppendFileList(list);
        return archive;
    }

    String extractRoot;
};

// Three levels: a.zip holds b.zip, which holds c.zip.
std::string ThreeLevels()
{
    const std::string c = Zip({{"3.png", "third level"}});
    const std::string b = Zip({{"2.png", "second level"}, {"c.zip", c}, {"4.png", std::string(5000, 'q')}});
    return Zip({{"x/1.jpg", "first level"}, {"b.zip", b}, {"5.png", "last of a"}});
}

} // namespace

TEST_F(ArchiveTest, NestedArchivesListDepthFirstInEntryOrderAndExtractByteForByte)
{
    ZipRegistration zip;
    WriteFile(At(L"a.zip"), ThreeLevels());
    std::vector<CArchive::SListEntry> list;
    const auto archive = OpenListed(At(L"a.zip"), list);

    const String a = At(L"a.zip\\");
    EXPECT_EQ(Paths(list),
              (std::vector<String>{a + L"x/1.jpg", a + L"b.zip\\2.png", a + L"b.zip\\c.zip\\3.png",
                                   a + L"b.zip\\4.png", a + L"5.png"}));
    const std::string expected[] = {"first level", "second level", "third level", std::string(5000, 'q'),
                                    "last of a"};
    for (std::size_t k = 0; k < list.size(); ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(Read(list[k]), expected[k]);
        // Entries extracted to memory are named by their display path.
        EXPECT_EQ(list[k].archive.lock()->GetFileData(list[k].index)->GetName(), list[k].path);
    }

    ASSERT_EQ(archive->GetChildren().size(), 1u);
    const auto& b = archive->GetChildren()[0];
    EXPECT_EQ(b->GetPathPrefix(), a + L"b.zip\\");
    EXPECT_EQ(b->GetDepth(), 2);
    ASSERT_EQ(b->GetChildren().size(), 1u);
    EXPECT_EQ(b->GetChildren()[0]->GetDepth(), 3);
    EXPECT_EQ(list[2].archive.lock(), b->GetChildren()[0]);
}

TEST_F(ArchiveTest, ArchiveAtTheNinthLevelStaysAPlainEntry)
{
    ZipRegistration zip;
    // Level k holds page k and, below the ninth, the archive of level k + 1.
    std::string level = Zip({{"p9.png", "page 9"}});
    const std::string ninth = level;
    for (int k = 8; k >= 1; --k)
        level = Zip({{"p" + std::to_string(k) + ".png", "page " + std::to_string(k)},
                     {"L" + std::to_string(k + 1) + ".zip", level}});
    WriteFile(At(L"L1.zip"), level);

    std::vector<CArchive::SListEntry> list;
    const auto archive = OpenListed(At(L"L1.zip"), list);

    std::vector<String> expected;
    String prefix = At(L"L1.zip\\");
    for (int k = 1; k <= 8; ++k) {
        expected.push_back(prefix + String(L"p" + std::to_wstring(k) + L".png"));
        prefix = prefix + String(L"L" + std::to_wstring(k + 1) + L".zip");
        if (k < 8)
            prefix = prefix + L"\\";
    }
    expected.push_back(prefix);
    ASSERT_EQ(Paths(list), expected);
    for (int k = 0; k < 8; ++k)
        EXPECT_EQ(Read(list[k]), "page " + std::to_string(k + 1));
    // The ninth level is the entry's bytes, unopened.
    EXPECT_EQ(Read(list[8]), ninth);
    EXPECT_EQ(list[8].archive.lock()->GetDepth(), 8);
    EXPECT_TRUE(list[8].archive.lock()->GetChildren().empty());
}

// A small archive holding four copies of the next level, eight levels deep: far more nested
// archives than one tree may open. Those beyond the limit stay plain entries.
TEST_F(ArchiveTest, WideNestingOpensAtMost4096NestedArchives)
{
    KanoruTest::ExtendTimeout(180); // thousands of nested archives extracted and opened
    ZipRegistration zip;
    std::string level = Zip({{"page.png", "deepest page"}});
    for (int k = 7; k >= 1; --k) {
        std::vector<ZipFixture::Entry> copies(4);
        for (int c = 0; c < 4; ++c) {
            copies[c].name = std::to_string(c) + ".zip";
            copies[c].data = level;
            copies[c].deflate = true;
        }
        level = ZipFixture::Build(copies);
    }
    WriteFile(At(L"wide.zip"), level);

    std::vector<CArchive::SListEntry> list;
    const auto archive = OpenListed(At(L"wide.zip"), list);

    int nested = 0;
    std::size_t entries = archive->GetEntryCount();
    const std::function<void(const CArchive&)> walk = [&](const CArchive& parent) {
        for (const std::shared_ptr<CArchive>& child : parent.GetChildren()) {
            ++nested;
            entries += child->GetEntryCount();
            EXPECT_LE(child->GetDepth(), CArchive::maxDepth);
            walk(*child);
        }
    };
    walk(*archive);
    EXPECT_EQ(nested, CArchive::maxNestedArchives);
    // Every entry of an opened archive is listed, unless it was opened itself.
    EXPECT_EQ(list.size(), entries - nested);

    // Depth first: the first copy on every level is opened, down to the page.
    String first = At(L"wide.zip");
    for (int k = 2; k <= 8; ++k)
        first = first + L"\\0.zip";
    EXPECT_EQ(list.front().path, first + L"\\page.png");
    EXPECT_EQ(Read(list.front()), "deepest page");
    // The limit is reached inside the first copy: the others are the entries' bytes, unopened.
    EXPECT_EQ(list.back().path, At(L"wide.zip\\3.zip"));
    EXPECT_EQ(Read(list.back()), Text(archive->GetFileData(0)->GetBytes()));
}

TEST_F(ArchiveTest, InnerFileThatDoesNotOpenIsAPlainEntry)
{
    ZipRegistration zip;
    WriteFile(At(L"a.zip"), Zip({{"x/1.jpg", "one"}, {"inner.zip", "not an archive"}}));
    std::vector<CArchive::SListEntry> list;
    const auto archive = OpenListed(At(L"a.zip"), list);

    EXPECT_EQ(Paths(list), (std::vector<String>{At(L"a.zip\\x/1.jpg"), At(L"a.zip\\inner.zip")}));
    EXPECT_EQ(Read(list[1]), "not an archive");
    EXPECT_TRUE(archive->GetChildren().empty());
}

TEST_F(ArchiveTest, FindsEntriesOfItselfAndOfItsDirectChildren)
{
    ZipRegistration zip;
    WriteFile(At(L"a.zip"), ThreeLevels());
    std::vector<CArchive::SListEntry> list;
    const auto archive = OpenListed(At(L"a.zip"), list);
    const auto& b = archive->GetChildren()[0];

    EXPECT_EQ(archive->FindEntryIndex(At(L"a.zip\\x\\1.jpg")), 0);
    EXPECT_EQ(archive->FindEntryIndex(At(L"a.zip\\x/1.jpg")), 0);
    EXPECT_EQ(archive->FindEntryIndex(At(L"a.zip\\X\\1.jpg")), -1);
    EXPECT_EQ(archive->FindEntryIndex(At(L"A.zip\\x\\1.jpg")), -1);
    EXPECT_EQ(archive->FindEntryIndex(At(L"a.zip")), -1);
    EXPECT_EQ(archive->FindEntryIndex(At(L"a.zip\\")), -1);

    const CArchive::SEntryRef own = archive->FindEntry(At(L"a.zip\\5.png"));
    EXPECT_EQ(own.archive.lock(), archive);
    EXPECT_EQ(own.index, 2);
    const CArchive::SEntryRef child = archive->FindEntry(At(L"a.zip\\b.zip\\4.png"));
    EXPECT_EQ(child.archive.lock(), b);
    EXPECT_EQ(child.index, 2);
    // Two levels down is the child's business.
    const CArchive::SEntryRef deep = archive->FindEntry(At(L"a.zip\\b.zip\\c.zip\\3.png"));
    EXPECT_TRUE(deep.archive.expired());
    EXPECT_EQ(deep.index, -1);
    EXPECT_EQ(b->FindEntry(At(L"a.zip\\b.zip\\c.zip\\3.png")).index, 0);
}

TEST_F(ArchiveTest, TemporaryFoldersGoWithTheArchives)
{
    ZipRegistration zip;
    WriteFile(At(L"a.zip"), ThreeLevels());
    std::vector<CArchive::SListEntry> list;
    auto archive = OpenListed(At(L"a.zip"), list);

    // The nested archives were extracted into folders side by side under the one root.
    const String aFolder = archive->GetTempFolderPath();
    const String bFolder = archive->GetChildren()[0]->GetTempFolderPath();
    EXPECT_TRUE(Exists(aFolder + L"b.zip"));
    EXPECT_TRUE(Exists(bFolder + L"c.zip"));
    EXPECT_EQ(Brivox::CFileName::GetParent(aFolder), Brivox::CFileName::GetParent(bFolder));
    EXPECT_EQ(Tree(extractRoot).size(), 4u);

    // An entry's reader may outlive the list, not the folders.
    list.clear();
    archive.reset();
    EXPECT_TRUE(Tree(extractRoot).empty());
}

TEST_F(ArchiveTest, FileModeEntriesAreNamedByTheirExtractedFile)
{
    for (int mode : {IArchiver::ExtractModePerEntryFile, IArchiver::ExtractModeWholeArchive}) {
        SCOPED_TRACE(mode);
        ZipRegistration zip(mode);
        WriteFile(At(L"a.zip"), Zip({{"x/1.jpg", "one"}, {"2.jpg", "two"}}));
        std::vector<CArchive::SListEntry> list;
        auto archive = OpenListed(At(L"a.zip"), list);

        const auto data = archive->GetFileData(0);
        EXPECT_EQ(data->GetName(), archive->GetTempFolderPath() + L"x\\1.jpg");
        EXPECT_EQ(Text(data->GetBytes()), "one");
        EXPECT_EQ(Text(archive->GetFileData(1)->GetBytes()), "two");
        EXPECT_EQ(Text(archive->GetFileData(0)->GetBytes()), "one");
        // Each entry, or the whole archive, was extracted once.
        if (mode == IArchiver::ExtractModePerEntryFile) {
            EXPECT_EQ(Log().entries, (std::vector<unsigned>{0, 1}));
        } else {
            EXPECT_EQ(Log().wholeArchives, 1);
        }
        archive.reset();
        EXPECT_TRUE(Tree(extractRoot).empty());
    }
}

TEST_F(ArchiveTest, FailedWholeArchiveExtractionIsNotRetriedUntilReset)
{
    ZipRegistration zip(IArchiver::ExtractModeWholeArchive);
    WriteFile(At(L"a.zip"), Zip({{"1.jpg", "one"}}));
    std::vector<CArchive::SListEntry> list;
    auto archive = OpenListed(At(L"a.zip"), list);

    Log().failWholeArchive = true;
    EXPECT_THROW(archive->GetFileData(0), Brivox::IOException);
    EXPECT_THROW(archive->GetFileData(0), Brivox::IOException);
    EXPECT_EQ(Log().wholeArchives, 1);

    Log().failWholeArchive = false;
    archive->ResetExtractState();
    EXPECT_EQ(Text(archive->GetFileData(0)->GetBytes()), "one");
    EXPECT_EQ(Log().wholeArchives, 2);
}

// A whole-archive extraction refused for one climbing name must not let that entry's read fall
// through to a file outside the extraction folder, nor open one there as a nested archive.
TEST_F(ArchiveTest, ClimbingNameOfAFailedWholeArchiveIsNotReadOutside)
{
    for (int mode : {IArchiver::ExtractModePerEntryFile, IArchiver::ExtractModeWholeArchive}) {
        SCOPED_TRACE(mode);
        ZipRegistration zip(mode);
        WriteFile(At(L"secret.png"), "outside the folder");
        WriteFile(At(L"a.zip"), Zip({{"1.png", "one"}, {"..\\..\\secret.png", "inside"}}));
        std::vector<CArchive::SListEntry> list;
        auto archive = OpenListed(At(L"a.zip"), list);
        ASSERT_EQ(list.size(), 2u);

        EXPECT_THROW(archive->GetFileData(1), Brivox::RuntimeException);
        EXPECT_THROW(archive->EnsureExtracted(1), Brivox::RuntimeException);

        WriteFile(At(L"inner.zip"), Zip({{"2.png", "two"}}));
        WriteFile(At(L"b.zip"), Zip({{"1.png", "one"}, {"..\\..\\inner.zip", "not an archive"}}));
        list.clear();
        auto outer = std::make_shared<CArchive>(extractRoot, Brivox::SArchiverContext{});
        ASSERT_TRUE(outer->Open(At(L"b.zip")));
        EXPECT_THROW(outer->AppendFileList(list), Brivox::RuntimeException);
        EXPECT_TRUE(outer->GetChildren().empty());
    }
}

TEST_F(ArchiveTest, FailedEntryExtractionIsRetried)
{
    ZipRegistration zip(IArchiver::ExtractModePerEntryFile);
    ZipFixture::Entry broken;
    broken.name = "1.jpg";
    broken.data = std::string(100, 'z');
    broken.deflate = true;
    broken.payloadCut = 3;
    WriteFile(At(L"a.zip"), ZipFixture::Build({broken}));
    std::vector<CArchive::SListEntry> list;
    auto archive = OpenListed(At(L"a.zip"), list);

    EXPECT_THROW(archive->GetFileData(0), Brivox::RuntimeException);
    EXPECT_THROW(archive->GetFileData(0), Brivox::RuntimeException);
    EXPECT_EQ(Log().entries.size(), 2u);
}

TEST_F(ArchiveTest, ArchiveThatIsNotOpenRefusesEntryCalls)
{
    ZipRegistration zip;
    CArchive archive(extractRoot, Brivox::SArchiverContext{});
    EXPECT_FALSE(archive.Open(At(L"missing.zip")));
    EXPECT_EQ(archive.GetEntryCount(), 0);
    EXPECT_THROW(archive.GetFileData(0), Brivox::InvalidOprationException);
    EXPECT_EQ(archive.FindEntryIndex(At(L"missing.zip\\1.jpg")), -1);
    std::vector<CArchive::SListEntry> list;
    archive.AppendFileList(list);
    EXPECT_TRUE(list.empty());
}

// Two threads read every entry of one archive at the same time, in opposite orders: each entry
// (or the whole archive) is extracted once per round, one extraction at a time, and every
// read gives the entry's bytes.
TEST_F(ArchiveTest, TwoThreadsExtractFromOneArchiveAtOnce)
{
    constexpr int entryCount = 16;
    std::vector<std::pair<std::string, std::string>> files;
    for (int k = 0; k < entryCount; ++k)
        files.push_back(
            {"dir/" + std::to_string(k) + ".png", std::string(3000 + 97 * k, static_cast<char>('a' + k))});
    const std::string bytes = Zip(files);

    for (int mode : {IArchiver::ExtractModePerEntryFile, IArchiver::ExtractModeWholeArchive,
                     IArchiver::ExtractModePerEntryMemory}) {
        SCOPED_TRACE(mode);
        ZipRegistration zip(mode);
        WriteFile(At(L"a.zip"), bytes);
        std::vector<CArchive::SListEntry> list;
        const auto archive = OpenListed(At(L"a.zip"), list);

        for (int round = 0; round < 3; ++round) {
            Gate start;
            std::vector<std::string> failures[2];
            const auto reader = [&](int thread) {
                start.Wait();
                for (int n = 0; n < entryCount; ++n) {
                    const int k = thread == 0 ? n : entryCount - 1 - n;
                    try {
                        if (Text(archive->GetFileData(k)->GetBytes()) != files[k].second)
                            failures[thread].push_back("wrong bytes in entry " + std::to_string(k));
                    } catch (const std::exception& e) {
                        failures[thread].push_back(e.what());
                    }
                }
            };
            std::thread first(reader, 0);
            std::thread second(reader, 1);
            start.Open();
            first.join();
            second.join();
            EXPECT_TRUE(failures[0].empty() && failures[1].empty())
                << (failures[0].empty() ? failures[1] : failures[0]).front();
            archive->ResetExtractState();
        }
        EXPECT_LE(Log().mostInside, 1);
        if (mode == IArchiver::ExtractModePerEntryFile) {
            EXPECT_EQ(Log().entries.size(), 3u * entryCount);
        } else if (mode == IArchiver::ExtractModeWholeArchive) {
            EXPECT_EQ(Log().wholeArchives, 3);
        }
    }
}
