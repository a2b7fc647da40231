#include "document/page_loader.h"

#include "foundation/message_box.h"
#include "foundation/numeric.h"

#include "deadline_sync.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <future>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

using Brivox::CPageLoaderBase;
using Brivox::LockRank;
using Brivox::RankedRecursiveMutex;
using DeadlineSync::Await;
using DeadlineSync::hangLimit;
using SlotState = CPageLoaderBase::SlotState;

namespace Brivox {

// Wakes the ring's conditions as a spurious wake-up would.
class CPageLoaderProbe
{
public:
    static void WakeWithoutCause(CPageLoaderBase& ring)
    {
        std::lock_guard<RankedRecursiveMutex> lock(ring.m_lock);
        ring.m_pageDone.notify_all();
        ring.m_work.notify_all();
    }
};

} // namespace Brivox

namespace {

constexpr int noContent = INT_MIN;

// A page is an integer; the composed content is the page's own number.
class Page : public CPageLoaderBase::IPageData
{
public:
    // Counted in `live` while it exists; the count may outlive the owner's other members.
    explicit Page(std::shared_ptr<std::atomic<int>> live) : live_(std::move(live)) { ++*live_; }
    ~Page() override { --*live_; }

    std::atomic<int> number{0};
    std::atomic<int> content{noContent};

private:
    const std::shared_ptr<std::atomic<int>> live_;
};

struct Load : CPageLoaderBase::ILoadData
{
    explicit Load(int page) : page(page) {}
    const int page;
    int content = noContent;
};

struct LoadCall
{
    int page;
    std::thread::id thread;
};

// A ring owner whose pages are integers: the current page is its position, a neighbour's page
// is one more or one less. A page's load waits while its gate is held and fails when the page
// is marked failing. Its own lock stands for the document's and is taken in every operation, as
// the document takes its lock.
class FakeOwner : public CPageLoaderBase
{
public:
    ~FakeOwner()
    {
        gates.OpenAll();
        Stop();
    }

    void SetFailing(int page, bool failing)
    {
        state_.Update([&] {
            if (failing)
                failing_.insert(page);
            else
                failing_.erase(page);
        });
    }
    void SetPosition(int position)
    {
        state_.Update([&] { position_ = position; });
    }

    std::vector<LoadCall> Loads()
    {
        return state_.Read([this] { return loads_; });
    }
    std::vector<int> LoadedPages()
    {
        std::vector<int> pages;
        for (const LoadCall& call : Loads())
            pages.push_back(call.page);
        return pages;
    }
    int CommitsOf(int page)
    {
        return state_.Read(
            [&] { return static_cast<int>(std::count(commits_.begin(), commits_.end(), page)); });
    }

    RankedRecursiveMutex& DocumentLock() { return document_; }

    // A page's load waits at the gate named by its number.
    int LivePages() const { return *livePages_; }

