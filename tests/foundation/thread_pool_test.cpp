#include "foundation/thread_pool.h"

#include "thread_sync.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

TEST(ThreadPool, QueuedTasksRunOnAtMostTwiceTheProcessorsAndWaitInOrder)
{
    const int limit = 2 * Brivox::GetProcessorCount();
    const int total = limit + 3;
    std::deque<Gate> gates(total);
    std::mutex lock;
    std::vector<int> started;
    Counter startedCount;
    Counter finishedCount;
    {
        Brivox::ThreadPool pool;
        for (int i = 0; i < total; ++i) {
            pool.Post([&, i] {
                {
                    std::lock_guard<std::mutex> guard(lock);
                    started.push_back(i);
                }
                startedCount.Add();
                gates[i].Wait();
                finishedCount.Add();
            });
        }
        startedCount.WaitFor(limit);
        // Every worker the pool may use is blocked: nothing else can have started.
        EXPECT_EQ(startedCount.Value(), limit);

        // Each worker that frees up takes the oldest waiting task.
        for (int k = 0; k < 3; ++k) {
            gates[k].Open();
            startedCount.WaitFor(limit + k + 1);
            std::lock_guard<std::mutex> guard(lock);
            EXPECT_EQ(started.back(), limit + k);
        }
        for (auto& gate : gates)
            gate.Open();
        finishedCount.WaitFor(total);
    }
    EXPECT_EQ(startedCount.Value(), total);
}

TEST(ThreadPool, TasksThatThrowStillHandTheirWorkersOnToQueuedTasks)
{
    const int limit = 2 * Brivox::GetProcessorCount();
    Gate gate;
    Counter throwing;
    Counter ran;
    Brivox::ThreadPool pool;
    for (int i = 0; i < limit; ++i) {
        pool.Post([&] {
            throwing.Add();
            gate.Wait();
            throw std::runtime_error("task failed");
        });
    }
    throwing.WaitFor(limit);
    for (int i = 0; i < 3; ++i)
        pool.Post([&] { ran.Add(); }); // all queued: every worker is busy
    gate.Open();
    ran.WaitFor(3); // no further Post needed to start them
    EXPECT_EQ(ran.Value(), 3);
}

TEST(ThreadPool, ShutdownLeavesARunningTaskAloneAndThePoolStillWorks)
{
    Gate gate;
    Counter done;
    {
        Brivox::ThreadPool pool;
        Counter started;
        pool.Post([&] {
            started.Add();
            gate.Wait();
            done.Add();
        });
        started.WaitFor(1);
        pool.Shutdown(); // must not wait for the blocked task
        EXPECT_EQ(done.Value(), 0);
        gate.Open();
        pool.Post([&] { done.Add(); });
        done.WaitFor(2);
        pool.Shutdown();
    }
    EXPECT_EQ(done.Value(), 2);
}

TEST(ThreadPool, APoolDestroyedRightAfterItsLastTaskEndedOutlivesTheWorkersGivingThemselvesBack)
{
    // The worker of a finished task gives itself back into the pool's free list from its own thread,
    // after the task's last visible step: a pool destroyed at that moment must wait for it.
    for (int round = 0; round < 100; ++round) {
        Counter done;
        Brivox::ThreadPool pool;
        pool.Post([&] { done.Add(); });
        done.WaitFor(1);
    }
}

