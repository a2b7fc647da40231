#include "formats/archiver_dll.h"
#include "formats/archiver_dll_readers.h"

#include "formats_test_support.h"
#include "foundation/exception.h"
#include "foundation/file_name.h"
#include "foundation/file_test_support.h"
#include "plugin_test_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

using Brivox::CArchiverDll;
using Brivox::CFileName;
using Brivox::IArchiver;
using Brivox::String;
using FileTestSupport::Ansi;
using FormatsTestSupport::ThrownText;
using PluginFakes::SFakeEntry;
using PluginTestSupport::ModuleExport;

namespace {

// A fake archiver DLL bound as a reader binds its DLL, with the fake's call log.
class FakeDll
{
public:
    FakeDll(const wchar_t* fileName, const wchar_t* prefix)
        : dll(fileName, prefix), log_(ModuleExport<PluginFakes::ArcLogProc>(fileName, "KanoruArcLog")),
          clearLog_(ModuleExport<PluginFakes::ArcClearLogProc>(fileName, "KanoruArcClearLog")),
          setBusy_(ModuleExport<PluginFakes::ArcSetBusyProc>(fileName, "KanoruArcSetBusy"))
    {
    }

    // The calls logged since the last look.
    std::vector<std::string> TakeLog()
    {
        std::vector<std::string> lines;
        std::istringstream text(log_());
        for (std::string line; std::getline(text, line);)
            lines.push_back(line);
        clearLog_();
        return lines;
    }
    void SetBusy(int polls) { setBusy_(polls); }

    CArchiverDll dll;

private:
    PluginFakes::ArcLogProc log_;
    PluginFakes::ArcClearLogProc clearLog_;
    PluginFakes::ArcSetBusyProc setBusy_;
};

struct SFakeKind
{
    const wchar_t* fileName;
    const wchar_t* prefix;
};

const SFakeKind unzipDll{L"kanoru_arc_unzip.dll", L"UnZip"};
const SFakeKind sevenZipDll{L"kanoru_arc_7zip.dll", L"SevenZip"};
const SFakeKind unrarDll{L"kanoru_arc_unrar.dll", L"Unrar"};
const SFakeKind unlhaDll{L"kanoru_arc_unlha.dll", L"Unlha"};
const SFakeKind ungcaDll{L"kanoru_arc_ungca.dll", L"UnGCA"};
const SFakeKind minimalDll{L"kanoru_arc_minimal.dll", L"UnGCA"};

using ReaderMaker = std::function<std::unique_ptr<Brivox::CArchiverDllReader>(CArchiverDll&)>;

template <class Reader> ReaderMaker Make()
{
    return [](CArchiverDll& dll) { return std::make_unique<Reader>(dll); };
}

class ArchiverDllTest : public PluginTestSupport::PluginFolderTest
{
protected:
    String WriteArchive(const wchar_t* name, const std::vector<SFakeEntry>& entries, bool endless = false)
    {
        const String path = At(name);
        FileTestSupport::WriteText(path, PluginFakes::FormatFakeArchive(entries, endless));
        return path;
    }

    // A reader of the DLL opened on the archive; the test fails when it does not open.
    std::unique_ptr<Brivox::CArchiverDllReader> OpenReader(const ReaderMaker& make, FakeDll& fake,
                                                           const String& archive)
    {
        auto reader = make(fake.dll);
        reader->SetArchivePath(archive);
        EXPECT_TRUE(reader->Open(reader->GetEntries())) << Ansi(archive);
        fake.TakeLog();
        return reader;
    }
};

std::string Quoted(const String& text)
{
    return "\"" + Ansi(text) + "\"";
}

std::string Text(const Brivox::FileBytes& bytes)
{
    return std::string(bytes.begin(), bytes.end());
}

} // namespace

