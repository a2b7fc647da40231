#include "ui/hot_key.h"
#include "ui/key_config.h"
#include "ui/key_names.h"
#include "ui/window_test_support.h"

#include "support/window_test_bed.h"

#include "foundation/temp_file.h"
#include "foundation/text_file.h"

#include <gtest/gtest.h>

#include <future>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

using Brivox::CHotKey;
using Brivox::CKeyConfig;
using Brivox::FormatHotKey;
using Brivox::FormatString;
using Brivox::HotKeySetting;
using Brivox::KeyNameTable;
using Brivox::ParseHotKey;
using Brivox::SHotKey;
using Brivox::SMessage;
using Brivox::String;

namespace {

constexpr int Ctrl = SHotKey::Ctrl;
constexpr int Alt = SHotKey::Alt;
constexpr int Shift = SHotKey::Shift;
constexpr int Win = SHotKey::Win;

std::wstring Text(const String& text)
{
    return std::wstring(text.CStr(), static_cast<std::size_t>(text.Length()));
}

// Records every hit.
class RecordingOwner : public CHotKey::IOwner
{
public:
    void OnHotKey(CHotKey&, int command) override { commands.push_back(command); }

    std::vector<int> commands;
};

// A file in the temporary folder that is gone when the test ends.
class KeyFile
{
public:
    KeyFile() : m_file(L"kanoru-keys-", L"key.cfg") {}

    const String& Path() const { return m_file.GetPath(); }

    std::vector<unsigned char> Bytes() const
    {
        std::vector<unsigned char> bytes;
        Brivox::ReadFile(Path(), bytes);
        return bytes;
    }

    // The text as the program writes it: UTF-16LE with its mark.
    void Write(const wchar_t* text) const { Brivox::WriteTextFile(Path(), text); }

private:
    Brivox::CTempFile m_file;
};

std::vector<unsigned char> Utf16File(const std::wstring& text)
{
    std::vector<unsigned char> bytes = {0xFF, 0xFE};
    for (wchar_t ch : text) {
        bytes.push_back(static_cast<unsigned char>(ch & 0xFF));
        bytes.push_back(static_cast<unsigned char>(ch >> 8));
    }
    return bytes;
}

// A small table of its own: commands 0 to 3 and 48, and defaults that bind "Ctrl+N" to 0,
// "Ctrl+O" to 1, "Ctrl+Shift+O" to 2 and "→" to 48.
class KeyConfigFileTest : public ::testing::Test
{
protected:
    KeyConfigFileTest()
    {
        for (int command : {0, 1, 2, 3, 48})
            commands.AddCommand(command, FormatString(L"command %d", command), 0xF800 + command);
        BindDefaults(defaults);
    }

    void BindDefaults(HotKeySetting& target) const
    {
        target.Clear();
        target.BindKeyList(0, L"Ctrl+N");
        target.BindKeyList(1, L"Ctrl+O");
        target.BindKeyList(2, L"Ctrl+Shift+O");
        target.BindKeyList(48, L"\u2192");
    }

    // The file read into a setting that held other bindings before: a load starts from the
    // defaults.
    std::wstring Load()
    {
        HotKeySetting loaded;
        loaded.BindKeyList(3, L"A, Ctrl+N");
        loaded.LoadDiff(file.Path(), defaults, commands);
        return Bindings(loaded);
    }

    // Every binding of the setting, found by trying every hot key: "command=keys" by command,
    // joined with "; ".
    static std::wstring Bindings(const HotKeySetting& setting)
    {
        std::map<int, std::wstring> keys;
        for (int key = 0; key < SHotKey::KeyCount; ++key)
            for (int modifiers = 0; modifiers < 16; ++modifiers)
                if (const int command = setting.FindCommand(key, modifiers); command != -1) {
                    std::wstring& text = keys[command];
                    text += (text.empty() ? L"" : L", ") + Text(FormatHotKey(key, modifiers));
                }
        std::wstring bindings;
        for (const auto& [command, text] : keys)
            bindings += (bindings.empty() ? L"" : L"; ") + std::to_wstring(command) + L"=" + text;
        return bindings;
    }

    CKeyConfig commands;
    HotKeySetting defaults;
    KeyFile file;
};

} // namespace

