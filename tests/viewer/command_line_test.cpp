#include "support/wide_text.h"
#include "viewer/app_frame.h"

#include "foundation/temp_file.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

using Brivox::CCommandLine;
using Brivox::String;

namespace {

using KanoruTest::Text;

SStartArguments Read(const std::wstring& arguments, const std::wstring& base = L"C:\\base\\")
{
    const std::wstring line = L"\"C:\\prog\\Kanoru2.exe\" " + arguments;
    return ReadStartArguments(CCommandLine("x", line.c_str()), base.c_str());
}

std::vector<std::wstring> Paths(const SStartArguments& start)
{
    std::vector<std::wstring> paths;
    for (const String& path : start.paths)
        paths.push_back(Text(path));
    return paths;
}

} // namespace

TEST(CommandLine, ArgumentsBecomePathsAgainstTheCurrentFolder)
{
    ::_wputenv(L"KANORU_VIEWER_TEST_DIR=D:\\vars");
    const struct
    {
        std::wstring arguments;
        std::vector<std::wstring> paths;
    } cases[] = {
        {L"\"C:\\my pics\\a.jpg\"", {L"C:\\my pics\\a.jpg"}},
        {L"C:\\my pics\\a.jpg", {L"C:\\my", L"C:\\base\\pics\\a.jpg"}},
        {L"x\\y.jpg", {L"C:\\base\\x\\y.jpg"}},
        {L"..\\y.jpg sub\\..\\z.png", {L"C:\\y.jpg", L"C:\\base\\z.png"}},
        {L"%KANORU_VIEWER_TEST_DIR%\\a.jpg", {L"D:\\vars\\a.jpg"}},
        {L"a/b.jpg", {L"C:\\base\\a\\b.jpg"}},
        // Only the lower-case switch is one; anything else starting with '/' is a path.
        {L"/VERSION", {L"C:\\VERSION"}},
        {L"", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        const SStartArguments start = Read(c.arguments);
        EXPECT_FALSE(start.writeVersion);
        EXPECT_EQ(L"Kanoru", Text(start.baseName));
        EXPECT_EQ(c.paths, Paths(start));
    }
}

TEST(CommandLine, AnExistingFolderGetsATrailingSeparator)
{
    Brivox::CTempFolder folder(L"kanoru-cmdline-");
    folder.Create();
    std::wstring path = Text(folder.GetPath());
    path.pop_back();
    const SStartArguments start = Read(L"\"" + path + L"\" \"" + path + L"\\missing\"");
    EXPECT_EQ((std::vector<std::wstring>{path + L"\\", path + L"\\missing"}), Paths(start));
}

TEST(CommandLine, Switches)
{
    const struct
    {
        std::wstring arguments;
        bool version;
        std::wstring baseName;
        std::size_t paths;
    } cases[] = {
        {L"/version", true, L"Kanoru", 0},
        {L"a.jpg /cfg:t /version b.jpg", true, L"t", 0},
        {L"/cfg:t", false, L"t", 0},
        {L"/cfg:", false, L"", 0},
        {L"/cfg:first a.jpg /cfg:second", false, L"second", 1},
        {L"/CFG:t", false, L"Kanoru", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        const SStartArguments start = Read(c.arguments);
        EXPECT_EQ(c.version, start.writeVersion);
        EXPECT_EQ(c.baseName, Text(start.baseName));
        EXPECT_EQ(c.paths, start.paths.size());
    }
}

TEST(CommandLine, AnEmptyEntryCommandLineReadsNoArguments)
{
    EXPECT_EQ(0, CCommandLine("", L"prog.exe a.jpg").GetCount());
    EXPECT_EQ(0, CCommandLine(nullptr, L"prog.exe a.jpg").GetCount());
    EXPECT_EQ(1, CCommandLine("a.jpg", L"prog.exe a.jpg").GetCount());
}
