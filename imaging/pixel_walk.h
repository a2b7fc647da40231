#pragma once
// Helpers of the single-plane pixel operations: the rectangle cut to the plane, a walk over its
// rows, and the channels of a 32-bit pixel 0xAARRGGBB.

#include "imaging/pixel_rows.h"
#include "imaging/plane.h"

#include <algorithm>
#include <cstdint>

namespace Brivox::Detail {

inline std::uint32_t Red(std::uint32_t p)
{
    return (p >> 16) & 0xFF;
}
inline std::uint32_t Green(std::uint32_t p)
{
    return (p >> 8) & 0xFF;
}
inline std::uint32_t Blue(std::uint32_t p)
{
    return p & 0xFF;
}
inline std::uint32_t Alpha(std::uint32_t p)
{
    return p >> 24;
}
inline std::uint32_t Rgb(std::uint32_t r, std::uint32_t g, std::uint32_t b)
{
    return (r << 16) | (g << 8) | b;
}

// A COLORREF (0x00BBGGRR) as the pixel 0x00RRGGBB.
inline std::uint32_t ColorToPixel32(COLORREF colour)
{
    return Rgb(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
}

// The rectangle cut to the plane's bounds; false when nothing is left.
inline bool ClipToPlane(const CPlane& plane, CRect& rect)
{
    return SPlaneClip{{0, 0, plane.GetWidth(), plane.GetHeight()}, true}.ClipToRect(rect);
}

// Calls row(pixels of the row within the rectangle, width) for each row of the rectangle, which
// must lie within the 32-bit plane.
template <class Row> void ForEachRow(const CPlane& plane, const CRect& rect, Row row)
{
    const PlaneBitsLock bits(plane);
    const SPixelRows rows = PixelRows(bits, rect.left, rect.top);
    for (int y = 0; y < rect.Height(); ++y)
        row(rows.Row(y), rect.Width());
}

// Calls pixel(p) for each pixel of the rectangle cut to the plane.
template <class Pixel> void ForEachPixel(const CPlane& plane, CRect rect, Pixel pixel)
{
    if (!ClipToPlane(plane, rect))
        return;
    ForEachRow(plane, rect, [&](std::uint32_t* row, int width) {
        for (int x = 0; x < width; ++x)
            pixel(row[x]);
    });
}

// Cuts a clipped copy (the destination point and the source rectangle) further, to a plane of
// `size` that is read from (atX, atY) in step with the rectangle; false when nothing is left. The
// point moves with the rectangle, and the plane is then read from (atX, atY) plus the amount by
// which the rectangle's corner moved.
inline bool CutToFurtherPlane(CSize size, std::int64_t atX, std::int64_t atY, CPoint& point, CRect& rect)
{
    const std::int64_t left = std::max<std::int64_t>(0, -atX), top = std::max<std::int64_t>(0, -atY);
    const std::int64_t right = std::min<std::int64_t>(rect.Width(), size.cx - atX);
    const std::int64_t bottom = std::min<std::int64_t>(rect.Height(), size.cy - atY);
    if (left >= right || top >= bottom)
        return false;
    point.x += static_cast<int>(left);
    point.y += static_cast<int>(top);
    rect = {rect.left + static_cast<int>(left), rect.top + static_cast<int>(top),
            rect.left + static_cast<int>(right), rect.top + static_cast<int>(bottom)};
    return true;
}

} // namespace Brivox::Detail
