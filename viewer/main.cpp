#include "foundation/win32.h"

// The viewer's start-up arrives with the main window; until then the program starts and ends.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    return 0;
}
