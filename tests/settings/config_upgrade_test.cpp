#include "settings/config_upgrade.h"

#include "foundation/registry_test_support.h"
#include "settings/config_schema.h"
#include "settings_test_support.h"

#include <string>
#include <utility>

using namespace FileTestSupport;
using namespace SettingsTestSupport;
using Brivox::CConfig;
using Brivox::String;

TEST(UpgradeViewerArguments, RewritesTheLongPatternFirst)
{
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"open $(dir)\\$(file).$(ext) and $(file).$(ext)", L"open $(full) and $(name)"},
        {L"\"$(dir)\\$(file).$(ext)\"", L"\"$(full)\""},
        {L"$(dir)$(file).$(ext)", L"$(dir)$(name)"},
        {L"$(full) $(name)", L"$(full) $(name)"},
        {L"", L""},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(UpgradeViewerArguments(text), expected) << Ansi(text);
}

TEST(UpgradeTitleTemplate, RewritesTheLongPatternFirst)
{
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"x $(dir)$(file)$(ext) y $(file)$(ext)", L"x $(full) y $(name)"},
        {L"$(dir)\\$(file)$(ext)", L"$(dir)\\$(name)"},
        {L"Kanoru : $(full)", L"Kanoru : $(full)"},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(UpgradeTitleTemplate(text), expected) << Ansi(text);
}

namespace {

// The keys that no version reads any more.
const wchar_t* const obsoleteKeys[] = {
    L"FullScreen.cx",
    L"FullScreen.cy",
    L"ImageSizeLimitPixel",
    L"Magnifier.cx",
    L"Magnifier.cy",
    L"ImageSpreadView",
    L"DrawMode",
    L"CustomKey",
    L"TmpDirCustom",
    L"Bookmark0",
    L"Bookmark1",
    L"Bookmark2",
    L"Bookmark3",
    L"Bookmark4",
    L"Bookmark5",
    L"Bookmark6",
    L"Bookmark7",
    L"Bookmark8",
    L"Bookmark9",
    L"EnvSCStart",
    L"EnvSCStartAll",
    L"EnvSCSendAll",
    L"EnvResetting",
    L"UseOleLoadPicture",
    L"LoadGifOwn",
    L"ArchiverPriorityZ2",
    L"MaximizeByDoubleClick",
    L"EnvSet",
    L"EnvSetJpg",
    L"EnvSetPng",
    L"EnvSetBmp",
    L"EnvSetArgb",
    L"EnvSetKnb",
    L"EnvRClickZip",
    L"EnvRClickRar",
    L"EnvRClickLzh",
    L"EnvRClickDir",
    L"EnvSCSend",
    L"HttpLastModified",
    L"ExtractMinimum",
    L"ImageCacheCount",
    L"ImageCacheAuto",
    L"DrawMagnification",
    L"DrawReduction",
    L"ResizeOnLoad",
};

// A start of the viewer: the schema reads the settings file, and the upgrade saves it.
class ConfigUpgradeTest : public TempFolderTest
{
protected:
    String Path() const { return At(L"Kanoru.cfg"); }

    // Reads the file as a start does and upgrades it; what it holds afterwards.
    Bytes Start()
    {
        CConfig config;
        InitConfig(config, Path());
        EXPECT_TRUE(UpgradeOldConfig(config, Path()));
        return ReadBytes(Path());
    }

    RegistryTestSupport::PrivateCurrentUser user; // no Susie installation
};

} // namespace

TEST_F(ConfigUpgradeTest, FirstStartWritesThePresentPatterns)
{
    std::string expected = DefaultSettings();
    expected = WithLine(expected, "ExViewer0Arg", "shimgvw,ImageView_Fullscreen $(full)");
    expected = WithLine(expected, "ExViewer1Arg", "\"$(full)\"");
    expected = WithLine(expected, "ExViewer2Arg", "/select,$(full)");
    expected =
        WithLine(expected, "Titlebar", "Kanoru : $(full) ($(imgw)x$(imgh)) [$(index)/$(count)] $(build)");
    EXPECT_EQ(Start(), SettingsFileBytes(expected));
}

