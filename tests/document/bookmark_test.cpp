#include "document/bookmark.h"
#include "document/file_list.h"

#include "formats/archive_fixtures.h"
#include "foundation/encoding.h"
#include "foundation/exception.h"
#include "foundation/file_test_support.h"
#include "foundation/lzss.h"
#include "foundation/memory_stream.h"
#include "foundation/message_box.h"
#include "foundation/serialization.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

using ArchiveFixtures::Zip;
using Brivox::String;
using FileTestSupport::Ansi;
using FileTestSupport::Bytes;
using FileTestSupport::MakeFolder;
using FileTestSupport::ReadBytes;
using FileTestSupport::WriteBytes;
using FileTestSupport::WriteText;

namespace {

std::wstring Wide(const String& text)
{
    return std::wstring(text.CStr(), static_cast<std::size_t>(text.Length()));
}

// A text bookmark as the format describes it: the byte-order mark, then every line in UTF-16LE
// followed by CR LF.
Bytes Utf16Lines(const std::vector<std::wstring>& lines)
{
    Bytes bytes{0xFF, 0xFE};
    for (const std::wstring& line : lines) {
        for (wchar_t c : line + L"\r\n") {
            bytes.push_back(static_cast<unsigned char>(c & 0xFF));
            bytes.push_back(static_cast<unsigned char>(c >> 8));
        }
    }
    return bytes;
}

// The message boxes of the test, answered without a user.
struct BoxRecord
{
    int answer = IDNO;
    int count = 0;
    std::string text;
    std::string caption;
    UINT style = 0;
    bool owned = false;
};

BoxRecord& Boxes()
{
    static BoxRecord record;
    return record;
}

int AnswerBox(HWND owner, const char* text, const char* caption, UINT style)
{
    BoxRecord& record = Boxes();
    ++record.count;
    record.text = text;
    record.caption = caption;
    record.style = style;
    record.owned = owner != nullptr;
    return record.answer;
}

Bytes Compress(const Bytes& plain)
{
    Brivox::CReadStream input(plain.data(), static_cast<int>(plain.size()));
    Bytes compressed;
    Brivox::CWriteStream output(compressed);
    Brivox::CLZSSCompress().Encode(output, input);
    return compressed;
}

// An old compressed bookmark: the paths, the current path and the archive list, serialised and
// LZSS-encoded as the old program wrote them.
Bytes OldBookmark(const std::vector<String>& paths, const String& current,
                  const std::vector<String>& archives)
{
    Brivox::IRestorer data;
    const auto count = static_cast<std::int32_t>(paths.size());
    data.WriteBytes(&count, sizeof count);
    for (const String& path : paths)
        data.WriteString(path);
    data.WriteString(current);
    const auto archiveCount = static_cast<std::int32_t>(archives.size());
    data.WriteBytes(&archiveCount, sizeof archiveCount);
    for (const String& archive : archives)
        data.WriteString(archive);
    return Compress(data.GetBuffer());
}

class BookmarkTest : public FileTestSupport::TempFolderTest
{
protected:
    void SetUp() override
    {
        TempFolderTest::SetUp();
        ASSERT_EQ(932u, ::GetACP()) << "run with LC_ALL=ja_JP.UTF-8";
        Boxes() = BoxRecord{};
        m_savedHook = Brivox::SetMessageBoxHook(&AnswerBox);
        Prepare(list);
        Prepare(reader);
    }

    void TearDown() override
    {
        Brivox::SetMessageBoxHook(m_savedHook);
        TempFolderTest::TearDown();
    }

    void Prepare(CFileList& target)
    {
        target.PushTempFolder(At(L"t\\$Kanoru$/"));
        target.SetKeyMode(KeyByNumbers);
    }

    // A folder d with the files (name, bytes), opened into the list.
    void OpenFolder(CFileList& target, const std::vector<std::pair<std::wstring, std::string>>& files)
    {
        MakeFolder(At(L"d"));
        for (const auto& [name, bytes] : files)
            ArchiveFixtures::WriteFile(At((L"d\\" + name).c_str()), bytes);
        target.OpenPath(At(L"d\\"), FileAddRules{});
    }

