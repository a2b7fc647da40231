#include "registrar/shell_association.h"

#include "foundation/exception.h"
#include "registrar/writable_reg_key.h"

namespace Brivox {

void RegisterExtension(const String& extension, const String& progId, const String& contentType)
{
    CWritableRegKey key;
    key.Create(HKEY_CLASSES_ROOT, L"." + extension);
    key.SetString(L"", progId);
    if (contentType.Length() != 0)
        key.SetString(L"Content Type", contentType);
}

void UnregisterExtension(const String& extension, const String& progId)
{
    CWritableRegKey key;
    String current;
    try {
        key.Open(HKEY_CLASSES_ROOT, L"." + extension, true);
        current = key.QueryString(L"");
    } catch (const RuntimeException&) {
        // No key, no right to change it, or no default value: nothing of this ProgID to remove.
        return;
    }
    if (current == progId)
        key.SetString(L"", L"");
}

void RegisterShellClass(const String& progId, const ShellClassInfo& info)
{
    CWritableRegKey key;
    key.Create(HKEY_CLASSES_ROOT, progId);
    if (info.Description.Length() != 0)
        key.SetString(L"", info.Description);
    key.CreateSubKey(info.Verb.Length() == 0 ? String(L"Shell\\Open") : L"Shell\\" + info.Verb);
    if (info.MenuText.Length() != 0)
        key.SetString(L"", info.MenuText);
    if (info.Command.Length() != 0) {
        key.CreateSubKey(L"Command");
        key.SetString(L"", info.Command);
    }
    if (info.IconPath.Length() != 0) {
        key.Create(HKEY_CLASSES_ROOT, progId + L"\\DefaultIcon");
        key.SetString(L"", info.IconPath + L"," + FormatString(L"%d", info.IconIndex));
    }
}

void UnregisterShellClass(const String& progId)
{
    if (progId.Length() == 0)
        return;
    for (const wchar_t* subKey :
         {L"\\Shell\\Open\\Command", L"\\Shell\\Open", L"\\Shell", L"\\DefaultIcon", L""})
        CWritableRegKey::DeleteKey(HKEY_CLASSES_ROOT, progId + subKey);
}

void UnregisterShellVerb(const String& progId, const String& verb)
{
    if (progId.Length() == 0 || verb.Length() == 0)
        return;
    const String verbKey = progId + L"\\Shell\\" + verb;
    CWritableRegKey::DeleteKey(HKEY_CLASSES_ROOT, verbKey + L"\\Command");
    CWritableRegKey::DeleteKey(HKEY_CLASSES_ROOT, verbKey);
}

} // namespace Brivox
