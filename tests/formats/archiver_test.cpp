#include "formats/archive_password.h"
#include "formats/archiver.h"

#include "formats_test_support.h"
#include "foundation/command_line.h"
#include "foundation/encoding.h"
#include "foundation/exception.h"
#include "foundation/file_name.h"
#include "foundation/file_test_support.h"
#include "foundation/text_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using Brivox::IArchiver;
using Brivox::String;
using FileTestSupport::Ansi;
using FormatsTestSupport::ThrownText;

namespace {

// A reader over a fixed list of names that can only extract to files: each gets the same short
// text, or fails when told to.
class FakeArchiver : public IArchiver
{
public:
    explicit FakeArchiver(const std::vector<std::wstring>& names)
    {
        for (const std::wstring& name : names) {
            SEntry entry;
            entry.name = String(name);
            entry.size = 1;
            GetEntries().push_back(entry);
        }
        SetArchivePath(L"C:\\books\\a.zip");
    }

    void GetExtensions(std::vector<String>& extensions) override { extensions.push_back(L"fake"); }
    bool Open(std::vector<SEntry>&) override { return false; }
    void ExtractToFile(unsigned index, const String& folder) override
    {
        extractFolders.push_back(folder);
        if (failExtraction)
            throw Brivox::RuntimeException(L"extraction failed");
        Brivox::WriteFile(Brivox::CFileName(GetEntry(index).name, folder), "content", 7);
    }
    void ExtractToMemory(unsigned index, Brivox::FileBytes& bytes) override
    {
        ExtractToMemoryViaFile(index, bytes);
    }
    int GetExtractMode() override { return ExtractModePerEntryMemory; }
    void ExtractAll(const String& folder, bool showProgress) override
    {
        ++extractAllCalls;
        IArchiver::ExtractAll(folder, showProgress);
    }

    int extractAllCalls = 0;
    bool failExtraction = false;
    std::vector<String> extractFolders;
};

class CountingQuery : public Brivox::IQueryArchivePassword
{
public:
    bool Query(const String& archivePath, String& password, int attempt) override
    {
        calls.push_back({archivePath, attempt});
        password = L"from fallback";
        return answer;
    }

    bool answer = true;
    std::vector<std::pair<String, int>> calls;
};

} // namespace

TEST(ArchiveEntryName, HostileNamesAreRefused)
{
    const String folder = L"C:\\work\\extract\\";
    const wchar_t* refused[] = {
        L"..\\x",         L"a\\..\\..\\x", L"C:\\x",    L"C:x",
        L"\\\\server\\x", L"x:y",          L"CON",      L".. \\x",
        L"%TEMP%\\x",     L"../x",         L"/x",       L"\\x",
        L"...\\x",        L". \\x",        L"a/../x",   L"con.txt",
        L"Nul .jpg",      L"dir\\COM1\\x", L"lpt9.png", L"COM\u00B9",
        L"CONOUT$",       L"a\\..",        L"",         L"%windir%",
        L"\\\\?\\C:\\x",
    };
    for (const wchar_t* name : refused)
        EXPECT_FALSE(Brivox::IsArchiveEntryNameSafe(name, folder)) << Ansi(name);

    const wchar_t* accepted[] = {
        L"a.jpg",   L"dir/b.jpg",  L".\\c.jpg", L"100%.jpg", L"a..b.jpg",
        L".git\\x", L"CONFIG.txt", L"com10",    L"表紙.jpg", L"%NO_SUCH_VARIABLE_KANORU%",
        L"..a\\b",
    };
    for (const wchar_t* name : accepted)
        EXPECT_TRUE(Brivox::IsArchiveEntryNameSafe(name, folder)) << Ansi(name);
}

TEST(ArchiveEntryName, IsCheckedAgainstTheExtractionFolderNotTheCurrentFolder)
{
    // A relative folder is taken from the current folder, and the name must stay below it.
    EXPECT_TRUE(Brivox::IsArchiveEntryNameSafe(L"x.jpg", L"relative\\folder"));
    EXPECT_TRUE(Brivox::IsArchiveEntryNameSafe(L"x.jpg", L"D:\\elsewhere"));
    EXPECT_FALSE(Brivox::IsArchiveEntryNameSafe(L"..\\x.jpg", L"D:\\elsewhere"));
}

