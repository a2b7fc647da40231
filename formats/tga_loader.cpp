#include "formats/tga_loader.h"

#include "formats/byte_order.h"
#include "formats/image_size.h"
#include "imaging/plane.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <exception>
#include <vector>

namespace Brivox {

namespace {

enum ImageType
{
    ColourMapped = 1,
    TrueColour = 2,
    Greyscale = 3,
    RunLength = 8 // added to the three above
};

constexpr std::uint8_t rightToLeft = 0x10;
constexpr std::uint8_t topToBottom = 0x20;

// Sequential reads over the file; a read fails when fewer bytes remain than it asks for.
class CTgaReader
{
public:
    CTgaReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    std::size_t Remaining() const { return size_ - position_; }

    [[nodiscard]] const std::uint8_t* Take(std::size_t count)
    {
        if (count > Remaining())
            return nullptr;
        const std::uint8_t* at = data_ + position_;
        position_ += count;
        return at;
    }

    [[nodiscard]] bool Read(std::uint8_t* out, std::size_t count)
    {
        const std::uint8_t* at = Take(count);
        if (at && count)
            std::memcpy(out, at, count);
        return at != nullptr;
    }

    [[nodiscard]] bool Byte(std::uint8_t& out) { return Read(&out, 1); }

    [[nodiscard]] bool Word(std::uint16_t& out)
    {
        const std::uint8_t* at = Take(2);
        if (at)
            out = Detail::ReadLittle16(at);
        return at != nullptr;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t position_ = 0;
};

// One file taken apart: its header and its pixels in file order, one buffer.
struct STgaImage
{
    std::uint8_t idLength = 0, colourMapType = 0, imageType = 0;
    std::uint16_t mapFirst = 0, mapLength = 0;
    std::uint8_t mapEntryBits = 0;
    std::uint16_t width = 0, height = 0;
    std::uint8_t depth = 0, descriptor = 0;
    // Room for mapFirst + mapLength entries, the file's from entry mapFirst on; the entries below
    // it, which the file does not define, stay 0.
    std::vector<std::uint8_t> colourMap;
    std::vector<std::uint8_t> pixels;

