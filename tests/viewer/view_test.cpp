// The main window's view on the controller in-process: scroll bars, the selection drawn with the
// mouse, dropped files and slide-show steps.
#include "foundation/config.h"
#include "foundation/file_name.h"
#include "foundation/temp_file.h"
#include "support/wide_text.h"
#include "support/window_test_bed.h"
#include "ui/window.h"
#include "viewer/app_window.h"
#include "viewer/command_table.h"
#include "viewer_fixtures.h"

#include <gtest/gtest.h>

#include <shlobj.h>

#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

using Brivox::CPoint;
using Brivox::String;
using KanoruTest::MessageBoxAnswerer;
using KanoruTest::PumpUntil;
using KanoruTest::WindowText;

namespace {

std::wstring Number(int value)
{
    return std::to_wstring(value);
}

std::wstring Flag(bool value)
{
    return value ? L"true" : L"false";
}

using KanoruTest::Text;

// A drop as the shell hands it over: wide paths, folders without a trailing '\'.
HDROP MakeDrop(const std::vector<std::wstring>& paths)
{
    std::size_t chars = 1;
    for (const std::wstring& path : paths)
        chars += path.size() + 1;
    const HGLOBAL memory = ::GlobalAlloc(GHND, sizeof(DROPFILES) + chars * sizeof(wchar_t));
    auto* drop = static_cast<DROPFILES*>(::GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    auto* out = reinterpret_cast<wchar_t*>(reinterpret_cast<char*>(drop) + sizeof(DROPFILES));
    for (const std::wstring& path : paths) {
        std::memcpy(out, path.c_str(), path.size() * sizeof(wchar_t));
        out += path.size() + 1;
    }
    ::GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

SCROLLINFO ScrollInfo(HWND hwnd, int bar)
{
    SCROLLINFO info{};
    info.cbSize = sizeof(info);
    info.fMask = SIF_ALL;
    ::GetScrollInfo(hwnd, bar, &info);
    return info;
}

// STATE_SYSTEM_INVISIBLE or STATE_SYSTEM_UNAVAILABLE of the bar itself.
DWORD ScrollBarState(HWND hwnd, LONG object)
{
    SCROLLBARINFO info{};
    info.cbSize = sizeof(info);
    if (!::GetScrollBarInfo(hwnd, object, &info))
        return STATE_SYSTEM_INVISIBLE;
    return info.rgstate[0];
}

// The client area made exactly this size, whatever room the scroll bars take from it.
void SetExactClientSize(HWND hwnd, int width, int height)
{
    for (int round = 0; round < 3; ++round) {
        RECT client{}, window{};
        ::GetClientRect(hwnd, &client);
        ::GetWindowRect(hwnd, &window);
        if (client.right == width && client.bottom == height)
            return;
        ::SetWindowPos(hwnd, nullptr, 0, 0, window.right - window.left + width - client.right,
                       window.bottom - window.top + height - client.bottom,
                       SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

bool IsChecked(HMENU menu, int command)
{
    return (::GetMenuState(menu, static_cast<UINT>(CommandIdBase + command), MF_BYCOMMAND) & MF_CHECKED) != 0;
}

// The cursor moved to a screen point through the system's input, with the buttons given, all in
// one event: the press lands where the move ends, whatever else moves the cursor meanwhile.
void MouseInputAt(POINT screen, DWORD buttons)
{
    const int width = ::GetSystemMetrics(SM_CXSCREEN);
    const int height = ::GetSystemMetrics(SM_CYSCREEN);
    INPUT input{};
    input.type = INPUT_MOUSE;
    // The smallest normalised value that maps back onto the pixel.
    input.mi.dx = static_cast<LONG>((static_cast<long long>(screen.x) * 65536 + width - 1) / width);
    input.mi.dy = static_cast<LONG>((static_cast<long long>(screen.y) * 65536 + height - 1) / height);
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | buttons;
    ::SendInput(1, &input, sizeof(INPUT));
}

class ViewTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_folder.Create();
        m_root = Text(m_folder.GetPath());
    }
    void TearDown() override { ViewerFixtures::RemoveSettingsFiles(BaseName); }
    // A folder of the root with pages of the given sizes, named a.png, b.png...
    std::wstring Pages(const wchar_t* name, const std::vector<Brivox::CSize>& sizes)
    {
        const std::wstring folder = m_root + name + L"\\";
        ::CreateDirectoryW(folder.c_str(), nullptr);
        wchar_t file[] = L"a.png";
        for (const Brivox::CSize& size : sizes) {
            ViewerFixtures::WriteBars(folder + file, size.cx, size.cy,
                                      {ViewerFixtures::Red, ViewerFixtures::Blue});
            ++file[0];
        }
        return folder;
    }
    template <typename Job> void OnWindow(CAppWindow& app, Job job) { app.RunOnWindowThread(job); }
    // The settings as their texts, then applied.
    static void Set(CAppWindow& app, const std::vector<std::pair<const wchar_t*, std::wstring>>& values)
    {
        app.RunOnWindowThread([&] {
            for (const auto& value : values)
                app.GetSettings().SetRaw(value.first, value.second.c_str());
            app.ApplySettings();
        });
    }
    static Brivox::CRect RestoreRect(CAppWindow& app)
    {
        Brivox::CRect rect;
        app.RunOnWindowThread([&] { rect = app.GetRestoreRect(); });
        return rect;
    }
    // The rectangle the settings file holds after the controller has gone.
    static RECT StoredRestoreRect()
    {
        Brivox::CConfig stored;
        stored.SetRect(L"WindowPosRestoreRect", {0, 0, 0, 0});
        stored.Load(Brivox::CFileName::FromExecutableDirectory(String(BaseName) + L".cfg").ToString());
        return stored.GetRect(L"WindowPosRestoreRect");
    }

    static constexpr const wchar_t* BaseName = L"viewer_test_view_area";
    Brivox::CTempFolder m_folder{L"kanoru-view-"};
    std::wstring m_root;
};

} // namespace

using DesktopInputView = ViewTest;

TEST_F(DesktopInputView, ScrollBarsFollowTheLayout)
{
    const std::wstring big = Pages(L"big", {{3000, 3000}});
    const std::wstring small = Pages(L"small", {{60, 40}});
    const struct
    {
        const wchar_t* folder;
        int stretch;
        int stickOut;
        DWORD state; // of both bars
    } cases[] = {
        {L"big", 3, 0, 0},
        {L"small", 0, 0, STATE_SYSTEM_INVISIBLE},
        {L"small", 0, 1, STATE_SYSTEM_UNAVAILABLE},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.folder + std::to_wstring(c.stretch) + L"/" + std::to_wstring(c.stickOut));
        CAppWindow app(BaseName);
        Set(app, {{L"DrawStretchType", Number(c.stretch)},
                  {L"DrawStickOut", Flag(c.stickOut)},
                  {L"WindowPosRestore", Flag(false)}});
        app.Start({(m_root + c.folder + L"\\").c_str()}, SW_SHOWNORMAL);
        const HWND hwnd = app.GetWindow().GetHandle();
        SetExactClientSize(hwnd, 800, 600);
        Brivox::CSize excess;
        OnWindow(app, [&] { excess = app.GetDocument()->GetLayout().GetExcess(); });
        RECT client{};
        ::GetClientRect(hwnd, &client);
        for (const auto& bar :
             {std::make_pair(SB_HORZ, OBJID_HSCROLL), std::make_pair(SB_VERT, OBJID_VSCROLL)})
            EXPECT_EQ(c.state,
                      ScrollBarState(hwnd, bar.second) & (STATE_SYSTEM_INVISIBLE | STATE_SYSTEM_UNAVAILABLE))
                << bar.first;
        if (c.state == 0) {
            EXPECT_EQ(800, client.right);
            EXPECT_EQ(600, client.bottom);
            const SCROLLINFO h = ScrollInfo(hwnd, SB_HORZ);
            EXPECT_EQ(0, h.nMin);
            EXPECT_GT(excess.cx, 0);
            EXPECT_EQ(excess.cx + 800, h.nMax);
            EXPECT_EQ(801u, h.nPage);
            const SCROLLINFO v = ScrollInfo(hwnd, SB_VERT);
            EXPECT_EQ(excess.cy + 600, v.nMax);
            EXPECT_EQ(601u, v.nPage);

            const int start = ScrollInfo(hwnd, SB_HORZ).nPos;
            ::SendMessageW(hwnd, WM_HSCROLL, SB_LINEDOWN, 0);
            EXPECT_EQ(start + 100, ScrollInfo(hwnd, SB_HORZ).nPos);
            Brivox::CPoint offset;
            OnWindow(app, [&] { offset = app.GetDocument()->GetLayout().GetClampedOffset(); });
            EXPECT_EQ(start + 100, offset.x);

            // Page by page to the end, where a further line leaves the view where it is.
            for (int i = 0; i < 10; ++i)
                ::SendMessageW(hwnd, WM_VSCROLL, SB_PAGEDOWN, 0);
            EXPECT_EQ(excess.cy, ScrollInfo(hwnd, SB_VERT).nPos);
            ::SendMessageW(hwnd, WM_VSCROLL, SB_LINEDOWN, 0);
            EXPECT_EQ(excess.cy, ScrollInfo(hwnd, SB_VERT).nPos);
            OnWindow(app, [&] { offset = app.GetDocument()->GetLayout().GetClampedOffset(); });
            EXPECT_EQ(excess.cy, offset.y);
        }
        ViewerFixtures::CloseAndWait(app);
    }
}

TEST_F(DesktopInputView, ADragWithTheLeftButtonSelectsInImagePixels)
{
    const std::wstring big = Pages(L"big", {{1600, 1200}});
    CAppWindow app(BaseName);
    Set(app, {{L"DrawStretchType", Number(3)}, {L"WindowPosRestore", Flag(false)}});
    app.RunOnWindowThread([&] { app.GetSettings().SetRaw(L"Titlebar", L"$(selx),$(sely) $(selw)x$(selh)"); });
    app.Start({big.c_str()}, SW_SHOWNORMAL);
    const HWND hwnd = app.GetWindow().GetHandle();
    // Above the windows that other test programs show meanwhile, which would take the mouse, and
    // away from the screen's corner.
    ::SetWindowPos(hwnd, HWND_TOPMOST, 200, 150, 0, 0, SWP_NOSIZE);
    SetExactClientSize(hwnd, 640, 480);
    Brivox::CPoint offset;
    OnWindow(app, [&] { offset = app.GetDocument()->GetLayout().GetClampedOffset(); });
    const auto state = [&] {
        Brivox::CSelectionRect::State value = Brivox::CSelectionRect::None;
        app.RunOnWindowThread([&] { value = app.GetSelection().GetState(); });
        return value;
    };
    // The input comes from the window's own thread: the pointer events the system sends back for
    // each move then reach that thread after the move that caused them, never after a later one,
    // so none of them takes the cursor back to where an earlier step left it.
    const auto input = [&](POINT at, DWORD buttons) {
        ::ClientToScreen(hwnd, &at);
        app.RunOnWindowThread([&] { MouseInputAt(at, buttons); });
        POINT cursor{};
        EXPECT_TRUE(PumpUntil([&] {
            return ::GetCursorPos(&cursor) && cursor.x == at.x && cursor.y == at.y;
        })) << cursor.x
            << "," << cursor.y << " for " << at.x << "," << at.y;
    };
    const auto press = [&](POINT at, Brivox::CSelectionRect::State after) {
        input(at, MOUSEEVENTF_LEFTDOWN);
        EXPECT_TRUE(PumpUntil([&] { return state() == after; })) << after;
    };
    const auto release = [&](POINT at, Brivox::CSelectionRect::State after) {
        input(at, MOUSEEVENTF_LEFTUP);
        EXPECT_TRUE(PumpUntil([&] { return state() == after; })) << after;
    };
    const std::wstring expected =
        std::to_wstring(50 + offset.x) + L"," + std::to_wstring(40 + offset.y) + L" 200x100";
    press({50, 40}, Brivox::CSelectionRect::Drawing);
    input({250, 140}, 0);
    // Shown while the drag runs.
    EXPECT_TRUE(PumpUntil([&] { return WindowText(hwnd) == expected; })) << WindowText(hwnd);
    release({250, 140}, Brivox::CSelectionRect::Selected);
    EXPECT_EQ(expected, WindowText(hwnd));
    // A click away from the frame clears it.
    press({400, 300}, Brivox::CSelectionRect::None);
    release({400, 300}, Brivox::CSelectionRect::None);
    EXPECT_TRUE(PumpUntil([&] { return WindowText(hwnd) != expected; })) << WindowText(hwnd);
    const std::wstring cleared = WindowText(hwnd);
    // The mirrored drag gives the same selection.
    press({250, 140}, Brivox::CSelectionRect::Drawing);
    input({50, 40}, 0);
    EXPECT_TRUE(PumpUntil([&] { return WindowText(hwnd) == expected; })) << WindowText(hwnd);
    release({50, 40}, Brivox::CSelectionRect::Selected);
    EXPECT_EQ(expected, WindowText(hwnd));
    // Without a selection the caption names the whole page.
    EXPECT_EQ(L"0,0 1600x1200", cleared);
    ViewerFixtures::CloseAndWait(app);
}

TEST_F(DesktopInputView, SelectionNeedsAPageAndEndsWhenTheCaptureIsLost)
{
    const std::wstring pages = Pages(L"pages", {{600, 400}});
    for (const bool withPage : {false, true}) {
        SCOPED_TRACE(withPage);
        CAppWindow app(BaseName);
        if (withPage)
            app.Start({pages.c_str()}, SW_SHOWNORMAL);
        else
            app.Start({}, SW_SHOWNORMAL);
        const HWND hwnd = app.GetWindow().GetHandle();
        const auto cursor = std::make_shared<CPoint>(CPoint{120, 90});
        OnWindow(app, [&] { app.GetSelection().SetCursorSource([cursor](HWND) { return *cursor; }); });
        ::SendMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(120, 90));
        *cursor = {20, 30};
        ::SendMessageW(hwnd, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(20, 30));
        ::SendMessageW(hwnd, WM_CANCELMODE, 0, 0);
        Brivox::CSelectionRect::State state = Brivox::CSelectionRect::None;
        Brivox::CRect rect;
        OnWindow(app, [&] {
            state = app.GetSelection().GetState();
            rect = app.GetSelectionRect();
        });
        if (withPage) {
            EXPECT_EQ(Brivox::CSelectionRect::Selected, state);
            EXPECT_EQ(20, rect.left);
            EXPECT_EQ(30, rect.top);
            EXPECT_EQ(120, rect.right);
            EXPECT_EQ(90, rect.bottom);
        } else {
            EXPECT_EQ(Brivox::CSelectionRect::None, state);
            EXPECT_EQ(0, rect.Width());
            EXPECT_EQ(0, rect.Height());
        }
        ViewerFixtures::CloseAndWait(app);
    }
}

TEST_F(DesktopInputView, ADroppedFolderOpensLikeACommandLineFolder)
{
    const std::wstring first = Pages(L"first", {{60, 40}, {60, 40}, {60, 40}});
    const std::wstring dropped = Pages(L"dropped", {{60, 40}, {60, 40}});
    for (const int cdOnDrop : {1, 0}) {
        SCOPED_TRACE(cdOnDrop);
        CAppWindow app(BaseName);
        Set(app, {{L"FileAddMode", Flag(false)}, {L"CDOnDrop", Flag(cdOnDrop)}});
        app.Start({first.c_str()}, SW_SHOWNORMAL);
        const HWND hwnd = app.GetWindow().GetHandle();
        std::wstring before;
        OnWindow(app, [&] { before = Text(app.GetSettings().GetRaw(L"CurrentDir")); });
        ::SendMessageW(hwnd, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({m_root + L"dropped"})), 0);
        int count = 0;
        std::wstring current, currentDir;
        OnWindow(app, [&] {
            CDocument& document = *app.GetDocument();
            count = document.GetFileCount();
            current = Text(document.GetEntryCopy(document.GetCurrentIndex())->GetPath());
            currentDir = Text(app.GetSettings().GetRaw(L"CurrentDir"));
        });
        EXPECT_EQ(2, count);
        EXPECT_EQ(dropped + L"a.png", current);
        EXPECT_EQ(cdOnDrop ? dropped : before, currentDir);
        ViewerFixtures::CloseAndWait(app);
    }
}

