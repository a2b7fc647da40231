#include "support/window_test_bed.h"
#include "ui/window.h"
#include "ui/window_test_support.h"
#include "ui/wnd.h"

#include "foundation/file_system.h"
#include "foundation/temp_file.h"
#include "foundation/text_file.h"

#include <shlobj.h>

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

using Brivox::CPoint;
using Brivox::CRect;
using Brivox::CSize;
using Brivox::SMessage;
using Brivox::String;

namespace {

// A menu bar of many long items, which wraps into several lines in a narrow window.
class MenuBar
{
public:
    explicit MenuBar(int items) : m_menu(::CreateMenu())
    {
        for (int i = 0; i < items; ++i)
            ::AppendMenuW(m_menu, MF_STRING, 100 + i, L"メニュー項目");
    }
    // Owned by the window once set.
    HMENU Release() { return m_menu; }

private:
    HMENU m_menu;
};

CPoint TopLeft(HWND hwnd)
{
    RECT rect{};
    ::GetWindowRect(hwnd, &rect);
    return {rect.left, rect.top};
}

// A drop of these paths as the shell hands it over: DROPFILES, then the wide names, each ended by
// NUL, and one more NUL.
HDROP MakeDrop(const std::vector<String>& paths)
{
    // The list ends with an empty name: two NULs even when it holds none.
    std::size_t chars = 2;
    for (const String& path : paths)
        chars += path.Length() + 1;
    const HGLOBAL memory =
        ::GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + chars * sizeof(wchar_t));
    auto* header = static_cast<DROPFILES*>(::GlobalLock(memory));
    header->pFiles = sizeof(DROPFILES);
    header->fWide = TRUE;
    auto* names = reinterpret_cast<wchar_t*>(header + 1);
    for (const String& path : paths) {
        std::copy(path.CStr(), path.CStr() + path.Length(), names);
        names += path.Length() + 1;
    }
    ::GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

} // namespace

TEST(WindowPlacement, MoveInsideWorkAreasTakesThePointOrTheNearestPlaceInsideAnArea)
{
    struct Case
    {
        const char* name;
        std::vector<CRect> areas;
        CPoint point;
        CPoint expected;
    };
    // The window is 200 × 100.
    const Case cases[] = {
        {"fits", {{0, 0, 1000, 800}}, {120, 50}, {120, 50}},
        {"fits exactly at the corner", {{0, 0, 1000, 800}}, {800, 700}, {800, 700}},
        {"past the right edge", {{0, 0, 1000, 800}}, {900, 50}, {800, 50}},
        {"above and left", {{100, 100, 1000, 800}}, {-50, 20}, {100, 100}},
        {"the second area is nearer", {{0, 0, 1000, 800}, {1000, 0, 2000, 800}}, {1500, 100}, {1500, 100}},
        {"a tie goes to the earlier", {{0, 0, 500, 500}, {700, 0, 1200, 500}}, {500, 0}, {300, 0}},
        {"a tie, other order", {{700, 0, 1200, 500}, {0, 0, 500, 500}}, {500, 0}, {700, 0}},
        {"no area", {}, {300, 200}, {0, 0}},
    };
    TestWindow test;
    test.Create();
    test.window.SetSize(200, 100);
    for (const Case& c : cases) {
        test.window.MoveInsideWorkAreas(c.point, c.areas);
        const CPoint at = TopLeft(test.Handle());
        EXPECT_EQ(at.x, c.expected.x) << c.name;
        EXPECT_EQ(at.y, c.expected.y) << c.name;
    }
}

TEST(WindowPlacement, SetClientSizeGivesTheClientSizeAskedForWithAMenuBar)
{
    struct Case
    {
        int menuItems;
        CSize client;
    };
    for (const Case& c : {Case{0, {320, 200}}, Case{3, {320, 200}}, Case{12, {150, 90}}}) {
        TestWindow test;
        QuietWindowParameter parameter;
        parameter.style = WS_OVERLAPPEDWINDOW;
        if (c.menuItems > 0)
            parameter.menu = MenuBar(c.menuItems).Release();
        test.window.Create(parameter);
        test.window.SetClientSize(c.client);
        EXPECT_EQ(test.window.GetClientSize(), c.client) << c.menuItems << " menu items";
    }
}

TEST(DroppedFiles, FoldersGetABackslashAndJapaneseNamesStayIntact)
{
    Brivox::CTempFolder folder(L"drop");
    folder.Create();
    const String file = folder.GetPath() + L"日本語の画像.png";
    const String subfolder = folder.GetPath() + L"フォルダ";
    Brivox::WriteFile(file, std::vector<unsigned char>{0x78});
    Brivox::CreateDirectories(subfolder + L"\\");

    const std::vector<String> paths = Brivox::GetDroppedFiles(MakeDrop({file, subfolder}));
    ASSERT_EQ(paths.size(), 2u);
    EXPECT_EQ(paths[0], file);
    EXPECT_EQ(paths[1], subfolder + L"\\");
    EXPECT_TRUE(Brivox::GetDroppedFiles(MakeDrop({})).empty());
}

TEST(WindowPixels, ClientPixelsAreReadFromTheWindowsOwnDeviceContext)
{
    const COLORREF colour = RGB(0x31, 0xA2, 0x57);
    TestWindow test;
    std::atomic<bool> painted{false};
    test.onMessage = [&](SMessage& message) {
        if (message.message == WM_ERASEBKGND) {
            message.result = 1;
            return true;
        }
        if (message.message != WM_PAINT)
            return false;
        const auto paint = test.window.BeginPaint();
        const HBRUSH brush = ::CreateSolidBrush(colour);
        RECT client{};
        ::GetClientRect(message.hwnd, &client);
        ::FillRect(paint->hdc, &client, brush);
        ::DeleteObject(brush);
        painted = true;
        return true;
    };
    test.Create();
    // Wider than the narrowest window with a caption that the system allows.
    test.window.SetClientSize({200, 120});
    test.window.Show(SW_SHOWNOACTIVATE);
    ASSERT_TRUE(KanoruTest::PumpUntil([&] { return painted.load(); }));

    const auto pixels = KanoruTest::CaptureClient(test.Handle());
    ASSERT_EQ(pixels->GetSize(), (CSize{200, 120}));
    EXPECT_EQ(KanoruTest::PixelAt(*pixels, 0, 0), colour);
    EXPECT_EQ(KanoruTest::PixelAt(*pixels, 199, 119), colour);
}

TEST(SubclassedWindow, AWindowOfAnExistingClassKeepsItsProcedureForWhatNoHookerHandles)
{
    TestWindow test;
    QuietWindowParameter parameter;
    parameter.className = L"EDIT";
    parameter.style = WS_POPUP;
    test.window.Create(parameter);
    EXPECT_EQ(test.window.GetRegisteredClassName().Length(), 0);
    test.window.SetText(L"編集");
    EXPECT_TRUE(test.Saw(WM_SETTEXT));
    // The edit control's own procedure stored the text and answers its length.
    EXPECT_EQ(::SendMessageW(test.Handle(), WM_GETTEXTLENGTH, 0, 0), 2);
    EXPECT_EQ(test.window.GetText(), String(L"編集"));
}
