// The window and view commands, on the controller in-process and on Kanoru2.exe through ids
// posted as the menu posts them.
#include "foundation/file_name.h"
#include "foundation/temp_file.h"
#include "program_settings.h"
#include "support/wide_text.h"
#include "support/window_test_bed.h"
#include "ui/window.h"
#include "viewer/app_window.h"
#include "viewer/command_table.h"
#include "viewer/title.h"
#include "viewer_fixtures.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using Brivox::String;
using KanoruTest::ProgramInFreshFolder;

namespace {

using KanoruTest::Text;

std::wstring MenuItemText(HMENU menu, int command)
{
    wchar_t text[256] = {};
    ::GetMenuStringW(menu, static_cast<UINT>(CommandIdBase + command), text, 256, MF_BYCOMMAND);
    return text;
}

bool IsChecked(HMENU menu, int command)
{
    return (::GetMenuState(menu, static_cast<UINT>(CommandIdBase + command), MF_BYCOMMAND) & MF_CHECKED) != 0;
}

class ViewCommandsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_folder.Create();
        m_pages = Text(m_folder.GetPath());
        ViewerFixtures::WriteTwoPages(m_pages);
    }
    void TearDown() override { ViewerFixtures::RemoveSettingsFiles(BaseName); }
    void Send(HWND hwnd, int command) { ::SendMessageW(hwnd, WM_COMMAND, CommandIdBase + command, 0); }

    static constexpr const wchar_t* BaseName = L"viewer_test_view";
    Brivox::CTempFolder m_folder{L"kanoru-viewer-"};
    std::wstring m_pages;
};

} // namespace

using DesktopInputViewCommands = ViewCommandsTest;

