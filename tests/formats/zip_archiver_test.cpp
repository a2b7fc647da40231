#include "formats/zip_archiver.h"

#include "formats_test_support.h"
#include "foundation/encoding.h"
#include "foundation/exception.h"
#include "foundation/file_test_support.h"
#include "image_fixtures.h"
#include "zip_fixture.h"

#include "support/test_timeout.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using Brivox::CZipArchiver;
using Brivox::IArchiver;
using Brivox::String;
using FileTestSupport::Ansi;
using FileTestSupport::Bytes;
using FormatsTestSupport::ThrownText;
using ZipFixture::Entry;

namespace {

// Answers attempt n with answers[n] while there are answers; records what it was asked.
class ScriptedPasswords : public Brivox::IQueryArchivePassword
{
public:
    explicit ScriptedPasswords(std::vector<std::wstring> answers) : m_answers(std::move(answers)) {}

    bool Query(const String& archivePath, String& password, int attempt) override
    {
        attempts.push_back(attempt);
        paths.push_back(archivePath);
        if (attempt < 0 || static_cast<std::size_t>(attempt) >= m_answers.size())
            return false;
        password = String(m_answers[static_cast<std::size_t>(attempt)]);
        return true;
    }

    std::vector<int> attempts;
    std::vector<String> paths;

private:
    std::vector<std::wstring> m_answers;
};

class Zip : public FileTestSupport::TempFolderTest
{
protected:
    // Each archive gets a new name: a reader keeps its file open.
    String Write(const std::string& bytes)
    {
        const String path = root + String(L"a" + std::to_wstring(++m_written) + L".zip");
        FileTestSupport::WriteBytes(path, Bytes(bytes.begin(), bytes.end()));
        return path;
    }

    std::unique_ptr<CZipArchiver> OpenZip(const std::string& bytes)
    {
        auto zip = std::make_unique<CZipArchiver>();
        zip->OpenOrThrow(Write(bytes));
        return zip;
    }

    // False when the archive does not open.
    bool TryOpen(CZipArchiver& zip, const std::string& bytes)
    {
        zip.SetArchivePath(Write(bytes));
        return zip.Open(zip.GetEntries());
    }

    static std::string Extract(CZipArchiver& zip, unsigned index)
    {
        Brivox::FileBytes bytes;
        zip.ExtractToMemory(index, bytes);
        return std::string(bytes.begin(), bytes.end());
    }

    static std::string ExtractionError(const CZipArchiver& zip, unsigned index)
    {
        return Ansi(zip.GetArchivePath() + L" 内の " + zip.GetEntry(index).name + L" の解凍に失敗しました");
    }

    // What the archive file throws for data beyond its end.
    static std::string ReadError(const CZipArchiver& zip)
    {
        return Ansi(zip.GetArchivePath() + L" からの読み込みに失敗");
    }

    // The text of what the extraction throws; the bytes must then be empty, never damaged data.
    static std::string Failure(CZipArchiver& zip, unsigned index, bool& readError)
    {
        Brivox::FileBytes bytes(7, 'x');
        try {
            zip.ExtractToMemory(index, bytes);
        } catch (const Brivox::IOException& e) {
            readError = true;
            EXPECT_TRUE(bytes.empty()) << index;
            return e.what();
        } catch (const Brivox::RuntimeException& e) {
            readError = false;
            EXPECT_TRUE(bytes.empty()) << index;
            return e.what();
        }
        return "<nothing thrown>";
    }

private:
    int m_written = 0;
};

Entry Stored(std::string name, std::string data)
{
    Entry entry;
    entry.name = std::move(name);
    entry.data = std::move(data);
    return entry;
}

Entry Deflated(std::string name, std::string data)
{
    Entry entry = Stored(std::move(name), std::move(data));
    entry.deflate = true;
    return entry;
}

Entry Encrypted(Entry entry, std::string password, int checkBytes = 2)
{
    entry.password = std::move(password);
    entry.checkBytes = checkBytes;
    return entry;
}

} // namespace

