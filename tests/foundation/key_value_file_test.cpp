#include "foundation/key_value_file.h"

#include "file_test_support.h"
#include "foundation/exception.h"
#include "foundation/temp_file.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

using namespace FileTestSupport;
using Brivox::CConfig;
using Brivox::CKeyValueFile;
using Brivox::String;

namespace {

std::wstring Text(const String& s)
{
    return std::wstring(s.CStr(), static_cast<std::size_t>(s.Length()));
}

std::vector<std::pair<std::wstring, std::wstring>> Entries(const CKeyValueFile& file)
{
    std::vector<std::pair<std::wstring, std::wstring>> entries;
    for (const auto& [key, value] : file.ToVector())
        entries.emplace_back(Text(key), Text(value));
    return entries;
}

std::string MissingKey(const wchar_t* key)
{
    return Ansi(String(L"コンフィグデータ '") + key + L"' の取得に失敗しました");
}

class KeyValueFileTest : public TempFolderTest
{
};

} // namespace

TEST(KeyValueFile, LinesSplitAtTheFirstBlankEquals)
{
    struct Case
    {
        const wchar_t* text;
        std::vector<std::pair<std::wstring, std::wstring>> entries;
    };
    const Case cases[] = {
        {L"a = b", {{L"a", L"b"}}},
        {L"a =b", {{L"a", L"b"}}},
        {L"a =", {{L"a", L""}}},
        {L"x = y = z", {{L"x", L"y = z"}}},
        {L"x=y", {}},
        {L"x =   y  ", {{L"x", L"y  "}}},
        {L"x =\t y", {{L"x", L"y"}}},
        {L" key = v", {{L" key", L"v"}}},
        {L"[ver] = 2", {{L"[ver]", L"2"}}},
        {L"a = 1\r\na = 2", {{L"a", L"2"}}},
        {L"b = 2\nc = 3\ra = 1\r\n", {{L"a", L"1"}, {L"b", L"2"}, {L"c", L"3"}}},
        {L"", {}},
    };
    for (const Case& c : cases) {
        CKeyValueFile file;
        file.ParseText(c.text);
        EXPECT_EQ(c.entries, Entries(file)) << Ansi(c.text);
    }
}

TEST(KeyValueFile, SerialisesValuesAsStoredInKeyOrder)
{
    CKeyValueFile file;
    EXPECT_EQ(L"", Text(file.Serialize()));
    file[L"b"].SetInt(2);
    file[L"a"].SetString(L"1");
    file[L"Z"].SetBool(true);
    EXPECT_EQ(L"Z = true\r\na = 1\r\nb = 2\r\n", Text(file.Serialize()));

    file[L"escaped"].SetEscaped(L"one\r\ntwo\\");
    EXPECT_EQ(L"one\\r\\ntwo\\\\", Text(file.Get(L"escaped")));
    EXPECT_EQ(L"one\\r\\ntwo\\\\", Text(Brivox::EscapeConfigValue(L"one\r\ntwo\\")));
    // Unescaped text breaks its line; reading it back loses what follows the break.
    file[L"plain"].SetString(L"one\r\ntwo");
    EXPECT_EQ(L"one\r\ntwo", Text(file.Get(L"plain")));
    CKeyValueFile reread;
    reread.ParseText(file.Serialize());
    EXPECT_EQ(L"one", Text(reread.Get(L"plain")));
    EXPECT_EQ(L"one\r\ntwo\\", Text(reread[L"escaped"].ToUnescapedString()));
}

TEST(KeyValueFile, MissingKeysThrowForEveryReader)
{
    CKeyValueFile file;
    file.SetRaw(L"Empty", L"");
    EXPECT_EQ(L"", Text(file.Get(L"Empty")));
    EXPECT_TRUE(file.Contains(L"Empty"));
    EXPECT_FALSE(file.Contains(L"RelationJPG"));
    const std::vector<std::function<void()>> readers = {
        [&] { file.Get(L"RelationJPG"); },        [&] { file[L"RelationJPG"].GetInt(); },
        [&] { file[L"RelationJPG"].ToString(); }, [&] { file[L"RelationJPG"].ToUnescapedString(); },
        [&] { file[L"RelationJPG"].ToBool(); },
    };
    for (const auto& read : readers) {
        try {
            read();
            ADD_FAILURE() << "nothing thrown";
        } catch (const Brivox::RuntimeException& e) {
            EXPECT_EQ(MissingKey(L"RelationJPG"), e.what());
        }
    }
}

TEST(KeyValueFile, ValueReaders)
{
    CKeyValueFile file;
    const std::pair<const wchar_t*, bool> truths[] = {{L"true", true},   {L"True", false}, {L" true", false},
                                                      {L"true ", false}, {L"1", false},    {L"", false}};
    for (const auto& [text, expected] : truths) {
        file.SetRaw(L"Flag", text);
        EXPECT_EQ(expected, file[L"Flag"].ToBool()) << Ansi(text);
    }
    const std::pair<const wchar_t*, int> ints[] = {{L"42", 42}, {L"-3x", -3}, {L"x", 0}};
    for (const auto& [text, expected] : ints) {
        file.SetRaw(L"Number", text);
        EXPECT_EQ(expected, file[L"Number"].GetInt()) << Ansi(text);
    }
    const std::pair<const wchar_t*, std::wstring> unescaped[] = {{L"a\\\\b", L"a\\b"},
                                                                 {L"a\\rb\\nc", L"a\rb\nc"},
                                                                 {L"a\\tb", L"a\\tb"},
                                                                 {L"a\\", L"a\\"},
                                                                 {L"a\\0b", std::wstring(L"a\0b", 3)}};
    for (const auto& [text, expected] : unescaped) {
        file.SetRaw(L"List", text);
        EXPECT_EQ(expected, Text(file[L"List"].ToUnescapedString())) << Ansi(text);
        EXPECT_EQ(text, Text(file[L"List"].ToString()));
    }
}