TEST(KeyNames, KeyTextsFormatAndParse)
{
    struct Case
    {
        const wchar_t* text;
        int key;
        int modifiers;
    };
    const Case cases[] = {
        {L"Ctrl++", 52, Ctrl},
        {L"+", 52, 0},
        {L"Ctrl+", -1, 0},
        {L"ctrl+a", -1, 0},
        {L"Ctrl + A", -1, 0},
        {L"Shift+Ctrl+A", -1, 0},
        {L"A,B", -1, 0},
        {L"", -1, 0},
        {L"a", -1, 0},
        {L"Num +", 78, 0},
        {L"Num+", -1, 0},
        {L"Ctrl+\u2192", 67, Ctrl},
        {L"Alt+Shift+Enter", 54, Alt | Shift},
        {L"Ctrl+Alt+Shift+Win+F12", 47, Ctrl | Alt | Shift | Win},
        {L"Win+Ctrl+A", -1, 0},
        {L"Ctrl+Ctrl+A", -1, 0},
        {L"Ctrl+ホイール(上)", 88, Ctrl},
        {L"\uFF14ボタンクリック", 90, 0},
        {L"4ボタンクリック", -1, 0},
        {L"0", 35, 0},
        {L"Num0", 68, 0},
    };
    for (const Case& c : cases) {
        const SHotKey parsed = ParseHotKey(c.text);
        EXPECT_EQ(parsed.key, c.key) << "case " << &c - cases;
        EXPECT_EQ(parsed.modifiers, c.modifiers) << "case " << &c - cases;
        if (c.key != -1) {
            EXPECT_EQ(Text(FormatHotKey(c.key, c.modifiers)), c.text) << "case " << &c - cases;
        }
    }
    EXPECT_EQ(Text(FormatHotKey(-1, Ctrl | Shift)), L"Ctrl+Shift+");
    EXPECT_EQ(Text(FormatHotKey(96, 0)), L"");
}

TEST(KeyNames, EveryNameFormatsAndParsesBack)
{
    const KeyNameTable& table = KeyNameTable::Instance();
    std::map<std::wstring, int> seen;
    for (int key = 0; key < SHotKey::KeyCount; ++key) {
        ASSERT_NE(table.FindName(key), nullptr) << key;
        EXPECT_TRUE(seen.emplace(Text(table.GetName(key)), key).second) << "name of " << key << " repeats";
        for (int modifiers : {0, Ctrl, Alt | Shift, Ctrl | Alt | Shift | Win}) {
            const SHotKey parsed = ParseHotKey(FormatHotKey(key, modifiers));
            EXPECT_EQ(parsed.key, key);
            EXPECT_EQ(parsed.modifiers, modifiers) << key;
        }
    }
    EXPECT_EQ(table.FindName(-1), nullptr);
    EXPECT_EQ(table.FindName(SHotKey::KeyCount), nullptr);
    EXPECT_EQ(Text(table.GetName(SHotKey::KeyCount)), L"");
    EXPECT_EQ(Text(table.GetName(82)), L"左クリック");
    EXPECT_EQ(Text(table.GetName(95)), L"左押しつつ右クリック");
}

TEST(KeyNames, VirtualKeysLeadToTheirIndexes)
{
    const std::pair<int, int> cases[] = {
        {'A', 0},       {'Z', 25},        {'1', 26},       {'9', 34},         {'0', 35},
        {VK_F1, 36},    {VK_F12, 47},     {VK_ESCAPE, 48}, {VK_OEM_PLUS, 52}, {VK_RETURN, 54},
        {VK_SPACE, 63}, {VK_UP, 64},      {VK_RIGHT, 67},  {VK_NUMPAD0, 68},  {VK_DIVIDE, 81},
        {VK_SHIFT, -1}, {VK_CONTROL, -1}, {VK_MENU, -1},   {VK_LWIN, -1},     {VK_CAPITAL, -1},
        {VK_F13, -1},   {VK_LBUTTON, -1}, {VK_APPS, -1},   {0, -1},           {0x10000 + 'A', -1},
    };
    for (const auto& [virtualKey, index] : cases)
        EXPECT_EQ(Brivox::VirtualKeyToIndex(virtualKey), index) << virtualKey;
    // Every keyboard index is reached by exactly one code.
    std::map<int, int> reached;
    for (int virtualKey = 0; virtualKey < 256; ++virtualKey)
        if (const int index = Brivox::VirtualKeyToIndex(virtualKey); index != -1)
            ++reached[index];
    EXPECT_EQ(reached.size(), 82u);
    for (const auto& [index, count] : reached) {
        EXPECT_LT(index, SHotKey::FirstMouseAction);
        EXPECT_EQ(count, 1) << index;
    }
}

