#include "formats/susie_archiver.h"

#include "formats_test_support.h"
#include "foundation/exception.h"
#include "foundation/file_test_support.h"
#include "plugin_test_support.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using Brivox::CSpi;
using Brivox::CSpiArchiver;
using Brivox::IArchiver;
using Brivox::String;
using FileTestSupport::Ansi;
using FormatsTestSupport::ThrownText;
using namespace PluginTestSupport;

namespace {

const wchar_t* const listFailsPlugin = L"kanoru_spi_list_fails.dll";
const wchar_t* const noMemoryPlugin = L"kanoru_spi_no_memory.dll";
const wchar_t* const unterminatedPlugin = L"kanoru_spi_unterminated.dll";
const wchar_t* const endlessPlugin = L"kanoru_spi_archive_endless.dll";

struct SKarEntry
{
    std::string path;
    std::string name;
    std::uint32_t timestamp = 0;
    std::string contents;
};

void PutLe(std::string& bytes, std::uint32_t value, int count)
{
    for (int k = 0; k < count; ++k)
        bytes += static_cast<char>(value >> (8 * k));
}

// An archive of the test archive plug-in (see its source).
std::string Kar(const std::vector<SKarEntry>& entries)
{
    std::string bytes = "KARC";
    PutLe(bytes, static_cast<std::uint32_t>(entries.size()), 4);
    for (const SKarEntry& entry : entries) {
        for (const std::string* text : {&entry.path, &entry.name}) {
            PutLe(bytes, static_cast<std::uint32_t>(text->size()), 2);
            bytes += *text;
        }
        PutLe(bytes, entry.timestamp, 4);
        PutLe(bytes, static_cast<std::uint32_t>(entry.contents.size()), 4);
        bytes += entry.contents;
    }
    return bytes;
}

// The local time of seconds since 1970 (UTC), by way of the system's own conversion.
FILETIME LocalTime(std::uint32_t seconds)
{
    ULARGE_INTEGER utc;
    utc.QuadPart = 116444736000000000ull + seconds * 10000000ull;
    const FILETIME universal{utc.LowPart, utc.HighPart};
    FILETIME local{};
    ::FileTimeToLocalFileTime(&universal, &local);
    return local;
}

class SusieArchiverTest : public PluginFolderTest
{
protected:
    // A reader of the set on a new archive of the entries; the test fails when it does not open.
    std::unique_ptr<CSpiArchiver> Open(const std::shared_ptr<const CSpi>& spi,
                                       const std::vector<SKarEntry>& entries)
    {
        auto reader = std::make_unique<CSpiArchiver>(spi);
        archive = At(L"a.kar");
        FileTestSupport::WriteText(archive, Kar(entries));
        reader->SetArchivePath(archive);
        EXPECT_TRUE(reader->Open(reader->GetEntries()));
        return reader;
    }

    String archive;
};

std::string Text(const Brivox::FileBytes& bytes)
{
    return std::string(bytes.begin(), bytes.end());
}

} // namespace

TEST_F(SusieArchiverTest, WithoutArchivePluginsNothingIsHandledOrOpened)
{
    const auto spi = LoadSet({imagePlugin});
    CSpiArchiver reader(spi);
    std::vector<String> extensions;
    reader.GetExtensions(extensions);
    EXPECT_TRUE(extensions.empty());
    FileTestSupport::WriteText(At(L"a.kar"), Kar({{"", "a.jpg", 0, "abc"}}));
    reader.SetArchivePath(At(L"a.kar"));
    EXPECT_FALSE(reader.Open(reader.GetEntries()));
}

TEST_F(SusieArchiverTest, ListsEntriesByPathAndNameAndExtractsThem)
{
    const auto spi = LoadSet({archivePlugin});
    const auto reader = Open(spi, {{"dir", "a.jpg", 0, "aaa"},
                                   {"", "b.jpg", 1700000000, "bb"},
                                   {"x", "", 0, "skipped"},
                                   {"dir\\", "c.jpg", 0, "c"},
                                   {"dir/", "d.jpg", 0, ""}});
    std::vector<String> extensions;
    reader->GetExtensions(extensions);
    EXPECT_EQ(extensions, std::vector<String>{L"kar"});
    EXPECT_EQ(reader->GetExtractMode(), IArchiver::ExtractModePerEntryMemory);

    const std::vector<IArchiver::SEntry>& entries = reader->GetEntries();
    ASSERT_EQ(entries.size(), 4u);
    const wchar_t* const names[] = {L"dir\\a.jpg", L"b.jpg", L"dir\\c.jpg", L"dir/d.jpg"};
    const unsigned sizes[] = {3, 2, 1, 0};
    for (std::size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(entries[i].name, names[i]);
        EXPECT_EQ(entries[i].size, sizes[i]);
    }
    for (const auto& [index, seconds] : {std::pair{0, 0u}, std::pair{1, 1700000000u}}) {
        const FILETIME expected = LocalTime(seconds);
        EXPECT_EQ(entries[index].time.dwLowDateTime, expected.dwLowDateTime) << seconds;
        EXPECT_EQ(entries[index].time.dwHighDateTime, expected.dwHighDateTime) << seconds;
    }

    Brivox::FileBytes bytes;
    reader->ExtractToMemory(1, bytes);
    EXPECT_EQ(Text(bytes), "bb");
    reader->ExtractToMemory(3, bytes);
    EXPECT_TRUE(bytes.empty());
    const String folder = MakeFolderAt(L"out");
    reader->ExtractToFile(0, folder);
    EXPECT_EQ(FileTestSupport::ReadText(folder + L"dir\\a.jpg"), "aaa");
}