TEST_F(Zip, StoredAndDeflatedEntriesExtractByteForByte)
{
    const std::vector<Entry> entries = {
        Stored("a.txt", "hello"),
        Deflated("big/b.bin", ZipFixture::SampleData(100000, 1)),
        Stored("big/c.bin", ZipFixture::SampleData(20000, 2)),
        Deflated("d.txt", "x"),
    };
    auto zip = OpenZip(ZipFixture::Build(entries));

    ASSERT_EQ(entries.size(), zip->GetEntryCount());
    for (unsigned i = 0; i < entries.size(); ++i) {
        const IArchiver::SEntry& entry = zip->GetEntry(i);
        EXPECT_EQ(String(std::wstring(entries[i].name.begin(), entries[i].name.end())), entry.name);
        EXPECT_EQ(entries[i].data.size(), entry.size);
        WORD date = 0, time = 0;
        ASSERT_TRUE(::FileTimeToDosDateTime(&entry.time, &date, &time));
        EXPECT_EQ(entries[i].date, date);
        EXPECT_EQ(entries[i].time, time);
        EXPECT_TRUE(Extract(*zip, i) == entries[i].data) << i;
    }
    // Entries read again, in another order, come out the same.
    EXPECT_TRUE(Extract(*zip, 1) == entries[1].data);
    EXPECT_TRUE(Extract(*zip, 0) == entries[0].data);

    std::vector<String> extensions;
    zip->GetExtensions(extensions);
    EXPECT_EQ(std::vector<String>{L"zip"}, extensions);
    EXPECT_EQ(IArchiver::ExtractModePerEntryMemory, zip->GetExtractMode());
}

TEST_F(Zip, LocalHeadersAreScannedWhenTheDirectoryIsMissing)
{
    const std::vector<Entry> entries = {Deflated("one.bin", ZipFixture::SampleData(30000, 3)),
                                        Stored("two.txt", "second")};
    auto zip = OpenZip(ZipFixture::BuildWithoutDirectory(entries));
    ASSERT_EQ(2u, zip->GetEntryCount());
    EXPECT_EQ(String(L"two.txt"), zip->GetEntry(1).name);
    EXPECT_TRUE(Extract(*zip, 0) == entries[0].data);
    EXPECT_TRUE(Extract(*zip, 1) == entries[1].data);
}

TEST_F(Zip, FolderOnlyArchiveOpensEmptyFromItsDirectoryOnly)
{
    const std::vector<Entry> folders = {Stored("dir/", ""), Stored("dir/sub/", ""), Stored("empty.txt", "")};
    auto zip = OpenZip(ZipFixture::Build(folders));
    EXPECT_EQ(0u, zip->GetEntryCount());

    CZipArchiver scanned;
    EXPECT_FALSE(TryOpen(scanned, ZipFixture::BuildWithoutDirectory(folders)));
    const String path = scanned.GetArchivePath();
    EXPECT_EQ(ThrownText([&] { scanned.OpenOrThrow(path); }), Ansi(path + L" が解凍出来ませんでした"));
}

TEST_F(Zip, DataDescriptorsAreReadFromTheDirectory)
{
    std::vector<Entry> entries = {Deflated("a.bin", ZipFixture::SampleData(50000, 4)),
                                  Stored("b.txt", "plain")};
    for (Entry& entry : entries)
        entry.dataDescriptor = true;
    auto zip = OpenZip(ZipFixture::Build(entries));
    ASSERT_EQ(2u, zip->GetEntryCount());
    EXPECT_TRUE(Extract(*zip, 0) == entries[0].data);
    EXPECT_TRUE(Extract(*zip, 1) == entries[1].data);

    // Without the directory their sizes are unknown, so nothing is listed.
    CZipArchiver scanned;
    EXPECT_FALSE(TryOpen(scanned, ZipFixture::BuildWithoutDirectory(entries)));
}

TEST_F(Zip, EndRecordWithTheLongestCommentIsFound)
{
    // A data-descriptor entry is invisible to the local scan: it is listed only when the
    // directory was found.
    Entry entry = Deflated("page.jpg", ZipFixture::SampleData(9000, 5));
    entry.dataDescriptor = true;
    for (const std::size_t length : {std::size_t{65514}, std::size_t{65535}}) {
        ZipFixture::End end;
        end.comment = std::string(length, 'c');
        auto zip = OpenZip(ZipFixture::Build({entry}, end));
        ASSERT_EQ(1u, zip->GetEntryCount()) << length;
        EXPECT_TRUE(Extract(*zip, 0) == entry.data) << length;
    }
}

