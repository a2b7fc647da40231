#include "imaging/glyph_kernels.h"

#include <algorithm>

namespace Brivox::Kernels {

void BlendGlyphCoverage(std::uint8_t* rows, std::ptrdiff_t stride, int planeWidth, int planeHeight, int left,
                        int top, const std::uint8_t* coverage, int width, int height, int pitch,
                        std::uint32_t colour)
{
    // The colour's channels in the plane's byte order B, G, R.
    const int target[3] = {static_cast<int>((colour >> 16) & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
                           static_cast<int>(colour & 0xFF)};
    const int firstX = std::max(0, -left), lastX = std::min(width, planeWidth - left);
    const int firstY = std::max(0, -top), lastY = std::min(height, planeHeight - top);
    for (int y = firstY; y < lastY; ++y) {
        const std::uint8_t* cover = coverage + static_cast<std::ptrdiff_t>(y) * pitch;
        std::uint8_t* pixel = rows + (top + y) * stride + static_cast<std::ptrdiff_t>(left + firstX) * 4;
        for (int x = firstX; x < lastX; ++x, pixel += 4) {
            const int g = cover[x];
            if (g == 0)
                continue;
            for (int c = 0; c < 3; ++c)
                pixel[c] = static_cast<std::uint8_t>(g >= 64 ? target[c]
                                                             : pixel[c] + (target[c] - pixel[c]) * g / 64);
            pixel[3] = 0;
        }
    }
}

} // namespace Brivox::Kernels