TEST(Archiver, ExtractAllCheckedRefusesABadNameBeforeExtracting)
{
    FakeArchiver archive({L"ok.jpg", L"..\\evil.jpg", L"also-ok.jpg"});
    EXPECT_EQ(ThrownText([&] { archive.ExtractAllChecked(L"C:\\tmp\\x\\", false); }),
              Ansi(L"C:\\books\\a.zip 内に怪しいファイル名があります：..\\evil.jpg"));
    EXPECT_EQ(0, archive.extractAllCalls);

    FakeArchiver good({L"ok.jpg", L"sub/also-ok.jpg"});
    EXPECT_EQ(ThrownText([&] { good.ExtractAllChecked(L"C:\\tmp\\x\\", false); }), Ansi(L"未実装"));
    EXPECT_EQ(1, good.extractAllCalls);
}

TEST(Archiver, ExtractionToMemoryThroughAFileLeavesNoFolderBehind)
{
    FakeArchiver archive({L"sub/page.jpg", L"..\\evil.jpg"});
    Brivox::FileBytes bytes;
    archive.ExtractToMemory(0, bytes);
    EXPECT_EQ("content", std::string(bytes.begin(), bytes.end()));
    ASSERT_EQ(1u, archive.extractFolders.size());
    const String folder = archive.extractFolders[0];
    EXPECT_EQ(0, folder.Compare(0, Brivox::GetTempPathString(), 0, Brivox::GetTempPathString().Length(), 0));
    EXPECT_FALSE(FileTestSupport::Exists(folder));

    archive.failExtraction = true;
    EXPECT_EQ(ThrownText([&] { archive.ExtractToMemory(0, bytes); }), "extraction failed");
    ASSERT_EQ(2u, archive.extractFolders.size());
    EXPECT_FALSE(FileTestSupport::Exists(archive.extractFolders[1]));

    // A name that would leave the temporary folder is refused before the reader writes anything.
    EXPECT_EQ(ThrownText([&] { archive.ExtractToMemory(1, bytes); }),
              Ansi(L"C:\\books\\a.zip 内に怪しいファイル名があります：..\\evil.jpg"));
    EXPECT_EQ(2u, archive.extractFolders.size());
}

TEST(Archiver, PasswordQueryWithoutCallbackSaysNo)
{
    FakeArchiver archive({L"a.jpg"});
    String password = L"unchanged";
    EXPECT_FALSE(archive.QueryPassword(password, 0));
    EXPECT_EQ(String(L"unchanged"), password);

    CountingQuery query;
    archive.SetPasswordQuery(&query);
    EXPECT_TRUE(archive.QueryPassword(password, 3));
    EXPECT_EQ(String(L"from fallback"), password);
    ASSERT_EQ(1u, query.calls.size());
    EXPECT_EQ(String(L"C:\\books\\a.zip"), query.calls[0].first);
    EXPECT_EQ(3, query.calls[0].second);
}

TEST(Archiver, OpenOrThrowNamesThePath)
{
    FakeArchiver archive({});
    EXPECT_EQ(ThrownText([&] { archive.OpenOrThrow(L"C:\\x\\broken.zip"); }),
              Ansi(L"C:\\x\\broken.zip が解凍出来ませんでした"));
    EXPECT_EQ(String(L"C:\\x\\broken.zip"), archive.GetArchivePath());
}

TEST(StoredPasswords, StoredLinesFirstThenTheFallbackWithTheSameAttempt)
{
    CountingQuery fallback;
    Brivox::CStoredPasswordQuery query(&fallback);
    query.SetStoredPasswords(L"first\nsecond");
    String password;
    EXPECT_TRUE(query.Query(L"a.zip", password, 0));
    EXPECT_EQ(String(L"first"), password);
    EXPECT_TRUE(query.Query(L"a.zip", password, 1));
    EXPECT_EQ(String(L"second"), password);
    EXPECT_TRUE(fallback.calls.empty());

    EXPECT_TRUE(query.Query(L"a.zip", password, 2));
    EXPECT_EQ(String(L"from fallback"), password);
    ASSERT_EQ(1u, fallback.calls.size());
    EXPECT_EQ(String(L"a.zip"), fallback.calls[0].first);
    EXPECT_EQ(2, fallback.calls[0].second);

    fallback.answer = false;
    EXPECT_FALSE(query.Query(L"a.zip", password, 5));
}

TEST(StoredPasswords, EmptySettingIsOneEmptyPassword)
{
    Brivox::CStoredPasswordQuery query(nullptr);
    query.SetStoredPasswords(L"");
    String password = L"before";
    EXPECT_TRUE(query.Query(L"a.zip", password, 0));
    EXPECT_EQ(String(), password);
    EXPECT_FALSE(query.Query(L"a.zip", password, 1));

    query.SetStoredPasswords(L"a\n\nb");
    EXPECT_TRUE(query.Query(L"a.zip", password, 1));
    EXPECT_EQ(String(), password);
    EXPECT_TRUE(query.Query(L"a.zip", password, 2));
    EXPECT_EQ(String(L"b"), password);
}