TEST_F(Zip, UnsupportedMethodRefusesTheArchiveUnlessTheEntryIsEmpty)
{
    Entry bzip2 = Stored("b.bz2", "not really bzip2");
    bzip2.method = 12;
    const std::vector<Entry> withData = {Stored("a.txt", "a"), bzip2};
    CZipArchiver zip;
    EXPECT_FALSE(TryOpen(zip, ZipFixture::Build(withData)));
    EXPECT_FALSE(TryOpen(zip, ZipFixture::BuildWithoutDirectory(withData)));

    bzip2.data.clear();
    ASSERT_TRUE(TryOpen(zip, ZipFixture::Build({Stored("a.txt", "a"), bzip2})));
    ASSERT_EQ(1u, zip.GetEntryCount());
    EXPECT_EQ("a", Extract(zip, 0));
}

TEST_F(Zip, JapaneseNamesAreReadInTheAnsiCodePage)
{
    ASSERT_EQ(932u, ::GetACP()) << "run with LC_ALL=ja_JP.UTF-8";
    const String name(L"画像/表紙.jpg");
    const std::string data = ZipFixture::SampleData(3000, 6);
    auto zip = OpenZip(ZipFixture::Build({Deflated(Ansi(name), data)}));
    ASSERT_EQ(1u, zip->GetEntryCount());
    EXPECT_EQ(name, zip->GetEntry(0).name);

    zip->ExtractToFile(0, At(L"出力\\"));
    const Bytes written = FileTestSupport::ReadBytes(At(L"出力\\画像\\表紙.jpg"));
    EXPECT_TRUE(std::string(written.begin(), written.end()) == data);
}

TEST_F(Zip, HostileNamesAreRefusedAndNothingIsWrittenOutside)
{
    const std::vector<std::string> hostile = {
        "..\\x",  "a\\..\\..\\x", "C:\\x", "C:x", "\\\\server\\x", "x:y",     "CON",
        ".. \\x", "%TEMP%\\x",    "../x",  "/x",  "...\\y",        "nul.txt", "sub/LPT1/z",
    };
    std::vector<Entry> entries;
    for (const std::string& name : hostile)
        entries.push_back(Stored(name, "evil"));
    entries.push_back(Stored("good/ok.txt", "fine"));
    auto zip = OpenZip(ZipFixture::Build(entries));
    ASSERT_EQ(entries.size(), zip->GetEntryCount());

    const String folder = At(L"out\\");
    for (unsigned i = 0; i < hostile.size(); ++i) {
        const String name = zip->GetEntry(i).name;
        EXPECT_EQ(ThrownText([&] { zip->ExtractToFile(i, folder); }),
                  Ansi(zip->GetArchivePath() + L" 内に怪しいファイル名があります：" + name))
            << hostile[i];
    }
    zip->ExtractToFile(static_cast<unsigned>(hostile.size()), folder);
    EXPECT_EQ((std::vector<std::wstring>{L"a1.zip", L"out\\", L"out\\good\\", L"out\\good\\ok.txt"}),
              FileTestSupport::Tree(root));
}

TEST_F(Zip, ExtractAllCheckedWritesEveryEntryOrNothing)
{
    auto good = OpenZip(ZipFixture::Build({Stored("a.txt", "one"), Deflated("sub/b.txt", "two two two")}));
    good->ExtractAllChecked(At(L"out\\"), false);
    EXPECT_EQ(
        (std::vector<std::wstring>{L"a1.zip", L"out\\", L"out\\a.txt", L"out\\sub\\", L"out\\sub\\b.txt"}),
        FileTestSupport::Tree(root));
    EXPECT_EQ("two two two", FileTestSupport::ReadText(At(L"out\\sub\\b.txt")));

    // A bad name anywhere in the list stops the extraction before the first file.
    auto bad = OpenZip(ZipFixture::Build({Stored("first.txt", "x"), Stored("..\\x", "evil")}));
    EXPECT_EQ(ThrownText([&] { bad->ExtractAllChecked(At(L"bad\\"), false); }),
              Ansi(bad->GetArchivePath() + L" 内に怪しいファイル名があります：..\\x"));
    EXPECT_FALSE(FileTestSupport::Exists(At(L"bad\\")));
}