TEST(ArchiverDll, AccessorsNameTheFiveDllsWhichStayUnloadedWhenAbsent)
{
    struct Case
    {
        CArchiverDll& (*accessor)();
        const wchar_t* fileName;
        const wchar_t* prefix;
        ReaderMaker make;
    };
    const Case cases[] = {{Brivox::GetUnZipDll, L"UNZIP32.DLL", L"UnZip", Make<Brivox::CUnZipArchiver>()},
                          {Brivox::GetUnLhaDll, L"UNLHA32.DLL", L"Unlha", Make<Brivox::CUnLhaArchiver>()},
                          {Brivox::GetUnRarDll, L"unrar32.dll", L"Unrar", Make<Brivox::CUnRarArchiver>()},
                          {Brivox::Get7ZipDll, L"7-zip32.dll", L"SevenZip", Make<Brivox::C7ZipArchiver>()},
                          {Brivox::GetUnGcaDll, L"UnGCA32.dll", L"UnGCA", Make<Brivox::CUnGcaArchiver>()}};
    for (const Case& c : cases) {
        CArchiverDll& dll = c.accessor();
        const std::string name = Ansi(c.fileName);
        EXPECT_EQ(&dll, &c.accessor()) << name;
        EXPECT_EQ(dll.GetFileName(), c.fileName);
        EXPECT_EQ(dll.GetPrefix(), c.prefix);
        ASSERT_FALSE(dll.IsLoaded()) << name;
        EXPECT_EQ(ThrownText([&] { dll.Command(nullptr, L"x"); }),
                  name + Ansi(L" が読み込み出来ませんでした"));
        unsigned char byte = 0;
        EXPECT_EQ(
            ThrownText([&] { (void)dll.ExtractMem(nullptr, L"x", &byte, 1, nullptr, nullptr, nullptr); }),
            name + Ansi(L" が読み込み出来ませんでした"));
        EXPECT_EQ(dll.OpenArchive(nullptr, L"C:\\a.zip", Brivox::ArchiverListingMode), nullptr);
        EXPECT_FALSE(dll.CheckArchive(L"C:\\a.zip", 5));
        EXPECT_FALSE(dll.WaitNotRunning(10));

        // The reader of an absent DLL handles nothing and extracts nothing.
        auto reader = c.make(dll);
        std::vector<String> extensions;
        reader->GetExtensions(extensions);
        EXPECT_TRUE(extensions.empty()) << name;
        reader->SetArchivePath(L"C:\\a.zip");
        EXPECT_FALSE(reader->Open(reader->GetEntries())) << name;
        IArchiver::SEntry entry;
        entry.name = L"a.jpg";
        entry.size = 3;
        reader->GetEntries().push_back(entry);
        reader->ExtractToFile(0, L"C:\\folder\\");
        reader->ShowConfigDialog(nullptr);
        if (reader->GetExtractMode() == IArchiver::ExtractModePerEntryMemory) {
            Brivox::FileBytes bytes{'k'};
            reader->ExtractToMemory(0, bytes);
            EXPECT_EQ(Text(bytes), "k") << name;
        }
    }
}

TEST(ArchiverDll, LoadingSwitchesTheCursorAndBackgroundModesOff)
{
    FakeDll fake(unzipDll.fileName, unzipDll.prefix);
    ASSERT_TRUE(fake.dll.IsLoaded());
    EXPECT_EQ(fake.TakeLog(), (std::vector<std::string>{"SetCursorMode 0", "SetBackGroundMode 0"}));
}

TEST_F(ArchiverDllTest, FailedCommandShowsTheDllsOutputOrItsOwnMessage)
{
    FakeDll fake(unzipDll.fileName, unzipDll.prefix);
    const String archive = WriteArchive(L"a.zip", {{"a.jpg", "abc"}});
    const String folder = MakeFolderAt(L"out");
    // The fake writes no output for an archive it cannot read, and names a missing entry.
    EXPECT_EQ(ThrownText([&] {
                  fake.dll.Command(nullptr, L"-x \"" + At(L"missing.zip") + L"\" \"" + folder + L"\"");
              }),
              Ansi(L"書庫展開中にエラーが発生しました"));
    EXPECT_EQ(ThrownText([&] {
                  fake.dll.Command(nullptr, L"-x \"" + archive + L"\" \"" + folder + L"\" \"b.jpg\"");
              }),
              Ansi(L"書庫解凍失敗：no entry b.jpg"));
    fake.dll.Command(nullptr, L"-x \"" + archive + L"\" \"" + folder + L"\" \"a.jpg\"");
    EXPECT_EQ(FileTestSupport::ReadText(folder + L"a.jpg"), "abc");
}

