#include "registrar/writable_reg_key.h"

#include "registrar_test_support.h"

#include <gtest/gtest.h>

using Brivox::CWritableRegKey;
using Brivox::String;
using FileTestSupport::Ansi;
using FileTestSupport::ThrownText;
using RegistrarTestSupport::PrivateClasses;

TEST(WritableRegKey, CreateTellsANewKeyFromAnExistingOneAndHoldsIt)
{
    PrivateClasses classes;
    CWritableRegKey key;
    EXPECT_TRUE(key.Create(HKEY_CLASSES_ROOT, L".jpg"));
    key.SetString(L"", L"zo2-img-files");
    EXPECT_FALSE(key.Create(HKEY_CLASSES_ROOT, L".jpg"));
    EXPECT_EQ(L"zo2-img-files", std::wstring(key.QueryString(L"").CStr()));

    // A sub-key replaces the held key; a path of several levels is made whole.
    EXPECT_TRUE(key.CreateSubKey(L"Shell\\open-by-zo2"));
    key.SetString(L"", L"Kanoruで開く(&2)");
    key.Create(HKEY_CLASSES_ROOT, L".jpg");
    EXPECT_FALSE(key.CreateSubKey(L"Shell\\open-by-zo2"));
    EXPECT_EQ(Ansi(L"Kanoruで開く(&2)"), classes.Value(".jpg\\Shell\\open-by-zo2"));
    EXPECT_EQ("zo2-img-files", classes.Value(".jpg"));
}

TEST(WritableRegKey, SetStringWritesTheTextWithItsTerminatingZero)
{
    PrivateClasses classes;
    CWritableRegKey key;
    key.Create(HKEY_CLASSES_ROOT, L"zo2-img-files");
    key.SetString(L"", L"Kanoru イメージ");
    key.SetString(L"Empty", L"");

    HKEY raw = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, ::RegOpenKeyExA(HKEY_CLASSES_ROOT, "zo2-img-files", 0, KEY_READ, &raw));
    const std::string expected = Ansi(L"Kanoru イメージ");
    for (const auto& [name, size] :
         {std::pair<const char*, std::size_t>{nullptr, expected.size() + 1}, {"Empty", 1}}) {
        DWORD type = 0;
        DWORD bytes = 0;
        EXPECT_EQ(ERROR_SUCCESS, ::RegQueryValueExA(raw, name, nullptr, &type, nullptr, &bytes));
        EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
        EXPECT_EQ(size, bytes) << (name ? name : "(default)");
    }
    ::RegCloseKey(raw);
    EXPECT_EQ(expected, classes.Value("zo2-img-files"));
}

TEST(WritableRegKey, FailuresNameThePathSubKeyOrValue)
{
    PrivateClasses classes;
    classes.SetDefault(".png", "pngfile");
    const HKEY closed = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x7654320));
    CWritableRegKey key;
    EXPECT_EQ(Ansi(L"レジストリキー '.jpg' の作成に失敗しました"),
              ThrownText([&] { key.Create(closed, L".jpg"); }));
    // Nothing held: neither a sub-key nor a value can be written.
    EXPECT_EQ(Ansi(L"レジストリキー 'Shell' の作成に失敗しました"),
              ThrownText([&] { key.CreateSubKey(L"Shell"); }));
    EXPECT_EQ(Ansi(L"レジストリキー '' への文字列の設定に失敗しました"),
              ThrownText([&] { key.SetString(L"", L"x"); }));

    // A key opened for reading refuses a value; a sub-key name longer than the registry allows is
    // refused, and the key held before stays.
    key.Open(HKEY_CLASSES_ROOT, L".png", false);
    EXPECT_EQ(Ansi(L"レジストリキー 'Content Type' への文字列の設定に失敗しました"),
              ThrownText([&] { key.SetString(L"Content Type", L"image/png"); }));
    const String tooLong(L'x', 300);
    EXPECT_EQ(Ansi(L"レジストリキー '" + tooLong + L"' の作成に失敗しました"),
              ThrownText([&] { key.CreateSubKey(tooLong); }));
    EXPECT_EQ(L"pngfile", std::wstring(key.QueryString(L"").CStr()));
}

TEST(WritableRegKey, DeleteKeyRemovesOnlyALeafAndNeverReports)
{
    PrivateClasses classes;
    classes.CreateKey("zo2-img-files\\Shell\\Open\\Command");
    // Keys with sub-keys, missing keys and an empty path are passed over.
    for (const wchar_t* path : {L"zo2-img-files\\Shell", L"zo2-img-files\\Missing", L"Missing\\Deeper", L""})
        EXPECT_NO_THROW(CWritableRegKey::DeleteKey(HKEY_CLASSES_ROOT, path));
    EXPECT_TRUE(classes.KeyExists("zo2-img-files\\Shell\\Open\\Command"));
    CWritableRegKey::DeleteKey(HKEY_CLASSES_ROOT, L"zo2-img-files\\Shell\\Open\\Command");
    EXPECT_FALSE(classes.KeyExists("zo2-img-files\\Shell\\Open\\Command"));
    EXPECT_TRUE(classes.KeyExists("zo2-img-files\\Shell\\Open"));
}
