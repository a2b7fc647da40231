#include "ui/common_dialogs.h"

#include <gtest/gtest.h>

#include <string>

using Brivox::CColorDialog;
using Brivox::String;

namespace {

const COLORREF Unchanged = RGB(1, 2, 3);

// A dialog whose custom colours all hold a mark, to see which ones a text reaches.
void MarkCustomColors(CColorDialog& dialog)
{
    for (int i = 0; i < CColorDialog::CustomColorCount; ++i)
        dialog.SetCustomColor(i, Unchanged);
}

std::string Cleaned(std::string name)
{
    Brivox::CleanInvalidFileName(name.data());
    return name;
}

} // namespace

TEST(ColorText, ToStringThenFromStringGivesBackAllColors)
{
    CColorDialog source;
    source.SetColor(RGB(10, 20, 30));
    for (int i = 0; i < CColorDialog::CustomColorCount; ++i)
        source.SetCustomColor(i, RGB(i * 16, 255 - i, i));
    CColorDialog target;
    target.FromString(source.ToString());
    EXPECT_EQ(target.GetColor(), RGB(10, 20, 30));
    for (int i = 0; i < CColorDialog::CustomColorCount; ++i)
        EXPECT_EQ(target.GetCustomColor(i), RGB(i * 16, 255 - i, i)) << i;
}

TEST(ColorText, EveryItemEndsWithABlank)
{
    CColorDialog dialog;
    dialog.SetColor(RGB(255, 0, 128));
    String text = dialog.ToString();
    EXPECT_EQ(text.Substring(0, 10), String(L"255,0,128 "));
    EXPECT_EQ(text.Length(), 10 + 16 * 6);
}

TEST(ColorText, TheOlderFormSetsOnlyTheItemsItHolds)
{
    CColorDialog dialog;
    MarkCustomColors(dialog);
    dialog.FromString(L"255:0:0-0:255:0");
    EXPECT_EQ(dialog.GetColor(), RGB(255, 0, 0));
    EXPECT_EQ(dialog.GetCustomColor(0), RGB(0, 255, 0));
    for (int i = 1; i < CColorDialog::CustomColorCount; ++i)
        EXPECT_EQ(dialog.GetCustomColor(i), Unchanged) << i;
}

TEST(ColorText, TwoBlanksShiftTheFollowingItemsByOne)
{
    CColorDialog dialog;
    MarkCustomColors(dialog);
    dialog.FromString(L"1,1,1  2,2,2 ");
    EXPECT_EQ(dialog.GetColor(), RGB(1, 1, 1));
    EXPECT_EQ(dialog.GetCustomColor(0), RGB(0, 0, 0));
    EXPECT_EQ(dialog.GetCustomColor(1), RGB(2, 2, 2));
    EXPECT_EQ(dialog.GetCustomColor(2), RGB(0, 0, 0)); // the empty piece after the last blank
    EXPECT_EQ(dialog.GetCustomColor(3), Unchanged);
}

TEST(ColorText, UnreadableNumbersAreZeroAndValuesAreCutTo8Bits)
{
    struct Case
    {
        const wchar_t* text;
        COLORREF color;
    };
    const Case cases[] = {
        {L"x,y,z 0,0,0", RGB(0, 0, 0)},         {L"7,x,9 0,0,0", RGB(7, 0, 0)}, {L"7 0,0,0", RGB(7, 0, 0)},
        {L"256,257,511 0,0,0", RGB(0, 1, 255)}, {L"garbage", RGB(0, 0, 0)},     {L"", RGB(0, 0, 0)},
    };
    for (const Case& c : cases) {
        CColorDialog dialog;
        dialog.SetColor(RGB(9, 9, 9));
        dialog.FromString(c.text);
        EXPECT_EQ(dialog.GetColor(), c.color) << String(c.text).CStr();
    }
}

TEST(FileNameCleaning, ReplacesWhatANameCannotHold)
{
    struct Case
    {
        std::string name;
        std::string cleaned;
    };
    const Case cases[] = {
        {"a?b.png", "a-b.png"},
        {"C:\\x\\a:b", "C:-x-a-b"},
        {"a/b\"c*d<e>f|g", "a-b-c-d-e-f-g"},
        {"ab:c", "ab:c"},
        {"abc:d", "abc-d"},
        // A Shift_JIS character whose trail byte has the value of '|' keeps it.
        {"\x83\x7C?.png", "\x83\x7C-.png"},
        // ... and one whose trail byte has the value of '\\'.
        {"\x95\x5C.png", "\x95\x5C.png"},
        // A lead byte at the very end does not step past the NUL.
        {"a?\x83", "a-\x83"},
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Cleaned(c.name), c.cleaned) << c.name;
}
