#include "foundation/string_builder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

using Brivox::String;
using Brivox::StringBuilder;

namespace {

std::wstring Text(const String& s)
{
    return std::wstring(s.CStr(), static_cast<std::size_t>(s.Length()));
}

} // namespace

TEST(StringBuilder, AppendInsertRemove)
{
    StringBuilder builder(String(L"ab"));
    builder.Append(L'c');
    builder.Append(L"de");
    builder.Append(String(L"f"));
    EXPECT_EQ(6, builder.Length());
    const wchar_t source[] = L"XYZ";
    builder.Insert(1, source, 1, 2);
    EXPECT_EQ(L"aYZbcdef", Text(builder.ToString()));
    builder.Insert(builder.Length(), source, 0, 1);
    builder.Remove(2, 3);
    EXPECT_EQ(L"aYdefX", Text(builder.ToString()));
    EXPECT_EQ(L"def", Text(builder.Substring(2, 3)));
    *builder.At(0) = L'A';
    EXPECT_EQ(L'A', *builder.At(0));
    EXPECT_EQ(0, StringBuilder().ToString().Length());
}

TEST(StringBuilder, ReplacementsStayInsideTheirRange)
{
    StringBuilder builder(String(L"aXaXa"));
    builder.ReplaceAll(String(L"a"), String(L"bb"), 1, 3);
    EXPECT_EQ(L"aXbbXa", Text(builder.ToString()));
    builder.ReplaceAll(String(L"bb"), String(L""), 0, builder.Length());
    EXPECT_EQ(L"aXXa", Text(builder.ToString()));
    builder.ReplaceChar(L'a', L'c', 1, 3);
    EXPECT_EQ(L"aXXc", Text(builder.ToString()));

    StringBuilder empty;
    empty.ReplaceChar(L'a', L'b', 0, 0);
    empty.ReplaceAll(String(L"a"), String(L"b"), 0, 0);
    EXPECT_EQ(0, empty.Length());
}

TEST(StringBuilder, ReplaceTableAndCharsApplyPairsInOrder)
{
    EXPECT_EQ(L"cc", Text(Brivox::ReplaceTable(
                         String(L"ab"), {{String(L"a"), String(L"b")}, {String(L"b"), String(L"c")}})));
    EXPECT_EQ(L"\\\\n", Text(Brivox::ReplaceTable(String(L"\\n"), {{String(L"\\"), String(L"\\\\")}})));
    EXPECT_EQ(L"cc", Text(Brivox::ReplaceChars(String(L"ab"), {{L'a', L'b'}, {L'b', L'c'}})));
    EXPECT_EQ(L"", Text(Brivox::ReplaceTable(String(), {{String(L"a"), String(L"b")}})));
}

TEST(StringToInt, LeadingNumberOrZero)
{
    const std::pair<const wchar_t*, int> cases[] = {
        {L"  42abc", 42}, {L" 42abc", 42}, {L"abc", 0}, {L"-7", -7}, {L"+8", 8}, {L"", 0}, {L"\t12 3", 12},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(expected, Brivox::StringToInt(String(text))) << text;
    EXPECT_EQ(L"-123", Text(Brivox::IntToString(-123)));
}

// These run under a German user locale too (',' decimal separator): see tests/CMakeLists.txt.
TEST(DoubleToString, SettingsFormWithPointWhateverTheLocale)
{
    const std::pair<double, const wchar_t*> cases[] = {
        {2.0, L"2.0"},         {1.25, L"1.25"},     {0.5, L"0.5"}, {3.0001, L"3.0001"},
        {-1.0, L"-1.0"},       {100.0, L"100.0"},   {0.0, L"0.0"}, {0.00001, L"0.0"},
        {12.3456, L"12.3456"}, {0.1768, L"0.1768"}, {2.5, L"2.5"}, {1e20, L"100000000000000000000.0"},
    };
    for (const auto& [value, expected] : cases)
        EXPECT_EQ(expected, Text(Brivox::DoubleToString(value))) << value;
}

TEST(DoubleToString, DisplayFormDropsABarePoint)
{
    const std::pair<double, const wchar_t*> cases[] = {
        {3.0, L"3"},     {2.5, L"2.5"},   {0.0, L"0"},         {-1.0, L"-1"},
        {100.0, L"100"}, {0.00001, L"0"}, {0.1768, L"0.1768"}, {1.25, L"1.25"},
    };
    for (const auto& [value, expected] : cases)
        EXPECT_EQ(expected, Text(Brivox::DoubleToDisplayString(value))) << value;
}

TEST(StringToDouble, ReadsThePointWhateverTheLocale)
{
    const std::pair<const wchar_t*, double> cases[] = {
        {L"2.5", 2.5}, {L"  -0.125x", -0.125}, {L"+1.5", 1.5}, {L"abc", 0.0}, {L"", 0.0},
        {L"2,5", 2.0}, {L"1e3", 1000.0},       {L".5", 0.5},   {L"+-1", 0.0}, {L"1e-400", 0.0},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(expected, Brivox::StringToDouble(String(text))) << text;
    EXPECT_TRUE(std::isinf(Brivox::StringToDouble(String(L"1e400"))));
    for (const double value : {2.0, 0.1768, -3.0001, 12.3456})
        EXPECT_EQ(value, Brivox::StringToDouble(Brivox::DoubleToString(value))) << value;
}

TEST(CopyToCharBuffer, CutsToTheBufferAndTerminates)
{
    const String tenBytes(L"0123456789");
    char buffer[16];
    std::memset(buffer, 'x', sizeof(buffer));
    Brivox::CopyToCharBuffer(buffer, 11, tenBytes);
    EXPECT_STREQ("0123456789", buffer);
    std::memset(buffer, 'x', sizeof(buffer));
    Brivox::CopyToCharBuffer(buffer, 8, tenBytes);
    EXPECT_STREQ("0123456", buffer);
    EXPECT_EQ('x', buffer[8]);
    Brivox::CopyToCharBuffer(buffer, 1, tenBytes);
    EXPECT_STREQ("", buffer);
}

TEST(NewCString, AnsiFormWithItsNul)
{
    const auto copy = Brivox::NewCString(String(L"abc"));
    EXPECT_STREQ("abc", copy.get());
    EXPECT_STREQ("", Brivox::NewCString(String()).get());
}