TEST_F(Zip, DamagedEntriesGiveTheExtractionError)
{
    const std::string sample = ZipFixture::SampleData(40000, 7);
    Entry cut = Deflated("cut.bin", sample);
    cut.payloadCut = 500;
    Entry huge = Stored("huge.bin", "small");
    huge.declaredSize = 0xFFFFFFF0u;
    Entry longer = Deflated("longer.bin", sample);
    longer.declaredSize = 40001;
    Entry shorter = Deflated("shorter.bin", sample);
    shorter.declaredSize = 39999;
    const std::vector<Entry> entries = {cut, huge, longer, shorter};

    auto zip = OpenZip(ZipFixture::Build(entries));
    ASSERT_EQ(entries.size(), zip->GetEntryCount());
    for (unsigned i = 0; i < entries.size(); ++i)
        EXPECT_EQ(ThrownText([&] { Extract(*zip, i); }), ExtractionError(*zip, i)) << i;
}

// One flipped byte of the data: a stored entry reads it, and a deflate stream of stored blocks
// inflates it, without complaint; only the CRC-32 tells. No damaged byte is handed on.
TEST_F(Zip, FlippedDataByteIsAnExtractionError)
{
    const std::string data = ZipFixture::SampleData(30000, 15);
    Entry inStoredBlocks = Deflated("blocks.bin", data);
    inStoredBlocks.deflateLevel = 0;
    const Entry entries[] = {Stored("stored.bin", data), inStoredBlocks, Deflated("deflated.bin", data)};
    for (const Entry& entry : entries) {
        const std::string good = ZipFixture::Build({entry});
        const std::size_t dataStart = 30 + entry.name.size();
        ASSERT_TRUE(Extract(*OpenZip(good), 0) == data) << entry.name;

        std::string bytes = good;
        bytes[dataStart + 1000] ^= 0x20;
        auto zip = OpenZip(bytes);
        bool readError = true;
        EXPECT_EQ(Failure(*zip, 0, readError), ExtractionError(*zip, 0)) << entry.name;
        EXPECT_FALSE(readError) << entry.name;
    }
}

// The data lie beyond the end of the file: the file's read error, thrown before anything is
// allocated for an entry of the declared size.
TEST_F(Zip, DataRunningPastTheEndOfTheFileIsTheReadError)
{
    const std::string sample = ZipFixture::SampleData(40000, 16);
    Entry claimsAGigabyte = Stored("claims.bin", "small");
    claimsAGigabyte.declaredSize = IArchiver::maxEntrySize;
    const std::string directoryBeyond = ZipFixture::Build({Stored("a.txt", "first"), claimsAGigabyte});
    // Cut inside the second entry's data: no directory, the local headers are scanned.
    const std::string cut =
        ZipFixture::BuildWithoutDirectory({Stored("a.txt", "first"), Deflated("b.bin", sample)});
    const std::string cases[] = {directoryBeyond, cut.substr(0, cut.size() - 100)};
    for (const std::string& bytes : cases) {
        auto zip = OpenZip(bytes);
        ASSERT_EQ(2u, zip->GetEntryCount());
        EXPECT_EQ("first", Extract(*zip, 0));
        bool readError = false;
        std::string failure;
        const std::size_t growth =
            ImageFixtures::PeakMemoryGrowth([&] { failure = Failure(*zip, 1, readError); });
        EXPECT_EQ(failure, ReadError(*zip));
        EXPECT_TRUE(readError);
        EXPECT_LT(growth, 64u << 20);
    }
}

