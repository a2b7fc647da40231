#include "ui/selection_rect.h"

#include "ui/gdi_object.h"

#include <algorithm>
#include <cstdlib>

namespace Brivox {

namespace {

// How far from an edge a press or the cursor still counts as on it.
constexpr int Tolerance = 5;

CPoint SystemCursor(HWND window)
{
    POINT point{};
    ::GetCursorPos(&point);
    if (window)
        ::ScreenToClient(window, &point);
    return {point.x, point.y};
}

CRect Normalised(const CRect& rect)
{
    return {std::min(rect.left, rect.right), std::min(rect.top, rect.bottom), std::max(rect.left, rect.right),
            std::max(rect.top, rect.bottom)};
}

struct Zones
{
    bool left, top, right, bottom;
};

Zones ZonesAt(const CRect& r, CPoint p)
{
    const bool acrossY = r.top - Tolerance <= p.y && p.y <= r.bottom + Tolerance;
    const bool acrossX = r.left - Tolerance <= p.x && p.x <= r.right + Tolerance;
    return {acrossY && std::abs(p.x - r.left) <= Tolerance, acrossX && std::abs(p.y - r.top) <= Tolerance,
            acrossY && std::abs(p.x - r.right) <= Tolerance,
            acrossX && std::abs(p.y - r.bottom) <= Tolerance};
}

} // namespace

bool RectContains(const CRect& rect, CPoint point)
{
    return rect.left <= point.x && point.x < rect.right && rect.top <= point.y && point.y < rect.bottom;
}

HCURSOR GetResizeCursor(int index)
{
    // Only the main window's thread asks; the system keeps shared cursors for the process.
    static const HCURSOR cursors[] = {::LoadCursorA(nullptr, IDC_SIZEALL),
                                      ::LoadCursorA(nullptr, IDC_SIZENWSE),
                                      ::LoadCursorA(nullptr, IDC_SIZENESW),
                                      ::LoadCursorA(nullptr, IDC_SIZENS), ::LoadCursorA(nullptr, IDC_SIZEWE)};
    return index >= 0 && index < 5 ? cursors[index] : nullptr;
}

CSelectionRect::CSelectionRect() : m_cursor(SystemCursor) {}

CRect CSelectionRect::GetRect() const
{
    return Normalised(m_rect);
}

bool CSelectionRect::IsValid() const
{
    const CRect rect = GetRect();
    return m_state != None && rect.Width() > 1 && rect.Height() > 1;
}

int CSelectionRect::HitHandle(CPoint point) const
{
    const Zones z = ZonesAt(GetRect(), point);
    const bool fits[] = {
        z.left && z.top, z.right && z.top, z.left && z.bottom, z.right && z.bottom, z.left, z.top,
        z.right,         z.bottom};
    for (int handle = 0; handle < 8; ++handle) {
        if (fits[handle])
            return handle;
    }
    return -1;
}

void CSelectionRect::StartCapture()
{
    if (m_window)
        ::SetCapture(m_window);
}

void CSelectionRect::Repaint() const
{
    // Without a window, InvalidateRect would repaint every window of the desktop.
    if (m_window)
        ::InvalidateRect(m_window, nullptr, FALSE);
}

void CSelectionRect::OnMouseDown(bool allowed)
{
    if (!allowed) {
        m_state = None;
        return;
    }
    m_press = m_cursor(m_window);
    m_moved = false;
    switch (m_state) {
    case None:
        m_state = Drawing;
        m_rect = {m_press.x, m_press.y, m_press.x, m_press.y};
        StartCapture();
        break;
    case Drawing:
    case Resizing:
    case Moving:
        // A second press while a drag runs cancels it, and gives the mouse back.
        m_state = None;
        if (m_window && ::GetCapture() == m_window)
            ::ReleaseCapture();
        Repaint();
        break;
    case Selected:
        m_handle = HitHandle(m_press);
        if (m_handle >= 0) {
            m_state = Resizing;
            StartCapture();
        } else if (RectContains(m_rect, m_press)) {
            m_state = Moving;
            StartCapture();
        } else {
            m_state = None;
            Repaint();
        }
        break;
    }
    m_last = m_press;
}

void CSelectionRect::OnMouseMove()
{
    m_moved = true;
    const CPoint p = m_cursor(m_window);
    const int dx = p.x - m_last.x;
    const int dy = p.y - m_last.y;
    switch (m_state) {
    case Drawing:
        m_rect = Normalised({m_press.x, m_press.y, p.x, p.y});
        break;
    case Resizing: {
        // Which edges each handle moves: left, top, right, bottom.
        static const bool edges[8][4] = {{true, true, false, false},  {false, true, true, false},
                                         {true, false, false, true},  {false, false, true, true},
                                         {true, false, false, false}, {false, true, false, false},
                                         {false, false, true, false}, {false, false, false, true}};
        const bool* moves = edges[m_handle];
        m_rect.left += moves[0] ? dx : 0;
        m_rect.top += moves[1] ? dy : 0;
        m_rect.right += moves[2] ? dx : 0;
        m_rect.bottom += moves[3] ? dy : 0;
        break;
    }
    case Moving:
        m_rect = {m_rect.left + dx, m_rect.top + dy, m_rect.right + dx, m_rect.bottom + dy};
        break;
    default:
        break;
    }
    if (m_state == Drawing || m_state == Resizing || m_state == Moving)
        Repaint();
    m_last = p;
}

bool CSelectionRect::EndDrag()
{
    if (m_state != Drawing && m_state != Resizing && m_state != Moving)
        return false;
    if (m_moved) {
        // An edge dragged past its opposite gives the same selection as the mirrored drag.
        m_rect = Normalised(m_rect);
        m_state = Selected;
    } else {
        m_state = None;
        Repaint();
    }
    return true;
}

void CSelectionRect::OnMouseUp()
{
    // The state is settled first: releasing the capture sends WM_CAPTURECHANGED back here.
    EndDrag();
    if (m_window && ::GetCapture() == m_window)
        ::ReleaseCapture();
}

void CSelectionRect::OnCaptureLost()
{
    EndDrag();
}

bool CSelectionRect::OnSetCursor()
{
    if (m_state == None)
        return false;
    const CPoint point = m_cursor(m_window);
    // The cursor of each handle 0 to 7.
    static const int handleCursors[8] = {1, 2, 2, 1, 4, 3, 4, 3};
    const int handle = HitHandle(point);
    int cursor;
    if (handle >= 0)
        cursor = handleCursors[handle];
    else if (RectContains(GetRect(), point))
        cursor = 0;
    else
        return false;
    ::SetCursor(GetResizeCursor(cursor));
    return true;
}

void CSelectionRect::Draw(HDC dc) const
{
    if (m_state == None)
        return;
    const CRect r = GetRect();
    UniqueGdiObject<HPEN> pen(::CreatePen(PS_DOT, 1, 0));
    if (!pen)
        return;
    const HGDIOBJ previous = ::SelectObject(dc, pen.get());
    ::MoveToEx(dc, r.left, r.top, nullptr);
    ::LineTo(dc, r.right, r.top);
    ::LineTo(dc, r.right, r.bottom);
    ::LineTo(dc, r.left, r.bottom);
    ::LineTo(dc, r.left, r.top);
    ::SelectObject(dc, previous);
}

} // namespace Brivox
