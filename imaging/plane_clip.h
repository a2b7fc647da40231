#pragma once
#include "foundation/geometry.h"

namespace Brivox {

// The optional clip of operations that read another plane. Disabled (the default) it imposes no
// clip; its rectangle is then zero.
struct SPlaneClip
{
    CRect rect{};
    bool enabled = false;

    // Intersects `r` with this record's rectangle, whether enabled or not; true when the result
    // is not empty. Single-plane operations use a record of their own plane's bounds.
    bool ClipToRect(CRect& r) const;

    // Cuts a copy of `source` (rectangle of a source plane of `sourceSize`) to `point` of a
    // destination of `destinationSize`, and to this clip when enabled. On true the point and the
    // rectangle name exactly the pixels to process.
    bool ClipBlit(CSize destinationSize, CSize sourceSize, CPoint& point, CRect& source) const;

    // ClipBlit without sizes: only the clip rectangle cuts.
    bool ClipDestination(CPoint& point, CRect& source) const;

    // Cuts a scaled copy of `source` to `destination` by the clip (when enabled), moving each source
    // edge by its destination edge's movement times the scale.
    bool ClipScaledDestination(CRect& destination, CRect& source) const;

    // Cuts a scaled copy of `source` (of a plane of `sourceSize`) into `destination` (of a plane of
    // `destinationSize`) to both planes and to this clip when enabled; each moved edge moves the
    // facing edge of the other rectangle by its distance times the scale, rounded half up.
    bool ClipScaled(CSize destinationSize, CSize sourceSize, CRect& destination, CRect& source) const;

    // Cuts a quarter turn of `source` placed at `point` to the source plane first: the part of the
    // rectangle inside the plane is what turns, placed at `point` (turned size: its height ×
    // width). That turn is then cut to the destination and to this clip when enabled. On true the
    // point and the rectangle name exactly the pixels to turn; each kept pixel lands where it
    // would in the uncut turn of the part.
    bool ClipQuarterTurn(CSize destinationSize, CSize sourceSize, CPoint& point, CRect& source,
                         bool clockwise) const;
};

// The clip a pointer names; a null pointer imposes none.
inline const SPlaneClip& ClipOrNone(const SPlaneClip* clip)
{
    static const SPlaneClip none;
    return clip ? *clip : none;
}

} // namespace Brivox
