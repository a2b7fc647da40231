#include "viewer/magnifier_window.h"

#include <algorithm>
#include <climits>
#include <cmath>

using Brivox::CPoint;
using Brivox::CRect;
using Brivox::CSize;

CMagnifierWindow::CMagnifierWindow(Brivox::CWindow& mainWindow, IOwner& owner)
    : m_main(mainWindow), m_owner(owner)
{
    m_window.GetHookList()->Add(this);
    m_main.GetHookList()->Add(this);
}

CMagnifierWindow::~CMagnifierWindow()
{
    // Neither window's thread may reach this object from here on.
    if (Brivox::Detail::MsgHookList* list = m_main.GetHookList())
        list->Remove(this);
    if (Brivox::Detail::MsgHookList* list = m_window.GetHookList())
        list->Remove(this);
    if (Exists())
        m_window.PostMessage(WM_CLOSE, 0, 0);
    // The window object, the last member, goes first and waits for the thread.
}

std::uint64_t CMagnifierWindow::Pack(int x, int y)
{
    return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(x)) << 32) | static_cast<std::uint32_t>(y);
}

CPoint CMagnifierWindow::UnpackPoint(std::uint64_t value)
{
    return {static_cast<int>(static_cast<std::uint32_t>(value >> 32)),
            static_cast<int>(static_cast<std::uint32_t>(value))};
}

CSize CMagnifierWindow::GetStoredSize() const
{
    const CPoint size = UnpackPoint(m_size);
    return {size.x, size.y};
}

CPoint CMagnifierWindow::GetCursorPoint() const
{
    return UnpackPoint(m_cursor);
}

void CMagnifierWindow::StoreCursorPoint()
{
    POINT cursor{};
    ::GetCursorPos(&cursor);
    m_cursor = Pack(cursor.x, cursor.y);
}

bool CMagnifierWindow::Exists() const
{
    const HWND hwnd = m_window.GetHandle();
    return hwnd && ::IsWindow(hwnd);
}

void CMagnifierWindow::PlaceAtCursor(HWND hwnd) const
{
    const Brivox::CWnd window(hwnd);
    const CPoint corner = Brivox::SubtractPoint(GetCursorPoint(), [&] {
        const CSize half = Brivox::DivideSize(window.GetSize(), 2);
        return CPoint{half.cx, half.cy};
    }());
    UINT flags = SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE;
    // From the main window's thread the move is left to the magnifier's: nothing waits for it.
    if (::GetWindowThreadProcessId(hwnd, nullptr) != ::GetCurrentThreadId())
        flags |= SWP_ASYNCWINDOWPOS;
    ::SetWindowPos(hwnd, nullptr, corner.x, corner.y, 0, 0, flags);
}

