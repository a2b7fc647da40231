#pragma once

#include "foundation/win32.h"

namespace Brivox {

// While a modal dialog runs, the calling thread's cursor display count is two higher, so that a
// cursor hidden by the viewer shows over the dialog; the count goes back when this object goes.
class CursorShown
{
public:
    CursorShown()
    {
        ::ShowCursor(TRUE);
        ::ShowCursor(TRUE);
    }
    ~CursorShown()
    {
        ::ShowCursor(FALSE);
        ::ShowCursor(FALSE);
    }
    CursorShown(const CursorShown&) = delete;
    CursorShown& operator=(const CursorShown&) = delete;
};

} // namespace Brivox