TEST(KeyNames, TwoThreadsMakingTheFirstUseShareOneCompleteTable)
{
    // Each test case runs as a process of its own, so this is the table's first use.
    const KeyNameTable* tables[2] = {};
    std::thread first([&] { tables[0] = &KeyNameTable::Instance(); });
    std::thread second([&] { tables[1] = &KeyNameTable::Instance(); });
    first.join();
    second.join();
    EXPECT_EQ(tables[0], tables[1]);
    EXPECT_EQ(tables[0]->FindIndex(L"左押しつつ右クリック"), 95);
    EXPECT_EQ(tables[1]->FindVirtualKey(VK_DIVIDE), 81);
}

TEST(HotKeyMessages, MessagesBecomeKeyIndexes)
{
    // Every key index without modifiers is bound to 1000 + index, so the hit names the index.
    auto owner = std::make_shared<RecordingOwner>();
    CHotKey hotKey(owner);
    for (int key = 0; key < SHotKey::KeyCount; ++key)
        hotKey.Bind(1000 + key, key, 0);

    struct Case
    {
        UINT message;
        WPARAM wParam;
        int key; // -1: not handled
    };
    const auto wheel = [](int delta) { return MAKEWPARAM(0, static_cast<WORD>(static_cast<short>(delta))); };
    const Case cases[] = {
        {WM_KEYDOWN, VK_RIGHT, 67},
        {WM_SYSKEYDOWN, VK_RETURN, 54},
        {WM_KEYDOWN, VK_SHIFT, -1},
        {WM_KEYDOWN, VK_F24, -1},
        {WM_KEYUP, VK_RIGHT, -1},
        {WM_SYSKEYUP, VK_RETURN, -1},
        {WM_CHAR, 'a', -1},
        {WM_LBUTTONDOWN, MK_LBUTTON, -1},
        {WM_LBUTTONUP, 0, 82},
        {WM_LBUTTONUP, MK_RBUTTON, 94},
        {WM_LBUTTONDBLCLK, MK_LBUTTON, 83},
        {WM_RBUTTONUP, 0, 84},
        {WM_RBUTTONUP, MK_LBUTTON, 95},
        {WM_RBUTTONDBLCLK, MK_RBUTTON, 85},
        {WM_MBUTTONUP, 0, 86},
        {WM_MBUTTONDBLCLK, MK_MBUTTON, 87},
        {WM_MOUSEWHEEL, wheel(60), -1},
        {WM_MOUSEWHEEL, wheel(-60), -1},
        {WM_MOUSEWHEEL, wheel(120), 88},
        {WM_MOUSEWHEEL, wheel(240), 88},
        {WM_MOUSEWHEEL, wheel(-120), 89},
        {WM_XBUTTONUP, MAKEWPARAM(0, XBUTTON1), 90},
        {WM_XBUTTONDBLCLK, MAKEWPARAM(0, XBUTTON1), 91},
        {WM_XBUTTONUP, MAKEWPARAM(0, XBUTTON2), 92},
        {WM_XBUTTONDBLCLK, MAKEWPARAM(0, XBUTTON2), 93},
        {WM_XBUTTONUP, MAKEWPARAM(0, 4), -1},
    };
    for (const Case& c : cases) {
        owner->commands.clear();
        SMessage message{nullptr, c.message, c.wParam, 0, 0, nullptr};
        EXPECT_EQ(hotKey.HookMessage(message), c.key != -1) << "case " << &c - cases;
        const std::vector<int> expected = c.key == -1 ? std::vector<int>{} : std::vector<int>{1000 + c.key};
        EXPECT_EQ(owner->commands, expected) << "case " << &c - cases;
    }
}

TEST(HotKeyMessages, ALeftDoubleClickIsReleaseDoubleClickRelease)
{
    auto owner = std::make_shared<RecordingOwner>();
    CHotKey hotKey(owner);
    hotKey.Bind(1, 82, 0);
    hotKey.Bind(2, 83, 0);
    for (UINT message : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP}) {
        SMessage record{nullptr, message, 0, 0, 0, nullptr};
        hotKey.HookMessage(record);
    }
    EXPECT_EQ(owner->commands, (std::vector<int>{1, 2, 1}));
}

