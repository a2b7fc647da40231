// Reads every entry of a ZIP archive of 500 JPEG-sized files (1 MB each) with the built-in reader,
// once stored and once deflated, and prints the speed in MB per second. The reader checks every
// entry's CRC-32, as other readers (unzip) do, so the figures compare fairly with theirs.
//
//   zip_read_bench [folder] [--keep]
//
// The archives are made in the folder (default: the temporary folder) and deleted afterwards
// unless --keep is given, so that other readers (unzip -p) can be timed on the same files.
// The entries hold nearly random bytes between JPEG markers, about as compressible as real JPEG data.

#include "formats/zip_archiver.h"

#include "formats/zip_fixture.h"
#include "foundation/encoding.h"
#include "foundation/win32.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int entryCount = 500;
constexpr std::size_t entrySize = 1000000;

std::string JpegLikeData(unsigned seed)
{
    std::string data(entrySize, '\0');
    std::uint32_t state = seed * 2654435761u + 7;
    // Mostly random bytes with a surplus of zeros: deflate saves about 3 % on them, as it does on
    // real JPEG data, so the deflated archive holds Huffman-coded blocks, not stored ones.
    const auto next = [&state] {
        state = state * 1664525u + 1013904223u;
        return state >> 24;
    };
    for (char& c : data)
        c = static_cast<char>(next() < 24 ? 0 : next());
    data.replace(0, 4, "\xFF\xD8\xFF\xE0");
    data.replace(data.size() - 2, 2, "\xFF\xD9");
    return data;
}

bool WriteArchive(const std::wstring& path, bool deflate)
{
    FILE* file = ::_wfopen(path.c_str(), L"wb");
    if (!file)
        return false;
    ZipFixture::Writer writer;
    bool written = true;
    for (int i = 0; i < entryCount && written; ++i) {
        ZipFixture::Entry entry;
        char name[32];
        std::snprintf(name, sizeof name, "pages/%04d.jpg", i);
        entry.name = name;
        entry.data = JpegLikeData(static_cast<unsigned>(i));
        entry.deflate = deflate;
        writer.Add(entry);
        const std::string bytes = writer.Take();
        written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    }
    writer.Finish();
    const std::string tail = writer.Take();
    written = written && std::fwrite(tail.data(), 1, tail.size(), file) == tail.size();
    return std::fclose(file) == 0 && written;
}

// Seconds to open the archive and extract every entry; the bytes read count into total.
double ReadAll(const std::wstring& path, double& totalMegabytes)
{
    const auto start = std::chrono::steady_clock::now();
    Brivox::CZipArchiver zip;
    zip.OpenOrThrow(Brivox::String(path));
    Brivox::FileBytes bytes;
    std::uint64_t total = 0;
    for (unsigned i = 0; i < zip.GetEntryCount(); ++i) {
        zip.ExtractToMemory(i, bytes);
        total += bytes.size();
    }
    totalMegabytes = static_cast<double>(total) / 1e6;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main(int argc, char** argv)
{
    std::wstring folder;
    bool keep = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--keep") == 0)
            keep = true;
        else
            folder = Brivox::GetDefaultEncoding().ToString(argv[i]).CStr();
    }
    if (folder.empty()) {
        wchar_t temp[MAX_PATH + 1] = {};
        ::GetTempPathW(MAX_PATH, temp);
        folder = temp;
    }
    if (folder.back() != L'\\' && folder.back() != L'/')
        folder += L'\\';

    for (const bool deflate : {false, true}) {
        const std::wstring path = folder + (deflate ? L"bench_deflated.zip" : L"bench_stored.zip");
        if (!WriteArchive(path, deflate)) {
            std::printf("cannot write %ls\n", path.c_str());
            return 1;
        }
        // The first round warms the file cache; the best of the others counts.
        double best = 0, megabytes = 0;
        try {
            for (int round = 0; round < 4; ++round) {
                const double seconds = ReadAll(path, megabytes);
                best = round == 1 || (round > 1 && seconds < best) ? seconds : best;
            }
        } catch (const std::exception& e) {
            std::printf("reading failed: %s\n", e.what());
            return 1;
        }
        std::printf("%-8s %d entries, %.0f MB in %.3f s: %.0f MB/s\n", deflate ? "deflated" : "stored",
                    entryCount, megabytes, best, megabytes / best);
        if (!keep)
            ::DeleteFileW(path.c_str());
    }
    return 0;
}
