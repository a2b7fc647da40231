#pragma once
// Stretch blits by fixed-point stepping (nearest pixel or mean of four) and the fold of three
// horizontally adjacent samples into one pixel for sub-pixel display.

#include "imaging/plane.h"

#include <cstddef>
#include <cstdint>

namespace Brivox::Detail {

// The exact cases of a stretch: equal sizes (a blit), and 2:1 or 4:1 in both axes (each source
// pixel made a block, or with `boxAveraging` each block averaged into one pixel: alpha 0, or the
// mean alpha with `averageAlpha`, so that an alpha stretch keeps its transparency at 1/2 and 1/4
// as at every other ratio). True when the copy is done or nothing is left to draw; false when the
// general path must run, with the rectangles clipped as it needs them.
bool StretchBlitExactRatio(CPlane32& destination, const CPlane32& source, CRect& destinationRect,
                           CRect& sourceRect, const SPlaneClip* clip, bool boxAveraging,
                           bool averageAlpha = false);

// The SSE2 form of the 32-bit fold: 2 × pairs pixels of each of `rows` rows from 6 × pairs source
// pixels (red of the first, green and alpha of the second, blue of the third). Strides in pixels.
void ImportRgb24Mmx(std::uint32_t* dst, std::ptrdiff_t dstStride, const std::uint32_t* src,
                    std::ptrdiff_t srcStride, int pairs, int rows);

} // namespace Brivox::Detail