TEST(HotKeyMessages, AnUnboundActionIsNotHandledEvenWhenAnotherIsBound)
{
    // Left released with the right held is its own action: the left click's binding is no help.
    auto owner = std::make_shared<RecordingOwner>();
    CHotKey hotKey(owner);
    hotKey.Bind(1, 82, 0);
    hotKey.Bind(2, 82, Ctrl);
    SMessage message{nullptr, WM_LBUTTONUP, MK_RBUTTON, 0, 0, nullptr};
    EXPECT_FALSE(hotKey.HookMessage(message));
    EXPECT_TRUE(owner->commands.empty());
}

TEST(HotKeyMessages, TheOwnerRunsUnderTheBindingsLockWhichAnExceptionReleases)
{
    // The bindings' lock, as another thread would find it.
    class ProbedHotKey : public CHotKey
    {
    public:
        using CHotKey::CHotKey;
        bool LockedElsewhere()
        {
            return std::async(std::launch::async,
                              [this] {
                                  std::unique_lock<std::recursive_mutex> probe(GetLock(), std::try_to_lock);
                                  return !probe.owns_lock();
                              })
                .get();
        }
    };
    // A command may open the key dialog, which changes the same bindings on the same thread.
    class RebindingOwner : public CHotKey::IOwner
    {
    public:
        void OnHotKey(CHotKey& hotKey, int command) override
        {
            lockedDuringHit = static_cast<ProbedHotKey&>(hotKey).LockedElsewhere();
            hotKey.Unbind(67, 0);
            hotKey.Bind(command + 1, 64, 0);
            if (command == 7)
                throw std::runtime_error("command failed");
        }
        bool lockedDuringHit = false;
    };
    auto owner = std::make_shared<RebindingOwner>();
    ProbedHotKey hotKey(owner);
    hotKey.Bind(5, 67, 0);
    SMessage right{nullptr, WM_KEYDOWN, VK_RIGHT, 0, 0, nullptr};
    EXPECT_TRUE(hotKey.HookMessage(right));
    EXPECT_TRUE(owner->lockedDuringHit);
    EXPECT_EQ(hotKey.FindCommand(67, 0), -1);
    EXPECT_EQ(hotKey.FindCommand(64, 0), 6);
    EXPECT_FALSE(hotKey.LockedElsewhere());

    hotKey.Bind(7, 67, 0);
    EXPECT_THROW(hotKey.HookMessage(right), std::runtime_error);
    EXPECT_FALSE(hotKey.LockedElsewhere());
}

TEST(HotKeySetting, BindingAKeyMovesItFromItsCommand)
{
    HotKeySetting setting;
    setting.BindKeyList(1, L"Ctrl+O, Ctrl+Shift+O");
    setting.BindKeyList(2, L"F2");
    setting.BindKeyList(2, L"Ctrl+O");
    EXPECT_EQ(Text(setting.GetKeysText(1)), L"Ctrl+Shift+O");
    EXPECT_EQ(Text(setting.GetKeysText(2)), L"Ctrl+O, F2");
    EXPECT_EQ(setting.FindCommand(14, Ctrl), 2);

    setting.BindKeyList(3, L"Ctrl+Shift+O");
    EXPECT_EQ(Text(setting.GetKeysText(1)), L"");
    setting.Unbind(14, Ctrl);
    EXPECT_EQ(setting.FindCommand(14, Ctrl), -1);
    EXPECT_EQ(Text(setting.GetKeysText(2)), L"F2");
    setting.Unbind(14, Ctrl); // not bound: nothing
    setting.Clear();
    EXPECT_EQ(setting.FindCommand(37, 0), -1);
    EXPECT_EQ(Text(setting.GetKeysText(2)), L"");
}

TEST(HotKeySetting, KeyListsBindTheirPiecesThatParse)
{
    struct Case
    {
        const wchar_t* list;
        const wchar_t* bound; // GetKeysText afterwards, in hot-key order
    };
    const Case cases[] = {
        {L"Ctrl+Num -, Ctrl+ホイール(上)", L"Ctrl+Num -, Ctrl+ホイール(上)"},
        {L"B, A", L"A, B"},
        {L"A,B", L""},
        {L"A, , B", L"A, B"},
        {L"A,  B", L"A"},
        {L" A", L""},
        {L"Ctrl++, +", L"+, Ctrl++"},
        {L"", L""},
    };
    for (const Case& c : cases) {
        HotKeySetting setting;
        setting.BindKeyList(5, c.list);
        EXPECT_EQ(Text(setting.GetKeysText(5)), c.bound) << "case " << &c - cases;
    }
}

