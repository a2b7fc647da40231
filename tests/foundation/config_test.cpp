#include "foundation/config.h"

#include "child_process.h"
#include "file_test_support.h"
#include "foundation/exception.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

using namespace FileTestSupport;
using Brivox::CConfig;
using Brivox::String;

namespace {

std::wstring Text(const String& s)
{
    return std::wstring(s.CStr(), static_cast<std::size_t>(s.Length()));
}

// A literal whole, NULs inside included.
template <std::size_t N> std::wstring Whole(const wchar_t (&text)[N])
{
    return std::wstring(text, N - 1);
}

// The file form of a text: the mark FF FE and UTF-16LE code units.
Bytes Utf16File(const std::wstring& text)
{
    Bytes bytes = {0xFF, 0xFE};
    for (const wchar_t ch : text) {
        bytes.push_back(static_cast<unsigned char>(ch & 0xFF));
        bytes.push_back(static_cast<unsigned char>(ch >> 8));
    }
    return bytes;
}

// The message of the RuntimeException that action throws, as what() gives it.
std::string FailureOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const Brivox::RuntimeException& e) {
        return e.what();
    }
    return "(nothing thrown)";
}

std::string ReadFailure(const wchar_t* key, const wchar_t* kind)
{
    return Ansi(String(L"コンフィグデータ '") + key + L"' " + kind + L"の読み込みに失敗しました");
}

} // namespace

TEST(Config, FreshStoreHoldsNothing)
{
    const CConfig config;
    EXPECT_FALSE(config.Contains(L"JpgQuality"));
    EXPECT_EQ(L"", Text(config.Serialize()));
    EXPECT_EQ(Ansi(L"コンフィグデータ 'JpgQuality' (数値)の読み込みに失敗しました"),
              FailureOf([&] { config.GetInt(L"JpgQuality"); }));
    EXPECT_EQ(Ansi(L"コンフィグデータ 'JpgQuality' の読み込みに失敗しました"),
              FailureOf([&] { config.GetRaw(L"JpgQuality"); }));
}

TEST(Config, GettersFailWithTheKeyAndTheirKind)
{
    CConfig config;
    config.SetRaw(L"Empty", L"");
    config.SetRaw(L"Word", L"True");
    config.SetRaw(L"Spaced", L"800 , 600");
    config.SetRaw(L"Two", L"1, 2");
    struct Case
    {
        const wchar_t* key;
        const wchar_t* kind;
        std::function<void()> get;
    };
    const Case cases[] = {
        {L"Missing", L"(数値)", [&] { config.GetInt(L"Missing"); }},
        {L"Empty", L"(数値)", [&] { config.GetInt(L"Empty"); }},
        {L"Missing", L"(浮動小数値)", [&] { config.GetDouble(L"Missing"); }},
        {L"Empty", L"(浮動小数値)", [&] { config.GetDouble(L"Empty"); }},
        {L"Missing", L"(真偽値)", [&] { config.GetBool(L"Missing"); }},
        {L"Word", L"(真偽値)", [&] { config.GetBool(L"Word"); }},
        {L"Empty", L"(真偽値)", [&] { config.GetBool(L"Empty"); }},
        {L"Missing", L"(文字列)", [&] { config.GetString(L"Missing"); }},
        {L"Missing", L"", [&] { config.GetRaw(L"Missing"); }},
        // A missing key fails in the raw read, without a kind.
        {L"Missing", L"", [&] { config.GetSize(L"Missing"); }},
        {L"Missing", L"", [&] { config.GetRect(L"Missing"); }},
        {L"Missing", L"", [&] { config.GetRGB(L"Missing"); }},
        {L"Spaced", L"(縦横値)", [&] { config.GetSize(L"Spaced"); }},
        {L"Empty", L"(縦横値)", [&] { config.GetSize(L"Empty"); }},
        {L"Two", L"(矩形座標値)", [&] { config.GetRect(L"Two"); }},
        {L"Two", L"(RGB値)", [&] { config.GetRGB(L"Two"); }},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ReadFailure(c.key, c.kind), FailureOf(c.get)) << Ansi(c.key) << " " << Ansi(c.kind);
}

