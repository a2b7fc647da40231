#pragma once
// Image files made by the tests themselves: JPEG and PNG through the libraries directly, BMP byte
// by byte, so that the decoders are checked against files they did not write.
#include "formats/file_data.h"
#include "imaging/plane.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace ImageFixtures {

using Bytes = std::vector<unsigned char>;

// A pixel of an expected image, 0xAARRGGBB.
using Pixel = std::uint32_t;
using PixelSource = std::function<Pixel(int x, int y)>;

// A picture with smooth gradients and some detail, as a photograph has.
Pixel Photo(int x, int y);

struct SJpegOptions
{
    int components = 3; // 1 grey, 3 colour, 4 CMYK
    bool progressive = false;
    int quality = 90;
};
Bytes MakeJpeg(int width, int height, const PixelSource& pixels, const SJpegOptions& options = {});

struct SPngOptions
{
    SPngOptions(int colourType, int bitDepth, bool interlaced = false)
        : colourType(colourType), bitDepth(bitDepth), interlaced(interlaced)
    {
    }

    int colourType; // PNG_COLOR_TYPE_*
    int bitDepth;
    bool interlaced;
    // Alpha per palette entry (tRNS) for palette images.
    std::vector<unsigned char> paletteAlpha;
    double gamma = 0; // gAMA when above 0
};
// `samples(x, y, channel)` gives each channel's sample at the file's bit depth; palette images
// get the palette entry i = (i * 7, i * 13, i * 29) mod 256.
Bytes MakePng(int width, int height, const std::function<unsigned(int x, int y, int channel)>& samples,
              const SPngOptions& options);
Pixel PaletteColour(unsigned index);

std::shared_ptr<Brivox::CFileData> MakeData(const Bytes& bytes, const wchar_t* name = L"C:\\test\\image");

// Every pixel of a 32-bit plane, row by row.
std::vector<Pixel> PixelsOf(const Brivox::CPlane& plane);
std::vector<Pixel> Expected(int width, int height, const PixelSource& pixels);
// A 32-bit memory plane of the size filled with the colour (0xAARRGGBB).
std::unique_ptr<Brivox::CMemoryPlane32> MakePlane(int width, int height, Pixel fill = 0x12345678);

// The largest difference of one channel between two images of the same size (alpha ignored).
int MaxColourDifference(const std::vector<Pixel>& a, const std::vector<Pixel>& b);

// How much the process's peak of committed memory grew while `action` ran.
std::size_t PeakMemoryGrowth(const std::function<void()>& action);

std::uint32_t ReadLe32(const Bytes& bytes, std::size_t at);

} // namespace ImageFixtures
