#pragma once
// Full screen for the main window: a borderless top-most window of the display mode's size, the
// display mode changed when asked, and the menu on a menu-bar window of its own thread that shows
// at the top edge. It follows the window through minimising and through other programs becoming
// active, so that a changed display mode never stays behind a program that does not show.

#include "foundation/display_mode.h"
#include "foundation/geometry.h"
#include "foundation/thread_state.h"
#include "ui/msg_hook.h"
#include "ui/window.h"

#include <atomic>
#include <functional>

namespace Brivox {

class CScreenChanger : public IMsgHooker
{
public:
    enum State : int
    {
        Windowed = 0,
        FullScreen = 1,
        // Minimised in full-screen form, or windowed while another program is active.
        Suspended = 2,
    };

    // The display mode calls; tests put their own here.
    struct SDisplay
    {
        // Throws RuntimeException "ディスプレイモードの変更に失敗しました" when refused.
        std::function<void(const DisplayMode&)> change;
        // True when a changed mode was restored.
        std::function<bool()> restore;
    };

    // Makes the menu-bar window and joins the hook lists of both windows.
    explicit CScreenChanger(CWindow& mainWindow);
    CScreenChanger(CWindow& mainWindow, SDisplay display);
    ~CScreenChanger() override;

    // The full-screen size, and the depth (-1: keep the current one).
    void SetDisplayMode(int width, int height, int bitsPerPixel = -1);
    void Enter();
    void Leave();
    // Ends full screen for good: the display mode restored, the menu back on the main window, the
    // menu-bar window closed.
    void Close();
    void SetTopMost(bool topMost);
    void SetMinimizeOnDeactivate(bool minimize) { m_minimizeOnDeactivate = minimize; }

    // The menu's current owner: the menu-bar window in full screen, else the main window.
    HMENU GetMenu() const;
    void DrawMenuBar() const;
    void SetMenu(HMENU menu);

    State GetState() const { return m_state; }
    bool IsBarShown() const { return m_barShown; }
    HWND GetMenuBarWindow() const { return m_bar.GetHandle(); }

    bool HookMessage(SMessage& message) override;

private:
    bool HookMainMessage(SMessage& message);
    bool HookBarMessage(SMessage& message);
    void SaveAndMaximize();
    void ChangeMode();
    void RestoreDisplay();
    void LeaveFullScreen(bool activate);
    void RestoreWindow(bool activate);
    // The menu goes from the menu-bar window back to the main window.
    void ReturnMenu();
    void ShowBar();
    void HideBar();
    const CWnd& OwnerOfMenu() const;

    CWindow& m_main;
    CWindow m_bar;
    SDisplay m_display;
    NestingCounter m_nesting;
    // An enter or leave runs: the menu key is then left alone.
    std::atomic<bool> m_switching{false};
    // The bar takes the foreground from the main window: the main window's deactivation is ours.
    std::atomic<bool> m_showingBar{false};
    DisplayMode m_mode;
    int m_savedShow = 0;
    CRect m_savedRect;
    DWORD m_savedStyle = 0;
    std::atomic<DWORD> m_savedExStyle{0};
    // Shared by the main window's thread and the menu-bar window's thread, which never wait for
    // each other while holding a lock.
    std::atomic<State> m_state{Windowed};
    // In the suspended state: minimised in full-screen form (true) or windowed (false).
    std::atomic<bool> m_suspendedMinimized{false};
    std::atomic<bool> m_barShown{false};
    std::atomic<bool> m_minimizeOnDeactivate{true};
    std::atomic<bool> m_closed{false};
};

} // namespace Brivox
