#include "settings/config_schema.h"

#include "foundation/registry_test_support.h"
#include "settings_test_support.h"

#include <string>
#include <utility>
#include <vector>

using namespace FileTestSupport;
using namespace SettingsTestSupport;
using Brivox::CConfig;
using Brivox::String;
using RegistryTestSupport::PrivateCurrentUser;

namespace {

// A settings file an older version (or a hand) wrote, and the texts the store holds afterwards.
struct CarryOverCase
{
    const char* file;
    std::vector<std::pair<const wchar_t*, const wchar_t*>> expected;
};

class ConfigSchemaTest : public TempFolderTest
{
protected:
    // InitConfig over a settings file holding the lines (none: no file at all).
    void Init(const std::string& lines = std::string())
    {
        if (!lines.empty())
            WriteText(Path(), lines);
        EXPECT_NO_THROW(InitConfig(config, Path()));
    }

    // Each file read into a fresh store gives the expected texts.
    template <std::size_t N> void ExpectCarriedOver(const CarryOverCase (&cases)[N])
    {
        for (const CarryOverCase& c : cases) {
            SCOPED_TRACE(c.file);
            config = CConfig();
            Init(c.file);
            for (const auto& [key, text] : c.expected)
                EXPECT_EQ(config.GetRaw(key), text) << Ansi(key);
        }
    }

    // What a save of the store writes.
    Bytes Saved()
    {
        const String saved = At(L"saved.cfg");
        EXPECT_TRUE(config.Save(saved));
        return ReadBytes(saved);
    }

    String Path() const { return At(L"Kanoru.cfg"); }

    PrivateCurrentUser user; // no Susie installation unless a test makes one
    CConfig config;
};

} // namespace

TEST_F(ConfigSchemaTest, FirstStartSavesEveryKeyWithItsDefault)
{
    Init();
    EXPECT_EQ(Saved(), SettingsFileBytes(DefaultSettings()));
}

TEST_F(ConfigSchemaTest, PluginFolderIsTheSusieInstallationWhenOneIsRegistered)
{
    user.CreateKey(RegistryTestSupport::susieInstallRoot);
    user.SetDefault(RegistryTestSupport::susieInstallRoot, "C:\\Susie");
    Init();
    EXPECT_EQ(Saved(), SettingsFileBytes(WithLine(DefaultSettings(), "SpiPluginsDir", "C:\\Susie\\")));
}

TEST_F(ConfigSchemaTest, DefaultsReadBackThroughTheGetterOfTheirKind)
{
    Init();
    const std::pair<const wchar_t*, int> integers[] = {
        {L"ArchiverPriorityX", 24}, {L"LoaderPriorityT", 18}, {L"PngCompressLevel", -1}, {L"SortMode", 6}};
    for (const auto& [key, value] : integers)
        EXPECT_EQ(config.GetInt(key), value) << Ansi(key);
    const std::pair<const wchar_t*, bool> truths[] = {{L"ArcPassMask", true},
                                                      {L"ClearType", false},
                                                      {L"OpenTopDirOnly", false},
                                                      {L"LinkFirstAndLast", true}};
    for (const auto& [key, value] : truths)
        EXPECT_EQ(config.GetBool(key), value) << Ansi(key);
    const std::pair<const wchar_t*, double> reals[] = {
        {L"DrawStretchRate", 1.0}, {L"ImageSizeLimitPixel.cx", 200.1}, {L"FileSizeLimitMax", 16384.0}};
    for (const auto& [key, value] : reals)
        EXPECT_DOUBLE_EQ(config.GetDouble(key), value) << Ansi(key);
    const std::pair<const wchar_t*, SIZE> sizes[] = {{L"FullScreen", {800, 600}},
                                                     {L"ReduceOnLoadSize", {3200, 2400}}};
    for (const auto& [key, value] : sizes) {
        const SIZE size = config.GetSize(key);
        EXPECT_EQ(std::make_pair(size.cx, size.cy), std::make_pair(value.cx, value.cy)) << Ansi(key);
    }
    const RECT rect = config.GetRect(L"WindowPosRestoreRect");
    EXPECT_EQ(std::vector<LONG>({rect.left, rect.top, rect.right, rect.bottom}),
              std::vector<LONG>({320, 240, 960, 560}));
    EXPECT_EQ(config.GetRGB(L"FilterAlphaBg"), RGB(0, 0, 0));
    const std::pair<const wchar_t*, const wchar_t*> strings[] = {
        {L"SaveNameSeparator", L" - "}, {L"HttpProxyServer", ProxyServerExample}, {L"ArcPassAutoTry", L""}};
    for (const auto& [key, value] : strings)
        EXPECT_EQ(config.GetString(key), value) << Ansi(key);
    const std::pair<const wchar_t*, const wchar_t*> raws[] = {
        {L"EnvMenuName", L"Kanoruで開く(&2)"},
        {L"ExViewer1Arg", L"\"$(dir)\\$(file).$(ext)\""},
        {L"BookmarkDir", L".\\bookmark\\"},
        {L"SpiPluginsDir", L".\\spi\\"}};
    for (const auto& [key, value] : raws)
        EXPECT_EQ(config.GetRaw(key), value) << Ansi(key);
}

