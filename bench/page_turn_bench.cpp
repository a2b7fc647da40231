// Page turns through folders of large JPEG photographs (made here) with the default settings:
// after the read-ahead has settled, how long GoNext takes to return with the next page on show,
// for single pages and for spreads; then cold turns with nothing read ahead on one processor.
// Prints the median and the 95th percentile of each; last, the cache sizes and the memory they
// may hold for 6000 × 4000 photographs at 2 and 8 GiB, beside the peak private memory.
//
//   page_turn_bench [pages [photographs]]
//   page_turn_bench cold        (the cold turns alone, then the time of each of their steps)

#include "bench_pages.h"
#include "bench_timing.h"
#include "document/document.h"
#include "formats/file_data.h"
#include "formats/image_loader.h"
#include "formats/jpeg_loader.h"
#include "foundation/file.h"
#include "imaging/plane.h"
#include "settings/config_schema.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <windows.h>

#include <psapi.h>

using Brivox::CSize;

namespace {

class NullView : public IDocView
{
public:
    void UpdateScrollBars() override {}
    void InvalidateView(const Brivox::CRect&) override {}
    void ReportError(const Brivox::String&) override {}
};

// Turns through the folder, each turn timed from the call to its return; `settle` waits for the
// read-ahead before each turn.
std::vector<double> TimeTurns(Brivox::CConfig& settings, const std::wstring& folder, int turns, bool settle)
{
    NullView view;
    CDocument document(&view, nullptr, nullptr, &settings);
    document.SetViewRect({1920, 1080});
    document.OpenPath(folder.c_str());
    std::vector<double> times;
    for (int i = 0; i < turns; ++i) {
        if (settle && (!document.WaitIdle(std::chrono::minutes(1)) ||
                       !document.GetImageLoader().WaitIdle(std::chrono::minutes(1)))) {
            std::fprintf(stderr, "the read-ahead did not settle\n");
            std::exit(1);
        }
        const auto start = std::chrono::steady_clock::now();
        document.GoNext(-1);
        times.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    const auto ring = document.Snapshot();
    std::printf("  ring %zu slots, %d ahead; display copies %s; page %d x %d\n", ring.slots.size(),
                ring.lookAhead, document.AreDisplayCopiesInUse() ? "on" : "off", document.GetPageSize().cx,
                document.GetPageSize().cy);
    return times;
}

// The larger of the private bytes and the working set: Wine reports no private bytes.
std::uint64_t PrivateBytes()
{
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof(counters);
    ::GetProcessMemoryInfo(::GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                           sizeof(counters));
    return std::max<std::uint64_t>(counters.PrivateUsage, counters.WorkingSetSize);
}

// Pages through the folder with the memory the probe reports, and sets what the caches may hold
// beside the most private memory the process took above where it started.
void MeasureMemory(Brivox::CConfig& settings, const std::wstring& folder, int pages, std::uint64_t available,
                   CSize decoded, std::uint64_t fileBytes)
{
    const std::uint64_t start = PrivateBytes();
    std::uint64_t peak = 0;
    NullView view;
    {
        CDocument document(&view, nullptr, nullptr, &settings,
                           {[available] { return available; }, [] { return std::uint64_t{0}; }});
        document.SetViewRect({1920, 1080});
        document.OpenPath(folder.c_str());
        std::uint64_t page = 0, copy = 0;
        for (int i = 0; i < pages; ++i) {
            if (!document.WaitIdle(std::chrono::minutes(1)) ||
                !document.GetImageLoader().WaitIdle(std::chrono::minutes(1)))
                std::fprintf(stderr, "the read-ahead did not settle\n");
            peak = std::max(peak, PrivateBytes() - std::min(PrivateBytes(), start));
            const CSize size = document.GetPageSize();
            page = std::max<std::uint64_t>(page, std::uint64_t(size.cx) * size.cy * 4);
            if (const auto shown = document.GetDisplayCopy())
                copy =
                    std::max<std::uint64_t>(copy, std::uint64_t(shown->GetWidth()) * shown->GetHeight() * 4);
            document.GoNext(-1);
        }
        const auto ring = document.Snapshot();
        const std::uint64_t slots = ring.slots.size();
        // The loader keeps 5 (spread view) or 3 decoded files per slot of the ring.
        const std::uint64_t loaderEntries = settings.GetBool(L"LoaderCaching")
                                                ? slots * (settings.GetInt(L"ImageSpreadView_") != 0 ? 5 : 3)
                                                : 0;
        const std::uint64_t decodedBytes = std::uint64_t(decoded.cx) * decoded.cy * 4 + fileBytes;
        const std::uint64_t allowed = slots * (page + copy) + loaderEntries * decodedBytes + 4 * page;
        std::printf("probe %.0f GiB: ring %llu slots, %d ahead, display copies %s, loader %llu files; may "
                    "hold %.0f MiB, "
                    "peak private or resident %.0f MiB above the start (%s)\n",
                    double(available) / (1 << 30), static_cast<unsigned long long>(slots), ring.lookAhead,
                    document.AreDisplayCopiesInUse() ? "on" : "off",
                    static_cast<unsigned long long>(loaderEntries), double(allowed) / (1 << 20),
                    double(peak) / (1 << 20), double(peak) <= double(allowed) * 1.1 ? "within" : "beyond");
    }
}

void Report(const char* what, const std::vector<double>& times)
{
    std::printf("%s, %zu turns: median %.2f ms, 95th percentile %.2f ms\n", what, times.size(),
                Percentile(times, 0.5), Percentile(times, 0.95));
}

// The steps of a cold turn one at a time, as the document takes them with the default settings:
// the file read, the decode at the size the scale hint allows (into a fresh heap plane filled with
// the background first), the reduction to the reduce-on-load size and the display copy for the
// 1920 × 1080 view. Prints the median of each over the pages.
void TimeColdSteps(Brivox::CConfig& settings, const std::wstring& folder, int pages)
{
    const int drawMode = settings.GetInt(L"DrawMode_");
    // The default reduce-on-load size is 3200 × 2400 by area: these photographs reduce to it exactly.
    const CSize reduced{3200, 2400};
    Brivox::AutoStretchingLayout layout;
    layout.SetShrinkAllowed(true);
    layout.SetViewRect({0, 0, 1920, 1080});
    layout.SetImageRect({0, 0, reduced.cx, reduced.cy});
    const CSize scaled = layout.GetScaledImageSize();
    std::vector<double> read, fill, decode, reduce, copy, total;
    CSize drawn;
    auto lap = [](std::chrono::steady_clock::time_point& since, std::vector<double>& into) {
        const auto now = std::chrono::steady_clock::now();
        into.push_back(std::chrono::duration<double, std::milli>(now - since).count());
        since = now;
    };
    for (int i = 0; i < pages; ++i) {
        const auto start = std::chrono::steady_clock::now();
        auto at = start;
        auto data =
            std::make_shared<Brivox::CExistFileData>((folder + std::to_wstring(1000 + i) + L".jpg").c_str());
        lap(at, read);
        Brivox::CImageLoader loader;
        loader.SetOneShot(true);
        loader.Open(data);
        drawn = loader.SetScaleHint(reduced);
        Brivox::CMemoryPlane32 plane(drawn);
        plane.Fill(0);
        lap(at, fill);
        loader.Load(plane, {0, 0});
        lap(at, decode);
        const auto page = CDocument::NewPlane();
        CDocument::Resample(*page, plane, reduced, drawMode);
        lap(at, reduce);
        const auto display = CDocument::NewPlane();
        CDocument::Resample(*display, *page, scaled, drawMode);
        lap(at, copy);
        total.push_back(std::chrono::duration<double, std::milli>(at - start).count());
    }
    std::printf("cold steps, draw mode %d, medians of %d pages: read %.2f ms; plane and fill %.2f ms; decode "
                "at %d x %d %.2f ms; reduce to %d x %d %.2f ms; display copy %d x %d %.2f ms; sum %.2f ms\n",
                drawMode, pages, Percentile(read, 0.5), Percentile(fill, 0.5), drawn.cx, drawn.cy,
                Percentile(decode, 0.5), reduced.cx, reduced.cy, Percentile(reduce, 0.5), scaled.cx,
                scaled.cy, Percentile(copy, 0.5), Percentile(total, 0.5));
}

} // namespace

int main(int argc, char** argv)
{
    // "cold" runs the cold turns alone.
    const bool coldOnly = argc > 1 && std::string(argv[1]) == "cold";
    const int pages = argc > 1 && !coldOnly ? std::max(3, std::atoi(argv[1])) : 40;
    wchar_t temp[MAX_PATH + 1] = {};
    ::GetTempPathW(MAX_PATH, temp);
    const std::wstring root = std::wstring(temp) + L"kanoru_page_turn_bench\\";
    ::CreateDirectoryW(root.c_str(), nullptr);
    const std::wstring large = MakeBenchPages(root, L"large", 6, 4608, 3456);
    Brivox::GetImageLoaderFactories().Replace(
        {{0, std::make_shared<Brivox::DefaultFactory<Brivox::CJpgLoader, Brivox::IImageLoader>>()}});

    Brivox::CConfig settings;
    InitConfig(settings, (root + L"none.cfg").c_str());
    settings.SetRaw(L"TmpDir", (root + L"t").c_str());
    // The default settings: spreads on, display copies for a software draw mode.
    if (!coldOnly) {
        const std::wstring singles = MakeBenchPages(root, L"pages", pages, 4000, 3000);
        const std::wstring spreads = MakeBenchPages(root, L"spreads", pages, 3000, 4000);
        Report("warm turns, 4000 x 3000 singles", TimeTurns(settings, singles, pages - 1, true));
        Report("warm turns, 3000 x 4000 spreads", TimeTurns(settings, spreads, pages / 2 - 1, true));
    }

    // Nothing read ahead, one processor: each turn decodes, reduces and scales its page.
    settings.SetBool(L"ImageCache", false);
    settings.SetBool(L"LoaderCaching", false);
    ::SetProcessAffinityMask(::GetCurrentProcess(), 1);
    Report("cold turns, 4608 x 3456 on one processor", TimeTurns(settings, large, 5, false));
    if (coldOnly) {
        TimeColdSteps(settings, large, 6);
        return 0;
    }

    // What the caches hold of 6000 x 4000 photographs at two amounts of memory.
    ::SetProcessAffinityMask(::GetCurrentProcess(), ~DWORD_PTR{0} >> 1);
    settings.SetBool(L"ImageCache", true);
    settings.SetBool(L"LoaderCaching", true);
    const int photos = argc > 2 ? std::max(3, std::atoi(argv[2])) : 60;
    const std::wstring huge = MakeBenchPages(root, L"huge", photos, 6000, 4000);
    WIN32_FILE_ATTRIBUTE_DATA facts{};
    ::GetFileAttributesExW((huge + L"1000.jpg").c_str(), GetFileExInfoStandard, &facts);
    for (const std::uint64_t gib : {2ull, 8ull})
        MeasureMemory(settings, huge, photos, gib << 30, {6000, 4000}, facts.nFileSizeLow);
    return 0;
}
