#include "foundation/win32.h"

// The registrar's work arrives with its own subsystem; until then the program starts and ends.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    return 0;
}
