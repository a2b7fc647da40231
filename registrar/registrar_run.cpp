#include "registrar/registrar_run.h"

#include "foundation/encoding.h"
#include "foundation/exception.h"
#include "foundation/extension_list.h"
#include "foundation/file_name.h"
#include "foundation/file_system.h"
#include "foundation/shell.h"
#include "foundation/win32.h"
#include "registrar/association_items.h"
#include "registrar/shell_association.h"

#include <exception>
#include <utility>
#include <vector>

using Brivox::CKeyValueFile;
using Brivox::String;

namespace {

struct FlagKey
{
    const wchar_t* key;
    const wchar_t* extension;
};

const FlagKey imageRelations[] = {
    {L"RelationJPG", L"jpg"},   {L"RelationPNG", L"png"}, {L"RelationBMP", L"bmp"}, {L"RelationGIF", L"gif"},
    {L"RelationARGB", L"argb"}, {L"RelationCBZ", L"cbz"}, {L"RelationCBR", L"cbr"}};
const FlagKey menus[] = {{L"MenuZIP", L"zip"}, {L"MenuRAR", L"rar"}, {L"MenuLZH", L"lzh"},
                         {L"MenuGCA", L"gca"}, {L"MenuCBZ", L"cbz"}, {L"MenuCBR", L"cbr"}};
const wchar_t* const listKeys[] = {L"EnvSetOthersOld", L"EnvRClickOthersOld", L"EnvSetOthers",
                                   L"EnvRClickOthers"};
const wchar_t* const otherKeys[] = {L"EnvMenuName",    L"EnvDesc",     L"EnvDescKnb",
                                    L"ModuleFileName", L"RelationKNB", L"MenuFolder"};

// A list key's items: unescaped, split at ';', empty items dropped.
std::vector<String> ReadList(CKeyValueFile& store, const wchar_t* key)
{
    return store[key].ToUnescapedString().Split(Brivox::MakeCharList(L';'), true);
}

Brivox::ShellClassInfo MakeClassInfo(const String& description, const String& viewerPath, int iconIndex)
{
    Brivox::ShellClassInfo info;
    info.Command = MakeOpenCommand(viewerPath);
    info.Description = description;
    info.IconPath = viewerPath;
    info.IconIndex = iconIndex;
    return info;
}

// The folder of the running program, read in full width: the narrow module name would already
// have replaced what the ANSI code page cannot hold.
String GetRegistrarFolder()
{
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0)
            throw Brivox::Win32Exception(L"プログラムのパスの取得に失敗");
        if (length < buffer.size())
            return Brivox::CFileName::GetDirectory(String(buffer.data(), 0, static_cast<int>(length)));
        buffer.resize(buffer.size() * 2);
    }
}

} // namespace

void CheckHandOffFile(CKeyValueFile& store)
{
    for (const FlagKey& relation : imageRelations)
        store.Get(relation.key);
    for (const FlagKey& menu : menus)
        store.Get(menu.key);
    for (const wchar_t* key : otherKeys)
        store.Get(key);
    for (const wchar_t* key : listKeys)
        store.Get(key);
    for (const wchar_t* key : listKeys)
        for (const String& item : ReadList(store, key))
            Brivox::RequireValidExtension(item);
}

String LocateViewer(const String& folder)
{
    const String path = Brivox::CFileName::AppendSeparator(folder) + L"Kanoru2.exe";
    const Brivox::Encoding& ansi = Brivox::GetDefaultEncoding();
    if (!Brivox::IsFile(path) || ansi.ToString(ansi.ToMultiByte(path)) != path)
        throw Brivox::RuntimeException(L"'" + path + L"' を関連付けに使用できません");
    return path;
}

void ApplyEnvConfig(CKeyValueFile& store, const String& viewerPath)
{
    // What earlier runs wrote for the previous lists goes first; it is no longer wanted even when
    // it cannot be removed.
    for (const String& item : ReadList(store, L"EnvSetOthersOld")) {
        try {
            Brivox::UnregisterExtension(item, ImageClassProgId);
        } catch (const std::exception&) {
        }
    }
    for (const String& item : ReadList(store, L"EnvRClickOthersOld")) {
        try {
            Brivox::UnregisterShellVerb(Brivox::GetExtensionProgId(item), OpenVerb);
        } catch (const std::exception&) {
        }
    }
    Brivox::UnregisterShellVerb(ImageClassProgId, OpenVerb);

    bool associated = false;
    for (const FlagKey& relation : imageRelations)
        SetExtRelation(relation.extension, store[relation.key].ToBool(), associated);
    for (const String& item : ReadList(store, L"EnvSetOthers"))
        SetExtRelation(item, true, associated);

    try {
        if (associated)
            Brivox::RegisterShellClass(ImageClassProgId,
                                       MakeClassInfo(store[L"EnvDesc"].ToString(), viewerPath, 1));
        else
            Brivox::UnregisterShellClass(ImageClassProgId);
    } catch (const std::exception&) {
        ShowErrorBox(L"関連付け処理に失敗しました。", ErrorCaption);
    }

    try {
        if (store[L"RelationKNB"].ToBool()) {
            Brivox::RegisterShellClass(BookmarkClassProgId,
                                       MakeClassInfo(store[L"EnvDescKnb"].ToString(), viewerPath, 2));
            Brivox::RegisterExtension(L"knb", BookmarkClassProgId, String());
        } else {
            Brivox::UnregisterShellClass(BookmarkClassProgId);
            // Otherwise .knb would go on naming the removed class, and read as still associated.
            Brivox::UnregisterExtension(L"knb", BookmarkClassProgId);
        }
    } catch (const std::exception&) {
        ShowErrorBox(L"ブックマークの関連付け処理に失敗しました。", ErrorCaption);
    }

    // After the associations, so that an extension associated in this run gets the verb under the
    // image class.
    const String menuText = store[L"EnvMenuName"].ToString();
    for (const FlagKey& menu : menus)
        SetExtRClickMenu(menu.extension, store[menu.key].ToBool(), menuText, viewerPath);
    SetFolderRClickMenu(store[L"MenuFolder"].ToBool(), menuText, viewerPath);
    for (const String& item : ReadList(store, L"EnvRClickOthers"))
        SetExtRClickMenu(item, true, menuText, viewerPath);

    Brivox::NotifyAssocChanged();
}

int RunRegistrar(const String& handOffPath)
{
    CKeyValueFile store;
    if (!store.Load(handOffPath))
        return RegistrarNotLoaded;
    try {
        // The whole file is checked before the first registry write, so a bad file changes nothing.
        CheckHandOffFile(store);
        const String viewerPath = LocateViewer(GetRegistrarFolder());
        ApplyEnvConfig(store, viewerPath);
    } catch (const std::exception& e) {
        ShowErrorBox(Brivox::GetDefaultEncoding().ToString(e.what()), ErrorCaption);
        return RegistrarFailed;
    }
    return RegistrarDone;
}
