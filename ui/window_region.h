#pragma once
// An owned window region (an ellipse) that can be put on a window or taken off it.

#include "foundation/win32.h"
#include "ui/gdi_object.h"

namespace Brivox {

class CWindowRegion
{
public:
    CWindowRegion() = default;
    CWindowRegion(const CWindowRegion&) = delete;
    CWindowRegion& operator=(const CWindowRegion&) = delete;

    // Replaces the region by the ellipse that fits the rectangle; on failure none is left and
    // Win32Exception "リージョンの作成に失敗しました" is thrown.
    void CreateEllipse(const RECT& rect);
    // With a region, gives the window a copy of it (the system owns the copy); without one, takes
    // the window's region away. Throws Win32Exception on failure.
    void ApplyToWindow(HWND window) const;
    void Release() { m_region.reset(); }
    // For a shape that became rectangular.
    void ReleaseHolder() { Release(); }
    HRGN Get() const { return static_cast<HRGN>(m_region.get()); }

private:
    UniqueGdiObject<HRGN> m_region;
};

} // namespace Brivox
