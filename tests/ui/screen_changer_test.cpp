#include "ui/screen_changer.h"

#include "foundation/exception.h"
#include "support/window_test_bed.h"
#include "window_test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>

using Brivox::CScreenChanger;
using Brivox::DisplayMode;
using KanoruTest::PumpUntil;

namespace {

constexpr UINT ItemId = 0x1234;

RECT RectOf(HWND window)
{
    RECT rect{};
    ::GetWindowRect(window, &rect);
    return rect;
}

bool SameRect(const RECT& a, const RECT& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// A main window with a menu at 100, 100 (400 × 300), and a changer whose display mode calls are
// counted instead of made. The cases take the foreground, so they share the desktop-input lock.
struct DesktopInputScreenChanger : testing::Test
{
    TestWindow main;
    HMENU menu = nullptr;
    std::atomic<int> changes{0};
    std::atomic<int> restores{0};
    DisplayMode asked;
    bool refuse = false;
    std::unique_ptr<CScreenChanger> changer;

    void SetUp() override
    {
        menu = ::CreateMenu();
        ::AppendMenuW(menu, MF_STRING, ItemId, L"項目");
        QuietWindowParameter parameter;
        parameter.style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
        parameter.menu = menu;
        main.window.Create(parameter);
        ::SetWindowPos(main.Handle(), nullptr, 100, 100, 400, 300, SWP_NOZORDER | SWP_NOACTIVATE);
        main.window.Show(SW_SHOWNOACTIVATE);
        CScreenChanger::SDisplay display;
        display.change = [this](const DisplayMode& mode) {
            asked = mode;
            ++changes;
            if (refuse)
                throw Brivox::RuntimeException(L"ディスプレイモードの変更に失敗しました");
        };
        display.restore = [this] {
            ++restores;
            return true;
        };
        changer = std::make_unique<CScreenChanger>(main.window, display);
        changer->SetDisplayMode(ScreenWidth(), ScreenHeight());
    }

    void TearDown() override { changer.reset(); }

    static int ScreenWidth() { return ::GetSystemMetrics(SM_CXSCREEN); }
    static int ScreenHeight() { return ::GetSystemMetrics(SM_CYSCREEN); }
    HWND Bar() const { return changer->GetMenuBarWindow(); }
    bool Windowed() const { return (main.window.GetStyle() & WS_CAPTION) == WS_CAPTION; }
    // A deactivation in favour of a thread that runs none of this program's loops.
    void Deactivate() { ::SendMessageW(main.Handle(), WM_ACTIVATEAPP, FALSE, ::GetCurrentThreadId()); }
    void Activate() { ::SendMessageW(main.Handle(), WM_ACTIVATEAPP, TRUE, ::GetCurrentThreadId()); }
};

} // namespace

TEST_F(DesktopInputScreenChanger, EnterCoversTheScreenAndLeaveBringsTheWindowBackMaximised)
{
    const RECT normal = RectOf(main.Handle());
    std::atomic<int> maximised{0};
    main.onMessage = [&](Brivox::SMessage& message) {
        if (message.message == WM_SIZE && message.wParam == SIZE_MAXIMIZED)
            ++maximised;
        return false;
    };
    main.window.Show(SW_SHOWMAXIMIZED);
    ASSERT_EQ(maximised, 1);
    const RECT maximisedRect = RectOf(main.Handle());
    changer->Enter();
    EXPECT_EQ(changer->GetState(), CScreenChanger::FullScreen);
    EXPECT_TRUE(SameRect(RectOf(main.Handle()), RECT{0, 0, ScreenWidth(), ScreenHeight()}));
    EXPECT_EQ(main.window.GetStyle() & (WS_POPUP | WS_VISIBLE | WS_CAPTION), DWORD(WS_POPUP | WS_VISIBLE));
    EXPECT_TRUE(main.window.GetExStyle() & WS_EX_TOPMOST);
    EXPECT_EQ(::GetMenu(main.Handle()), nullptr);
    EXPECT_EQ(::GetMenu(Bar()), menu);
    EXPECT_EQ(changer->GetMenu(), menu);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(asked.width, ScreenWidth());
    EXPECT_EQ(asked.bitsPerPixel, -1);

    changer->Enter();
    EXPECT_EQ(changes, 1);

    changer->Leave();
    EXPECT_EQ(changer->GetState(), CScreenChanger::Windowed);
    EXPECT_EQ(restores, 1);
    // The window was maximised again (Wine without a window manager may take the maximised
    // form back afterwards and leave the window at the maximised place without the flag, so the
    // size message and the place are what tell).
    EXPECT_EQ(maximised, 2);
    EXPECT_TRUE(Windowed());
    EXPECT_FALSE(main.window.GetExStyle() & WS_EX_TOPMOST);
    EXPECT_EQ(::GetMenu(main.Handle()), menu);
    const RECT after = RectOf(main.Handle());
    EXPECT_TRUE(SameRect(after, normal) || SameRect(after, maximisedRect) || main.window.IsMaximized())
        << "window at " << after.left << "," << after.top << " - " << after.right << "," << after.bottom
        << ", was " << normal.left << "," << normal.top << " - " << normal.right << "," << normal.bottom;

    changer->Leave();
    EXPECT_EQ(restores, 1);
}

TEST_F(DesktopInputScreenChanger, TheTopStripShowsTheBarAndACommandChosenThereReachesTheWindow)
{
    changer->Enter();
    // The real cursor stands where each message says it is, since its own moves reach the window
    // too. A late pointer event of the display can still put it back and undo the step: each step
    // is taken again until its state holds, as a user would move the mouse again.
    const auto moveTo = [&](POINT cursor, int y) {
        KanoruTest::PlaceCursor(cursor);
        ::SendMessageW(main.Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(10, y));
    };
    EXPECT_TRUE(KanoruTest::PumpUntilHeld([&] { return changer->IsBarShown() && ::IsWindowVisible(Bar()); },
                                          [&] {
                                              moveTo({10, 2}, 2);
                                          },
                                          std::chrono::milliseconds(500)));
    EXPECT_EQ(changer->GetState(), CScreenChanger::FullScreen);

    // Below the strip: the bar looks at the cursor and goes.
    const int below = ::GetSystemMetrics(SM_CYMENU) + 50;
    EXPECT_TRUE(KanoruTest::PumpUntilHeld([&] { return !changer->IsBarShown() && !::IsWindowVisible(Bar()); },
                                          [&] {
                                              moveTo({10, below}, below);
                                          },
                                          std::chrono::milliseconds(500)));

    ::SendMessageW(main.Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(10, 0));
    ::SendMessageW(Bar(), WM_COMMAND, ItemId, 0);
    EXPECT_FALSE(changer->IsBarShown());
    EXPECT_TRUE(PumpUntil([&] { return main.Saw(WM_COMMAND); }));
}

TEST_F(DesktopInputScreenChanger, SuspensionsFollowMinimisingAndOtherProgramsBeingActive)
{
    // Minimised in full-screen form: the mode goes back, and a restore brings full screen back.
    changer->Enter();
    main.window.Show(SW_MINIMIZE);
    EXPECT_TRUE(PumpUntil([&] { return changer->GetState() == CScreenChanger::Suspended; }));
    EXPECT_EQ(restores, 1);
    main.window.Show(SW_RESTORE);
    EXPECT_TRUE(PumpUntil([&] { return changer->GetState() == CScreenChanger::FullScreen; }));
    EXPECT_EQ(changes, 2);

    // Another program active, minimising on: the window minimises in full-screen form.
    Deactivate();
    EXPECT_TRUE(PumpUntil([&] { return changer->GetState() == CScreenChanger::Suspended; }));
    EXPECT_TRUE(main.window.IsMinimized());
    EXPECT_EQ(restores, 2);
    main.window.Show(SW_RESTORE);
    EXPECT_TRUE(PumpUntil([&] { return changer->GetState() == CScreenChanger::FullScreen; }));
    EXPECT_EQ(changes, 3);

    // Another window of this program: nothing changes.
    ::SendMessageW(main.Handle(), WM_ACTIVATEAPP, FALSE, ::GetWindowThreadProcessId(Bar(), nullptr));
    EXPECT_EQ(changer->GetState(), CScreenChanger::FullScreen);
    // Nor when the deactivation names no thread (Wine's, as the foreground passes between this
    // program's own threads) and a window of this program holds the foreground.
    ASSERT_TRUE(KanoruTest::BringToForeground(main.Handle()));
    ::SendMessageW(main.Handle(), WM_ACTIVATEAPP, FALSE, 0);
    EXPECT_EQ(changer->GetState(), CScreenChanger::FullScreen);

    // Minimising off: windowed behind the other program; resizing or restoring it meanwhile
    // changes neither the state nor the mode; activation brings full screen back.
    changer->SetMinimizeOnDeactivate(false);
    Deactivate();
    EXPECT_EQ(changer->GetState(), CScreenChanger::Suspended);
    EXPECT_TRUE(Windowed());
    EXPECT_EQ(restores, 3);
    main.window.Show(SW_SHOWMINNOACTIVE);
    main.window.Show(SW_SHOWNOACTIVATE);
    ::SetWindowPos(main.Handle(), nullptr, 0, 0, 500, 350, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    main.window.PumpMessages();
    ::SendMessageW(main.Handle(), WM_NULL, 0, 0);
    EXPECT_EQ(changer->GetState(), CScreenChanger::Suspended);
    EXPECT_EQ(changes, 3);
    Activate();
    EXPECT_EQ(changer->GetState(), CScreenChanger::FullScreen);
    EXPECT_EQ(changes, 4);

    changer->Leave();
    EXPECT_EQ(changer->GetState(), CScreenChanger::Windowed);
}

TEST_F(DesktopInputScreenChanger, ARefusedModeLeavesTheWindowAsItWas)
{
    const RECT before = RectOf(main.Handle());
    refuse = true;
    try {
        changer->Enter();
        ADD_FAILURE() << "no exception";
    } catch (const Brivox::RuntimeException& error) {
        EXPECT_STREQ(error.what(),
                     Brivox::RuntimeException(L"ディスプレイモードの変更に失敗しました").what());
    }
    EXPECT_EQ(changer->GetState(), CScreenChanger::Windowed);
    EXPECT_TRUE(Windowed());
    EXPECT_TRUE(SameRect(RectOf(main.Handle()), before));
    EXPECT_EQ(::GetMenu(main.Handle()), menu);
}

TEST_F(DesktopInputScreenChanger, TopMostSetInFullScreenWaitsForItsEnd)
{
    changer->Enter();
    changer->SetTopMost(true);
    changer->Leave();
    EXPECT_TRUE(main.window.GetExStyle() & WS_EX_TOPMOST);
    changer->SetTopMost(false);
    EXPECT_FALSE(main.window.GetExStyle() & WS_EX_TOPMOST);
}

TEST_F(DesktopInputScreenChanger, ClosingInFullScreenGivesTheMenuBackAndRestoresTheMode)
{
    changer->Enter();
    const HWND bar = Bar();
    changer->Close();
    EXPECT_EQ(changer->GetState(), CScreenChanger::Windowed);
    EXPECT_EQ(restores, 1);
    EXPECT_EQ(::GetMenu(main.Handle()), menu);
    EXPECT_TRUE(PumpUntil([&] { return !::IsWindow(bar); }));
}

namespace {

// Display modes change only under Wine's null display driver, which the null-display test case
// runs these in; elsewhere they are skipped.
bool UnderNullDisplay()
{
    const char* value = std::getenv("KANORU_NULL_DISPLAY");
    return value && value[0] == '1';
}

} // namespace

TEST(NullDisplayScreenChanger, TheModeChangesForFullScreenAndComesBackOrTheWindowDoes)
{
    if (!UnderNullDisplay())
        GTEST_SKIP() << "needs Wine's null display driver (run by the null-display test case)";
    const DisplayMode original = Brivox::GetCurrentDisplayMode();
    ASSERT_NE(original.width, 800);
    TestWindow main;
    QuietWindowParameter parameter;
    parameter.style = WS_OVERLAPPEDWINDOW;
    main.window.Create(parameter);
    {
        CScreenChanger changer(main.window);
        changer.SetDisplayMode(800, 600);
        changer.Enter();
        EXPECT_EQ(Brivox::GetCurrentDisplayMode().width, 800);
        EXPECT_EQ(Brivox::GetCurrentDisplayMode().height, 600);
        changer.Leave();
        EXPECT_EQ(Brivox::GetCurrentDisplayMode().width, original.width);

        changer.SetDisplayMode(12345, 7);
        EXPECT_THROW(changer.Enter(), Brivox::RuntimeException);
        EXPECT_EQ(changer.GetState(), CScreenChanger::Windowed);
        EXPECT_EQ(main.window.GetStyle() & WS_CAPTION, DWORD(WS_CAPTION));
    }
    Brivox::RestoreDisplayMode();
}