void CMagnifierWindow::SetSize(const CSize& size)
{
    m_size = Pack(size.cx, size.cy);
    if (Exists())
        ::SetWindowPos(m_window.GetHandle(), nullptr, 0, 0, size.cx, size.cy,
                       SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CMagnifierWindow::SetShape(int shape)
{
    if (!Exists()) {
        m_shape = shape;
        return;
    }
    ApplyShape(m_window.GetHandle(), shape);
}

void CMagnifierWindow::ApplyShape(HWND hwnd, int shape)
{
    Brivox::CWindowRegion region;
    if (shape != 0) {
        const CSize size = GetStoredSize();
        region.CreateEllipse({0, 0, size.cx, size.cy});
    }
    // Without a region the window is rectangular again; the window keeps a copy of its own.
    region.ApplyToWindow(hwnd);
    region.ReleaseHolder();
    m_shape = shape;
}

void CMagnifierWindow::Show()
{
    bool exists;
    {
        std::lock_guard<std::mutex> lock(m_showLock);
        // A Show reached while the window is being made (this thread serves messages meanwhile)
        // has nothing more to do.
        if (m_creating)
            return;
        exists = Exists();
        m_creating = !exists;
    }
    if (exists) {
        const HWND hwnd = m_window.GetHandle();
        const CSize size = GetStoredSize();
        ::SetWindowPos(hwnd, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        // A hidden magnifier did not follow the cursor: it opens where the cursor is now.
        if (!::IsWindowVisible(hwnd))
            StoreCursorPoint();
        PlaceAtCursor(hwnd);
        BringForward(hwnd);
        return;
    }
    StoreCursorPoint();
    try {
        Brivox::CWindowParameter parameter;
        parameter.activate = false;
        parameter.style = WS_POPUP;
        parameter.exStyle = WS_EX_TOPMOST | WS_EX_TOOLWINDOW;
        parameter.parent = m_main.GetHandle();
        m_window.Create(parameter);
    } catch (...) {
        std::lock_guard<std::mutex> lock(m_showLock);
        m_creating = false;
        throw;
    }
    std::lock_guard<std::mutex> lock(m_showLock);
    m_creating = false;
}

void CMagnifierWindow::BringForward(HWND hwnd)
{
    // The activation moves between the program's threads inside these calls, and under Wine the
    // deactivations on the way name no thread while no window is foreground: they must not read
    // as another program taking over and hide the magnifier being shown.
    const Brivox::CWnd window(hwnd);
    m_bringingForward = true;
    window.Show(SW_SHOWNORMAL);
    window.ForceForeground();
    m_bringingForward = false;
}

void CMagnifierWindow::Hide()
{
    if (Exists())
        m_window.Hide();
}

void CMagnifierWindow::FollowCursor()
{
    const HWND hwnd = m_window.GetHandle();
    if (!hwnd || !::IsWindowVisible(hwnd))
        return;
    StoreCursorPoint();
    PlaceAtCursor(hwnd);
    m_window.Invalidate();
}

bool CMagnifierWindow::HookMessage(Brivox::SMessage& message)
{
    if (message.list == m_window.GetHookList())
        return OnOwnMessage(message);
    return OnMainMessage(message);
}

bool CMagnifierWindow::OnMainMessage(const Brivox::SMessage& message)
{
    switch (message.message) {
    case WM_MOUSEMOVE:
        FollowCursor();
        return true;
    case WM_ACTIVATEAPP: {
        const HWND hwnd = m_window.GetHandle();
        // Another of the program's windows taking the activation leaves the magnifier alone.
        if (hwnd && !m_bringingForward && ::IsWindowVisible(hwnd) && !message.wParam &&
            !Brivox::ActivatesMessageLoopThread(message.lParam))
            Hide();
        return false;
    }
    case WM_DESTROY:
        // Posted: the main window's thread waits for nothing of the magnifier's here.
        if (Exists())
            m_window.PostMessage(WM_CLOSE, 0, 0);
        return false;
    default:
        return false;
    }
}

bool CMagnifierWindow::OnOwnMessage(const Brivox::SMessage& message)
{
    switch (message.message) {
    case WM_CREATE:
        OnCreate(message.hwnd);
        return false;
    case WM_PAINT:
        OnPaint(message.hwnd);
        return false;
    case WM_CLOSE:
        m_window.Destroy();
        return true;
    case WM_ACTIVATEAPP:
        if (message.wParam || m_bringingForward)
            return false;
        ::ShowWindow(message.hwnd, SW_HIDE);
        return true;
    case WM_MOUSEMOVE:
        FollowCursor();
        return true;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
        Brivox::CWnd(message.hwnd).Hide();
        return true;
    default:
        return false;
    }
}

void CMagnifierWindow::OnCreate(HWND hwnd)
{
    const Brivox::CWnd window(hwnd);
    m_window.HideMouseCursor();
    window.EnableCloseCommand(false);
    const CSize size = GetStoredSize();
    window.SetSize(size.cx, size.cy);
    PlaceAtCursor(hwnd);
    BringForward(hwnd);
    ApplyShape(hwnd, m_shape);
}

void CMagnifierWindow::OnPaint(HWND hwnd)
{
    m_window.HideMouseCursor();
    const Brivox::NestingCounter::Scope scope(&m_paintNesting);
    if (!scope.IsOutermost())
        return;
    const Brivox::CWnd window(hwnd);
    const std::shared_ptr<PAINTSTRUCT> paint = window.BeginPaint();
    const CSize client = window.GetClientSize();
    const CPoint cursor = m_main.ScreenToClient(GetCursorPoint());
    m_owner.DrawMagnified(*paint, client, cursor);
}

SMagnifiedPlacement PlaceMagnified(Brivox::ILayout& pageLayout, const CSize& client, const CPoint& cursor,
                                   int magnification)
{
    SMagnifiedPlacement placement;
    const float factor = 100.0f / static_cast<float>(std::max(magnification, 1));
    const double scaleX = pageLayout.GetScaleX();
    const double scaleY = pageLayout.GetScaleY();
    if (!(scaleX > 0) || !(scaleY > 0))
        return placement;
    const auto extent = [](double sourcePerPixel, int pixels) {
        const double value = std::trunc(sourcePerPixel * pixels + 0.5);
        return value >= static_cast<double>(INT_MAX / 2) ? INT_MAX / 2 : static_cast<int>(value);
    };
    const int width = extent(factor / scaleX, client.cx);
    const int height = extent(factor / scaleY, client.cy);
    if (width <= 0 || height <= 0)
        return placement;

    const CPoint centre = pageLayout.ViewToImage(cursor);
    const int left = centre.x - width / 2;
    const int top = centre.y - height / 2;
    Brivox::SimpleLayout layout;
    layout.SetImageRect(pageLayout.GetImageRect());
    layout.SetSourceSubRect({left, top, left + width, top + height});
    layout.SetViewRect({0, 0, client.cx, client.cy});
    layout.Recalculate();
    placement.source = layout.GetSourceRect();
    placement.destination = layout.GetDestRect();
    placement.draw = !placement.source.IsEmpty() && !placement.destination.IsEmpty();

    if (!placement.draw) {
        placement.black.push_back({0, 0, client.cx, client.cy});
        return placement;
    }
    // The client area less what was drawn: up to four bands.
    const CRect& drawn = placement.destination;
    const CRect bands[] = {
        {0, 0, client.cx, drawn.top},
        {0, drawn.bottom, client.cx, client.cy},
        {0, drawn.top, drawn.left, drawn.bottom},
        {drawn.right, drawn.top, client.cx, drawn.bottom},
    };
    for (const CRect& band : bands)
        if (!band.IsEmpty())
            placement.black.push_back(band);
    return placement;
}
