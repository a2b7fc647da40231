#include "formats/archive_loader.h"

#include "archive_fixtures.h"
#include "formats_test_support.h"
#include "foundation/exception.h"
#include "foundation/file_test_support.h"
#include "foundation/lzss.h"
#include "foundation/memory_stream.h"
#include "foundation/serialization.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

using namespace ArchiveFixtures;
using Brivox::CArchive;
using Brivox::CArchiveLoader;
using Brivox::IRestorer;
using Brivox::String;
using FileTestSupport::Ansi;
using FileTestSupport::Bytes;
using FileTestSupport::Tree;
using FormatsTestSupport::ThrownText;

namespace {

class ArchiveLoaderTest : public FileTestSupport::TempFolderTest
{
protected:
    void SetUp() override
    {
        TempFolderTest::SetUp();
        WriteFile(At(L"a.zip"), Zip({{"x/1.jpg", "one"}, {"inner.zip", Zip({{"2.png", "two"}})}}));
        WriteFile(At(L"b.zip"), Zip({{"3.png", "three"}}));
        WriteFile(At(L"damaged.zip"), "PK not really");
    }

    // Where the document puts its extraction folders.
    String KanoruRoot(const wchar_t* folder) const { return At(folder) + L"\\$Kanoru$/"; }

    ZipRegistration zip;
};

void WriteInt(IRestorer& restorer, std::int32_t value)
{
    restorer.WriteBytes(&value, sizeof(value));
}

} // namespace

TEST_F(ArchiveLoaderTest, CanOpenTriesAndDropsTheArchive)
{
    CArchiveLoader loader({});
    loader.PushTempFolder(KanoruRoot(L"t"));
    WriteFile(At(L"a.txt"), Zip({{"1.png", "1"}}));
    EXPECT_FALSE(loader.CanOpen(At(L"a.txt")));
    EXPECT_FALSE(loader.CanOpen(At(L"damaged.zip")));
    EXPECT_FALSE(loader.CanOpen(At(L"missing.zip")));
    EXPECT_TRUE(loader.CanOpen(At(L"a.zip")));
    EXPECT_EQ(loader.GetArchiveCount(), 0);
    EXPECT_TRUE(Brivox::IsArchiveExtension(L"C:\\x\\Book.CBZ"));
    EXPECT_FALSE(Brivox::IsArchiveExtension(L"C:\\x\\zip"));
}

TEST_F(ArchiveLoaderTest, OpenArchiveKeepsTheArchiveAndListsItsEntries)
{
    CArchiveLoader loader({});
    loader.PushTempFolder(KanoruRoot(L"t"));
    std::vector<CArchive::SListEntry> list;
    EXPECT_FALSE(loader.OpenArchive(At(L"damaged.zip"), list));
    EXPECT_FALSE(loader.OpenArchive(At(L"a.txt"), list));
    ASSERT_TRUE(loader.OpenArchive(At(L"a.zip"), list));

    EXPECT_EQ(Paths(list), (std::vector<String>{At(L"a.zip\\x/1.jpg"), At(L"a.zip\\inner.zip\\2.png")}));
    EXPECT_EQ(Read(list[1]), "two");
    EXPECT_EQ(loader.GetArchiveCount(), 1);
    EXPECT_EQ(loader.GetArchivePath(0), At(L"a.zip"));

    const CArchive::SEntryRef found = loader.FindEntry(At(L"a.zip\\x\\1.jpg"));
    EXPECT_EQ(found.archive.lock(), list[0].archive.lock());
    EXPECT_EQ(found.index, 0);
    EXPECT_EQ(loader.FindEntry(At(L"a.zip\\inner.zip\\2.png")).archive.lock(), list[1].archive.lock());
    EXPECT_EQ(loader.FindEntry(At(L"b.zip\\3.png")).index, -1);

    loader.Clear();
    EXPECT_EQ(loader.GetArchiveCount(), 0);
    EXPECT_TRUE(list[0].archive.expired());
}

