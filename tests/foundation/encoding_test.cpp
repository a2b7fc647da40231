#include "foundation/encoding.h"
#include "foundation/win32.h"

#include <gtest/gtest.h>

#include <string>

using Brivox::GetDefaultEncoding;
using Brivox::String;

namespace {

std::wstring Text(const String& s)
{
    return std::wstring(s.CStr(), static_cast<std::size_t>(s.Length()));
}

class Cp932 : public testing::Test
{
protected:
    void SetUp() override
    {
        // Without the Japanese code page every narrow Japanese text is "?" and these tests
        // would prove nothing.
        ASSERT_EQ(932u, ::GetACP()) << "run with LC_ALL=ja_JP.UTF-8";
    }
};

} // namespace

TEST_F(Cp932, JapaneseTextRoundTrips)
{
    const std::string bytes = GetDefaultEncoding().ToMultiByte(String(L"日本語"));
    EXPECT_EQ(std::string("\x93\xFA\x96\x7B\x8C\xEA"), bytes);
    EXPECT_EQ(L"日本語", Text(GetDefaultEncoding().ToString(bytes)));

    const String five(L"画像ビュア");
    const std::string fiveBytes = GetDefaultEncoding().ToMultiByte(five);
    EXPECT_EQ(10u, fiveBytes.size());
    EXPECT_EQ(five, GetDefaultEncoding().ToString(fiveBytes));
}

TEST_F(Cp932, UnmappableCharacterBecomesTheDefaultCharacter)
{
    EXPECT_EQ("a?b", GetDefaultEncoding().ToMultiByte(String(L"a\uAC00b")));
}

TEST_F(Cp932, RangesOfBothDirections)
{
    const String text(L"x日本語y");
    EXPECT_EQ(std::string("\x96\x7B\x8C\xEA"), GetDefaultEncoding().ToMultiByte(text, 2, 2));
    String out;
    GetDefaultEncoding().ToString(out, std::string("ab\x93\xFA\x96\x7B"), 2, 2);
    EXPECT_EQ(L"日", Text(out));
    EXPECT_EQ(L"本", Text(Brivox::FromApiTextA(std::string("\x96\x7B"))));
}

TEST(Encoding, EmptyTextConvertsToNothingAndBackToTheSharedEmptyText)
{
    EXPECT_EQ("", GetDefaultEncoding().ToMultiByte(String()));
    EXPECT_EQ(String().CStr(), GetDefaultEncoding().ToString(std::string()).CStr());
    char buffer[4] = {'x', 'x', 'x', 'x'};
    EXPECT_EQ(0, GetDefaultEncoding().WideToMultiByte(L"abc", 0, buffer, 4));
    EXPECT_EQ('x', buffer[0]);
    EXPECT_FALSE(GetDefaultEncoding().QueryFlag());
    EXPECT_EQ(&GetDefaultEncoding(), &GetDefaultEncoding());
}

TEST(Encoding, ApiStringOnNTSharesTheWideText)
{
    ASSERT_TRUE(Brivox::IsWindowsNT());
    EXPECT_TRUE(Brivox::IsWindowsNT());
    const String path(L"C:\\画像\\a.jpg");
    Brivox::ApiString api(path);
    EXPECT_EQ(path.CStr(), api.WidePointer());
    EXPECT_STREQ("", api.AnsiPointer());
    const String other(L"b");
    api.Assign(other);
    EXPECT_EQ(other.CStr(), api.WidePointer());
    EXPECT_EQ(path.CStr(), Brivox::ToApiTextW(path).CStr());
}
