#pragma once
// Rows of 32-bit pixels seen from one pixel of a locked plane, the stride counted in pixels.

#include "imaging/plane.h"

#include <cstddef>
#include <cstdint>

namespace Brivox::Detail {

struct SPixelRows
{
    std::uint32_t* origin;
    std::ptrdiff_t stride;

    std::uint32_t* Row(int y) const { return origin + y * stride; }
};

inline SPixelRows PixelRows(const PlaneBitsLock& lock, int x, int y)
{
    return {reinterpret_cast<std::uint32_t*>(lock.Pixel(x, y)), lock.Stride() / 4};
}

// Both planes of a two-plane operation locked (destination first, released in reverse order),
// their rows seen from the destination point and from the source rectangle's corner.
struct SLockedPlanes
{
    SLockedPlanes(const CPlane& destination, CPoint to, const CPlane& source, CPoint from)
        : destinationLock(destination), sourceLock(source), out(PixelRows(destinationLock, to.x, to.y)),
          in(PixelRows(sourceLock, from.x, from.y))
    {
    }

    PlaneBitsLock destinationLock;
    PlaneBitsLock sourceLock;
    SPixelRows out;
    SPixelRows in;
};

} // namespace Brivox::Detail
