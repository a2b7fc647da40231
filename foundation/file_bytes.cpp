#include "foundation/file_bytes.h"

#include <cstring>
#include <new>
#include <type_traits>

#include <windows.h>

namespace Brivox::Detail {

namespace {

// Smaller blocks come from the heap's own free lists anyway; larger ones are not worth holding
// back from the rest of the process.
constexpr std::size_t smallestKept = std::size_t{1} << 20;
constexpr std::size_t largestKept = std::size_t{32} << 20;
// A large block carries its usable size in front of it: a block handed out again may be larger
// than the request it serves, and the size given back is that request's.
constexpr std::size_t headerSize = 16;
constexpr int keptCount = 2;

struct BlockCache
{
    SRWLOCK lock = SRWLOCK_INIT;
    // The first `count` hold blocks, the oldest first.
    unsigned char* kept[keptCount] = {};
    int count = 0;
};

// File bytes held by static objects may be given back after every destructor ran: the cache has
// nothing to destroy, and what it keeps at the end goes with the process.
static_assert(std::is_trivially_destructible_v<BlockCache>);

BlockCache& Cache()
{
    static BlockCache cache;
    return cache;
}

class CacheLock
{
public:
    CacheLock() : m_lock(Cache().lock) { ::AcquireSRWLockExclusive(&m_lock); }
    ~CacheLock() { ::ReleaseSRWLockExclusive(&m_lock); }
    CacheLock(const CacheLock&) = delete;
    CacheLock& operator=(const CacheLock&) = delete;

private:
    SRWLOCK& m_lock;
};

std::size_t SizeOf(const unsigned char* header)
{
    std::size_t size;
    std::memcpy(&size, header, sizeof size);
    return size;
}

// The smallest kept block that holds the request with less than half of it to spare.
unsigned char* TakeKept(std::size_t bytes)
{
    const CacheLock lock;
    BlockCache& cache = Cache();
    int best = -1;
    for (int i = 0; i < cache.count; ++i) {
        const std::size_t size = SizeOf(cache.kept[i]);
        if (size >= bytes && size / 2 < bytes && (best < 0 || size < SizeOf(cache.kept[best])))
            best = i;
    }
    if (best < 0)
        return nullptr;
    unsigned char* header = cache.kept[best];
    for (int i = best + 1; i < cache.count; ++i)
        cache.kept[i - 1] = cache.kept[i];
    cache.kept[--cache.count] = nullptr;
    return header;
}

// Keeps the block; the block that has to go for it (the oldest, or none) is returned.
unsigned char* Keep(unsigned char* header)
{
    const CacheLock lock;
    BlockCache& cache = Cache();
    unsigned char* released = nullptr;
    if (cache.count == keptCount) {
        released = cache.kept[0];
        for (int i = 1; i < keptCount; ++i)
            cache.kept[i - 1] = cache.kept[i];
        --cache.count;
    }
    cache.kept[cache.count++] = header;
    return released;
}

} // namespace

void* AllocateFileBlock(std::size_t bytes)
{
    if (bytes < smallestKept)
        return ::operator new(bytes);
    if (unsigned char* header = TakeKept(bytes))
        return header + headerSize;
    if (bytes > static_cast<std::size_t>(-1) - headerSize)
        throw std::bad_alloc();
    auto* header = static_cast<unsigned char*>(::operator new(bytes + headerSize));
    std::memcpy(header, &bytes, sizeof bytes);
    return header + headerSize;
}

void FreeFileBlock(void* block, std::size_t bytes) noexcept
{
    if (bytes < smallestKept) {
        ::operator delete(block);
        return;
    }
    unsigned char* header = static_cast<unsigned char*>(block) - headerSize;
    ::operator delete(SizeOf(header) <= largestKept ? Keep(header) : header);
}

} // namespace Brivox::Detail
