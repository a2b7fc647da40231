#include "support/wide_text.h"
#include "viewer/title.h"

#include "settings/config_upgrade.h"
#include "viewer/app_window.h"

#include <gtest/gtest.h>

#include <string>

using Brivox::String;

namespace {

using KanoruTest::Text;

STitleFacts PageShown()
{
    STitleFacts facts;
    facts.path = L"C:\\pics\\a.jpg";
    facts.index = 3;
    facts.count = 12;
    facts.marks = 2;
    facts.image = {640, 480};
    facts.fileSizeKiB = 57;
    facts.imageType = L"JPEG";
    facts.scale = 0.5;
    return facts;
}

} // namespace

TEST(Caption, VariablesOfAShownPage)
{
    const struct
    {
        const wchar_t* titleTemplate;
        const wchar_t* caption;
    } cases[] = {
        {L"$(name) [$(index)/$(count)]", L"a.jpg [3/12]"},
        {L"$(dir)|$(file)|$(ext)|$(full)", L"C:\\pics|a|jpg|C:\\pics\\a.jpg"},
        {L"$(marks) $(imgw)x$(imgh) $(fsize) $(imgtype) $(viewrate)", L"2 640x480 57 JPEG 50%"},
        {L"$(selx),$(sely),$(selw),$(selh)", L"0,0,640,480"},
        {L"$(build)", L"build-219"},
        {L"", L""},
        {L"$(unknown) $(name", L"$(unknown) $(name"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.titleTemplate);
        EXPECT_EQ(c.caption, Text(BuildTitle(c.titleTemplate, PageShown())));
    }
}

TEST(Caption, ASelectionInImagePixels)
{
    STitleFacts facts = PageShown();
    facts.selection = Brivox::CRect{10, 20, 110, 70};
    EXPECT_EQ(L"10,20,100,50", Text(BuildTitle(L"$(selx),$(sely),$(selw),$(selh)", facts)));
}

TEST(Caption, ValuesAreNotSearchedAgain)
{
    // A folder whose name holds a variable's text keeps it.
    STitleFacts facts = PageShown();
    facts.path = L"C:\\x$(ext)\\a.jpg";
    EXPECT_EQ(L"C:\\x$(ext)|jpg", Text(BuildTitle(L"$(dir)|$(ext)", facts)));
    facts.path = L"C:\\$(name)\\b.png";
    EXPECT_EQ(L"C:\\$(name)\\b.png b.png", Text(BuildTitle(L"$(full) $(name)", facts)));
}

TEST(Caption, ViewRateKeepsOneDecimal)
{
    const struct
    {
        double scale;
        const wchar_t* text;
    } cases[] = {{1, L"100%"}, {1.0 / 3, L"33.3%"}, {0.12345, L"12.3%"}, {2.5, L"250%"}, {0, L"0%"}};
    for (const auto& c : cases)
        EXPECT_EQ(c.text, Text(FormatViewRate(c.scale))) << c.scale;
}

TEST(Caption, NoPageShownWithTheDefaultTemplate)
{
    const String defaultTemplate =
        L"Kanoru : $(dir)$(file)$(ext) ($(imgw)x$(imgh)) [$(index)/$(count)] $(build)";
    EXPECT_EQ(L"Kanoru :  (0x0) [0/0] build-219",
              Text(BuildTitle(UpgradeTitleTemplate(defaultTemplate), STitleFacts())));
}

TEST(InitialSize, TwoThirdsOfTheWorkAreaAlongTheLongerSide)
{
    const struct
    {
        Brivox::CSize workArea, image, client;
    } cases[] = {
        {{1600, 1200}, {1000, 500}, {1066, 533}},
        {{1600, 1200}, {500, 1000}, {400, 800}},
        {{1600, 1200}, {600, 600}, {1066, 1066}},
        {{1024, 768}, {600, 400}, {682, 454}},
    };
    for (const auto& c : cases) {
        const Brivox::CSize client = InitialClientSize(c.workArea, c.image);
        EXPECT_EQ(c.client.cx, client.cx) << c.image.cx << "x" << c.image.cy;
        EXPECT_EQ(c.client.cy, client.cy) << c.image.cx << "x" << c.image.cy;
    }
}

TEST(VersionReport, FourLinesWithTheirTabs)
{
    EXPECT_EQ(L"推定空きメモリ:\t約1536MB\r\nキャッシュ枚数:\t12枚\r\n縮小キャッシュ:\tON\r\nﾌｧｲﾙキャッシュ:"
              L"\tOFF\r\n",
              Text(BuildVersionReport((1536ull << 20) + 12345, 12, true, false)));
    EXPECT_EQ(
        L"推定空きメモリ:\t約0MB\r\nキャッシュ枚数:\t0枚\r\n縮小キャッシュ:\tOFF\r\nﾌｧｲﾙキャッシュ:\tON\r\n",
        Text(BuildVersionReport(1000, 0, false, true)));
}

TEST(SaveName, PrefixOfTheArchiveAndItsFolderWrittenWithTheSeparator)
{
    const wchar_t* const book = L"C:\\pics\\book.zip";
    const struct
    {
        const wchar_t* path;
        const wchar_t* archive;
        bool useArchive;
        bool useFolder;
        const wchar_t* separator;
        const wchar_t* name;
    } cases[] = {
        {L"C:\\pics\\a.jpg", L"", true, true, L" - ", L"a"},
        {L"C:\\pics\\book.zip\\sub\\p1.jpg", book, false, false, L" - ", L"p1"},
        {L"C:\\pics\\book.zip\\sub\\p1.jpg", book, true, false, L" - ", L"book - p1"},
        {L"C:\\pics\\book.zip\\sub\\p1.jpg", book, false, true, L"_", L"sub_p1"},
        {L"C:\\pics\\book.zip\\sub/deep\\p1.jpg", book, true, true, L"/", L"book/sub/deep/p1"},
        // An entry at the archive's root adds no folder.
        {L"C:\\pics\\book.zip\\p1.jpg", book, true, true, L" - ", L"book - p1"},
        // Doubled separators inside the archive collapse to one before the separator is written.
        {L"C:\\pics\\book.zip\\sub//x\\p1.jpg", book, false, true, L"+", L"sub+x+p1"},
        {L"C:\\pics\\book.zip\\sub\\p1.jpg", book, true, true, L"", L"booksubp1"},
        // No page shown: the document's default name.
        {L"C:\\work\\ファイル.bmp", L"", true, true, L" - ", L"ファイル"},
    };
    for (const auto& c : cases) {
        SSaveNameFacts facts;
        facts.path = c.path;
        facts.outermostArchive = c.archive;
        facts.useArchive = c.useArchive;
        facts.useArchiveFolder = c.useFolder;
        facts.separator = c.separator;
        EXPECT_EQ(Text(BuildSaveName(facts)), Text(c.name)) << Text(c.path);
    }
}