TEST(Config, NumbersAndTruthValuesFromStoredTexts)
{
    CConfig config;
    const std::pair<const wchar_t*, int> ints[] = {{L"12abc", 12}, {L"abc", 0}, {L" -7", -7}, {L"80", 80}};
    for (const auto& [text, expected] : ints) {
        config.SetRaw(L"Int", text);
        EXPECT_EQ(expected, config.GetInt(L"Int")) << Ansi(text);
    }
    const std::pair<const wchar_t*, double> reals[] = {
        {L"0.1768", 0.1768}, {L"1.0", 1.0}, {L"2,5", 2.0}, {L"x", 0.0}};
    for (const auto& [text, expected] : reals) {
        config.SetRaw(L"Real", text);
        EXPECT_EQ(expected, config.GetDouble(L"Real")) << Ansi(text);
    }
    config.SetRaw(L"Bool", L"true");
    EXPECT_TRUE(config.GetBool(L"Bool"));
    config.SetRaw(L"Bool", L"false");
    EXPECT_FALSE(config.GetBool(L"Bool"));
}

TEST(Config, SizesRectanglesAndColours)
{
    CConfig config;
    const std::pair<const wchar_t*, SIZE> sizes[] = {{L"800,600", {800, 600}},
                                                     {L"800,   600", {800, 600}},
                                                     {L"800, 600, 7", {800, 600}},
                                                     {L"-1, -2", {-1, -2}}};
    for (const auto& [text, expected] : sizes) {
        config.SetRaw(L"Size", text);
        const SIZE size = config.GetSize(L"Size");
        EXPECT_EQ(expected.cx, size.cx) << Ansi(text);
        EXPECT_EQ(expected.cy, size.cy) << Ansi(text);
    }

    config.SetRect(L"Rect", RECT{10, 20, 110, 70});
    EXPECT_EQ(L"10, 20, 100, 50", Text(config.GetRaw(L"Rect")));
    const RECT rect = config.GetRect(L"Rect");
    EXPECT_EQ(10, rect.left);
    EXPECT_EQ(20, rect.top);
    EXPECT_EQ(110, rect.right);
    EXPECT_EQ(70, rect.bottom);

    config.SetRaw(L"Colour", L"255, 128, 300");
    EXPECT_EQ(RGB(255, 128, 44), config.GetRGB(L"Colour"));
    config.SetRGB(L"Colour", RGB(1, 2, 3));
    EXPECT_EQ(L"1, 2, 3", Text(config.GetRaw(L"Colour")));
    EXPECT_EQ(RGB(1, 2, 3), config.GetRGB(L"Colour"));
}

TEST(Config, EscapingRoundTripsEveryText)
{
    const std::wstring awkward = Whole(L"a\\b\rc\nd\0e\\\\日\\");
    CConfig config;
    config.SetString(L"Text", awkward);
    EXPECT_EQ(std::wstring(L"a\\\\b\\rc\\nd\\0e\\\\\\\\日\\\\"), Text(config.GetRaw(L"Text")));
    EXPECT_EQ(awkward, Text(config.GetString(L"Text")));

    const std::pair<const wchar_t*, const wchar_t*> unescapes[] = {
        {L"a\\tb", L"a\\tb"}, // not one of the four escapes: stays
        {L"end\\", L"end\\"}, // a lone backslash at the end stays
        {L"\\\\n", L"\\n"},   // the pair is read first: backslash, then a plain n
        {L"\\r\\n", L"\r\n"}, {L"", L""},
    };
    for (const auto& [escaped, plain] : unescapes)
        EXPECT_EQ(plain, Text(CConfig::Unescape(escaped))) << Ansi(escaped);
    EXPECT_EQ(std::wstring(L"x\0y", 3), Text(CConfig::Unescape(L"x\\0y")));
}

