#include "support/window_test_bed.h"
#include "ui/controls_dialog.h"
#include "ui/ctrl.h"
#include "ui/radio_button_group.h"

#include "foundation/string.h"
#include "foundation/string_builder.h"

#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>
#include <string>
#include <thread>
#include <vector>

using Brivox::CCtrl;
using Brivox::String;

namespace {

std::wstring Wide(const String& text)
{
    return text.CStr();
}

std::string CodePage932(const std::wstring& text)
{
    const int size = ::WideCharToMultiByte(932, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(932, 0, text.c_str(), -1, bytes.data(), size, nullptr, nullptr);
    bytes.resize(bytes.size() - 1);
    return bytes;
}

std::wstring WideWindowText(HWND hwnd)
{
    wchar_t text[256] = {};
    ::GetWindowTextW(hwnd, text, 256);
    return text;
}

std::string NarrowWindowText(HWND hwnd)
{
    char text[256] = {};
    ::GetWindowTextA(hwnd, text, 256);
    return text;
}

std::wstring ListBoxTextW(HWND list, int index)
{
    wchar_t text[256] = {};
    ::SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text));
    return text;
}

std::wstring ComboTextW(HWND combo, int index)
{
    wchar_t text[256] = {};
    ::SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text));
    return text;
}

std::wstring ListViewTextW(HWND list, int item, int subItem)
{
    wchar_t text[256] = {};
    LVITEMW record{};
    record.iSubItem = subItem;
    record.pszText = text;
    record.cchTextMax = 256;
    ::SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&record));
    return text;
}

std::vector<std::wstring> Items(const CCtrl& list)
{
    std::vector<std::wstring> items;
    for (const String& item : list.ListBoxGetStrings())
        items.push_back(Wide(item));
    return items;
}

} // namespace

TEST(ResourceTexts, ReadBackWideAndAsCodePage932)
{
    ASSERT_EQ(::GetACP(), 932u) << "the tests run with the Japanese code page";
    ControlsDialog dialog;
    const struct
    {
        int id;
        const wchar_t* text;
    } cases[] = {
        {0, L"コントロールの試験"},
        {IDC_TEXT, L"一行目の説明\r\n二行目の説明"},
        {IDC_CHECK, L"画像を表示する(&S)"},
        {IDC_RADIO2, L"右から左"},
        {IDC_BUTTON, L"適用"},
        {IDCANCEL, L"キャンセル"},
    };
    for (const auto& c : cases) {
        const HWND hwnd = c.id == 0 ? dialog.Handle() : dialog.Item(c.id).GetHandle();
        EXPECT_EQ(WideWindowText(hwnd), c.text) << c.id;
        EXPECT_EQ(NarrowWindowText(hwnd), CodePage932(c.text)) << c.id;
        EXPECT_EQ(Wide(CCtrl(hwnd).GetText()), c.text) << c.id;
    }
    EXPECT_EQ(NarrowWindowText(dialog.Item(IDCANCEL).GetHandle()),
              "\x83\x4C\x83\x83\x83\x93\x83\x5A\x83\x8B");
}

TEST(CommonControls, TheVersion6AssemblyIsLoaded)
{
    // Wine's DllGetVersion answers 5.81 for both; the side-by-side folder tells them apart.
    const HMODULE module = ::GetModuleHandleW(L"comctl32.dll");
    ASSERT_NE(module, nullptr);
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(module, path, MAX_PATH);
    std::wstring lower(path);
    std::transform(lower.begin(), lower.end(), lower.begin(), [](wchar_t ch) { return std::towlower(ch); });
    EXPECT_NE(lower.find(L"\\winsxs\\"), std::wstring::npos) << lower;
}

