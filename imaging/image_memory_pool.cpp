#include "imaging/image_memory_pool.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

namespace Brivox {

namespace {

constexpr std::size_t HeaderSize = 4;

std::uint8_t* HeaderOf(void* p)
{
    return static_cast<std::uint8_t*>(p) - HeaderSize;
}

std::mutex& ImageBlockMutex()
{
    static std::mutex mutex;
    return mutex;
}

} // namespace

MemoryBlockPool::~MemoryBlockPool()
{
    Clear();
}

std::uint32_t MemoryBlockPool::CapacityOf(const void* p)
{
    std::uint32_t capacity;
    std::memcpy(&capacity, static_cast<const std::uint8_t*>(p) - HeaderSize, HeaderSize);
    return capacity;
}

void* MemoryBlockPool::Alloc(std::size_t n)
{
    // The capacity must fit its 4-byte header (image sizes are limited far below this).
    if (n > std::numeric_limits<std::uint32_t>::max() - 11)
        throw std::bad_alloc();
    std::lock_guard lock(mutex_);
    const std::uint64_t wanted = n;
    for (auto it = free_.begin(); it != free_.end(); ++it) {
        const std::uint64_t c = CapacityOf(*it);
        // A block twice the request or more is left for a larger plane.
        if (wanted <= c && c < 2 * wanted) {
            std::uint8_t* block = *it;
            free_.erase(it);
            return block;
        }
    }
    const std::size_t size = (n + 11) & ~std::size_t{7};
    auto* header = static_cast<std::uint8_t*>(std::malloc(size));
    if (!header)
        throw std::bad_alloc();
    const std::uint32_t capacity = static_cast<std::uint32_t>(size - HeaderSize);
    std::memcpy(header, &capacity, HeaderSize);
    return header + HeaderSize;
}

void MemoryBlockPool::Free(void* p)
{
    const std::uint32_t capacity = CapacityOf(p);
    std::lock_guard lock(mutex_);
    const auto at =
        std::upper_bound(free_.begin(), free_.end(), capacity,
                         [](std::uint32_t c, const std::uint8_t* block) { return c < CapacityOf(block); });
    free_.insert(at, static_cast<std::uint8_t*>(p));
}

void MemoryBlockPool::Clear()
{
    std::vector<std::uint8_t*> blocks;
    {
        std::lock_guard lock(mutex_);
        blocks.swap(free_);
    }
    // Freed outside the lock so that other threads are not held up by the heap.
    for (std::uint8_t* block : blocks)
        std::free(HeaderOf(block));
}

std::vector<std::uint32_t> MemoryBlockPool::GetFreeCapacities() const
{
    std::lock_guard lock(mutex_);
    std::vector<std::uint32_t> capacities;
    for (const std::uint8_t* block : free_)
        capacities.push_back(CapacityOf(block));
    return capacities;
}

MemoryBlockPool& GetMemoryBlockPool()
{
    static MemoryBlockPool pool;
    return pool;
}

void* AllocImageBlock(std::size_t n)
{
    std::lock_guard lock(ImageBlockMutex());
    return GetMemoryBlockPool().Alloc(n);
}

void FreeImageBlock(void* p)
{
    std::lock_guard lock(ImageBlockMutex());
    GetMemoryBlockPool().Free(p);
}

} // namespace Brivox
