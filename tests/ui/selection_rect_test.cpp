#include "ui/selection_rect.h"

#include "ui/gdi_object.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

using Brivox::CPoint;
using Brivox::CRect;
using Brivox::CSelectionRect;

namespace {

// A selection fed with a cursor the test moves.
struct Pointer
{
    CSelectionRect selection;
    CPoint cursor;

    Pointer()
    {
        selection.SetCursorSource([this](HWND) { return cursor; });
    }
    void Down(CPoint at)
    {
        cursor = at;
        selection.OnMouseDown(true);
    }
    void Move(CPoint to)
    {
        cursor = to;
        selection.OnMouseMove();
    }
    void Up() { selection.OnMouseUp(); }
    void Drag(CPoint from, CPoint to)
    {
        Down(from);
        Move(to);
        Up();
    }
};

const CRect Selected{20, 20, 60, 60};

// A pointer holding the selection 20, 20 to 60, 60.
Pointer WithSelection()
{
    Pointer pointer;
    pointer.Drag({20, 20}, {60, 60});
    return pointer;
}

} // namespace

TEST(SelectionRect, DrawingAClickOrOnePixel)
{
    Pointer click;
    click.Down({10, 10});
    EXPECT_EQ(click.selection.GetState(), CSelectionRect::Drawing);
    click.Up();
    EXPECT_EQ(click.selection.GetState(), CSelectionRect::None);

    Pointer tiny;
    tiny.Drag({10, 10}, {11, 11});
    EXPECT_EQ(tiny.selection.GetState(), CSelectionRect::Selected);
    EXPECT_FALSE(tiny.selection.IsValid());

    Pointer backwards;
    backwards.Drag({60, 60}, {20, 20});
    EXPECT_TRUE(backwards.selection.IsValid());
    EXPECT_EQ(backwards.selection.GetRect(), Selected);
}

// A press on a valid selection, then a move by (+5, +3): which edges moved tells what was grabbed.
TEST(SelectionRect, PressesOnASelectionGrabEdgesCornersOrTheWhole)
{
    struct Case
    {
        CPoint press;
        CSelectionRect::State state;
        CRect after;
    };
    const Case cases[] = {
        {{16, 40}, CSelectionRect::Resizing, {25, 20, 60, 60}}, // 4 left of the left edge
        {{14, 40}, CSelectionRect::None, Selected},             // 6 left: outside, cleared
        {{21, 21}, CSelectionRect::Resizing, {25, 23, 60, 60}}, // the corner beats both edges
        {{58, 62}, CSelectionRect::Resizing, {20, 20, 65, 63}}, // bottom-right corner
        {{40, 18}, CSelectionRect::Resizing, {20, 23, 60, 60}}, // top edge
        {{63, 40}, CSelectionRect::Resizing, {20, 20, 65, 60}}, // right edge
        {{40, 40}, CSelectionRect::Moving, {25, 23, 65, 63}},   // inside
        {{90, 90}, CSelectionRect::None, Selected},             // far outside
    };
    for (const Case& c : cases) {
        Pointer pointer = WithSelection();
        pointer.Down(c.press);
        EXPECT_EQ(pointer.selection.GetState(), c.state) << c.press.x << "," << c.press.y;
        pointer.Move({c.press.x + 5, c.press.y + 3});
        if (c.state != CSelectionRect::None) {
            EXPECT_EQ(pointer.selection.GetRect(), c.after) << c.press.x << "," << c.press.y;
        }
        pointer.Up();
        EXPECT_EQ(pointer.selection.GetState(),
                  c.state == CSelectionRect::None ? CSelectionRect::None : CSelectionRect::Selected);
    }
}

TEST(SelectionRect, AnEdgeDraggedPastItsOppositeGivesTheMirroredSelection)
{
    Pointer pointer = WithSelection();
    pointer.Down({60, 40});
    pointer.Move({10, 40});
    // Seen normalised during the drag and after it.
    EXPECT_EQ(pointer.selection.GetRect(), (CRect{10, 20, 20, 60}));
    EXPECT_TRUE(pointer.selection.IsValid());
    pointer.Up();
    EXPECT_EQ(pointer.selection.GetRect(), (CRect{10, 20, 20, 60}));

    // Once normalised, its edges are where they look: the left one is grabbed at x = 10.
    pointer.Down({10, 40});
    pointer.Move({5, 40});
    pointer.Up();
    EXPECT_EQ(pointer.selection.GetRect(), (CRect{5, 20, 20, 60}));
}

