#include "settings/filter_settings.h"

#include "foundation/registry_test_support.h"
#include "settings/config_schema.h"
#include "settings_test_support.h"

#include <functional>

using namespace FileTestSupport;
using Brivox::CConfig;
using Brivox::String;

namespace {

class FilterSettingsTest : public TempFolderTest
{
protected:
    FilterSettingsTest() { InitConfig(config, At(L"Kanoru.cfg")); }

    RegistryTestSupport::PrivateCurrentUser user;
    CConfig config;
};

} // namespace

TEST_F(FilterSettingsTest, TheDefaultsOfTheSchemaAreTheSnapshotsDefaults)
{
    EXPECT_EQ(ReadFilterSettings(config), SFilterSettings{});
}

TEST_F(FilterSettingsTest, EveryKeyReachesItsMember)
{
    struct Case
    {
        const wchar_t* key;
        const wchar_t* text;
        std::function<bool(const SFilterSettings&)> read;
    };
    const Case cases[] = {
        {L"FilterAlpha", L"true", [](const SFilterSettings& s) { return s.alpha; }},
        {L"FilterAlphaBg", L"1, 2, 3",
         [](const SFilterSettings& s) { return s.alphaBackground == 0x030201u; }},
        {L"FilterAlphaCheck", L"false", [](const SFilterSettings& s) { return !s.alphaCheck; }},
        {L"FilterGray", L"2", [](const SFilterSettings& s) { return s.gray == 2; }},
        {L"FilterLevelRev", L"true", [](const SFilterSettings& s) { return s.levels; }},
        {L"FilterLevelRevLow", L"10", [](const SFilterSettings& s) { return s.levelsLow == 10; }},
        {L"FilterLevelRevHigh", L"250", [](const SFilterSettings& s) { return s.levelsHigh == 250; }},
        {L"FilterGammaRev", L"true", [](const SFilterSettings& s) { return s.gamma; }},
        {L"FilterGammaRevValue", L"-69", [](const SFilterSettings& s) { return s.gammaValue == -69; }},
        {L"FilterBC", L"true", [](const SFilterSettings& s) { return s.brightnessContrast; }},
        {L"FilterBCBright", L"-12", [](const SFilterSettings& s) { return s.brightness == -12; }},
        {L"FilterBCContrast", L"34", [](const SFilterSettings& s) { return s.contrast == 34; }},
        {L"FilterMedian", L"true", [](const SFilterSettings& s) { return s.median; }},
        {L"FilterSharp", L"3", [](const SFilterSettings& s) { return s.sharp == 3; }},
        {L"FilterGauss", L"true", [](const SFilterSettings& s) { return s.gauss; }},
        {L"FilterGaussValue", L"200", [](const SFilterSettings& s) { return s.gaussValue == 200; }},
        {L"FilterUnsharp", L"true", [](const SFilterSettings& s) { return s.unsharp; }},
        {L"FilterUnsharpValue", L"75", [](const SFilterSettings& s) { return s.unsharpValue == 75; }},
        {L"FilterNeg", L"true", [](const SFilterSettings& s) { return s.negative; }},
        {L"FilterRot1", L"3", [](const SFilterSettings& s) { return s.flip == 3; }},
        {L"FilterRot2", L"2", [](const SFilterSettings& s) { return s.quarterTurn == 2; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Ansi(c.key));
        const String before = config.GetRaw(c.key);
        config.SetRaw(c.key, c.text);
        EXPECT_TRUE(c.read(ReadFilterSettings(config)));
        config.SetRaw(c.key, before);
    }
}

TEST_F(FilterSettingsTest, WithTheMasterSwitchOffNoOtherKeyIsRead)
{
    config.SetRaw(L"FilterNeg", L"yes");
    EXPECT_THROW(ReadFilterSettings(config), Brivox::RuntimeException);
    config.SetBool(L"Filter", false);
    SFilterSettings off;
    off.filter = false;
    EXPECT_EQ(ReadFilterSettings(config), off);
}
