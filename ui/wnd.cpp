#include "ui/wnd.h"

#include "foundation/display_mode.h"
#include "foundation/dynamic_library.h"
#include "foundation/encoding.h"
#include "foundation/exception.h"
#include "foundation/message_box.h"
#include "ui/ctrl.h"

#include <shellapi.h>

#include <algorithm>
#include <limits>
#include <string>

namespace Brivox {

namespace {

// Size changes and moves never activate the window nor change its place in the z-order.
constexpr UINT QuietMove = SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOSIZE;
constexpr UINT QuietSize = SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE;

std::string ToAnsi(const String& text)
{
    return GetDefaultEncoding().ToMultiByte(text);
}

HINSTANCE ProgramModule()
{
    return ::GetModuleHandleW(nullptr);
}

// Coordinates of a child window are its parent's client coordinates; an owned top-level window
// has none of its own.
HWND ParentOfChild(HWND hwnd)
{
    return (::GetWindowLongA(hwnd, GWL_STYLE) & WS_CHILD) ? ::GetParent(hwnd) : nullptr;
}

CRect WindowRectInParent(HWND hwnd)
{
    CRect rect;
    ::GetWindowRect(hwnd, reinterpret_cast<RECT*>(&rect));
    if (HWND parent = ParentOfChild(hwnd))
        ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

bool ShowCommandIs(HWND hwnd, UINT showCommand)
{
    WINDOWPLACEMENT placement{};
    placement.length = sizeof(placement);
    return ::GetWindowPlacement(hwnd, &placement) && placement.showCmd == showCommand;
}

long long SquaredDistance(CPoint a, CPoint b)
{
    const long long dx = a.x - b.x;
    const long long dy = a.y - b.y;
    return dx * dx + dy * dy;
}

// DragFinish on every way out.
class DropFinisher
{
public:
    explicit DropFinisher(HDROP drop) : m_drop(drop) {}
    ~DropFinisher() { ::DragFinish(m_drop); }
    DropFinisher(const DropFinisher&) = delete;
    DropFinisher& operator=(const DropFinisher&) = delete;

private:
    HDROP m_drop;
};

// A loaded menu resource, destroyed on every way out.
class MenuResource
{
public:
    explicit MenuResource(int resourceId) : m_menu(::LoadMenuA(ProgramModule(), MAKEINTRESOURCEA(resourceId)))
    {
    }
    ~MenuResource()
    {
        if (m_menu)
            ::DestroyMenu(m_menu);
    }
    MenuResource(const MenuResource&) = delete;
    MenuResource& operator=(const MenuResource&) = delete;

    HMENU Get() const { return m_menu; }

private:
    HMENU m_menu;
};

using SetLayeredWindowAttributesFunction = BOOL(WINAPI*)(HWND, COLORREF, BYTE, DWORD);
using EnableThemeDialogTextureFunction = HRESULT(WINAPI*)(HWND, DWORD);

// Looked up once it has been found; a failed look-up is tried again at the next call.
SetLayeredWindowAttributesFunction LayeredWindowFunction()
{
    static std::atomic<SetLayeredWindowAttributesFunction> function{nullptr};
    if (!function.load()) {
        CDynamicLibrary user32(L"user32.dll", false);
        function = user32.GetProc<SetLayeredWindowAttributesFunction>(L"SetLayeredWindowAttributes");
    }
    return function.load();
}

} // namespace

LONG_PTR SetWindowLongAW(HWND hwnd, int index, LONG_PTR value)
{
    return IsWindowsNT() ? ::SetWindowLongPtrW(hwnd, index, value) : ::SetWindowLongPtrA(hwnd, index, value);
}

LONG_PTR GetWindowLongAW(HWND hwnd, int index)
{
    return IsWindowsNT() ? ::GetWindowLongPtrW(hwnd, index) : ::GetWindowLongPtrA(hwnd, index);
}

std::vector<String> GetDroppedFiles(HDROP drop)
{
    DropFinisher finisher(drop);
    const UINT count = ::DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
    std::vector<String> paths;
    paths.reserve(count);
    for (UINT i = 0; i < count; ++i) {
        String path;
        bool isFolder;
        if (IsWindowsNT()) {
            wchar_t buffer[MAX_PATH] = {};
            ::DragQueryFileW(drop, i, buffer, MAX_PATH);
            path = buffer;
            const DWORD attributes = ::GetFileAttributesW(buffer);
            isFolder = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
        } else {
            char buffer[MAX_PATH] = {};
            ::DragQueryFileA(drop, i, buffer, MAX_PATH);
            path = FromApiTextA(buffer);
            const DWORD attributes = ::GetFileAttributesA(buffer);
            isFolder = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
        }
        // Wine counts one empty name in a drop that holds none.
        if (path.Length() == 0)
            continue;
        paths.push_back(isFolder ? path + L"\\" : path);
    }
    return paths;
}

CSize DivideSize(CSize size, int divisor)
{
    return {size.cx / divisor, size.cy / divisor};
}

CPoint SubtractPoint(CPoint a, CPoint b)
{
    return {a.x - b.x, a.y - b.y};
}

CSize RectSize(const CRect& rect)
{
    return {rect.Width(), rect.Height()};
}

CRect RectFromPointAndSize(CPoint point, CSize size)
{
    return {point.x, point.y, point.x + size.cx, point.y + size.cy};
}

bool CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) const
{
    return ::PostMessageA(GetHandle(), message, wParam, lParam) != FALSE;
}

void CWnd::Close() const
{
    const HWND hwnd = GetHandle();
    if (::IsWindow(hwnd))
        ::SendMessageA(hwnd, WM_CLOSE, 0, 0);
}

bool CWnd::Show(int showCommand) const
{
    return ::ShowWindow(GetHandle(), showCommand) != FALSE;
}

bool CWnd::Hide() const
{
    return Show(SW_HIDE);
}

void CWnd::Repaint() const
{
    ::InvalidateRect(GetHandle(), nullptr, FALSE);
    ::UpdateWindow(GetHandle());
}

void CWnd::RepaintRect(const CRect& rect) const
{
    ::InvalidateRect(GetHandle(), reinterpret_cast<const RECT*>(&rect), FALSE);
    ::UpdateWindow(GetHandle());
}

void CWnd::Invalidate() const
{
    ::InvalidateRect(GetHandle(), nullptr, FALSE);
}

void CWnd::ForceForeground() const
{
    const DWORD self = ::GetCurrentThreadId();
    const DWORD foreground = ::GetWindowThreadProcessId(::GetForegroundWindow(), nullptr);
    // Sharing the foreground thread's input state lifts the system's refusal to hand the
    // foreground to another thread.
    const bool attached =
        foreground != 0 && foreground != self && ::AttachThreadInput(self, foreground, TRUE);
    DWORD timeout = 0;
    ::SystemParametersInfoA(SPI_GETFOREGROUNDLOCKTIMEOUT, 0, &timeout, 0);
    ::SystemParametersInfoA(SPI_SETFOREGROUNDLOCKTIMEOUT, 0, nullptr, 0);
    ::BringWindowToTop(GetHandle());
    ::SetForegroundWindow(GetHandle());
    ::SystemParametersInfoA(SPI_SETFOREGROUNDLOCKTIMEOUT, 0,
                            reinterpret_cast<void*>(static_cast<UINT_PTR>(timeout)), 0);
    if (attached)
        ::AttachThreadInput(self, foreground, FALSE);
    // Wine leaves no foreground window at all once the shared input is split again; on its own
    // input the thread may take the foreground directly there.
    if (::GetForegroundWindow() != GetHandle())
        ::SetForegroundWindow(GetHandle());
}

bool CWnd::IsForeground() const
{
    return ::GetForegroundWindow() == GetHandle();
}

bool CWnd::IsMinimized() const
{
    return ShowCommandIs(GetHandle(), SW_SHOWMINIMIZED);
}

bool CWnd::IsMaximized() const
{
    return ShowCommandIs(GetHandle(), SW_SHOWMAXIMIZED);
}

bool CWnd::IsNormal() const
{
    return ShowCommandIs(GetHandle(), SW_SHOWNORMAL);
}

void CWnd::SetMenu(HMENU menu) const
{
    ::SetMenu(GetHandle(), menu);
    ::DrawMenuBar(GetHandle());
}

void CWnd::DetachMenu() const
{
    SetMenu(nullptr);
}

HMENU CWnd::GetMenu() const
{
    return ::GetMenu(GetHandle());
}

void CWnd::SetIcon(int resourceId) const
{
    const HICON icon = ::LoadIconA(ProgramModule(), MAKEINTRESOURCEA(resourceId));
    const LONG_PTR value = reinterpret_cast<LONG_PTR>(icon);
    if (IsWindowsNT())
        ::SetClassLongPtrW(GetHandle(), GCLP_HICON, value);
    else
        ::SetClassLongPtrA(GetHandle(), GCLP_HICON, value);
}

DWORD CWnd::GetStyle() const
{
    return static_cast<DWORD>(::GetWindowLongA(GetHandle(), GWL_STYLE));
}

void CWnd::SetStyle(DWORD style) const
{
    ::SetWindowLongA(GetHandle(), GWL_STYLE, static_cast<LONG>(style));
}

DWORD CWnd::GetExStyle() const
{
    return static_cast<DWORD>(::GetWindowLongA(GetHandle(), GWL_EXSTYLE));
}

void CWnd::SetExStyle(DWORD style) const
{
    ::SetWindowLongA(GetHandle(), GWL_EXSTYLE, static_cast<LONG>(style));
}

HWND CWnd::GetParent() const
{
    return ::GetParent(GetHandle());
}

void CWnd::EnableCloseCommand(bool enable) const
{
    ::EnableMenuItem(::GetSystemMenu(GetHandle(), FALSE), SC_CLOSE, enable ? MF_ENABLED : MF_GRAYED);
}

void CWnd::TrackResourceMenu(int resourceId) const
{
    MenuResource menu(resourceId);
    if (!menu.Get())
        return;
    POINT cursor{};
    ::GetCursorPos(&cursor);
    // The menu closes when the user clicks elsewhere only while its owner is in the foreground,
    // and the posted message lets a second click open it again at once.
    ::SetForegroundWindow(GetHandle());
    ::TrackPopupMenu(::GetSubMenu(menu.Get(), 0), TPM_RIGHTBUTTON, cursor.x, cursor.y, 0, GetHandle(),
                     nullptr);
    ::PostMessageA(GetHandle(), WM_NULL, 0, 0);
}

void CWnd::SetTimer(UINT_PTR id, UINT milliseconds) const
{
    ::SetTimer(GetHandle(), id, milliseconds, nullptr);
}

void CWnd::KillTimer(UINT_PTR id) const
{
    ::KillTimer(GetHandle(), id);
}

void CWnd::SetAlpha(int alpha) const
{
    if (alpha >= 256) {
        ClearLayered();
        return;
    }
    const SetLayeredWindowAttributesFunction setAttributes = LayeredWindowFunction();
    SetExStyle(GetExStyle() | WS_EX_LAYERED);
    setAttributes(GetHandle(), 0, static_cast<BYTE>(std::clamp(alpha, 0, 255)), LWA_ALPHA);
}

void CWnd::ClearLayered() const
{
    SetExStyle(GetExStyle() & ~WS_EX_LAYERED);
}

void CWnd::EnableThemeDialogTexture(bool enable, bool forTab) const
{
    constexpr DWORD disable = 0x1;   // ETDT_DISABLE
    constexpr DWORD enableOn = 0x2;  // ETDT_ENABLE
    constexpr DWORD enableTab = 0x6; // ETDT_ENABLETAB
    try {
        // Only where the program already has themes: the library is never loaded for this.
        CDynamicLibrary uxTheme(L"UxTheme.dll", false);
        auto function = uxTheme.GetProc<EnableThemeDialogTextureFunction>(L"EnableThemeDialogTexture");
        function(GetHandle(), !enable ? disable : forTab ? enableTab : enableOn);
    } catch (const std::exception&) {
    }
}

void CWnd::DragAcceptFiles(bool accept) const
{
    ::DragAcceptFiles(GetHandle(), accept ? TRUE : FALSE);
}

std::shared_ptr<PAINTSTRUCT> CWnd::BeginPaint() const
{
    auto paint = std::make_unique<PAINTSTRUCT>();
    const HWND hwnd = GetHandle();
    if (!::BeginPaint(hwnd, paint.get())) {
        const DWORD error = ::GetLastError();
        throw Win32Exception(error, L"ウィンドウ描画オブジェクトの取得に失敗");
    }
    return std::shared_ptr<PAINTSTRUCT>(paint.release(), [hwnd](PAINTSTRUCT* painted) {
        ::EndPaint(hwnd, painted);
        std::default_delete<PAINTSTRUCT>()(painted);
    });
}

CRect CWnd::AdjustRect(const CRect& client) const
{
    CRect rect = client;
    ::AdjustWindowRectEx(reinterpret_cast<RECT*>(&rect), GetStyle(), GetMenu() != nullptr, GetExStyle());
    return rect;
}

CPoint CWnd::GetPosition() const
{
    const CRect rect = WindowRectInParent(GetHandle());
    return {rect.left, rect.top};
}

CSize CWnd::GetSize() const
{
    CRect rect;
    ::GetWindowRect(GetHandle(), reinterpret_cast<RECT*>(&rect));
    return RectSize(rect);
}

CSize CWnd::GetClientSize() const
{
    CRect rect;
    ::GetClientRect(GetHandle(), reinterpret_cast<RECT*>(&rect));
    return RectSize(rect);
}

CRect CWnd::GetRect() const
{
    return WindowRectInParent(GetHandle());
}

void CWnd::SetPosition(int x, int y) const
{
    ::SetWindowPos(GetHandle(), nullptr, x, y, 0, 0, QuietMove);
}

void CWnd::SetSize(int cx, int cy) const
{
    ::SetWindowPos(GetHandle(), nullptr, 0, 0, cx, cy, QuietSize);
}

void CWnd::SetClientSize(CSize size) const
{
    const CRect rect = AdjustRect({0, 0, size.cx, size.cy});
    SetSize(rect.Width(), rect.Height());
    // A menu bar that wraps into more lines at this width takes client height away; a few rounds
    // settle it.
    for (int round = 0; round < 3; ++round) {
        const int missing = size.cy - GetClientSize().cy;
        if (missing == 0)
            break;
        const CSize windowSize = GetSize();
        SetSize(windowSize.cx, windowSize.cy + missing);
    }
}

void CWnd::MoveInsideMonitors(CPoint point) const
{
    MoveInsideWorkAreas(point, GetMonitorRects());
}

void CWnd::MoveInsideWorkAreas(CPoint point, const std::vector<CRect>& workAreas) const
{
    const CSize size = GetSize();
    CPoint best{0, 0};
    long long bestDistance = std::numeric_limits<long long>::max();
    for (const CRect& area : workAreas) {
        const CPoint inside{std::max(area.left, std::min(point.x, area.right - size.cx)),
                            std::max(area.top, std::min(point.y, area.bottom - size.cy))};
        const long long distance = SquaredDistance(inside, point);
        // A later area wins only when strictly nearer.
        if (distance < bestDistance) {
            bestDistance = distance;
            best = inside;
        }
    }
    SetPosition(best.x, best.y);
}

void CWnd::CentreOverClientOf(const CWnd& other) const
{
    const CSize client = other.GetClientSize();
    const CSize size = GetSize();
    MoveInsideMonitors(other.ClientToScreen(CPoint((client.cx - size.cx) / 2, (client.cy - size.cy) / 2)));
}

bool CWnd::HasHorizontalScrollBar() const
{
    return GetSize().cy - GetClientSize().cy >= ::GetSystemMetrics(SM_CYHSCROLL);
}

bool CWnd::HasVerticalScrollBar() const
{
    return GetSize().cx - GetClientSize().cx >= ::GetSystemMetrics(SM_CXVSCROLL);
}

CSize CWnd::GetClientSizeWithScrollBars() const
{
    CSize size = GetClientSize();
    if (!HasVerticalScrollBar())
        size.cx -= ::GetSystemMetrics(SM_CXVSCROLL);
    if (!HasHorizontalScrollBar())
        size.cy -= ::GetSystemMetrics(SM_CYHSCROLL);
    return size;
}

CPoint CWnd::ClientToScreen(CPoint point) const
{
    ::ClientToScreen(GetHandle(), reinterpret_cast<POINT*>(&point));
    return point;
}

CPoint CWnd::ScreenToClient(CPoint point) const
{
    ::ScreenToClient(GetHandle(), reinterpret_cast<POINT*>(&point));
    return point;
}

String CWnd::GetText() const
{
    const HWND hwnd = GetHandle();
    if (IsWindowsNT()) {
        std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(hwnd)) + 1, L'\0');
        const int length = ::GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()));
        text.resize(static_cast<std::size_t>(std::max(length, 0)));
        return text;
    }
    std::string text(static_cast<std::size_t>(::GetWindowTextLengthA(hwnd)) + 1, '\0');
    const int length = ::GetWindowTextA(hwnd, text.data(), static_cast<int>(text.size()));
    text.resize(static_cast<std::size_t>(std::max(length, 0)));
    return FromApiTextA(text);
}

void CWnd::SetText(const String& text) const
{
    const HWND hwnd = GetHandle();
    CallWithApiText(
        text, [hwnd](const wchar_t* wide) { return ::SetWindowTextW(hwnd, wide); },
        [hwnd](const char* narrow) { return ::SetWindowTextA(hwnd, narrow); });
}

String CWnd::GetClassName() const
{
    char name[256] = {};
    ::GetClassNameA(GetHandle(), name, 256);
    return FromApiTextA(name);
}

CCtrl CWnd::GetDlgItem(int itemId) const
{
    return CCtrl(::GetDlgItem(GetHandle(), itemId));
}

int CWnd::MessageBox(UINT flags, const String& caption, const String& text) const
{
    return ShowNarrowMessageBox(GetHandle(), ToAnsi(text).c_str(), ToAnsi(caption).c_str(), flags);
}

int CWnd::ShowExceptionBox(const String& caption, const std::exception& error) const
{
    return MessageBox(MB_ICONINFORMATION | MB_SYSTEMMODAL | MB_SETFOREGROUND, caption,
                      FromApiTextA(error.what()));
}

} // namespace Brivox
