#pragma once
// The bytes of one whole file held in memory (a file read from disk, an archive entry extracted).

#include <cstddef>
#include <memory>
#include <type_traits>
#include <utility>
#include <vector>

namespace Brivox {

namespace Detail {

// The storage of file bytes. A fresh block of memory costs a page fault for every 4 KiB the first
// time it is written, several milliseconds a megabyte on some machines, while files of about one
// size follow each other (the pages of a book): the last two large blocks given back are kept and
// handed out again for a request they can hold without wasting half of themselves.
void* AllocateFileBlock(std::size_t bytes);
void FreeFileBlock(void* block, std::size_t bytes) noexcept;

} // namespace Detail

// Leaves elements that a vector grows by uninitialised: whoever grows a file's bytes overwrites
// them at once, and clearing hundreds of megabytes first would only cost time.
template <class T> class DefaultInitAllocator : public std::allocator<T>
{
public:
    template <class U> struct rebind
    {
        using other = DefaultInitAllocator<U>;
    };

    DefaultInitAllocator() noexcept = default;
    template <class U> DefaultInitAllocator(const DefaultInitAllocator<U>&) noexcept {}

    T* allocate(std::size_t n) { return static_cast<T*>(Detail::AllocateFileBlock(n * sizeof(T))); }
    void deallocate(T* p, std::size_t n) noexcept { Detail::FreeFileBlock(p, n * sizeof(T)); }

    template <class U> void construct(U* place) noexcept(std::is_nothrow_default_constructible_v<U>)
    {
        ::new (static_cast<void*>(place)) U;
    }
    template <class U, class... Args> void construct(U* place, Args&&... args)
    {
        ::new (static_cast<void*>(place)) U(std::forward<Args>(args)...);
    }
};

// Growing it (resize) leaves the new bytes undefined: fill them before anyone reads them, and
// clear the vector when that fails.
using FileBytes = std::vector<unsigned char, DefaultInitAllocator<unsigned char>>;

} // namespace Brivox
