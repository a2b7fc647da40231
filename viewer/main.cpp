#include "foundation/fault_translator.h"
#include "foundation/thread_pool.h"
#include "foundation/win32.h"
#include "viewer/app_frame.h"

#include <commctrl.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLine, int showCommand)
{
    Brivox::InstallExceptionTranslator();
    int result = 0;
    {
        CAppFrame frame;
        frame.Init(instance, previousInstance, commandLine, showCommand);
        ::InitCommonControls();
        result = frame.Execute();
        // After the controller is gone, and with it the document's loader jobs.
        Brivox::ThreadPool::Instance().Shutdown();
    }
    return result;
}
