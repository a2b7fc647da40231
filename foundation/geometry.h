#pragma once
#include <vector>

namespace Brivox {

struct CPoint
{
    int x = 0;
    int y = 0;
};

struct CSize
{
    int cx = 0;
    int cy = 0;

    CSize Min(const CSize& other) const;
    friend bool operator==(const CSize&, const CSize&) = default;
};

// Right and bottom lie just outside the rectangle. The layout is that of the system's RECT, so a
// CRect can be handed to system calls as one.
struct CRect
{
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool IsEmpty() const { return left >= right || top >= bottom; }

    // Not normalised: an empty intersection may leave right left of left.
    void Intersect(const CRect& other);
    // The bands of this rectangle that `inner` (lying inside it) leaves uncovered: top, left,
    // right, bottom, each only when not empty.
    std::vector<CRect> Subtract(const CRect& inner) const;

    friend bool operator==(const CRect&, const CRect&) = default;
};

} // namespace Brivox
