#include "settings/config_upgrade.h"

#include "foundation/string_builder.h"
#include "settings/config_schema.h"

using Brivox::CConfig;
using Brivox::String;

namespace {

// The example address that older versions offered as the proxy.
const wchar_t* const olderProxyServerExample = L"your.proxy.example:80";

// Keys that older versions wrote and no version reads any more; the first seven and the last two
// held values that InitConfig has carried over to their present keys.
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

void UpgradeRaw(CConfig& config, const wchar_t* key, String (*upgrade)(const String&))
{
    config.SetRaw(key, upgrade(config.GetRaw(key)));
}

} // namespace

String UpgradeViewerArguments(const String& text)
{
    // The longer pattern first, so that only its leftover shorter forms become $(name).
    return Brivox::ReplaceTable(text,
                                {{L"$(dir)\\$(file).$(ext)", L"$(full)"}, {L"$(file).$(ext)", L"$(name)"}});
}

String UpgradeTitleTemplate(const String& text)
{
    return Brivox::ReplaceTable(text, {{L"$(dir)$(file)$(ext)", L"$(full)"}, {L"$(file)$(ext)", L"$(name)"}});
}

bool UpgradeOldConfig(CConfig& config, const String& path)
{
    if (config.GetString(L"HttpProxyServer") == olderProxyServerExample)
        config.SetString(L"HttpProxyServer", ProxyServerExample);
    for (const wchar_t* key : {L"ExViewer0Arg", L"ExViewer1Arg", L"ExViewer2Arg"})
        UpgradeRaw(config, key, UpgradeViewerArguments);
    UpgradeRaw(config, L"Titlebar", UpgradeTitleTemplate);
    for (const wchar_t* key : obsoleteKeys)
        config.Remove(key);
    return config.Save(path);
}
