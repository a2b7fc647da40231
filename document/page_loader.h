#pragma once
// The page read-ahead ring: composed pages kept around the page on show, so that a page turn
// usually hands over a page that is ready. One worker fills the empty slots one at a time, ahead
// of the current page first and then behind it, each next to a page already loaded; a move onto
// a slot that holds nothing composes its page at once in the caller. The ring knows nothing of
// files: what a page is, how it is placed and how it is composed are the owner's nine operations.

#include "document/lock_rank.h"
#include "foundation/worker_thread.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

namespace Brivox {

class CPageLoaderBase
{
public:
    // The payload of one slot, made once per slot and kept for the slot's life.
    class IPageData
    {
    public:
        virtual ~IPageData() = default;
    };

    // The work record of one page load.
    class ILoadData
    {
    public:
        virtual ~ILoadData() = default;
    };

    enum class SlotState : int
    {
        Empty = 0,
        Loading = 1, // the worker composes it now
        Loaded = 2,
        Failed = 3,
    };

    // Held by pointer: a slot that a shrink removes while the worker composes its page lives on
    // until that composition ends.
    struct SSlot
    {
        SlotState state = SlotState::Empty;
        std::shared_ptr<IPageData> page;
    };

    // For tests: every slot's state and payload, and the ring's shape, read at one moment.
    struct SSnapshot
    {
        struct SSlotView
        {
            SlotState state;
            std::shared_ptr<IPageData> page;
        };
        std::vector<SSlotView> slots;
        int current = 0;
        int lookAhead = 0;
    };

    CPageLoaderBase(const CPageLoaderBase&) = delete;
    CPageLoaderBase& operator=(const CPageLoaderBase&) = delete;

    // count pages in all (at least one), lookAhead of them after the current one (at most
    // count - 1), the rest before it. A change empties the ring and composes the current page.
    void SetCacheSize(int count, int lookAhead);
    // Empties every slot and composes the current page at once.
    void Reset();
    // Empties every slot but the current one; composes nothing.
    void ResetOthers();
    // Make the next or previous slot current, composing its page at once unless it holds one or
    // the worker composes it. Neither wakes the worker: Notify does.
    void MoveNext();
    void MovePrev();
    // Wakes the worker to read ahead.
    void Notify();
    // Returns once the current slot is not being composed by the worker.
    void WaitCurrent();
    // Ends the worker after the load it runs and waits for it. Moves and resets still compose the
    // current page; nothing is read ahead any more. A second call does nothing.
    void Stop();

    // For tests: returns true once the worker waits with nothing to choose (or Stop has told it
    // to end),
    // false when the timeout passes first.
    [[nodiscard]] bool WaitIdle(std::chrono::milliseconds timeout);
    SSnapshot Snapshot();

protected:
    // Starts the worker, which waits until the ring is sized.
    CPageLoaderBase();
    // The owner calls Stop in its own destructor, before its members go: the worker calls the
    // owner's operations until it has stopped.
    ~CPageLoaderBase();

    // The owner's operations. All but LoadPage run under the ring's lock; LoadPage runs outside
    // it on the worker and under it when the current page is composed at once, and reports a
    // failure as false rather than by throwing.
    virtual std::shared_ptr<IPageData> CreatePageData() = 0;
    // The slot was emptied: let go of what the payload holds.
    virtual void ReleasePage(IPageData& page) = 0;
    // The work record for the page the payload is assigned to; empty when there is nothing to load.
    virtual std::shared_ptr<ILoadData> CreateLoadData(IPageData& page) = 0;
    virtual bool LoadPage(ILoadData& load) = 0;
    // Copies the result of a successful load into the payload.
    virtual void CommitPage(IPageData& page, ILoadData& load) = 0;
    virtual void AssignCurrentPage(IPageData& page) = 0;
    // The page after (before) the page of a loaded neighbour.
    virtual void AssignNextPage(IPageData& page, IPageData& before) = 0;
    virtual void AssignPrevPage(IPageData& page, IPageData& after) = 0;
    // The current slot changed or was composed again.
    virtual void OnPageMoved() {}

    // Guarded by the ring's lock; the owner reads the current slot's payload on the thread that
    // moves and resets the ring, after WaitCurrent.
    std::deque<std::shared_ptr<SSlot>> m_slots;
    int m_lookAhead = 0;
    int m_current = 0;

private:
    friend class CPageLoaderProbe; // tests: wakes the conditions without cause

    using Lock = std::unique_lock<RankedRecursiveMutex>;

    struct SChoice
    {
        int slot = -1;
        int neighbour = -1;
        bool forward = true;
    };

    [[nodiscard]] bool ChooseNext(SChoice& choice) const;
    void ThreadProc();
    void LoadChosen(Lock& lock, const SChoice& choice);
    void LoadCurrentNow();
    void Empty(SSlot& slot);
    void AssignAfter(int slot);
    void AssignBefore(int slot);
    SSlot& SlotAt(int position) const;
    int Count() const { return static_cast<int>(m_slots.size()); }

    bool m_running = true;
    bool m_workerWaiting = false;
    std::shared_ptr<WorkerThread> m_worker;
    RankedRecursiveMutex m_lock{LockRank::PageRing};
    std::condition_variable_any m_work;
    std::condition_variable_any m_pageDone;
};

} // namespace Brivox