TEST(ConfigSchema, KeysAreRegisteredInTheirFixedOrder)
{
    const std::vector<String> order = {
        L"ArchiverPriorityZL",
        L"ArchiverPriorityS",
        L"ArchiverPriorityZ",
        L"ArchiverPriorityR",
        L"ArchiverPriorityG",
        L"ArchiverPriorityL",
        L"ArchiverPriority7Z",
        L"ArchiverPriorityX",
        L"ArcPassMask",
        L"ArcPassAutoTry",
        L"SaveNameUseArchive",
        L"SaveNameUseArchiveDir",
        L"SaveNameSeparator",
        L"BookmarkDir",
        L"CurrentDir",
        L"ChooseColor",
        L"CDOnDrop",
        L"ClearType",
        L"AutoCursorHide",
        L"AutoCursorHideTime",
        L"DrawStickOut",
        L"DrawStretchType",
        L"DrawStretchRate",
        L"DrawMode_",
        L"DrawBgColor",
        L"DeleteByShell",
        L"StretchCaching",
        L"LoaderCaching",
        L"EnvSetOthers",
        L"EnvRClickOthers",
        L"EnvDesc",
        L"EnvDescKnb",
        L"EnvMenuName",
        L"ExViewer0File",
        L"ExViewer0Arg",
        L"ExViewer0Dir",
        L"ExViewer1File",
        L"ExViewer1Arg",
        L"ExViewer1Dir",
        L"ExViewer2File",
        L"ExViewer2Arg",
        L"ExViewer2Dir",
        L"FileAddMode",
        L"FileAddFollowLnk",
        L"FileAddWithSave",
        L"FileAddWithSaveNext",
        L"FullScreen",
        L"FullScreenBpp",
        L"FullScreenCursorHide",
        L"FullScreenMinOnDeactive",
        L"HttpBackup",
        L"HttpBackupCount",
        L"HttpProxy",
        L"HttpProxyServer",
        L"HttpUpdate",
        L"HttpOldNotice",
        L"HistoryDir",
        L"HistoryMax",
        L"ImageCache",
        L"ImageCacheAutoMax",
        L"ImageCacheAutoLimitRate",
        L"ImageCacheAutoBaseW",
        L"ImageCacheAutoBaseH",
        L"ImageSizeLimit",
        L"ImageSizeLimitPixel.cx",
        L"ImageSizeLimitPixel.cy",
        L"ImageSizeLimitCmpArea",
        L"ReduceOnLoad",
        L"ReduceOnLoadSize",
        L"ReduceOnLoadBySpace",
        L"Padding",
        L"PaddingV",
        L"PaddingH",
        L"FileListWindowRect",
        L"FileSizeLimit",
        L"FileSizeLimitMin",
        L"FileSizeLimitMax",
        L"ImageSpreadView_",
        L"JpgQuality",
        L"PngCompressLevel",
        L"IgnoreBySuffix",
        L"IgnoreExcludeSuffixes",
        L"IgnoreSuffixes",
        L"PaddingCenter",
        L"NextOnCancelSpread",
        L"FilterGray",
        L"Filter",
        L"FilterMark",
        L"FilterRot1",
        L"FilterRot2",
        L"FilterNeg",
        L"FilterMedian",
        L"FilterBC",
        L"FilterBCBright",
        L"FilterBCContrast",
        L"FilterLevelRev",
        L"FilterLevelRevLow",
        L"FilterLevelRevHigh",
        L"LevelRevOpaque",
        L"LevelRevReflect",
        L"FilterGammaRev",
        L"FilterGammaRevValue",
        L"FilterSharp",
        L"FilterGauss",
        L"FilterGaussValue",
        L"FilterUnsharp",
        L"FilterUnsharpValue",
        L"FilterAlpha",
        L"FilterAlphaBg",
        L"FilterAlphaCheck",
        L"GammaRevOpaque",
        L"GammaRevReflect",
        L"GaussReflect",
        L"UnsharpReflect",
        L"LoaderPriorityJ",
        L"LoaderPriorityP",
        L"LoaderPriorityB",
        L"LoaderPriorityS",
        L"LoaderPriorityA",
        L"LoaderPriorityX",
        L"LoaderPriorityO",
        L"Magnifier",
        L"Magnification",
        L"MagnifierShape",
        L"MosaicLevel",
        L"MosaicType",
        L"QuestionRemoveFile",
        L"RemoveOnMove",
        L"StretchKeepRate",
        L"SlideShowFreq",
        L"SlideShowDist",
        L"SlideShowStopWithLast",
        L"SlideShowStopWithCommand",
        L"SortMode",
        L"SpiPluginsDir",
        L"Titlebar",
        L"TmpDir",
        L"WallpaperDir",
        L"WallpaperUnifyFile",
        L"WallpaperResize",
        L"WallpaperUnifyFileName",
        L"WindowTopMost",
        L"WindowPosRestore",
        L"WindowPosRestoreDisableOnLoad",
        L"WindowPosRestoreRect",
        L"Snap",
        L"LinkFirstAndLast",
        L"OpenTopDirOnly",
    };
    EXPECT_EQ(GetConfigSchemaKeys(), order);
}