TEST_F(Zip, DamagedDirectoryRecordsNeverLeadOutsideTheData)
{
    const std::vector<Entry> entries = {Stored("a.txt", "first entry"),
                                        Deflated("b.bin", ZipFixture::SampleData(5000, 8))};
    const std::string good = ZipFixture::Build(entries);
    const std::size_t end = good.size() - 22;
    const std::size_t directory = end - 2 * 46 - 5 - 5;

    enum Outcome
    {
        DoesNotOpen, // a directory that does not hold what its end record announces
        ExtractionFails,
        ReadFails // the entry's header or data lie beyond the end of the file
    };
    struct Damage
    {
        const char* what;
        std::size_t at;
        std::uint32_t value;
        int width;
        Outcome outcome;
    };
    const Damage damages[] = {
        {"record signature", directory, 0x12345678, 4, DoesNotOpen},
        {"record count too high", end + 8, 3, 2, DoesNotOpen},
        {"record count too low", end + 8, 1, 2, DoesNotOpen},
        {"directory size beyond the file", end + 12, 0x7FFFFFF0, 4, DoesNotOpen},
        {"name length beyond the directory", directory + 28, 0xFFFF, 2, DoesNotOpen},
        {"local header offset beyond the file", directory + 42, 0x7FFFFFF0, 4, ReadFails},
        {"local header offset inside the data", directory + 42, 3, 4, ExtractionFails},
        {"compressed size beyond the file", directory + 46 + 5 + 20, 0x00FFFFFF, 4, ReadFails},
    };
    for (const Damage& damage : damages) {
        std::string bytes = good;
        for (int k = 0; k < damage.width; ++k)
            bytes[damage.at + k] = static_cast<char>(damage.value >> (8 * k));
        CZipArchiver zip;
        if (damage.outcome == DoesNotOpen) {
            EXPECT_FALSE(TryOpen(zip, bytes)) << damage.what;
            continue;
        }
        ASSERT_TRUE(TryOpen(zip, bytes)) << damage.what;
        ASSERT_EQ(2u, zip.GetEntryCount()) << damage.what;
        const unsigned damaged = damage.at > directory + 46 ? 1 : 0;
        EXPECT_TRUE(Extract(zip, 1 - damaged) == entries[1 - damaged].data) << damage.what;
        bool readError = false;
        EXPECT_EQ(Failure(zip, damaged, readError),
                  damage.outcome == ReadFails ? ReadError(zip) : ExtractionError(zip, damaged))
            << damage.what;
        EXPECT_EQ(damage.outcome == ReadFails, readError) << damage.what;
    }
}

// Every prefix of an archive and bytes overwritten at random: opening and extracting either work
// or throw the reader's exceptions, and never read or write outside their buffers.
TEST_F(Zip, CutAndScrambledArchivesFailCleanly)
{
    KanoruTest::ExtendTimeout(180); // hundreds of archives written and opened
    const std::vector<Entry> entries = {
        Stored("a.txt", "stored text"),
        Deflated("b.bin", ZipFixture::SampleData(600, 9)),
        Encrypted(Deflated("c.bin", ZipFixture::SampleData(300, 10)), "pw"),
        Encrypted(Stored("d.txt", "secret"), "pw", 1),
    };
    const std::string good = ZipFixture::Build(entries);
    ScriptedPasswords passwords({L"pw"});
    const auto tryAll = [&](const std::string& bytes) {
        CZipArchiver zip;
        if (!TryOpen(zip, bytes))
            return;
        zip.SetPasswordQuery(&passwords);
        for (unsigned i = 0; i < zip.GetEntryCount(); ++i) {
            Brivox::FileBytes out;
            try {
                zip.ExtractToMemory(i, out);
            } catch (const Brivox::RuntimeException&) {
            }
        }
    };
    for (std::size_t length = 0; length < good.size(); length += 3)
        tryAll(good.substr(0, length));

    std::uint32_t state = 12345;
    for (int round = 0; round < 300; ++round) {
        std::string bytes = good;
        for (int k = 0; k < 4; ++k) {
            state = state * 1664525u + 1013904223u;
            bytes[(state >> 8) % bytes.size()] = static_cast<char>(state >> 24);
        }
        tryAll(bytes);
    }
}

