#include "ui/cursor_hider.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

using Brivox::CCursorHider;
using Brivox::CPoint;
using Brivox::CRect;

namespace {

const HWND Window = reinterpret_cast<HWND>(static_cast<INT_PTR>(0x1234));

struct CountingTarget : Brivox::ICursorTarget
{
    HWND GetCursorTargetWindow() const override { return Window; }
    void HideMouseCursor() override { ++hides; }
    void ShowMouseCursor() override { ++shows; }
    std::atomic<int> hides{0};
    std::atomic<int> shows{0};
};

// A clock that moves only when the test moves it, a cursor the test places and a window whose
// client area is 100, 100 to 300, 200 on the screen.
struct FakeDesktop
{
    std::atomic<long long> nowMs{0};
    std::atomic<int> x{150};
    std::atomic<int> y{150};
    std::atomic<bool> usable{true};
    // How often the job went into a wait: it has dealt with everything before.
    std::atomic<int> waits{0};

    CCursorHider::SSystem System()
    {
        CCursorHider::SSystem system;
        system.now = [this] {
            return CCursorHider::Clock::time_point(std::chrono::milliseconds(nowMs.load()));
        };
        system.waitUntil = [this](CCursorHider::Lock& lock, std::condition_variable_any& changed,
                                  CCursorHider::Clock::time_point deadline) {
            ++waits;
            if (CCursorHider::Clock::time_point(std::chrono::milliseconds(nowMs.load())) >= deadline)
                return;
            changed.wait(lock);
        };
        system.cursor = [this] { return CPoint{x.load(), y.load()}; };
        system.usable = [this](HWND window) { return window == Window && usable.load(); };
        system.clientOnScreen = [](HWND) { return CRect{100, 100, 300, 200}; };
        return system;
    }
};

// Conditions that the job's thread makes true; the deadline only turns a hang into a failure.
void WaitFor(const std::function<bool()>& condition)
{
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!condition()) {
        ASSERT_LT(std::chrono::steady_clock::now(), giveUp) << "the hider's job never got there";
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

struct HiderTest : testing::Test
{
    CountingTarget target;
    FakeDesktop desktop;
    CCursorHider hider{target, desktop.System()};

    // Lets the clock run to `ms` and has the job look, as a mouse message would.
    void At(long long ms)
    {
        const int before = desktop.waits;
        desktop.nowMs = ms;
        hider.Wake();
        WaitFor([&] { return desktop.waits > before; });
    }
    void Start(int delay)
    {
        hider.SetDelay(delay);
        hider.SetEnabled(true);
        WaitFor([&] { return desktop.waits > 0; });
    }
    int Visible() const { return target.shows - target.hides; }
};

} // namespace

TEST_F(HiderTest, ACursorRestingForTheDelayHidesAndItsFirstMovementShows)
{
    Start(2000);
    At(1999);
    EXPECT_EQ(target.hides, 0);
    At(2000);
    WaitFor([&] { return target.hides == 1; });
    desktop.x = 151;
    hider.Wake();
    WaitFor([&] { return target.shows == 1; });
    // Still: hidden again a whole delay after the movement.
    At(3999);
    EXPECT_EQ(target.hides, 1);
    At(4000);
    WaitFor([&] { return target.hides == 2; });
}

TEST_F(HiderTest, NeverHiddenOutsideTheClientAreaOrOverAWindowThatCannotTakeIt)
{
    struct Case
    {
        const char* what;
        int x, y;
        bool usable;
    };
    const Case cases[] = {
        {"over the title bar", 150, 90, true},
        {"right of the client area", 300, 150, true},
        {"over a background or minimised window", 150, 150, false},
    };
    for (const Case& c : cases) {
        CountingTarget target;
        FakeDesktop desktop;
        desktop.x = c.x;
        desktop.y = c.y;
        desktop.usable = c.usable;
        CCursorHider hider(target, desktop.System());
        hider.SetDelay(2000);
        hider.SetEnabled(true);
        WaitFor([&] { return desktop.waits > 0; });
        const int before = desktop.waits;
        desktop.nowMs = 10000;
        hider.Wake();
        WaitFor([&] { return desktop.waits > before; });
        EXPECT_EQ(target.hides, 0) << c.what;
    }
}

TEST_F(HiderTest, AWindowLeavingTheForegroundGetsItsCursorBack)
{
    Start(1000);
    At(1000);
    WaitFor([&] { return target.hides == 1; });
    desktop.usable = false;
    At(2000);
    WaitFor([&] { return target.shows == 1; });
}

TEST_F(HiderTest, TurningOffShowsTheCursorUnlessForced)
{
    Start(1000);
    At(1000);
    WaitFor([&] { return target.hides == 1; });
    hider.SetEnabled(false);
    EXPECT_EQ(Visible(), 0);

    hider.SetEnabled(true);
    hider.HideNow();
    EXPECT_EQ(target.hides, 2);
    hider.SetEnabled(false);
    EXPECT_EQ(target.shows, 1);
    hider.ShowNow();
    EXPECT_EQ(Visible(), 0);
}

TEST_F(HiderTest, ForcedHidingNeedsNoJobAndMovementsDoNotEndIt)
{
    hider.SetForcedHidden(true);
    EXPECT_EQ(target.hides, 1);
    hider.SetEnabled(true);
    desktop.x = 200;
    hider.Wake();
    hider.HideNow();
    EXPECT_EQ(target.hides, 1);
    EXPECT_EQ(target.shows, 0);
    hider.SetForcedHidden(false);
    EXPECT_EQ(Visible(), 0);
}

TEST_F(HiderTest, ANewDelayCountsFromTheNextMovement)
{
    Start(2000);
    hider.SetDelay(500);
    At(600);
    EXPECT_EQ(target.hides, 0);
    desktop.x = 160;
    At(600);
    At(1099);
    EXPECT_EQ(target.hides, 0);
    At(1100);
    WaitFor([&] { return target.hides == 1; });
}

TEST(CursorHider, TheDestructorShowsTheCursorItStillOwes)
{
    CountingTarget target;
    FakeDesktop desktop;
    {
        CCursorHider hider(target, desktop.System());
        hider.SetEnabled(true);
        hider.HideNow();
    }
    EXPECT_EQ(target.hides, 1);
    EXPECT_EQ(target.shows, 1);
}