TEST_F(DesktopInputView, ADropOverMarkedFilesAsksFirstAndCancelKeepsListAndMarks)
{
    const std::wstring first = Pages(L"first", {{60, 40}, {60, 40}, {60, 40}});
    Pages(L"dropped", {{60, 40}});
    CAppWindow app(BaseName);
    Set(app, {{L"FileAddMode", Flag(false)}});
    app.Start({first.c_str()}, SW_SHOWNORMAL);
    const HWND hwnd = app.GetWindow().GetHandle();
    OnWindow(app, [&] { app.GetDocument()->SetMark(true); });
    {
        MessageBoxAnswerer cancel(IDCANCEL);
        ::SendMessageW(hwnd, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({m_root + L"dropped"})), 0);
        ASSERT_EQ(1u, cancel.Boxes().size());
        EXPECT_EQ(L"確認", Text(cancel.Boxes().at(0).caption));
    }
    int count = 0, marked = 0;
    OnWindow(app, [&] {
        count = app.GetDocument()->GetFileCount();
        marked = app.GetDocument()->CountMarked();
    });
    EXPECT_EQ(3, count);
    EXPECT_EQ(1, marked);
    // The close asks again.
    MessageBoxAnswerer ok(IDOK);
    ViewerFixtures::CloseAndWait(app);
}