TEST_F(Zip, TwoThreadsExtractingTheSameEntryGetTheSameBytes)
{
    const Entry entry = Deflated("page.bin", ZipFixture::SampleData(300000, 11));
    auto zip = OpenZip(ZipFixture::Build({Stored("first.txt", "1"), entry}));
    std::promise<void> go;
    const std::shared_future<void> start = go.get_future().share();
    const auto reader = [&] {
        start.wait();
        bool same = true;
        for (int round = 0; round < 3; ++round)
            same = same && Extract(*zip, 1) == entry.data;
        return same;
    };
    auto first = std::async(std::launch::async, reader);
    auto second = std::async(std::launch::async, reader);
    go.set_value();
    EXPECT_TRUE(first.get());
    EXPECT_TRUE(second.get());
}

// ---- many entries and ZIP64

namespace {

std::string ManyName(unsigned i)
{
    char name[16];
    std::snprintf(name, sizeof name, "p/%06u.txt", i);
    return name;
}

// Small entries with their sizes in the headers, as a zip tool writes them, or after their data,
// as an archive written as a stream has them. Their count needs the ZIP64 end records.
std::string ManyEntries(unsigned count, bool streamed)
{
    ZipFixture::Writer writer;
    for (unsigned i = 0; i < count; ++i) {
        Entry entry = Stored(ManyName(i), std::to_string(i));
        entry.dataDescriptor = streamed;
        writer.Add(entry);
    }
    writer.Finish();
    return writer.Take();
}

void PutLittle64(std::string& bytes, std::size_t at, std::uint64_t value)
{
    for (int k = 0; k < 8; ++k)
        bytes[at + k] = static_cast<char>(value >> (8 * k));
}

} // namespace

TEST_F(Zip, ArchivesOfMoreThan65535EntriesListEveryEntry)
{
    constexpr unsigned count = 100000;
    for (const bool streamed : {false, true}) {
        const std::string bytes = ManyEntries(count, streamed);
        auto zip = OpenZip(bytes);
        ASSERT_EQ(count, zip->GetEntryCount()) << streamed;
        for (const unsigned i : {0u, 65534u, 65535u, 65536u, count - 1}) {
            const std::string name = ManyName(i);
            EXPECT_EQ(String(std::wstring(name.begin(), name.end())), zip->GetEntry(i).name) << streamed;
            EXPECT_EQ(std::to_string(i), Extract(*zip, i)) << streamed;
        }
        if (streamed)
            continue;

        // The ZIP64 end record announces one record more or fewer than the directory holds.
        const std::size_t record = bytes.size() - 22 - 20 - 56;
        for (const std::uint64_t announced : {count + 1, count - 1}) {
            std::string damaged = bytes;
            PutLittle64(damaged, record + 24, announced);
            PutLittle64(damaged, record + 32, announced);
            CZipArchiver refused;
            EXPECT_FALSE(TryOpen(refused, damaged)) << announced;
            EXPECT_EQ(0u, refused.GetEntryCount());
        }
    }
}

TEST_F(Zip, DirectoryHoldingOtherThanItsAnnouncedRecordsFailsToOpen)
{
    const std::vector<Entry> entries = {
        Stored("a.txt", "first"), Deflated("b.bin", ZipFixture::SampleData(3000, 17)), Stored("c.txt", "c")};
    using Zip64 = ZipFixture::End::Zip64;
    const struct
    {
        Zip64 zip64;
        std::uint64_t announced;
        bool opens;
    } cases[] = {
        {Zip64::Never, 3, true},   {Zip64::Always, 3, true},
        {Zip64::Never, 4, false},  {Zip64::Never, 2, false},
        {Zip64::Never, 0, false},  {Zip64::Always, 4, false},
        {Zip64::Always, 2, false}, {Zip64::Always, 0x100000003ull, false},
    };
    for (const auto& c : cases) {
        ZipFixture::End end;
        end.zip64 = c.zip64;
        end.announcedCount = c.announced;
        CZipArchiver zip;
        const bool opened = TryOpen(zip, ZipFixture::Build(entries, end));
        EXPECT_EQ(c.opens, opened) << static_cast<int>(c.zip64) << ", " << c.announced;
        if (opened) {
            ASSERT_EQ(3u, zip.GetEntryCount());
            EXPECT_TRUE(Extract(zip, 1) == entries[1].data);
        }
    }

    // The directory cut short: its last record gone, the end record as it was.
    std::string cut = ZipFixture::Build(entries);
    cut.erase(cut.size() - 22 - 46 - 5, 46 + 5);
    CZipArchiver zip;
    EXPECT_FALSE(TryOpen(zip, cut));
}

