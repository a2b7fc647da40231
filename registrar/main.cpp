#include "foundation/encoding.h"
#include "foundation/win32.h"
#include "registrar/registrar_run.h"

// The whole command line, as the system gives it, is the hand-off file's path: no quotes removed.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int)
{
    return RunRegistrar(Brivox::GetDefaultEncoding().ToString(commandLine ? commandLine : ""));
}