TEST_F(KeyConfigFileTest, SavedDifferencesAreExactlyTheFilesBytes)
{
    struct Case
    {
        const wchar_t* change; // bound to command 48, or unbound when it starts with '-'
        const wchar_t* file;
    };
    const Case cases[] = {
        {nullptr, L"[ver] = 2\r\n"},
        {L"-Ctrl+N", L"Ctrl+N = -1\r\n[ver] = 2\r\n"},
        {L"Space", L"Space = 48\r\n[ver] = 2\r\n"},
        {L"Ctrl+O", L"Ctrl+O = 48\r\n[ver] = 2\r\n"},
    };
    for (const Case& c : cases) {
        HotKeySetting setting;
        BindDefaults(setting);
        if (c.change && c.change[0] == L'-') {
            const SHotKey key = ParseHotKey(c.change + 1);
            setting.Unbind(key.key, key.modifiers);
        } else if (c.change) {
            setting.BindKeyList(48, c.change);
        }
        setting.SaveDiff(file.Path(), defaults);
        EXPECT_EQ(file.Bytes(), Utf16File(c.file)) << "case " << &c - cases;
        EXPECT_EQ(Load(), Bindings(setting)) << "case " << &c - cases;
    }
}

TEST_F(KeyConfigFileTest, LoadingAppliesTheFilesDifferencesToTheDefaults)
{
    const wchar_t* const standard = L"0=Ctrl+N; 1=Ctrl+O; 2=Ctrl+Shift+O; 48=\u2192";
    struct Case
    {
        const wchar_t* file; // null: no file
        const wchar_t* bindings;
    };
    const Case cases[] = {
        {nullptr, standard},
        {L"[ver] = 2\r\n", standard},
        {L"Ctrl+N = -1\r\n[ver] = 2\r\n", L"1=Ctrl+O; 2=Ctrl+Shift+O; 48=\u2192"},
        {L"Space = 48\r\n[ver] = 2\r\n", L"0=Ctrl+N; 1=Ctrl+O; 2=Ctrl+Shift+O; 48=Space, \u2192"},
        {L"[ver] = 2\r\nCtrl+N = 1\r\n", L"1=Ctrl+N, Ctrl+O; 2=Ctrl+Shift+O; 48=\u2192"},
        {L"[ver] = 2\r\nA, B = 3\r\nCtrl+N, Ctrl+O = -1\r\n", L"2=Ctrl+Shift+O; 3=A, B; 48=\u2192"},
        {L"[ver] = 3\r\nSpace = 48\r\nCtrl+N = -1\r\n", standard},
        // The older form: command numbers as keys, bound on top of the defaults.
        {L"48 = Space\r\n", L"0=Ctrl+N; 1=Ctrl+O; 2=Ctrl+Shift+O; 48=Space, \u2192"},
        {L"1 = F2, Ctrl+N\r\n3 = \r\n", L"1=Ctrl+N, Ctrl+O, F2; 2=Ctrl+Shift+O; 48=\u2192"},
        // Lines whose command is no whole number, or no command of the table, leave their keys
        // alone.
        {L"[ver] = 2\r\nA = x\r\nAlt+F4 = 999\r\nB = 12abc\r\nCtrl+N = x\r\nCtrl+O = 42\r\n"
         L"Ctrl+Shift+O = 1 \r\n = 3\r\nC = +3\r\nD = 99999999999\r\n",
         standard},
        {L"[ver] = 2\r\nCtrl+N = -7\r\nCtrl+O = -\r\n", L"1=Ctrl+O; 2=Ctrl+Shift+O; 48=\u2192"},
        {L"x = C\r\n999 = D\r\n1x = E\r\n-1 = Ctrl+O\r\n42 = Ctrl+N\r\n", standard},
    };
    for (const Case& c : cases) {
        if (c.file)
            file.Write(c.file);
        EXPECT_EQ(Load(), c.bindings) << "case " << &c - cases;
    }
}

TEST_F(KeyConfigFileTest, AKeyUnboundOrMovedSurvivesASaveAndALoad)
{
    HotKeySetting setting;
    BindDefaults(setting);
    setting.Unbind(13, Ctrl);
    setting.BindKeyList(3, L"Ctrl+Shift+O, ホイール(下)");
    setting.BindKeyList(48, L"Ctrl++");
    setting.SaveDiff(file.Path(), defaults);
    EXPECT_EQ(Load(), L"1=Ctrl+O; 3=Ctrl+Shift+O, ホイール(下); 48=Ctrl++, \u2192");
    EXPECT_EQ(Load(), Bindings(setting));
}

