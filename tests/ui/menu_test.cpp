#include "ui/menu.h"
#include "ui/ui_test_resources.h"
#include "ui/window_test_support.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

using Brivox::CMenuHandle;
using Brivox::String;
using Brivox::ToolStrip;
using Brivox::ToolStripItem;
using Brivox::ToolStripMenuItem;
using Brivox::ToolStripSeparator;
using Brivox::ToolStripTextItem;

namespace {

constexpr int OpenId = 0xF800;
constexpr int CloseId = 0xF801;
constexpr int RecentId = 0xF802;
constexpr int ZoomId = 0xF803;
constexpr int MissingId = 0xF8FF;

// ファイル: 開く, separator, 閉じる, 最近使ったファイル > 履歴1; 表示 (with a character outside
// code page 932): 拡大.
class TwoLevelMenu
{
public:
    TwoLevelMenu()
    {
        auto& bar = strip.GetItems();
        bar.Add(new ToolStripMenuItem(L"ファイル(&F)"));
        bar.Add(new ToolStripMenuItem(L"表示\u00E9(&V)"));
        auto& file = static_cast<ToolStripMenuItem*>(bar.GetItem(0))->GetItems();
        file.Add(new ToolStripTextItem(OpenId, L"開く(&O)"));
        file.Add(new ToolStripSeparator);
        file.Add(new ToolStripTextItem(CloseId, L"閉じる"));
        file.Add(new ToolStripMenuItem(L"最近使ったファイル"));
        static_cast<ToolStripMenuItem*>(file.GetItem(3))
            ->GetItems()
            .Add(new ToolStripTextItem(RecentId, L"履歴1"));
        static_cast<ToolStripMenuItem*>(bar.GetItem(1))
            ->GetItems()
            .Add(new ToolStripTextItem(ZoomId, L"拡大"));
    }

    HMENU Bar() const { return strip.GetHandle(); }
    HMENU File() const { return ::GetSubMenu(Bar(), 0); }

    ToolStrip strip;
};

std::wstring WideItemText(HMENU menu, int position)
{
    wchar_t text[128] = {};
    ::GetMenuStringW(menu, position, text, 128, MF_BYPOSITION);
    return text;
}

UINT ItemType(HMENU menu, int position)
{
    MENUITEMINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_FTYPE;
    ::GetMenuItemInfoW(menu, position, TRUE, &info);
    return info.fType;
}

UINT ItemState(HMENU menu, int commandId)
{
    return ::GetMenuState(menu, commandId, MF_BYCOMMAND);
}

} // namespace

TEST(ToolStripMenu, ATwoLevelTreeBecomesMenusInTheOrderOfTheAddCalls)
{
    TwoLevelMenu menu;
    const HMENU bar = menu.Bar();
    ASSERT_EQ(::GetMenuItemCount(bar), 2);
    EXPECT_EQ(WideItemText(bar, 0), L"ファイル(&F)");
    EXPECT_EQ(WideItemText(bar, 1), L"表示\u00E9(&V)");

    const HMENU file = menu.File();
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file, static_cast<ToolStripMenuItem*>(menu.strip.GetItems().GetItem(0))->GetPopup());
    ASSERT_EQ(::GetMenuItemCount(file), 4);
    EXPECT_EQ(::GetMenuItemID(file, 0), static_cast<UINT>(OpenId));
    EXPECT_EQ(WideItemText(file, 0), L"開く(&O)");
    EXPECT_TRUE(ItemType(file, 1) & MFT_SEPARATOR);
    EXPECT_FALSE(ItemType(file, 2) & MFT_SEPARATOR);
    EXPECT_EQ(::GetMenuItemID(file, 2), static_cast<UINT>(CloseId));
    EXPECT_EQ(WideItemText(file, 3), L"最近使ったファイル");

    const HMENU recent = ::GetSubMenu(file, 3);
    ASSERT_NE(recent, nullptr);
    ASSERT_EQ(::GetMenuItemCount(recent), 1);
    EXPECT_EQ(::GetMenuItemID(recent, 0), static_cast<UINT>(RecentId));
    EXPECT_EQ(WideItemText(recent, 0), L"履歴1");

    const HMENU view = ::GetSubMenu(bar, 1);
    ASSERT_EQ(::GetMenuItemCount(view), 1);
    EXPECT_EQ(::GetMenuItemID(view, 0), static_cast<UINT>(ZoomId));

    // The collections mirror the menus, item for item.
    auto& fileItems = static_cast<ToolStripMenuItem*>(menu.strip.GetItems().GetItem(0))->GetItems();
    ASSERT_EQ(fileItems.GetCount(), 4);
    const int kinds[] = {ToolStripItem::KindCommand, ToolStripItem::KindSeparator, ToolStripItem::KindCommand,
                         ToolStripItem::KindSubmenu};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(fileItems.GetItem(i)->GetKind(), kinds[i]) << i;
    // Made enabled: nothing is greyed.
    EXPECT_FALSE(ItemState(bar, OpenId) & MF_GRAYED);
}

