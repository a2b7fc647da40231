// Kanoru2's global allocation operators: every small block (Strings above all) comes from the
// small-block allocator's pools. The nothrow forms of the C++ library call these, and the
// aligned forms keep the library's own pair. Kanolink keeps the C++ library's operators.
#include "foundation/small_block_allocator.h"

#include <cstddef>
#include <new>

void* operator new(std::size_t size)
{
    return Brivox::GetSmallBlockAllocator().LockedAllocate(size);
}

void* operator new[](std::size_t size)
{
    return Brivox::GetSmallBlockAllocator().LockedAllocate(size);
}

void operator delete(void* pointer) noexcept
{
    Brivox::GetSmallBlockAllocator().LockedFree(pointer);
}

void operator delete[](void* pointer) noexcept
{
    Brivox::GetSmallBlockAllocator().LockedFree(pointer);
}

void operator delete(void* pointer, std::size_t) noexcept
{
    Brivox::GetSmallBlockAllocator().LockedFree(pointer);
}

void operator delete[](void* pointer, std::size_t) noexcept
{
    Brivox::GetSmallBlockAllocator().LockedFree(pointer);
}
