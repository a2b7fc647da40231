#include "settings_dialogs/config_dialog_test_ids.h"
#include "settings_dialogs/config_dialog_test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace ConfigDialogTest;
using Brivox::CConfig;
using Kind = CConfigDialogTabBase::BindingKind;

namespace {

const CConfigDialogTabBase::SBinding TestBindings[] = {
    {Kind::IntegerEdit, L"Int", {IDC_TEST_INT}},
    {Kind::DecimalEdit, L"Real", {IDC_TEST_REAL}},
    {Kind::EscapedText, L"Text", {IDC_TEST_TEXT}},
    {Kind::RawText, L"Raw", {IDC_TEST_RAW}},
    {Kind::SizePair, L"Size", {IDC_TEST_WIDTH, IDC_TEST_HEIGHT}},
    {Kind::RadioIndex, L"Radio", {IDC_TEST_RADIO1, IDC_TEST_RADIO2, IDC_TEST_RADIO3}},
    {Kind::ComboIndex, L"Combo", {IDC_TEST_COMBO}},
    {Kind::List, L"List", {IDC_TEST_LIST}},
    {Kind::Check, L"Check", {IDC_TEST_CHECK}},
};

// A page that joins the dialog by its table alone; its drop-down list is filled as it opens.
class BindingTestPage : public CConfigDialogTabBase
{
public:
    BindingTestPage() : CConfigDialogTabBase(IDD_BINDING_TEST_PAGE, TestBindings) {}

    bool HookMessage(Brivox::SMessage& message) override
    {
        if (message.message == WM_INITDIALOG)
            for (const wchar_t* entry : {L"零", L"壱", L"弐"})
                Item(IDC_TEST_COMBO).ComboAddString(entry);
        return CConfigDialogTabBase::HookMessage(message);
    }
};

class BindingTestDialog : public CConfigDialog
{
public:
    using CConfigDialog::CConfigDialog;

protected:
    std::vector<SPage> CreatePages() override { return {{L"試験", std::make_shared<BindingTestPage>()}}; }
};

CConfig TestConfig()
{
    CConfig config;
    config.SetInt(L"Int", 5);
    config.SetDouble(L"Real", 200.10000610351562);
    config.SetString(L"Text", L"C:\\画像\\");
    config.SetRaw(L"Raw", L"a\\nb");
    config.SetSize(L"Size", SIZE{400, 300});
    config.SetInt(L"Radio", 2);
    config.SetInt(L"Combo", 1);
    config.SetString(L"List", L";;a;");
    config.SetBool(L"Check", true);
    return config;
}

bool Checked(CConfigDialog& dialog, int itemId)
{
    return PageItem(dialog, 0, itemId).IsChecked();
}

} // namespace

TEST(DesktopInputConfigDialogBindings, LoadFillsEveryKindOfControlAndOkWithoutChangesStoresTheSameTexts)
{
    CConfig config = TestConfig();
    const std::wstring before = Serialized(config);
    BindingTestDialog dialog(config, nullptr, 0);
    RunDialog(dialog, {[](CConfigDialog& d, HWND hwnd) {
                  EXPECT_EQ(Text(PageItem(d, 0, IDC_TEST_INT)), L"5");
                  EXPECT_EQ(Text(PageItem(d, 0, IDC_TEST_REAL)), L"200.1");
                  EXPECT_EQ(Text(PageItem(d, 0, IDC_TEST_TEXT)), L"C:\\画像\\");
                  EXPECT_EQ(Text(PageItem(d, 0, IDC_TEST_RAW)), L"a\\nb");
                  EXPECT_EQ(Text(PageItem(d, 0, IDC_TEST_WIDTH)), L"400");
                  EXPECT_EQ(Text(PageItem(d, 0, IDC_TEST_HEIGHT)), L"300");
                  EXPECT_FALSE(Checked(d, IDC_TEST_RADIO1));
                  EXPECT_FALSE(Checked(d, IDC_TEST_RADIO2));
                  EXPECT_TRUE(Checked(d, IDC_TEST_RADIO3));
                  EXPECT_EQ(PageItem(d, 0, IDC_TEST_COMBO).ComboGetCurSel(), 1);
                  const std::vector<Brivox::String> entries =
                      PageItem(d, 0, IDC_TEST_LIST).ListBoxGetStrings();
                  ASSERT_EQ(entries.size(), 1u);
                  EXPECT_EQ(std::wstring(entries[0].CStr()), L"a");
                  EXPECT_TRUE(Checked(d, IDC_TEST_CHECK));
                  PostToDialog(hwnd, IDOK);
              }});
    // Only the list loses its empty pieces.
    CConfig expected = TestConfig();
    expected.SetString(L"List", L"a");
    EXPECT_EQ(Serialized(config), Serialized(expected));
}

TEST(DesktopInputConfigDialogBindings, SaveReadsLeadingNumbersAndStoresNoneForEmptyChoices)
{
    const struct
    {
        const wchar_t* typed;
        int number;
    } cases[] = {
        {L"007", 7},
        {L"12abc", 12},
        {L"x", 0},
        {L"-3", -3},
    };
    for (const auto& c : cases) {
        CConfig config = TestConfig();
        BindingTestDialog dialog(config, nullptr, 0);
        RunDialog(dialog, {[&](CConfigDialog& d, HWND hwnd) {
                      PageItem(d, 0, IDC_TEST_INT).SetText(c.typed);
                      PageItem(d, 0, IDC_TEST_WIDTH).SetText(c.typed);
                      PageItem(d, 0, IDC_TEST_REAL).SetText(c.typed);
                      for (const int radio : {IDC_TEST_RADIO1, IDC_TEST_RADIO2, IDC_TEST_RADIO3})
                          PageItem(d, 0, radio).SetChecked(false);
                      PageItem(d, 0, IDC_TEST_COMBO).ComboSetCurSel(-1);
                      PageItem(d, 0, IDC_TEST_LIST).ListBoxClear().ListBoxAddStrings({L"b", L"c"});
                      Click(PageItem(d, 0, IDC_TEST_CHECK));
                      PostToDialog(hwnd, IDOK);
                  }});
        EXPECT_EQ(config.GetInt(L"Int"), c.number) << c.typed;
        EXPECT_EQ(config.GetSize(L"Size").cx, c.number) << c.typed;
        EXPECT_EQ(config.GetSize(L"Size").cy, 300) << c.typed;
        EXPECT_EQ(config.GetDouble(L"Real"), c.number) << c.typed;
        EXPECT_EQ(config.GetInt(L"Radio"), 0) << c.typed;
        EXPECT_EQ(config.GetInt(L"Combo"), -1) << c.typed;
        EXPECT_EQ(std::wstring(config.GetRaw(L"List").CStr()), L"b;c") << c.typed;
        EXPECT_FALSE(config.GetBool(L"Check")) << c.typed;
    }
}