TEST_F(ConfigSchemaTest, CarriesOldKeysOverToThePresentOnes)
{
    const CarryOverCase cases[] = {
        {"LoaderPriorityA = 40\r\n", {{L"LoaderPriorityT", L"42"}}},
        {"LoaderPriorityA = 40\r\nLoaderPriorityT = 7\r\n", {{L"LoaderPriorityT", L"7"}}},
        {"DrawMode = 0\r\n", {{L"DrawMode_", L"2"}, {L"DrawMode", L"0"}}},
        {"DrawMode = 1\r\n", {{L"DrawMode_", L"3"}}},
        {"DrawMode = 2\r\n", {{L"DrawMode_", L"4"}}},
        {"DrawMode = 3\r\n", {{L"DrawMode_", L"1"}}},
        {"DrawMode = 4\r\n", {{L"DrawMode_", L"2"}}},
        {"DrawMode = 5\r\n", {{L"DrawMode_", L"3"}}},
        {"DrawMode = 6\r\n", {{L"DrawMode_", L"4"}}},
        {"FullScreenWidth = 1024\r\nFullScreenHeight = 768\r\n",
         {{L"FullScreen", L"1024, 768"}, {L"FullScreen.cx", L"1024"}, {L"FullScreen.cy", L"768"}}},
        {"FullScreen.cx = 640\r\nFullScreen.cy = 480\r\n", {{L"FullScreen", L"640, 480"}}},
        {"MagnifierWidth = 500\r\nMagnifierHeight = 200\r\n", {{L"Magnifier", L"500, 200"}}},
        {"ImageSizeLimitPixel = 300, 80\r\n",
         {{L"ImageSizeLimitPixel.cx", L"300.0"}, {L"ImageSizeLimitPixel.cy", L"80.0"}}},
        {"ImageSpreadView = false\r\n", {{L"ImageSpreadView_", L"0"}, {L"ImageSpreadView", L"false"}}},
        {"ImageSpreadView = true\r\nImageSpreadView_ = 5\r\n", {{L"ImageSpreadView_", L"1"}}},
        {"DrawStretchType = 4\r\nDrawReduction = true\r\n", {{L"DrawStretchType", L"4"}}},
        {"DrawReduction = true\r\nDrawMagnification = false\r\n", {{L"DrawStretchType", L"0"}}},
        {"DrawReduction = true\r\nDrawMagnification = true\r\n", {{L"DrawStretchType", L"1"}}},
        {"DrawReduction = false\r\nDrawMagnification = true\r\n", {{L"DrawStretchType", L"2"}}},
        {"DrawReduction = false\r\nDrawMagnification = false\r\n", {{L"DrawStretchType", L"3"}}},
        {"Cleartype = true\r\nCursorHide = true\r\nTmpDirCustomName = D:\\tmp\\\r\n",
         {{L"ClearType", L"true"}, {L"FullScreenCursorHide", L"true"}, {L"TmpDir", L"D:\\tmp\\"}}},
        {"GrayFilter = 2\r\nLevelRevAuto = true\r\nLevelRevAutoLow = 10\r\nLevelRevAutoHigh = 200\r\n",
         {{L"FilterGray", L"2"},
          {L"FilterLevelRev", L"true"},
          {L"FilterLevelRevLow", L"10"},
          {L"FilterLevelRevHigh", L"200"}}},
        // Moved as it stands, whatever its form.
        {"GammaRevAuto = yes\r\nGammaRevAutoValue = 12\r\nSharpFilter = 3\r\n",
         {{L"FilterGammaRev", L"yes"}, {L"FilterGammaRevValue", L"12"}, {L"FilterSharp", L"3"}}},
        // The fallback folder is a default only: the user's empty folder stays.
        {"SpiPluginsDir = \r\n", {{L"SpiPluginsDir", L""}}},
        {"NotASchemaKey = kept\r\n", {{L"NotASchemaKey", L"kept"}}},
    };
    ExpectCarriedOver(cases);
}

