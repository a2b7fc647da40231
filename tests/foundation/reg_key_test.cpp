#include "foundation/reg_key.h"

#include "file_test_support.h"
#include "foundation/exception.h"

#include <gtest/gtest.h>

#include <string>

using Brivox::CRegKey;
using Brivox::String;
using FileTestSupport::Ansi;

namespace {

std::wstring Text(const String& s)
{
    return std::wstring(s.CStr(), static_cast<std::size_t>(s.Length()));
}

// A key below HKEY_CURRENT_USER of this test process alone, removed afterwards.
class RegKeyTest : public testing::Test
{
protected:
    void SetUp() override
    {
        subKey = L"Software\\KanoruTests\\RegKey" + std::to_wstring(::GetCurrentProcessId());
        HKEY key = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExW(HKEY_CURRENT_USER, subKey.c_str(), 0, nullptr, 0,
                                                   KEY_ALL_ACCESS, nullptr, &key, nullptr));
        SetText(key, L"", L"既定の値");
        SetText(key, L"Folder", L"C:\\Susie\\Plugins");
        SetText(key, L"Fits", std::wstring(255, L'a'));
        SetText(key, L"TooLong", std::wstring(256, L'a'));
        const DWORD number = 0x00636261; // the bytes "abc" and a NUL
        ::RegSetValueExW(key, L"Number", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                         sizeof(number));
        ::RegCloseKey(key);
    }

    void TearDown() override { ::RegDeleteTreeW(HKEY_CURRENT_USER, subKey.c_str()); }

    static void SetText(HKEY key, const wchar_t* name, const std::wstring& text)
    {
        ::RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                         static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    }

    template <typename Action> static std::string FailureOf(Action action)
    {
        try {
            action();
        } catch (const Brivox::RuntimeException& e) {
            return e.what();
        }
        return "(nothing thrown)";
    }

    std::wstring subKey;
};

} // namespace

TEST_F(RegKeyTest, ReadsStringsAndOtherValuesAsText)
{
    CRegKey key;
    key.Open(HKEY_CURRENT_USER, subKey, false);
    EXPECT_EQ(L"既定の値", Text(key.QueryString(L"")));
    EXPECT_EQ(L"C:\\Susie\\Plugins", Text(key.QueryString(L"Folder")));
    EXPECT_EQ(std::wstring(255, L'a'), Text(key.QueryString(L"Fits")));
    // Any type is read as bytes up to the first NUL.
    EXPECT_EQ(L"abc", Text(key.QueryString(L"Number")));
}

TEST_F(RegKeyTest, MissingOrOverlongValuesNameTheValue)
{
    CRegKey key;
    key.Open(HKEY_CURRENT_USER, subKey, false);
    for (const wchar_t* name : {L"TooLong", L"Absent"}) {
        EXPECT_EQ(Ansi(String(L"レジストリキー '") + name + L"' の文字列の取得に失敗しました"),
                  FailureOf([&] { key.QueryString(name); }));
    }
}

TEST_F(RegKeyTest, MissingKeyFailsToOpenAndClosesTheOneHeld)
{
    const std::wstring absent = subKey + L"\\Absent";
    EXPECT_TRUE(Brivox::RegKeyExists(HKEY_CURRENT_USER, subKey));
    EXPECT_FALSE(Brivox::RegKeyExists(HKEY_CURRENT_USER, absent));

    CRegKey key;
    key.Open(HKEY_CURRENT_USER, subKey, true);
    EXPECT_EQ(Ansi(L"レジストリキー '" + String(absent) + L"' のオープンに失敗しました"),
              FailureOf([&] { key.Open(HKEY_CURRENT_USER, absent, false); }));
    // Nothing is held any more, so nothing can be read.
    EXPECT_THROW(key.QueryString(L"Folder"), Brivox::RuntimeException);
    key.Close();
    key.Open(HKEY_CURRENT_USER, subKey, false);
    EXPECT_EQ(L"C:\\Susie\\Plugins", Text(key.QueryString(L"Folder")));
}
