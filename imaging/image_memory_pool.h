#pragma once
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

namespace Brivox {

// Recycles the heap blocks of heap-storage planes. A block is a 4-byte header holding its
// capacity (the usable bytes after it) and those bytes; callers get the address after the header.
// Free blocks are kept sorted by capacity, smallest first.
class MemoryBlockPool
{
public:
    MemoryBlockPool() = default;
    MemoryBlockPool(const MemoryBlockPool&) = delete;
    MemoryBlockPool& operator=(const MemoryBlockPool&) = delete;
    ~MemoryBlockPool();

    // At least n usable bytes: the smallest free block of a capacity c with n ≤ c < 2n, else a new
    // block from the C heap. Throws std::bad_alloc when the heap has no memory.
    void* Alloc(std::size_t n);
    void Free(void* p);
    // Releases every free block to the C heap.
    void Clear();

    // The capacities of the free list in its order (a snapshot, for inspection).
    std::vector<std::uint32_t> GetFreeCapacities() const;

    static std::uint32_t CapacityOf(const void* p);

private:
    mutable std::mutex mutex_;
    std::vector<std::uint8_t*> free_; // usable addresses
};

// The process-wide pool, made on first use.
MemoryBlockPool& GetMemoryBlockPool();

// What heap storage calls: the process-wide pool under a second process-wide lock, always taken
// before the pool's own.
void* AllocImageBlock(std::size_t n);
void FreeImageBlock(void* p);

} // namespace Brivox