TEST(ToolStripMenu, AnItemMadeDisabledIsGreyed)
{
    ToolStrip strip;
    auto* command = new ToolStripTextItem(OpenId, L"開く");
    command->enabled = false;
    strip.GetItems().Add(command);
    EXPECT_TRUE(ItemState(strip.GetHandle(), OpenId) & MF_GRAYED);
}

TEST(MenuHandle, CheckEnableAndTextRoundTripByIdInsideSubmenus)
{
    TwoLevelMenu menu;
    const CMenuHandle handle(menu.Bar());
    for (int id : {OpenId, RecentId, ZoomId}) {
        handle.CheckItem(id, true);
        EXPECT_TRUE(ItemState(menu.Bar(), id) & MF_CHECKED) << id;
        handle.CheckItem(id, false);
        EXPECT_FALSE(ItemState(menu.Bar(), id) & MF_CHECKED) << id;

        handle.EnableItem(id, false);
        EXPECT_TRUE(ItemState(menu.Bar(), id) & MF_GRAYED) << id;
        handle.EnableItem(id, true);
        EXPECT_FALSE(ItemState(menu.Bar(), id) & MF_GRAYED) << id;

        const String renamed = String(L"名前") + Brivox::FormatString(L"%d", id);
        handle.SetItemText(id, renamed);
        EXPECT_EQ(handle.GetItemText(id), renamed) << id;
    }
    EXPECT_EQ(handle.GetItemText(CloseId), String(L"閉じる"));
    // Checking one item leaves its state otherwise alone.
    handle.EnableItem(CloseId, false);
    handle.CheckItem(CloseId, true);
    EXPECT_TRUE(ItemState(menu.Bar(), CloseId) & MF_GRAYED);
    EXPECT_TRUE(ItemState(menu.Bar(), CloseId) & MF_CHECKED);
}

TEST(MenuHandle, SetItemTextLosesCharactersOutsideTheAnsiCodePageWhileTheBarKeepsThem)
{
    TwoLevelMenu menu;
    EXPECT_EQ(WideItemText(menu.Bar(), 1), L"表示\u00E9(&V)");
    const CMenuHandle handle(menu.Bar());
    handle.SetItemText(ZoomId, L"拡大\u00E9");
    const std::wstring text = WideItemText(::GetSubMenu(menu.Bar(), 1), 0);
    EXPECT_EQ(text.find(L'\u00E9'), std::wstring::npos) << "code page 932 has no e acute";
    EXPECT_EQ(text.substr(0, 2), L"拡大");
}

TEST(MenuHandle, TheTextOfAMissingIdIsEmpty)
{
    TwoLevelMenu menu;
    EXPECT_EQ(CMenuHandle(menu.Bar()).GetItemText(MissingId), String());
}

TEST(MenuHandle, LoadAndDestroyAMenuResource)
{
    CMenuHandle handle;
    handle.Load(IDM_TEST_MENU);
    ASSERT_TRUE(::IsMenu(handle.GetHandle()));
    EXPECT_EQ(handle.GetItemText(IDM_TEST_ITEM), String(L"項目"));
    const HMENU loaded = handle.GetHandle();
    handle.Destroy();
    EXPECT_FALSE(::IsMenu(loaded));
    EXPECT_EQ(handle.GetHandle(), nullptr);
}

TEST(ToolStripMenu, DestroyingTheStripAfterItsWindowIsGoneIsHarmless)
{
    auto menu = std::make_unique<TwoLevelMenu>();
    const HMENU bar = menu->Bar();
    const HMENU file = menu->File();
    {
        TestWindow test;
        QuietWindowParameter parameter;
        parameter.style = WS_OVERLAPPEDWINDOW;
        parameter.menu = bar;
        test.window.Create(parameter);
        ASSERT_EQ(::GetMenu(test.Handle()), bar);
        test.window.Destroy();
    }
    // The window took its menu bar and the pop-ups with it.
    EXPECT_FALSE(::IsMenu(bar));
    EXPECT_FALSE(::IsMenu(file));
    menu.reset();
}
