#include "ui/window_region.h"

#include <gtest/gtest.h>

using Brivox::CWindowRegion;
using Brivox::UniqueGdiObject;

namespace {

struct PopupWindow
{
    HWND handle =
        ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 200, 100, nullptr, nullptr, nullptr, nullptr);
    ~PopupWindow() { ::DestroyWindow(handle); }
};

// The window's region box, or nothing when it has none.
bool WindowRegionBox(HWND window, RECT& box, bool& cornerInside)
{
    UniqueGdiObject<HRGN> region(::CreateRectRgn(0, 0, 0, 0));
    if (::GetWindowRgn(window, static_cast<HRGN>(region.get())) == ERROR)
        return false;
    ::GetRgnBox(static_cast<HRGN>(region.get()), &box);
    cornerInside = ::PtInRegion(static_cast<HRGN>(region.get()), 1, 1);
    return true;
}

} // namespace

TEST(WindowRegion, AnEllipseGoesOnTheWindowAndComesOff)
{
    PopupWindow window;
    ASSERT_NE(window.handle, nullptr);
    CWindowRegion region;
    region.CreateEllipse({0, 0, 200, 100});
    // Twice: each time the window gets a copy of its own, and the object keeps its region.
    region.ApplyToWindow(window.handle);
    region.ApplyToWindow(window.handle);
    ASSERT_NE(region.Get(), nullptr);

    RECT box{};
    bool cornerInside = true;
    ASSERT_TRUE(WindowRegionBox(window.handle, box, cornerInside));
    EXPECT_EQ(box.left, 0);
    EXPECT_EQ(box.top, 0);
    // The system leaves the ellipse's right and bottom pixel out of its box.
    EXPECT_GE(box.right, 199);
    EXPECT_LE(box.right, 200);
    EXPECT_GE(box.bottom, 99);
    EXPECT_LE(box.bottom, 100);
    EXPECT_FALSE(cornerInside);

    region.ReleaseHolder();
    EXPECT_EQ(region.Get(), nullptr);
    region.ApplyToWindow(window.handle);
    EXPECT_FALSE(WindowRegionBox(window.handle, box, cornerInside));
}
