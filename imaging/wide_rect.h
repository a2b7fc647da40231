#pragma once
// Rectangles in 64 bits while they may still reach far outside a plane: a point far out plus a
// long side must not wrap around.

#include "foundation/geometry.h"

#include <algorithm>
#include <cstdint>

namespace Brivox::Detail {

struct SWideRect
{
    std::int64_t left, top, right, bottom;

    // True when something is left.
    bool Intersect(const CRect& r)
    {
        left = std::max<std::int64_t>(left, r.left);
        top = std::max<std::int64_t>(top, r.top);
        right = std::min<std::int64_t>(right, r.right);
        bottom = std::min<std::int64_t>(bottom, r.bottom);
        return left < right && top < bottom;
    }
    // Only once it lies within a plane.
    CRect Narrow() const
    {
        return {static_cast<int>(left), static_cast<int>(top), static_cast<int>(right),
                static_cast<int>(bottom)};
    }
};

} // namespace Brivox::Detail
