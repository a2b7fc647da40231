#pragma once
// The viewer's allocator for the very many small blocks it makes (two per String and more): two
// fixed pools of equal-sized blocks in static storage, with a stack of free block numbers each;
// everything else comes from the C heap. Kanoru2 routes its global allocation operators here;
// Kanolink does not.

#include "foundation/win32.h"

#include <atomic>
#include <cstddef>

namespace Brivox {

class SmallBlockAllocator
{
public:
    static constexpr int smallBlockSize = 32;
    static constexpr int smallBlockCount = 8192;
    static constexpr int largeBlockSize = 64;
    static constexpr int largeBlockCount = 2048;
    // Every block starts at a multiple of this (and so does what malloc returns).
    static constexpr std::size_t blockAlignment = 2 * sizeof(void*);

    enum class Source
    {
        SmallPool,
        LargePool,
        Heap
    };

    // Both pools full of free blocks; the lock takes the last block of the small pool.
    SmallBlockAllocator();
    SmallBlockAllocator(const SmallBlockAllocator&) = delete;
    SmallBlockAllocator& operator=(const SmallBlockAllocator&) = delete;

    // Allocate and Free under the lock while there is one (unlocked during construction and after
    // DropLock).
    void* LockedAllocate(std::size_t size);
    // A null pointer does nothing.
    void LockedFree(void* pointer);

    // Up to 32 bytes from the small pool, up to 64 from the large one (also for a small request
    // when the small pool is used up), anything else from the C heap.
    void* Allocate(std::size_t size);
    // Back to the pool the address lies in; any other address goes to the C heap's free.
    void Free(void* pointer);

    // The exit step: from now on nothing is locked (only the exiting thread runs) and the lock's
    // block is free again. The pools stay usable.
    void DropLock();

    // Where a block came from, and how many blocks a pool has free: for checks of the routing.
    Source SourceOf(const void* pointer) const;
    int FreeBlocks(Source pool) const;
    const void* BlockAddress(Source pool, int index) const;

private:
    struct alignas(blockAlignment) SmallBlock
    {
        unsigned char bytes[smallBlockSize];
    };
    struct alignas(blockAlignment) LargeBlock
    {
        unsigned char bytes[largeBlockSize];
    };

    // Released while the lock, when there is one, is held.
    class Guard;

    std::atomic<SRWLOCK*> m_lock;
    SmallBlock m_smallPool[smallBlockCount];
    int m_smallFree[smallBlockCount];
    int m_smallFreeCount;
    LargeBlock m_largePool[largeBlockCount];
    int m_largeFree[largeBlockCount];
    int m_largeFreeCount;
};

// The process's allocator, made by its first call (the first allocation, during the static
// initialisers), with its exit step registered with the C library's exit handlers then. It is
// never destroyed: allocations and releases of later exit code keep working.
SmallBlockAllocator& GetSmallBlockAllocator();

// The C library's malloc; a null result throws std::bad_alloc.
void* AllocateOrThrow(std::size_t size);

} // namespace Brivox