    std::vector<std::wstring> Entries(const CFileList& source) const
    {
        std::vector<std::wstring> paths;
        for (int i = 0; i < source.GetCount(); ++i)
            paths.push_back(Wide(source.GetEntry(i).GetPath()));
        return paths;
    }

    std::wstring Path(const wchar_t* relative) const { return Wide(At(relative)); }

    // The text of what OpenBookmark threw, the list's entries afterwards.
    std::string OpenFails(CFileList& target, const String& path)
    {
        return FileTestSupport::ThrownText([&] { target.OpenBookmark(path); });
    }

    static std::string ReadFailure(const String& path)
    {
        return Ansi(L"ブックマークファイル '" + path + L"' の読み込みに失敗しました");
    }

    ArchiveFixtures::ZipRegistration zip;
    CFileList list{Brivox::SArchiverContext{}};
    CFileList reader{Brivox::SArchiverContext{}};

private:
    Brivox::MessageBoxHook m_savedHook = nullptr;
};

} // namespace

// ---- Writing

TEST_F(BookmarkTest, ThreeFilesWithTheSecondCurrentSaveAsExactlySevenLines)
{
    OpenFolder(list, {{L"1.bmp", "a"}, {L"2.bmp", "b"}, {L"第3話.bmp", "c"}});
    list.SetCurrent(1);
    // Missing folders are made.
    const String path = At(L"new\\folder\\list.knb");
    list.SaveBookmark(path);

    EXPECT_EQ(ReadBytes(path), Utf16Lines({L"[knbookmark/ver:1]", L"current:", Path(L"d\\2.bmp"), L"files:",
                                           Path(L"d\\1.bmp"), Path(L"d\\2.bmp"), Path(L"d\\第3話.bmp")}));
    // Nothing but the bookmark is left in its folder.
    EXPECT_EQ(FileTestSupport::Tree(At(L"new\\folder\\")), std::vector<std::wstring>{L"list.knb"});
}

TEST_F(BookmarkTest, ArchivesAreListedAndReadBackWithEveryEntryLinkedToItsArchive)
{
    const std::string inner = Zip({{"2.bmp", "two"}, {"3.bmp", "three"}});
    OpenFolder(list, {{L"0.bmp", "zero"}, {L"book.zip", Zip({{"1.bmp", "one"}, {"inner.zip", inner}})}});
    ASSERT_EQ(Entries(list), (std::vector<std::wstring>{Path(L"d\\0.bmp"), Path(L"d\\book.zip\\1.bmp"),
                                                        Path(L"d\\book.zip\\inner.zip\\2.bmp"),
                                                        Path(L"d\\book.zip\\inner.zip\\3.bmp")}));
    list.SetCurrent(2);
    const String path = At(L"list.knb");
    list.SaveBookmark(path);
    EXPECT_EQ(
        ReadBytes(path),
        Utf16Lines({L"[knbookmark/ver:1]", L"current:", Path(L"d\\book.zip\\inner.zip\\2.bmp"), L"files:",
                    Path(L"d\\0.bmp"), Path(L"d\\book.zip\\1.bmp"), Path(L"d\\book.zip\\inner.zip\\2.bmp"),
                    Path(L"d\\book.zip\\inner.zip\\3.bmp"), L"archives:", Path(L"d\\book.zip")}));

    reader.OpenBookmark(path);
    EXPECT_EQ(Entries(reader), Entries(list));
    EXPECT_EQ(reader.GetCurrent(), 2);
    EXPECT_FALSE(reader.GetEntry(0).IsInArchive());
    const std::vector<std::string> bytes{"zero", "one", "two", "three"};
    for (int i = 0; i < reader.GetCount(); ++i) {
        EXPECT_EQ(reader.GetEntry(i).IsInArchive(), i > 0) << i;
        EXPECT_EQ(ArchiveFixtures::Text(reader.GetEntry(i).GetFileData()->GetBytes()), bytes[i]) << i;
    }
    EXPECT_EQ(Boxes().count, 0);
}

