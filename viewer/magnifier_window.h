#pragma once
// The magnifier: a borderless top-most window on a window thread of its own that shows an
// enlarged part of the page around the cursor and follows the cursor over the main window. Its
// owner paints the contents. It watches both windows' messages, each on its window's thread.

#include "document/layout.h"
#include "foundation/geometry.h"
#include "foundation/thread_state.h"
#include "ui/msg_hook.h"
#include "ui/window.h"
#include "ui/window_region.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

class CMagnifierWindow : public Brivox::IMsgHooker
{
public:
    class IOwner
    {
    public:
        // On the magnifier's thread, during its outermost paint: the paint record (its device
        // context is the target), the magnifier's client size and the cursor in the main
        // window's client coordinates.
        virtual void DrawMagnified(const PAINTSTRUCT& paint, const Brivox::CSize& client,
                                   const Brivox::CPoint& cursor) = 0;

    protected:
        ~IOwner() = default;
    };

    // Joins its own window's hook list, then the main window's.
    CMagnifierWindow(Brivox::CWindow& mainWindow, IOwner& owner);
    // The window ends on its own thread, waited for while this thread serves its messages.
    ~CMagnifierWindow() override;

    void SetSize(const Brivox::CSize& size);
    // 0 rectangular, any other value elliptic. Throws the region's Win32Exception.
    void SetShape(int shape);
    // Centred on the cursor; the first call makes the window on a new thread.
    void Show();
    void Hide();

    bool HookMessage(Brivox::SMessage& message) override;

    // The window while it exists, for the tests.
    HWND GetHandle() const { return m_window.GetHandle(); }

private:
    static std::uint64_t Pack(int x, int y);
    static Brivox::CPoint UnpackPoint(std::uint64_t value);
    Brivox::CSize GetStoredSize() const;
    Brivox::CPoint GetCursorPoint() const;
    void StoreCursorPoint();
    bool Exists() const;
    // Moves the window so that the stored cursor point is its centre.
    void PlaceAtCursor(HWND hwnd) const;
    // Shows the window and gives it the foreground, deactivations on the way ignored.
    void BringForward(HWND hwnd);
    void ApplyShape(HWND hwnd, int shape);
    void FollowCursor();
    bool OnMainMessage(const Brivox::SMessage& message);
    bool OnOwnMessage(const Brivox::SMessage& message);
    void OnCreate(HWND hwnd);
    void OnPaint(HWND hwnd);

    Brivox::CWindow& m_main;
    IOwner& m_owner;
    // Written on the main window's thread and read on the magnifier's: each a whole value.
    std::atomic<std::uint64_t> m_size{0};
    std::atomic<std::uint64_t> m_cursor{0};
    Brivox::NestingCounter m_paintNesting;
    std::atomic<int> m_shape{0};
    // Guards only the decision to make the window; no window call is made under it.
    std::mutex m_showLock;
    bool m_creating = false;
    // True while the activation is handed to the magnifier, on the main window's thread when it
    // is shown again and on its own when it is made; read on both threads.
    std::atomic<bool> m_bringingForward{false};
    // Last, so that it goes first: its thread no longer reaches this object's members.
    Brivox::CWindow m_window;
};

// Where the magnifier draws the page: the source rectangle in page pixels, the destination in the
// magnifier's client area, and the parts of the client area around it that are filled black.
struct SMagnifiedPlacement
{
    bool draw = false;
    Brivox::CRect source;
    Brivox::CRect destination;
    std::vector<Brivox::CRect> black;
};

// The part of the page around the cursor (view coordinates of the page's layout) enlarged by the
// magnification in percent (taken as at least 1) into a client area of the size.
SMagnifiedPlacement PlaceMagnified(Brivox::ILayout& pageLayout, const Brivox::CSize& client,
                                   const Brivox::CPoint& cursor, int magnification);
