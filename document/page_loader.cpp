#include "document/page_loader.h"

#include "foundation/numeric.h"
#include "foundation/thread_pool.h"

#include <algorithm>

namespace Brivox {

namespace {

// The ring's lock comes first: a caller holding the document's lock (or any later one) would
// wait for the worker while the worker waits for that lock.
void RequireRingFirst(const char* operation)
{
    LockOrder::RequireNoneFrom(LockRank::Document, operation);
}

} // namespace

CPageLoaderBase::CPageLoaderBase()
{
    m_worker = AcquirePooledWorker();
    m_worker->Post([this] { ThreadProc(); });
}

CPageLoaderBase::~CPageLoaderBase()
{
    LockOrder::Require(!m_worker, "CPageLoaderBase destroyed before its owner called Stop");
    Stop();
}

CPageLoaderBase::SSlot& CPageLoaderBase::SlotAt(int position) const
{
    return *m_slots[PositiveModulo(position, Count())];
}

bool CPageLoaderBase::ChooseNext(SChoice& choice) const
{
    const int count = Count();
    // The whole forward window first, nearest first; a page is only read next to a loaded one,
    // so a slot that loads or failed stops the read-ahead beyond it.
    for (int k = 1; k <= m_lookAhead; ++k) {
        const int slot = PositiveModulo(m_current + k, count);
        if (SlotAt(slot).state == SlotState::Empty && SlotAt(slot - 1).state == SlotState::Loaded) {
            choice = SChoice{slot, PositiveModulo(slot - 1, count), true};
            return true;
        }
    }
    for (int k = 1; k <= count - m_lookAhead - 1; ++k) {
        const int slot = PositiveModulo(m_current - k, count);
        if (SlotAt(slot).state == SlotState::Empty && SlotAt(slot + 1).state == SlotState::Loaded) {
            choice = SChoice{slot, PositiveModulo(slot + 1, count), false};
            return true;
        }
    }
    return false;
}

void CPageLoaderBase::ThreadProc()
{
    Lock lock(m_lock);
    while (m_running) {
        SChoice choice;
        if (!ChooseNext(choice)) {
            m_workerWaiting = true;
            m_pageDone.notify_all(); // for WaitIdle
            m_work.wait(lock);
            m_workerWaiting = false;
            continue; // chooses again: a wake-up without cause changes nothing
        }
        LoadChosen(lock, choice);
    }
}

void CPageLoaderBase::LoadChosen(Lock& lock, const SChoice& choice)
{
    // The slot and its payload are held across the load: a reset, a move or a shrink meanwhile
    // empties or removes the slot but cannot free what the load works on.
    const std::shared_ptr<SSlot> slot = m_slots[choice.slot];
    const std::shared_ptr<IPageData> page = slot->page;
    slot->state = SlotState::Loading;
    bool loaded = false;
    try {
        IPageData& neighbour = *m_slots[choice.neighbour]->page;
        if (choice.forward)
            AssignNextPage(*page, neighbour);
        else
            AssignPrevPage(*page, neighbour);
        const std::shared_ptr<ILoadData> load = CreateLoadData(*page);
        if (load) {
            lock.unlock();
            loaded = LoadPage(*load);
            lock.lock();
            if (loaded && slot->state == SlotState::Loading)
                CommitPage(*page, *load);
        }
    } catch (...) {
        // The owner reports failures as false; whatever escapes all the same fails the page
        // rather than ending the worker with the slot still loading.
        if (!lock.owns_lock())
            lock.lock();
        loaded = false;
    }
    // Also after a Stop that came during the load: the result is applied, so that nobody waits
    // for a slot that stays loading for ever. A slot emptied meanwhile keeps its new state and
    // the result is dropped.
    if (slot->state == SlotState::Loading) {
        slot->state = loaded ? SlotState::Loaded : SlotState::Failed;
        m_pageDone.notify_all();
    }
}

void CPageLoaderBase::LoadCurrentNow()
{
    SSlot& slot = SlotAt(m_current);
    const std::shared_ptr<IPageData> page = slot.page;
    const std::shared_ptr<ILoadData> load = CreateLoadData(*page);
    if (load && LoadPage(*load)) {
        CommitPage(*page, *load);
        slot.state = SlotState::Loaded;
    } else {
        slot.state = SlotState::Failed;
    }
}

void CPageLoaderBase::Empty(SSlot& slot)
{
    slot.state = SlotState::Empty;
    ReleasePage(*slot.page);
}

void CPageLoaderBase::AssignAfter(int slot)
{
    AssignNextPage(*SlotAt(slot).page, *SlotAt(slot - 1).page);
}

void CPageLoaderBase::AssignBefore(int slot)
{
    AssignPrevPage(*SlotAt(slot).page, *SlotAt(slot + 1).page);
}

void CPageLoaderBase::SetCacheSize(int count, int lookAhead)
{
    RequireRingFirst("CPageLoaderBase::SetCacheSize");
    Lock lock(m_lock);
    count = std::max(count, 1);
    lookAhead = std::clamp(lookAhead, 0, count - 1);
    if (count == Count() && lookAhead == m_lookAhead)
        return;
    while (Count() > count) {
        // A slot that the worker composes now lives on in the worker's hands; as it is no longer
        // loading, the worker drops its result.
        m_slots.back()->state = SlotState::Empty;
        m_slots.pop_back();
    }
    while (Count() < count) {
        auto slot = std::make_shared<SSlot>();
        slot->page = CreatePageData();
        m_slots.push_back(std::move(slot));
    }
    m_lookAhead = lookAhead;
    m_current = 0;
    Reset();
}

void CPageLoaderBase::Reset()
{
    RequireRingFirst("CPageLoaderBase::Reset");
    Lock lock(m_lock);
    if (m_slots.empty())
        return;
    for (const auto& slot : m_slots)
        Empty(*slot);
    AssignCurrentPage(*SlotAt(m_current).page);
    LoadCurrentNow();
    OnPageMoved();
}

void CPageLoaderBase::ResetOthers()
{
    RequireRingFirst("CPageLoaderBase::ResetOthers");
    Lock lock(m_lock);
    for (int i = 0; i < Count(); ++i) {
        if (i != m_current)
            Empty(*m_slots[i]);
    }
}

void CPageLoaderBase::MoveNext()
{
    RequireRingFirst("CPageLoaderBase::MoveNext");
    Lock lock(m_lock);
    if (m_slots.empty())
        return;
    m_current = PositiveModulo(m_current + 1, Count());
    // The farthest page behind falls out of the window.
    Empty(SlotAt(m_current + m_lookAhead));
    if (SlotAt(m_current).state == SlotState::Empty) {
        AssignAfter(m_current);
        LoadCurrentNow();
    }
    OnPageMoved();
}

void CPageLoaderBase::MovePrev()
{
    RequireRingFirst("CPageLoaderBase::MovePrev");
    Lock lock(m_lock);
    if (m_slots.empty())
        return;
    m_current = PositiveModulo(m_current - 1, Count());
    // The farthest page ahead falls out of the window.
    Empty(SlotAt(m_current + m_lookAhead + 1));
    if (SlotAt(m_current).state == SlotState::Empty) {
        AssignBefore(m_current);
        LoadCurrentNow();
    }
    OnPageMoved();
}

void CPageLoaderBase::Notify()
{
    RequireRingFirst("CPageLoaderBase::Notify");
    Lock lock(m_lock);
    m_work.notify_all();
}

void CPageLoaderBase::WaitCurrent()
{
    // The wait releases one hold of the recursive lock only: a caller already holding it would
    // keep the worker out for ever.
    LockOrder::RequireNone("CPageLoaderBase::WaitCurrent");
    Lock lock(m_lock);
    m_pageDone.wait(lock,
                    [this] { return m_slots.empty() || SlotAt(m_current).state != SlotState::Loading; });
}

void CPageLoaderBase::Stop()
{
    // The worker needs the ring's lock to finish its load.
    LockOrder::RequireNone("CPageLoaderBase::Stop");
    std::shared_ptr<WorkerThread> worker;
    {
        Lock lock(m_lock);
        if (!m_worker)
            return;
        m_running = false;
        m_work.notify_all();
        m_pageDone.notify_all(); // WaitIdle returns
        worker = std::move(m_worker);
    }
    worker->Wait();
    // The last handle gives the worker back to the pool.
}

bool CPageLoaderBase::WaitIdle(std::chrono::milliseconds timeout)
{
    LockOrder::RequireNone("CPageLoaderBase::WaitIdle");
    Lock lock(m_lock);
    return m_pageDone.wait_for(lock, timeout, [this] {
        SChoice choice;
        return !m_running || (m_workerWaiting && !ChooseNext(choice));
    });
}

CPageLoaderBase::SSnapshot CPageLoaderBase::Snapshot()
{
    RequireRingFirst("CPageLoaderBase::Snapshot");
    Lock lock(m_lock);
    SSnapshot snapshot;
    snapshot.current = m_current;
    snapshot.lookAhead = m_lookAhead;
    for (const auto& slot : m_slots)
        snapshot.slots.push_back({slot->state, slot->page});
    return snapshot;
}

} // namespace Brivox
