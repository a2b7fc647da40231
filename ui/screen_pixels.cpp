#include "ui/screen_pixels.h"

#include <iterator>

namespace Brivox {

String GetStoredWindowText(HWND hwnd)
{
    wchar_t text[1024] = {};
    ::InternalGetWindowText(hwnd, text, static_cast<int>(std::size(text)));
    return String(text);
}

std::unique_ptr<CDib32> CopyScreenRect(const RECT& area)
{
    auto dib = std::make_unique<CDib32>();
    dib->Resize({area.right - area.left, area.bottom - area.top});
    const HDC screen = ::GetDC(nullptr);
    ::BitBlt(dib->GetStorage().GetDC(), 0, 0, dib->GetWidth(), dib->GetHeight(), screen, area.left, area.top,
             SRCCOPY);
    ::ReleaseDC(nullptr, screen);
    return dib;
}

std::unique_ptr<CDib32> CopyClientFromScreen(HWND hwnd)
{
    RECT client{};
    ::GetClientRect(hwnd, &client);
    POINT origin{0, 0};
    ::ClientToScreen(hwnd, &origin);
    ::OffsetRect(&client, origin.x, origin.y);
    return CopyScreenRect(client);
}

} // namespace Brivox