TEST(ControlItems, JapaneseItemsRoundTripThroughListBoxComboBoxAndListView)
{
    ControlsDialog dialog;
    const CCtrl list = dialog.Item(IDC_LIST);
    list.ListBoxAddStrings({L"画像フォルダ", L"書庫"}).ListBoxInsertString(0, L"先頭");
    EXPECT_EQ(list.ListBoxGetCount(), 3);
    EXPECT_EQ(Items(list), (std::vector<std::wstring>{L"先頭", L"画像フォルダ", L"書庫"}));
    EXPECT_EQ(ListBoxTextW(list.GetHandle(), 1), L"画像フォルダ");
    EXPECT_EQ(Wide(list.ListBoxGetText(7)), L"");
    list.ListBoxSetCurSel(2);
    EXPECT_EQ(Wide(list.ListBoxGetSelectedText()), L"書庫");

    const CCtrl combo = dialog.Item(IDC_COMBO);
    combo.ComboAddString(L"拡大").ComboAddString(L"縮小").ComboInsertString(0, L"等倍");
    EXPECT_EQ(ComboTextW(combo.GetHandle(), 0), L"等倍");
    EXPECT_EQ(ComboTextW(combo.GetHandle(), 2), L"縮小");
    combo.ComboSetCurSel(1);
    EXPECT_EQ(combo.ComboGetCurSel(), 1);

    const CCtrl view = dialog.Item(IDC_LISTVIEW);
    view.ListViewAddColumn(L"ファイル名", 120, 0).ListViewAddColumn(L"状態", 60, 1);
    EXPECT_EQ(view.ListViewAddItem(L"表紙.jpg", -1), 0);
    EXPECT_EQ(view.ListViewAddItem(L"二頁.png", -1), 1);
    view.ListViewSetItemText(1, 1, L"読込済");
    EXPECT_EQ(view.ListViewGetItemCount(), 2);
    EXPECT_EQ(Wide(view.ListViewGetItemText(0, 0)), L"表紙.jpg");
    EXPECT_EQ(Wide(view.ListViewGetItemText(1, 1)), L"読込済");
    EXPECT_EQ(ListViewTextW(view.GetHandle(), 1, 0), L"二頁.png");
    wchar_t title[64] = {};
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_FMT;
    column.pszText = title;
    column.cchTextMax = 64;
    ::SendMessageW(view.GetHandle(), LVM_GETCOLUMNW, 1, reinterpret_cast<LPARAM>(&column));
    EXPECT_EQ(std::wstring(title), L"状態");
    EXPECT_EQ(column.fmt & LVCFMT_JUSTIFYMASK, LVCFMT_CENTER);
}

TEST(ControlItems, DeletingTheSelectedItemSelectsTheSameIndexOrTheNewLast)
{
    ControlsDialog dialog;
    const CCtrl list = dialog.Item(IDC_LIST);
    const struct
    {
        int selected;
        std::vector<std::wstring> left;
        int selectedAfter;
    } cases[] = {
        {0, {L"b", L"c"}, 0},
        {1, {L"a", L"c"}, 1},
        {2, {L"a", L"b"}, 1},
        {-1, {L"a", L"b", L"c"}, -1},
    };
    for (const auto& c : cases) {
        list.ListBoxClear().ListBoxAddStrings({L"a", L"b", L"c"}).ListBoxSetCurSel(c.selected);
        list.ListBoxDeleteSelected();
        EXPECT_EQ(Items(list), c.left) << c.selected;
        EXPECT_EQ(list.ListBoxGetCurSel(), c.selectedAfter) << c.selected;
    }
}

TEST(ControlItems, PasswordModeHidesTheTextBehindStarsAndBack)
{
    ControlsDialog dialog;
    const CCtrl edit = dialog.Item(IDC_EDIT);
    edit.SetText(L"秘密").SetPasswordMode(true);
    EXPECT_TRUE(::GetWindowLongA(edit.GetHandle(), GWL_STYLE) & ES_PASSWORD);
    EXPECT_EQ(::SendMessageA(edit.GetHandle(), EM_GETPASSWORDCHAR, 0, 0), '*');
    edit.SetPasswordMode(false);
    EXPECT_FALSE(::GetWindowLongA(edit.GetHandle(), GWL_STYLE) & ES_PASSWORD);
    EXPECT_EQ(::SendMessageA(edit.GetHandle(), EM_GETPASSWORDCHAR, 0, 0), 0);
    EXPECT_EQ(Wide(edit.GetText()), L"秘密");
}

TEST(RadioButtonGroup, TheFirstTickedButtonCountsAndAnIndexOutsideChangesNothing)
{
    ControlsDialog dialog;
    Brivox::RadioButtonGroup group(dialog.Handle());
    group.Add(IDC_RADIO1).Add(IDC_RADIO2).Add(IDC_RADIO3);
    EXPECT_EQ(group.GetSelected(), 0) << "none ticked";
    group.Select(2);
    EXPECT_EQ(group.GetSelected(), 2);
    EXPECT_FALSE(dialog.Item(IDC_RADIO1).IsChecked());
    for (const int outside : {3, -1}) {
        group.Select(outside);
        EXPECT_EQ(group.GetSelected(), 2) << outside;
        EXPECT_TRUE(dialog.Item(IDC_RADIO3).IsChecked()) << outside;
    }
    Brivox::RadioButtonGroup pair(dialog.window, IDC_RADIO1, IDC_RADIO2);
    EXPECT_EQ(pair.GetSelected(), 0);
    pair.Select(1);
    EXPECT_EQ(pair.GetSelected(), 1);
    EXPECT_FALSE(dialog.Item(IDC_RADIO1).IsChecked());
}

