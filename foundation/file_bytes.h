#pragma once
// The bytes of one whole file held in memory (a file read from disk, an archive entry extracted).

#include <memory>
#include <type_traits>
#include <utility>
#include <vector>

namespace Brivox {

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