TEST_F(DesktopInputViewCommands, WindowCommandsAndTheMenuBar)
{
    CAppWindow app(BaseName);
    app.Start({m_pages.c_str()}, SW_SHOWNORMAL);
    const HWND hwnd = app.GetWindow().GetHandle();

    Send(hwnd, CmdTopMost);
    EXPECT_NE(0, ::GetWindowLongPtrW(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_TRUE(IsChecked(::GetMenu(hwnd), CmdTopMost));
    Send(hwnd, CmdTopMost);
    EXPECT_EQ(0, ::GetWindowLongPtrW(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_FALSE(IsChecked(::GetMenu(hwnd), CmdTopMost));

    Send(hwnd, CmdMaximizeWindow);
    EXPECT_TRUE(::IsZoomed(hwnd));
    Send(hwnd, CmdMaximizeWindow);
    EXPECT_FALSE(::IsZoomed(hwnd));
    Send(hwnd, CmdMinimizeWindow);
    EXPECT_TRUE(::IsIconic(hwnd));
    ::ShowWindow(hwnd, SW_RESTORE);

    const HMENU menu = ::GetMenu(hwnd);
    ASSERT_NE(nullptr, menu);
    EXPECT_EQ(L"次へ(&N)\t→", MenuItemText(menu, CmdNext));
    Send(hwnd, CmdDetachMenuBar);
    EXPECT_EQ(nullptr, ::GetMenu(hwnd));
    Send(hwnd, CmdDetachMenuBar);
    EXPECT_EQ(menu, ::GetMenu(hwnd));
    EXPECT_EQ(L"次へ(&N)\t→", MenuItemText(menu, CmdNext));
    EXPECT_EQ(L"倍率を0.7倍する(&/)\tCtrl+Num -, Ctrl+ホイール(上)", MenuItemText(menu, CmdZoomOut));

    Send(hwnd, CmdExit);
    app.WaitUntilClosed();
}

TEST_F(DesktopInputViewCommands, MenuChecksFollowTheSettings)
{
    CAppWindow app(BaseName);
    app.Start({}, SW_SHOWNORMAL);
    const HWND hwnd = app.GetWindow().GetHandle();
    const HMENU menu = ::GetMenu(hwnd);
    const struct
    {
        const wchar_t* key;
        int value;
        std::vector<int> checked; // of the group, the rest unchecked
        std::vector<int> unchecked;
    } cases[] = {
        {L"DrawStretchType",
         3,
         {CmdActualSize},
         {CmdFitShrink, CmdFitShrinkEnlarge, CmdFitEnlarge, CmdFixedZoom}},
        {L"DrawStretchType",
         7,
         {},
         {CmdFitShrink, CmdFitShrinkEnlarge, CmdFitEnlarge, CmdActualSize, CmdFixedZoom}},
        {L"ImageSpreadView_", 2, {CmdSpreadViewLeftBound}, {CmdSpreadView}},
        {L"ImageSpreadView_", 0, {}, {CmdSpreadView, CmdSpreadViewLeftBound}},
        {L"FilterSharp", 3, {CmdFilterBlurStrong}, {CmdFilterBlur, CmdFilterSharpen, CmdFilterSharpenStrong}},
        {L"FilterRot1", 2, {CmdFilterFlipVertical}, {CmdFilterFlipHorizontal, CmdFilterRotate180}},
        {L"FilterGray", 0, {}, {CmdFilterGrayscaleSimple, CmdFilterGrayscaleExact}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::wstring(c.key) + L" " + std::to_wstring(c.value));
        app.RunOnWindowThread([&] {
            app.GetSettings().SetInt(c.key, c.value);
            app.UpdateMenuState();
        });
        for (int command : c.checked)
            EXPECT_TRUE(IsChecked(menu, command)) << command;
        for (int command : c.unchecked)
            EXPECT_FALSE(IsChecked(menu, command)) << command;
    }
    // The filter items keep their checks while filters are off.
    app.RunOnWindowThread([&] {
        app.GetSettings().SetBool(L"Filter", false);
        app.GetSettings().SetBool(L"FilterNeg", true);
        app.UpdateMenuState();
    });
    EXPECT_TRUE(IsChecked(menu, CmdFilterInvertColors));
    EXPECT_FALSE(IsChecked(menu, CmdToggleFilters));
    EXPECT_NE(0u, ::GetMenuState(menu, CommandIdBase + CmdFilterInvertColors, MF_BYCOMMAND) & MF_GRAYED);
    ::SendMessageW(hwnd, WM_COMMAND, CommandIdBase + CmdExit, 0);
    app.WaitUntilClosed();
}

using ViewerFixtures::Holds;
using ViewerFixtures::SettingsAfter;

TEST(DesktopInputViewCommandsProgram, ZoomStepsStoreTheRoundedRate)
{
    const struct
    {
        const char* start;
        std::vector<int> commands;
        const char* rate;
    } cases[] = {
        {"DrawStretchRate = 1.0\r\n", std::vector<int>(6, CmdZoomIn), "8.0"},
        {"DrawStretchRate = 1.0\r\n", std::vector<int>(3, CmdZoomIn), "2.8284"},
        {"DrawStretchRate = 1.0\r\n", std::vector<int>(5, CmdZoomOut), "0.1768"},
        {"DrawStretchRate = 1.0\r\n", {CmdZoomOut, CmdZoomIn}, "1.0"},
        {"DrawStretchRate = 0.0625\r\n", {CmdZoomOut}, "0.0625"},
        {"DrawStretchRate = 8.0\r\n", {CmdZoomIn}, "8.0"},
        {"DrawStretchRate = 3.5\r\n", {CmdZoomReset}, "1.0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.start) + " then " + std::to_string(c.commands.size()) + " steps");
        const std::string settings = SettingsAfter(c.start, c.commands);
        EXPECT_TRUE(Holds(settings, "DrawStretchType = 4")) << settings;
        EXPECT_TRUE(Holds(settings, std::string("DrawStretchRate = ") + c.rate)) << settings;
    }
}

TEST(DesktopInputViewCommandsProgram, TogglesFlipTheirKeys)
{
    const std::string settings = SettingsAfter("DrawStickOut = false\r\nPadding = true\r\n",
                                               {CmdAllowStickOut, CmdPadding, CmdFitEnlarge});
    EXPECT_TRUE(Holds(settings, "DrawStickOut = true")) << settings;
    EXPECT_TRUE(Holds(settings, "Padding = false")) << settings;
    EXPECT_TRUE(Holds(settings, "DrawStretchType = 2")) << settings;
}

TEST_F(DesktopInputViewCommands, SwitchingTheSpreadOffKeepsItsSecondFileWhenAsked)
{
    const std::wstring portraits = m_pages + L"portraits\\";
    ::CreateDirectoryW(portraits.c_str(), nullptr);
    for (const wchar_t* name : {L"a.png", L"b.png", L"c.png"})
        ViewerFixtures::WriteBars(portraits + name, 400, 600, {ViewerFixtures::Green});
    for (const bool nextOnCancel : {true, false}) {
        SCOPED_TRACE(nextOnCancel);
        CAppWindow app(BaseName);
        app.RunOnWindowThread([&] {
            app.GetSettings().SetInt(L"ImageSpreadView_", 1);
            app.GetSettings().SetBool(L"NextOnCancelSpread", nextOnCancel);
            app.ApplySettings();
        });
        app.Start({portraits.c_str()}, SW_SHOWNORMAL);
        const HWND hwnd = app.GetWindow().GetHandle();
        bool spread = false;
        app.RunOnWindowThread([&] { spread = app.GetDocument()->IsSpreadPage(); });
        ASSERT_TRUE(spread);
        Send(hwnd, CmdSpreadView);
        int index = -1;
        int spreadView = -1;
        app.RunOnWindowThread([&] {
            index = app.GetDocument()->GetCurrentIndex();
            spread = app.GetDocument()->IsSpreadPage();
            spreadView = app.GetSettings().GetInt(L"ImageSpreadView_");
        });
        EXPECT_EQ(nextOnCancel ? 1 : 0, index);
        EXPECT_FALSE(spread);
        EXPECT_EQ(0, spreadView);
        Send(hwnd, CmdSpreadViewLeftBound);
        app.RunOnWindowThread([&] { spreadView = app.GetSettings().GetInt(L"ImageSpreadView_"); });
        EXPECT_EQ(2, spreadView);
        Send(hwnd, CmdExit);
        app.WaitUntilClosed();
    }
}

TEST_F(DesktopInputViewCommands, SortCommandsReorderTheListAroundTheShownFile)
{
    const std::wstring sized = m_pages + L"sized\\";
    ::CreateDirectoryW(sized.c_str(), nullptr);
    ViewerFixtures::WriteBars(sized + L"a.png", 900, 600, {ViewerFixtures::Red, ViewerFixtures::Blue});
    ViewerFixtures::WriteBars(sized + L"b.png", 60, 40, {ViewerFixtures::Red});
    CAppWindow app(BaseName);
    app.Start({sized.c_str()}, SW_SHOWNORMAL);
    const HWND hwnd = app.GetWindow().GetHandle();
    const auto shown = [&] {
        STitleFacts facts;
        app.RunOnWindowThread([&] { facts = app.GetTitleFacts(); });
        return Text(Brivox::CFileName::GetFileName(facts.path)) + L" " + std::to_wstring(facts.index);
    };
    EXPECT_EQ(L"a.png 1", shown());
    Send(hwnd, CmdSortBySize);
    EXPECT_EQ(L"a.png 2", shown());
    Send(hwnd, CmdSortList);
    EXPECT_EQ(L"a.png 1", shown());
    // An id that belongs to no command is left to the window's default processing.
    bool handled = true;
    app.RunOnWindowThread([&] { handled = app.OnCommand({hwnd, WM_COMMAND, 0xF82A, 0, 0, nullptr}); });
    EXPECT_FALSE(handled);
    Send(hwnd, CmdExit);
    app.WaitUntilClosed();
}

TEST_F(DesktopInputViewCommands, AltEnterTogglesTheWindowFullScreen)
{
    CAppWindow app(BaseName);
    // The test's own focus changes must not count as the user leaving for another program.
    app.RunOnWindowThread([&] {
        app.GetSettings().SetBool(L"FullScreenMinOnDeactive", false);
        app.ApplySettings();
    });
    app.Start({m_pages.c_str()}, SW_SHOWNORMAL);
    const HWND hwnd = app.GetWindow().GetHandle();
    RECT before{};
    ::GetWindowRect(hwnd, &before);
    const LONG_PTR styleBefore = ::GetWindowLongPtrW(hwnd, GWL_STYLE);
    const RECT screen{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    const auto windowRect = [&] {
        RECT rect{};
        ::GetWindowRect(hwnd, &rect);
        return rect;
    };
    const auto same = [](const RECT& a, const RECT& b) {
        return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
    };

    ASSERT_TRUE(KanoruTest::SendKeyCombination(hwnd, {VK_MENU}, VK_RETURN));
    EXPECT_TRUE(KanoruTest::PumpUntil([&] {
        return (::GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_POPUP) != 0 && same(windowRect(), screen);
    }));
    ASSERT_TRUE(KanoruTest::SendKeyCombination(hwnd, {VK_MENU}, VK_RETURN));
    EXPECT_TRUE(KanoruTest::PumpUntil(
        [&] { return ::GetWindowLongPtrW(hwnd, GWL_STYLE) == styleBefore && same(windowRect(), before); }));
    const RECT after = windowRect();
    EXPECT_EQ(styleBefore, ::GetWindowLongPtrW(hwnd, GWL_STYLE));
    EXPECT_EQ(before.left, after.left);
    EXPECT_EQ(before.top, after.top);
    EXPECT_EQ(before.right, after.right);
    EXPECT_EQ(before.bottom, after.bottom);
    Send(hwnd, CmdExit);
    app.WaitUntilClosed();
}

namespace {

struct SViewerWindowSearch
{
    DWORD except;
    HWND found;
};

BOOL CALLBACK FindOtherViewer(HWND hwnd, LPARAM parameter)
{
    SViewerWindowSearch& search = *reinterpret_cast<SViewerWindowSearch*>(parameter);
    DWORD process = 0;
    ::GetWindowThreadProcessId(hwnd, &process);
    if (process != search.except && process != ::GetCurrentProcessId() && ::IsWindowVisible(hwnd) &&
        KanoruTest::WindowText(hwnd).rfind(L"Kanoru : ", 0) == 0) {
        search.found = hwnd;
        return FALSE;
    }
    return TRUE;
}

// A top-level window with the viewer's caption of another process than the given one.
HWND FindOtherViewerWindow(DWORD except)
{
    SViewerWindowSearch search{except, nullptr};
    ::EnumWindows(&FindOtherViewer, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

} // namespace

TEST(DesktopInputViewCommandsProgram, NewWindowStartsAnotherViewer)
{
    ProgramInFreshFolder program(ViewerFixtures::Kanoru2Path());
    ASSERT_TRUE(program.Started());
    const HWND hwnd = program.WaitForWindow();
    ASSERT_NE(nullptr, hwnd);
    ::PostMessageW(hwnd, WM_COMMAND, CommandIdBase + CmdNewWindow, 0);
    HWND other = nullptr;
    EXPECT_TRUE(KanoruTest::PumpUntil(
        [&] { return (other = FindOtherViewerWindow(program.ProcessId())) != nullptr; }));
    if (other) {
        DWORD otherId = 0;
        ::GetWindowThreadProcessId(other, &otherId);
        const HANDLE otherProcess = ::OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, otherId);
        ::PostMessageW(other, WM_CLOSE, 0, 0);
        EXPECT_TRUE(
            KanoruTest::PumpUntil([&] { return ::WaitForSingleObject(otherProcess, 0) == WAIT_OBJECT_0; }));
        ::TerminateProcess(otherProcess, 99);
        ::CloseHandle(otherProcess);
    }
    ::PostMessageW(hwnd, WM_CLOSE, 0, 0);
    EXPECT_EQ(0, program.WaitForExit());
}

TEST_F(DesktopInputViewCommands, InFullScreenTheStateGoesToTheBarsMenu)
{
    CAppWindow app(BaseName);
    app.RunOnWindowThread([&] {
        app.GetSettings().SetBool(L"FullScreenMinOnDeactive", false);
        app.ApplySettings();
    });
    app.Start({m_pages.c_str()}, SW_SHOWNORMAL);
    const HWND hwnd = app.GetWindow().GetHandle();
    const HMENU menu = ::GetMenu(hwnd);
    Send(hwnd, CmdToggleFullScreenWindow);
    EXPECT_NE(menu, ::GetMenu(hwnd));
    Send(hwnd, CmdAllowStickOut);
    bool stickOut = false;
    app.RunOnWindowThread([&] { stickOut = app.GetSettings().GetBool(L"DrawStickOut"); });
    EXPECT_EQ(stickOut, IsChecked(menu, CmdAllowStickOut));
    Send(hwnd, CmdAllowStickOut);
    EXPECT_EQ(!stickOut, IsChecked(menu, CmdAllowStickOut));
    Send(hwnd, CmdToggleFullScreenWindow);
    EXPECT_EQ(menu, ::GetMenu(hwnd));
    Send(hwnd, CmdExit);
    app.WaitUntilClosed();
}