TEST_F(ArchiveLoaderTest, AddArchiveThrowsForAFileThatDoesNotOpen)
{
    CArchiveLoader loader({});
    loader.PushTempFolder(KanoruRoot(L"t"));
    loader.AddArchive(At(L"a.zip"));
    EXPECT_EQ(loader.GetArchiveCount(), 1);
    // The nested archive was opened too.
    EXPECT_EQ(loader.FindEntry(At(L"a.zip\\inner.zip\\2.png")).index, 0);
    EXPECT_EQ(ThrownText([&] { loader.AddArchive(At(L"missing.zip")); }),
              Ansi(L"書庫 '" + At(L"missing.zip") + L"' の読み込みに失敗しました"));
    EXPECT_EQ(loader.GetArchiveCount(), 1);
}

TEST_F(ArchiveLoaderTest, OpeningNeedsAnExtractionFolder)
{
    CArchiveLoader loader({});
    std::vector<CArchive::SListEntry> list;
    EXPECT_FALSE(loader.CanOpen(At(L"a.zip")));
    EXPECT_FALSE(loader.OpenArchive(At(L"a.zip"), list));
    EXPECT_THROW(loader.AddArchive(At(L"a.zip")), Brivox::InvalidOprationException);
}

TEST_F(ArchiveLoaderTest, SavesTheArchivePathsInOrder)
{
    CArchiveLoader loader({});
    loader.PushTempFolder(KanoruRoot(L"t"));
    loader.AddArchive(At(L"b.zip"));
    loader.AddArchive(At(L"a.zip"));
    IRestorer saved;
    loader.Save(saved);

    IRestorer expected;
    WriteInt(expected, 2);
    expected.WriteString(At(L"b.zip"));
    expected.WriteString(At(L"a.zip"));
    EXPECT_EQ(saved.GetBuffer(), expected.GetBuffer());
    EXPECT_EQ(saved.GetBuffer().size(), 4 + 2 * (4 + Ansi(At(L"a.zip")).size()));
}

TEST_F(ArchiveLoaderTest, LoadSkipsArchivesThatNoLongerOpen)
{
    IRestorer saved;
    WriteInt(saved, 3);
    saved.WriteString(At(L"gone.zip"));
    saved.WriteString(At(L"b.zip"));
    saved.WriteString(At(L"damaged.zip"));
    saved.WriteString(L"after the list");

    CArchiveLoader loader({});
    loader.PushTempFolder(KanoruRoot(L"t"));
    loader.Load(saved);
    ASSERT_EQ(loader.GetArchiveCount(), 1);
    EXPECT_EQ(loader.GetArchivePath(0), At(L"b.zip"));
    EXPECT_EQ(saved.ReadString(), String(L"after the list"));
}

TEST_F(ArchiveLoaderTest, LoadOfADamagedListThrows)
{
    // A path whose length runs past the data; negative counts, each followed by a good list.
    const std::int32_t counts[] = {2, -1, -2, INT32_MIN};
    for (const std::int32_t count : counts) {
        IRestorer saved;
        WriteInt(saved, count);
        saved.WriteString(At(L"b.zip"));
        if (count == 2)
            WriteInt(saved, 1000);

        CArchiveLoader loader({});
        loader.PushTempFolder(KanoruRoot(L"t"));
        EXPECT_EQ(ThrownText([&] { loader.Load(saved); }), Ansi(L"保存データが壊れています")) << count;
        EXPECT_EQ(loader.GetArchiveCount(), count == 2 ? 1 : 0) << count;
    }
}