TEST(Config, RemoveRenameAndReplace)
{
    CConfig config;
    config.SetInt(L"Old", 5);
    config.SetInt(L"New", 9);
    config.Rename(L"Absent", L"New");
    EXPECT_EQ(9, config.GetInt(L"New"));
    config.Rename(L"Old", L"New");
    EXPECT_FALSE(config.Contains(L"Old"));
    EXPECT_EQ(5, config.GetInt(L"New"));
    config.SetBool(L"New", true);
    EXPECT_EQ(L"true", Text(config.GetRaw(L"New")));
    config.Remove(L"New");
    config.Remove(L"New");
    EXPECT_EQ(L"", Text(config.Serialize()));
}

TEST(Config, KeysOrderByCodeUnitsCapitalsFirst)
{
    CConfig config;
    for (const wchar_t* key : {L"b", L"B", L"a", L"AB", L"A", L"ClearType", L"Cleartype"})
        config.SetRaw(key, L"1");
    EXPECT_EQ(L"A = 1\r\nAB = 1\r\nB = 1\r\nClearType = 1\r\nCleartype = 1\r\na = 1\r\nb = 1\r\n",
              Text(config.Serialize()));
}

TEST(Config, LinesSplitAtTheFirstBlankEqualsBlank)
{
    CConfig config;
    config.ParseText(
        L"Key=Value\r\nKey2 =Value\r\nEmpty = \r\n Blank = x\r\nA = b = c\r\nA2 =  two\nCr = 1\rLast = z");
    EXPECT_EQ(L" Blank = x\r\nA = b = c\r\nA2 =  two\r\nCr = 1\r\nEmpty = \r\nLast = z\r\n",
              Text(config.Serialize()));
    EXPECT_TRUE(config.ParseLine(L"A = later"));
    EXPECT_FALSE(config.ParseLine(L"A= no"));
    EXPECT_EQ(L"later", Text(config.GetRaw(L"A")));
}

namespace {

class ConfigFileTest : public TempFolderTest
{
protected:
    // A store with a value of every kind, as the schema leaves it.
    static CConfig TypicalStore()
    {
        CConfig config;
        config.SetInt(L"JpgQuality", 80);
        config.SetDouble(L"DrawStretchRate", 1.0);
        config.SetDouble(L"FilterGamma", 0.1768);
        config.SetSize(L"FullScreen", SIZE{800, 600});
        config.SetRect(L"FileListWindowRect", RECT{160, 240, 480, 560});
        config.SetRGB(L"DrawBgColor", RGB(0, 0, 0));
        config.SetBool(L"WindowTopMost", false);
        config.SetString(L"TitleText", Whole(L"画像\\ \r\n\0end"));
        config.SetString(L"EmptyText", L"");
        config.SetRaw(L"SpiPluginsDir", L".\\spi\\");
        config.SetInt(L"cleartype", -1);
        return config;
    }

    // The same store as the file must hold it, line by line.
    static std::wstring TypicalText()
    {
        return L"DrawBgColor = 0, 0, 0\r\n"
               L"DrawStretchRate = 1.0\r\n"
               L"EmptyText = \r\n"
               L"FileListWindowRect = 160, 240, 320, 320\r\n"
               L"FilterGamma = 0.1768\r\n"
               L"FullScreen = 800, 600\r\n"
               L"JpgQuality = 80\r\n"
               L"SpiPluginsDir = .\\spi\\\r\n"
               L"TitleText = 画像\\\\ \\r\\n\\0end\r\n"
               L"WindowTopMost = false\r\n"
               L"cleartype = -1\r\n";
    }
};

} // namespace