TEST_F(BookmarkTest, APathHoldingALineBreakIsLeftOutOfTheFile)
{
    OpenFolder(list, {{L"1.bmp", "a"}, {L"book.zip", Zip({{"bad\r\nname.bmp", "x"}, {"good.bmp", "y"}})}});
    ASSERT_EQ(list.GetCount(), 3);
    const int broken = list.IndexOf(At(L"d\\book.zip\\bad\r\nname.bmp"));
    ASSERT_EQ(Wide(list.GetEntry(broken).GetPath()), Path(L"d\\book.zip\\bad\r\nname.bmp"));

    // Current, it leaves the third line empty.
    list.SetCurrent(broken);
    const String path = At(L"list.knb");
    list.SaveBookmark(path);
    EXPECT_EQ(ReadBytes(path),
              Utf16Lines({L"[knbookmark/ver:1]", L"current:", L"", L"files:", Path(L"d\\1.bmp"),
                          Path(L"d\\book.zip\\good.bmp"), L"archives:", Path(L"d\\book.zip")}));

    reader.OpenBookmark(path);
    EXPECT_EQ(Entries(reader),
              (std::vector<std::wstring>{Path(L"d\\1.bmp"), Path(L"d\\book.zip\\good.bmp")}));
    EXPECT_EQ(reader.GetCurrent(), 0);
    EXPECT_TRUE(reader.GetEntry(1).IsInArchive());
}

TEST_F(BookmarkTest, ASaveOverAReadOnlyBookmarkFailsAndLeavesItsBytes)
{
    OpenFolder(list, {{L"1.bmp", "a"}});
    const String path = At(L"list.knb");
    const Bytes old =
        Utf16Lines({L"[knbookmark/ver:1]", L"current:", L"C:\\old.bmp", L"files:", L"C:\\old.bmp"});
    WriteBytes(path, old);
    FileTestSupport::MakeReadOnly(path);

    EXPECT_THROW(list.SaveBookmark(path), Brivox::IOException);
    EXPECT_EQ(ReadBytes(path), old);
    EXPECT_EQ(FileTestSupport::Tree(root), (std::vector<std::wstring>{L"d\\", L"d\\1.bmp", L"list.knb"}));
}

TEST_F(BookmarkTest, ASaveReplacesAnExistingBookmark)
{
    OpenFolder(list, {{L"1.bmp", "a"}});
    const String path = At(L"list.knb");
    WriteText(path, std::string(5000, 'x'));
    list.SaveBookmark(path);
    EXPECT_EQ(ReadBytes(path), Utf16Lines({L"[knbookmark/ver:1]", L"current:", Path(L"d\\1.bmp"), L"files:",
                                           Path(L"d\\1.bmp")}));
}

// ---- Reading the text form

