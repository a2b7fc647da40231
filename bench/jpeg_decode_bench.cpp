// Decodes large JPEG photographs (4000 × 3000, made here) through CImageLoader into a page plane
// and through the plain JPEG library into a buffer, and prints megapixels per second for each.
//
//   jpeg_decode_bench [rounds]
//
// The plain decoder writes the same 32-bit B, G, R, x pixels that the viewer's planes hold, so
// the two figures differ only by what the loader adds around the library.

#include "bench_photo.h"
#include "formats/image_loader.h"
#include "formats/jpeg_loader.h"
#include "imaging/plane.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <vector>

#include <jpeglib.h>

namespace {

constexpr int width = 4000, height = 3000, photoCount = 3;

using Bytes = std::vector<unsigned char>;

Bytes MakePhoto(unsigned seed)
{
    return MakeBenchPhotoJpeg(width, height, seed);
}

// The plain library from memory into one 32-bit buffer.
void DecodePlain(const Brivox::FileBytes& file, std::vector<unsigned char>& pixels)
{
    jpeg_decompress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, file.data(), static_cast<unsigned long>(file.size()));
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_EXT_BGRX;
    jpeg_start_decompress(&info);
    const std::size_t stride = static_cast<std::size_t>(info.output_width) * 4;
    pixels.resize(stride * info.output_height);
    while (info.output_scanline < info.output_height) {
        JSAMPROW rows[16];
        const JDIMENSION count = std::min<JDIMENSION>(16, info.output_height - info.output_scanline);
        for (JDIMENSION i = 0; i < count; ++i)
            rows[i] = &pixels[(info.output_scanline + i) * stride];
        jpeg_read_scanlines(&info, rows, count);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
}

// Megapixels per second over every round of every photograph.
double Measure(int rounds, const std::vector<std::shared_ptr<Brivox::CFileData>>& photos,
               const std::function<void(const std::shared_ptr<Brivox::CFileData>&)>& decode)
{
    decode(photos[0]); // warm up: pools, page plane, caches
    const auto start = std::chrono::steady_clock::now();
    for (int round = 0; round < rounds; ++round)
        for (const auto& photo : photos)
            decode(photo);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return static_cast<double>(width) * height * photos.size() * rounds / 1e6 / seconds;
}

} // namespace

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    std::vector<std::shared_ptr<Brivox::CFileData>> photos;
    for (unsigned i = 0; i < photoCount; ++i) {
        auto data = std::make_shared<Brivox::CFileData>(L"photo.jpg");
        const Bytes photo = MakePhoto(i);
        data->GetBytes().assign(photo.begin(), photo.end());
        std::printf("photo %u: %d x %d, %zu bytes\n", i, width, height, data->GetBytes().size());
        photos.push_back(data);
    }
    Brivox::GetImageLoaderFactories().Replace(
        {{0, std::make_shared<Brivox::DefaultFactory<Brivox::CJpgLoader, Brivox::IImageLoader>>()}});

    std::vector<unsigned char> buffer;
    const double plain =
        Measure(rounds, photos, [&](const auto& photo) { DecodePlain(photo->GetBytes(), buffer); });

    // The document's page plane, made once and reused as the document does.
    Brivox::CMemoryPlane32 page({width, height});
    const double oneShot = Measure(rounds, photos, [&](const auto& photo) {
        Brivox::CImageLoader loader;
        loader.SetOneShot(true);
        loader.Open(photo);
        loader.Load(page, {0, 0});
    });
    const double normal = Measure(rounds, photos, [&](const auto& photo) {
        Brivox::CImageLoader loader;
        loader.Open(photo);
        loader.Load(page, {0, 0});
    });
    // Normal mode split: the decode at Open, and the copy that each Load makes of it.
    const double normalOpen =
        Measure(rounds, photos, [&](const auto& photo) { Brivox::CImageLoader().Open(photo); });
    Brivox::CImageLoader decoded;
    decoded.Open(photos[0]);
    const double copy = Measure(rounds, photos, [&](const auto&) { decoded.Load(page, {0, 0}); });

    std::printf("plain libjpeg-turbo into a buffer:      %7.1f MP/s\n", plain);
    std::printf("CImageLoader one-shot into the page:    %7.1f MP/s (%+.1f %%)\n", oneShot,
                (oneShot / plain - 1) * 100);
    std::printf("CImageLoader normal, Open and Load:     %7.1f MP/s (%+.1f %%)\n", normal,
                (normal / plain - 1) * 100);
    std::printf("  of which Open (decode into own plane): %7.1f MP/s (%+.1f %%)\n", normalOpen,
                (normalOpen / plain - 1) * 100);
    std::printf("  of which Load (copy into the page):    %7.1f MP/s\n", copy);
    return 0;
}
