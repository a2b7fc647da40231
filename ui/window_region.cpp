#include "ui/window_region.h"

#include "foundation/exception.h"

namespace Brivox {

void CWindowRegion::CreateEllipse(const RECT& rect)
{
    m_region.reset();
    m_region.reset(::CreateEllipticRgnIndirect(&rect));
    if (!m_region)
        throw Win32Exception(L"リージョンの作成に失敗しました");
}

void CWindowRegion::ApplyToWindow(HWND window) const
{
    if (!m_region) {
        if (!::SetWindowRgn(window, nullptr, TRUE))
            throw Win32Exception(L"ウィンドウのリージョンの取り外しに失敗しました");
        return;
    }
    UniqueGdiObject<HRGN> copy(::CreateRectRgn(0, 0, 0, 0));
    if (!copy || ::CombineRgn(static_cast<HRGN>(copy.get()), Get(), nullptr, RGN_COPY) == ERROR)
        throw Win32Exception(L"リージョンの複製に失敗しました");
    if (!::SetWindowRgn(window, static_cast<HRGN>(copy.get()), TRUE))
        throw Win32Exception(L"ウィンドウへのリージョンの設定に失敗しました");
    // The window owns the copy from now on.
    copy.release();
}

} // namespace Brivox
