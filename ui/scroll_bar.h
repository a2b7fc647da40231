#pragma once
// A window's own horizontal or vertical scroll bar: its range, page, line and position kept here
// and handed to the system in one step, its visibility and enabled state changed only where they
// differ from what was last applied, and its scroll messages turned into a callback.

#include "foundation/exception.h"
#include "foundation/win32.h"
#include "ui/msg_hook.h"

#include <functional>

namespace Brivox {

// SuspendLayout on a bar whose layout is already suspended.
class ScrollBarAlreadyResumedLayoutException : public InvalidOprationException
{
public:
    ScrollBarAlreadyResumedLayoutException();
};

class ScrollBar
{
public:
    // (the bar, old position, new position)
    using Callback = std::function<void(ScrollBar& bar, int oldPosition, int newPosition)>;

    // The system calls the bar makes; tests may watch or replace them.
    struct SSystem
    {
        std::function<void(HWND, int bar, bool show)> showScrollBar;
        std::function<void(HWND, int bar, UINT arrows)> enableScrollBar;
        std::function<void(HWND, int bar, const SCROLLINFO&)> setScrollInfo;
        // The 32-bit position of a dragged thumb; false when the system cannot tell it.
        std::function<bool(HWND, int bar, int& position)> trackPosition;
    };
    static SSystem SystemCalls();

    ScrollBar(const ScrollBar&) = delete;
    ScrollBar& operator=(const ScrollBar&) = delete;
    virtual ~ScrollBar() = default;

    int GetMinimum() const { return m_minimum; }
    // The largest position, not the end of the range.
    int GetMaximum() const { return m_maximum; }
    int GetPage() const { return m_page; }
    int GetLine() const { return m_line; }
    int GetPosition() const { return m_position; }
    bool IsShown() const { return m_shownWanted; }
    bool IsEnabled() const { return m_enabledWanted; }

    // Each setter reaches the system at once unless the layout is suspended.
    void SetMinimum(int minimum);
    void SetMaximum(int maximum);
    void SetPage(int page);
    void SetLine(int line);
    void SetPosition(int position);
    // The bar stays visible, disabled, when there is nothing to scroll.
    void SetDisableWhenNotScrollable(bool disable);
    void SetShown(bool shown);
    void SetEnabled(bool enabled);
    void SetCallback(Callback callback) { m_callback = std::move(callback); }

    // Holds every change back until ResumeLayout, which hands them over in at most one call each.
    // Throws ScrollBarAlreadyResumedLayoutException when already suspended.
    void SuspendLayout();
    void ResumeLayout();
    // Sets the system's range [minimum, maximum + page] with a page of page + 1, so that the thumb
    // stops at maximum.
    void Update();

    // The WPARAM of WM_HSCROLL or WM_VSCROLL; true when the position changed (not clamped to the
    // range: the callback decides what the position means).
    bool Scroll(WPARAM wParam);
    // Scroll, when the message is this kind's scroll message; else false.
    bool OnHScroll(SMessage& message);
    bool OnVScroll(SMessage& message);

protected:
    ScrollBar(HWND window, int bar, SSystem system);

private:
    // Sets a layout value and hands the layout to the system unless it is suspended.
    template <typename Value> void StoreAndUpdate(Value& field, Value value);
    void ApplyShown();
    void ApplyEnabled();

    HWND m_window;
    int m_bar;
    int m_page = 10;
    int m_line = 1;
    int m_maximum = 100;
    int m_minimum = 0;
    int m_position = 0;
    Callback m_callback;
    bool m_layoutSuspended = false;
    bool m_enabledApplied = true;
    bool m_enabledWanted = true;
    bool m_shownApplied = false;
    bool m_shownWanted = true;
    bool m_disableWhenNotScrollable = false;
    SSystem m_system;
};

class HScrollBar : public ScrollBar
{
public:
    explicit HScrollBar(HWND window, SSystem system = SystemCalls())
        : ScrollBar(window, SB_HORZ, std::move(system))
    {
    }
};

class VScrollBar : public ScrollBar
{
public:
    explicit VScrollBar(HWND window, SSystem system = SystemCalls())
        : ScrollBar(window, SB_VERT, std::move(system))
    {
    }
};

} // namespace Brivox
