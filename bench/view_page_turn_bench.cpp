// Page turns on the main window, timed to the end of the paint that shows the page: the
// controller runs in-process, a hooker after it stamps the end of each WM_PAINT with the page on
// show. First single turns by the right-arrow key to 4000 × 3000 JPEG pages the read-ahead already
// holds; then the key held (repeats every 33 ms) through a folder of 200 JPEGs of 1700 × 1200,
// with the gaps between two painted pages. Prints the median, the 95th percentile and the maximum.
//
//   view_page_turn_bench [turns]

#include "bench_pages.h"
#include "bench_timing.h"
#include "foundation/file_name.h"
#include "ui/msg_hook.h"
#include "ui/window.h"
#include "viewer/app_window.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <windows.h>

namespace {

using Clock = std::chrono::steady_clock;

constexpr const wchar_t* BaseName = L"view_page_turn_bench";

// Pages of one size in a folder of their own, made once and kept for later runs.
std::wstring MakePages(const wchar_t* name, int count, int width, int height)
{
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    return MakeBenchPages(std::wstring(temp) + L"kanoru-view-bench\\", name, count, width, height);
}

void PrintFigures(const char* what, const std::vector<double>& values)
{
    std::printf("%s: %zu, median %.1f ms, 95th percentile %.1f ms, maximum %.1f ms\n", what, values.size(),
                Percentile(values, 0.5), Percentile(values, 0.95), Percentile(values, 1.0));
}

// The end of each paint with the index of the file on show, stamped after the controller painted.
class CPaintStamps : public Brivox::IMsgHooker
{
public:
    struct SStamp
    {
        Clock::time_point time;
        int index;
    };

    explicit CPaintStamps(CAppWindow& app) : m_app(app) {}

    bool HookMessage(Brivox::SMessage& message) override
    {
        if (message.message == WM_PAINT) {
            const SStamp stamp{Clock::now(), m_app.GetDocument()->GetCurrentIndex()};
            std::lock_guard<std::mutex> lock(m_lock);
            m_stamps.push_back(stamp);
            m_changed.notify_all();
        }
        return false;
    }

    // The first paint since `from` that showed the index; false after a minute without one.
    bool WaitFor(int index, Clock::time_point from, Clock::time_point& painted)
    {
        std::unique_lock<std::mutex> lock(m_lock);
        return m_changed.wait_for(lock, std::chrono::minutes(1), [&] {
            for (const SStamp& stamp : m_stamps)
                if (stamp.time >= from && stamp.index == index) {
                    painted = stamp.time;
                    return true;
                }
            return false;
        });
    }

    bool Painted(int index, Clock::time_point from)
    {
        std::lock_guard<std::mutex> lock(m_lock);
        return std::any_of(m_stamps.begin(), m_stamps.end(),
                           [&](const SStamp& stamp) { return stamp.time >= from && stamp.index == index; });
    }

