#pragma once
// The PNG library behind the PNG loader and saver: decoding from bytes in memory into rows of
// 32-bit pixels and encoding rows through a write function. The library's own frames are left by
// a long jump, never by an exception.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

namespace Brivox::Detail {

class PngReader
{
public:
    // Throws ImageLoadException when the library cannot make its structures.
    PngReader();
    PngReader(const PngReader&) = delete;
    PngReader& operator=(const PngReader&) = delete;
    ~PngReader();

    // Reads the signature and the chunks up to the image data and sets every transformation to
    // 8-bit B, G, R, A. False for data that is not PNG, a damaged header (checksums included) and
    // sizes beyond the decodable limits. The bytes must stay alive until Decode has run; data
    // that end before a chunk does are damaged. Metadata the decoder does not use are skipped,
    // and the library sets aside at most 8 MiB for any one chunk.
    [[nodiscard]] bool ReadHeader(const unsigned char* data, std::size_t size);
    int GetWidth() const;
    int GetHeight() const;
    // Whether the file's colour type has an alpha channel (a tRNS chunk does not count).
    bool HasAlphaChannel() const;

    // Decodes into rows of bytes B, G, R, A starting at `top`, `stride` bytes apart; colour types
    // without alpha get 255. Interlaced files are put together in these rows. Throws
    // ImageLoadException when the library fails.
    void Decode(std::uint8_t* top, std::ptrdiff_t stride);

private:
    struct State;
    std::unique_ptr<State> state_;
};

// Writes rows of 8-bit grey, 24-bit B, G, R or 32-bit B, G, R, x pixels as an 8-bit grey or RGB
// PNG with the Sub filter only; `level` is zlib's (-1 for its default, 0 to 9). `write` gets the
// file's bytes in order; an exception it throws comes out unchanged. A library failure is
// ImageSaveException.
void WritePng(const std::function<void(const void*, std::size_t)>& write, const std::uint8_t* top,
              std::ptrdiff_t stride, int width, int height, int bitsPerPixel, int level);

} // namespace Brivox::Detail