TEST_F(ConfigSchemaTest, MalformedOldValuesLeaveTheDefaults)
{
    const CarryOverCase cases[] = {
        {"FullScreen.cx = 1024\r\n", {{L"FullScreen", L"800, 600"}}},
        {"MagnifierWidth = 500\r\nMagnifierHeight = \r\n", {{L"Magnifier", L"400, 300"}}},
        {"ImageSpreadView = yes\r\n", {{L"ImageSpreadView_", L"1"}}},
        {"ImageSizeLimitPixel = 300\r\n",
         {{L"ImageSizeLimitPixel.cx", L"200.1"}, {L"ImageSizeLimitPixel.cy", L"50.1"}}},
        {"DrawMode = \r\n", {{L"DrawMode_", L"3"}}},
        {"DrawReduction = maybe\r\nDrawMagnification = true\r\n", {{L"DrawStretchType", L"0"}}},
        {"LoaderPriorityA = \r\n", {{L"LoaderPriorityT", L"18"}}},
        // The steps after a malformed one still run.
        {"ImageSpreadView = yes\r\nDrawMode = 0\r\nSharpFilter = 4\r\nDrawReduction = false\r\n"
         "DrawMagnification = false\r\n",
         {{L"ImageSpreadView_", L"1"},
          {L"DrawMode_", L"2"},
          {L"FilterSharp", L"4"},
          {L"DrawStretchType", L"3"}}},
    };
    ExpectCarriedOver(cases);
}

TEST_F(ConfigSchemaTest, UnreadableFileLeavesTheDefaults)
{
    MakeFolder(Path()); // a folder where the file should be
    Init();
    EXPECT_EQ(Saved(), SettingsFileBytes(DefaultSettings()));
}
