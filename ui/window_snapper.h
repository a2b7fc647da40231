#pragma once
// Makes a window dragged by its title bar jump to nearby edges: the inner edges of every
// monitor's work area and the outer edges of the windows in its list. It works on the three
// messages of a move loop, on the thread of the window it serves.

#include "foundation/geometry.h"
#include "foundation/win32.h"

#include <functional>
#include <map>
#include <vector>

namespace Brivox {

class CWindowSnapper
{
public:
    // What the snapper reads of the system; tests put their own here.
    struct SSystem
    {
        std::function<CPoint()> cursor;
        std::function<std::vector<CRect>()> workAreas;
        std::function<CRect(HWND)> windowRect;
    };

    CWindowSnapper();

    void SetDistance(int pixels) { m_distance = pixels; }
    void SetSnapToMonitors(bool on) { m_snapToMonitors = on; }
    // Windows whose outer edges attract; a window never snaps to itself.
    void SetWindowList(std::vector<HWND> windows) { m_windows = std::move(windows); }
    void SetSystem(SSystem system) { m_system = std::move(system); }

    // WM_ENTERSIZEMOVE: where the cursor holds the window. Answers true.
    bool OnEnterSizeMove(HWND window);
    // WM_EXITSIZEMOVE. Answers true.
    bool OnExitSizeMove(HWND window);
    // WM_MOVING with its proposed rectangle; true only when it rewrote the rectangle.
    bool OnMoving(HWND window, RECT& proposed);

    // Shifts the wanted rectangle onto the edges within the distance; true when it did.
    bool Snap(HWND window, CRect& wanted) const;
    // The four edge tests against another window's outer edges and a work area's inner edges.
    static bool SnapToWindow(CRect& wanted, CRect& moving, const CRect& other, int distance);
    static bool SnapToMonitor(CRect& wanted, CRect& moving, const CRect& area, int distance);

private:
    std::vector<HWND> m_windows;
    // Cursor minus the window's top-left corner, taken when its move began.
    std::map<HWND, CPoint> m_grabs;
    int m_distance = 32;
    bool m_snapToMonitors = true;
    SSystem m_system;
};

} // namespace Brivox
