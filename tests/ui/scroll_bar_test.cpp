#include "ui/controls_dialog.h"
#include "ui/scroll_bar.h"

#include "foundation/encoding.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

using Brivox::HScrollBar;
using Brivox::ScrollBar;
using Brivox::VScrollBar;

namespace {

SCROLLINFO ScrollInfoOf(HWND hwnd, int bar)
{
    SCROLLINFO info{};
    info.cbSize = sizeof(info);
    info.fMask = SIF_ALL;
    ::GetScrollInfo(hwnd, bar, &info);
    return info;
}

// The system's calls, counted on their way through; the thumb's tracking position can be given.
struct CountedSystem
{
    int shows = 0;
    int enables = 0;
    int infos = 0;
    std::vector<UINT> enableArrows;
    std::optional<int> trackPosition;

    ScrollBar::SSystem Calls()
    {
        ScrollBar::SSystem real = ScrollBar::SystemCalls();
        ScrollBar::SSystem system = real;
        system.showScrollBar = [this, real](HWND hwnd, int bar, bool show) {
            ++shows;
            real.showScrollBar(hwnd, bar, show);
        };
        system.enableScrollBar = [this, real](HWND hwnd, int bar, UINT arrows) {
            ++enables;
            enableArrows.push_back(arrows);
            real.enableScrollBar(hwnd, bar, arrows);
        };
        system.setScrollInfo = [this, real](HWND hwnd, int bar, const SCROLLINFO& info) {
            ++infos;
            real.setScrollInfo(hwnd, bar, info);
        };
        system.trackPosition = [this](HWND, int, int& position) {
            if (trackPosition)
                position = *trackPosition;
            return trackPosition.has_value();
        };
        return system;
    }
};

} // namespace

TEST(ScrollBar, TheRangeEndsAPageBeyondTheMaximumSoTheThumbStopsThere)
{
    ControlsDialog dialog(IDD_MODELESS_TEST);
    VScrollBar bar(dialog.Handle());
    bar.SetMaximum(100);
    bar.SetPosition(150);
    const SCROLLINFO info = ScrollInfoOf(dialog.Handle(), SB_VERT);
    EXPECT_EQ(info.nMin, 0);
    EXPECT_EQ(info.nMax, 110);
    EXPECT_EQ(info.nPage, 11u);
    EXPECT_EQ(info.nPos, 100);
    // The bar keeps what it was told; the owner's callback clamps what it acts on.
    EXPECT_EQ(bar.GetPosition(), 150);
}

TEST(ScrollBar, TheFirstResumeLayoutShowsTheBarAndTouchesNoEnabledState)
{
    ControlsDialog dialog(IDD_MODELESS_TEST);
    CountedSystem system;
    HScrollBar bar(dialog.Handle(), system.Calls());
    bar.SuspendLayout();
    bar.SetMaximum(500);
    bar.SetPage(50);
    bar.SetPosition(20);
    EXPECT_EQ(system.infos, 0) << "nothing reaches the system while suspended";
    bar.ResumeLayout();
    EXPECT_EQ(system.shows, 1);
    EXPECT_EQ(system.enables, 0);
    EXPECT_EQ(system.infos, 1);
    EXPECT_TRUE(::GetWindowLongA(dialog.Handle(), GWL_STYLE) & WS_HSCROLL);
    EXPECT_EQ(ScrollInfoOf(dialog.Handle(), SB_HORZ).nMax, 550);

    // A change of state reaches the system once; the same state again not at all.
    bar.SetEnabled(false);
    bar.SetEnabled(false);
    EXPECT_EQ(system.enableArrows, std::vector<UINT>{ESB_DISABLE_BOTH});

    // A whole layout change while suspended: at most one call of each kind. (The system shows a
    // hidden bar again for a range that can be scrolled, so this one cannot.)
    bar.SuspendLayout();
    bar.SetShown(false);
    bar.SetEnabled(true);
    bar.SetMinimum(0);
    bar.SetMaximum(0);
    bar.SetLine(3);
    bar.SetPosition(0);
    bar.ResumeLayout();
    EXPECT_EQ(system.shows, 2);
    EXPECT_EQ(system.enableArrows, (std::vector<UINT>{ESB_DISABLE_BOTH, ESB_ENABLE_BOTH}));
    EXPECT_EQ(system.infos, 2);
    EXPECT_FALSE(::GetWindowLongA(dialog.Handle(), GWL_STYLE) & WS_HSCROLL);
}

