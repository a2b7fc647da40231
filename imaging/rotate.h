#pragma once
// Mirrors, flips, quarter turns and rotation by any angle of 32-bit planes.

#include "foundation/geometry.h"

#include <cstdint>

namespace Brivox {

// The canvas that holds a w × h picture turned clockwise by `angle` degrees whole, together with
// every canvas pixel whose sample falls on the picture, so that no edge row or column of it is
// lost: at 0, 90, 180 and 270 degrees the size itself or with its sides swapped.
CSize GetRotatedSize(CSize size, double angle);

namespace Detail {

// Bilinear mix of four pixels (P00 at the sample's cell, P10 to its right, P01 below, P11 below
// right) at 16-bit fractions fx and fy, per colour channel rounded down; alpha 0.
std::uint32_t BilinearSample(std::uint32_t p00, std::uint32_t p10, std::uint32_t p01, std::uint32_t p11,
                             int fx, int fy);

} // namespace Detail

} // namespace Brivox
