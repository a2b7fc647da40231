#include "ui/window_snapper.h"

#include "foundation/display_mode.h"

#include <cstdlib>

namespace Brivox {

namespace {

CPoint SystemCursor()
{
    POINT point{};
    ::GetCursorPos(&point);
    return {point.x, point.y};
}

CRect SystemWindowRect(HWND window)
{
    RECT rect{};
    if (!::GetWindowRect(window, &rect))
        return {};
    return {rect.left, rect.top, rect.right, rect.bottom};
}

// The edge pairs of one test, in their order: 0 and 2 move along x, 1 and 3 along y. `d` gives the
// shift for each; a shift applies when the rectangles overlap (or touch) along the other axis and
// |d| is within the distance. Every shift moves both rectangles, so later checks see it.
template <class Shift> bool SnapEdges(CRect& wanted, CRect& moving, const CRect& x, int distance, Shift d)
{
    bool snapped = false;
    for (int check = 0; check < 4; ++check) {
        const bool horizontal = check % 2 == 0;
        const bool overlaps = horizontal ? moving.bottom >= x.top && x.bottom >= moving.top
                                         : moving.right >= x.left && x.right >= moving.left;
        const int shift = d(check, moving, x);
        if (!overlaps || std::abs(shift) > distance)
            continue;
        if (horizontal) {
            wanted.left += shift, wanted.right += shift;
            moving.left += shift, moving.right += shift;
        } else {
            wanted.top += shift, wanted.bottom += shift;
            moving.top += shift, moving.bottom += shift;
        }
        snapped = true;
    }
    return snapped;
}

} // namespace

CWindowSnapper::CWindowSnapper() : m_system{SystemCursor, GetMonitorRects, SystemWindowRect} {}

bool CWindowSnapper::OnEnterSizeMove(HWND window)
{
    const CPoint cursor = m_system.cursor();
    const CRect rect = m_system.windowRect(window);
    m_grabs[window] = {cursor.x - rect.left, cursor.y - rect.top};
    return true;
}

bool CWindowSnapper::OnExitSizeMove(HWND window)
{
    m_grabs.erase(window);
    return true;
}

bool CWindowSnapper::OnMoving(HWND window, RECT& proposed)
{
    const auto grab = m_grabs.find(window);
    if (grab == m_grabs.end())
        return false;
    const CPoint cursor = m_system.cursor();
    const CRect current = m_system.windowRect(window);
    CRect wanted{cursor.x - grab->second.x, cursor.y - grab->second.y, 0, 0};
    wanted.right = wanted.left + current.Width();
    wanted.bottom = wanted.top + current.Height();
    if (!Snap(window, wanted))
        return false;
    proposed = {wanted.left, wanted.top, wanted.right, wanted.bottom};
    return true;
}

bool CWindowSnapper::Snap(HWND window, CRect& wanted) const
{
    const auto grab = m_grabs.find(window);
    if (grab == m_grabs.end())
        return false;
    const CPoint cursor = m_system.cursor();
    CRect moving{cursor.x - grab->second.x, cursor.y - grab->second.y, 0, 0};
    moving.right = moving.left + wanted.Width();
    moving.bottom = moving.top + wanted.Height();

    bool snapped = false;
    for (HWND other : m_windows) {
        if (other != window)
            snapped |= SnapToWindow(wanted, moving, m_system.windowRect(other), m_distance);
    }
    if (m_snapToMonitors) {
        for (const CRect& area : m_system.workAreas())
            snapped |= SnapToMonitor(wanted, moving, area, m_distance);
    }
    return snapped;
}

bool CWindowSnapper::SnapToWindow(CRect& wanted, CRect& moving, const CRect& other, int distance)
{
    return SnapEdges(wanted, moving, other, distance, [](int check, const CRect& m, const CRect& x) {
        const int shifts[] = {x.right - m.left, x.bottom - m.top, x.left - m.right, x.top - m.bottom};
        return shifts[check];
    });
}

bool CWindowSnapper::SnapToMonitor(CRect& wanted, CRect& moving, const CRect& area, int distance)
{
    return SnapEdges(wanted, moving, area, distance, [](int check, const CRect& m, const CRect& x) {
        const int shifts[] = {x.left - m.left, x.top - m.top, x.right - m.right, x.bottom - m.bottom};
        return shifts[check];
    });
}

} // namespace Brivox
