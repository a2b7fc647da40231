#include "ui/control_binding.h"
#include "ui/controls_dialog.h"

#include "foundation/config.h"
#include "foundation/encoding.h"
#include "foundation/exception.h"

#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using Brivox::CConfig;
using Brivox::String;

namespace {

std::wstring Wide(const String& text)
{
    return text.CStr();
}

std::wstring Raw(const CConfig& config, const wchar_t* key)
{
    return Wide(config.GetRaw(key));
}

} // namespace

TEST(ControlBinding, ListsSplitIntoItemsAndJoinBackKeepingEmptyItems)
{
    ControlsDialog dialog;
    const Brivox::CCtrl list = dialog.Item(IDC_LIST);
    CConfig config;
    const struct
    {
        const wchar_t* stored;
        std::vector<std::wstring> items;
    } applied[] = {
        {L"a;;b;", {L"a", L"b"}},
        {L";画像;書庫", {L"画像", L"書庫"}},
        {L"", {}},
    };
    for (const auto& c : applied) {
        config.SetString(L"List", c.stored);
        Brivox::ApplyListToControl(config.BindString(L"List"), list);
        std::vector<std::wstring> items;
        for (const String& item : list.ListBoxGetStrings())
            items.push_back(Wide(item));
        EXPECT_EQ(items, c.items) << c.stored;
    }

    list.ListBoxClear().ListBoxAddStrings({L"a", L"", L"b"});
    Brivox::ReadListFromControl(config.BindString(L"List"), list);
    EXPECT_EQ(Raw(config, L"List"), L"a;;b");
}

TEST(ControlBinding, NumbersInEditBoxes)
{
    ControlsDialog dialog;
    const Brivox::CCtrl edit = dialog.Item(IDC_EDIT);
    CConfig config;

    // Reals show in the display form; the store keeps its own.
    const struct
    {
        double value;
        const wchar_t* shown;
        const wchar_t* stored;
    } reals[] = {
        {2.5, L"2.5", L"2.5"},
        {3.0, L"3", L"3.0"},
        {0.1768, L"0.1768", L"0.1768"},
    };
    for (const auto& c : reals) {
        config.SetDouble(L"Real", c.value);
        Brivox::ApplyDoubleToControl(config.BindDouble(L"Real"), edit);
        EXPECT_EQ(Wide(edit.GetText()), c.shown);
        config.Remove(L"Real");
        Brivox::ReadDoubleFromControl(config.BindDouble(L"Real"), edit);
        EXPECT_EQ(Raw(config, L"Real"), c.stored);
    }

    const struct
    {
        const wchar_t* typed;
        int read;
    } integers[] = {{L"12abc", 12}, {L"abc", 0}, {L"", 0}, {L" -7", -7}};
    for (const auto& c : integers) {
        edit.SetText(c.typed);
        Brivox::ReadIntFromEdit(config.BindInt(L"Int"), edit);
        EXPECT_EQ(config.GetInt(L"Int"), c.read) << c.typed;
    }
    config.SetInt(L"Int", -5);
    Brivox::ApplyIntToEdit(config.BindInt(L"Int"), edit);
    EXPECT_EQ(Wide(edit.GetText()), L"-5");
}

TEST(ControlBinding, TextsCheckBoxesTrackBarsAndRadioGroupsRoundTrip)
{
    ControlsDialog dialog;
    CConfig config;

    const Brivox::CCtrl edit = dialog.Item(IDC_EDIT);
    config.SetString(L"Folder", L"C:\\画像");
    Brivox::ApplyStringToControl(config.BindString(L"Folder"), edit);
    EXPECT_EQ(Wide(edit.GetText()), L"C:\\画像");
    edit.SetText(L"D:\\書庫");
    Brivox::ReadStringFromControl(config.BindString(L"Folder"), edit);
    EXPECT_EQ(Raw(config, L"Folder"), L"D:\\\\書庫");
    String copy;
    Brivox::CopyString(config.BindString(L"Folder"), copy);
    EXPECT_EQ(Wide(copy), L"D:\\書庫");

    const Brivox::CCtrl check = dialog.Item(IDC_CHECK);
    for (const bool value : {true, false}) {
        config.SetBool(L"Flag", value);
        Brivox::ApplyBoolToCheckBox(config.BindBool(L"Flag"), check);
        EXPECT_EQ(check.IsChecked(), value);
        check.SetChecked(!value);
        Brivox::ReadBoolFromCheckBox(config.BindBool(L"Flag"), check);
        EXPECT_EQ(config.GetBool(L"Flag"), !value);
    }

    const Brivox::CCtrl track = dialog.Item(IDC_TRACKBAR);
    track.TrackBarSetRange(0, 200);
    config.SetInt(L"Track", 140);
    Brivox::ApplyIntToTrackBar(config.BindInt(L"Track"), track);
    EXPECT_EQ(::SendMessageA(track.GetHandle(), TBM_GETPOS, 0, 0), 140);
    track.TrackBarSetPos(35);
    Brivox::ReadIntFromTrackBar(config.BindInt(L"Track"), track);
    EXPECT_EQ(config.GetInt(L"Track"), 35);

    Brivox::RadioButtonGroup group(dialog.Handle());
    group.Add(IDC_RADIO1).Add(IDC_RADIO2).Add(IDC_RADIO3);
    config.SetInt(L"Radio", 1);
    group.Select(config.BindInt(L"Radio").Get());
    EXPECT_TRUE(dialog.Item(IDC_RADIO2).IsChecked());
    group.Select(2);
    Brivox::ReadIntFromRadioGroup(config.BindInt(L"Radio"), group);
    EXPECT_EQ(config.GetInt(L"Radio"), 2);
}

TEST(ControlBinding, AMissingKeyThrowsTheStoresTextAndLeavesTheControl)
{
    ControlsDialog dialog;
    const Brivox::CCtrl edit = dialog.Item(IDC_EDIT);
    edit.SetText(L"そのまま");
    CConfig config;
    try {
        Brivox::ApplyIntToEdit(config.BindInt(L"JpegQuality"), edit);
        ADD_FAILURE() << "no exception";
    } catch (const Brivox::RuntimeException& error) {
        EXPECT_EQ(Wide(Brivox::FromApiTextA(error.what())),
                  L"コンフィグデータ 'JpegQuality' (数値)の読み込みに失敗しました");
    }
    EXPECT_EQ(Wide(edit.GetText()), L"そのまま");
    EXPECT_THROW(Brivox::ApplyListToControl(config.BindString(L"Absent"), dialog.Item(IDC_LIST)),
                 Brivox::RuntimeException);
}
