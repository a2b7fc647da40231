#include "foundation/message_queue.h"

#include "foundation/win32.h"

namespace Brivox {

bool DrainQuitMessages()
{
    bool removed = false;
    for (int i = 0; i < 16; ++i) {
        MSG msg;
        removed = ::PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE;
        if (!removed)
            break;
    }
    return removed;
}

} // namespace Brivox
