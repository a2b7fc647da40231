#pragma once
// Registry fixtures: a private HKEY_CURRENT_USER for the length of a test.
#include "foundation/win32.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace RegistryTestSupport {

// The key whose default value names an installed Susie's folder.
inline const char* const susieInstallRoot = "Software\\Zumotan\\Susie\\InstallRoot";

// Points this process's HKEY_CURRENT_USER at a private key for the length of a test, so that the
// tests neither see nor change the user's keys, nor those of tests running beside them.
class PrivateCurrentUser
{
public:
    PrivateCurrentUser()
    {
        m_name = "Software\\KanoruTests\\CurrentUser" + std::to_string(::GetCurrentProcessId());
        EXPECT_EQ(::RegCreateKeyExA(HKEY_CURRENT_USER, m_name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                    &m_key, nullptr),
                  ERROR_SUCCESS);
        EXPECT_EQ(::RegOverridePredefKey(HKEY_CURRENT_USER, m_key), ERROR_SUCCESS);
    }
    ~PrivateCurrentUser()
    {
        ::RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
        ::RegCloseKey(m_key);
        ::RegDeleteTreeA(HKEY_CURRENT_USER, m_name.c_str());
        ::RegDeleteKeyA(HKEY_CURRENT_USER, m_name.c_str());
    }

    void CreateKey(const char* subKey)
    {
        HKEY key = nullptr;
        ASSERT_EQ(::RegCreateKeyExA(HKEY_CURRENT_USER, subKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                                    nullptr),
                  ERROR_SUCCESS);
        ::RegCloseKey(key);
    }

    // The default value of a key below the private HKEY_CURRENT_USER.
    void SetDefault(const char* subKey, const char* value)
    {
        EXPECT_EQ(::RegSetKeyValueA(HKEY_CURRENT_USER, subKey, nullptr, REG_SZ, value,
                                    static_cast<DWORD>(std::strlen(value) + 1)),
                  ERROR_SUCCESS);
    }

private:
    std::string m_name;
    HKEY m_key = nullptr;
};

} // namespace RegistryTestSupport