namespace {

// A menu of item texts by command id that counts its writes.
struct CountingMenu
{
    String GetItemText(int id) { return texts[id]; }
    void SetItemText(int id, const String& text)
    {
        texts[id] = text;
        ++writes;
    }

    std::map<int, String> texts;
    int writes = 0;
};

} // namespace

TEST(KeyConfig, MenuTextsShowTheBoundKeysAndAreWrittenOnlyWhenTheyChange)
{
    CKeyConfig commands;
    commands.AddCommand(0, L"ファイル: 開く", 0xF800);
    commands.AddCommand(1, L"ファイル: 閉じる", 0xF801);
    commands.AddCommand(2, L"ファイル: 終了", 0xF802);
    HotKeySetting setting;
    setting.BindKeyList(0, L"Ctrl+O, Ctrl+ホイール(上)");
    setting.BindKeyList(1, L"Ctrl+W");
    CountingMenu menu;
    menu.texts = {{0xF800, L"開く(&O)"}, {0xF801, L"閉じる(&C)\tCtrl+W"}, {0xF802, L"終了(&X)"}};

    commands.UpdateMenuTexts(menu, setting);
    EXPECT_EQ(Text(menu.texts[0xF800]), L"開く(&O)\tCtrl+O, Ctrl+ホイール(上)");
    EXPECT_EQ(Text(menu.texts[0xF801]), L"閉じる(&C)\tCtrl+W");
    EXPECT_EQ(Text(menu.texts[0xF802]), L"終了(&X)");
    EXPECT_EQ(menu.writes, 1);

    commands.UpdateMenuTexts(menu, setting);
    EXPECT_EQ(menu.writes, 1);

    // A command that lost its last key shows its caption alone.
    setting.Unbind(22, Ctrl);
    commands.UpdateMenuTexts(menu, setting);
    EXPECT_EQ(Text(menu.texts[0xF801]), L"閉じる(&C)");
    EXPECT_EQ(menu.writes, 2);

    EXPECT_EQ(Text(CKeyConfig::MenuTextWithKeys(L"a\tb\tc", L"")), L"a");
    EXPECT_EQ(Text(CKeyConfig::MenuTextWithKeys(L"\tb", L"F1")), L"\tF1");
}

TEST(KeyConfig, CommandsAreFoundByNumberAndByExactName)
{
    CKeyConfig commands;
    commands.AddCommand(5, L"編集: 貼り付け", 0xF805);
    commands.AddCommand(3, L"編集: コピー", 0xF803);
    commands.AddCommand(5, L"編集: 二度目", 0xF8FF); // the first registration stays
    commands.AddCommand(9, L"編集: コピー", 0xF809);

    EXPECT_EQ(Text(commands.GetCommandName(5)), L"編集: 貼り付け");
    EXPECT_EQ(Text(commands.GetCommandName(4)), L"");
    EXPECT_EQ(commands.FindCommand(L"編集: コピー"), 3); // ascending numbers: 3 before 9
    EXPECT_EQ(commands.FindCommand(L"編集: 二度目"), -1);
    EXPECT_EQ(commands.FindCommand(L"編集:コピー"), -1);
    EXPECT_EQ(commands.FindCommand(L"(未割り当て)"), -1);
    EXPECT_TRUE(commands.IsCommand(9));
    EXPECT_FALSE(commands.IsCommand(4));
}

namespace {

// The owner as the viewer has it: a hit sends the command's id to the window, whose thread
// handles it before the hook returns. Records the hits and the ids the window received.
class SendingOwner : public CHotKey::IOwner
{
public:
    SendingOwner(const CKeyConfig& commands, TestWindow& window) : m_commands(commands), m_window(window)
    {
        window.onMessage = [this](SMessage& message) {
            if (message.message != WM_COMMAND)
                return false;
            std::lock_guard<std::mutex> lock(m_lock);
            m_received.push_back(static_cast<int>(message.wParam));
            return true;
        };
    }

    void OnHotKey(CHotKey&, int command) override
    {
        {
            std::lock_guard<std::mutex> lock(m_lock);
            m_hits.push_back(command);
        }
        m_commands.SendCommand(m_window.Handle(), command);
    }