    DeadlineSync::GateBoard gates;
    std::atomic<int> currentAssignments{0};

protected:
    std::shared_ptr<IPageData> CreatePageData() override { return std::make_shared<Page>(livePages_); }
    void ReleasePage(IPageData& page) override
    {
        // Keeps the page number: a one-slot ring assigns the next page from it.
        std::lock_guard<RankedRecursiveMutex> document(document_);
        Of(page).content = noContent;
    }
    std::shared_ptr<ILoadData> CreateLoadData(IPageData& page) override
    {
        std::lock_guard<RankedRecursiveMutex> document(document_);
        return std::make_shared<Load>(Of(page).number);
    }
    bool LoadPage(ILoadData& data) override
    {
        auto& load = static_cast<Load&>(data);
        state_.Update([&] { loads_.push_back({load.page, std::this_thread::get_id()}); });
        if (!gates.Pass(std::to_string(load.page)))
            return false;
        std::lock_guard<RankedRecursiveMutex> document(document_);
        if (state_.Read([&] { return failing_.count(load.page) > 0; }))
            return false;
        load.content = load.page;
        return true;
    }
    void CommitPage(IPageData& page, ILoadData& data) override
    {
        std::lock_guard<RankedRecursiveMutex> document(document_);
        const int content = static_cast<Load&>(data).content;
        Of(page).content = content;
        state_.Update([&] { commits_.push_back(content); });
    }
    void AssignCurrentPage(IPageData& page) override
    {
        std::lock_guard<RankedRecursiveMutex> document(document_);
        ++currentAssignments;
        Of(page).number = state_.Read([this] { return position_; });
    }
    void AssignNextPage(IPageData& page, IPageData& before) override
    {
        std::lock_guard<RankedRecursiveMutex> document(document_);
        Of(page).number = Of(before).number + 1;
    }
    void AssignPrevPage(IPageData& page, IPageData& after) override
    {
        std::lock_guard<RankedRecursiveMutex> document(document_);
        Of(page).number = Of(after).number - 1;
    }

private:
    static Page& Of(IPageData& page) { return static_cast<Page&>(page); }

