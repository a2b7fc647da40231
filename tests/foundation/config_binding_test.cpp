#include "foundation/config_binding.h"

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
