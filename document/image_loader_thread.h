#pragma once
// Files decoded ahead of need on a worker of their own. The owner names the files it expects to
// need soon (Enqueue) and asks for the decoder of one file when it needs it (Get); the answer
// comes from a small ring of recent results, from a decode of that very file under way, or from
// a decode in the caller's thread. Files are abstract keys whose bytes and decoders come from
// the owner, so the loader knows neither paths nor formats.

#include "document/lock_rank.h"
#include "formats/file_data.h"
#include "formats/image_loader.h"
#include "foundation/worker_thread.h"

#include <chrono>
#include <condition_variable>
#include <list>
#include <memory>
#include <vector>

namespace Brivox {

class ThreadedImageLoader
{
public:
    // The key of one file; keys are compared only through Equals.
    class IFileID
    {
    public:
        virtual ~IFileID() = default;
        virtual bool Equals(const IFileID& other) const = 0;
    };

    // Called outside the loader's lock, on the worker or on the thread that calls Get.
    class IOwner
    {
    public:
        virtual ~IOwner() = default;
        // A new, unopened decoder.
        virtual std::shared_ptr<CImageLoader> CreateImageLoader() = 0;
        // The name and whole bytes of the file the key names (may ask for an archive password).
        virtual std::shared_ptr<CFileData> GetFileData(const IFileID& key) = 0;
    };

    // One decoded file. A decoder in the ring may be handed to several threads: each call on it
    // (GetSize, Load, HasAlpha, GetFormatName) is made with `lock` held, and no thread holds two
    // entries' locks at once.
    struct SEntry
    {
        explicit SEntry(std::shared_ptr<IFileID> key) : key(std::move(key)) {}

        const std::shared_ptr<IFileID> key;
        // Empty when the file could not be read or decoded.
        std::shared_ptr<CImageLoader> decoder;
        RankedMutex lock{LockRank::DecoderEntry};
    };

    // The owner must outlive the loader (hand it in with Detail::FakeDeleter).
    explicit ThreadedImageLoader(std::shared_ptr<IOwner> owner);
    // Ends the worker after its decode, and waits for every call still inside the loader.
    ~ThreadedImageLoader();
    ThreadedImageLoader(const ThreadedImageLoader&) = delete;
    ThreadedImageLoader& operator=(const ThreadedImageLoader&) = delete;

    // Keeps the last n results; n of 2 or less switches caching off. A change forgets every
    // result and request, and keeps decodes under way out of the ring.
    void SetCacheSize(int n);
    // Asks for a decode ahead of need; ignored with caching off and for a key already known.
    void Enqueue(const std::shared_ptr<IFileID>& key);
    // The file's entry: from the ring, from the worker's or another Get's decode of it (waited
    // for), or decoded in this thread (one-shot with caching off). Its decoder is empty when the file failed.
    std::shared_ptr<SEntry> Get(const std::shared_ptr<IFileID>& key);
    // Forgets every result and request, waits for the worker's decode under way and keeps it,
    // and every decode begun before, out of the ring.
    void Clear();

    // For tests: true once the queue is empty and nothing is in flight, false when the timeout
    // passes first.
    [[nodiscard]] bool WaitIdle(std::chrono::milliseconds timeout);

private:
    friend class ThreadedImageLoaderProbe; // tests: watches the waiting calls, wakes them without cause

    using Lock = std::unique_lock<RankedMutex>;
    class CCallScope;

    void ThreadProc();
    void LoadEntry(SEntry& entry, bool oneShot);
    void StoreInRing(const std::shared_ptr<SEntry>& entry);
    std::shared_ptr<SEntry> FindInRing(const IFileID& key) const;
    bool IsInFlight(const IFileID& key) const;

    const std::shared_ptr<IOwner> m_owner;
    std::vector<std::shared_ptr<SEntry>> m_ring; // empty: caching off
    int m_next = 0;
    bool m_running = true;
    std::shared_ptr<WorkerThread> m_worker;
    RankedMutex m_lock{LockRank::ImageLoader};
    std::condition_variable_any m_queued;
    std::condition_variable_any m_finished;
    std::shared_ptr<SEntry> m_inFlight;
    std::vector<std::shared_ptr<SEntry>> m_getDecodes; // decodes a Get makes in its own thread
    std::list<std::shared_ptr<SEntry>> m_queue;
    // Advanced by Clear and SetCacheSize: a decode that began under an older one stays out of
    // the ring.
    unsigned m_generation = 0;
    // Calls of Get and Clear under way; the destructor waits for them.
    int m_calls = 0;
    int m_waitingGets = 0; // for tests
};

} // namespace Brivox
