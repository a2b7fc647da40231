#include "foundation/text_file.h"

#include "file_test_support.h"
#include "foundation/exception.h"

using namespace FileTestSupport;
using Brivox::String;

namespace {

class TextFileTest : public TempFolderTest
{
};

struct ReadCase
{
    Bytes bytes;
    std::wstring text;
};

} // namespace

TEST_F(TextFileTest, ReadsByTheMarkOrAsAnsi)
{
    const ReadCase cases[] = {
        {{0xFF, 0xFE, 0x41, 0x00}, L"A"},
        {{0xFE, 0xFF, 0x00, 0x41}, L"A"},
        {{0x41, 0x42}, L"AB"},
        {{0xFF, 0xFE}, L""},
        {{}, L""},
        {{0x41, 0x42, 0x43}, L"ABC"},
        // The mark decides for odd sizes too: the stray last byte goes, nothing else is lost.
        {{0xFF, 0xFE, 0x41}, L""},
        {{0xFF, 0xFE, 0x41, 0x00, 0x42}, L"A"},
        {{0xFE, 0xFF, 0x30, 0x42, 0x00}, L"\x3042"},
        // Code units are kept as read, U+0000 included.
        {{0xFF, 0xFE, 0x00, 0x00, 0x3D, 0xD8, 0x00, 0xDE}, std::wstring(L"\0\xD83D\xDE00", 3)},
        {{0x41, 0x00, 0x42}, std::wstring(L"A\0B", 3)},
        {{0x0D, 0x0A}, L"\r\n"},
    };
    int n = 0;
    for (const ReadCase& c : cases) {
        SCOPED_TRACE(n++);
        const String path = At(L"case.txt");
        WriteBytes(path, c.bytes);
        const String text = Brivox::ReadTextFile(path);
        EXPECT_EQ(std::wstring(text.CStr(), text.Length()), c.text);
    }
}

TEST_F(TextFileTest, ReadsJapaneseAnsiText)
{
    if (::GetACP() != 932)
        GTEST_SKIP() << "needs the Japanese code page";
    const String path = At(L"sjis.txt");
    WriteBytes(path, {0x93, 0xFA, 0x96, 0x7B, 0x8C, 0xEA});
    EXPECT_TRUE(Brivox::ReadTextFile(path) == L"日本語");
}

TEST_F(TextFileTest, WritesMarkAndLittleEndianUnitsIntoNewFolders)
{
    const String path = At(L"new\\folder\\a.txt");
    Brivox::WriteTextFile(path, L"a\r\n");
    EXPECT_EQ(ReadBytes(path), (Bytes{0xFF, 0xFE, 0x61, 0x00, 0x0D, 0x00, 0x0A, 0x00}));
    Brivox::WriteTextFile(path, L"");
    EXPECT_EQ(ReadBytes(path), (Bytes{0xFF, 0xFE}));
}

TEST_F(TextFileTest, RoundTripKeepsEveryUnit)
{
    const String path = At(L"round.txt");
    const String text(std::wstring(L"日本語\r\nline\0two\xD83D\xDE00", 15));
    Brivox::WriteTextFile(path, text);
    EXPECT_TRUE(Brivox::ReadTextFile(path) == text);
}

TEST_F(TextFileTest, MissingFileFailsAndLeavesTheBuilder)
{
    const String path = At(L"missing.txt");
    Brivox::StringBuilder builder(L"kept");
    try {
        Brivox::ReadTextFile(path, builder);
        ADD_FAILURE() << "no exception";
    } catch (const Brivox::IOException& e) {
        EXPECT_EQ(std::string(e.what()), Ansi(path + L" が開けませんでした"));
    }
    EXPECT_TRUE(builder.ToString() == L"kept");
}

// Sizes are 32-bit: a file too large for them fails instead of reading as an empty text.
TEST_F(TextFileTest, TooLargeAFileFails)
{
    const String path = At(L"huge.txt");
    HANDLE file = ::CreateFileW(path.CStr(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    LARGE_INTEGER end;
    end.QuadPart = 3LL << 30; // sparse on the host: nothing is written
    ASSERT_TRUE(::SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && ::SetEndOfFile(file));
    ::CloseHandle(file);
    EXPECT_THROW(Brivox::ReadTextFile(path), Brivox::IOException);
}

TEST_F(TextFileTest, ReadReplacesTheBuildersText)
{
    const String path = At(L"replace.txt");
    WriteBytes(path, {0xFF, 0xFE, 0x78, 0x00});
    Brivox::StringBuilder builder(L"old text");
    Brivox::ReadTextFile(path, builder);
    EXPECT_TRUE(builder.ToString() == L"x");
}

TEST_F(TextFileTest, WholeFilesRoundTrip)
{
    const String path = At(L"sub\\whole.bin");
    Bytes bytes(3000);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<unsigned char>(i * 7);
    Brivox::WriteFile(path, bytes);
    Bytes read = {1, 2, 3};
    Brivox::ReadFile(path, read);
    EXPECT_EQ(read, bytes);
    // A shorter write replaces the whole file; an empty one leaves it empty.
    Brivox::WriteFile(path, "ab", 2);
    EXPECT_EQ(ReadText(path), "ab");
    Brivox::WriteFile(path, Bytes());
    EXPECT_TRUE(Exists(path));
    Brivox::ReadFile(path, read);
    EXPECT_TRUE(read.empty());
}