TEST_F(ArchiverDllTest, ListingOfAnArchiveWithoutEntriesIsNoneAndIsClosed)
{
    FakeDll fake(sevenZipDll.fileName, sevenZipDll.prefix);
    fake.TakeLog();
    const String empty = WriteArchive(L"empty.7z", {});
    EXPECT_EQ(fake.dll.OpenArchive(nullptr, empty, Brivox::ArchiverListingMode), nullptr);
    EXPECT_EQ(fake.TakeLog(),
              (std::vector<std::string>{"OpenArchive " + Ansi(empty) + " 0A800200", "CloseArchive"}));

    // An archive the DLL does not open has nothing to close.
    const String other = At(L"other.7z");
    FileTestSupport::WriteText(other, "not an archive");
    EXPECT_EQ(fake.dll.OpenArchive(nullptr, other, Brivox::ArchiverListingMode), nullptr);
    EXPECT_EQ(fake.TakeLog(), (std::vector<std::string>{"OpenArchive " + Ansi(other) + " 0A800200"}));
}

TEST(ArchiverDll, WaitNotRunningPollsUntilTheDllIsIdleOrGivesUp)
{
    FakeDll fake(unlhaDll.fileName, unlhaDll.prefix);
    fake.TakeLog();
    const std::vector<std::string> polls(10, "GetRunning");

    fake.SetBusy(3);
    EXPECT_TRUE(fake.dll.WaitNotRunning(10));
    EXPECT_EQ(fake.TakeLog(), std::vector<std::string>(polls.begin(), polls.begin() + 4));

    fake.SetBusy(-1);
    EXPECT_FALSE(fake.dll.WaitNotRunning(10));
    EXPECT_EQ(fake.TakeLog(), polls);
}

TEST_F(ArchiverDllTest, AnotherThreadsCommandWaitsForAnOpenListing)
{
    FakeDll fake(unzipDll.fileName, unzipDll.prefix);
    const String archive = WriteArchive(L"a.zip", {{"a.jpg", "abc"}});
    const String folder = MakeFolderAt(L"out");
    fake.TakeLog();
    auto listing = fake.dll.OpenArchive(nullptr, archive, Brivox::ArchiverListingMode);
    ASSERT_NE(listing, nullptr);

    std::promise<void> started;
    auto second = std::async(std::launch::async, [&] {
        started.set_value();
        fake.dll.Command(nullptr, L"-x \"" + archive + L"\" \"" + folder + L"\"");
    });
    started.get_future().wait();
    // Not a timing assumption: a command that wrongly runs ends at once, and the wait below then
    // sees it; a working one is still blocked, however slow the machine.
    EXPECT_EQ(std::future_status::timeout, second.wait_for(std::chrono::milliseconds(200)));
    listing.reset();
    second.get();
    const std::vector<std::string> log = fake.TakeLog();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[1], "CloseArchive");
    EXPECT_EQ(log[2].substr(0, 8), "Command ");
}

TEST_F(ArchiverDllTest, DllWithoutTheOptionalExportsGivesNeutralAnswers)
{
    FakeDll fake(minimalDll.fileName, minimalDll.prefix);
    ASSERT_TRUE(fake.dll.IsLoaded());
    // No SetCursorMode or SetBackGroundMode to call.
    EXPECT_TRUE(fake.TakeLog().empty());
    const String archive = WriteArchive(L"a.gca", {{"a.jpg", "abc", -1, 0x5A21, 0x6000, "GCA1", "-5"}});
    EXPECT_FALSE(fake.dll.CheckArchive(archive, 5));
    EXPECT_FALSE(fake.dll.WaitNotRunning(10));
    {
        auto listing = fake.dll.OpenArchive(nullptr, archive, Brivox::ArchiverListingMode);
        ASSERT_NE(listing, nullptr);
        EXPECT_EQ(fake.dll.GetMethod(*listing), L"");
        std::int64_t size = 0;
        EXPECT_FALSE(fake.dll.GetCompressedSize(*listing, size));
    }
    // Without GetMethod a GCA1 archive cannot be recognised: it is read entry by entry.
    auto reader = OpenReader(Make<Brivox::CUnGcaArchiver>(), fake, archive);
    EXPECT_EQ(reader->GetExtractMode(), IArchiver::ExtractModePerEntryMemory);
}