TEST_F(ConfigFileTest, SettingsFileIsWrittenByteForByteAndReadBack)
{
    const String path = At(L"Kanoru.cfg");
    // A longer file before: nothing of it may survive.
    CConfig longer = TypicalStore();
    longer.SetRaw(L"zzz", String(L'x', 5000));
    ASSERT_TRUE(longer.Save(path));

    const CConfig config = TypicalStore();
    ASSERT_TRUE(config.Save(path));
    EXPECT_EQ(Utf16File(TypicalText()), ReadBytes(path));
    EXPECT_FALSE(Exists(path + L".tmp"));
    EXPECT_FALSE(Exists(path + L".bak"));
    EXPECT_EQ((std::vector<std::wstring>{L"Kanoru.cfg"}), Tree(root));

    CConfig loaded;
    loaded.SetInt(L"NotInFile", 3);
    ASSERT_TRUE(loaded.Load(path));
    EXPECT_EQ(3, loaded.GetInt(L"NotInFile"));
    loaded.Remove(L"NotInFile");
    EXPECT_EQ(TypicalText(), Text(loaded.Serialize()));
    EXPECT_EQ(0.1768, loaded.GetDouble(L"FilterGamma"));
    EXPECT_EQ(Whole(L"画像\\ \r\n\0end"), Text(loaded.GetString(L"TitleText")));
    EXPECT_EQ(320, loaded.GetRect(L"FileListWindowRect").right - 160);
}

TEST_F(ConfigFileTest, EncodingsAndLineEndsLoadTheSameEntries)
{
    WriteBytes(At(L"lf.cfg"), Utf16File(L"A = 1\nName = 日本\n"));
    WriteText(At(L"cr.cfg"), "A = 1\rName = \x93\xFA\x96\x7B\r");
    for (const wchar_t* name : {L"lf.cfg", L"cr.cfg"}) {
        CConfig config;
        ASSERT_TRUE(config.Load(At(name))) << Ansi(name);
        EXPECT_EQ(L"A = 1\r\nName = 日本\r\n", Text(config.Serialize())) << Ansi(name);
    }
}

TEST_F(ConfigFileTest, MissingFileLoadsNothing)
{
    CConfig config;
    config.SetInt(L"Kept", 1);
    EXPECT_FALSE(config.Load(At(L"absent.cfg")));
    EXPECT_EQ(L"Kept = 1\r\n", Text(config.Serialize()));
}

TEST_F(ConfigFileTest, SaveWhereNothingCanBeWrittenFailsWithoutThrowing)
{
    // The read-only attribute of a folder does not stop writing into it (on Windows as under
    // Wine); a folder that is really a file does, and so does a read-only settings file.
    WriteText(At(L"plain"), "a file, not a folder");
    WriteText(At(L"protected.cfg"), "Mine = 1\r\n");
    MakeReadOnly(At(L"protected.cfg"));
    const CConfig config = TypicalStore();
    for (const wchar_t* place : {L"plain\\Kanoru.cfg", L"protected.cfg"}) {
        bool saved = true;
        EXPECT_NO_THROW(saved = config.Save(At(place))) << Ansi(place);
        EXPECT_FALSE(saved) << Ansi(place);
    }
    EXPECT_FALSE(Exists(At(L"plain\\Kanoru.cfg")));
    EXPECT_EQ("Mine = 1\r\n", ReadText(At(L"protected.cfg")));
}

TEST_F(ConfigFileTest, SaveThatFailsAfterWritingLeavesNothingBehind)
{
    struct Case
    {
        const char* what;
        const wchar_t* name;
        std::function<void(const String& path)> prepare;
    };
    const Case cases[] = {
        {"a folder where the file should be", L"folder.cfg", [](const String& path) { MakeFolder(path); }},
        {"a read-only file that cannot be replaced", L"protected.cfg",
         [](const String& path) {
             WriteText(path, "Mine = 1\r\n");
             MakeReadOnly(path);
         }},
        {"a damaged file that cannot be kept aside", L"damaged.cfg",
         [](const String& path) {
             WriteText(path, "\x01 not settings");
             MakeFolder(path + L".bak");
         }},
    };
    const CConfig config = TypicalStore();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const String path = At(c.name);
        c.prepare(path);
        const std::vector<std::wstring> before = Tree(root);
        EXPECT_FALSE(config.Save(path));
        EXPECT_FALSE(Exists(path + L".tmp"));
        EXPECT_EQ(Tree(root), before);
    }
    EXPECT_EQ("Mine = 1\r\n", ReadText(At(L"protected.cfg")));
    EXPECT_EQ("\x01 not settings", ReadText(At(L"damaged.cfg")));
}