TEST(SelectionRect, ASecondPressOrALostCaptureEndsADrag)
{
    Pointer pressed = WithSelection();
    pressed.Down({40, 40});
    pressed.Down({40, 40});
    EXPECT_EQ(pressed.selection.GetState(), CSelectionRect::None);

    Pointer lost = WithSelection();
    lost.Down({60, 40});
    lost.Move({10, 40});
    lost.selection.OnCaptureLost();
    EXPECT_EQ(lost.selection.GetState(), CSelectionRect::Selected);
    EXPECT_EQ(lost.selection.GetRect(), (CRect{10, 20, 20, 60}));

    Pointer unmoved;
    unmoved.Down({10, 10});
    unmoved.selection.OnCaptureLost();
    EXPECT_EQ(unmoved.selection.GetState(), CSelectionRect::None);

    Pointer refused = WithSelection();
    refused.selection.OnMouseDown(false);
    EXPECT_EQ(refused.selection.GetState(), CSelectionRect::None);
}

TEST(SelectionRect, CursorsOverASelection)
{
    struct Case
    {
        CPoint at;
        int cursor; // -1: none set
    };
    const Case cases[] = {
        {{20, 20}, 1}, {{60, 20}, 2}, {{20, 60}, 2}, {{60, 60}, 1}, {{17, 40}, 4},
        {{40, 23}, 3}, {{64, 40}, 4}, {{40, 58}, 3}, {{40, 40}, 0}, {{80, 40}, -1},
    };
    for (const Case& c : cases) {
        Pointer pointer = WithSelection();
        pointer.cursor = c.at;
        EXPECT_EQ(pointer.selection.OnSetCursor(), c.cursor >= 0) << c.at.x << "," << c.at.y;
        if (c.cursor >= 0) {
            EXPECT_EQ(::GetCursor(), Brivox::GetResizeCursor(c.cursor)) << c.at.x << "," << c.at.y;
        }
    }
    Pointer none;
    none.cursor = {40, 40};
    EXPECT_FALSE(none.selection.OnSetCursor());
}

TEST(SelectionRect, ADragHoldsTheMouseAndTheReleaseGivesItBack)
{
    const HWND window =
        ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    Pointer pointer;
    pointer.selection.SetWindow(window);
    pointer.Down({10, 10});
    EXPECT_EQ(::GetCapture(), window);
    pointer.Move({30, 30});
    pointer.Up();
    EXPECT_EQ(::GetCapture(), nullptr);
    EXPECT_EQ(pointer.selection.GetState(), CSelectionRect::Selected);
    ::DestroyWindow(window);
}

TEST(SelectionRect, DrawSetsADottedOutlineOnly)
{
    constexpr int size = 80;
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), size, -size, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    Brivox::UniqueGdiObject<HBITMAP> bitmap(
        ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    ASSERT_TRUE(bitmap);
    const HDC dc = ::CreateCompatibleDC(nullptr);
    const HGDIOBJ previous = ::SelectObject(dc, bitmap.get());
    auto* pixels = static_cast<std::uint32_t*>(bits);
    std::fill(pixels, pixels + size * size, 0x00FFFFFFu);

    Pointer pointer = WithSelection();
    pointer.selection.Draw(dc);
    ::GdiFlush();

    auto black = [&](int x, int y) { return (pixels[y * size + x] & 0xFFFFFF) == 0; };
    int onTop = 0, onBottom = 0, onLeft = 0, onRight = 0;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const bool onOutline =
                ((y == 20 || y == 60) && x >= 20 && x <= 60) || ((x == 20 || x == 60) && y >= 20 && y <= 60);
            if (!onOutline) {
                ASSERT_FALSE(black(x, y)) << x << "," << y;
                continue;
            }
            onTop += y == 20 && black(x, y);
            onBottom += y == 60 && black(x, y);
            onLeft += x == 20 && black(x, y);
            onRight += x == 60 && black(x, y);
        }
    }
    // Every side drawn, none of them solid.
    for (int count : {onTop, onBottom, onLeft, onRight}) {
        EXPECT_GT(count, 0);
        EXPECT_LT(count, 41);
    }
    ::SelectObject(dc, previous);
    ::DeleteDC(dc);
}