    RankedRecursiveMutex document_{LockRank::Document};
    const std::shared_ptr<std::atomic<int>> livePages_ = std::make_shared<std::atomic<int>>(0);
    DeadlineSync::Monitor state_;
    std::set<int> failing_;
    std::vector<LoadCall> loads_;
    std::vector<int> commits_;
    int position_ = 0;
};

// The ring from the farthest page behind to the farthest ahead, the current one in brackets: a
// loaded slot shows its page (and its content when that differs), a loading one "~", a failed
// one "x", an empty one "_".
std::string Describe(FakeOwner& owner)
{
    const CPageLoaderBase::SSnapshot snapshot = owner.Snapshot();
    const int count = static_cast<int>(snapshot.slots.size());
    std::string text;
    for (int k = snapshot.lookAhead + 1 - count; k <= snapshot.lookAhead; ++k) {
        const auto& slot = snapshot.slots[Brivox::PositiveModulo(snapshot.current + k, count)];
        const auto& page = static_cast<const Page&>(*slot.page);
        std::string item;
        switch (slot.state) {
        case SlotState::Empty:
            item = "_";
            break;
        case SlotState::Loading:
            item = "~";
            break;
        case SlotState::Failed:
            item = "x";
            break;
        case SlotState::Loaded:
            item = std::to_string(page.number);
            if (page.content != page.number)
                item += "/" + std::to_string(page.content);
            break;
        }
        text += (text.empty() ? "" : " ") + (k == 0 ? "[" + item + "]" : item);
    }
    return text;
}

void ReadAhead(FakeOwner& owner)
{
    owner.Notify();
    ASSERT_TRUE(owner.WaitIdle(hangLimit));
}

// Sizes the ring to six slots, three ahead, with the gate of `page` held, and returns once the
// worker waits at that gate.
[[nodiscard]] bool StartWithLoadHeld(FakeOwner& owner, int page)
{
    owner.gates.Hold(std::to_string(page));
    owner.SetCacheSize(6, 3);
    owner.Notify();
    return owner.gates.WaitForArrivals(std::to_string(page), 1);
}

TEST(PageLoader, FillsTheForwardWindowNearestFirstThenTheBackwardOne)
{
    FakeOwner owner;
    owner.SetCacheSize(6, 3);
    ReadAhead(owner);
    EXPECT_EQ(owner.LoadedPages(), (std::vector<int>{0, 1, 2, 3, -1, -2}));
    EXPECT_EQ(Describe(owner), "-2 -1 [0] 1 2 3");
    // The current page was composed by the caller, the others by the worker.
    const auto loads = owner.Loads();
    EXPECT_EQ(loads[0].thread, std::this_thread::get_id());
    for (std::size_t i = 1; i < loads.size(); ++i)
        EXPECT_NE(loads[i].thread, std::this_thread::get_id()) << "page " << loads[i].page;
}

TEST(PageLoader, LoadsOnePageAtATime)
{
    FakeOwner owner;
    ASSERT_TRUE(StartWithLoadHeld(owner, 1));
    EXPECT_EQ(owner.LoadedPages(), (std::vector<int>{0, 1}));
    EXPECT_EQ(Describe(owner), "_ _ [0] ~ _ _");

    owner.gates.Open("1");
    ASSERT_TRUE(owner.WaitIdle(hangLimit));
    EXPECT_EQ(owner.LoadedPages(), (std::vector<int>{0, 1, 2, 3, -1, -2}));
    EXPECT_EQ(Describe(owner), "-2 -1 [0] 1 2 3");
}

TEST(PageLoader, AFailedPageStopsTheReadAheadBeyondItUntilAReset)
{
    FakeOwner owner;
    owner.SetFailing(2, true);
    owner.SetCacheSize(6, 3);
    ReadAhead(owner);
    EXPECT_EQ(Describe(owner), "-2 -1 [0] 1 x _");
    ReadAhead(owner);
    EXPECT_EQ(owner.LoadedPages(), (std::vector<int>{0, 1, 2, -1, -2}));

    owner.SetFailing(2, false);
    owner.Reset();
    ReadAhead(owner);
    EXPECT_EQ(Describe(owner), "-2 -1 [0] 1 2 3");
}

TEST(PageLoader, AMoveOntoTheSlotBeingLoadedWaitsForTheWorkersPage)
{
    FakeOwner owner;
    ASSERT_TRUE(StartWithLoadHeld(owner, 1));

    owner.MoveNext();
    EXPECT_EQ(owner.LoadedPages(), (std::vector<int>{0, 1})) << "composed a second time";
    std::atomic<bool> opened{false};
    std::atomic<bool> waiting{false};
    auto waited = std::async(std::launch::async, [&] {
        waiting = true;
        owner.WaitCurrent();
        return opened.load();
    });
    // Wake-ups without cause while the load still runs must not end the wait.
    while (!waiting)
        std::this_thread::yield();
    for (int i = 0; i < 200; ++i) {
        Brivox::CPageLoaderProbe::WakeWithoutCause(owner);
        std::this_thread::yield();
    }
    opened = true;
    owner.gates.Open("1");
    EXPECT_TRUE(Await(waited)) << "WaitCurrent returned before the page was composed";
    ReadAhead(owner);
    EXPECT_EQ(Describe(owner), "-1 0 [1] 2 3 4");
    EXPECT_EQ(owner.CommitsOf(1), 1);
}

TEST(PageLoader, OneSlotComposesEveryPageAtOnceAndReadsNothingAhead)
{
    for (const auto& [count, lookAhead] : {std::pair{0, 0}, std::pair{-3, 2}}) {
        SCOPED_TRACE(count);
        FakeOwner owner;
        owner.SetCacheSize(count, lookAhead);
        EXPECT_EQ(Describe(owner), "[0]");
        owner.MoveNext();
        EXPECT_EQ(Describe(owner), "[1]");
        owner.MoveNext();
        owner.MovePrev();
        ReadAhead(owner);
        EXPECT_EQ(Describe(owner), "[1]");
        EXPECT_EQ(owner.LoadedPages(), (std::vector<int>{0, 1, 2, 1}));
        for (const LoadCall& call : owner.Loads())
            EXPECT_EQ(call.thread, std::this_thread::get_id()) << "page " << call.page;
    }
}

TEST(PageLoader, TwoSlotsHoldTheRightPagesAfterMovesBothWays)
{
    FakeOwner owner;
    owner.SetCacheSize(2, 1);
    ReadAhead(owner);
    EXPECT_EQ(Describe(owner), "[0] 1");
    owner.MoveNext();
    EXPECT_EQ(Describe(owner), "[1] _");
    ReadAhead(owner);
    EXPECT_EQ(Describe(owner), "[1] 2");
    owner.MovePrev();
    EXPECT_EQ(Describe(owner), "[0] 1");
    owner.MovePrev();
    ReadAhead(owner);
    EXPECT_EQ(Describe(owner), "[-1] 0");
    owner.MoveNext();
    ReadAhead(owner);
    EXPECT_EQ(Describe(owner), "[0] 1");
}

TEST(PageLoader, SetCacheSizeResetsOnlyWhenTheShapeChanges)
{
    FakeOwner owner;
    owner.SetCacheSize(6, 3);
    ReadAhead(owner);
    owner.SetPosition(10);

    owner.SetCacheSize(6, 3);
    EXPECT_EQ(owner.currentAssignments, 1);
    EXPECT_EQ(Describe(owner), "-2 -1 [0] 1 2 3");

    owner.SetCacheSize(6, 2);
    EXPECT_EQ(owner.currentAssignments, 2);
    EXPECT_EQ(Describe(owner), "_ _ _ [10] _ _");
    ReadAhead(owner);
    EXPECT_EQ(Describe(owner), "7 8 9 [10] 11 12");
}

TEST(PageLoader, AShrinkDuringALoadKeepsTheRemovedSlotUntilTheLoadEndsAndDropsItsResult)
{
    FakeOwner owner;
    ASSERT_TRUE(StartWithLoadHeld(owner, 3));
    EXPECT_EQ(owner.LivePages(), 6);

    owner.SetCacheSize(2, 1);
    EXPECT_EQ(owner.LivePages(), 3) << "the slot being loaded is held by the worker";
    EXPECT_EQ(Describe(owner), "[0] _");

    owner.gates.Open("3");
    ReadAhead(owner);
    EXPECT_EQ(Describe(owner), "[0] 1");
    EXPECT_EQ(owner.CommitsOf(3), 0);
    EXPECT_EQ(owner.LivePages(), 2);
}

TEST(PageLoader, StopWaitsForTheLoadAppliesItAndLeavesMovesComposingAtOnce)
{
    FakeOwner owner;
    ASSERT_TRUE(StartWithLoadHeld(owner, 1));
    owner.MoveNext(); // onto the slot being loaded

    std::atomic<bool> opened{false};
    auto stopped = std::async(std::launch::async, [&] {
        owner.Stop();
        return opened.load();
    });
    ASSERT_TRUE(owner.WaitIdle(hangLimit)); // Stop has told the worker to end
    opened = true;
    owner.gates.Open("1");
    EXPECT_TRUE(Await(stopped)) << "Stop returned during the load";

    // The page the worker finished counts: nobody waits for it for ever.
    auto waited = std::async(std::launch::async, [&] { owner.WaitCurrent(); });
    Await(waited);
    EXPECT_EQ(Describe(owner), "_ 0 [1] _ _ _");

    ReadAhead(owner);
    EXPECT_EQ(Describe(owner), "_ 0 [1] _ _ _") << "read ahead after Stop";
    owner.MoveNext();
    EXPECT_EQ(Describe(owner), "0 1 [2] _ _ _");
    EXPECT_EQ(owner.Loads().back().thread, std::this_thread::get_id());

    auto second = std::async(std::launch::async, [&] { owner.Stop(); });
    Await(second);
}

// Random moves, resets, resizes and notifications while every load waits for a thread that lets
// the waiting loads go in random order. After every step the current page is the one the steps
// lead to, and at the end every loaded slot holds the page its position says.
TEST(PageLoader, RandomOperationsKeepEverySlotOnItsPage)
{
    FakeOwner owner;
    owner.gates.HoldEveryPass();
    for (int page = -1000; page <= 1000; page += 7)
        owner.SetFailing(page, true);
    DeadlineSync::RandomReleaser releaser(owner.gates, 11);

    std::mt19937 random(5);
    auto draw = [&](int n) { return static_cast<int>(random() % n); };
    owner.SetCacheSize(6, 3);
    int position = 0;
    int current = 0;
    for (int step = 0; step < 1000 && !testing::Test::HasFailure(); ++step) {
        const int choice = draw(100);
        if (choice < 30) {
            owner.MoveNext();
            ++current;
        } else if (choice < 50) {
            owner.MovePrev();
            --current;
        } else if (choice < 58) {
            position = draw(40) - 20;
            owner.SetPosition(position);
            owner.Reset();
            current = position;
        } else if (choice < 63) {
            owner.ResetOthers();
        } else if (choice < 73) {
            const auto before = owner.Snapshot();
            const int count = draw(8) - 1;
            const int lookAhead = draw(7);
            owner.SetCacheSize(count, lookAhead);
            const int slots = std::max(count, 1);
            if (slots != static_cast<int>(before.slots.size()) ||
                std::min(lookAhead, slots - 1) != before.lookAhead)
                current = position;
        } else {
            owner.Notify();
        }
        owner.WaitCurrent();
        const auto snapshot = owner.Snapshot();
        const auto& slot = *snapshot.slots[snapshot.current].page;
        EXPECT_EQ(static_cast<const Page&>(slot).number, current) << "step " << step;
    }

    ReadAhead(owner);
    const auto snapshot = owner.Snapshot();
    const int count = static_cast<int>(snapshot.slots.size());
    for (int k = snapshot.lookAhead + 1 - count; k <= snapshot.lookAhead; ++k) {
        const auto& slot = snapshot.slots[Brivox::PositiveModulo(snapshot.current + k, count)];
        const auto& page = static_cast<const Page&>(*slot.page);
        if (slot.state == SlotState::Loaded) {
            EXPECT_EQ(page.number, current + k) << "slot at " << k;
            EXPECT_EQ(page.content, current + k) << "slot at " << k;
        }
    }
}

// A failed check ends the program through the abort box; the test answers it.
int AnswerBox(HWND, const char*, const char*, UINT)
{
    return IDOK;
}

TEST(PageLoaderDeathTest, ARingOperationUnderTheDocumentLockFailsTheLockCheck)
{
    if (!Brivox::LockOrder::checked)
        GTEST_SKIP() << "lock checks are off in this build";
    EXPECT_EXIT(
        {
            Brivox::SetMessageBoxHook(&AnswerBox);
            FakeOwner owner;
            owner.SetCacheSize(2, 1);
            std::lock_guard<RankedRecursiveMutex> document(owner.DocumentLock());
            owner.MoveNext();
        },
        testing::ExitedWithCode(1), "rank 2 or above is held in CPageLoaderBase::MoveNext");
}

// An owner that forgets to stop the ring in its destructor.
class ForgetfulOwner : public CPageLoaderBase
{
protected:
    std::shared_ptr<IPageData> CreatePageData() override { return std::make_shared<IPageData>(); }
    void ReleasePage(IPageData&) override {}
    std::shared_ptr<ILoadData> CreateLoadData(IPageData&) override { return nullptr; }
    bool LoadPage(ILoadData&) override { return false; }
    void CommitPage(IPageData&, ILoadData&) override {}
    void AssignCurrentPage(IPageData&) override {}
    void AssignNextPage(IPageData&, IPageData&) override {}
    void AssignPrevPage(IPageData&, IPageData&) override {}
};

TEST(PageLoaderDeathTest, AnOwnerThatDidNotStopTheRingFailsTheCheck)
{
    if (!Brivox::LockOrder::checked)
        GTEST_SKIP() << "lock checks are off in this build";
    EXPECT_EXIT(
        {
            Brivox::SetMessageBoxHook(&AnswerBox);
            ForgetfulOwner owner;
        },
        testing::ExitedWithCode(1), "destroyed before its owner called Stop");
}

} // namespace