TEST_F(SusieArchiverTest, FirstArchivePluginThatListsTheFileWins)
{
    // The first takes the file but cannot list it; the second must read the file from its start.
    const auto spi = LoadSet({listFailsPlugin, archivePlugin, archivePlugin});
    const auto reader = Open(spi, {{"", "a.jpg", 0, "abc"}});
    EXPECT_EQ(SpiProbe(paths[0]).getArchiveInfoCalls, 1);
    EXPECT_EQ(SpiProbe(paths[1]).getArchiveInfoCalls, 1);
    EXPECT_EQ(SpiProbe(paths[2]).getArchiveInfoCalls, 0);
    Brivox::FileBytes bytes;
    reader->ExtractToMemory(0, bytes);
    EXPECT_EQ(Text(bytes), "abc");
}

TEST_F(SusieArchiverTest, PluginWithoutMemoryBlocksStillWritesFiles)
{
    const auto spi = LoadSet({noMemoryPlugin});
    const auto reader = Open(spi, {{"", "a.jpg", 0, "abc"}});
    const std::string entry = Ansi(archive) + Ansi(L" 内の a.jpg");
    Brivox::FileBytes bytes;
    EXPECT_EQ(ThrownText([&] { reader->ExtractToMemory(0, bytes); }),
              entry + Ansi(L" の読み込みに失敗しました\r\nエラーコード：2"));

    const String folder = MakeFolderAt(L"out");
    reader->ExtractToFile(0, folder);
    EXPECT_EQ(FileTestSupport::ReadText(folder + L"a.jpg"), "abc");
    // Its own writing fails too: its code is reported.
    EXPECT_EQ(ThrownText([&] { reader->ExtractToFile(0, At(L"missing\\")); }),
              entry + Ansi(L" の解凍に失敗しました\r\nエラーコード：6"));
}

TEST_F(SusieArchiverTest, RefusedNameReachesNeitherWayOfExtracting)
{
    const auto spi = LoadSet({noMemoryPlugin});
    const auto reader = Open(spi, {{"", "..\\evil.txt", 0, "abc"}});
    EXPECT_EQ(ThrownText([&] { reader->ExtractToFile(0, MakeFolderAt(L"out")); }),
              Ansi(archive) + Ansi(L" 内に怪しいファイル名があります：..\\evil.txt"));
    EXPECT_FALSE(FileTestSupport::Exists(At(L"evil.txt")));
}

TEST_F(SusieArchiverTest, RecordListWithoutItsEndStopsAtTheBlock)
{
    const auto spi = LoadSet({unterminatedPlugin});
    const std::string longName(250, 'n'); // fills the field without a zero byte
    const auto reader = Open(spi, {{"", "a.jpg", 0, "a"}, {"", longName, 0, "b"}});
    const std::vector<IArchiver::SEntry>& entries = reader->GetEntries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].name, L"a.jpg");
    EXPECT_EQ(entries[1].name, String(std::wstring(200, L'n')));
}

TEST_F(SusieArchiverTest, PluginThatNamesFormatsWithoutEndIsAskedABoundedNumberOfTimes)
{
    const auto spi = LoadSet({endlessPlugin});
    CSpiArchiver reader(spi);
    std::vector<String> extensions;
    reader.GetExtensions(extensions);
    EXPECT_EQ(extensions, std::vector<String>(CSpi::maxFormats, L"end"));
}

TEST_F(SusieArchiverTest, FactoryReadsWithTheSetLoadedWhenItMadeTheReader)
{
    const String first = MakePluginFolder(L"first", {{archivePlugin, L"a.spi"}});
    auto host = std::make_shared<Brivox::CSpiHost>();
    host->Load(Brivox::CFileName(first));
    Brivox::CSpiArchiverFactory factory(host);
    const std::shared_ptr<IArchiver> reader = factory.Create();

    host->Load(Brivox::CFileName(MakePluginFolder(L"second", {})));
    FileTestSupport::WriteText(At(L"a.kar"), Kar({{"", "a.jpg", 0, "abc"}}));
    reader->SetArchivePath(At(L"a.kar"));
    ASSERT_TRUE(reader->Open(reader->GetEntries()));
    Brivox::FileBytes bytes;
    reader->ExtractToMemory(0, bytes);
    EXPECT_EQ(Text(bytes), "abc");
    std::vector<String> extensions;
    factory.Create()->GetExtensions(extensions);
    EXPECT_TRUE(extensions.empty());
}
