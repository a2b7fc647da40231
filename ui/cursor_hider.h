#pragma once
// Hides the mouse cursor while it rests over a window's client area and shows it again at its
// first movement; a forced mode keeps it hidden over the window whatever the mouse does. The
// watching runs as a job on a pooled worker; the hiding and showing are left with the window,
// whose own thread owns the cursor's display count.

#include "foundation/geometry.h"
#include "foundation/win32.h"
#include "foundation/worker_thread.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

namespace Brivox {

// What the hider asks of the window it watches. Implementations carry the requests out on the
// window's own thread, at once when called there, else through a posted wake-up.
class ICursorTarget
{
public:
    virtual ~ICursorTarget() = default;
    virtual HWND GetCursorTargetWindow() const = 0;
    virtual void HideMouseCursor() = 0;
    virtual void ShowMouseCursor() = 0;
};

class CCursorHider
{
public:
    using Clock = std::chrono::steady_clock;
    using Lock = std::unique_lock<std::recursive_mutex>;

    // What the job reads of the system and how it waits; tests put their own clock here.
    struct SSystem
    {
        std::function<Clock::time_point()> now;
        // Waits on the condition until the deadline or a wake-up, releasing the lock meanwhile.
        std::function<void(Lock&, std::condition_variable_any&, Clock::time_point)> waitUntil;
        std::function<CPoint()> cursor;
        // The window exists, is enabled, visible, not minimised and in the foreground.
        std::function<bool(HWND)> usable;
        // The client area in screen coordinates.
        std::function<CRect(HWND)> clientOnScreen;
    };

    explicit CCursorHider(ICursorTarget& target);
    CCursorHider(ICursorTarget& target, SSystem system);
    ~CCursorHider();
    CCursorHider(const CCursorHider&) = delete;
    CCursorHider& operator=(const CCursorHider&) = delete;

    // Starts or stops the watching job; stopping shows a cursor the hider hid unless forced.
    void SetEnabled(bool enabled);
    // Milliseconds of rest; used from the next rest period on.
    void SetDelay(int milliseconds);
    void SetForcedHidden(bool forced);
    // Forced hidden, also without a running job.
    void HideNow();
    // Ends the forced mode and shows a cursor the hider hid.
    void ShowNow();
    // On every mouse movement.
    void Wake();
    bool IsTargetUsable() const;

private:
    void ThreadProc();
    void HideLocked();
    void ShowLocked();

    ICursorTarget& m_target;
    SSystem m_system;
    int m_delay = 1000;
    bool m_hidden = false;
    bool m_forced = false;
    bool m_enabled = false;
    std::shared_ptr<WorkerThread> m_worker;
    mutable std::recursive_mutex m_lock;
    std::condition_variable_any m_changed;
};

} // namespace Brivox
