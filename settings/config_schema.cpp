#include "settings/config_schema.h"

#include "formats/susie_plugin.h"
#include "foundation/exception.h"

#include <iterator>

using Brivox::CConfig;
using Brivox::String;

namespace {

enum class ConfigKind
{
    Integer,
    Real,
    Truth,
    Size,
    Rectangle,
    Colour,
    String,
    Raw,
};

// One key and its default, registered with the setter of its kind. numbers hold an integer, a
// truth value (0 or 1), a size (cx, cy), a rectangle (left, top, right, bottom) or a colour (red,
// green, blue); text a string or raw text.
struct SConfigKey
{
    const wchar_t* key;
    ConfigKind kind;
    int numbers[4];
    double real;
    const wchar_t* text;
    // A default found at start; the text stands in when it is empty.
    String (*computed)();
};

constexpr SConfigKey Int(const wchar_t* key, int value)
{
    return {key, ConfigKind::Integer, {value}, 0.0, nullptr, nullptr};
}

constexpr SConfigKey Bool(const wchar_t* key, bool value)
{
    return {key, ConfigKind::Truth, {value ? 1 : 0}, 0.0, nullptr, nullptr};
}

constexpr SConfigKey Real(const wchar_t* key, double value)
{
    return {key, ConfigKind::Real, {}, value, nullptr, nullptr};
}

constexpr SConfigKey Size(const wchar_t* key, int cx, int cy)
{
    return {key, ConfigKind::Size, {cx, cy}, 0.0, nullptr, nullptr};
}

constexpr SConfigKey Rect(const wchar_t* key, int left, int top, int right, int bottom)
{
    return {key, ConfigKind::Rectangle, {left, top, right, bottom}, 0.0, nullptr, nullptr};
}

constexpr SConfigKey Colour(const wchar_t* key, int red, int green, int blue)
{
    return {key, ConfigKind::Colour, {red, green, blue}, 0.0, nullptr, nullptr};
}

// Stored escaped.
constexpr SConfigKey Text(const wchar_t* key, const wchar_t* value)
{
    return {key, ConfigKind::String, {}, 0.0, value, nullptr};
}

// Stored as it stands.
constexpr SConfigKey Raw(const wchar_t* key, const wchar_t* value, String (*computed)() = nullptr)
{
    return {key, ConfigKind::Raw, {}, 0.0, value, computed};
}

// The TGA loader came after the others: its key, when a file lacks it, ranks it right behind the
// ARGB loader.
constexpr int defaultLoaderPriorityA = 16;

// Registration order. It shows in no file (files are written in key order).
const SConfigKey schema[] = {
    Int(L"ArchiverPriorityZL", 0),
    Int(L"ArchiverPriorityS", 4),
    Int(L"ArchiverPriorityZ", 8),
    Int(L"ArchiverPriorityR", 12),
    Int(L"ArchiverPriorityG", 14),
    Int(L"ArchiverPriorityL", 16),
    Int(L"ArchiverPriority7Z", 20),
    Int(L"ArchiverPriorityX", 24),
    Bool(L"ArcPassMask", true),
    Text(L"ArcPassAutoTry", L""),
    Bool(L"SaveNameUseArchive", false),
    Bool(L"SaveNameUseArchiveDir", false),
    Text(L"SaveNameSeparator", L" - "),
    Raw(L"BookmarkDir", L".\\bookmark\\"),
    Raw(L"CurrentDir", L""),
    Text(L"ChooseColor", L""),
    Bool(L"CDOnDrop", true),
    Bool(L"ClearType", false),
    Bool(L"AutoCursorHide", true),
    Int(L"AutoCursorHideTime", 2000),
    Bool(L"DrawStickOut", false),
    Int(L"DrawStretchType", 0),
    Real(L"DrawStretchRate", 1.0),
    Int(L"DrawMode_", 3),
    Colour(L"DrawBgColor", 0, 0, 0),
    Bool(L"DeleteByShell", true),
    Bool(L"StretchCaching", true),
    Bool(L"LoaderCaching", true),
    Text(L"EnvSetOthers", L""),
    Text(L"EnvRClickOthers", L""),
    Raw(L"EnvDesc", L"Kanoru イメージ"),
    Raw(L"EnvDescKnb", L"Kanoru ブックマーク"),
    Raw(L"EnvMenuName", L"Kanoruで開く(&2)"),
    Raw(L"ExViewer0File", L"rundll32"),
    Raw(L"ExViewer0Arg", L"shimgvw,ImageView_Fullscreen $(dir)\\$(file).$(ext)"),
    Raw(L"ExViewer0Dir", L"$(dir)"),
    Raw(L"ExViewer1File", L"%ProgramFiles%\\Internet Explorer\\IEXPLORE.EXE"),
    Raw(L"ExViewer1Arg", L"\"$(dir)\\$(file).$(ext)\""),
    Raw(L"ExViewer1Dir", L"$(dir)"),
    Raw(L"ExViewer2File", L"explorer"),
    Raw(L"ExViewer2Arg", L"/select,$(dir)\\$(file).$(ext)"),
    Raw(L"ExViewer2Dir", L"$(dir)"),
    Bool(L"FileAddMode", true),
    Bool(L"FileAddFollowLnk", false),
    Bool(L"FileAddWithSave", false),
    Bool(L"FileAddWithSaveNext", true),
    Size(L"FullScreen", 800, 600),
    Int(L"FullScreenBpp", 32),
    Bool(L"FullScreenCursorHide", false),
    Bool(L"FullScreenMinOnDeactive", true),
    Bool(L"HttpBackup", true),
    Int(L"HttpBackupCount", 4),
    Bool(L"HttpProxy", false),
    Text(L"HttpProxyServer", ProxyServerExample),
    Text(L"HttpUpdate", L""),
    Int(L"HttpOldNotice", 0),
    Raw(L"HistoryDir", L".\\history\\"),
    Int(L"HistoryMax", 10),
    Bool(L"ImageCache", true),
    Int(L"ImageCacheAutoMax", 6),
    Int(L"ImageCacheAutoLimitRate", 70),
    Int(L"ImageCacheAutoBaseW", 1024),
    Int(L"ImageCacheAutoBaseH", 1536),
    Bool(L"ImageSizeLimit", false),
    Real(L"ImageSizeLimitPixel.cx", 200.1),
    Real(L"ImageSizeLimitPixel.cy", 50.1),
    Bool(L"ImageSizeLimitCmpArea", false),
    Bool(L"ReduceOnLoad", true),
    Size(L"ReduceOnLoadSize", 3200, 2400),
    Bool(L"ReduceOnLoadBySpace", true),
    Bool(L"Padding", false),
    Int(L"PaddingV", 32),
    Int(L"PaddingH", 32),
    Rect(L"FileListWindowRect", 160, 240, 480, 560),
    Bool(L"FileSizeLimit", false),
    Real(L"FileSizeLimitMin", 0.0),
    Real(L"FileSizeLimitMax", 16384.0),
    Int(L"ImageSpreadView_", 1),
    Int(L"JpgQuality", 80),
    Int(L"PngCompressLevel", -1),
    Bool(L"IgnoreBySuffix", true),
    Text(L"IgnoreExcludeSuffixes", L""),
    Text(L"IgnoreSuffixes", L""),
    Int(L"PaddingCenter", 0),
    Bool(L"NextOnCancelSpread", false),
    Int(L"FilterGray", 0),
    Bool(L"Filter", true),
    Bool(L"FilterMark", true),
    Int(L"FilterRot1", 0),
    Int(L"FilterRot2", 0),
    Bool(L"FilterNeg", false),
    Bool(L"FilterMedian", false),
    Bool(L"FilterBC", false),
    Int(L"FilterBCBright", 0),
    Int(L"FilterBCContrast", 0),
    Bool(L"FilterLevelRev", false),
    Int(L"FilterLevelRevLow", 64),
    Int(L"FilterLevelRevHigh", 191),
    Bool(L"LevelRevOpaque", false),
    Bool(L"LevelRevReflect", false),
    Bool(L"FilterGammaRev", false),
    Int(L"FilterGammaRevValue", 0),
    Int(L"FilterSharp", 0),
    Bool(L"FilterGauss", false),
    Int(L"FilterGaussValue", 150),
    Bool(L"FilterUnsharp", false),
    Int(L"FilterUnsharpValue", 150),
    Bool(L"FilterAlpha", false),
    Colour(L"FilterAlphaBg", 0, 0, 0),
    Bool(L"FilterAlphaCheck", true),
    Bool(L"GammaRevOpaque", false),
    Bool(L"GammaRevReflect", false),
    Bool(L"GaussReflect", false),
    Bool(L"UnsharpReflect", false),
    Int(L"LoaderPriorityJ", 0),
    Int(L"LoaderPriorityP", 4),
    Int(L"LoaderPriorityB", 8),
    Int(L"LoaderPriorityS", 12),
    Int(L"LoaderPriorityA", defaultLoaderPriorityA),
    Int(L"LoaderPriorityX", 20),
    Int(L"LoaderPriorityO", 24),
    Size(L"Magnifier", 400, 300),
    Int(L"Magnification", 200),
    Int(L"MagnifierShape", 0),
    Int(L"MosaicLevel", 8),
    Int(L"MosaicType", 0),
    Bool(L"QuestionRemoveFile", true),
    Bool(L"RemoveOnMove", false),
    Bool(L"StretchKeepRate", true),
    Int(L"SlideShowFreq", 2000),
    Int(L"SlideShowDist", 0),
    Bool(L"SlideShowStopWithLast", true),
    Bool(L"SlideShowStopWithCommand", true),
    Int(L"SortMode", 6),
    // An installed Susie's plug-ins, else a folder below the program folder.
    Raw(L"SpiPluginsDir", L".\\spi\\", Brivox::GetSusieInstallRoot),
    Raw(L"Titlebar", L"Kanoru : $(dir)$(file)$(ext) ($(imgw)x$(imgh)) [$(index)/$(count)] $(build)"),
    Raw(L"TmpDir", L".\\temp\\"),
    Raw(L"WallpaperDir", L"%windir%\\Web\\Wallpaper\\"),
    Bool(L"WallpaperUnifyFile", true),
    Bool(L"WallpaperResize", false),
    Raw(L"WallpaperUnifyFileName", L"Kanoru.bmp"),
    Bool(L"WindowTopMost", false),
    Bool(L"WindowPosRestore", false),
    Bool(L"WindowPosRestoreDisableOnLoad", false),
    Rect(L"WindowPosRestoreRect", 320, 240, 960, 560),
    Bool(L"Snap", false),
    Bool(L"LinkFirstAndLast", true),
    Bool(L"OpenTopDirOnly", false),
};

void Register(CConfig& config, const SConfigKey& row)
{
    const int* n = row.numbers;
    switch (row.kind) {
    case ConfigKind::Integer:
        config.SetInt(row.key, n[0]);
        break;
    case ConfigKind::Truth:
        config.SetBool(row.key, n[0] != 0);
        break;
    case ConfigKind::Real:
        config.SetDouble(row.key, row.real);
        break;
    case ConfigKind::Size:
        config.SetSize(row.key, SIZE{n[0], n[1]});
        break;
    case ConfigKind::Rectangle:
        config.SetRect(row.key, RECT{n[0], n[1], n[2], n[3]});
        break;
    case ConfigKind::Colour:
        config.SetRGB(row.key, RGB(n[0], n[1], n[2]));
        break;
    case ConfigKind::String:
        config.SetString(row.key, row.text);
        break;
    case ConfigKind::Raw: {
        const String computed = row.computed ? row.computed() : String();
        config.SetRaw(row.key, computed.Length() > 0 ? computed : String(row.text));
        break;
    }
    }
}

// A carry-over step reads an old value with a typed getter. One that an older version (or a
// hand) left in another form throws; the step is then skipped and the present key keeps what it
// held, so that old settings never stop the start.
template <class Step> void CarryOver(CConfig& config, Step step)
{
    try {
        step(config);
    } catch (const Brivox::RuntimeException&) {
    }
}

// key + "Width" and key + "Height" became key + ".cx" and key + ".cy", and then the size key.
void CarryOverSize(CConfig& config, const String& key)
{
    config.Rename(key + L"Width", key + L".cx");
    if (!config.Contains(key + L".cx"))
        return;
    config.Rename(key + L"Height", key + L".cy");
    config.SetSize(key, SIZE{config.GetInt(key + L".cx"), config.GetInt(key + L".cy")});
}

// Old keys whose text moved unchanged to a present key.
const wchar_t* const renamedKeys[][2] = {
    {L"Cleartype", L"ClearType"},
    {L"CursorHide", L"FullScreenCursorHide"},
    {L"TmpDirCustomName", L"TmpDir"},
    {L"GrayFilter", L"FilterGray"},
    {L"LevelRevAuto", L"FilterLevelRev"},
    {L"LevelRevAutoLow", L"FilterLevelRevLow"},
    {L"LevelRevAutoHigh", L"FilterLevelRevHigh"},
    {L"GammaRevAuto", L"FilterGammaRev"},
    {L"GammaRevAutoValue", L"FilterGammaRevValue"},
    {L"SharpFilter", L"FilterSharp"},
};

// The old keys are left in the store; the upgrade at the end of the start removes them.
void CarryOverOldKeys(CConfig& config)
{
    if (!config.Contains(L"LoaderPriorityT")) {
        config.SetInt(L"LoaderPriorityT", defaultLoaderPriorityA + 2);
        CarryOver(config, [](CConfig& c) { c.SetInt(L"LoaderPriorityT", c.GetInt(L"LoaderPriorityA") + 2); });
    }
    CarryOver(config, [](CConfig& c) { CarryOverSize(c, L"FullScreen"); });
    CarryOver(config, [](CConfig& c) {
        if (!c.Contains(L"ImageSizeLimitPixel"))
            return;
        const SIZE size = c.GetSize(L"ImageSizeLimitPixel");
        c.SetDouble(L"ImageSizeLimitPixel.cx", size.cx);
        c.SetDouble(L"ImageSizeLimitPixel.cy", size.cy);
    });
    CarryOver(config, [](CConfig& c) { CarryOverSize(c, L"Magnifier"); });
    CarryOver(config, [](CConfig& c) {
        if (c.Contains(L"ImageSpreadView"))
            c.SetInt(L"ImageSpreadView_", c.GetBool(L"ImageSpreadView") ? 1 : 0);
    });
    // The old stretching methods counted from another start.
    CarryOver(config, [](CConfig& c) {
        if (!c.Contains(L"DrawMode"))
            return;
        const int mode = c.GetInt(L"DrawMode");
        c.SetInt(L"DrawMode_", mode > 2 ? mode - 2 : mode + 2);
    });
    for (const auto& [oldKey, key] : renamedKeys)
        config.Rename(oldKey, key);
    // Two switches became one stretch type.
    CarryOver(config, [](CConfig& c) {
        if (!c.Contains(L"DrawMagnification") || !c.Contains(L"DrawReduction"))
            return;
        const bool reduce = c.GetBool(L"DrawReduction");
        const bool enlarge = c.GetBool(L"DrawMagnification");
        c.SetInt(L"DrawStretchType", reduce ? (enlarge ? 1 : 0) : (enlarge ? 2 : 3));
    });
}

} // namespace

void InitConfig(CConfig& config, const String& path)
{
    for (const SConfigKey& row : schema)
        Register(config, row);
    // Without a file (the first start) the defaults stand.
    config.Load(path);
    CarryOverOldKeys(config);
}

std::vector<String> GetConfigSchemaKeys()
{
    std::vector<String> keys;
    for (const SConfigKey& row : schema)
        keys.push_back(row.key);
    return keys;
}
