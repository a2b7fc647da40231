#include "imaging/tone_table.h"

#include "imaging/pixel_walk.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>

namespace Brivox {

namespace {

std::uint8_t Level(std::int64_t v)
{
    return static_cast<std::uint8_t>(std::clamp<std::int64_t>(v, 0, 255));
}

} // namespace

void BuildBrightnessContrastTable(ToneTable& table, int brightness, int contrast)
{
    for (std::int64_t i = 0; i < 256; ++i)
        table[static_cast<std::size_t>(i)] = Level(i + std::int64_t{contrast} * (i - 127) / 256 + brightness);
}

void BuildGammaTable(ToneTable& table, double gamma)
{
    for (int i = 0; i < 256; ++i) {
        const double v = 256.0 * std::pow(i / 256.0, 1.0 / gamma);
        // Below 256 for every gamma above 0; a gamma of 0 or below, or none at all, stays in range.
        table[static_cast<std::size_t>(i)] = v >= 255.0 ? 255 : v > 0.0 ? static_cast<std::uint8_t>(v) : 0;
    }
}

void BuildLevelsTable(ToneTable& table, int low, int high)
{
    for (std::int64_t i = 0; i < 256; ++i)
        table[static_cast<std::size_t>(i)] = i < low    ? 0
                                             : i < high ? Level(255 * (i - low) / (std::int64_t{high} - low))
                                                        : 255;
}

void CPlane32::ApplyBrightnessContrast(CRect rect, int brightness, int contrast)
{
    ToneTable table;
    BuildBrightnessContrastTable(table, brightness, contrast);
    ApplyTable(rect, table);
}

void CPlane32::ApplyGamma(CRect rect, double gamma)
{
    ToneTable table;
    BuildGammaTable(table, gamma);
    ApplyTable(rect, table);
}

void CPlane32::ApplyLevels(CRect rect, int low, int high)
{
    if (low > high) {
        Invert(rect);
        std::swap(low, high);
    }
    ToneTable table;
    BuildLevelsTable(table, low, high);
    ApplyTable(rect, table);
}

void CPlane32::DrawGraph(CRect rect, const double* values, int count, double base, double scale,
                         COLORREF background)
{
    const int h = rect.Height();
    if (h <= 0 || count <= 0 || rect.Width() <= 0)
        return;
    // Four times as long and as deep as the rectangle, drawn lying down: row r holds value r / 4,
    // black for its level from the left, the background beyond.
    const int depth = 4 * h, length = 4 * count;
    CMemoryPlane32 lying({depth, length});
    const std::uint32_t fill = Detail::ColorToPixel32(background);
    Detail::ForEachRow(lying, {0, 0, depth, length}, [&, r = 0](std::uint32_t* row, int width) mutable {
        const double level = (values[r++ / 4] - base) / scale * depth;
        const int black = level > 0.0 ? static_cast<int>(std::min(level, static_cast<double>(width))) : 0;
        std::fill(row, row + black, 0u);
        std::fill(row + black, row + width, fill);
    });
    CMemoryPlane32 standing({length, depth});
    standing.Rotate90CounterClockwise(lying);
    ResizeLanczos3(standing, rect, {0, 0, length, depth});
}

} // namespace Brivox
