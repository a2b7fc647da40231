#include "imaging/rotate.h"

#include "imaging/pixel_rows.h"
#include "imaging/plane.h"
#include "imaging/wide_rect.h"

#include <algorithm>
#include <cmath>

namespace Brivox {

namespace {

using Detail::SPixelRows;
using Detail::SWideRect;

// Quarter turns go tile by tile, so that the rows written across stay in the cache.
constexpr int kTile = 64;

constexpr double kQuarterTolerance = 0.0001;

// Into [0, 360); an angle that is no number at all counts as 0.
double FoldAngle(double angle)
{
    if (!std::isfinite(angle))
        return 0.0;
    angle = std::fmod(angle, 360.0);
    if (angle < 0.0)
        angle += 360.0;
    return angle >= 360.0 ? 0.0 : angle;
}

bool Near(double angle, double quarter)
{
    return std::fabs(angle - quarter) < kQuarterTolerance;
}

// The angles (folded) that both rotations hand to the exact copies and quarter turns.
bool IsQuarterAngle(double angle)
{
    return std::fabs(angle) < kQuarterTolerance || Near(angle, 90.0) || Near(angle, 180.0) ||
           Near(angle, 270.0);
}

std::int64_t FloorDiv(std::int64_t v)
{
    return v >> 16;
}

// Sine and cosine in 16.16 (truncated toward zero) and the canvas. Canvas pixel (i, j) samples the
// source where the point (i + minX, j + minY) turns back to; source pixels have their centres at
// whole coordinates, so the picture is the area from -1/2 to w - 1/2 (and -1/2 to h - 1/2) turned
// about the centre of source pixel (0, 0).
struct SCanvas
{
    std::int64_t sine, cosine;
    std::int64_t minX, minY;
    CSize size;
};

struct SCanvasAxis
{
    std::int64_t first, last;
};

// One axis of the canvas from the turned corners of the picture, in units of 1/131072 pixel.
// `norm` is sine² + cosine² of the 16.16 values.
SCanvasAxis MakeCanvasAxis(const std::int64_t (&corners)[4], std::int64_t norm)
{
    const auto [low, high] = std::minmax_element(std::begin(corners), std::end(corners));
    // Every pixel the turned picture touches, so that none of it is cut off.
    std::int64_t first = (*low + 65536) >> 17;
    std::int64_t last = -((65536 - *high) >> 17);
    // Every pixel whose centre the sampling turns back into the picture. The 16.16 sine and cosine
    // make no exact turn: turned back, positions shrink by norm / 2^32, so near the far edges of a
    // large picture the last row or column is reached only from a pixel past the turned picture.
    // The quotients are exact in double for every size a plane can have.
    const double scale = 65536.0 / (2.0 * static_cast<double>(norm));
    first = std::min(first, static_cast<std::int64_t>(std::ceil(static_cast<double>(*low) * scale)));
    last = std::max(last, static_cast<std::int64_t>(std::floor(static_cast<double>(*high) * scale)));
    return {first, last};
}

SCanvas MakeCanvas(CSize size, double foldedAngle)
{
    SCanvas c{};
    if (IsQuarterAngle(foldedAngle)) {
        // Only the size counts there: the exact paths draw the picture.
        const bool swapped = Near(foldedAngle, 90.0) || Near(foldedAngle, 270.0);
        c.size = swapped ? CSize{size.cy, size.cx} : size;
        return c;
    }
    const double radians = foldedAngle * 0.017453292519943295;
    c.sine = static_cast<int>(std::sin(radians) * 65536.0);
    c.cosine = static_cast<int>(std::cos(radians) * 65536.0);
    // The picture's corners at half-pixel coordinates, doubled to stay whole, and turned.
    const std::int64_t xs[] = {-1, 2 * std::int64_t{size.cx} - 1};
    const std::int64_t ys[] = {-1, 2 * std::int64_t{size.cy} - 1};
    std::int64_t turnedX[4], turnedY[4];
    for (int k = 0; k < 4; ++k) {
        const std::int64_t x = xs[k & 1], y = ys[k >> 1];
        turnedX[k] = x * c.cosine - y * c.sine;
        turnedY[k] = x * c.sine + y * c.cosine;
    }
    const std::int64_t norm = c.sine * c.sine + c.cosine * c.cosine;
    const SCanvasAxis across = MakeCanvasAxis(turnedX, norm), down = MakeCanvasAxis(turnedY, norm);
    c.minX = across.first;
    c.minY = down.first;
    c.size = {static_cast<int>(across.last - across.first + 1), static_cast<int>(down.last - down.first + 1)};
    return c;
}

// Mirrors and flips: the copy is clipped as an unmirrored one, and the kept part mirrored into
// the kept destination.
void Mirror(CPlane32& destination, const CPlane32& source, CPoint point, CRect rect, const SPlaneClip* clip,
            bool acrossX, bool acrossY)
{
    if (!ClipOrNone(clip).ClipBlit(destination.GetSize(), source.GetSize(), point, rect))
        return;
    const Detail::SLockedPlanes planes(destination, point, source, {rect.left, rect.top});
    const SPixelRows out = planes.out, in = planes.in;
    const int w = rect.Width(), h = rect.Height();
    for (int y = 0; y < h; ++y) {
        const std::uint32_t* s = in.Row(y);
        std::uint32_t* d = out.Row(acrossY ? h - 1 - y : y);
        if (acrossX)
            std::reverse_copy(s, s + w, d);
        else
            std::copy(s, s + w, d);
    }
}

void QuarterTurn(CPlane32& destination, const CPlane32& source, CPoint point, CRect rect,
                 const SPlaneClip* clip, bool clockwise)
{
    if (!ClipOrNone(clip).ClipQuarterTurn(destination.GetSize(), source.GetSize(), point, rect, clockwise))
        return;
    const Detail::SLockedPlanes planes(destination, point, source, {rect.left, rect.top});
    const SPixelRows out = planes.out, in = planes.in;
    const int w = rect.Width(), h = rect.Height();
    for (int ty = 0; ty < h; ty += kTile) {
        const int y1 = std::min(h, ty + kTile);
        for (int tx = 0; tx < w; tx += kTile) {
            const int x1 = std::min(w, tx + kTile);
            for (int y = ty; y < y1; ++y) {
                const std::uint32_t* s = in.Row(y);
                if (clockwise) {
                    // Source (x, y) to (h − 1 − y, x).
                    std::uint32_t* d = out.origin + (h - 1 - y);
                    for (int x = tx; x < x1; ++x)
                        d[x * out.stride] = s[x];
                } else {
                    // Source (x, y) to (y, w − 1 − x).
                    std::uint32_t* d = out.origin + y;
                    for (int x = tx; x < x1; ++x)
                        d[(w - 1 - x) * out.stride] = s[x];
                }
            }
        }
    }
}

std::uint32_t BackgroundPixel(COLORREF colour)
{
    const std::uint32_t c = static_cast<std::uint32_t>(colour);
    return (c & 0xFF) << 16 | (c & 0xFF00) | (c >> 16 & 0xFF);
}

// The exact cases of both rotations; true when one of them has done the work.
bool RotateByQuarter(CPlane32& destination, const CPlane32& source, CPoint point, CRect rect, double angle,
                     const SPlaneClip* clip)
{
    if (!IsQuarterAngle(angle))
        return false;
    if (std::fabs(angle) < kQuarterTolerance)
        destination.Blit(source, point, rect, clip);
    else if (Near(angle, 90.0))
        destination.Rotate90Clockwise(source, point, rect, clip);
    else if (Near(angle, 180.0))
        destination.Rotate180(source, point, rect, clip);
    else
        destination.Rotate90CounterClockwise(source, point, rect, clip);
    return true;
}

// Both rotations. Off the quarter angles every canvas pixel that lies in the destination (and in
// the clip, when enabled) gets sample(source position in 16.16, at), where at(x, y) is the source
// pixel there or the background; nothing outside is written.
template <class Sample>
void Rotate(CPlane32& destination, const CPlane32& source, CPoint point, CRect rect, double angle,
            COLORREF background, const SPlaneClip* clip, Sample sample)
{
    angle = FoldAngle(angle);
    if (rect.IsEmpty() || RotateByQuarter(destination, source, point, rect, angle, clip))
        return;
    const SCanvas canvas = MakeCanvas({rect.Width(), rect.Height()}, angle);
    SWideRect area{point.x, point.y, std::int64_t{point.x} + canvas.size.cx,
                   std::int64_t{point.y} + canvas.size.cy};
    if (!area.Intersect({0, 0, destination.GetWidth(), destination.GetHeight()}) ||
        (clip && clip->enabled && !area.Intersect(clip->rect)))
        return;
    const CRect region = area.Narrow();
    const Detail::SLockedPlanes planes(destination, {0, 0}, source, {0, 0});
    const SPixelRows out = planes.out, in = planes.in;
    // The source pixels that exist: the rectangle cut to the source plane, relative to the rectangle.
    SWideRect valid{rect.left, rect.top, rect.right, rect.bottom};
    valid.Intersect({0, 0, source.GetWidth(), source.GetHeight()});
    const SWideRect readable{valid.left - rect.left, valid.top - rect.top, valid.right - rect.left,
                             valid.bottom - rect.top};
    const std::uint32_t fill = BackgroundPixel(background);
    const auto at = [&](std::int64_t x, std::int64_t y) {
        if (x < readable.left || x >= readable.right || y < readable.top || y >= readable.bottom)
            return fill;
        return in.Row(static_cast<int>(y + rect.top))[x + rect.left];
    };
    const std::int64_t c = canvas.cosine, s = canvas.sine;
    for (int j = region.top; j < region.bottom; ++j) {
        const std::int64_t cy = j - point.y + canvas.minY;
        const std::int64_t cx = region.left - point.x + canvas.minX;
        std::int64_t sx = cx * c + cy * s;
        std::int64_t sy = cy * c - cx * s;
        std::uint32_t* row = out.Row(j);
        for (int i = region.left; i < region.right; ++i, sx += c, sy -= s)
            row[i] = sample(sx, sy, at);
    }
}

} // namespace

CSize GetRotatedSize(CSize size, double angle)
{
    return MakeCanvas(size, FoldAngle(angle)).size;
}

namespace Detail {

std::uint32_t BilinearSample(std::uint32_t p00, std::uint32_t p10, std::uint32_t p01, std::uint32_t p11,
                             int fx, int fy)
{
    std::uint32_t pixel = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const std::int64_t c00 = p00 >> shift & 0xFF, c10 = p10 >> shift & 0xFF;
        const std::int64_t c01 = p01 >> shift & 0xFF, c11 = p11 >> shift & 0xFF;
        const std::int64_t left = c00 * 65536 + (c01 - c00) * fy;
        const std::int64_t right = c10 * 65536 + (c11 - c10) * fy;
        pixel |= static_cast<std::uint32_t>((left + FloorDiv((right - left) * fx)) >> 16) << shift;
    }
    return pixel;
}

} // namespace Detail

