#include "support/wide_text.h"
#include "viewer/command_table.h"

#include "ui/hot_key.h"
#include "ui/key_config.h"
#include "ui/key_names.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

using Brivox::CKeyConfig;
using Brivox::HotKeySetting;
using Brivox::SHotKey;
using Brivox::String;

namespace {

using KanoruTest::Text;

std::vector<std::wstring> SplitList(const std::wstring& list)
{
    std::vector<std::wstring> pieces;
    if (list.empty())
        return pieces;
    std::size_t start = 0;
    for (std::size_t comma; (comma = list.find(L", ", start)) != std::wstring::npos; start = comma + 2)
        pieces.push_back(list.substr(start, comma - start));
    pieces.push_back(list.substr(start));
    return pieces;
}

} // namespace

TEST(CommandTable, NumbersIdsAndCategoriesAreTheFixedOnes)
{
    const auto table = CommandTable();
    ASSERT_EQ(table.size(), 149u);

    std::vector<int> perCategory(CommandCategories().size());
    std::set<int> numbers;
    int previousCategory = 0;
    for (const SCommandRow& row : table) {
        EXPECT_EQ(row.id, CommandIdBase + row.command) << row.command;
        EXPECT_TRUE(numbers.insert(row.command).second) << row.command << " repeats";
        // Category by category: a category never comes back.
        EXPECT_GE(row.category, previousCategory) << row.command;
        previousCategory = row.category;
        ++perCategory[static_cast<std::size_t>(row.category)];
    }
    EXPECT_EQ(perCategory, (std::vector<int>{24, 13, 25, 20, 30, 26, 11}));
    std::set<int> expected;
    for (int number = 0; number <= 153; ++number)
        if (number != 42 && number != 76 && number != 77 && number != 78 && number != 96)
            expected.insert(number);
    EXPECT_EQ(numbers, expected);
    EXPECT_EQ(CommandIdBase, 0xF800);

    std::vector<std::wstring> captions;
    for (const SCommandCategory& category : CommandCategories())
        captions.push_back(Text(SubmenuCaption(category)));
    EXPECT_EQ(captions, (std::vector<std::wstring>{L"ファイル(&F)", L"編集(&E)", L"画像(&I)", L"フィルタ(&T)",
                                                   L"リスト(&L)", L"設定(&C)", L"ヘルプ(&H)"}));
}

TEST(CommandTable, NamesAreUniqueAndAgreeWithTheMenuTexts)
{
    CKeyConfig commands;
    RegisterCommands(commands);
    std::set<std::wstring> names;
    for (const SCommandRow& row : CommandTable()) {
        const std::wstring name = Text(commands.GetCommandName(row.command));
        EXPECT_TRUE(names.insert(name).second) << row.command << " repeats its name";
        EXPECT_EQ(commands.FindCommand(name), row.command);

        // Stripping "(&key)" from the menu text and putting the category in front gives the name.
        std::wstring menuText = Text(MenuText(row));
        const std::wstring suffix = std::wstring(L"(&") + row.menuKey + L")";
        ASSERT_GE(menuText.size(), suffix.size());
        ASSERT_EQ(menuText.substr(menuText.size() - suffix.size()), suffix) << row.command;
        menuText.resize(menuText.size() - suffix.size());
        EXPECT_EQ(std::wstring(CommandCategories()[static_cast<std::size_t>(row.category)].name) + L": " +
                      menuText,
                  name);
    }
    EXPECT_EQ(Text(commands.GetCommandName(CmdNewWindow)), L"ファイル: ウィンドウの新規作成");
    EXPECT_EQ(Text(MenuText(CommandTable()[0])), L"ウィンドウの新規作成(&N)");
    for (int unassigned : {42, 76, 77, 78, 96, 154, -1})
        EXPECT_EQ(Text(commands.GetCommandName(unassigned)), L"") << unassigned;
    EXPECT_EQ(commands.FindCommand(L"(未割り当て)"), -1);
}

TEST(CommandTable, TheDefaultsBindNinetySixKeysOnNinetyFourCommands)
{
    HotKeySetting setting;
    setting.BindKeyList(CmdExit, L"F3"); // gone after the reset
    ResetKeyConfigToDefaults(setting);

    int keyTexts = 0;
    int commandsWithKeys = 0;
    std::map<std::wstring, int> owners;
    std::vector<int> twoKeys;
    for (const SCommandRow& row : CommandTable()) {
        const std::vector<std::wstring> defaults = SplitList(row.defaultKeys);
        for (const std::wstring& key : defaults) {
            EXPECT_NE(Brivox::ParseHotKey(key.c_str()).key, -1) << "cannot parse " << row.command;
            EXPECT_TRUE(owners.emplace(key, row.command).second) << "a key of two commands: " << row.command;
        }
        keyTexts += static_cast<int>(defaults.size());
        commandsWithKeys += defaults.empty() ? 0 : 1;
        if (defaults.size() == 2)
            twoKeys.push_back(row.command);
        // What is bound is exactly the table's keys, in hot-key order.
        EXPECT_EQ(SplitList(Text(setting.GetKeysText(row.command))).size(), defaults.size()) << row.command;
    }
    EXPECT_EQ(keyTexts, 96);
    EXPECT_EQ(commandsWithKeys, 94);
    EXPECT_EQ(twoKeys, (std::vector<int>{CmdZoomOut, CmdZoomIn}));
    EXPECT_EQ(Text(setting.GetKeysText(CmdZoomOut)), L"Ctrl+Num -, Ctrl+ホイール(上)");
    EXPECT_EQ(Text(setting.GetKeysText(CmdZoomIn)), L"Ctrl+Num +, Ctrl+ホイール(下)");
    EXPECT_EQ(Text(setting.GetKeysText(CmdExit)), L"");

    // Every bound hot key belongs to the command whose default it is.
    int bound = 0;
    for (int key = 0; key < SHotKey::KeyCount; ++key)
        for (int modifiers = 0; modifiers < 16; ++modifiers)
            if (const int command = setting.FindCommand(key, modifiers); command != -1) {
                ++bound;
                EXPECT_EQ(owners[Text(Brivox::FormatHotKey(key, modifiers))], command);
            }
    EXPECT_EQ(bound, 96);
    EXPECT_EQ(setting.FindCommand(67, 0), CmdNext);
    EXPECT_EQ(setting.FindCommand(13, SHotKey::Ctrl), CmdNewWindow);
    EXPECT_EQ(setting.FindCommand(54, SHotKey::Alt | SHotKey::Shift), CmdToggleFullScreenMode);
}

TEST(CommandTable, MenuGroupsGiveThirtySevenSeparators)
{
    std::vector<int> separators(CommandCategories().size());
    int previousCategory = -1;
    for (const SCommandRow& row : CommandTable()) {
        const bool opensSubmenu = row.category != previousCategory;
        previousCategory = row.category;
        if (opensSubmenu)
            EXPECT_TRUE(row.startsGroup) << row.command;
        else if (row.startsGroup)
            ++separators[static_cast<std::size_t>(row.category)];
    }
    EXPECT_EQ(separators, (std::vector<int>{5, 3, 4, 12, 5, 5, 3}));
}