TEST_F(ArchiverDllTest, ListingSkipsFoldersAndReadsNamesSizesAndTimes)
{
    FakeDll fake(unrarDll.fileName, unrarDll.prefix);
    const std::string longName(600, 'n'); // longer than the record: the DLL leaves out the zero byte
    const String archive = WriteArchive(L"a.rar", {{"dir/", ""},
                                                   {"dir/a.jpg", "abc", -1, 0x5A21, 0x6000},
                                                   {"", "x"},
                                                   {"sub\\", ""},
                                                   {Ansi(L"日本語.png"), "12345", 70000, 0x4A3F, 0x1234},
                                                   {longName, ""}});
    auto reader = OpenReader(Make<Brivox::CUnRarArchiver>(), fake, archive);
    const std::vector<IArchiver::SEntry>& entries = reader->GetEntries();
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[0].name, L"dir/a.jpg");
    EXPECT_EQ(entries[1].name, L"");
    EXPECT_EQ(entries[2].name, L"日本語.png");
    EXPECT_EQ(entries[2].size, 70000u);
    EXPECT_EQ(entries[3].name, String(std::wstring(534, L'n')));
    FILETIME expected{};
    ASSERT_TRUE(::DosDateTimeToFileTime(0x4A3F, 0x1234, &expected));
    EXPECT_EQ(entries[2].time.dwLowDateTime, expected.dwLowDateTime);
    EXPECT_EQ(entries[2].time.dwHighDateTime, expected.dwHighDateTime);

    // An archive without entries does not open.
    auto empty = std::make_unique<Brivox::CUnRarArchiver>(fake.dll);
    empty->SetArchivePath(WriteArchive(L"empty.rar", {}));
    EXPECT_FALSE(empty->Open(empty->GetEntries()));
}

TEST_F(ArchiverDllTest, ListingThatNeverEndsIsRefused)
{
    FakeDll fake(unzipDll.fileName, unzipDll.prefix);
    auto reader = std::make_unique<Brivox::CUnZipArchiver>(fake.dll);
    reader->SetArchivePath(WriteArchive(L"endless.zip", {{"a.jpg", "abc"}}, true));
    EXPECT_FALSE(reader->Open(reader->GetEntries()));
    EXPECT_TRUE(reader->GetEntries().empty());
    fake.TakeLog();
    // The listing was released: the DLL serves the next caller.
    EXPECT_FALSE(fake.dll.CheckArchive(At(L"none.zip"), 5));
}

