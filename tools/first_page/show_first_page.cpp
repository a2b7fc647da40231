// Starts the viewer, waits until its first page is on screen, saves a screenshot, closes the
// viewer with WM_CLOSE and ends with its exit code. For running the viewer where nobody looks at
// the display.
//
//   show_first_page [--screenshot <file.png>] [--timeout <seconds>] <program> [arguments...]
//
// Exit code: the viewer's, once it showed a page and closed; otherwise the viewer's own when it
// ended with one other than 0 by itself, 1 when it ended with 0 before showing a page, 124 when
// it showed no page or did not close within the time allowed (it is then ended).

#include "tools/first_page/first_page_watch.h"

#include "foundation/command_line.h"
#include "foundation/exception.h"

#include <cstdio>
#include <cstdlib>

namespace {

constexpr DWORD CloseTimeoutMs = 30000;
constexpr int TimedOut = 124;

int Usage()
{
    std::fputs(
        "usage: show_first_page [--screenshot <file.png>] [--timeout <seconds>] <program> [arguments...]\n",
        stderr);
    return 2;
}

void Screenshot(HWND window, const Brivox::String& path)
{
    if (path.Length() == 0)
        return;
    try {
        if (FirstPage::SaveScreenshot(window, path))
            std::printf("screenshot: %ls\n", path.CStr());
        else
            std::fputs("show_first_page: the screen could not be read\n", stderr);
    } catch (const Brivox::Exception& error) {
        std::fprintf(stderr, "show_first_page: %s\n", error.what());
    }
}

} // namespace

int main()
{
    const std::vector<Brivox::String> arguments = Brivox::SplitCommandLine();
    Brivox::String screenshot;
    DWORD timeoutMs = 60000;
    std::size_t k = 1;
    for (; k + 1 < arguments.size() && arguments[k].Length() > 2 && arguments[k].Substring(0, 2) == L"--";
         k += 2) {
        if (arguments[k] == L"--screenshot")
            screenshot = arguments[k + 1];
        else if (arguments[k] == L"--timeout")
            timeoutMs = static_cast<DWORD>(std::wcstoul(arguments[k + 1].CStr(), nullptr, 10) * 1000);
        else
            return Usage();
    }
    if (k >= arguments.size())
        return Usage();

    std::shared_ptr<Brivox::Process> viewer;
    try {
        viewer = FirstPage::StartProgram(arguments[k],
                                         {arguments.begin() + static_cast<long>(k) + 1, arguments.end()});
    } catch (const Brivox::Exception& error) {
        std::fprintf(stderr, "show_first_page: %ls: %s\n", arguments[k].CStr(), error.what());
        return 2;
    }

    const ULONGLONG start = ::GetTickCount64();
    HWND window = nullptr;
    switch (FirstPage::WaitForFirstPage(*viewer, timeoutMs, window)) {
    case FirstPage::WaitResult::Shown:
        std::printf("first page on screen after %llu ms\n", ::GetTickCount64() - start);
        Screenshot(window, screenshot);
        break;
    case FirstPage::WaitResult::Ended: {
        const DWORD code = FirstPage::ExitCodeOf(*viewer);
        std::fprintf(stderr, "show_first_page: the viewer ended with exit code %lu before showing a page\n",
                     code);
        return code ? static_cast<int>(code) : 1;
    }
    case FirstPage::WaitResult::TimedOut:
        std::fprintf(stderr, "show_first_page: no page on screen within %lu s; the screen as it was:\n",
                     timeoutMs / 1000);
        Screenshot(nullptr, screenshot);
        ::TerminateProcess(viewer->GetProcessHandle(), TimedOut);
        return TimedOut;
    }
    std::fflush(stdout);

    if (!FirstPage::CloseAndWait(window, *viewer, CloseTimeoutMs)) {
        std::fprintf(stderr, "show_first_page: the viewer did not end within %lu s of WM_CLOSE\n",
                     CloseTimeoutMs / 1000);
        ::TerminateProcess(viewer->GetProcessHandle(), TimedOut);
        return TimedOut;
    }
    const DWORD code = FirstPage::ExitCodeOf(*viewer);
    std::printf("the viewer closed with exit code %lu\n", code);
    return static_cast<int>(code);
}