TEST(ScrollBar, SuspendingTwiceThrows)
{
    ControlsDialog dialog(IDD_MODELESS_TEST);
    VScrollBar bar(dialog.Handle());
    bar.SuspendLayout();
    try {
        bar.SuspendLayout();
        ADD_FAILURE() << "no exception";
    } catch (const Brivox::InvalidOprationException& error) {
        EXPECT_NE(dynamic_cast<const Brivox::ScrollBarAlreadyResumedLayoutException*>(&error), nullptr);
        EXPECT_EQ(std::wstring(Brivox::FromApiTextA(error.what()).CStr()),
                  L"スクロールバーの処理中にエラーが発生しました");
    }
    bar.ResumeLayout();
    bar.SuspendLayout();
    bar.ResumeLayout();
}

TEST(ScrollBar, EachScrollCodeMovesFromThePositionAndCallsBack)
{
    ControlsDialog dialog(IDD_MODELESS_TEST);
    const struct
    {
        WORD code;
        WORD highWord;
        std::optional<int> trackPosition;
        int expected;
    } cases[] = {
        {SB_LINEUP, 0, {}, 47},
        {SB_LINEDOWN, 0, {}, 53},
        {SB_PAGEUP, 0, {}, 40},
        {SB_PAGEDOWN, 0, {}, 60},
        // The thumb's 32-bit tracking position, not the message's 16-bit word.
        {SB_THUMBTRACK, static_cast<WORD>(70000 & 0xFFFF), 70000, 70000},
        {SB_THUMBPOSITION, static_cast<WORD>(70000 & 0xFFFF), 70000, 70000},
        // Where the bar cannot tell it, the word is read as a signed 16-bit number.
        {SB_THUMBTRACK, 0xFFFF, {}, -1},
        {SB_TOP, 0, {}, 50},
        {SB_BOTTOM, 0, {}, 50},
        {SB_ENDSCROLL, 0, {}, 50},
    };
    for (const auto& c : cases) {
        CountedSystem system;
        system.trackPosition = c.trackPosition;
        VScrollBar bar(dialog.Handle(), system.Calls());
        bar.SetMaximum(100000);
        bar.SetLine(3);
        bar.SetPosition(50);
        std::vector<std::pair<int, int>> calls;
        bar.SetCallback([&](ScrollBar& scrolled, int oldPosition, int newPosition) {
            EXPECT_EQ(&scrolled, &bar);
            EXPECT_EQ(scrolled.GetPosition(), newPosition);
            calls.emplace_back(oldPosition, newPosition);
        });
        const bool changed = bar.Scroll(MAKEWPARAM(c.code, c.highWord));
        EXPECT_EQ(changed, c.expected != 50) << c.code;
        EXPECT_EQ(bar.GetPosition(), c.expected) << c.code;
        if (changed) {
            EXPECT_EQ(calls, (std::vector<std::pair<int, int>>{{50, c.expected}})) << c.code;
        } else {
            EXPECT_TRUE(calls.empty()) << c.code;
        }
    }
}

TEST(ScrollBar, ScrollWithoutACallbackStillMovesAndOnlyItsOwnMessageCounts)
{
    ControlsDialog dialog(IDD_MODELESS_TEST);
    HScrollBar bar(dialog.Handle());
    bar.SetPosition(5);
    EXPECT_TRUE(bar.Scroll(SB_LINEDOWN));
    EXPECT_EQ(bar.GetPosition(), 6);
    EXPECT_EQ(ScrollInfoOf(dialog.Handle(), SB_HORZ).nPos, 6);

    Brivox::SMessage vertical{dialog.Handle(), WM_VSCROLL, SB_LINEDOWN, 0, 0, nullptr};
    EXPECT_FALSE(bar.OnHScroll(vertical));
    Brivox::SMessage horizontal{dialog.Handle(), WM_HSCROLL, SB_LINEDOWN, 0, 0, nullptr};
    EXPECT_TRUE(bar.OnHScroll(horizontal));
    EXPECT_EQ(bar.GetPosition(), 7);
}