TEST_F(ArchiverDllTest, EachReaderSendsItsOwnCommandLines)
{
    // Every character that UnZip patterns escape, and a sub-folder.
    const std::string name = "sub\\a[1]-x!^.jpg";
    const std::string unzipPattern = "sub\\\\a\\[1\\]\\-x\\!\\^.jpg";
    const String folder = MakeFolderAt(L"out");
    const std::string exe = Ansi(CFileName::ExecutableDirectory());

    struct Case
    {
        SFakeKind kind;
        const wchar_t* archiveName;
        ReaderMaker make;
        std::vector<std::string> extensions;
        // Without the leading "Command " or "ExtractMem "; {A} stands for Q(archive), {F} for Q(folder).
        std::string toFile;
        std::string toMemory;      // empty: read through a temporary file
        std::string all, allQuiet; // empty: not implemented
    };
    const std::string e = "\"" + name + "\"";
    const Case cases[] = {
        {unzipDll,
         L"a.zip",
         Make<Brivox::CUnZipArchiver>(),
         {"zip"},
         "-x --i -n -qq {A} {F} \"" + unzipPattern + "\"",
         "-x --i {A} \"" + unzipPattern + "\"",
         "",
         ""},
        {sevenZipDll,
         L"a.7z",
         Make<Brivox::C7ZipArchiver>(),
         {"zip", "7z"},
         "x -aos -hide {A} -o{F} " + e,
         "",
         "x -aos {A} -o{F}",
         "x -aos -hide {A} -o{F}"},
        {unrarDll,
         L"a.rar",
         Make<Brivox::CUnRarArchiver>(),
         {"rar"},
         "-x -o- -s -q {A} {F} " + e,
         "",
         "",
         ""},
        {unlhaDll,
         L"a.lzh",
         Make<Brivox::CUnLhaArchiver>(),
         {"lzh"},
         "x -n1 -jf0 -jn1 -jsb -p1 -gm {A} {F} " + e,
         "-n1 -jf0 -jsb -p1 -gm {A} " + e,
         "",
         ""},
        {ungcaDll,
         L"a.gca",
         Make<Brivox::CUnGcaArchiver>(),
         {"gca"},
         "ex -xx1 {A} {F} " + e,
         "ex -xx1 {A} \"" + exe + "\" " + e,
         "e -xx1 -sx1 {A} {F}",
         "e -xx1 {A} {F}"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Ansi(c.kind.fileName));
        FakeDll fake(c.kind.fileName, c.kind.prefix);
        const String archive = WriteArchive(c.archiveName, {{name, "contents"}});
        const auto expand = [&](std::string line) {
            for (const auto& [mark, text] :
                 {std::pair{"{A}", Quoted(archive)}, std::pair{"{F}", Quoted(folder)}}) {
                for (std::size_t at; (at = line.find(mark)) != std::string::npos;)
                    line.replace(at, 3, text);
            }
            return line;
        };
        auto reader = OpenReader(c.make, fake, archive);
        std::vector<String> extensions;
        reader->GetExtensions(extensions);
        std::vector<std::string> ansiExtensions;
        for (const String& extension : extensions)
            ansiExtensions.push_back(Ansi(extension));
        EXPECT_EQ(ansiExtensions, c.extensions);

        reader->ExtractToFile(0, folder);
        EXPECT_EQ(fake.TakeLog().back(), "Command " + expand(c.toFile));
        EXPECT_EQ(FileTestSupport::ReadText(folder + L"sub\\a[1]-x!^.jpg"), "contents");
        ::DeleteFileW((folder + L"sub\\a[1]-x!^.jpg").CStr());

        Brivox::FileBytes bytes;
        reader->ExtractToMemory(0, bytes);
        EXPECT_EQ(Text(bytes), "contents");
        const std::string line = fake.TakeLog().back();
        if (c.toMemory.empty()) {
            // Its own command into a temporary folder.
            EXPECT_EQ(line.substr(0, 8), "Command ");
            EXPECT_EQ(line.substr(line.size() - e.size()), e);
        } else {
            EXPECT_EQ(line, "ExtractMem " + expand(c.toMemory) + " 8");
        }

        for (const bool showProgress : {true, false}) {
            const std::string& expected = showProgress ? c.all : c.allQuiet;
            if (expected.empty()) {
                EXPECT_EQ(ThrownText([&] { reader->ExtractAll(folder, showProgress); }), Ansi(L"未実装"));
                continue;
            }
            reader->ExtractAll(folder, showProgress);
            EXPECT_EQ(fake.TakeLog().back(), "Command " + expand(expected));
        }
        EXPECT_EQ(FileTestSupport::ReadText(folder + L"sub\\a[1]-x!^.jpg"), c.all.empty() ? "" : "contents");

        reader->ShowConfigDialog(nullptr);
        EXPECT_EQ(fake.TakeLog().back(), "ConfigDialog 1 empty");
    }
}

