#include "imaging/dc_target.h"

#include "plane_fixtures.h"

#include <gtest/gtest.h>

using namespace Brivox;
using PlaneFixtures::PixelAt;

namespace {

// Four quadrants of distinct colours.
void PaintQuadrants(CPlane& plane)
{
    const int w = plane.GetWidth(), h = plane.GetHeight();
    plane.FillRect(RGB(255, 0, 0), {0, 0, w / 2, h / 2});
    plane.FillRect(RGB(0, 255, 0), {w / 2, 0, w, h / 2});
    plane.FillRect(RGB(0, 0, 255), {0, h / 2, w / 2, h});
    plane.FillRect(RGB(255, 255, 0), {w / 2, h / 2, w, h});
}

} // namespace

TEST(DesktopInputDcTarget, PlaneDrawnIntoAWindowShowsItsPixels)
{
    const HWND window =
        ::CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0, 64,
                          48, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    ::UpdateWindow(window);
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        ::DispatchMessageW(&msg);

    CDib32 page, readBack;
    page.Resize({64, 48});
    PaintQuadrants(page);
    readBack.Resize({64, 48});
    readBack.Fill(0);

    const HDC windowDc = ::GetDC(window);
    {
        CDcTarget screen(windowDc);
        const Detail::PlaneDcLock pageDc(page);
        screen.BitBlt(CDcTarget(pageDc), {0, 0}, {0, 0, 64, 48});
        ::GdiFlush();
        const Detail::PlaneDcLock readDc(readBack);
        CDcTarget(readDc).BitBlt(screen, {0, 0}, {0, 0, 64, 48});
    }
    ::ReleaseDC(window, windowDc);
    ::DestroyWindow(window);

    for (const CPoint p : {CPoint{5, 5}, CPoint{40, 5}, CPoint{5, 30}, CPoint{60, 47}})
        EXPECT_EQ(PixelAt(readBack, p.x, p.y) & 0xFFFFFF, PixelAt(page, p.x, p.y)) << p.x << "," << p.y;
}

TEST(CDcTarget, FillsAndBlitsOnPlanes)
{
    CDib32 plane;
    plane.Resize({12, 12});
    plane.Fill(RGB(255, 255, 255));
    {
        const Detail::PlaneDcLock dc(plane);
        CDcTarget target(dc);
        target.FillRect(RGB(10, 20, 30), {-5, -5, 10, 10});
        target.FillBlack({-2, -2, 3, 3});
    }
    EXPECT_EQ(PixelAt(plane, 0, 0) & 0xFFFFFF, 0u);
    EXPECT_EQ(PixelAt(plane, 3, 3) & 0xFFFFFF, 0x0A141Eu);
    EXPECT_EQ(PixelAt(plane, 9, 9) & 0xFFFFFF, 0x0A141Eu);
    EXPECT_EQ(PixelAt(plane, 10, 10) & 0xFFFFFF, 0xFFFFFFu);

    CDib32 copy;
    copy.Resize({12, 12});
    copy.Fill(RGB(1, 2, 3));
    {
        const Detail::PlaneDcLock from(plane), to(copy);
        const SPlaneClip clip{{0, 0, 6, 12}, true};
        CDcTarget(to).BitBlt(CDcTarget(from), {2, 2}, {0, 0, 12, 12}, &clip);
    }
    EXPECT_EQ(PixelAt(copy, 2, 2) & 0xFFFFFF, 0u);
    EXPECT_EQ(PixelAt(copy, 5, 11) & 0xFFFFFF, 0x0A141Eu);
    EXPECT_EQ(PixelAt(copy, 6, 6) & 0xFFFFFF, 0x010203u);
    EXPECT_EQ(PixelAt(copy, 1, 1) & 0xFFFFFF, 0x010203u);
}

TEST(CDcTarget, StretchBltsScaleAndRespectTheClip)
{
    CDib32 source;
    source.Resize({2, 2});
    PaintQuadrants(source);
    for (const bool halftone : {false, true}) {
        CDib32 destination;
        destination.Resize({8, 8});
        destination.Fill(RGB(9, 9, 9));
        {
            const Detail::PlaneDcLock from(source), to(destination);
            const SPlaneClip clip{{4, 0, 8, 8}, true};
            CDcTarget target(to);
            if (halftone)
                target.StretchBltHalftone(CDcTarget(from), {0, 0, 8, 8}, {0, 0, 2, 2}, &clip);
            else
                target.StretchBltFast(CDcTarget(from), {0, 0, 8, 8}, {0, 0, 2, 2}, &clip);
        }
        EXPECT_EQ(PixelAt(destination, 3, 3) & 0xFFFFFF, 0x090909u) << halftone;
        EXPECT_EQ(PixelAt(destination, 7, 7) & 0xFFFFFF, PixelAt(source, 1, 1)) << halftone;
        if (!halftone) { // halftoning blends neighbours
            EXPECT_EQ(PixelAt(destination, 4, 3) & 0xFFFFFF, PixelAt(source, 1, 0));
        }
    }
}
