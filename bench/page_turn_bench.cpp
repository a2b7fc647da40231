// Page turns through a folder of large JPEG photographs (4000 × 3000, made here) with the default
// settings: after the read-ahead has settled, how long GoNext takes to return with the next page
// on show. Prints the median and the 95th percentile.
//
//   page_turn_bench [pages]

#include "bench_photo.h"
#include "document/document.h"
#include "formats/image_loader.h"
#include "formats/jpeg_loader.h"
#include "foundation/file.h"
#include "settings/config_schema.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <windows.h>

namespace {

class NullView : public IDocView
{
public:
    void UpdateScrollBars() override {}
    void InvalidateView(const Brivox::CRect&) override {}
    void ReportError(const Brivox::String&) override {}
};

void WriteBytes(const std::wstring& path, const std::vector<unsigned char>& bytes)
{
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    if (file == INVALID_HANDLE_VALUE ||
        !::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) {
        std::fprintf(stderr, "cannot write the pages\n");
        std::exit(1);
    }
    ::CloseHandle(file);
}

double Percentile(std::vector<double> values, double fraction)
{
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(index, values.size() - 1)];
}

} // namespace

int main(int argc, char** argv)
{
    const int pages = argc > 1 ? std::max(2, std::atoi(argv[1])) : 40;
    wchar_t temp[MAX_PATH + 1] = {};
    ::GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + L"kanoru_page_turn_bench\\";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    ::CreateDirectoryW((folder + L"pages").c_str(), nullptr);
    std::printf("making %d pages of 4000 x 3000 ...\n", pages);
    for (int i = 0; i < pages; ++i) {
        const std::wstring path = folder + L"pages\\" + std::to_wstring(1000 + i) + L".jpg";
        if (::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES)
            WriteBytes(path, MakeBenchPhotoJpeg(4000, 3000, static_cast<unsigned>(i)));
    }
    Brivox::GetImageLoaderFactories().Replace(
        {{0, std::make_shared<Brivox::DefaultFactory<Brivox::CJpgLoader, Brivox::IImageLoader>>()}});

    Brivox::CConfig settings;
    InitConfig(settings, (folder + L"none.cfg").c_str());
    settings.SetRaw(L"TmpDir", (folder + L"t").c_str());
    NullView view;
    CDocument document(&view, nullptr, nullptr, &settings);
    document.SetViewRect({1920, 1080});
    document.OpenPath((folder + L"pages\\").c_str());

    std::vector<double> turns;
    for (int i = 1; i < pages; ++i) {
        if (!document.WaitIdle(std::chrono::minutes(1)) ||
            !document.GetImageLoader().WaitIdle(std::chrono::minutes(1))) {
            std::fprintf(stderr, "the read-ahead did not settle\n");
            return 1;
        }
        const auto start = std::chrono::steady_clock::now();
        document.GoNext(-1);
        turns.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    const auto ring = document.Snapshot();
    std::printf("ring %zu slots, %d ahead; display copies %s\n", ring.slots.size(), ring.lookAhead,
                document.AreDisplayCopiesInUse() ? "on" : "off");
    std::printf(
        "GoNext(-1) after the read-ahead settled, %zu turns: median %.2f ms, 95th percentile %.2f ms\n",
        turns.size(), Percentile(turns, 0.5), Percentile(turns, 0.95));
    return 0;
}