TEST_F(DesktopInputView, SlideShowStepsStopAtTheEndOfTheList)
{
    const std::wstring pages = Pages(L"pages", {{60, 40}, {60, 40}, {60, 40}});
    const struct
    {
        int backward;
        int stopWithLast;
        int start;
        std::vector<std::pair<int, bool>> steps; // index and running after each tick
    } cases[] = {
        {0, 1, 0, {{1, true}, {2, false}}},
        // The wrap from the last file to the first.
        {0, 1, 2, {{0, false}}},
        {0, 0, 1, {{2, true}, {0, true}, {1, true}}},
        {1, 1, 2, {{1, true}, {0, false}}},
        {1, 1, 0, {{2, false}}},
        {1, 0, 0, {{2, true}, {1, true}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.backward) + "/" + std::to_string(c.stopWithLast) + "/" +
                     std::to_string(c.start));
        CAppWindow app(BaseName);
        // A period no test waits for: the ticks are sent.
        Set(app, {{L"SlideShowDist", Number(c.backward)},
                  {L"SlideShowStopWithLast", Flag(c.stopWithLast)},
                  {L"LinkFirstAndLast", Flag(true)},
                  {L"ImageSpreadView_", Number(0)},
                  {L"SlideShowFreq", Number(3600000)}});
        app.Start({pages.c_str()}, SW_SHOWNORMAL);
        const HWND hwnd = app.GetWindow().GetHandle();
        OnWindow(app, [&] {
            app.GetDocument()->GoTo(c.start);
            app.StartSlideShow();
        });
        EXPECT_TRUE(IsChecked(::GetMenu(hwnd), CmdSlideShow));
        for (const auto& step : c.steps) {
            ::SendMessageW(hwnd, WM_TIMER, CAppWindow::SlideShowTimer, 0);
            int index = -1;
            bool running = false;
            OnWindow(app, [&] {
                index = app.GetDocument()->GetCurrentIndex();
                running = app.IsSlideShowRunning();
            });
            EXPECT_EQ(step.first, index);
            EXPECT_EQ(step.second, running);
        }
        EXPECT_EQ(c.steps.back().second, IsChecked(::GetMenu(hwnd), CmdSlideShow));
        ViewerFixtures::CloseAndWait(app);
    }
}

