#include "foundation/thread_state.h"

#include "foundation/encoding.h"
#include "foundation/exception.h"
#include "foundation/win32.h"

#include "thread_sync.h"

#include <objbase.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

using Brivox::ThreadLocalMap;

TEST(ThreadLocalMap, FindOrInsertKeepsTheEntriesSortedAndFoundValuesUnchanged)
{
    std::vector<std::pair<std::uint32_t, int>> entries;
    EXPECT_EQ(ThreadLocalMap<int>::FindOrInsert(entries, 300, 3), std::make_pair(std::size_t{0}, true));
    EXPECT_EQ(ThreadLocalMap<int>::FindOrInsert(entries, 100, 1), std::make_pair(std::size_t{0}, true));
    EXPECT_EQ(ThreadLocalMap<int>::FindOrInsert(entries, 200, 2), std::make_pair(std::size_t{1}, true));
    EXPECT_EQ(ThreadLocalMap<int>::FindOrInsert(entries, 200, 9), std::make_pair(std::size_t{1}, false));
    EXPECT_EQ(ThreadLocalMap<int>::FindOrInsert(entries, 400, 4), std::make_pair(std::size_t{3}, true));
    const std::vector<std::pair<std::uint32_t, int>> expected = {{100, 1}, {200, 2}, {300, 3}, {400, 4}};
    EXPECT_EQ(entries, expected);
}

TEST(ThreadLocalMap, EachThreadGetsItsOwnObjectMadeOnce)
{
    ThreadLocalMap<int> map;
    int made = 0;
    auto factory = [&made] {
        ++made;
        return new int(0);
    };
    int* mine = map.Get(factory);
    EXPECT_EQ(map.Get(factory), mine);

    constexpr int threadCount = 4;
    std::vector<int*> theirs(threadCount);
    Counter arrived;
    std::vector<std::thread> threads;
    for (int i = 0; i < threadCount; ++i)
        threads.emplace_back([&, i] {
            // All ask for the first time together.
            arrived.Add();
            arrived.WaitFor(threadCount);
            theirs[i] = map.Get(factory);
        });
    for (auto& thread : threads)
        thread.join();
    std::set<int*> distinct(theirs.begin(), theirs.end());
    distinct.insert(mine);
    EXPECT_EQ(distinct.size(), std::size_t{threadCount + 1});
    EXPECT_EQ(made, threadCount + 1);
}

TEST(ThreadLocalMap, AFactoryThatThrowsIsAskedAgainNextTime)
{
    ThreadLocalMap<int> map;
    EXPECT_THROW(map.Get([]() -> int* { throw std::runtime_error("no object"); }), std::runtime_error);
    int* made = map.Get([] { return new int(7); });
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(*made, 7);
}

TEST(NestingCounter, OnlyTheOutermostScopeIsToldSo)
{
    Brivox::NestingCounter counter;
    {
        Brivox::NestingCounter::Scope outer(&counter);
        EXPECT_TRUE(outer.IsOutermost());
        {
            Brivox::NestingCounter::Scope inner(&counter);
            EXPECT_FALSE(inner.IsOutermost());
        }
    }
    Brivox::NestingCounter::Scope again(&counter); // the inner scope left too
    EXPECT_TRUE(again.IsOutermost());
}

TEST(NestingCounter, AnUnmatchedLeaveHidesTheOutermostUntilBalanced)
{
    Brivox::NestingCounter counter;
    counter.Leave();
    EXPECT_FALSE(counter.Enter()); // depth 0, not 1: balanced again
    EXPECT_TRUE(counter.Enter());
}

TEST(NestingCounter, OfThreadsEnteringTogetherExactlyOneIsOutermost)
{
    Brivox::NestingCounter counter;
    constexpr int threadCount = 6;
    Counter entered;
    Counter outermost;
    std::vector<std::thread> threads;
    for (int i = 0; i < threadCount; ++i)
        threads.emplace_back([&] {
            if (counter.Enter())
                outermost.Add();
            entered.Add();
            entered.WaitFor(threadCount); // nobody leaves before all have entered
            counter.Leave();
        });
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(outermost.Value(), 1);
}

namespace {

// What a COM user of the test's own sees on this thread: S_OK when COM was not initialised.
HRESULT ProbeCom()
{
    const HRESULT result = ::CoInitialize(nullptr);
    if (SUCCEEDED(result))
        ::CoUninitialize();
    return result;
}

template <class Body> void OnNewThread(Body body)
{
    std::thread thread(body);
    thread.join();
}

} // namespace

TEST(ComInitCounter, InitialisesAtTheFirstEnterAndUninitialisesAtTheLastLeave)
{
    OnNewThread([] {
        Brivox::ComInitCounter* counter = Brivox::GetThreadComCounter();
        EXPECT_EQ(ProbeCom(), S_OK);
        counter->Enter();
        counter->Enter();
        EXPECT_EQ(ProbeCom(), S_FALSE);
        counter->Leave();
        EXPECT_EQ(ProbeCom(), S_FALSE);
        counter->Leave();
        EXPECT_EQ(ProbeCom(), S_OK);
    });
}

TEST(ComInitCounter, ComAlreadyInitialisedByOthersCountsAsSuccess)
{
    OnNewThread([] {
        ASSERT_EQ(::CoInitialize(nullptr), S_OK);
        Brivox::GetThreadComCounter()->Enter();
        Brivox::GetThreadComCounter()->Leave();
        EXPECT_EQ(ProbeCom(), S_FALSE); // the other user's initialisation still stands
        ::CoUninitialize();
        EXPECT_EQ(ProbeCom(), S_OK);
    });
}

TEST(ComInitCounter, AFailedInitialisationThrowsAndLeavesTheCountUnchanged)
{
    OnNewThread([] {
        ASSERT_EQ(::CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
        Brivox::ComInitCounter* counter = Brivox::GetThreadComCounter();
        try {
            counter->Enter();
            ADD_FAILURE() << "no exception";
        } catch (const Brivox::RuntimeException& e) {
            EXPECT_EQ(std::string(e.what()),
                      Brivox::GetDefaultEncoding().ToMultiByte(Brivox::String(L"COMの初期化に失敗しました")));
        }
        ::CoUninitialize();
        // Still at zero: the next Enter initialises, and its Leave uninitialises.
        counter->Enter();
        EXPECT_EQ(ProbeCom(), S_FALSE);
        counter->Leave();
        EXPECT_EQ(ProbeCom(), S_OK);
    });
}

TEST(ComInitCounter, EveryNewThreadStartsAtZero)
{
    // Threads that end while counted; Windows soon gives a later thread the same id.
    for (int i = 0; i < 20; ++i) {
        OnNewThread([i] {
            Brivox::ComInitCounter* counter = Brivox::GetThreadComCounter();
            counter->Enter();
            EXPECT_EQ(ProbeCom(), S_FALSE) << "thread " << i;
            counter->Leave();
            EXPECT_EQ(ProbeCom(), S_OK) << "thread " << i;
            counter->Enter(); // left counted on purpose
        });
    }
}