TEST(KeyValueFile, ValueFromASettingsBinding)
{
    CConfig config;
    config.SetString(L"EnvMenuName", L"Kanoru2 で開く\\");
    const Brivox::ConfigBinding<String> escaped{&config, &CConfig::SetString, &CConfig::GetString,
                                                L"EnvMenuName"};
    const Brivox::ConfigBinding<String> raw{&config, &CConfig::SetRaw, &CConfig::GetRaw, L"EnvMenuName"};
    const Brivox::ConfigBinding<String> missing{&config, &CConfig::SetString, &CConfig::GetString, L"Absent"};
    CKeyValueFile file;
    file[L"Unescaped"].SetFromBinding(escaped);
    file[L"Raw"].SetFromBinding(raw);
    EXPECT_EQ(L"Kanoru2 で開く\\", Text(file.Get(L"Unescaped")));
    EXPECT_EQ(L"Kanoru2 で開く\\\\", Text(file.Get(L"Raw")));
    EXPECT_THROW(file[L"Other"].SetFromBinding(missing), Brivox::RuntimeException);
    EXPECT_FALSE(file.Contains(L"Other"));
}

TEST_F(KeyValueFileTest, SavesInPlaceAndLoadsUtf16AndAnsiAlike)
{
    const String path = At(L"Kanoru.key.cfg");
    CKeyValueFile empty;
    ASSERT_TRUE(empty.Save(path));
    EXPECT_EQ((Bytes{0xFF, 0xFE}), ReadBytes(path));

    CKeyValueFile file;
    file[L"[ver]"].SetInt(2);
    file[L"名前"].SetString(L"日本");
    ASSERT_TRUE(file.Save(path));
    EXPECT_EQ((Bytes{0xFF, 0xFE, '[', 0, 'v', 0, 'e',  0,    'r',  0,    ']',  0,    ' ',  0,
                     '=',  0,    ' ', 0, '2', 0, '\r', 0,    '\n', 0,    0x0D, 0x54, 0x4D, 0x52,
                     ' ',  0,    '=', 0, ' ', 0, 0xE5, 0x65, 0x2C, 0x67, '\r', 0,    '\n', 0}),
              ReadBytes(path));
    EXPECT_EQ((std::vector<std::wstring>{L"Kanoru.key.cfg"}), Tree(root));

    WriteText(At(L"ansi.cfg"), "[ver] = 2\r\n\x96\xBC\x91\x4F = \x93\xFA\x96\x7B\r\n");
    for (const wchar_t* name : {L"Kanoru.key.cfg", L"ansi.cfg"}) {
        CKeyValueFile loaded;
        ASSERT_TRUE(loaded.Load(At(name))) << Ansi(name);
        EXPECT_EQ(Entries(file), Entries(loaded)) << Ansi(name);
    }
}

TEST_F(KeyValueFileTest, LoadFailuresLeaveTheStoreAndNeverThrow)
{
    CKeyValueFile file;
    file.SetRaw(L"Kept", L"1");
    EXPECT_FALSE(file.Load(At(L"absent.cfg")));
    WriteText(At(L"held.cfg"), "Other = 2\r\n");
    HANDLE held = ::CreateFileW(At(L"held.cfg").CStr(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_FALSE(file.Load(At(L"held.cfg")));
    EXPECT_FALSE(file.Save(At(L"held.cfg")));
    ::CloseHandle(held);
    EXPECT_EQ(L"Kept = 1\r\n", Text(file.Serialize()));
}

// The association dialog fills the hand-off file and writes it in the ANSI code page; the
// registrar loads it and reads it back through the value readers.
TEST_F(KeyValueFileTest, HandOffFileReadsBackThroughTheRegistrarReaders)
{
    CKeyValueFile handOff;
    handOff[L"EnvSetOthers"].SetEscaped(L"jpeg;;tif;");
    handOff[L"EnvMenuName"].SetString(L"Kanoru2 で開く(&K)");
    handOff[L"ModuleFileName"].SetString(L"C:\\Program Files\\Kanoru2\\Kanoru2.exe");
    handOff[L"RelationJPG"].SetBool(true);
    handOff[L"RelationPNG"].SetBool(false);

    Brivox::CTempFile file(root, L"rel", L"cfg");
    file.WriteText(handOff.Serialize());

    CKeyValueFile loaded;
    ASSERT_TRUE(loaded.Load(file.GetPath()));
    EXPECT_EQ(L"jpeg;;tif;", Text(loaded[L"EnvSetOthers"].ToUnescapedString()));
    EXPECT_EQ(L"Kanoru2 で開く(&K)", Text(loaded[L"EnvMenuName"].ToString()));
    EXPECT_EQ(L"C:\\Program Files\\Kanoru2\\Kanoru2.exe", Text(loaded[L"ModuleFileName"].ToString()));
    EXPECT_TRUE(loaded[L"RelationJPG"].ToBool());
    EXPECT_FALSE(loaded[L"RelationPNG"].ToBool());
    EXPECT_EQ(Entries(handOff), Entries(loaded));
}
