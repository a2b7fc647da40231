#include "image_fixtures.h"

#include "foundation/win32.h"

#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>
#include <png.h>

namespace ImageFixtures {

namespace {

// 0 … 255 … 0 over 510 steps.
unsigned Triangle(int v)
{
    return static_cast<unsigned>(std::abs(v % 510 - 255));
}

} // namespace

Pixel Photo(int x, int y)
{
    return 0xFF000000u | Triangle(x * 3 + y) << 16 | Triangle(y * 4 + x / 2 + 100) << 8 |
           Triangle(x * 2 + y * 2 + 200);
}

Bytes MakeJpeg(int width, int height, const PixelSource& pixels, const SJpegOptions& options)
{
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = options.components;
    info.in_color_space = options.components == 1   ? JCS_GRAYSCALE
                          : options.components == 3 ? JCS_RGB
                                                    : JCS_CMYK;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, options.quality, TRUE);
    if (options.progressive)
        jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    std::vector<JSAMPLE> row(static_cast<std::size_t>(width) * options.components);
    while (info.next_scanline < info.image_height) {
        const int y = static_cast<int>(info.next_scanline);
        for (int x = 0; x < width; ++x) {
            const Pixel p = pixels(x, y);
            const JSAMPLE r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
            JSAMPLE* out = &row[static_cast<std::size_t>(x) * options.components];
            if (options.components == 1) {
                out[0] = g;
            } else if (options.components == 3) {
                out[0] = r;
                out[1] = g;
                out[2] = b;
            } else {
                out[0] = 255 - r;
                out[1] = 255 - g;
                out[2] = 255 - b;
                out[3] = 0;
            }
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    Bytes bytes(buffer, buffer + size);
    jpeg_destroy_compress(&info);
    std::free(buffer);
    return bytes;
}

Pixel PaletteColour(unsigned index)
{
    return (index * 7 % 256) << 16 | (index * 13 % 256) << 8 | (index * 29 % 256);
}

namespace {

int ChannelsOf(int colourType)
{
    switch (colourType) {
    case PNG_COLOR_TYPE_RGB:
        return 3;
    case PNG_COLOR_TYPE_GRAY_ALPHA:
        return 2;
    case PNG_COLOR_TYPE_RGB_ALPHA:
        return 4;
    default:
        return 1;
    }
}

void AppendBytes(png_structp png, png_bytep data, png_size_t count)
{
    auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + count);
}

void NoFlush(png_structp) {}

} // namespace

Bytes MakePng(int width, int height, const std::function<unsigned(int, int, int)>& samples,
              const SPngOptions& options)
{
    Bytes bytes;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(png, &bytes, AppendBytes, NoFlush);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height),
                 options.bitDepth, options.colourType,
                 options.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (options.colourType == PNG_COLOR_TYPE_PALETTE) {
        std::vector<png_color> palette(std::size_t{1} << options.bitDepth);
        for (unsigned i = 0; i < palette.size(); ++i) {
            const Pixel c = PaletteColour(i);
            palette[i] = {static_cast<png_byte>(c >> 16), static_cast<png_byte>(c >> 8),
                          static_cast<png_byte>(c)};
        }
        png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
        if (!options.paletteAlpha.empty())
            png_set_tRNS(png, info, options.paletteAlpha.data(),
                         static_cast<int>(options.paletteAlpha.size()), nullptr);
    }
    if (options.gamma > 0)
        png_set_gAMA(png, info, options.gamma);

    const int channels = ChannelsOf(options.colourType);
    const std::size_t rowBytes = (static_cast<std::size_t>(width) * channels * options.bitDepth + 7) / 8;
    std::vector<Bytes> rows(height, Bytes(rowBytes, 0));
    for (int y = 0; y < height; ++y) {
        std::size_t bit = 0;
        for (int x = 0; x < width; ++x) {
            for (int c = 0; c < channels; ++c, bit += options.bitDepth) {
                const unsigned v = samples(x, y, c) & ((1u << options.bitDepth) - 1);
                unsigned char* at = &rows[y][bit / 8];
                if (options.bitDepth == 16) {
                    at[0] = static_cast<unsigned char>(v >> 8);
                    at[1] = static_cast<unsigned char>(v);
                } else {
                    at[0] |= static_cast<unsigned char>(v << (8 - options.bitDepth - bit % 8));
                }
            }
        }
    }
    std::vector<png_bytep> pointers;
    for (Bytes& row : rows)
        pointers.push_back(row.data());
    png_write_info(png, info);
    png_write_image(png, pointers.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return bytes;
}

std::shared_ptr<Brivox::CFileData> MakeData(const Bytes& bytes, const wchar_t* name)
{
    auto data = std::make_shared<Brivox::CFileData>(name);
    data->GetBytes().assign(bytes.begin(), bytes.end());
    return data;
}

std::vector<Pixel> PixelsOf(const Brivox::CPlane& plane)
{
    std::vector<Pixel> pixels;
    const Brivox::Detail::PlaneBitsLock bits(plane);
    for (int y = 0; y < plane.GetHeight(); ++y) {
        const auto* row = reinterpret_cast<const Pixel*>(bits.Pixel(0, y));
        pixels.insert(pixels.end(), row, row + plane.GetWidth());
    }
    return pixels;
}

std::vector<Pixel> Expected(int width, int height, const PixelSource& pixels)
{
    std::vector<Pixel> expected;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            expected.push_back(pixels(x, y));
    return expected;
}

std::unique_ptr<Brivox::CMemoryPlane32> MakePlane(int width, int height, Pixel fill)
{
    auto plane = std::make_unique<Brivox::CMemoryPlane32>(Brivox::CSize{width, height});
    const Brivox::Detail::PlaneBitsLock bits(*plane);
    for (int y = 0; y < height; ++y)
        std::fill_n(reinterpret_cast<Pixel*>(bits.Pixel(0, y)), width, fill);
    return plane;
}

int MaxColourDifference(const std::vector<Pixel>& a, const std::vector<Pixel>& b)
{
    int most = a.size() == b.size() ? 0 : 256;
    for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i)
        for (int shift = 0; shift < 24; shift += 8)
            most = std::max(most, std::abs(static_cast<int>((a[i] >> shift) & 0xFF) -
                                           static_cast<int>((b[i] >> shift) & 0xFF)));
    return most;
}

std::size_t PeakMemoryGrowth(const std::function<void()>& action)
{
    auto peak = [] {
        PROCESS_MEMORY_COUNTERS counters{};
        counters.cb = sizeof(counters);
        ::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof(counters));
        return std::max(counters.PeakPagefileUsage, counters.PeakWorkingSetSize);
    };
    const std::size_t before = peak();
    action();
    const std::size_t after = peak();
    return after > before ? after - before : 0;
}

std::uint32_t ReadLe32(const Bytes& bytes, std::size_t at)
{
    return static_cast<std::uint32_t>(bytes.at(at)) | static_cast<std::uint32_t>(bytes.at(at + 1)) << 8 |
           static_cast<std::uint32_t>(bytes.at(at + 2)) << 16 |
           static_cast<std::uint32_t>(bytes.at(at + 3)) << 24;
}

} // namespace ImageFixtures