TEST_F(BookmarkTest, TextFormsReadOrFailAsTheirHeaderLinesSay)
{
    const std::wstring a = L"C:\\pics\\a.jpg", b = L"C:\\pics\\第２話.jpg";
    const std::vector<std::wstring> good{L"[knbookmark/ver:1]", L"current:", b, L"files:", a, b};
    auto utf16be = [](const Bytes& little) {
        Bytes big = little;
        for (std::size_t i = 0; i + 1 < big.size(); i += 2)
            std::swap(big[i], big[i + 1]);
        return big;
    };
    auto joined = [](const std::vector<std::wstring>& lines, const std::wstring& end) {
        std::wstring text;
        for (const std::wstring& line : lines)
            text += line + end;
        return text;
    };
    auto ansi = [](const std::wstring& text) {
        const std::string bytes = Ansi(String(text));
        return Bytes(bytes.begin(), bytes.end());
    };
    struct Case
    {
        const char* what;
        Bytes file;
        bool opens;
        std::vector<std::wstring> entries;
        int current;
    };
    const std::vector<Case> cases{
        {"the written form", Utf16Lines(good), true, {a, b}, 1},
        {"UTF-16BE", utf16be(Utf16Lines(good)), true, {a, b}, 1},
        {"the saved order, unsorted",
         Utf16Lines({L"[knbookmark/ver:1]", L"current:", b, L"files:", b, a}),
         true,
         {b, a},
         0},
        {"no byte-order mark: the ANSI code page", ansi(joined(good, L"\r\n")), true, {a, b}, 1},
        {"LF only", ansi(joined(good, L"\n")), true, {a, b}, 1},
        {"CR only, no break after the last line",
         ansi(joined(good, L"\r").substr(0, joined(good, L"\r").size() - 1)),
         true,
         {a, b},
         1},
        {"empty lines among the paths",
         Utf16Lines({L"[knbookmark/ver:1]", L"current:", b, L"files:", L"", a, L"", L"", b, L""}),
         true,
         {a, b},
         1},
        {"a current path not in the list",
         Utf16Lines({L"[knbookmark/ver:1]", L"current:", L"C:\\x", L"files:", a, b}),
         true,
         {a, b},
         0},
        {"no entries", Utf16Lines({L"[knbookmark/ver:1]", L"current:", L"", L"files:"}), true, {}, -1},
        {"the header in capitals",
         Utf16Lines({L"[KNBOOKMARK/VER:1]", L"current:", b, L"files:", a, b}),
         false,
         {},
         -1},
        {"a space after a label",
         Utf16Lines({L"[knbookmark/ver:1]", L"current: ", b, L"files:", a, b}),
         false,
         {},
         -1},
        {"files: missing", Utf16Lines({L"[knbookmark/ver:1]", L"current:", b, a, b}), false, {}, -1},
        {"an empty file", Bytes{}, false, {}, -1},
        {"only the mark", Bytes{0xFF, 0xFE}, false, {}, -1},
        {"one line", Utf16Lines({L"[knbookmark/ver:1]"}), false, {}, -1},
        {"two lines", Utf16Lines({L"[knbookmark/ver:1]", L"current:"}), false, {}, -1},
        {"three lines", Utf16Lines({L"[knbookmark/ver:1]", L"current:", a}), false, {}, -1},
        {"an odd byte after the mark", Bytes{0xFF, 0xFE, 0x5B}, false, {}, -1},
    };
    const String path = At(L"list.knb");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // Whatever the list held before is gone.
        reader.Insert(L"C:\\before.jpg", false);
        WriteBytes(path, c.file);
        if (c.opens)
            reader.OpenBookmark(path);
        else
            EXPECT_EQ(OpenFails(reader, path), ReadFailure(path));
        EXPECT_EQ(Entries(reader), c.entries);
        EXPECT_EQ(reader.GetCurrent(), c.opens ? c.current : -1);
    }
    EXPECT_EQ(Boxes().count, 0);
}

TEST_F(BookmarkTest, ATextBookmarkWhoseArchiveNoLongerOpensFailsWithTheArchivesMessage)
{
    const String path = At(L"list.knb");
    const String missing = At(L"gone.zip");
    WriteBytes(path, Utf16Lines({L"[knbookmark/ver:1]", L"current:", Path(L"gone.zip\\1.bmp"), L"files:",
                                 Path(L"gone.zip\\1.bmp"), L"archives:", Wide(missing)}));
    reader.Insert(L"C:\\before.jpg", false);
    EXPECT_EQ(OpenFails(reader, path), Ansi(L"書庫 '" + missing + L"' の読み込みに失敗しました"));
    EXPECT_EQ(reader.GetCount(), 0);
    EXPECT_EQ(reader.GetCurrent(), -1);
}

TEST_F(BookmarkTest, AMissingBookmarkFailsWithAnEmptyList)
{
    reader.Insert(L"C:\\before.jpg", false);
    EXPECT_THROW(reader.OpenBookmark(At(L"none.knb")), std::exception);
    EXPECT_EQ(reader.GetCount(), 0);
}