// The old compressed bookmark: the size, then LZSS data holding the entry paths, the current
// path and the archive list.
TEST_F(ArchiveLoaderTest, OldBookmarkContainerReadsBackItsPathsAndArchives)
{
    const std::vector<String> paths = {At(L"a.zip\\x/1.jpg"), At(L"a.zip\\inner.zip\\2.png"),
                                       At(L"b.zip\\3.png"), At(L"plain.jpg")};
    IRestorer written;
    WriteInt(written, static_cast<std::int32_t>(paths.size()));
    for (const String& path : paths)
        written.WriteString(path);
    written.WriteString(paths[1]);
    WriteInt(written, 2);
    written.WriteString(At(L"a.zip"));
    written.WriteString(At(L"b.zip"));
    Brivox::CReadStream input(written.GetBuffer().data(), static_cast<int>(written.GetBuffer().size()));
    Brivox::CWriteStream compressed;
    Brivox::CLZSSCompress().Encode(compressed, input);
    FileTestSupport::WriteBytes(At(L"old.bmk"), compressed.GetBuffer());

    Brivox::CCompressRestorer restorer(At(L"old.bmk"));
    std::vector<String> read;
    restorer.ReadStringVector(read);
    EXPECT_EQ(read, paths);
    EXPECT_EQ(restorer.ReadString(), paths[1]);
    CArchiveLoader loader({});
    loader.PushTempFolder(KanoruRoot(L"t"));
    loader.Load(restorer);
    ASSERT_EQ(loader.GetArchiveCount(), 2);

    const std::string expected[] = {"one", "two", "three"};
    for (int k = 0; k < 3; ++k) {
        SCOPED_TRACE(k);
        const CArchive::SEntryRef found = loader.FindEntry(paths[k]);
        ASSERT_FALSE(found.archive.expired());
        EXPECT_EQ(Text(found.archive.lock()->GetFileData(found.index)->GetBytes()), expected[k]);
    }
    EXPECT_TRUE(loader.FindEntry(paths[3]).archive.expired());
}

TEST_F(ArchiveLoaderTest, NewExtractionFolderServesLaterArchivesAndAllGoAtTheEnd)
{
    const String first = KanoruRoot(L"first");
    const String second = KanoruRoot(L"second");
    {
        CArchiveLoader loader({});
        loader.PushTempFolder(first);
        std::vector<CArchive::SListEntry> list;
        ASSERT_TRUE(loader.OpenArchive(At(L"a.zip"), list));
        loader.PushTempFolder(second);
        WriteFile(At(L"c.zip"), Zip({{"inner.zip", Zip({{"4.png", "four"}})}}));
        ASSERT_TRUE(loader.OpenArchive(At(L"c.zip"), list));

        // Each archive extracted its nested archive below its own folder's root.
        const auto below = [](const std::weak_ptr<CArchive>& archive, const wchar_t* folder) {
            return std::wstring(archive.lock()->GetTempFolderPath().CStr()).find(folder) !=
                   std::wstring::npos;
        };
        EXPECT_TRUE(below(list[0].archive, L"\\first\\$Kanoru$"));
        EXPECT_TRUE(below(list[2].archive, L"\\second\\$Kanoru$"));
        const std::vector<std::wstring> firstTree = Tree(At(L"first\\$Kanoru$\\"));
        const std::vector<std::wstring> secondTree = Tree(At(L"second\\$Kanoru$\\"));
        EXPECT_EQ(std::count_if(firstTree.begin(), firstTree.end(),
                                [](const std::wstring& path) { return path.ends_with(L"\\inner.zip"); }),
                  1);
        EXPECT_EQ(std::count_if(secondTree.begin(), secondTree.end(),
                                [](const std::wstring& path) { return path.ends_with(L"\\inner.zip"); }),
                  1);
        EXPECT_EQ(Read(list[1]), "two");
        EXPECT_EQ(Read(list[2]), "four");

        // A reset makes the set's archives extract again.
        loader.ResetExtractStates();
        EXPECT_EQ(Read(list[0]), "one");
    }
    EXPECT_TRUE(FileTestSupport::Exists(At(L"first\\$Kanoru$")));
    EXPECT_TRUE(Tree(At(L"first\\$Kanoru$\\")).empty());
    EXPECT_TRUE(Tree(At(L"second\\$Kanoru$\\")).empty());
}
