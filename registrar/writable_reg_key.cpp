#include "registrar/writable_reg_key.h"

#include "foundation/encoding.h"
#include "foundation/exception.h"

#include <string>

namespace Brivox {

namespace {

// The new key and whether it was made new, or nullptr.
HKEY CreateKey(HKEY parent, const String& name, bool& created)
{
    const std::string ansiName = GetDefaultEncoding().ToMultiByte(name);
    HKEY key = nullptr;
    DWORD disposition = 0;
    if (!parent || ::RegCreateKeyExA(parent, ansiName.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                     KEY_ALL_ACCESS, nullptr, &key, &disposition) != ERROR_SUCCESS)
        throw RuntimeException(L"レジストリキー '" + name + L"' の作成に失敗しました");
    created = disposition == REG_CREATED_NEW_KEY;
    return key;
}

} // namespace

bool CWritableRegKey::Create(HKEY root, const String& path)
{
    Close();
    bool created = false;
    Attach(CreateKey(root, path, created));
    return created;
}

bool CWritableRegKey::CreateSubKey(const String& name)
{
    bool created = false;
    Attach(CreateKey(GetHandle(), name, created));
    return created;
}

void CWritableRegKey::SetString(const String& name, const String& value)
{
    const std::string ansiName = GetDefaultEncoding().ToMultiByte(name);
    const std::string ansiValue = GetDefaultEncoding().ToMultiByte(value);
    if (!GetHandle() || ::RegSetValueExA(GetHandle(), name.Length() == 0 ? nullptr : ansiName.c_str(), 0,
                                         REG_SZ, reinterpret_cast<const BYTE*>(ansiValue.c_str()),
                                         static_cast<DWORD>(ansiValue.size() + 1)) != ERROR_SUCCESS)
        throw RuntimeException(L"レジストリキー '" + name + L"' への文字列の設定に失敗しました");
}

void CWritableRegKey::DeleteKey(HKEY root, const String& path)
{
    // An empty path would name the root itself.
    if (path.Length() == 0)
        return;
    const std::string ansiPath = GetDefaultEncoding().ToMultiByte(path);
    ::RegDeleteKeyA(root, ansiPath.c_str());
}

} // namespace Brivox