TEST(ThreadPool, ProcessExitsCleanlyWithATaskStillRunningAfterShutdown)
{
    EXPECT_EXIT(
        {
            static Gate gate;
            static Counter started;
            Brivox::ThreadPool::Instance().Post([] {
                started.Add();
                gate.Wait();
            });
            started.WaitFor(1);
            Brivox::ThreadPool::Instance().Shutdown();
            gate.Open();
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(ThreadPool, AWorkerHandleWaitsForItsJobWhenDroppedAndIsReused)
{
    Brivox::ThreadPool pool;
    auto worker = pool.AcquireWorker();
    Brivox::WorkerThread* address = worker.get();
    Gate gate;
    bool finished = false;
    worker->Post([&] {
        gate.Wait();
        finished = true;
    });
    std::thread opener([&] { gate.Open(); });
    worker.reset();
    EXPECT_TRUE(finished);
    opener.join();

    auto again = pool.AcquireWorker();
    auto other = pool.AcquireWorker();
    EXPECT_EQ(again.get(), address);
    EXPECT_NE(other.get(), address);
}

TEST(AcquirePooledWorker, GivesAWorkerToPostToAndWaitFor)
{
    auto worker = Brivox::AcquirePooledWorker();
    std::thread::id ranOn;
    worker->Post([&] { ranOn = std::this_thread::get_id(); });
    worker->Wait();
    EXPECT_NE(ranOn, std::thread::id());
    EXPECT_NE(ranOn, std::this_thread::get_id());
}

namespace {

struct Call
{
    int first;
    int last;
    bool onCaller;
    bool operator<(const Call& other) const
    {
        return std::tie(first, last, onCaller) < std::tie(other.first, other.last, other.onCaller);
    }
    bool operator==(const Call& other) const
    {
        return std::tie(first, last, onCaller) == std::tie(other.first, other.last, other.onCaller);
    }
};

std::vector<Call> RecordSplit(int count, int begin, int end)
{
    const auto caller = std::this_thread::get_id();
    std::mutex lock;
    std::vector<Call> calls;
    Brivox::ParallelFor(
        count,
        [&](int first, int last) {
            std::lock_guard<std::mutex> guard(lock);
            calls.push_back({first, last, std::this_thread::get_id() == caller});
        },
        begin, end);
    std::sort(calls.begin(), calls.end());
    return calls;
}

} // namespace

TEST(ParallelFor, SplitsIntoEqualSharesAndTheCallerTakesTheLastWithTheRemainder)
{
    const struct
    {
        int count, begin, end;
        std::vector<Call> calls;
    } cases[] = {
        {4, 0, 10, {{0, 2, false}, {2, 4, false}, {4, 6, false}, {6, 10, true}}},
        {1, 0, 10, {{0, 10, true}}},
        {0, 3, 7, {{3, 7, true}}},
        {3, 0, 2, {{0, 0, false}, {0, 0, false}, {0, 2, true}}},
        {2, -5, 6, {{-5, 0, false}, {0, 6, true}}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(RecordSplit(c.count, c.begin, c.end), c.calls)
            << c.count << " [" << c.begin << ", " << c.end << ")";
}

TEST(ParallelFor, RethrowsTheExceptionOfAShareAfterEveryShareEnded)
{
    for (int thrower : {0, 3}) { // a worker's share, the caller's share
        Counter ended;
        try {
            Brivox::ParallelFor(
                4,
                [&](int first, int) {
                    if (first == thrower * 10)
                        throw std::runtime_error("share " + std::to_string(first));
                    std::this_thread::yield();
                    ended.Add();
                },
                0, 40);
            ADD_FAILURE() << "no exception from share " << thrower;
        } catch (const std::runtime_error& error) {
            EXPECT_EQ(std::string(error.what()), "share " + std::to_string(thrower * 10));
            EXPECT_EQ(ended.Value(), 3);
        }
    }
}

TEST(ParallelFor, RethrowsOneExceptionWhenSeveralSharesThrow)
{
    EXPECT_THROW(Brivox::ParallelFor(
                     4, [](int first, int) { throw first; }, 0, 8),
                 int);
}

TEST(ParallelFor, ManyLoopsWritingIntoTheCallersStackNeverTear)
{
    for (int loop = 0; loop < 2000; ++loop) {
        std::array<int, 12> values{};
        Brivox::ParallelFor(
            4,
            [&](int first, int last) {
                for (int i = first; i < last; ++i)
                    values[i] = loop + i;
            },
            0, static_cast<int>(values.size()));
        for (int i = 0; i < static_cast<int>(values.size()); ++i) {
            if (values[i] != loop + i) {
                FAIL() << "loop " << loop << " index " << i << ": " << values[i];
            }
        }
    }
}
