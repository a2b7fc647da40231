#include "ui/cursor_hider.h"

#include "foundation/thread_pool.h"

namespace Brivox {

namespace {

// While the cursor is hidden the job looks again this often, for a window that left the
// foreground.
constexpr std::chrono::seconds RecheckInterval{1};

CCursorHider::SSystem SystemServices()
{
    CCursorHider::SSystem system;
    system.now = [] { return CCursorHider::Clock::now(); };
    system.waitUntil = [](CCursorHider::Lock& lock, std::condition_variable_any& changed,
                          CCursorHider::Clock::time_point deadline) { changed.wait_until(lock, deadline); };
    system.cursor = [] {
        POINT point{};
        ::GetCursorPos(&point);
        return CPoint{point.x, point.y};
    };
    system.usable = [](HWND window) {
        return ::IsWindow(window) && ::IsWindowEnabled(window) && ::IsWindowVisible(window) &&
               !::IsIconic(window) && ::GetForegroundWindow() == window;
    };
    system.clientOnScreen = [](HWND window) {
        RECT client{};
        ::GetClientRect(window, &client);
        POINT origin{0, 0};
        ::ClientToScreen(window, &origin);
        return CRect{origin.x, origin.y, origin.x + client.right, origin.y + client.bottom};
    };
    return system;
}

bool Inside(const CRect& rect, CPoint point)
{
    return rect.left <= point.x && point.x < rect.right && rect.top <= point.y && point.y < rect.bottom;
}

} // namespace

CCursorHider::CCursorHider(ICursorTarget& target) : CCursorHider(target, SystemServices()) {}

CCursorHider::CCursorHider(ICursorTarget& target, SSystem system)
    : m_target(target), m_system(std::move(system))
{
}

CCursorHider::~CCursorHider()
{
    SetEnabled(false);
    Lock lock(m_lock);
    if (m_hidden) {
        m_hidden = false;
        m_target.ShowMouseCursor();
    }
}

void CCursorHider::HideLocked()
{
    if (!m_hidden) {
        m_target.HideMouseCursor();
        m_hidden = true;
    }
}

void CCursorHider::ShowLocked()
{
    if (m_hidden) {
        m_target.ShowMouseCursor();
        m_hidden = false;
    }
}

void CCursorHider::SetEnabled(bool enabled)
{
    std::shared_ptr<WorkerThread> worker;
    {
        Lock lock(m_lock);
        if (enabled == m_enabled)
            return;
        m_enabled = enabled;
        if (enabled) {
            m_worker = ThreadPool::Instance().AcquireWorker();
            m_worker->Post([this] { ThreadProc(); });
            return;
        }
        m_changed.notify_all();
        worker = std::move(m_worker);
    }
    // Outside the lock, so that the job can finish its pass through the loop.
    worker->Wait();
    worker.reset();
    Lock lock(m_lock);
    if (!m_forced)
        ShowLocked();
}

void CCursorHider::SetDelay(int milliseconds)
{
    Lock lock(m_lock);
    m_delay = milliseconds;
}

void CCursorHider::SetForcedHidden(bool forced)
{
    if (forced)
        HideNow();
    else
        ShowNow();
}

void CCursorHider::HideNow()
{
    Lock lock(m_lock);
    m_forced = true;
    HideLocked();
    m_changed.notify_all();
}

void CCursorHider::ShowNow()
{
    Lock lock(m_lock);
    m_forced = false;
    ShowLocked();
    m_changed.notify_all();
}

void CCursorHider::Wake()
{
    Lock lock(m_lock);
    m_changed.notify_all();
}

bool CCursorHider::IsTargetUsable() const
{
    return m_system.usable(m_target.GetCursorTargetWindow());
}

void CCursorHider::ThreadProc()
{
    Lock lock(m_lock);
    CPoint last = m_system.cursor();
    Clock::time_point deadline = m_system.now() + std::chrono::milliseconds(m_delay);
    while (m_enabled) {
        if (m_forced) {
            m_changed.wait(lock);
            continue;
        }
        m_system.waitUntil(lock, m_changed, deadline);
        if (!m_enabled)
            break;
        const CPoint pos = m_system.cursor();
        const bool resting = pos.x == last.x && pos.y == last.y;
        // A wake-up without movement before the rest period ran out (the system sends mouse
        // moves of its own) neither hides nor starts the period again.
        if (resting && m_system.now() < deadline)
            continue;
        const HWND window = m_target.GetCursorTargetWindow();
        if (resting && m_system.usable(window) && Inside(m_system.clientOnScreen(window), pos)) {
            HideLocked();
            m_system.waitUntil(lock, m_changed, m_system.now() + RecheckInterval);
            continue;
        }
        ShowLocked();
        last = pos;
        deadline = m_system.now() + std::chrono::milliseconds(m_delay);
    }
}

} // namespace Brivox
