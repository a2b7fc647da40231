#include "viewer/main_menu.h"

#include "viewer/command_table.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::wstring ItemText(HMENU menu, UINT position)
{
    wchar_t text[256] = {};
    ::GetMenuStringW(menu, position, text, 256, MF_BYPOSITION);
    return text;
}

} // namespace

TEST(MainMenu, SevenSubmenusOfItemsAndSeparators)
{
    const CMainMenu menu;
    const HMENU bar = menu.GetHandle();
    const struct
    {
        const wchar_t* caption;
        int items;
        int separators;
    } expected[] = {
        {L"ファイル(&F)", 24, 5}, {L"編集(&E)", 13, 3}, {L"画像(&I)", 25, 4},   {L"フィルタ(&T)", 20, 12},
        {L"リスト(&L)", 30, 5},   {L"設定(&C)", 26, 5}, {L"ヘルプ(&H)", 11, 3},
    };
    ASSERT_EQ(7, ::GetMenuItemCount(bar));
    int commands = 0;
    for (int i = 0; i < 7; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(expected[i].caption, ItemText(bar, static_cast<UINT>(i)));
        const HMENU submenu = ::GetSubMenu(bar, i);
        const int count = ::GetMenuItemCount(submenu);
        int separators = 0;
        for (int j = 0; j < count; ++j) {
            const UINT id = ::GetMenuItemID(submenu, j);
            if (id == 0) {
                ++separators;
                EXPECT_NE(0, j);
                EXPECT_NE(count - 1, j);
                EXPECT_NE(0u, ::GetMenuItemID(submenu, j - 1)) << "two separators in a row";
            } else {
                ++commands;
                EXPECT_EQ(0u, ::GetMenuState(submenu, static_cast<UINT>(j), MF_BYPOSITION) &
                                  (MF_GRAYED | MF_CHECKED));
            }
        }
        EXPECT_EQ(expected[i].items, count - separators);
        EXPECT_EQ(expected[i].separators, separators);
    }
    EXPECT_EQ(149, commands);
    EXPECT_EQ(L"ウィンドウの新規作成(&N)", ItemText(::GetSubMenu(bar, 0), 0));
    wchar_t exit[64] = {};
    ::GetMenuStringW(bar, CommandIdBase + CmdExit, exit, 64, MF_BYCOMMAND);
    EXPECT_EQ(std::wstring(L"終了(&X)"), exit);
}