TEST(ListViewScrollToSelection, TargetIsAQuarterPageFromTheEdgeItApproached)
{
    const struct
    {
        int top, perPage, selected, count, target;
    } cases[] = {
        // Below the first quarter of the page: a quarter page before the bottom edge.
        {0, 20, 10, 100, 10 + 15},
        {0, 20, 6, 100, 6 + 15},
        // Within the first quarter, or above the page: a quarter page above it.
        {0, 20, 5, 100, 0},
        {40, 20, 30, 100, 25},
        {40, 20, 45, 100, 40},
        {0, 4, 2, 100, 2 + 3},
        // Never past either end, where the list would refuse to scroll at all.
        {80, 20, 98, 100, 99},
        {0, 20, 2, 100, 0},
        // Without a selection nothing is to be scrolled.
        {10, 20, -1, 100, -1},
        {0, 20, 0, 0, -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Brivox::ListViewScrollTarget(c.top, c.perPage, c.selected, c.count), c.target)
            << c.top << " " << c.perPage << " " << c.selected;
}

TEST(ListViewScrollToSelection, WithoutASelectionTheListStaysAndWithOneTheSelectionComesIntoView)
{
    ControlsDialog dialog;
    const CCtrl view = dialog.Item(IDC_LISTVIEW);
    view.ListViewAddColumn(L"名前", 100, 0);
    for (int i = 0; i < 100; ++i)
        view.ListViewAddItem(Brivox::IntToString(i), -1);
    const HWND hwnd = view.GetHandle();
    const int perPage = static_cast<int>(::SendMessageA(hwnd, LVM_GETCOUNTPERPAGE, 0, 0));
    ASSERT_GT(perPage, 0);
    ASSERT_LT(perPage, 50);
    ::SendMessageA(hwnd, LVM_ENSUREVISIBLE, 60, FALSE);
    const int top = static_cast<int>(::SendMessageA(hwnd, LVM_GETTOPINDEX, 0, 0));
    ASSERT_GT(top, 0);

    view.ListViewScrollToSelection();
    EXPECT_EQ(::SendMessageA(hwnd, LVM_GETTOPINDEX, 0, 0), top);

    // The last item: the target past the end is taken as the last item.
    view.ListViewSelectItem(99, true);
    EXPECT_EQ(view.ListViewGetSelectedIndex(), 99);
    view.ListViewScrollToSelection();
    const int newTop = static_cast<int>(::SendMessageA(hwnd, LVM_GETTOPINDEX, 0, 0));
    EXPECT_LE(newTop, 99);
    EXPECT_GT(newTop + perPage, 99);

    view.ListViewSelectItem(99, false);
    EXPECT_EQ(view.ListViewGetSelectedIndex(), -1);
}

TEST(ControlItems, ProgressReportsArePostedSoThatAnyThreadMayMakeThem)
{
    ControlsDialog dialog;
    const CCtrl progress = dialog.Item(IDC_PROGRESS);
    std::thread([progress] { progress.ProgressSetRange(0, 300).ProgressSetPos(250); }).join();
    // Posted: they arrive once the dialog's thread serves its queue.
    EXPECT_TRUE(
        KanoruTest::PumpUntil([&] { return ::SendMessageA(progress.GetHandle(), PBM_GETPOS, 0, 0) == 250; }));
    EXPECT_EQ(::SendMessageA(progress.GetHandle(), PBM_GETRANGE, FALSE, 0), 300);
}

TEST(ControlItems, AnUpDownTakesItsFirstValueAsTheUpperLimitAndOneStep)
{
    ControlsDialog dialog;
    const CCtrl upDown = dialog.Item(IDC_UPDOWN);
    upDown.UpDownSetRange(100, 1).UpDownSetStep(5);
    int lower = 0;
    int upper = 0;
    ::SendMessageA(upDown.GetHandle(), UDM_GETRANGE32, reinterpret_cast<WPARAM>(&lower),
                   reinterpret_cast<LPARAM>(&upper));
    EXPECT_EQ(lower, 1);
    EXPECT_EQ(upper, 100);
    UDACCEL accel[2] = {};
    EXPECT_EQ(::SendMessageA(upDown.GetHandle(), UDM_GETACCEL, 2, reinterpret_cast<LPARAM>(accel)), 1);
    EXPECT_EQ(accel[0].nSec, 0u);
    EXPECT_EQ(accel[0].nInc, 5u);
}