TEST_F(DesktopInputView, SlideShowStopsOnAnyOtherHandledCommand)
{
    const std::wstring pages = Pages(L"pages", {{60, 40}, {60, 40}, {60, 40}});
    const struct
    {
        int stopWithCommand;
        WPARAM id;
        bool running;
    } cases[] = {
        // The slide-show command itself turns a running show off.
        {1, CommandIdBase + CmdSlideShow, false},
        {1, 0xF82A, true},
        {1, CommandIdBase + CmdNext, false},
        {0, CommandIdBase + CmdNext, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.stopWithCommand) + "/" + std::to_string(c.id));
        CAppWindow app(BaseName);
        Set(app,
            {{L"SlideShowStopWithCommand", Flag(c.stopWithCommand)}, {L"SlideShowFreq", Number(3600000)}});
        app.Start({pages.c_str()}, SW_SHOWNORMAL);
        const HWND hwnd = app.GetWindow().GetHandle();
        OnWindow(app, [&] { app.StartSlideShow(); });
        ::SendMessageW(hwnd, WM_COMMAND, c.id, 0);
        bool running = false;
        OnWindow(app, [&] { running = app.IsSlideShowRunning(); });
        EXPECT_EQ(c.running, running);
        EXPECT_EQ(c.running, IsChecked(::GetMenu(hwnd), CmdSlideShow));
        ViewerFixtures::CloseAndWait(app);
    }
}

