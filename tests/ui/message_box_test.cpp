#include "support/window_test_bed.h"
#include "ui/wnd.h"

#include "foundation/message_box.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

using Brivox::String;
using KanoruTest::MessageBoxAnswerer;

TEST(DesktopInputMessageBoxes, FlagsAreJoinedAndOnlyAnEmptyCaptionOfTheHelpersIsLeftToTheSystem)
{
    const HWND owner = ::GetDesktopWindow();
    const struct
    {
        const char* name;
        std::function<int()> show;
        bool hasCaption;
        const wchar_t* caption;
        UINT style;
    } cases[] = {
        {"four words",
         [&] {
             return Brivox::ShowMessageBox(owner, L"本文", L"確認", MB_YESNO, MB_ICONQUESTION, MB_DEFBUTTON2,
                                           MB_TOPMOST);
         },
         true, L"確認", MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2 | MB_TOPMOST},
        {"two words",
         [&] { return Brivox::ShowMessageBoxWithFlags(owner, L"本文", L"", MB_OKCANCEL, MB_ICONSTOP); },
         false, L"", MB_OKCANCEL | MB_ICONSTOP},
        {"ok", [&] { return Brivox::ShowMessageBoxOk(owner, L"本文", L""); }, false, L"", MB_OK},
        // A window's own box shows an empty caption as it is.
        {"window", [&] { return Brivox::CWnd(owner).MessageBox(MB_ICONINFORMATION, L"", L"本文"); }, true,
         L"", MB_ICONINFORMATION},
    };
    for (const auto& c : cases) {
        MessageBoxAnswerer boxes(IDNO);
        EXPECT_EQ(c.show(), IDNO) << c.name;
        ASSERT_EQ(boxes.Boxes().size(), 1u) << c.name;
        const MessageBoxAnswerer::Box box = boxes.Boxes().front();
        EXPECT_EQ(box.owner, owner) << c.name;
        EXPECT_EQ(box.text, String(L"本文")) << c.name;
        EXPECT_EQ(box.hasCaption, c.hasCaption) << c.name;
        EXPECT_EQ(box.caption, String(c.caption)) << c.name;
        EXPECT_EQ(box.style, c.style) << c.name;
    }
}
