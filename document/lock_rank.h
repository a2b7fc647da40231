#pragma once
// Lock order of the document's threads. Every lock of the document carries a rank, and a thread
// may only take a lock ranked above every lock it already holds (or a recursive lock it holds
// already), so that the page ring's worker, the image loader's worker and the window thread can
// never wait for each other in a circle. Builds with KANORU_LOCK_CHECKS (debug and test builds)
// keep a record per thread and end the program at the first wrong step, naming it; other builds
// check nothing and pay nothing.

#include <mutex>
#include <type_traits>

namespace Brivox {

enum class LockRank : int
{
    PageRing = 1,
    Document = 2,
    ImageLoader = 3,
    DecoderEntry = 4,
};

namespace LockOrder {

#ifdef KANORU_LOCK_CHECKS
inline constexpr bool checked = true;

// Checks, before it blocks, that the calling thread may take the lock, and records it.
void Acquiring(const void* lock, LockRank rank, bool recursive);
// Records that the calling thread has let go of one hold of the lock.
void Released(const void* lock);
// Fails when the calling thread holds a lock of the given rank or above; `operation` names the
// caller in the report.
void RequireNoneFrom(LockRank rank, const char* operation);
// Fails when the calling thread holds any lock.
void RequireNone(const char* operation);
// Fails with the message unless the condition holds.
void Require(bool condition, const char* message);
// Whether the calling thread holds any lock, for checks that must not end the program.
bool HoldsAny();
#else
inline constexpr bool checked = false;

inline void Acquiring(const void*, LockRank, bool) {}
inline void Released(const void*) {}
inline void RequireNoneFrom(LockRank, const char*) {}
inline void RequireNone(const char*) {}
inline void Require(bool, const char*) {}
inline bool HoldsAny()
{
    return false;
}
#endif

} // namespace LockOrder

// A mutex (std::mutex or std::recursive_mutex) that tells the checker of every hold. Wait on it
// with std::condition_variable_any.
template <class Mutex> class RankedLock
{
public:
    explicit RankedLock(LockRank rank) : m_rank(rank) {}
    RankedLock(const RankedLock&) = delete;
    RankedLock& operator=(const RankedLock&) = delete;

    void lock()
    {
        LockOrder::Acquiring(this, m_rank, recursive);
        m_mutex.lock();
    }
    void unlock()
    {
        LockOrder::Released(this);
        m_mutex.unlock();
    }

    LockRank Rank() const { return m_rank; }

private:
    static constexpr bool recursive = std::is_same_v<Mutex, std::recursive_mutex>;

    Mutex m_mutex;
    const LockRank m_rank;
};

using RankedMutex = RankedLock<std::mutex>;
using RankedRecursiveMutex = RankedLock<std::recursive_mutex>;

} // namespace Brivox