bool SPlaneClip::ClipQuarterTurn(CSize destinationSize, CSize sourceSize, CPoint& point, CRect& source,
                                 bool clockwise) const
{
    // Only the part inside the source plane is turned, as if it alone had been asked for: a
    // rectangle reaching far past the plane (the whole-source idiom) turns the plane at the point.
    source.Intersect({0, 0, sourceSize.cx, sourceSize.cy});
    if (source.IsEmpty())
        return false;
    const CRect s0 = source;
    const std::int64_t px = point.x, py = point.y;
    SWideRect d{px, py, px + s0.Height(), py + s0.Width()};
    if (!d.Intersect({0, 0, destinationSize.cx, destinationSize.cy}) || (enabled && !d.Intersect(rect)))
        return false;
    // And back: the source pixels that land in what is left.
    const SWideRect s = clockwise ? SWideRect{s0.left + d.top - py, s0.bottom - (d.right - px),
                                              s0.left + d.bottom - py, s0.bottom - (d.left - px)}
                                  : SWideRect{s0.right - (d.bottom - py), s0.top + d.left - px,
                                              s0.right - (d.top - py), s0.top + d.right - px};
    source = s.Narrow();
    point = {static_cast<int>(d.left), static_cast<int>(d.top)};
    return true;
}

void CPlane32::MirrorHorizontal(const CPlane32& source, CPoint point, CRect rect, const SPlaneClip* clip)
{
    Mirror(*this, source, point, rect, clip, true, false);
}

