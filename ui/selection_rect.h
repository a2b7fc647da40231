#pragma once
// The rubber-band rectangle drawn with the left button on a window's client area, which can then
// be resized by its edges and corners or moved as a whole. The owner's message hook feeds it the
// mouse messages, asks it for the cursor and has it draw its frame at the end of painting.

#include "foundation/geometry.h"
#include "foundation/win32.h"

#include <functional>

namespace Brivox {

// left <= x < right and top <= y < bottom.
bool RectContains(const CRect& rect, CPoint point);

// The sizing cursors, loaded once on first use: 0 four-way, 1 NW-SE, 2 NE-SW, 3 N-S, 4 W-E.
HCURSOR GetResizeCursor(int index);

class CSelectionRect
{
public:
    enum State : int
    {
        None = 0,
        Drawing = 1,
        Resizing = 2,
        Moving = 3,
        Selected = 4,
    };

    // Where the cursor is, in the client coordinates of the window; tests put their own here.
    using CursorSource = std::function<CPoint(HWND window)>;

    CSelectionRect();

    void SetWindow(HWND window) { m_window = window; }
    void SetCursorSource(CursorSource source) { m_cursor = std::move(source); }

    // WM_LBUTTONDOWN, and WM_LBUTTONDBLCLK over a valid selection; `allowed` tells whether the
    // view shows a page. A press that is not allowed drops the selection.
    void OnMouseDown(bool allowed);
    void OnMouseMove();
    void OnMouseUp();
    // WM_CAPTURECHANGED and WM_CANCELMODE: a drag that loses the mouse ends as a release would.
    void OnCaptureLost();
    // WM_SETCURSOR; true when it set a cursor.
    bool OnSetCursor();
    // The dotted frame, in every state but None.
    void Draw(HDC dc) const;

    // Not None, and wider and taller than one pixel.
    bool IsValid() const;
    State GetState() const { return m_state; }
    // Cleared by the commands; the caller repaints.
    void SetState(State state) { m_state = state; }
    // Normalised (left <= right, top <= bottom), also while an edge is dragged past its opposite.
    CRect GetRect() const;

private:
    // The first zone that fits the point, in the order corners then edges: handles 0 to 7, or -1.
    int HitHandle(CPoint point) const;
    // Ends a draw, resize or move; true when one was running.
    bool EndDrag();
    void StartCapture();
    void Repaint() const;

    HWND m_window = nullptr;
    CursorSource m_cursor;
    State m_state = None;
    int m_handle = 0;
    CPoint m_press;
    CPoint m_last;
    bool m_moved = false;
    CRect m_rect;
};

} // namespace Brivox