// Sizes and offset in the directory's ZIP64 field: read when the reader can reach them, else that
// entry fails to extract while the rest of the archive reads.
TEST_F(Zip, EntriesWithZip64SizesAndOffset)
{
    const std::string data = ZipFixture::SampleData(5000, 18);
    Entry zip64 = Deflated("z.bin", data);
    zip64.zip64 = true;
    Entry fiveGigabytes = zip64;
    fiveGigabytes.zip64Size = 5ull << 30;
    Entry beyondFourGigabytes = zip64;
    beyondFourGigabytes.zip64Offset = (1ull << 32) + 30;
    Entry fieldMissing = Deflated("z.bin", data);
    fieldMissing.zip64FieldMissing = true;
    const struct
    {
        const char* what;
        Entry entry;
        bool extracts;
    } cases[] = {
        {"reachable", zip64, true},
        {"size of 5 GiB", fiveGigabytes, false},
        {"offset beyond 4 GiB", beyondFourGigabytes, false},
        {"escapes without the field", fieldMissing, false},
    };
    for (const auto& c : cases) {
        auto zip = OpenZip(ZipFixture::Build({Stored("a.txt", "first"), c.entry}));
        ASSERT_EQ(2u, zip->GetEntryCount()) << c.what;
        EXPECT_EQ("first", Extract(*zip, 0)) << c.what;
        if (c.extracts) {
            EXPECT_EQ(data.size(), zip->GetEntry(1).size);
            EXPECT_TRUE(Extract(*zip, 1) == data) << c.what;
        } else {
            bool readError = true;
            EXPECT_EQ(Failure(*zip, 1, readError), ExtractionError(*zip, 1)) << c.what;
            EXPECT_FALSE(readError) << c.what;
        }
    }
}

// ---- passwords

TEST_F(Zip, RightPasswordIsTakenOnAnyAttempt)
{
    struct Case
    {
        bool deflate;
        int checkBytes;
        std::vector<std::wstring> answers;
    };
    const Case cases[] = {
        {false, 2, {L"secret"}},
        {true, 2, {L"wrong", L"secret"}},
        {true, 1, {L"", L"wrong", L"secret"}},
        {false, 1, {L"x", L"secret"}},
    };
    const std::string data = ZipFixture::SampleData(20000, 12);
    for (const Case& c : cases) {
        Entry entry = Encrypted(Stored("locked.bin", data), "secret", c.checkBytes);
        entry.deflate = c.deflate;
        auto zip = OpenZip(ZipFixture::Build({entry}));
        ScriptedPasswords passwords(c.answers);
        zip->SetPasswordQuery(&passwords);
        EXPECT_TRUE(Extract(*zip, 0) == data) << c.answers.size();

        std::vector<int> expected;
        for (int n = 0; n < static_cast<int>(c.answers.size()); ++n)
            expected.push_back(n);
        EXPECT_EQ(expected, passwords.attempts);
        EXPECT_EQ(zip->GetArchivePath(), passwords.paths.front());
    }
}

TEST_F(Zip, WrongPasswordsAreRefused)
{
    for (const bool deflate : {false, true}) {
        Entry entry = Encrypted(Stored("locked.txt", "content"), "secret");
        entry.deflate = deflate;
        auto zip = OpenZip(ZipFixture::Build({entry}));
        ScriptedPasswords passwords({L"Secret", L"secret "});
        zip->SetPasswordQuery(&passwords);
        EXPECT_EQ(ThrownText([&] { Extract(*zip, 0); }), Ansi(L"解凍に失敗しました"));
        EXPECT_EQ((std::vector<int>{0, 1, 2}), passwords.attempts);
    }
}

