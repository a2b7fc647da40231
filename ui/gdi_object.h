#pragma once
// Ownership of a GDI object (pen, brush, region, bitmap): deleted when its owner goes.

#include "foundation/win32.h"

#include <memory>
#include <type_traits>

namespace Brivox {

struct GdiObjectDeleter
{
    void operator()(void* object) const { ::DeleteObject(static_cast<HGDIOBJ>(object)); }
};

// Holds an HPEN, HBRUSH, HRGN or other GDI handle; get() gives it back in its own type.
template <class Handle>
using UniqueGdiObject = std::unique_ptr<std::remove_pointer_t<Handle>, GdiObjectDeleter>;

} // namespace Brivox