void CPlane32::FlipVertical(const CPlane32& source, CPoint point, CRect rect, const SPlaneClip* clip)
{
    Mirror(*this, source, point, rect, clip, false, true);
}

void CPlane32::Rotate180(const CPlane32& source, CPoint point, CRect rect, const SPlaneClip* clip)
{
    Mirror(*this, source, point, rect, clip, true, true);
}

void CPlane32::Rotate90Clockwise(const CPlane32& source, CPoint point, CRect rect, const SPlaneClip* clip)
{
    QuarterTurn(*this, source, point, rect, clip, true);
}

void CPlane32::Rotate90CounterClockwise(const CPlane32& source, CPoint point, CRect rect,
                                        const SPlaneClip* clip)
{
    QuarterTurn(*this, source, point, rect, clip, false);
}

void CPlane32::RotateByAngle(const CPlane32& source, CPoint point, CRect rect, double angle,
                             COLORREF background, const SPlaneClip* clip)
{
    Rotate(*this, source, point, rect, angle, background, clip,
           [](std::int64_t sx, std::int64_t sy, const auto& at) {
               const std::int64_t ix = sx >> 16, iy = sy >> 16;
               return Detail::BilinearSample(at(ix, iy), at(ix + 1, iy), at(ix, iy + 1), at(ix + 1, iy + 1),
                                             static_cast<int>(sx & 0xFFFF), static_cast<int>(sy & 0xFFFF));
           });
}

void CPlane32::RotateByAngleNearest(const CPlane32& source, CPoint point, CRect rect, double angle,
                                    COLORREF background, const SPlaneClip* clip)
{
    Rotate(*this, source, point, rect, angle, background, clip,
           [](std::int64_t sx, std::int64_t sy, const auto& at) {
               // Rounded with the division's truncation toward zero.
               return at((sx + 0x8000) / 65536, (sy + 0x8000) / 65536);
           });
}

} // namespace Brivox