TEST_F(ConfigUpgradeTest, RunningAgainChangesNothing)
{
    std::string file = "ExViewer1Arg = $(file).$(ext) in $(dir)\\$(file).$(ext)\r\n"
                       "Titlebar = $(dir)$(file)$(ext)$(file)$(ext)\r\n"
                       "HttpProxyServer = your.proxy.example:80\r\n"
                       "DrawMode = 5\r\nMagnifierWidth = 10\r\nMagnifierHeight = 20\r\nBookmark3 = x\r\n";
    WriteText(Path(), file);
    const Bytes once = Start();
    EXPECT_EQ(Start(), once);

    // The same store upgraded twice in one run saves the same file too.
    CConfig config;
    InitConfig(config, Path());
    ASSERT_TRUE(UpgradeOldConfig(config, Path()));
    ASSERT_TRUE(UpgradeOldConfig(config, Path()));
    EXPECT_EQ(ReadBytes(Path()), once);

    CConfig upgraded;
    ASSERT_TRUE(upgraded.Load(Path()));
    EXPECT_EQ(upgraded.GetRaw(L"ExViewer1Arg"), L"$(name) in $(full)");
    EXPECT_EQ(upgraded.GetRaw(L"Titlebar"), L"$(full)$(name)");
    EXPECT_EQ(upgraded.GetString(L"HttpProxyServer"), ProxyServerExample);
    EXPECT_EQ(upgraded.GetRaw(L"DrawMode_"), L"3");
    EXPECT_EQ(upgraded.GetRaw(L"Magnifier"), L"10, 20");
}

TEST_F(ConfigUpgradeTest, OnlyTheOlderProxyExampleIsReplaced)
{
    const std::pair<const char*, const wchar_t*> cases[] = {
        {"your.proxy.example:80", ProxyServerExample},
        {"your.proxy.example:8080", L"your.proxy.example:8080"},
        {"Your.proxy.example:80", L"Your.proxy.example:80"},
        {"proxy.example:80", ProxyServerExample},
        {"my.own.proxy:3128", L"my.own.proxy:3128"},
    };
    for (const auto& [stored, expected] : cases) {
        WriteText(Path(), std::string("HttpProxyServer = ") + stored + "\r\n");
        Start();
        CConfig upgraded;
        ASSERT_TRUE(upgraded.Load(Path()));
        EXPECT_EQ(upgraded.GetString(L"HttpProxyServer"), expected) << stored;
    }
}

TEST_F(ConfigUpgradeTest, ObsoleteKeysGoAndOthersStay)
{
    std::string file = "UnknownToTheSchema = kept\r\n";
    for (const wchar_t* key : obsoleteKeys)
        file += Ansi(key) + " = 1\r\n";
    WriteText(Path(), file);
    Start();

    CConfig upgraded;
    ASSERT_TRUE(upgraded.Load(Path()));
    for (const wchar_t* key : obsoleteKeys)
        EXPECT_FALSE(upgraded.Contains(key)) << Ansi(key);
    EXPECT_EQ(upgraded.GetRaw(L"UnknownToTheSchema"), L"kept");
    for (const String& key : GetConfigSchemaKeys())
        EXPECT_TRUE(upgraded.Contains(key)) << Ansi(key);
    EXPECT_TRUE(upgraded.Contains(L"LoaderPriorityT"));
}

TEST_F(ConfigUpgradeTest, FailedSaveReportsFalseAndKeepsTheStore)
{
    MakeFolder(Path()); // a folder where the file should be
    CConfig config;
    InitConfig(config, Path());
    EXPECT_FALSE(UpgradeOldConfig(config, Path()));
    EXPECT_EQ(config.GetRaw(L"ExViewer2Arg"), L"/select,$(full)");
}