TEST_F(BookmarkTest, ReadBookmarkLeavesTheListAloneForAFileNotInTheTextForm)
{
    reader.Insert(L"C:\\before.jpg", false);
    const String path = At(L"list.knb");
    WriteBytes(path, Utf16Lines({L"[knbookmark/ver:1]", L"current:"}));
    String current = L"kept";
    EXPECT_FALSE(reader.ReadBookmark(path, current));
    EXPECT_EQ(Entries(reader), std::vector<std::wstring>{L"C:\\before.jpg"});
    EXPECT_EQ(current, String(L"kept"));
}

// ---- Reading the old form

TEST_F(BookmarkTest, AnOldBookmarkReadsWithItsCurrentEntryAndNoKeepsItsBytes)
{
    OpenFolder(list, {{L"1.bmp", "a"}, {L"book.zip", Zip({{"2.bmp", "two"}})}});
    const String path = At(L"old.knb");
    // An archive that no longer opens is left out; its entries stay plain.
    const Bytes old = OldBookmark({At(L"d\\1.bmp"), At(L"d\\book.zip\\2.bmp"), At(L"gone.zip\\3.bmp")},
                                  At(L"d\\book.zip\\2.bmp"), {At(L"d\\book.zip"), At(L"gone.zip")});
    WriteBytes(path, old);

    Boxes().answer = IDNO;
    reader.OpenBookmark(path);
    EXPECT_EQ(Entries(reader), (std::vector<std::wstring>{Path(L"d\\1.bmp"), Path(L"d\\book.zip\\2.bmp"),
                                                          Path(L"gone.zip\\3.bmp")}));
    EXPECT_EQ(reader.GetCurrent(), 1);
    EXPECT_TRUE(reader.GetEntry(1).IsInArchive());
    EXPECT_EQ(ArchiveFixtures::Text(reader.GetEntry(1).GetFileData()->GetBytes()), "two");
    EXPECT_FALSE(reader.GetEntry(2).IsInArchive());

    EXPECT_EQ(Boxes().count, 1);
    EXPECT_EQ(Boxes().text, Ansi(L"読み込まれたブックマークファイル '" + path +
                                 L"' は古いファイル形式です。\r\n新しい形式に変換して上書き保存しますか？"));
    EXPECT_EQ(Boxes().caption, Ansi(L"確認"));
    EXPECT_EQ(Boxes().style, static_cast<UINT>(MB_YESNO | MB_ICONQUESTION | MB_SETFOREGROUND));
    EXPECT_FALSE(Boxes().owned);
    EXPECT_EQ(ReadBytes(path), old);
}

TEST_F(BookmarkTest, YesRewritesAnOldBookmarkInTheTextForm)
{
    OpenFolder(list, {{L"1.bmp", "a"}, {L"book.zip", Zip({{"2.bmp", "two"}})}});
    const String path = At(L"old.knb");
    WriteBytes(path, OldBookmark({At(L"d\\1.bmp"), At(L"d\\book.zip\\2.bmp")}, At(L"d\\book.zip\\2.bmp"),
                                 {At(L"d\\book.zip")}));

    Boxes().answer = IDYES;
    reader.OpenBookmark(path);
    EXPECT_EQ(Boxes().count, 1);
    EXPECT_EQ(reader.GetCurrent(), 1);
    EXPECT_EQ(ReadBytes(path), Utf16Lines({L"[knbookmark/ver:1]", L"current:", Path(L"d\\book.zip\\2.bmp"),
                                           L"files:", Path(L"d\\1.bmp"), Path(L"d\\book.zip\\2.bmp"),
                                           L"archives:", Path(L"d\\book.zip")}));

    // Read again, it is a text bookmark and asks nothing.
    CFileList again{Brivox::SArchiverContext{}};
    Prepare(again);
    again.OpenBookmark(path);
    EXPECT_EQ(Entries(again), Entries(reader));
    EXPECT_TRUE(again.GetEntry(1).IsInArchive());
    EXPECT_EQ(Boxes().count, 1);
}

