#pragma once
// Hand-off contents for the registrar's tests: the 23 keys that the association dialog writes.
#include <map>
#include <string>

namespace HandOffKeys {

using Keys = std::map<std::wstring, std::wstring>;

// The keys as the dialog hands them over when nothing is ticked and both lists are empty.
inline Keys NothingTicked()
{
    Keys keys = {
        {L"EnvSetOthersOld", L""},
        {L"EnvRClickOthersOld", L""},
        {L"EnvSetOthers", L""},
        {L"EnvRClickOthers", L""},
        {L"EnvMenuName", L"Kanoruで開く(&2)"},
        {L"EnvDesc", L"Kanoru イメージ"},
        {L"EnvDescKnb", L"Kanoru ブックマーク"},
        // Never used: the registrar names the viewer beside itself.
        {L"ModuleFileName", L"C:\\evil\\x.exe"},
    };
    for (const wchar_t* flag : {L"RelationJPG", L"RelationPNG", L"RelationBMP", L"RelationGIF",
                                L"RelationARGB", L"RelationCBZ", L"RelationCBR", L"RelationKNB", L"MenuZIP",
                                L"MenuRAR", L"MenuLZH", L"MenuGCA", L"MenuCBZ", L"MenuCBR", L"MenuFolder"})
        keys[flag] = L"false";
    return keys;
}

inline Keys With(Keys keys, const Keys& changes)
{
    for (const auto& [key, value] : changes)
        keys[key] = value;
    return keys;
}

inline Keys Without(Keys keys, const wchar_t* key)
{
    keys.erase(key);
    return keys;
}

} // namespace HandOffKeys