// A wrong password that happens to pass the one check byte is still refused: the CRC-32 of
// what it decrypts decides.
TEST_F(Zip, PasswordPassingTheCheckByteIsRefusedByTheCrc)
{
    Entry entry = Encrypted(Deflated("locked.bin", ZipFixture::SampleData(5000, 13)), "secret", 1);
    const std::string header = ZipFixture::Encryptor("secret").Encrypt(
        ZipFixture::EncryptionHeader(entry, ZipFixture::Crc(entry.data)));
    const char lastByte = ZipFixture::Encryptor("secret").Decrypt(header)[11];
    std::string lucky;
    for (int n = 0; lucky.empty() && n < 100000; ++n) {
        const std::string candidate = "guess" + std::to_string(n);
        if (ZipFixture::Encryptor(candidate).Decrypt(header)[11] == lastByte)
            lucky = candidate;
    }
    ASSERT_FALSE(lucky.empty());

    for (const bool stored : {false, true}) {
        entry.deflate = !stored;
        auto zip = OpenZip(ZipFixture::Build({entry}));
        const std::wstring wideLucky(lucky.begin(), lucky.end());
        ScriptedPasswords passwords({wideLucky, L"secret"});
        zip->SetPasswordQuery(&passwords);
        EXPECT_TRUE(Extract(*zip, 0) == entry.data);
        EXPECT_EQ((std::vector<int>{0, 1}), passwords.attempts);

        auto again = OpenZip(ZipFixture::Build({entry}));
        ScriptedPasswords onlyLucky({wideLucky});
        again->SetPasswordQuery(&onlyLucky);
        EXPECT_EQ(ThrownText([&] { Extract(*again, 0); }), Ansi(L"解凍に失敗しました"));
    }
}

TEST_F(Zip, PasswordIsAskedOncePerOpenedArchive)
{
    const std::vector<Entry> entries = {Encrypted(Deflated("1.bin", ZipFixture::SampleData(4000, 14)), "pw"),
                                        Encrypted(Stored("2.txt", "two"), "pw")};
    const std::string bytes = ZipFixture::Build(entries);
    auto zip = OpenZip(bytes);
    ScriptedPasswords passwords({L"no", L"pw"});
    zip->SetPasswordQuery(&passwords);
    EXPECT_TRUE(Extract(*zip, 0) == entries[0].data);
    EXPECT_TRUE(Extract(*zip, 1) == entries[1].data);
    EXPECT_EQ((std::vector<int>{0, 1}), passwords.attempts);

    // Giving up once settles the archive: the next entry fails without a question, until the
    // archive is opened again.
    ScriptedPasswords none({});
    auto refused = OpenZip(bytes);
    refused->SetPasswordQuery(&none);
    EXPECT_EQ(ThrownText([&] { Extract(*refused, 0); }), Ansi(L"解凍に失敗しました"));
    EXPECT_EQ(ThrownText([&] { Extract(*refused, 1); }), Ansi(L"解凍に失敗しました"));
    EXPECT_EQ((std::vector<int>{0}), none.attempts);
    ASSERT_TRUE(refused->Open(refused->GetEntries()));
    EXPECT_EQ(ThrownText([&] { Extract(*refused, 1); }), Ansi(L"解凍に失敗しました"));
    EXPECT_EQ((std::vector<int>{0, 0}), none.attempts);

    // No callback at all: refused without asking anything.
    auto unattended = OpenZip(bytes);
    EXPECT_EQ(ThrownText([&] { Extract(*unattended, 1); }), Ansi(L"解凍に失敗しました"));
}

TEST_F(Zip, PasswordCharactersCountWithTheirLowByte)
{
    // U+3042 has the low byte 0x42 ('B').
    const Entry entry = Encrypted(Stored("a.txt", "kana password"), "Bx");
    auto zip = OpenZip(ZipFixture::Build({entry}));
    ScriptedPasswords passwords({L"\u3042x"});
    zip->SetPasswordQuery(&passwords);
    EXPECT_EQ("kana password", Extract(*zip, 0));
}
