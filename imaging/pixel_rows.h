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

} // namespace Brivox::Detail
