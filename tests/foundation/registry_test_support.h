#pragma once
// Registry fixtures: a private HKEY_CURRENT_USER or HKEY_CLASSES_ROOT for the length of a test.
#include "foundation/win32.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace RegistryTestSupport {

// The key whose default value names an installed Susie's folder.
inline const char* const susieInstallRoot = "Software\\Zumotan\\Susie\\InstallRoot";

// Points one of this process's predefined keys (HKEY_CURRENT_USER, HKEY_CLASSES_ROOT) at a private
// key for the length of a test, so that the tests neither see nor change the user's keys, nor
// those of tests running beside them.
class PrivateRootKey
{
public:
    PrivateRootKey(HKEY root, const char* label) : m_root(root)
    {
        m_name = std::string("Software\\KanoruTests\\") + label + std::to_string(::GetCurrentProcessId());
        EXPECT_EQ(::RegCreateKeyExA(HKEY_CURRENT_USER, m_name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                    &m_key, nullptr),
                  ERROR_SUCCESS);
        EXPECT_EQ(::RegOverridePredefKey(m_root, m_key), ERROR_SUCCESS);
    }
    ~PrivateRootKey()
    {
        ::RegOverridePredefKey(m_root, nullptr);
        ::RegCloseKey(m_key);
        ::RegDeleteTreeA(HKEY_CURRENT_USER, m_name.c_str());
        ::RegDeleteKeyA(HKEY_CURRENT_USER, m_name.c_str());
    }
    PrivateRootKey(const PrivateRootKey&) = delete;
    PrivateRootKey& operator=(const PrivateRootKey&) = delete;

    void CreateKey(const char* subKey)
    {
        HKEY key = nullptr;
        ASSERT_EQ(::RegCreateKeyExA(m_root, subKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        ::RegCloseKey(key);
    }

    // The default value of a key below the private root (made when missing).
    void SetDefault(const char* subKey, const char* value)
    {
        EXPECT_EQ(::RegSetKeyValueA(m_root, subKey, nullptr, REG_SZ, value,
                                    static_cast<DWORD>(std::strlen(value) + 1)),
                  ERROR_SUCCESS);
    }

private:
    HKEY m_root;
    std::string m_name;
    HKEY m_key = nullptr;
};

class PrivateCurrentUser : public PrivateRootKey
{
public:
    PrivateCurrentUser() : PrivateRootKey(HKEY_CURRENT_USER, "CurrentUser") {}
};

class PrivateClassesRoot : public PrivateRootKey
{
public:
    PrivateClassesRoot() : PrivateRootKey(HKEY_CLASSES_ROOT, "ClassesRoot") {}
};

} // namespace RegistryTestSupport
