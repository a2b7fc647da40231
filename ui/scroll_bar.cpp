#include "ui/scroll_bar.h"

#include <utility>

namespace Brivox {

ScrollBarAlreadyResumedLayoutException::ScrollBarAlreadyResumedLayoutException()
    : InvalidOprationException(L"スクロールバーの処理中にエラーが発生しました")
{
}

ScrollBar::SSystem ScrollBar::SystemCalls()
{
    SSystem system;
    system.showScrollBar = [](HWND hwnd, int bar, bool show) {
        ::ShowScrollBar(hwnd, bar, show ? TRUE : FALSE);
    };
    system.enableScrollBar = [](HWND hwnd, int bar, UINT arrows) {
        ::EnableScrollBar(hwnd, static_cast<UINT>(bar), arrows);
    };
    system.setScrollInfo = [](HWND hwnd, int bar, const SCROLLINFO& info) {
        ::SetScrollInfo(hwnd, bar, &info, TRUE);
    };
    system.trackPosition = [](HWND hwnd, int bar, int& position) {
        SCROLLINFO info{};
        info.cbSize = sizeof(info);
        info.fMask = SIF_TRACKPOS;
        if (!::GetScrollInfo(hwnd, bar, &info))
            return false;
        position = info.nTrackPos;
        return true;
    };
    return system;
}

ScrollBar::ScrollBar(HWND window, int bar, SSystem system)
    : m_window(window), m_bar(bar), m_system(std::move(system))
{
}

template <typename Value> void ScrollBar::StoreAndUpdate(Value& field, Value value)
{
    field = value;
    if (!m_layoutSuspended)
        Update();
}

void ScrollBar::SetMinimum(int minimum)
{
    StoreAndUpdate(m_minimum, minimum);
}

void ScrollBar::SetMaximum(int maximum)
{
    StoreAndUpdate(m_maximum, maximum);
}

void ScrollBar::SetPage(int page)
{
    StoreAndUpdate(m_page, page);
}

void ScrollBar::SetLine(int line)
{
    StoreAndUpdate(m_line, line);
}

void ScrollBar::SetPosition(int position)
{
    StoreAndUpdate(m_position, position);
}

void ScrollBar::SetDisableWhenNotScrollable(bool disable)
{
    StoreAndUpdate(m_disableWhenNotScrollable, disable);
}

void ScrollBar::SetShown(bool shown)
{
    m_shownWanted = shown;
    if (!m_layoutSuspended)
        ApplyShown();
}

void ScrollBar::SetEnabled(bool enabled)
{
    m_enabledWanted = enabled;
    if (!m_layoutSuspended)
        ApplyEnabled();
}

void ScrollBar::ApplyShown()
{
    if (m_shownWanted == m_shownApplied)
        return;
    m_system.showScrollBar(m_window, m_bar, m_shownWanted);
    m_shownApplied = m_shownWanted;
}

void ScrollBar::ApplyEnabled()
{
    if (m_enabledWanted == m_enabledApplied)
        return;
    m_system.enableScrollBar(m_window, m_bar, m_enabledWanted ? ESB_ENABLE_BOTH : ESB_DISABLE_BOTH);
    m_enabledApplied = m_enabledWanted;
}

void ScrollBar::SuspendLayout()
{
    if (m_layoutSuspended)
        throw ScrollBarAlreadyResumedLayoutException();
    m_layoutSuspended = true;
}

void ScrollBar::ResumeLayout()
{
    ApplyShown();
    ApplyEnabled();
    Update();
    m_layoutSuspended = false;
}

void ScrollBar::Update()
{
    SCROLLINFO info{};
    info.cbSize = sizeof(info);
    info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | (m_disableWhenNotScrollable ? SIF_DISABLENOSCROLL : 0);
    info.nMin = m_minimum;
    info.nMax = m_maximum + m_page;
    info.nPage = static_cast<UINT>(m_page + 1);
    info.nPos = m_position;
    m_system.setScrollInfo(m_window, m_bar, info);
}

bool ScrollBar::Scroll(WPARAM wParam)
{
    const int old = m_position;
    int position = old;
    switch (LOWORD(wParam)) {
    case SB_LINEUP:
        position = old - m_line;
        break;
    case SB_LINEDOWN:
        position = old + m_line;
        break;
    case SB_PAGEUP:
        position = old - m_page;
        break;
    case SB_PAGEDOWN:
        position = old + m_page;
        break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK:
        // The message carries only 16 bits of the position; the bar itself knows all 32.
        if (!m_system.trackPosition(m_window, m_bar, position))
            position = static_cast<short>(HIWORD(wParam));
        break;
    default:
        break;
    }
    if (position == old)
        return false;
    m_position = position;
    if (!m_layoutSuspended)
        Update();
    const Callback callback = m_callback;
    if (callback)
        callback(*this, old, position);
    return true;
}

bool ScrollBar::OnHScroll(SMessage& message)
{
    return message.message == WM_HSCROLL && Scroll(message.wParam);
}

bool ScrollBar::OnVScroll(SMessage& message)
{
    return message.message == WM_VSCROLL && Scroll(message.wParam);
}

} // namespace Brivox
