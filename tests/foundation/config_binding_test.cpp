#include "foundation/config.h"
#include "foundation/config_binding.h"
#include "foundation/encoding.h"
#include "foundation/exception.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using Brivox::CConfig;
using Brivox::String;

} // namespace

TEST(ConfigBinding, GetStringAsksTheGetterWithTheBindingsStoreAndKey)
{
    int storeObject = 0;
    CConfig* store = reinterpret_cast<CConfig*>(&storeObject); // only passed along, never used
    CConfig* seenStore = nullptr;
    String seenKey;
    const Brivox::ConfigBinding<String> binding{store, nullptr,
                                                [&](CConfig* config, const String& key) {
                                                    seenStore = config;
                                                    seenKey = key;
                                                    return String(L"C:\\画像");
                                                },
                                                L"SusieDir"};
    const String text = binding.GetString();
    EXPECT_EQ(std::wstring(text.CStr()), L"C:\\画像");
    EXPECT_EQ(seenStore, store);
    EXPECT_EQ(std::wstring(seenKey.CStr()), L"SusieDir");
}

TEST(ConfigBinding, EachMakerPairsTheStoresGetterAndSetterOfItsKind)
{
    CConfig config;
    config.BindString(L"Text").Set(L"a\r\nb");
    EXPECT_EQ(std::wstring(config.GetRaw(L"Text").CStr()), L"a\\r\\nb");
    EXPECT_EQ(std::wstring(config.BindString(L"Text").GetString().CStr()), L"a\r\nb");
    EXPECT_EQ(std::wstring(config.BindRaw(L"Text").GetString().CStr()), L"a\\r\\nb");
    config.BindRawText(L"Raw").Set(L"x\\ny");
    EXPECT_EQ(std::wstring(config.GetRaw(L"Raw").CStr()), L"x\\ny");

    config.BindInt(L"Int").Set(-7);
    EXPECT_EQ(config.GetInt(L"Int"), -7);
    config.BindDouble(L"Real").Set(0.25);
    EXPECT_EQ(std::wstring(config.GetRaw(L"Real").CStr()), L"0.25");
    config.BindBool(L"Flag").Set(true);
    EXPECT_TRUE(config.BindBool(L"Flag").Get());
    config.BindSize(L"Size").Set(SIZE{640, 480});
    EXPECT_EQ(std::wstring(config.GetRaw(L"Size").CStr()), L"640, 480");
    EXPECT_EQ(config.BindSize(L"Size").Get().cy, 480);
    config.BindRGB(L"Color").Set(RGB(1, 2, 3));
    EXPECT_EQ(config.BindRGB(L"Color").Get(), RGB(1, 2, 3));
}

TEST(ConfigBinding, AMissingKeyThrowsTheStoresText)
{
    CConfig config;
    try {
        config.BindInt(L"Absent").Get();
        ADD_FAILURE() << "no exception";
    } catch (const Brivox::RuntimeException& error) {
        EXPECT_EQ(std::wstring(Brivox::FromApiTextA(error.what()).CStr()),
                  L"コンフィグデータ 'Absent' (数値)の読み込みに失敗しました");
    }
}