TEST_F(ConfigFileTest, FileThatDoesNotReadAsSettingsIsKeptBeforeItIsReplaced)
{
    const String path = At(L"Kanoru.cfg");
    const std::string damaged = "\x01\x02 not settings at all \xFF";
    WriteText(path, damaged);
    CConfig config;
    config.SetInt(L"JpgQuality", 80);
    EXPECT_TRUE(config.Load(path)); // nothing in it to take
    ASSERT_TRUE(config.Save(path));
    EXPECT_EQ(damaged, ReadText(path + L".bak"));
    EXPECT_EQ(Utf16File(L"JpgQuality = 80\r\n"), ReadBytes(path));

    // Settings, or an empty file, are simply replaced.
    WriteText(path + L".bak", "older");
    for (const std::string& before : {std::string("A = 1\r\n\x01\x02\r\n"), std::string()}) {
        WriteText(path, before);
        ASSERT_TRUE(config.Save(path));
        EXPECT_EQ("older", ReadText(path + L".bak"));
    }
}

TEST_F(ConfigFileTest, FileThatCannotBeReadIsNeitherReplacedNorLost)
{
    const String path = At(L"Kanoru.cfg");
    WriteText(path, "A = 1\r\n");
    // Another program holds the file open for itself alone.
    HANDLE held = ::CreateFileW(path.CStr(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    CConfig config;
    EXPECT_FALSE(config.Load(path));
    config.SetInt(L"B", 2);
    EXPECT_FALSE(config.Save(path));
    EXPECT_FALSE(Exists(path + L".tmp"));
    ::CloseHandle(held);
    EXPECT_EQ("A = 1\r\n", ReadText(path));
    ASSERT_TRUE(config.Save(path));
    EXPECT_FALSE(Exists(path + L".bak"));
}

namespace {

// Saves and loads one file again and again, each store holding one value in every key, and
// counts the loads that were not one whole file of one save.
int SaveAndLoad(const std::wstring& path, const std::wstring& tag)
{
    constexpr int rounds = 200;
    constexpr int keys = 64;
    int broken = 0;
    for (int round = 0; round < rounds; ++round) {
        CConfig config;
        const String value = String(tag.c_str()) + Brivox::FormatString(L"-%d-", round) + String(L'v', 40);
        for (int key = 0; key < keys; ++key)
            config.SetRaw(Brivox::FormatString(L"Key%03d", key), value);
        if (!config.Save(path.c_str()))
            ++broken;
        CConfig loaded;
        if (!loaded.Load(path.c_str()))
            ++broken;
        const String first = loaded.Contains(L"Key000") ? loaded.GetRaw(L"Key000") : String();
        for (int key = 0; key < keys; ++key) {
            const String name = Brivox::FormatString(L"Key%03d", key);
            if (!loaded.Contains(name) || !(loaded.GetRaw(name) == first))
                ++broken;
        }
    }
    return broken;
}

int SaveAndLoadRole(const std::wstring& path)
{
    return SaveAndLoad(path, L"child");
}

const ChildProcess::ChildRole saveAndLoadRole(L"config-save-load", SaveAndLoadRole);

} // namespace

TEST_F(ConfigFileTest, TwoProcessesSavingAndLoadingOneFileSeeOnlyWholeFiles)
{
    const String path = At(L"Shared.cfg");
    ChildProcess::Child child(L"config-save-load", path.CStr());
    ASSERT_TRUE(child.Started());
    EXPECT_EQ(0, SaveAndLoad(path.CStr(), L"parent"));
    EXPECT_EQ(0, child.Wait());
    EXPECT_FALSE(Exists(path + L".tmp"));
    EXPECT_FALSE(Exists(path + L".bak"));
}
