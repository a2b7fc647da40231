// Opens a folder tree of 20,000 empty files img0.jpg … img19999.jpg in 20 folders as the viewer
// does (key mode 6, the default rules, the JPEG loader and the ZIP reader registered) and prints
// the time of the whole open beside the time of listing the files alone.
//
//   file_list_bench [folder]
//
// The tree is made below the folder (default: the temporary folder) and deleted afterwards.

#include "document/file_list.h"

#include "formats/archiver.h"
#include "formats/image_loader.h"
#include "formats/jpeg_loader.h"
#include "formats/zip_archiver.h"
#include "foundation/file_system.h"
#include "foundation/thread_pool.h"
#include "foundation/win32.h"

#include <chrono>
#include <cstdio>
#include <string>

namespace {

constexpr int folderCount = 20;
constexpr int fileCount = 20000;
constexpr int runs = 5;

bool MakeTree(const std::wstring& top)
{
    if (!::CreateDirectoryW(top.c_str(), nullptr))
        return false;
    for (int folder = 0; folder < folderCount; ++folder) {
        const std::wstring path = top + L"\\folder" + std::to_wstring(folder);
        if (!::CreateDirectoryW(path.c_str(), nullptr))
            return false;
    }
    for (int i = 0; i < fileCount; ++i) {
        const std::wstring path =
            top + L"\\folder" + std::to_wstring(i % folderCount) + L"\\img" + std::to_wstring(i) + L".jpg";
        HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return false;
        ::CloseHandle(file);
    }
    return true;
}

template <class F> double Seconds(F f)
{
    const auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

FileAddRules DefaultRules()
{
    // The settings' defaults: suffixes filtered, both lists empty (one empty piece each).
    FileAddRules rules;
    rules.ignoreBySuffix = true;
    rules.acceptedSuffixes = {Brivox::String()};
    rules.ignoredSuffixes = {Brivox::String()};
    return rules;
}

} // namespace

int main(int argc, char** argv)
{
    wchar_t temp[MAX_PATH + 1] = {};
    ::GetTempPathW(MAX_PATH, temp);
    std::wstring base = temp;
    if (argc > 1) {
        const std::string given = argv[1];
        base = std::wstring(given.begin(), given.end()) + L"\\";
    }
    const std::wstring top = base + L"kanoru_file_list_bench_" + std::to_wstring(::GetCurrentProcessId());

    Brivox::GetImageLoaderFactories().Replace(
        {{0, std::make_shared<Brivox::DefaultFactory<Brivox::CJpgLoader, Brivox::IImageLoader>>()}});
    Brivox::GetArchiverFactories().Replace(
        {{0, std::make_shared<Brivox::DefaultFactory<Brivox::CZipArchiver, Brivox::IArchiver>>()}});

    std::printf("making %d files in %d folders below %ls\n", fileCount, folderCount, top.c_str());
    if (!MakeTree(top)) {
        std::printf("the files could not be made\n");
        Brivox::DeleteTree(Brivox::String(top + L"\\"), true);
        return 1;
    }

    const Brivox::String folder(top + L"\\");
    std::printf("%d processors\n", Brivox::GetProcessorCount());
    for (int run = 1; run <= runs; ++run) {
        int listed = 0;
        const double listing =
            Seconds([&] { listed = static_cast<int>(Brivox::ListFiles(folder, -1).size()); });
        CFileList list{Brivox::SArchiverContext{}};
        list.PushTempFolder(Brivox::String(top + L"_extract\\"));
        list.SetKeyMode(KeyByNumbers);
        const double open = Seconds([&] { list.OpenPath(folder, DefaultRules()); });
        std::printf("run %d: OpenPath, key mode 6: %.3f s (%d entries); ListFiles alone: %.3f s (%d files)\n",
                    run, open, list.GetCount(), listing, listed);
    }

    Brivox::DeleteTree(folder, true);
    return 0;
}
