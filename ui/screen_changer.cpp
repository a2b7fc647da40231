#include "ui/screen_changer.h"

#include "ui/window_thread.h"

namespace Brivox {

namespace {

int MenuHeight()
{
    return ::GetSystemMetrics(SM_CYMENU);
}

void SetTopMostOf(HWND window, bool topMost)
{
    ::SetWindowPos(window, topMost ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

bool Exists(const CWnd& window)
{
    return ::IsWindow(window.GetHandle());
}

// Marks an enter or leave as running for as long as it lives.
class SwitchFlag
{
public:
    explicit SwitchFlag(std::atomic<bool>& flag) : m_flag(flag) { m_flag = true; }
    ~SwitchFlag() { m_flag = false; }
    SwitchFlag(const SwitchFlag&) = delete;
    SwitchFlag& operator=(const SwitchFlag&) = delete;

private:
    std::atomic<bool>& m_flag;
};

} // namespace

CScreenChanger::CScreenChanger(CWindow& mainWindow)
    : CScreenChanger(mainWindow,
                     {[](const DisplayMode& mode) { ChangeDisplayMode(mode); }, RestoreDisplayMode})
{
}

CScreenChanger::CScreenChanger(CWindow& mainWindow, SDisplay display)
    : m_main(mainWindow), m_display(std::move(display))
{
    const CSize client = m_main.GetClientSize();
    m_mode = {client.cx, client.cy, -1, -1};
    CWindowParameter parameter;
    parameter.style = WS_POPUP;
    parameter.exStyle = WS_EX_TOOLWINDOW;
    parameter.activate = false;
    m_bar.Create(parameter);
    ::SetWindowPos(m_bar.GetHandle(), nullptr, 0, -MenuHeight(), 0, MenuHeight(),
                   SWP_NOZORDER | SWP_NOACTIVATE);
    m_bar.GetHookList()->Add(this);
    m_main.GetHookList()->Add(this);
}

CScreenChanger::~CScreenChanger()
{
    // Out of both lists first: the windows' threads must not reach a changer half destroyed.
    if (Detail::MsgHookList* list = m_main.GetHookList())
        list->Remove(this);
    if (Detail::MsgHookList* list = m_bar.GetHookList())
        list->Remove(this);
    Close();
}

void CScreenChanger::SetDisplayMode(int width, int height, int bitsPerPixel)
{
    m_mode = {width, height, bitsPerPixel, -1};
}

void CScreenChanger::Enter()
{
    NestingCounter::Scope scope(&m_nesting);
    if (!scope.IsOutermost() || m_state == FullScreen)
        return;
    SwitchFlag switching(m_switching);
    m_state = FullScreen;
    try {
        SaveAndMaximize();
        ChangeMode();
    } catch (...) {
        RestoreWindow(true);
        m_state = Windowed;
        throw;
    }
    HideBar();
    m_main.Repaint();
}

void CScreenChanger::Leave()
{
    LeaveFullScreen(true);
}

void CScreenChanger::LeaveFullScreen(bool activate)
{
    NestingCounter::Scope scope(&m_nesting);
    if (!scope.IsOutermost() || m_state == Windowed)
        return;
    SwitchFlag switching(m_switching);
    HideBar();
    if (m_state == FullScreen) {
        RestoreDisplay();
        RestoreWindow(activate);
    }
    m_state = Windowed;
}

void CScreenChanger::Close()
{
    if (!Exists(m_bar) || m_closed.exchange(true))
        return;
    if (m_state == FullScreen)
        RestoreDisplay();
    m_state = Windowed;
    // The menu is the main window's again before the bar goes.
    ReturnMenu();
    m_bar.Close();
}

void CScreenChanger::SaveAndMaximize()
{
    const HWND main = m_main.GetHandle();
    m_savedShow = m_main.IsMaximized() ? 1 : m_main.IsMinimized() ? 2 : 0;
    if (m_savedShow != 0)
        m_main.Show(SW_RESTORE);
    m_savedRect = m_main.GetRect();
    m_savedStyle = m_main.GetStyle();
    m_savedExStyle = m_main.GetExStyle();
    m_main.ForceForeground();
    SetTopMostOf(main, true);
    if (const HMENU menu = m_main.GetMenu()) {
        m_main.SetMenu(nullptr);
        m_bar.SetMenu(menu);
        m_bar.Hide();
    } else {
        ::SetWindowPos(m_bar.GetHandle(), nullptr, -1, -1, 0, 0, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    m_main.SetStyle(WS_POPUP | WS_VISIBLE);
    m_main.SetExStyle(WS_EX_TOPMOST);
    ::SetWindowPos(main, nullptr, 0, 0, m_mode.width, m_mode.height, SWP_NOZORDER | SWP_FRAMECHANGED);
}

void CScreenChanger::ChangeMode()
{
    DisplayMode filter{m_mode.width, m_mode.height, -1, -1};
    // A depth the system lacks at that size is not asked for: the size changes, the depth stays.
    if (m_mode.bitsPerPixel >= 0 &&
        IsDisplayModeAvailable({m_mode.width, m_mode.height, m_mode.bitsPerPixel, -1}))
        filter.bitsPerPixel = m_mode.bitsPerPixel;
    m_display.change(filter);
}

void CScreenChanger::RestoreDisplay()
{
    if (m_display.restore())
        ::InvalidateRect(nullptr, nullptr, FALSE);
}

void CScreenChanger::ReturnMenu()
{
    const HMENU menu = Exists(m_bar) ? m_bar.GetMenu() : nullptr;
    if (!menu)
        return;
    m_barShown = false;
    m_bar.SetMenu(nullptr);
    if (Exists(m_main))
        m_main.SetMenu(menu);
}

void CScreenChanger::RestoreWindow(bool activate)
{
    ReturnMenu();
    if (!Exists(m_main))
        return;
    const HWND main = m_main.GetHandle();
    const DWORD exStyle = m_savedExStyle;
    m_main.SetExStyle(exStyle);
    m_main.SetStyle(m_savedStyle);
    SetTopMostOf(main, (exStyle & WS_EX_TOPMOST) != 0);
    ::SetWindowPos(main, nullptr, m_savedRect.left, m_savedRect.top, m_savedRect.Width(),
                   m_savedRect.Height(), SWP_NOZORDER | SWP_FRAMECHANGED | SWP_NOACTIVATE);
    if (m_savedShow == 1)
        m_main.Show(SW_SHOWMAXIMIZED);
    else if (m_savedShow == 2)
        m_main.Show(activate ? SW_SHOWMINIMIZED : SW_SHOWMINNOACTIVE);
    else
        m_main.Show(activate ? SW_RESTORE : SW_SHOWNOACTIVATE);
    m_main.Repaint();
}

void CScreenChanger::ShowBar()
{
    if (m_state != FullScreen || !Exists(m_bar) || !m_bar.GetMenu() || m_barShown.exchange(true))
        return;
    SwitchFlag showing(m_showingBar);
    m_main.ForceForeground();
    const CPoint origin = m_main.ClientToScreen({0, 0});
    const CSize client = m_main.GetClientSize();
    ::SetWindowPos(m_bar.GetHandle(), nullptr, origin.x, origin.y, client.cx, MenuHeight() - 1,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    // Shown without activation: the one hand-over of the foreground below is then made from this
    // thread, where activating on show can deactivate the main window first (Wine).
    m_bar.Show(SW_SHOWNA);
    SetTopMostOf(m_bar.GetHandle(), true);
    m_bar.ForceForeground();
    m_bar.Repaint();
}

void CScreenChanger::HideBar()
{
    if (!Exists(m_bar) || !m_bar.GetMenu() || !m_barShown.exchange(false))
        return;
    ::SetWindowPos(m_bar.GetHandle(), nullptr, 0, -MenuHeight(), 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    m_bar.Hide();
}

void CScreenChanger::SetTopMost(bool topMost)
{
    if (m_state == Windowed) {
        SetTopMostOf(m_main.GetHandle(), topMost);
        return;
    }
    // Takes effect when the window is restored.
    const DWORD exStyle = m_savedExStyle;
    m_savedExStyle = topMost ? exStyle | WS_EX_TOPMOST : exStyle & ~static_cast<DWORD>(WS_EX_TOPMOST);
}

const CWnd& CScreenChanger::OwnerOfMenu() const
{
    return m_state == FullScreen ? static_cast<const CWnd&>(m_bar) : static_cast<const CWnd&>(m_main);
}

HMENU CScreenChanger::GetMenu() const
{
    return OwnerOfMenu().GetMenu();
}

void CScreenChanger::DrawMenuBar() const
{
    ::DrawMenuBar(OwnerOfMenu().GetHandle());
}

void CScreenChanger::SetMenu(HMENU menu)
{
    HideBar();
    OwnerOfMenu().SetMenu(menu);
}

bool CScreenChanger::HookMessage(SMessage& message)
{
    if (message.hwnd == m_main.GetHandle())
        return HookMainMessage(message);
    if (message.hwnd == m_bar.GetHandle())
        return HookBarMessage(message);
    return false;
}

bool CScreenChanger::HookMainMessage(SMessage& message)
{
    if (!Exists(m_bar))
        return false;
    if (!Exists(m_main)) {
        Close();
        return false;
    }
    switch (message.message) {
    case WM_DESTROY:
        Close();
        return true;
    case WM_SIZE:
        if (message.wParam == SIZE_MINIMIZED && m_state == FullScreen) {
            m_suspendedMinimized = true;
            m_state = Suspended;
            RestoreDisplay();
            return true;
        }
        // Only the full-screen form comes back on a restore: a window suspended in its windowed
        // form waits for its program to be active again.
        if (message.wParam == SIZE_RESTORED && m_state == Suspended && m_suspendedMinimized) {
            m_state = FullScreen;
            m_main.ForceForeground();
            ChangeMode();
            return true;
        }
        return false;
    case WM_ACTIVATEAPP:
        if (m_main.IsMinimized())
            return false;
        if (message.wParam && m_state == Suspended) {
            Enter();
        } else if (!message.wParam && m_state == FullScreen && !m_showingBar &&
                   !ActivatesMessageLoopThread(message.lParam)) {
            if (m_minimizeOnDeactivate) {
                m_main.Show(SW_SHOWMINNOACTIVE);
            } else {
                // Windowed again behind the program now active, without taking the activation
                // back from it.
                LeaveFullScreen(false);
                m_suspendedMinimized = false;
                m_state = Suspended;
            }
        }
        return false;
    case WM_SYSCOMMAND:
        if ((message.wParam & 0xFFF0) == SC_KEYMENU && m_state == FullScreen && !m_switching) {
            ShowBar();
            m_bar.PostMessage(WM_SYSCOMMAND, message.wParam, message.lParam);
            return true;
        }
        return false;
    case WM_MOUSEMOVE:
        if (static_cast<short>(HIWORD(message.lParam)) <= MenuHeight())
            ShowBar();
        else
            m_bar.PostMessage(WM_MOUSEMOVE, 0, 0);
        return true;
    default:
        return false;
    }
}

bool CScreenChanger::HookBarMessage(SMessage& message)
{
    switch (message.message) {
    case WM_CLOSE:
        m_bar.Destroy();
        return true;
    case WM_ACTIVATEAPP:
        if (!message.wParam || m_state != FullScreen)
            HideBar();
        return true;
    case WM_COMMAND:
        HideBar();
        m_main.PostMessage(WM_COMMAND, message.wParam, message.lParam);
        return true;
    case WM_MOUSEMOVE: {
        POINT cursor{};
        ::GetCursorPos(&cursor);
        if (m_main.ScreenToClient({cursor.x, cursor.y}).y > MenuHeight())
            HideBar();
        return true;
    }
    default:
        return false;
    }
}

} // namespace Brivox
