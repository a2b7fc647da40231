#include "ui/window_snapper.h"

#include <gtest/gtest.h>

#include <map>

using Brivox::CPoint;
using Brivox::CRect;
using Brivox::CWindowSnapper;

namespace {

HWND Handle(int n)
{
    return reinterpret_cast<HWND>(static_cast<INT_PTR>(n));
}

const HWND Moved = Handle(1);
const HWND Other = Handle(2);

// A snapper over a made-up desktop: one or two work areas, a cursor and window rectangles.
struct Desktop
{
    CPoint cursor;
    std::vector<CRect> areas{{0, 0, 1000, 800}};
    std::map<HWND, CRect> windows;
    CWindowSnapper snapper;

    Desktop()
    {
        snapper.SetSystem({[this] { return cursor; }, [this] { return areas; },
                           [this](HWND window) { return windows[window]; }});
    }

    // Grabs the moved window (at `rect`) 50, 10 from its top-left corner.
    void Grab(const CRect& rect)
    {
        windows[Moved] = rect;
        cursor = {rect.left + 50, rect.top + 10};
        snapper.OnEnterSizeMove(Moved);
    }

    // Drags the grab point to put the window's top-left corner at `left`, `top`; gives the
    // rectangle after the snapper, or the proposed one when it changed nothing.
    RECT DragTo(int left, int top, bool* snapped = nullptr)
    {
        cursor = {left + 50, top + 10};
        const CRect& size = windows[Moved];
        RECT proposed{left, top, left + size.Width(), top + size.Height()};
        const bool changed = snapper.OnMoving(Moved, proposed);
        if (snapped)
            *snapped = changed;
        return proposed;
    }
};

} // namespace

TEST(WindowSnapper, EdgesWithinTheDistanceAttract)
{
    struct Case
    {
        const char* what;
        std::vector<CRect> areas;
        int width;
        int left;
        int top;
        bool snaps;
        int wantLeft;
        int wantTop;
    };
    const Case cases[] = {
        {"31 from the left edge", {{0, 0, 1000, 800}}, 200, 31, 300, true, 0, 300},
        {"32 from the left edge", {{0, 0, 1000, 800}}, 200, 32, 300, true, 0, 300},
        {"33 from the left edge", {{0, 0, 1000, 800}}, 200, 33, 300, false, 33, 300},
        {"over the left edge", {{0, 0, 1000, 800}}, 200, -20, 300, true, 0, 300},
        {"near the top and the right", {{0, 0, 1000, 800}}, 200, 790, 12, true, 800, 0},
        {"nearly as wide as the area", {{0, 0, 1000, 800}}, 990, 5, 300, true, 10, 300},
        {"a second monitor's area",
         {{0, 0, 1000, 800}, {1000, 0, 2000, 800}},
         200,
         1020,
         300,
         true,
         1000,
         300},
        {"a work area without the task bar", {{0, 0, 1000, 760}}, 200, 400, 680, true, 400, 660},
    };
    for (const Case& c : cases) {
        Desktop desktop;
        desktop.areas = c.areas;
        desktop.Grab({500, 500, 500 + c.width, 600});
        bool snapped = false;
        const RECT result = desktop.DragTo(c.left, c.top, &snapped);
        EXPECT_EQ(snapped, c.snaps) << c.what;
        EXPECT_EQ(result.left, c.wantLeft) << c.what;
        EXPECT_EQ(result.top, c.wantTop) << c.what;
        EXPECT_EQ(result.right - result.left, c.width) << c.what;
    }
}

TEST(WindowSnapper, OtherWindowsAttractWithTheirOuterEdges)
{
    Desktop desktop;
    desktop.windows[Other] = {400, 300, 600, 500};
    desktop.snapper.SetWindowList({Moved, Other});
    desktop.Grab({700, 350, 900, 450});
    // 20 right of the other window's right edge, beside it: onto that edge.
    EXPECT_EQ(desktop.DragTo(620, 350).left, 600);
    // Beside it but below its bottom by more than the touching: no overlap, no snap to it.
    EXPECT_EQ(desktop.DragTo(620, 520).left, 620);
    // The moved window is in the list too: a small one 5 pixels from where it was would snap to
    // its own old edges if it attracted itself.
    desktop.Grab({700, 350, 720, 370});
    EXPECT_EQ(desktop.DragTo(705, 350).left, 705);
}

TEST(WindowSnapper, NoGrabNoSnap)
{
    Desktop desktop;
    desktop.windows[Moved] = {500, 500, 700, 600};
    RECT proposed{10, 300, 210, 400};
    EXPECT_FALSE(desktop.snapper.OnMoving(Moved, proposed));
    EXPECT_EQ(proposed.left, 10);

    desktop.Grab({500, 500, 700, 600});
    desktop.snapper.OnExitSizeMove(Moved);
    EXPECT_EQ(desktop.DragTo(10, 300).left, 10);

    Desktop off;
    off.snapper.SetSnapToMonitors(false);
    off.Grab({500, 500, 700, 600});
    EXPECT_EQ(off.DragTo(10, 300).left, 10);
}
