#include "document/image_loader_thread.h"

#include "foundation/thread_pool.h"

#include <algorithm>
#include <exception>

namespace Brivox {

namespace {

// The loader's lock and the decoders' locks come after the ring's and the document's.
void RequireLoaderFirst(const char* operation)
{
    LockOrder::RequireNoneFrom(LockRank::ImageLoader, operation);
}

} // namespace

// Counts a call of Get or Clear for its whole run, so that the destructor can wait until no call
// uses the lock and the conditions any more. Made and ended with the lock held.
class ThreadedImageLoader::CCallScope
{
public:
    CCallScope(ThreadedImageLoader& loader, Lock& lock) : m_loader(loader), m_lock(lock)
    {
        ++m_loader.m_calls;
    }
    ~CCallScope()
    {
        if (!m_lock.owns_lock())
            m_lock.lock();
        if (--m_loader.m_calls == 0 && !m_loader.m_running)
            m_loader.m_finished.notify_all();
    }
    CCallScope(const CCallScope&) = delete;
    CCallScope& operator=(const CCallScope&) = delete;

private:
    ThreadedImageLoader& m_loader;
    Lock& m_lock;
};

ThreadedImageLoader::ThreadedImageLoader(std::shared_ptr<IOwner> owner) : m_owner(std::move(owner))
{
    m_worker = AcquirePooledWorker();
    m_worker->Post([this] { ThreadProc(); });
}

ThreadedImageLoader::~ThreadedImageLoader()
{
    Lock lock(m_lock);
    m_running = false;
    m_queued.notify_all();
    m_finished.notify_all(); // for tests that wait for the end to begin
    lock.unlock();
    if (m_worker) {
        m_worker->Wait();
        m_worker.reset();
    }
    // A Get that waited for the worker's last decode is still on its way out.
    lock.lock();
    m_finished.wait(lock, [this] { return m_calls == 0; });
}

void ThreadedImageLoader::LoadEntry(SEntry& entry, bool oneShot)
{
    // A decoder that cannot be made (memory exhausted) is the caller's failure, not the file's.
    entry.decoder = m_owner->CreateImageLoader();
    if (!entry.decoder)
        return;
    try {
        entry.decoder->SetOneShot(oneShot);
        entry.decoder->Open(m_owner->GetFileData(*entry.key));
    } catch (const std::exception&) {
        entry.decoder.reset();
    }
}

void ThreadedImageLoader::StoreInRing(const std::shared_ptr<SEntry>& entry)
{
    // The oldest result goes; a hit does not make an entry younger.
    m_ring[m_next] = entry;
    m_next = (m_next + 1) % static_cast<int>(m_ring.size());
}

std::shared_ptr<ThreadedImageLoader::SEntry> ThreadedImageLoader::FindInRing(const IFileID& key) const
{
    for (const auto& entry : m_ring) {
        if (entry && entry->key->Equals(key))
            return entry;
    }
    return nullptr;
}

bool ThreadedImageLoader::IsInFlight(const IFileID& key) const
{
    if (m_inFlight && m_inFlight->key->Equals(key))
        return true;
    return std::any_of(m_getDecodes.begin(), m_getDecodes.end(),
                       [&](const std::shared_ptr<SEntry>& entry) { return entry->key->Equals(key); });
}

void ThreadedImageLoader::ThreadProc()
{
    Lock lock(m_lock);
    for (;;) {
        m_queued.wait(lock, [this] { return !m_queue.empty() || !m_running; });
        if (!m_running)
            return;
        m_inFlight = m_queue.front();
        m_queue.pop_front();
        const unsigned generation = m_generation;
        lock.unlock();
        bool decoded = true;
        try {
            LoadEntry(*m_inFlight, false);
        } catch (...) {
            // No decoder could be made: nothing is stored, and a Get of the key decodes itself.
            decoded = false;
        }
        lock.lock();
        // Also while the loader is being destroyed: a Get that waited for this key finds it.
        if (decoded && generation == m_generation && !m_ring.empty())
            StoreInRing(m_inFlight);
        m_inFlight.reset();
        m_finished.notify_all();
    }
}

void ThreadedImageLoader::SetCacheSize(int n)
{
    RequireLoaderFirst("ThreadedImageLoader::SetCacheSize");
    const int size = n >= 3 ? n : 0;
    Lock lock(m_lock);
    if (size == static_cast<int>(m_ring.size()))
        return;
    m_ring.assign(size, nullptr);
    m_next = 0;
    ++m_generation;
    m_queue.clear();
}

void ThreadedImageLoader::Enqueue(const std::shared_ptr<IFileID>& key)
{
    RequireLoaderFirst("ThreadedImageLoader::Enqueue");
    Lock lock(m_lock);
    if (m_ring.empty() || IsInFlight(*key) || FindInRing(*key))
        return;
    for (const auto& queued : m_queue) {
        if (queued->key->Equals(*key))
            return;
    }
    m_queue.push_back(std::make_shared<SEntry>(key));
    m_queued.notify_all();
}

std::shared_ptr<ThreadedImageLoader::SEntry> ThreadedImageLoader::Get(const std::shared_ptr<IFileID>& key)
{
    RequireLoaderFirst("ThreadedImageLoader::Get");
    Lock lock(m_lock);
    CCallScope call(*this, lock);
    // The worker or another Get may be decoding this very file: one decode, one open of the file.
    if (IsInFlight(*key)) {
        ++m_waitingGets;
        m_finished.notify_all(); // for tests that wait for waiting calls
        m_finished.wait(lock, [&] { return !IsInFlight(*key); });
        --m_waitingGets;
    }
    if (m_ring.empty()) {
        lock.unlock();
        auto entry = std::make_shared<SEntry>(key);
        LoadEntry(*entry, true);
        return entry;
    }
    if (auto found = FindInRing(*key))
        return found;
    m_queue.remove_if([&](const std::shared_ptr<SEntry>& queued) { return queued->key->Equals(*key); });
    const unsigned generation = m_generation;
    auto entry = std::make_shared<SEntry>(key);
    m_getDecodes.push_back(entry);
    lock.unlock();
    std::exception_ptr failure;
    try {
        LoadEntry(*entry, false);
    } catch (...) {
        failure = std::current_exception(); // rethrown once the waiting calls know this decode ended
    }
    lock.lock();
    m_getDecodes.erase(std::find(m_getDecodes.begin(), m_getDecodes.end(), entry));
    m_finished.notify_all();
    if (failure)
        std::rethrow_exception(failure);
    // A Clear or a resize meanwhile (the ring may even be gone) keeps the result out.
    if (generation == m_generation && !m_ring.empty())
        StoreInRing(entry);
    return entry;
}

void ThreadedImageLoader::Clear()
{
    RequireLoaderFirst("ThreadedImageLoader::Clear");
    Lock lock(m_lock);
    CCallScope call(*this, lock);
    ++m_generation;
    m_queue.clear();
    for (auto& entry : m_ring)
        entry.reset();
    // Until the decode under way now has ended, whatever wakes the wait.
    const std::shared_ptr<SEntry> inFlight = m_inFlight;
    m_finished.wait(lock, [&] { return !inFlight || m_inFlight != inFlight; });
}

bool ThreadedImageLoader::WaitIdle(std::chrono::milliseconds timeout)
{
    RequireLoaderFirst("ThreadedImageLoader::WaitIdle");
    Lock lock(m_lock);
    return m_finished.wait_for(lock, timeout, [this] { return m_queue.empty() && !m_inFlight; });
}

} // namespace Brivox
