#include "foundation/worker_thread.h"

#include "foundation/exception.h"

#include "thread_sync.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

namespace Brivox {

// Wakes a worker's conditions as a spurious wake-up would.
class WorkerThreadProbe
{
public:
    static void WakeWithoutCause(WorkerThread& worker)
    {
        {
            std::lock_guard<std::mutex> lock(worker.m_task.m_lock);
            worker.m_task.m_done.notify_all();
        }
        std::lock_guard<std::mutex> lock(worker.m_lock);
        worker.m_wake.notify_all();
    }
};

} // namespace Brivox

namespace {

// An ordered record of what the threads did.
class Log
{
public:
    void Add(const std::string& line)
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_lines.push_back(line);
    }
    std::vector<std::string> Lines()
    {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_lines;
    }

private:
    std::mutex m_lock;
    std::vector<std::string> m_lines;
};

// Its result is used, or the compiler would remove the division.
[[gnu::noinline]] int DivideByZero()
{
    volatile int zero = 0;
    return 7 / zero;
}

} // namespace

TEST(WorkerThread, AJobPostedFromItsOwnWorkerRunsNextWithoutWaiting)
{
    Brivox::WorkerThread worker;
    Log log;
    worker.Post([&] {
        log.Add("first begins");
        worker.Post([&] { log.Add("second"); }); // would never return if it waited for itself
        log.Add("first ends");
    });
    worker.Wait(); // covers the job posted from inside too
    EXPECT_EQ(log.Lines(), (std::vector<std::string>{"first begins", "first ends", "second"}));
    EXPECT_TRUE(worker.IsIdle());
}

TEST(WorkerThread, WaitReturnsAtOnceWhenIdleAndFromInsideItsOwnJob)
{
    Brivox::WorkerThread worker;
    worker.Wait();
    bool returned = false;
    worker.Post([&] {
        worker.Wait();
        returned = true;
    });
    worker.Wait();
    EXPECT_TRUE(returned);
}

TEST(WorkerThread, RunsTheNextJobAfterAJobThrew)
{
    const std::vector<std::pair<const char*, Brivox::WorkerThread::Job>> throwers = {
        {"standard exception", [] { throw std::runtime_error("job failed"); }},
        {"int", [] { throw 42; }},
        {"division by zero", [] { std::printf("%d", DivideByZero()); }},
        {"empty job", Brivox::WorkerThread::Job()},
    };
    Brivox::WorkerThread worker;
    for (const auto& [name, job] : throwers) {
        int ran = 0;
        worker.Post(job);
        worker.Wait();
        EXPECT_TRUE(worker.IsIdle()) << name;
        worker.Post([&] { ++ran; });
        worker.Wait();
        EXPECT_EQ(ran, 1) << name;
    }
}

TEST(WorkerThread, FaultsInAJobBecomeExceptionsOnTheWorker)
{
    Brivox::WorkerThread worker;
    bool caught = false;
    worker.Post([&] {
        try {
            std::printf("%d", DivideByZero());
        } catch (const Brivox::FPEException&) {
            caught = true;
        }
    });
    worker.Wait();
    EXPECT_TRUE(caught);
}

TEST(WorkerThread, PostFromAnotherThreadWaitsForThePreviousJob)
{
    Brivox::WorkerThread worker;
    Gate gate;
    Log log;
    worker.Post([&] {
        gate.Wait();
        log.Add("first ends");
    });
    std::thread feeder([&] {
        worker.Post([&] { log.Add("second"); });
        log.Add("second posted");
    });
    gate.Open();
    feeder.join();
    worker.Wait();
    const auto lines = log.Lines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "first ends");
}

TEST(WorkerThread, SpuriousWakeUpsChangeNothing)
{
    Brivox::WorkerThread worker;
    Brivox::WorkerThreadProbe::WakeWithoutCause(worker); // asleep with nothing to do
    Gate gate;
    Gate waiting;
    Log log;
    worker.Post([&] {
        gate.Wait();
        log.Add("job ends");
    });
    std::thread waiter([&] {
        waiting.Open();
        worker.Wait();
        log.Add("wait returned");
    });
    waiting.Wait();
    for (int i = 0; i < 50; ++i) {
        Brivox::WorkerThreadProbe::WakeWithoutCause(worker);
        std::this_thread::yield();
    }
    gate.Open();
    waiter.join();
    EXPECT_EQ(log.Lines(), (std::vector<std::string>{"job ends", "wait returned"}));
}

TEST(WorkerThread, NoPostIsLostBetweenFeedingThreadsTakingTurns)
{
    Brivox::WorkerThread worker;
    int count = 0;
    std::thread other([&] {
        for (int i = 0; i < 200; ++i) {
            worker.Post([&] { ++count; });
            worker.Wait();
        }
    });
    other.join();
    for (int i = 0; i < 200; ++i)
        worker.Post([&] { ++count; });
    worker.Wait();
    EXPECT_EQ(count, 400);
}