TEST_F(BookmarkTest, AConversionThatCannotBeWrittenLeavesTheFileAndAnEmptyList)
{
    const String path = At(L"old.knb");
    const Bytes old = OldBookmark({L"C:\\a.jpg", L"C:\\b.jpg"}, L"C:\\b.jpg", {});
    WriteBytes(path, old);
    FileTestSupport::MakeReadOnly(path);

    Boxes().answer = IDYES;
    EXPECT_THROW(reader.OpenBookmark(path), Brivox::IOException);
    EXPECT_EQ(Boxes().count, 1);
    EXPECT_EQ(reader.GetCount(), 0);
    EXPECT_EQ(reader.GetCurrent(), -1);
    EXPECT_EQ(ReadBytes(path), old);
}

TEST_F(BookmarkTest, LoadBookmarkTellsTheOldFormWithoutAsking)
{
    const String oldPath = At(L"old.knb"), textPath = At(L"text.knb");
    WriteBytes(oldPath, OldBookmark({L"C:\\a.jpg", L"C:\\b.jpg"}, L"C:\\b.jpg", {}));
    WriteBytes(textPath,
               Utf16Lines({L"[knbookmark/ver:1]", L"current:", L"C:\\a.jpg", L"files:", L"C:\\a.jpg"}));

    EXPECT_TRUE(reader.LoadBookmark(oldPath));
    EXPECT_EQ(Entries(reader), (std::vector<std::wstring>{L"C:\\a.jpg", L"C:\\b.jpg"}));
    EXPECT_EQ(reader.GetCurrent(), 1);
    EXPECT_FALSE(reader.LoadBookmark(textPath));
    EXPECT_EQ(Entries(reader), std::vector<std::wstring>{L"C:\\a.jpg"});
    EXPECT_EQ(Boxes().count, 0);
}

TEST_F(BookmarkTest, DamagedOldBookmarksFailCleanly)
{
    const Bytes good = OldBookmark({L"C:\\a.jpg", L"C:\\b.jpg"}, L"C:\\b.jpg", {});
    auto compressedFrom = [](std::vector<unsigned char> plain) { return Compress(plain); };
    auto plainWithCount = [](std::int32_t count) {
        static const char tail[] = "\x05\0\0\0C:\\a.jpgpadding to pass sixteen bytes";
        Bytes plain(sizeof count + sizeof tail - 1);
        std::memcpy(plain.data(), &count, sizeof count);
        std::memcpy(plain.data() + sizeof count, tail, sizeof tail - 1);
        return plain;
    };
    struct Case
    {
        const char* what;
        Bytes file;
    };
    const std::vector<Case> cases{
        {"cut in half", Bytes(good.begin(), good.begin() + static_cast<long>(good.size() / 2))},
        {"sixteen bytes", Bytes(good.begin(), good.begin() + 16)},
        {"a path count of 2^31 - 1", compressedFrom(plainWithCount(0x7FFFFFFF))},
        {"a negative path count", compressedFrom(plainWithCount(-1))},
        {"no current path after the paths", compressedFrom(plainWithCount(1))},
        {"a string length of 2^31 - 1", compressedFrom({1, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0x7F, 'C', ':', '\\',
                                                        'a', 'b', 'c', 'd', 'e', 'f', 'g'})},
        {"an archive count past the end",
         [] {
             Brivox::IRestorer data;
             const std::int32_t none = 0, many = 0x7FFFFFFF;
             data.WriteBytes(&none, 4);
             data.WriteString(L"C:\\current-path-long-enough.jpg");
             data.WriteBytes(&many, 4);
             return Compress(data.GetBuffer());
         }()},
    };
    const String path = At(L"old.knb");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        reader.Insert(L"C:\\before.jpg", false);
        WriteBytes(path, c.file);
        EXPECT_EQ(OpenFails(reader, path), ReadFailure(path));
        EXPECT_EQ(reader.GetCount(), 0);
        EXPECT_EQ(reader.GetCurrent(), -1);
        EXPECT_EQ(ReadBytes(path), c.file);
    }
    EXPECT_EQ(Boxes().count, 0);
}
