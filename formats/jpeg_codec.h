#pragma once
// The JPEG library behind the JPEG loader and saver: decoding from bytes in memory into rows of
// 32-bit pixels and encoding such rows into a C stream. A library error comes back as a thrown
// ImageLoadException; the library's own frames are left by a long jump, never by an exception.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>

namespace Brivox::Detail {

class JpegReader
{
public:
    JpegReader();
    JpegReader(const JpegReader&) = delete;
    JpegReader& operator=(const JpegReader&) = delete;
    ~JpegReader();

    // Reads the header of the stream. False for bytes that are not a JPEG stream, a damaged
    // header, colour data that is neither grey nor colour (CMYK, YCCK) and sizes beyond the
    // decodable limits. The bytes must stay alive until Decode has run.
    [[nodiscard]] bool ReadHeader(const unsigned char* data, std::size_t size);
    int GetWidth() const;
    int GetHeight() const;

    // After ReadHeader: Decode writes the image scaled by 1/2, 1/4 or 1/8 (the library's reduced
    // inverse DCT, much cheaper than a full decode and a resample), the smallest of these whose
    // size is still at least width × height; the full size when none is. ReadHeader sets the full
    // size again.
    void ScaleDownTo(int width, int height);
    // The size Decode writes.
    int GetOutputWidth() const;
    int GetOutputHeight() const;

    // Decodes the image read by ReadHeader into rows of bytes B, G, R, 255 starting at `top`,
    // `stride` bytes apart. A stream that ends early ends as if it were complete. Throws
    // ImageLoadException when the library fails.
    void Decode(std::uint8_t* top, std::ptrdiff_t stride);

private:
    struct State;
    std::unique_ptr<State> state_;
};

class JpegWriter
{
public:
    // Baseline JPEG with the library's defaults (quality 75, 4:2:0).
    JpegWriter();
    JpegWriter(const JpegWriter&) = delete;
    JpegWriter& operator=(const JpegWriter&) = delete;
    ~JpegWriter();

    void SetQuality(int quality);
    // Writes rows of 32-bit pixels (bytes B, G, R and an ignored fourth byte) to the stream.
    // Throws ImageLoadException when the library fails (a write error included).
    void Write(std::FILE* stream, const std::uint8_t* top, std::ptrdiff_t stride, int width, int height);

private:
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace Brivox::Detail