    std::size_t PixelCount() const { return std::size_t{width} * height; }
    std::size_t PixelBytes() const { return depth / 8u; }
};

bool DecodeRunLength(CTgaReader& reader, STgaImage& image)
{
    const std::size_t p = image.PixelBytes(), n = image.PixelCount();
    std::uint8_t* out = image.pixels.data();
    for (std::size_t done = 0; done < n;) {
        // Data that ends between packets leaves the rest of the image as it is.
        std::uint8_t packet = 0;
        if (!reader.Byte(packet))
            return true;
        const std::size_t count = (packet & 0x7F) + 1u;
        if (done + count > n)
            return false;
        if (packet & 0x80) {
            const std::uint8_t* pixel = reader.Take(p);
            if (!pixel)
                return false;
            for (std::size_t i = 0; i < count; ++i)
                std::memcpy(out + (done + i) * p, pixel, p);
        } else if (!reader.Read(out + done * p, count * p)) {
            return false;
        }
        done += count;
    }
    return true;
}

// Follows the header's rules in order and stops at the first that the file breaks.
bool Parse(CTgaReader& reader, STgaImage& image)
{
    if (!reader.Byte(image.idLength) || !reader.Byte(image.colourMapType) || image.colourMapType > 1)
        return false;
    if (!reader.Byte(image.imageType))
        return false;
    const int baseType = image.imageType & ~RunLength;
    if (baseType < ColourMapped || baseType > Greyscale || (image.imageType & ~(RunLength | 3)) != 0)
        return false;
    if ((baseType == ColourMapped) != (image.colourMapType == 1))
        return false;
    if (!reader.Word(image.mapFirst) || !reader.Word(image.mapLength) || !reader.Byte(image.mapEntryBits))
        return false;
    if (image.colourMapType == 1 &&
        (image.mapLength == 0 ||
         (image.mapEntryBits != 16 && image.mapEntryBits != 24 && image.mapEntryBits != 32)))
        return false;
    std::uint16_t xOrigin = 0, yOrigin = 0;
    if (!reader.Word(xOrigin) || !reader.Word(yOrigin) || !reader.Word(image.width) ||
        !reader.Word(image.height))
        return false;
    if (!IsDecodableImageSize(image.width, image.height))
        return false;
    if (!reader.Byte(image.depth))
        return false;
    const bool depthFits =
        image.depth == 8 ||
        (baseType != ColourMapped && (image.depth == 16 || image.depth == 24 || image.depth == 32));
    if (!depthFits || !reader.Byte(image.descriptor) || !reader.Take(image.idLength))
        return false;
    if (image.colourMapType == 1) {
        const std::size_t entryBytes = image.mapEntryBits / 8u;
        image.colourMap.assign((std::size_t{image.mapFirst} + image.mapLength) * entryBytes, 0);
        if (!reader.Read(image.colourMap.data() + image.mapFirst * entryBytes, image.mapLength * entryBytes))
            return false;
    }
    const std::size_t imageBytes = image.PixelCount() * image.PixelBytes();
    if (image.imageType & RunLength) {
        image.pixels.assign(imageBytes, 0);
        return DecodeRunLength(reader, image);
    }
    // The data must be there before the buffer is set aside for it.
    const std::uint8_t* data = reader.Take(imageBytes);
    if (!data)
        return false;
    image.pixels.assign(data, data + imageBytes);
    return true;
}

// Replaces every 8-bit index by its colour-map entry, which makes the image true colour of the
// entries' depth. An index beyond the map refuses the file.
bool ExpandColourMap(STgaImage& image)
{
    const std::size_t entryBytes = image.mapEntryBits / 8u, n = image.PixelCount();
    const std::size_t entries = image.colourMap.size() / entryBytes;
    image.pixels.resize(n * entryBytes);
    // From the last pixel back, so that no index is overwritten before it is read.
    for (std::size_t i = n; i-- > 0;) {
        const std::uint8_t index = image.pixels[i];
        if (index >= entries)
            return false;
        std::memcpy(&image.pixels[i * entryBytes], &image.colourMap[index * entryBytes], entryBytes);
    }
    image.depth = image.mapEntryBits;
    return true;
}

void MirrorRows(STgaImage& image)
{
    const std::size_t p = image.PixelBytes(), rowBytes = std::size_t{image.width} * p;
    for (std::size_t y = 0; y < image.height; ++y) {
        std::uint8_t* row = &image.pixels[y * rowBytes];
        for (std::size_t left = 0, right = image.width - 1u; left < right; ++left, --right)
            std::swap_ranges(row + left * p, row + (left + 1) * p, row + right * p);
    }
    image.descriptor &= ~rightToLeft;
}

// One file pixel as B, G, R, A. 5-bit channels are shifted without filling their low bits; the
// attribute bit of a 16-bit pixel makes it transparent; a 32-bit pixel keeps its alpha byte.
void ConvertPixel(const std::uint8_t* in, int depth, std::uint8_t* out)
{
    switch (depth) {
    case 8:
        out[0] = out[1] = out[2] = in[0];
        out[3] = 255;
        break;
    case 16: {
        const unsigned v = Detail::ReadLittle16(in);
        out[0] = static_cast<std::uint8_t>((v & 0x1F) << 3);
        out[1] = static_cast<std::uint8_t>(((v >> 5) & 0x1F) << 3);
        out[2] = static_cast<std::uint8_t>(((v >> 10) & 0x1F) << 3);
        out[3] = (v & 0x8000) ? 0 : 255;
        break;
    }
    case 24:
        std::memcpy(out, in, 3);
        out[3] = 255;
        break;
    default:
        std::memcpy(out, in, 4);
        break;
    }
}

void ConvertRows(const STgaImage& image, CPlane32& plane)
{
    const std::size_t p = image.PixelBytes(), rowBytes = std::size_t{image.width} * p;
    const Detail::PlaneBitsLock bits(plane);
    for (int y = 0; y < image.height; ++y) {
        const int fileRow = (image.descriptor & topToBottom) ? y : image.height - 1 - y;
        const std::uint8_t* in = &image.pixels[fileRow * rowBytes];
        std::uint8_t* out = bits.Pixel(0, y);
        for (int x = 0; x < image.width; ++x, in += p, out += 4)
            ConvertPixel(in, image.depth, out);
    }
}

} // namespace

CTgaLoader::CTgaLoader() = default;
CTgaLoader::~CTgaLoader() = default;

bool CTgaLoader::Open(const std::shared_ptr<CFileData>& data, bool)
{
    plane_.reset();
    try {
        const auto& bytes = data->GetBytes();
        CTgaReader reader(bytes.data(), bytes.size());
        STgaImage image;
        if (!Parse(reader, image))
            return false;
        if ((image.imageType & ~RunLength) == ColourMapped && !ExpandColourMap(image))
            return false;
        if (image.descriptor & rightToLeft)
            MirrorRows(image);
        auto plane = std::make_unique<CMemoryPlane32>(CSize{image.width, image.height});
        ConvertRows(image, *plane);
        plane_ = std::move(plane);
        return true;
    } catch (const std::exception&) {
        // Memory for the image or its plane could not be had.
        return false;
    }
}

CSize CTgaLoader::GetSize()
{
    return plane_ ? plane_->GetSize() : CSize{0, 0};
}

void CTgaLoader::Load(CPlane& target, CPoint point, bool)
{
    if (!plane_)
        ThrowImageLoadError();
    target.Blit(*plane_, point, {0, 0, plane_->GetWidth(), plane_->GetHeight()});
}

} // namespace Brivox
