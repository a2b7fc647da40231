// Tests that take the foreground, change the cursor or send input through the system: their
// suites are named DesktopInput*, which gives them the run's one desktop lock.

#include "support/window_test_bed.h"
#include "ui/window.h"
#include "ui/window_test_support.h"

#include "foundation/temp_file.h"

#include <gtest/gtest.h>

#include <string>

using Brivox::SMessage;
using KanoruTest::PumpUntil;
using KanoruTest::WindowText;

namespace {

// Asks the window's thread for its cursor display count (and leaves it as it was).
constexpr UINT QueryCursorCount = WM_USER + 1;

int CursorCountOf(HWND hwnd)
{
    return static_cast<int>(::SendMessageW(hwnd, QueryCursorCount, 0, 0));
}

bool WaitForText(HWND hwnd, const std::wstring& text)
{
    return PumpUntil([&] { return WindowText(hwnd) == text; });
}

} // namespace

TEST(DesktopInputWindow, ForceForegroundTakesTheForegroundFromAnotherThreadsWindow)
{
    // Made to be activated: the new window takes the foreground from its own thread.
    TestWindow first;
    Brivox::CWindowParameter parameter;
    first.window.Create(parameter);
    EXPECT_TRUE(PumpUntil([&] { return first.window.IsForeground(); }));
    first.window.Show(SW_SHOWNOACTIVATE);

    TestWindow second;
    second.window.Create(parameter);
    second.window.Show(SW_SHOWNOACTIVATE);
    EXPECT_TRUE(PumpUntil([&] { return second.window.IsForeground(); }));

    // From a third thread, while the other window's thread has the foreground.
    first.window.ForceForeground();
    EXPECT_TRUE(PumpUntil([&] { return first.window.IsForeground(); }));
    second.window.ForceForeground();
    EXPECT_TRUE(PumpUntil([&] { return second.window.IsForeground(); }));
}

TEST(DesktopInputWindow, CursorRequestsFromAnotherThreadAreCarriedOutOnTheWindowsThread)
{
    TestWindow test;
    test.onMessage = [&](SMessage& message) {
        if (message.message != QueryCursorCount)
            return false;
        const int shown = ::ShowCursor(TRUE);
        ::ShowCursor(FALSE);
        message.result = shown - 1;
        return true;
    };
    test.Create();
    const HWND hwnd = test.Handle();

    test.window.HideMouseCursor();
    EXPECT_TRUE(PumpUntil([&] { return CursorCountOf(hwnd) == -1; }));
    test.window.ShowMouseCursor();
    EXPECT_TRUE(PumpUntil([&] { return CursorCountOf(hwnd) == 1; }));
}

TEST(DesktopInputProgram, TheTestBedDrivesAProgramStartedFromAFreshFolder)
{
    const std::wstring built = KanoruTest::TestProgramFolder() + L"kanoru_test_window_program.exe";
    KanoruTest::ProgramInFreshFolder program(built);
    ASSERT_TRUE(program.Started());
    EXPECT_NE(program.Folder(), KanoruTest::TestProgramFolder());
    const HWND window = program.WaitForWindow();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(WaitForText(window, L"ready"));

    // Its pixels, from the screen.
    const COLORREF programColour = RGB(0x20, 0x80, 0xC0);
    EXPECT_TRUE(PumpUntil([&] {
        const auto pixels = KanoruTest::CaptureClientFromScreen(window);
        return KanoruTest::PixelAt(*pixels, 0, 0) == programColour &&
               KanoruTest::PixelAt(*pixels, 159, 119) == programColour;
    }));

    KanoruTest::PostCommand(window, 0xF801);
    EXPECT_TRUE(WaitForText(window, L"command 63489"));
    KanoruTest::PostKey(window, 'A');
    EXPECT_TRUE(WaitForText(window, L"key 65"));

    // Keys go to whichever window has the foreground when they arrive. Another test program's new
    // window may take it in between, which shows here: only then are the keys sent again.
    bool combined = false;
    for (int attempt = 0; attempt < 3 && !combined; ++attempt) {
        ASSERT_TRUE(KanoruTest::SendKeyCombination(window, {VK_CONTROL, VK_SHIFT}, 'B'));
        combined =
            PumpUntil([&] { return WindowText(window) == L"key 66 ctrl shift"; }, std::chrono::seconds(10));
        if (!combined && ::GetForegroundWindow() == window)
            break;
    }
    EXPECT_TRUE(combined) << WindowText(window);

    ::PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(program.WaitForExit(), 0);
}