    std::vector<int> Hits() const
    {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_hits;
    }
    std::vector<int> Received() const
    {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_received;
    }

private:
    const CKeyConfig& m_commands;
    TestWindow& m_window;
    mutable std::mutex m_lock;
    std::vector<int> m_hits;
    std::vector<int> m_received;
};

// A window with the hot keys joined to its hook list, "Ctrl+N" bound to command 0, "→" to 48
// and "↑" to 42, which is no command.
struct HotKeyWindow
{
    explicit HotKeyWindow(bool quiet)
    {
        commands.AddCommand(0, L"ファイル: ウィンドウの新規作成", 0xF800);
        commands.AddCommand(48, L"リスト: 次へ", 0xF830);
        if (quiet) {
            test.Create();
        } else {
            Brivox::CWindowParameter parameter;
            test.window.Create(parameter);
        }
        test.window.GetHookList()->Add(&hotKey);
        hotKey.BindKeyList(0, L"Ctrl+N");
        hotKey.BindKeyList(48, L"\u2192");
        hotKey.BindKeyList(42, L"\u2191");
        hotKey.BindKeyList(48, L"Alt+Enter");
    }

    CKeyConfig commands;
    TestWindow test;
    std::shared_ptr<SendingOwner> owner = std::make_shared<SendingOwner>(commands, test);
    // Leaves the hook list before the window goes.
    CHotKey hotKey{owner};
};

} // namespace

TEST(HotKeyWindow, APostedKeyReachesTheOwnerAndTheWindowGetsItsCommand)
{
    HotKeyWindow window(true);
    // The arrow bound to no command of the table comes first: once the next one's command has
    // arrived, it has been handled and sent nothing.
    KanoruTest::PostKey(window.test.Handle(), VK_UP);
    KanoruTest::PostKey(window.test.Handle(), 'N'); // no Ctrl with a posted key
    KanoruTest::PostKey(window.test.Handle(), VK_RIGHT);
    ASSERT_TRUE(KanoruTest::PumpUntil([&] { return !window.owner->Received().empty(); }));
    EXPECT_EQ(window.owner->Hits(), (std::vector<int>{42, 48}));
    EXPECT_EQ(window.owner->Received(), (std::vector<int>{0xF830}));
}

TEST(DesktopInputHotKey, CtrlNFromTheKeyboardReachesTheOwnerAsCommandZero)
{
    HotKeyWindow window(false);
    // Keys go to whichever window has the foreground when they arrive; another test program's
    // new window may take it in between, and only then are they sent again.
    bool arrived = false;
    for (int attempt = 0; attempt < 3 && !arrived; ++attempt) {
        ASSERT_TRUE(KanoruTest::SendKeyCombination(window.test.Handle(), {VK_CONTROL}, 'N'));
        arrived =
            KanoruTest::PumpUntil([&] { return !window.owner->Hits().empty(); }, std::chrono::seconds(10));
        if (!arrived && ::GetForegroundWindow() == window.test.Handle())
            break;
    }
    ASSERT_TRUE(arrived);
    EXPECT_EQ(window.owner->Hits(), (std::vector<int>{0}));
    EXPECT_EQ(window.owner->Received(), (std::vector<int>{0xF800}));
}

TEST(DesktopInputHotKey, AnAltKeyTakenAsACommandLeavesNoMenuCharacter)
{
    HotKeyWindow window(false);
    ASSERT_TRUE(KanoruTest::SendKeyCombination(window.test.Handle(), {VK_MENU}, VK_RETURN));
    ASSERT_TRUE(KanoruTest::PumpUntil([&] { return !window.owner->Hits().empty(); }));
    EXPECT_EQ(window.owner->Hits(), (std::vector<int>{48}));
    // Both keys released and handled: a menu request would have come with the character made of
    // the key or with the release of Alt.
    const auto releases = [&] {
        int count = 0;
        for (UINT message : window.test.Messages())
            count += message == WM_SYSKEYUP || message == WM_KEYUP;
        return count;
    };
    ASSERT_TRUE(KanoruTest::PumpUntil([&] { return releases() >= 2; }));
    ::SendMessageW(window.test.Handle(), WM_NULL, 0, 0);
    EXPECT_FALSE(window.test.Saw(WM_SYSCHAR));
    EXPECT_FALSE(window.test.Saw(WM_SYSCOMMAND));
}
