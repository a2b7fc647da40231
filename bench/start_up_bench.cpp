// The viewer's start-up as its user sees it: from starting Kanoru2.exe on a 4000 × 3000 JPEG
// photograph to that page on screen, in a process of its own each time; the viewer is closed
// after each run. Prints every run and the median of 10 (the aim: under 300 ms).
//
//   start_up_bench [path of Kanoru2.exe]
// Without the path, the Kanoru2.exe of the same build (..\viewer\ beside this program's folder).

#include "bench_photo.h"
#include "bench_timing.h"
#include "tools/first_page/first_page_watch.h"

#include "foundation/command_line.h"
#include "foundation/exception.h"
#include "foundation/file.h"
#include "foundation/file_name.h"
#include "foundation/file_system.h"

#include <chrono>
#include <cstdio>

using Brivox::String;

namespace {

constexpr int Runs = 10;
constexpr DWORD TimeoutMs = 60000;

// Made once in the temporary folder and kept for later runs.
String MakePhotograph()
{
    const String path = Brivox::GetTempPathString() + L"kanoru_start_up_bench_4000x3000.jpg";
    if (!Brivox::IsFile(path)) {
        std::puts("making the 4000 x 3000 photograph ...");
        const std::vector<unsigned char> bytes = MakeBenchPhotoJpeg(4000, 3000, 7);
        Brivox::CApiFile file(path, Brivox::CApiFile::WriteMode, Brivox::CApiFile::SequentialAccess);
        file.Write(bytes.data(), static_cast<int>(bytes.size()));
        file.Close();
    }
    return path;
}

// Seconds from the start to the page on screen; negative when the page never came.
double TimeOneStart(const String& viewer, const String& photograph)
{
    const auto start = std::chrono::steady_clock::now();
    const auto process = FirstPage::StartProgram(viewer, {photograph});
    HWND window = nullptr;
    const FirstPage::WaitResult result = FirstPage::WaitForFirstPage(*process, TimeoutMs, window);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (result != FirstPage::WaitResult::Shown) {
        std::fprintf(stderr,
                     result == FirstPage::WaitResult::Ended
                         ? "the viewer ended (exit code %lu) before showing the page\n"
                         : "no page on screen within the time allowed (%lu)\n",
                     FirstPage::ExitCodeOf(*process));
        ::TerminateProcess(process->GetProcessHandle(), 1);
        return -1;
    }
    if (!FirstPage::CloseAndWait(window, *process, TimeoutMs)) {
        std::fputs("the viewer did not end after WM_CLOSE\n", stderr);
        ::TerminateProcess(process->GetProcessHandle(), 1);
    }
    return seconds;
}

} // namespace

int main()
{
    try {
        const std::vector<String> arguments = Brivox::SplitCommandLine();
        const String viewer = arguments.size() > 1
                                  ? arguments[1]
                                  : Brivox::GetExecutableDirectory() + L"..\\viewer\\Kanoru2.exe";
        if (!Brivox::IsFile(viewer)) {
            std::fprintf(stderr, "no viewer at %ls\n", viewer.CStr());
            return 1;
        }
        const String photograph = MakePhotograph();
        std::vector<double> times;
        for (int run = 1; run <= Runs; ++run) {
            const double seconds = TimeOneStart(viewer, photograph);
            if (seconds < 0)
                return 1;
            std::printf("run %2d: %6.1f ms\n", run, seconds * 1000);
            std::fflush(stdout);
            times.push_back(seconds);
        }
        const double median = MedianSeconds(times) * 1000;
        std::printf(
            "start to first page, 4000 x 3000 JPEG: median %.1f ms of %d runs (target under 300 ms: %s)\n",
            median, Runs, median < 300 ? "met" : "missed");
        return 0;
    } catch (const Brivox::Exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
}
