#include "foundation/desktop.h"

#include "foundation/encoding.h"
#include "foundation/exception.h"
#include "foundation/win32.h"

#include <string>

namespace Brivox {

void SetWallpaper(const String& path)
{
    std::string ansi = GetDefaultEncoding().ToMultiByte(path);
    if (!::SystemParametersInfoA(SPI_SETDESKWALLPAPER, 0, ansi.data(),
                                 SPIF_UPDATEINIFILE | SPIF_SENDWININICHANGE)) {
        const DWORD error = ::GetLastError();
        throw Win32Exception(error, L"壁紙の設定に失敗");
    }
}

bool ForceShowCursor()
{
    int count = ::ShowCursor(FALSE);
    const bool wasHidden = count < -1;
    while (count <= 0)
        count = ::ShowCursor(TRUE);
    return wasHidden;
}

bool ForceHideCursor()
{
    int count = ::ShowCursor(TRUE);
    const bool wasShown = count > 0;
    while (count >= 0)
        count = ::ShowCursor(FALSE);
    return wasShown;
}

} // namespace Brivox
