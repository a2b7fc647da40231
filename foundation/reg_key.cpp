#include "foundation/reg_key.h"

#include "foundation/encoding.h"
#include "foundation/exception.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace Brivox {

CRegKey::~CRegKey()
{
    Close();
}

void CRegKey::Open(HKEY root, const String& subKey, bool writable)
{
    Close();
    HKEY key = nullptr;
    const std::string name = GetDefaultEncoding().ToMultiByte(subKey);
    if (::RegOpenKeyExA(root, name.c_str(), 0, writable ? KEY_ALL_ACCESS : KEY_READ, &key) != ERROR_SUCCESS)
        throw RuntimeException(L"レジストリキー '" + subKey + L"' のオープンに失敗しました");
    Attach(key);
}

String CRegKey::QueryString(const String& valueName) const
{
    const std::string name = GetDefaultEncoding().ToMultiByte(valueName);
    char buffer[256] = {};
    DWORD size = sizeof(buffer);
    if (::RegQueryValueExA(key_, valueName.Length() == 0 ? nullptr : name.c_str(), nullptr, nullptr,
                           reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS)
        throw RuntimeException(L"レジストリキー '" + valueName + L"' の文字列の取得に失敗しました");
    // A value stored without its NUL ends at its size.
    const std::size_t length = ::strnlen(buffer, std::min<std::size_t>(size, sizeof(buffer)));
    return GetDefaultEncoding().ToString(std::string(buffer, length));
}

void CRegKey::Close()
{
    Attach(nullptr);
}

void CRegKey::Attach(HKEY key)
{
    if (key_)
        ::RegCloseKey(key_);
    key_ = key;
}

bool RegKeyExists(HKEY root, const String& subKey)
{
    HKEY key = nullptr;
    const std::string name = GetDefaultEncoding().ToMultiByte(subKey);
    if (::RegOpenKeyExA(root, name.c_str(), 0, 0, &key) != ERROR_SUCCESS)
        return false;
    ::RegCloseKey(key);
    return true;
}

} // namespace Brivox
