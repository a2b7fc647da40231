#include "foundation/command_line.h"
#include "foundation/numeric.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cwchar>
#include <string>
#include <vector>

using Brivox::String;

namespace {

std::vector<std::wstring> Split(const wchar_t* text)
{
    std::vector<std::wstring> out;
    for (const String& argument : Brivox::SplitCommandLine(String(text)))
        out.emplace_back(argument.CStr(), argument.Length());
    return out;
}

} // namespace

TEST(SplitCommandLine, CutsAtSpacesAndQuotes)
{
    struct Case
    {
        const wchar_t* line;
        std::vector<std::wstring> arguments;
    };
    const Case cases[] = {
        {L"prog.exe  \"a b\"  c\"d e", {L"prog.exe", L"a b", L"c\"d", L"e"}},
        {L"prog.exe \"\"", {L"prog.exe", L""}},
        {L"prog.exe \"abc", {L"prog.exe", L"abc"}},
        {L"prog.exe \"", {L"prog.exe"}},
        {L"prog.exe \"a\"b", {L"prog.exe", L"a", L"b"}},
        {L"prog.exe a\tb", {L"prog.exe", L"a\tb"}},
        {L"\t prog.exe   x  ", {L"prog.exe", L"x"}},
        {L"\"C:\\Program Files\\k.exe\" /cfg:x", {L"C:\\Program Files\\k.exe", L"/cfg:x"}},
        {L"", {}},
        {L"   ", {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Split(c.line), c.arguments) << std::string(c.line, c.line + std::wcslen(c.line));
}

TEST(SplitCommandLine, FirstArgumentIsTheProgram)
{
    const std::vector<String> arguments = Brivox::SplitCommandLine();
    ASSERT_FALSE(arguments.empty());
    EXPECT_TRUE(arguments[0].ToLower().EndsWith(L".exe"));
    EXPECT_TRUE(Brivox::GetModuleFileNameString().ToLower().EndsWith(L"foundation_tests.exe"));
}

TEST(GetTempPathString, EndsWithASeparator)
{
    EXPECT_TRUE(Brivox::GetTempPathString().EndsWith(L"\\"));
}

TEST(PositiveModulo, WrapsIntoTheRange)
{
    struct Case
    {
        int a, n, result;
    };
    const Case cases[] = {{-1, 5, 4}, {12, 5, 2},  {5, 5, 0},   {3, 0, 0},
                          {3, -2, 0}, {-10, 5, 0}, {-11, 5, 4}, {0, 1, 0}};
    for (const Case& c : cases)
        EXPECT_EQ(Brivox::PositiveModulo(c.a, c.n), c.result) << c.a << " mod " << c.n;
}

TEST(MaxMinDouble, EqualOrUnorderedValuesGiveTheFixedSide)
{
    const double nan = std::nan("");
    EXPECT_EQ(Brivox::MaxDouble(1.0, 2.0), 2.0);
    EXPECT_EQ(Brivox::MinDouble(1.0, 2.0), 1.0);
    EXPECT_TRUE(std::isnan(Brivox::MaxDouble(nan, 1.0)));
    EXPECT_EQ(Brivox::MaxDouble(1.0, nan), 1.0);
    EXPECT_EQ(Brivox::MinDouble(nan, 1.0), 1.0);
    EXPECT_TRUE(std::isnan(Brivox::MinDouble(1.0, nan)));
    EXPECT_TRUE(std::signbit(Brivox::MaxDouble(-0.0, 0.0)));  // equal: a
    EXPECT_FALSE(std::signbit(Brivox::MinDouble(-0.0, 0.0))); // equal: b
}
