#include "foundation/small_block_allocator.h"

#include <cstdint>
#include <cstdlib>
#include <new>

namespace Brivox {

namespace {

// The index of the block of `size` bytes that holds p within a pool of `count` blocks at base,
// or -1 when p lies outside it.
int BlockIndex(const void* base, int size, int count, const void* p)
{
    const std::uintptr_t offset =
        reinterpret_cast<std::uintptr_t>(p) - reinterpret_cast<std::uintptr_t>(base);
    if (offset >= static_cast<std::uintptr_t>(size) * static_cast<std::uintptr_t>(count))
        return -1;
    return static_cast<int>(offset / static_cast<std::uintptr_t>(size));
}

} // namespace

class SmallBlockAllocator::Guard
{
public:
    explicit Guard(SRWLOCK* lock) : m_lock(lock)
    {
        if (m_lock)
            ::AcquireSRWLockExclusive(m_lock);
    }
    ~Guard()
    {
        if (m_lock)
            ::ReleaseSRWLockExclusive(m_lock);
    }
    Guard(const Guard&) = delete;
    Guard& operator=(const Guard&) = delete;

private:
    SRWLOCK* m_lock;
};

SmallBlockAllocator::SmallBlockAllocator()
    : m_lock(nullptr), m_smallFreeCount(smallBlockCount), m_largeFreeCount(largeBlockCount)
{
    for (int i = 0; i < smallBlockCount; ++i)
        m_smallFree[i] = i;
    for (int i = 0; i < largeBlockCount; ++i)
        m_largeFree[i] = i;
    // The lock needs no lock of its own to be made, and nothing to be closed when it goes: it
    // lives in the first block handed out, the last one of the small pool.
    static_assert(sizeof(SRWLOCK) <= smallBlockSize);
    m_lock.store(new (Allocate(sizeof(SRWLOCK))) SRWLOCK SRWLOCK_INIT, std::memory_order_release);
}

void* SmallBlockAllocator::LockedAllocate(std::size_t size)
{
    Guard guard(m_lock.load(std::memory_order_acquire));
    return Allocate(size);
}

void SmallBlockAllocator::LockedFree(void* pointer)
{
    if (!pointer)
        return;
    Guard guard(m_lock.load(std::memory_order_acquire));
    Free(pointer);
}

void* SmallBlockAllocator::Allocate(std::size_t size)
{
    if (m_smallFreeCount > 0 && size <= smallBlockSize)
        return m_smallPool[m_smallFree[--m_smallFreeCount]].bytes;
    if (m_largeFreeCount > 0 && size <= largeBlockSize)
        return m_largePool[m_largeFree[--m_largeFreeCount]].bytes;
    return AllocateOrThrow(size);
}

void SmallBlockAllocator::Free(void* pointer)
{
    // A full stack can only mean a block released twice; pushing it again would write past the
    // stack, so it is dropped.
    if (const int index = BlockIndex(m_smallPool, smallBlockSize, smallBlockCount, pointer); index >= 0) {
        if (m_smallFreeCount < smallBlockCount)
            m_smallFree[m_smallFreeCount++] = index;
    } else if (const int index = BlockIndex(m_largePool, largeBlockSize, largeBlockCount, pointer);
               index >= 0) {
        if (m_largeFreeCount < largeBlockCount)
            m_largeFree[m_largeFreeCount++] = index;
    } else {
        std::free(pointer);
    }
}

void SmallBlockAllocator::DropLock()
{
    SRWLOCK* lock = m_lock.exchange(nullptr, std::memory_order_acq_rel);
    if (lock)
        Free(lock);
}

SmallBlockAllocator::Source SmallBlockAllocator::SourceOf(const void* pointer) const
{
    if (BlockIndex(m_smallPool, smallBlockSize, smallBlockCount, pointer) >= 0)
        return Source::SmallPool;
    if (BlockIndex(m_largePool, largeBlockSize, largeBlockCount, pointer) >= 0)
        return Source::LargePool;
    return Source::Heap;
}

int SmallBlockAllocator::FreeBlocks(Source pool) const
{
    Guard guard(m_lock.load(std::memory_order_acquire));
    return pool == Source::SmallPool ? m_smallFreeCount : pool == Source::LargePool ? m_largeFreeCount : 0;
}

const void* SmallBlockAllocator::BlockAddress(Source pool, int index) const
{
    return pool == Source::SmallPool ? m_smallPool[index].bytes : m_largePool[index].bytes;
}

SmallBlockAllocator& GetSmallBlockAllocator()
{
    // Trivially destructible, so nothing but the exit step below runs at exit.
    static SmallBlockAllocator& allocator = *[] {
        static SmallBlockAllocator instance;
        std::atexit([] { GetSmallBlockAllocator().DropLock(); });
        return &instance;
    }();
    return allocator;
}

void* AllocateOrThrow(std::size_t size)
{
    // malloc(0) may answer null without failing; one byte always has an address of its own.
    void* p = std::malloc(size == 0 ? 1 : size);
    if (!p)
        throw std::bad_alloc();
    return p;
}

} // namespace Brivox
