// The main of every test program: GoogleTest with a watchdog over each test.

#include "support/test_timeout.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include <windows.h>

namespace {

using Clock = std::chrono::steady_clock;

// Exit code of a process ended by the watchdog.
constexpr unsigned TimedOutExitCode = 3;

int DefaultSeconds()
{
    // KANORU_TEST_TIMEOUT lets a person debugging a test turn the bound up.
    if (const char* text = std::getenv("KANORU_TEST_TIMEOUT")) {
        const int seconds = std::atoi(text);
        if (seconds > 0)
            return seconds;
    }
    return 60;
}

class Watchdog
{
public:
    static Watchdog& Instance()
    {
        static Watchdog watchdog;
        return watchdog;
    }

    void Arm(const std::string& what, int seconds)
    {
        std::lock_guard<std::mutex> lock(m_state->lock);
        m_state->what = what;
        m_state->seconds = seconds;
        m_state->deadline = Clock::now() + std::chrono::seconds(seconds);
        m_state->changed.notify_all();
    }

private:
    struct State
    {
        std::mutex lock;
        std::condition_variable changed;
        std::string what;
        int seconds = 0;
        Clock::time_point deadline = Clock::time_point::max();
    };

    // The thread keeps its own reference: it watches the exit handlers too, after this object's
    // static destructor has run.
    Watchdog() : m_state(std::make_shared<State>())
    {
        std::thread([state = m_state] { Watch(*state); }).detach();
    }

    static void Watch(State& state)
    {
        std::unique_lock<std::mutex> lock(state.lock);
        for (;;) {
            const Clock::time_point deadline = state.deadline;
            if (state.changed.wait_until(lock, deadline) == std::cv_status::timeout &&
                state.deadline == deadline)
                break;
        }
        std::fprintf(stderr, "\n[ TIMEOUT  ] %s did not finish within %d s\n", state.what.c_str(),
                     state.seconds);
        std::fflush(stderr);
        std::fflush(stdout);
        // Exit handlers could wait for the very thread that hangs.
        ::TerminateProcess(::GetCurrentProcess(), TimedOutExitCode);
    }

    std::shared_ptr<State> m_state;
};

class WatchdogListener : public testing::EmptyTestEventListener
{
    void OnTestStart(const testing::TestInfo& test) override
    {
        Watchdog::Instance().Arm(std::string(test.test_suite_name()) + "." + test.name(), DefaultSeconds());
    }
    void OnTestEnd(const testing::TestInfo&) override
    {
        Watchdog::Instance().Arm("the time between tests", DefaultSeconds());
    }
    void OnTestProgramEnd(const testing::UnitTest&) override
    {
        Watchdog::Instance().Arm("the test program's end", DefaultSeconds());
    }
};

} // namespace

void KanoruTest::ExtendTimeout(int seconds)
{
    const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
    Watchdog::Instance().Arm(test ? std::string(test->test_suite_name()) + "." + test->name() : "a test",
                             seconds);
}

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    Watchdog::Instance().Arm("the test program's start", DefaultSeconds());
    testing::UnitTest::GetInstance()->listeners().Append(new WatchdogListener);
    return RUN_ALL_TESTS();
}
