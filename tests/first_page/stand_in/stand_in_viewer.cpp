// Stands in for the viewer in the tests of show_first_page: a window titled as the viewer's main
// window showing the first sample page. Closing the window ends the program with exit code 7 when
// its one argument arrived whole as "a b.jpg", 8 otherwise. With the argument "end" it ends at once
// with exit code 0, showing nothing.

#include "first_page/stand_in/stand_in_viewer.h"

#include "foundation/command_line.h"
#include "foundation/thread_pool.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    const std::vector<Brivox::String> arguments = Brivox::SplitCommandLine();
    if (arguments.size() == 2 && arguments[1] == L"end")
        return 0;
    const bool whole = arguments.size() == 2 && arguments[1] == L"a b.jpg";
    {
        StandInViewer viewer(L"Kanoru : a b.jpg (800x600) [1/6] build-219");
        viewer.RunMessageLoop();
    }
    Brivox::ThreadPool::Instance().Shutdown();
    return whole ? 7 : 8;
}