TEST_F(ArchiverDllTest, SolidArchivesAreExtractedWholeAndOthersEntryByEntry)
{
    struct Case
    {
        SFakeKind kind;
        ReaderMaker make;
        const char* method;
        const char* compressedSize;
        int mode;
    };
    const Case cases[] = {
        // 7-Zip: a negative compressed size marks a solid archive; a DLL that cannot tell is not.
        {sevenZipDll, Make<Brivox::C7ZipArchiver>(), "LZMA", "-5", IArchiver::ExtractModeWholeArchive},
        {sevenZipDll, Make<Brivox::C7ZipArchiver>(), "LZMA", "100", IArchiver::ExtractModePerEntryFile},
        {sevenZipDll, Make<Brivox::C7ZipArchiver>(), "LZMA", "-", IArchiver::ExtractModePerEntryFile},
        // GCA: exactly the method GCA1; a failing GetMethod is no GCA1.
        {ungcaDll, Make<Brivox::CUnGcaArchiver>(), "GCA1", "10", IArchiver::ExtractModeWholeArchive},
        {ungcaDll, Make<Brivox::CUnGcaArchiver>(), "GCA0", "10", IArchiver::ExtractModePerEntryMemory},
        {ungcaDll, Make<Brivox::CUnGcaArchiver>(), "GCA1 ", "10", IArchiver::ExtractModePerEntryMemory},
        {ungcaDll, Make<Brivox::CUnGcaArchiver>(), "!", "10", IArchiver::ExtractModePerEntryMemory},
        {unrarDll, Make<Brivox::CUnRarArchiver>(), "", "-5", IArchiver::ExtractModePerEntryFile},
        {unzipDll, Make<Brivox::CUnZipArchiver>(), "", "-5", IArchiver::ExtractModePerEntryMemory},
        {unlhaDll, Make<Brivox::CUnLhaArchiver>(), "GCA1", "-5", IArchiver::ExtractModePerEntryMemory},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Ansi(c.kind.fileName) + " " + c.method + " " + c.compressedSize);
        FakeDll fake(c.kind.fileName, c.kind.prefix);
        // Only the first record decides.
        const String archive =
            WriteArchive(L"a.arc", {{"a.jpg", "abc", -1, 0x5A21, 0x6000, c.method, c.compressedSize},
                                    {"b.jpg", "abc", -1, 0x5A21, 0x6000, "GCA1", "-5"}});
        EXPECT_EQ(OpenReader(c.make, fake, archive)->GetExtractMode(), c.mode);
    }
}

TEST_F(ArchiverDllTest, UnLhaLetsTheDllFinishAndChecksTheArchiveFirst)
{
    FakeDll fake(unlhaDll.fileName, unlhaDll.prefix);
    fake.TakeLog();
    const String archive = WriteArchive(L"a.lzh", {{"a.jpg", "abc"}});
    Brivox::CUnLhaArchiver reader(fake.dll);
    reader.SetArchivePath(archive);
    ASSERT_TRUE(reader.Open(reader.GetEntries()));
    EXPECT_EQ(fake.TakeLog(),
              (std::vector<std::string>{"GetRunning", "CheckArchive " + Ansi(archive) + " 5",
                                        "OpenArchive " + Ansi(archive) + " 0A800204", "CloseArchive"}));

    Brivox::FileBytes bytes;
    reader.ExtractToMemory(0, bytes);
    reader.ExtractToFile(0, MakeFolderAt(L"out"));
    reader.ShowConfigDialog(nullptr);
    std::vector<std::string> firstWords;
    for (const std::string& line : fake.TakeLog())
        firstWords.push_back(line.substr(0, line.find(' ')));
    EXPECT_EQ(firstWords, (std::vector<std::string>{"GetRunning", "ExtractMem", "GetRunning", "Command",
                                                    "GetRunning", "ConfigDialog"}));

    // A file that the check refuses is not listed at all.
    const String other = At(L"other.lzh");
    FileTestSupport::WriteText(other, "not an archive");
    Brivox::CUnLhaArchiver refused(fake.dll);
    refused.SetArchivePath(other);
    EXPECT_FALSE(refused.Open(refused.GetEntries()));
    EXPECT_EQ(fake.TakeLog(), (std::vector<std::string>{"GetRunning", "CheckArchive " + Ansi(other) + " 5"}));
}