TEST_F(DesktopInputView, MaximisingOrMovingInFullScreenLeavesTheStoredRestoreRectangle)
{
    const std::wstring pages = Pages(L"pages", {{600, 400}});
    const struct
    {
        const char* name;
        int command;
        bool moveAfter; // the window moved once the command has taken it out of its normal place
    } cases[] = {
        {"maximised", CmdMaximizeWindow, false},
        {"full screen", CmdToggleFullScreenWindow, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Brivox::CRect normal;
        {
            CAppWindow app(BaseName);
            Set(app, {{L"WindowPosRestore", Flag(false)}, {L"FullScreenMinOnDeactive", Flag(false)}});
            app.Start({pages.c_str()}, SW_SHOWNORMAL);
            const HWND hwnd = app.GetWindow().GetHandle();
            ::SetWindowPos(hwnd, nullptr, 40, 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
            normal = RestoreRect(app);
            RECT client{};
            ::GetClientRect(hwnd, &client);
            EXPECT_EQ(40, normal.left);
            EXPECT_EQ(30, normal.top);
            EXPECT_EQ(40 + client.right, normal.right);
            EXPECT_EQ(30 + client.bottom, normal.bottom);

            ::SendMessageW(hwnd, WM_COMMAND, CommandIdBase + c.command, 0);
            RECT window{};
            ::GetWindowRect(hwnd, &window);
            EXPECT_TRUE(window.left != 40 || window.top != 30) << window.left << "," << window.top;
            if (c.moveAfter)
                ::SetWindowPos(hwnd, nullptr, 5, 7, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
            const Brivox::CRect kept = RestoreRect(app);
            EXPECT_EQ(normal.left, kept.left);
            EXPECT_EQ(normal.top, kept.top);
            EXPECT_EQ(normal.right, kept.right);
            EXPECT_EQ(normal.bottom, kept.bottom);
            // Closed in that state: what is stored is the normal placement.
            ViewerFixtures::CloseAndWait(app);
        }
        const RECT stored = StoredRestoreRect();
        EXPECT_EQ(normal.left, stored.left);
        EXPECT_EQ(normal.top, stored.top);
        EXPECT_EQ(normal.right, stored.right);
        EXPECT_EQ(normal.bottom, stored.bottom);
    }
}
