// The magnifier: where it takes the page from and draws it, and the window on the real viewer.
#include "document/layout.h"
#include "foundation/config.h"
#include "support/window_test_bed.h"
#include "viewer/magnifier_window.h"
#include "viewer_fixtures.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using Brivox::CPoint;
using Brivox::CRect;
using Brivox::CSize;
using KanoruTest::ProgramInFreshFolder;
using KanoruTest::PumpUntil;

namespace {

// A page layout that places the image exactly where it is told.
class FakeLayout : public Brivox::ILayout
{
public:
    FakeLayout(const CRect& image, const CRect& view, const CRect& placed) : m_placed(placed)
    {
        SetImageRect(image);
        SetViewRect(view);
    }
    std::shared_ptr<Brivox::ILayout> Clone() const override
    {
        return std::make_shared<FakeLayout>(GetImageRect(), GetViewRect(), m_placed);
    }
    CRect DestinationRect() const override { return m_placed; }

private:
    CRect m_placed;
};

bool Same(const CRect& a, const CRect& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

std::string Show(const CRect& r)
{
    return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
           std::to_string(r.bottom);
}

TEST(MagnifierPlacement, TheSourceIsCentredOnTheCursorInImagePixelsAndBlackFillsTheRest)
{
    const struct
    {
        const char* name;
        CRect placed; // of a 1000 x 800 image in a 500 x 400 view
        CSize client;
        CPoint cursor;
        int magnification;
        CRect source;
        CRect destination;
        std::vector<CRect> black;
    } cases[] = {
        // Half size on the page, 200 %: the source is as large as the client area.
        {"middle", {0, 0, 500, 400}, {400, 300}, {250, 200}, 200, {300, 250, 700, 550}, {0, 0, 400, 300}, {}},
        // 400 %: half as much of the page.
        {"closer", {0, 0, 500, 400}, {400, 300}, {250, 200}, 400, {400, 325, 600, 475}, {0, 0, 400, 300}, {}},
        // At the image's corner only the lower right quarter shows; black above and to the left.
        {"corner",
         {0, 0, 500, 400},
         {400, 300},
         {0, 0},
         200,
         {0, 0, 200, 150},
         {200, 150, 400, 300},
         {{0, 0, 400, 150}, {0, 150, 200, 300}}},
        // Scales that differ by direction; an odd width centres by integer division.
        {"stretched",
         {0, 0, 500, 200},
         {401, 300},
         {250, 100},
         200,
         {300, 100, 701, 700},
         {0, 0, 401, 300},
         {}},
        // A cursor far beside the page shows nothing of it.
        {"outside", {0, 0, 500, 400}, {400, 300}, {-3000, -3000}, 200, {}, {}, {{0, 0, 400, 300}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeLayout page({0, 0, 1000, 800}, {0, 0, 500, 400}, c.placed);
        const SMagnifiedPlacement placement = PlaceMagnified(page, c.client, c.cursor, c.magnification);
        EXPECT_EQ(!c.source.IsEmpty(), placement.draw);
        if (placement.draw) {
            EXPECT_TRUE(Same(c.source, placement.source)) << Show(placement.source);
            EXPECT_TRUE(Same(c.destination, placement.destination)) << Show(placement.destination);
        }
        ASSERT_EQ(c.black.size(), placement.black.size());
        for (std::size_t i = 0; i < c.black.size(); ++i)
            EXPECT_TRUE(Same(c.black[i], placement.black[i])) << i << ": " << Show(placement.black[i]);
    }
}

TEST(MagnifierPlacement, AMagnificationBelowOneDrawsAsOneAndAnEmptyExtentDrawsNothing)
{
    FakeLayout page({0, 0, 1000, 800}, {0, 0, 500, 400}, {0, 0, 500, 400});
    const SMagnifiedPlacement one = PlaceMagnified(page, {400, 300}, {250, 200}, 1);
    ASSERT_TRUE(one.draw);
    // 1 % shows far more than the whole page, which then lies in the middle of black.
    EXPECT_TRUE(Same({0, 0, 1000, 800}, one.source)) << Show(one.source);
    EXPECT_FALSE(one.black.empty());
    for (const int magnification : {0, -50}) {
        SCOPED_TRACE(magnification);
        const SMagnifiedPlacement placement = PlaceMagnified(page, {400, 300}, {250, 200}, magnification);
        EXPECT_TRUE(placement.draw);
        EXPECT_TRUE(Same(one.source, placement.source));
        EXPECT_TRUE(Same(one.destination, placement.destination));
        EXPECT_EQ(one.black.size(), placement.black.size());
    }
    // A client area without width, or a page that shows nothing: no extent, nothing drawn.
    const SMagnifiedPlacement narrow = PlaceMagnified(page, {0, 300}, {250, 200}, 200);
    EXPECT_FALSE(narrow.draw);
    EXPECT_TRUE(narrow.black.empty());
    FakeLayout hidden({0, 0, 1000, 800}, {0, 0, 500, 400}, {0, 0, 0, 0});
    const SMagnifiedPlacement none = PlaceMagnified(hidden, {400, 300}, {250, 200}, 200);
    EXPECT_FALSE(none.draw);
    EXPECT_TRUE(none.black.empty());
}

// The magnifier of the program: the visible tool window of the process.
HWND FindMagnifier(DWORD processId)
{
    for (const HWND hwnd : KanoruTest::FindProcessWindows(processId))
        if (::IsWindowVisible(hwnd) && (::GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_TOOLWINDOW))
            return hwnd;
    return nullptr;
}

bool HasHiddenMagnifier(DWORD processId)
{
    for (const HWND hwnd : KanoruTest::FindProcessWindows(processId))
        if (!::IsWindowVisible(hwnd) && (::GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_TOOLWINDOW))
            return true;
    return false;
}

std::string CursorText()
{
    POINT at{};
    ::GetCursorPos(&at);
    return std::to_string(at.x) + ", " + std::to_string(at.y);
}

COLORREF ScreenPixel(POINT at)
{
    const HDC screen = ::GetDC(nullptr);
    const COLORREF colour = ::GetPixel(screen, at.x, at.y);
    ::ReleaseDC(nullptr, screen);
    return colour;
}

void MouseButton(DWORD flags)
{
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    ::SendInput(1, &input, sizeof(INPUT));
}

} // namespace

TEST(DesktopInputMagnifier, ARightClickShowsAnEllipseOverThePageThatAReleaseHidesAndCloseEndsTheProgram)
{
    // Three bars of 200 pixels shown 1:1 in a client area of 800 x 600 at (40, 40).
    ProgramInFreshFolder program(ViewerFixtures::Kanoru2Path(), L"pages\\", [](const std::wstring& folder) {
        ::CreateDirectoryW((folder + L"pages").c_str(), nullptr);
        ViewerFixtures::WriteBars(folder + L"pages\\bars.png", 600, 400,
                                  {ViewerFixtures::Red, ViewerFixtures::Green, ViewerFixtures::Blue});
        Brivox::CConfig settings;
        settings.SetRaw(L"MagnifierShape", L"1");
        settings.SetRaw(L"Magnification", L"200");
        settings.SetRaw(L"Magnifier", L"400, 300");
        settings.SetRaw(L"WindowPosRestore", L"true");
        settings.SetRaw(L"WindowPosRestoreRect", L"40, 40, 800, 600");
        settings.SetRaw(L"DrawStretchType", L"0");
        settings.SetRaw(L"AutoCursorHide", L"false");
        ASSERT_TRUE(settings.Save((folder + L"Kanoru.cfg").c_str()));
    });
    ASSERT_TRUE(program.Started());
    const HWND main = program.WaitForWindow();
    ASSERT_TRUE(main);
    RECT client{};
    ASSERT_TRUE(PumpUntil([&] { return ::GetClientRect(main, &client) && client.right == 800; }));
    POINT centre{400, 300};
    ::ClientToScreen(main, &centre);
    const POINT corner{centre.x - 200 + 3, centre.y - 150 + 3};
    // The page shows: green under the cursor, red where the magnifier's corner will lie.
    ASSERT_TRUE(PumpUntil([&] {
        return ScreenPixel(centre) == ViewerFixtures::Green && ScreenPixel(corner) == ViewerFixtures::Red;
    })) << std::hex
        << ScreenPixel(centre) << " " << ScreenPixel(corner);

    ASSERT_TRUE(KanoruTest::PlaceCursor(centre));
    MouseButton(MOUSEEVENTF_RIGHTDOWN);
    MouseButton(MOUSEEVENTF_RIGHTUP);
    HWND magnifier = nullptr;
    ASSERT_TRUE(PumpUntil([&] { return (magnifier = FindMagnifier(program.ProcessId())) != nullptr; }))
        << "made but hidden: " << HasHiddenMagnifier(program.ProcessId()) << ", cursor at " << CursorText();
    EXPECT_TRUE(::GetWindowLongW(magnifier, GWL_EXSTYLE) & WS_EX_TOPMOST);
    RECT rect{};
    ::GetWindowRect(magnifier, &rect);
    EXPECT_EQ(400, rect.right - rect.left);
    EXPECT_EQ(300, rect.bottom - rect.top);
    EXPECT_EQ(centre.x - 200, rect.left);
    EXPECT_EQ(centre.y - 150, rect.top);
    // Inside the ellipse the enlarged page; outside it, at the corner, the page beneath.
    EXPECT_TRUE(PumpUntil([&] {
        return ScreenPixel(centre) == ViewerFixtures::Green && ScreenPixel(corner) == ViewerFixtures::Red &&
               ScreenPixel({rect.left + 60, centre.y}) == ViewerFixtures::Green;
    })) << std::hex
        << ScreenPixel(centre) << " " << ScreenPixel(corner) << " "
        << ScreenPixel({rect.left + 60, centre.y});

    // A button released over it hides it.
    MouseButton(MOUSEEVENTF_LEFTDOWN);
    MouseButton(MOUSEEVENTF_LEFTUP);
    EXPECT_TRUE(PumpUntil([&] { return !::IsWindowVisible(magnifier); }));

    // Shown again, and the viewer closed while it shows.
    MouseButton(MOUSEEVENTF_RIGHTDOWN);
    MouseButton(MOUSEEVENTF_RIGHTUP);
    ASSERT_TRUE(PumpUntil([&] { return ::IsWindowVisible(magnifier); }));
    ::PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(0, program.WaitForExit());
}
