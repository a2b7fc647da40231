#pragma once
// The kernel of smooth text: a glyph's grey coverage blended into 32-bit rows.
#include <cstddef>
#include <cstdint>

namespace Brivox::Kernels {

// Blends a `width` × `height` coverage box (values 0 to 64, rows `pitch` bytes apart) in the
// colour (a COLORREF, 0x00BBGGRR) into 32-bit rows with its top-left corner at (left, top); only
// the pixels inside the `planeWidth` × `planeHeight` rows are touched. Coverage 0 leaves a pixel,
// 64 (or more) writes the colour with alpha 0, anything between moves each channel c towards the
// colour's t by (t − c) × coverage / 64, truncated towards zero, and sets alpha 0.
void BlendGlyphCoverage(std::uint8_t* rows, std::ptrdiff_t stride, int planeWidth, int planeHeight, int left,
                        int top, const std::uint8_t* coverage, int width, int height, int pitch,
                        std::uint32_t colour);

} // namespace Brivox::Kernels