TEST_F(ArchiverDllTest, ReadingIntoMemoryCallsTheDllOnlyForEntriesItCanHold)
{
    FakeDll fake(unzipDll.fileName, unzipDll.prefix);
    const String archive =
        WriteArchive(L"a.zip", {{"empty.jpg", ""}, {"huge.jpg", "abc", 0x40000001}, {"gone.jpg", "abc"}});
    auto reader = OpenReader(Make<Brivox::CUnZipArchiver>(), fake, archive);
    const std::string prefix = "'" + Ansi(archive) + Ansi(L"' から '");

    Brivox::FileBytes bytes{'x'};
    reader->ExtractToMemory(0, bytes);
    EXPECT_TRUE(bytes.empty());
    // Past 1 GiB: refused before anything is allocated or asked.
    EXPECT_EQ(ThrownText([&] { reader->ExtractToMemory(1, bytes); }),
              prefix + Ansi(L"huge.jpg' の読み込みに失敗しました"));
    EXPECT_TRUE(fake.TakeLog().empty());

    ::DeleteFileW(archive.CStr());
    EXPECT_EQ(ThrownText([&] { reader->ExtractToMemory(2, bytes); }),
              prefix + Ansi(L"gone.jpg' の読み込みに失敗しました"));
    EXPECT_EQ(fake.TakeLog().size(), 1u);

    // Through a temporary file the size is refused in the same way.
    FakeDll sevenZip(sevenZipDll.fileName, sevenZipDll.prefix);
    const String solid = WriteArchive(L"a.7z", {{"huge.jpg", "abc", 0x40000001}});
    auto viaFile = OpenReader(Make<Brivox::C7ZipArchiver>(), sevenZip, solid);
    EXPECT_EQ(ThrownText([&] { viaFile->ExtractToMemory(0, bytes); }),
              "'" + Ansi(solid) + Ansi(L"' から 'huge.jpg' の読み込みに失敗しました"));
    EXPECT_TRUE(sevenZip.TakeLog().empty());
}

TEST_F(ArchiverDllTest, NamesThatWouldChangeACommandLineNeverReachIt)
{
    struct Case
    {
        std::string name;
        bool toFile, toMemory; // whether the command may go out
    };
    const Case cases[] = {
        {"a\".jpg", false, false},                           // would end the quoted argument
        {"a\x01.jpg", false, false},                         // control characters
        {"a\tb.jpg", false, false},  {"*.jpg", false, true}, // would extract every entry into the folder
        {"a?.jpg", false, true},     {"..\\evil.jpg", false, true}, // outside the folder
        {"sub\\ok.jpg", true, true},
    };
    const String folder = MakeFolderAt(L"out");
    const std::pair<SFakeKind, ReaderMaker> readers[] = {{unzipDll, Make<Brivox::CUnZipArchiver>()},
                                                         {unlhaDll, Make<Brivox::CUnLhaArchiver>()},
                                                         {ungcaDll, Make<Brivox::CUnGcaArchiver>()}};
    for (const auto& [kind, make] : readers) {
        FakeDll fake(kind.fileName, kind.prefix);
        for (const Case& c : cases) {
            SCOPED_TRACE(Ansi(kind.fileName) + " " + c.name);
            const String archive = WriteArchive(L"a.arc", {{c.name == "a\tb.jpg" ? "x.jpg" : c.name, "abc"}});
            std::unique_ptr<Brivox::CArchiverDllReader> reader = make(fake.dll);
            reader->SetArchivePath(archive);
            ASSERT_TRUE(reader->Open(reader->GetEntries()));
            // The tab cannot stand in the fake's listing: the name is given to the entry here.
            reader->GetEntries()[0].name = String(std::wstring(c.name.begin(), c.name.end()));
            fake.TakeLog();
            const std::string refused = Ansi(archive) + Ansi(L" 内に怪しいファイル名があります：") + c.name;
            const auto commands = [&] {
                int count = 0;
                for (const std::string& line : fake.TakeLog())
                    count += line.rfind("Command", 0) == 0 || line.rfind("ExtractMem", 0) == 0;
                return count;
            };
            if (c.toFile) {
                reader->ExtractToFile(0, folder);
            } else {
                EXPECT_EQ(ThrownText([&] { reader->ExtractToFile(0, folder); }), refused);
            }
            EXPECT_EQ(commands(), c.toFile ? 1 : 0);
            Brivox::FileBytes bytes;
            if (c.toMemory) {
                reader->ExtractToMemory(0, bytes);
            } else {
                EXPECT_EQ(ThrownText([&] { reader->ExtractToMemory(0, bytes); }), refused);
            }
            EXPECT_EQ(commands(), c.toMemory ? 1 : 0);
        }
    }
    EXPECT_FALSE(FileTestSupport::Exists(At(L"evil.jpg")));
}