    std::vector<SStamp> Take()
    {
        std::lock_guard<std::mutex> lock(m_lock);
        std::vector<SStamp> stamps;
        stamps.swap(m_stamps);
        return stamps;
    }

private:
    CAppWindow& m_app;
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::vector<SStamp> m_stamps;
};

void Settle(CAppWindow& app)
{
    CDocument& document = *app.GetDocument();
    if (!document.WaitIdle(std::chrono::minutes(1)) ||
        !document.GetImageLoader().WaitIdle(std::chrono::minutes(1))) {
        std::fprintf(stderr, "the read-ahead did not settle\n");
        std::exit(1);
    }
}

int CurrentIndex(CAppWindow& app)
{
    int index = -1;
    app.RunOnWindowThread([&] { index = app.GetDocument()->GetCurrentIndex(); });
    return index;
}

void TimeSettledTurns(const std::wstring& folder, int turns)
{
    CAppWindow app(BaseName);
    app.RunOnWindowThread([&] {
        app.GetSettings().SetBool(L"LinkFirstAndLast", false);
        app.ApplySettings();
    });
    app.Start({folder.c_str()}, SW_SHOWNORMAL);
    CPaintStamps stamps(app);
    app.RunOnWindowThread([&] { app.GetWindow().GetHookList()->Add(&stamps); });
    const HWND hwnd = app.GetWindow().GetHandle();
    const Brivox::CSize client = app.GetWindow().GetClientSize();
    std::vector<double> times;
    for (int i = 0; i < turns; ++i) {
        Settle(app);
        const int next = CurrentIndex(app) + 1;
        const Clock::time_point start = Clock::now();
        ::PostMessageW(hwnd, WM_KEYDOWN, VK_RIGHT, 1);
        ::PostMessageW(hwnd, WM_KEYUP, VK_RIGHT, 1 | 3u << 30);
        Clock::time_point painted;
        if (!stamps.WaitFor(next, start, painted)) {
            std::fprintf(stderr, "page %d was not painted\n", next);
            std::exit(1);
        }
        times.push_back(std::chrono::duration<double, std::milli>(painted - start).count());
    }
    std::printf("client %d x %d\n", static_cast<int>(client.cx), static_cast<int>(client.cy));
    PrintFigures("read-ahead turn to the end of its paint", times);
    app.RunOnWindowThread([&] { app.GetWindow().Close(); });
    app.WaitUntilClosed();
}

void TimeHeldKey(const std::wstring& folder, int pages)
{
    CAppWindow app(BaseName);
    app.RunOnWindowThread([&] {
        app.GetSettings().SetBool(L"LinkFirstAndLast", false);
        app.ApplySettings();
    });
    app.Start({folder.c_str()}, SW_SHOWNORMAL);
    CPaintStamps stamps(app);
    app.RunOnWindowThread([&] { app.GetWindow().GetHookList()->Add(&stamps); });
    const HWND hwnd = app.GetWindow().GetHandle();
    Settle(app);
    const Clock::time_point start = Clock::now();
    Clock::time_point next = start;
    // Repeats as the keyboard sends them while the key is held, until the last page is painted.
    for (int i = 0; !stamps.Painted(pages - 1, start); ++i) {
        if (Clock::now() - start > std::chrono::minutes(5)) {
            std::fprintf(stderr, "the last page was not painted\n");
            break;
        }
        ::PostMessageW(hwnd, WM_KEYDOWN, VK_RIGHT, i == 0 ? 1 : 1 | 1u << 30);
        next += std::chrono::milliseconds(33);
        std::this_thread::sleep_until(next);
    }
    ::PostMessageW(hwnd, WM_KEYUP, VK_RIGHT, 1 | 3u << 30);

    // The first page was on show before the key went down.
    std::set<int> seen{0};
    std::vector<Clock::time_point> firstPaints;
    for (const CPaintStamps::SStamp& stamp : stamps.Take())
        if (stamp.time >= start && seen.insert(stamp.index).second)
            firstPaints.push_back(stamp.time);
    std::vector<double> gaps;
    for (std::size_t i = 11; i < firstPaints.size(); ++i)
        gaps.push_back(
            std::chrono::duration<double, std::milli>(firstPaints[i] - firstPaints[i - 1]).count());
    std::printf("held key: %zu of %d pages painted\n", seen.size(), pages);
    PrintFigures("gap between two painted pages after the first 10", gaps);
    app.RunOnWindowThread([&] { app.GetWindow().Close(); });
    app.WaitUntilClosed();
}

} // namespace

int main(int argc, char** argv)
{
    const int turns = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    TimeSettledTurns(MakePages(L"4000x3000", turns + 1, 4000, 3000), turns);
    TimeHeldKey(MakePages(L"1700x1200", 200, 1700, 1200), 200);
    for (const wchar_t* suffix : {L".cfg", L".key.cfg"})
        ::DeleteFileW(
            Brivox::CFileName::FromExecutableDirectory(Brivox::String(BaseName) + suffix).ToString().CStr());
    return 0;
}
