#pragma once
// A plain holder of one window handle whose operations wrap the system's window functions, and the
// few helpers beside it: the window longs, dropped files and small geometry steps.

#include "foundation/geometry.h"
#include "foundation/string.h"
#include "foundation/win32.h"

#include <atomic>
#include <exception>
#include <memory>
#include <vector>

namespace Brivox {

class CCtrl;

// Window longs that hold a pointer or a handle: the wide function on NT-family systems, the
// narrow one elsewhere; pointer-wide in both.
LONG_PTR SetWindowLongAW(HWND hwnd, int index, LONG_PTR value);
LONG_PTR GetWindowLongAW(HWND hwnd, int index);

// The paths of a drop, each folder with a trailing '\'; the drop is finished (freed) on return.
std::vector<String> GetDroppedFiles(HDROP drop);

CSize DivideSize(CSize size, int divisor);
CPoint SubtractPoint(CPoint a, CPoint b);
CSize RectSize(const CRect& rect);
CRect RectFromPointAndSize(CPoint point, CSize size);

class CWnd
{
public:
    CWnd() = default;
    explicit CWnd(HWND hwnd) : m_hwnd(hwnd) {}
    CWnd(const CWnd& other) : m_hwnd(other.GetHandle()) {}
    CWnd& operator=(const CWnd& other)
    {
        m_hwnd = other.GetHandle();
        return *this;
    }
    virtual ~CWnd() = default;

    // Null while there is no window. Read by other threads than the window's.
    HWND GetHandle() const { return m_hwnd.load(); }

    bool PostMessage(UINT message, WPARAM wParam, LPARAM lParam) const;
    // Sends WM_CLOSE when the window exists.
    void Close() const;
    bool Show(int showCommand) const;
    bool Hide() const;
    // Redraws now (no erase); Invalidate leaves the drawing to the next WM_PAINT.
    void Repaint() const;
    void RepaintRect(const CRect& rect) const;
    void Invalidate() const;

    // Brings the window to the foreground also when another thread's window has it.
    void ForceForeground() const;
    bool IsForeground() const;
    bool IsMinimized() const;
    bool IsMaximized() const;
    bool IsNormal() const;

    void SetMenu(HMENU menu) const;
    void DetachMenu() const;
    HMENU GetMenu() const;
    // The program's icon resource as the class icon.
    void SetIcon(int resourceId) const;
    DWORD GetStyle() const;
    void SetStyle(DWORD style) const;
    DWORD GetExStyle() const;
    void SetExStyle(DWORD style) const;
    HWND GetParent() const;
    void EnableCloseCommand(bool enable) const;
    // The first submenu of the program's menu resource at the cursor, for a right click.
    void TrackResourceMenu(int resourceId) const;
    void SetTimer(UINT_PTR id, UINT milliseconds) const;
    void KillTimer(UINT_PTR id) const;
    // 0 to 255: layered with that opacity; 256: not layered. Throws EntryPointNotFoundException
    // when the system lacks layered windows.
    void SetAlpha(int alpha) const;
    void ClearLayered() const;
    // The themed background of a dialog or a tab page where the system has themes; no failure.
    void EnableThemeDialogTexture(bool enable, bool forTab) const;
    void DragAcceptFiles(bool accept) const;
    // EndPaint when the last copy goes. Throws Win32Exception "ウィンドウ描画オブジェクトの取得に失敗".
    std::shared_ptr<PAINTSTRUCT> BeginPaint() const;

    // The window rectangle that gives this client rectangle with the window's styles and menu.
    CRect AdjustRect(const CRect& client) const;
    // In the parent's client coordinates when there is a parent, else on the screen.
    CPoint GetPosition() const;
    CSize GetSize() const;
    CSize GetClientSize() const;
    CRect GetRect() const;
    void SetPosition(int x, int y) const;
    void SetSize(int cx, int cy) const;
    // Sizes the window so that its client area has this size, also when the menu bar wraps.
    void SetClientSize(CSize size) const;
    // Moves the window to the point, or to the nearest place inside a monitor's work area where
    // the whole window fits (the earlier area on a tie); to (0, 0) when there is no work area.
    void MoveInsideMonitors(CPoint point) const;
    // The same inside the given work areas.
    void MoveInsideWorkAreas(CPoint point, const std::vector<CRect>& workAreas) const;
    // Moves the window to the centre of the other window's client area, kept inside the monitors.
    void CentreOverClientOf(const CWnd& other) const;
    bool HasHorizontalScrollBar() const;
    bool HasVerticalScrollBar() const;
    // The client size left when both scroll bars show.
    CSize GetClientSizeWithScrollBars() const;
    CPoint ClientToScreen(CPoint point) const;
    CPoint ScreenToClient(CPoint point) const;

    String GetText() const;
    void SetText(const String& text) const;
    String GetClassName() const;
    // The control of a dialog by its item id (ui/ctrl.h); a null handle when there is none.
    CCtrl GetDlgItem(int itemId) const;

    // A box owned by this window (none for a null handle); the pressed button.
    int MessageBox(UINT flags, const String& caption, const String& text) const;
    // The exception's text in an information box that comes to the front.
    int ShowExceptionBox(const String& caption, const std::exception& error) const;

protected:
    std::atomic<HWND> m_hwnd{nullptr};
};

} // namespace Brivox
