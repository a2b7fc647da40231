#include "formats/png_codec.h"

#include "formats/image_errors.h"
#include "formats/image_size.h"

#include <algorithm>
#include <cstring>
#include <exception>

#include <png.h>

namespace Brivox::Detail {

namespace {

constexpr std::size_t signatureSize = 8;

// The library's error callback: straight back to the codec frame that called into the library.
// Its default callback would print the message first.
[[noreturn]] void JumpOut(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

void Silent(png_structp, png_const_charp) {}

// Runs one step of library calls. A library error jumps back here and the step counts as failed.
// The step and this frame hold no objects with destructors: the jump skips every frame between.
template <class Step> bool Guarded(png_structp png, const Step& step)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    step();
    return true;
}

struct MemoryInput
{
    const unsigned char* data = nullptr;
    std::size_t size = 0;
    std::size_t position = 0;
};

// Data that run out are a damaged file: a chunk that only declares its length is never read
// (or skipped) as if the file held it.
void ReadFromMemory(png_structp png, png_bytep out, png_size_t count)
{
    auto& input = *static_cast<MemoryInput*>(png_get_io_ptr(png));
    if (count > input.size - input.position)
        png_error(png, "data run out");
    std::memcpy(out, input.data + input.position, count);
    input.position += count;
}

// What the library sets aside for one chunk (a compressed profile, a cached unknown chunk).
constexpr png_alloc_size_t chunkMemoryLimit = 8 << 20;

// Chunks whose contents this decoder never uses, and that the library would read whole into a
// buffer of their declared length: they are skipped instead, as unknown chunks are.
constexpr png_byte skippedChunks[] = "eXIf\0iTXt\0pCAL\0sCAL\0sPLT\0tEXt\0zTXt";

struct FunctionOutput
{
    const std::function<void(const void*, std::size_t)>* write = nullptr;
    // The first exception of the write function; later bytes are dropped.
    std::exception_ptr failure;
};

// Never leaves by an exception or a jump: it may not unwind the library's frames.
void WriteToFunction(png_structp png, png_bytep data, png_size_t count)
{
    auto& output = *static_cast<FunctionOutput*>(png_get_io_ptr(png));
    if (output.failure)
        return;
    try {
        (*output.write)(data, count);
    } catch (...) {
        output.failure = std::current_exception();
    }
}

void FlushNothing(png_structp) {}

} // namespace

struct PngReader::State
{
    png_structp png = nullptr;
    png_infop info = nullptr;
    MemoryInput input;
    int width = 0;
    int height = 0;
    bool alpha = false;
    int passes = 1;
};

PngReader::PngReader() : state_(std::make_unique<State>())
{
    State& s = *state_;
    s.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, JumpOut, Silent);
    if (s.png)
        s.info = png_create_info_struct(s.png);
    if (!s.info) {
        png_destroy_read_struct(&s.png, nullptr, nullptr);
        ThrowImageLoadError();
    }
}

PngReader::~PngReader()
{
    png_destroy_read_struct(&state_->png, &state_->info, nullptr);
}

bool PngReader::ReadHeader(const unsigned char* data, std::size_t size)
{
    State& s = *state_;
    if (size < signatureSize || png_sig_cmp(data, 0, signatureSize) != 0)
        return false;
    s.input = {data, size, signatureSize};
    png_set_read_fn(s.png, &s.input, ReadFromMemory);
    png_set_sig_bytes(s.png, static_cast<int>(signatureSize));
    png_set_user_limits(s.png, 65535, 65535);
    png_set_chunk_malloc_max(s.png, chunkMemoryLimit);
    const auto readInfo = [&s] {
        // Each name takes four letters and a NUL.
        png_set_keep_unknown_chunks(s.png, PNG_HANDLE_CHUNK_NEVER, skippedChunks,
                                    static_cast<int>(sizeof skippedChunks / 5));
        png_read_info(s.png, s.info);
    };
    if (!Guarded(s.png, readInfo) ||
        !IsDecodableImageSize(png_get_image_width(s.png, s.info), png_get_image_height(s.png, s.info)))
        return false;
    return Guarded(s.png, [&s] {
        png_structp png = s.png;
        const int colourType = png_get_color_type(png, s.info);
        const int depth = png_get_bit_depth(png, s.info);
        const bool grey = (colourType & PNG_COLOR_MASK_COLOR) == 0;
        if (colourType == PNG_COLOR_TYPE_PALETTE || (grey && depth < 8) ||
            png_get_valid(png, s.info, PNG_INFO_tRNS))
            png_set_expand(png);
        if (depth == 16)
            png_set_strip_16(png);
        if (grey)
            png_set_gray_to_rgb(png);
        s.alpha = (colourType & PNG_COLOR_MASK_ALPHA) != 0;
        if (!s.alpha)
            png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
        double fileGamma = 0;
        if (png_get_gAMA(png, s.info, &fileGamma))
            png_set_gamma(png, 2.2, fileGamma);
        // Both must be in force before the update, or interlaced rows come out wrong.
        png_set_bgr(png);
        s.passes = png_set_interlace_handling(png);
        png_read_update_info(png, s.info);
        s.width = static_cast<int>(png_get_image_width(png, s.info));
        s.height = static_cast<int>(png_get_image_height(png, s.info));
        if (png_get_channels(png, s.info) != 4 || png_get_rowbytes(png, s.info) != std::size_t(s.width) * 4)
            png_error(png, "unexpected row layout");
    });
}

int PngReader::GetWidth() const
{
    return state_->width;
}

int PngReader::GetHeight() const
{
    return state_->height;
}

bool PngReader::HasAlphaChannel() const
{
    return state_->alpha;
}

void PngReader::Decode(std::uint8_t* top, std::ptrdiff_t stride)
{
    State& s = *state_;
    const bool done = Guarded(s.png, [&s, top, stride] {
        // Every pass reads every row: the library fills in the pixels of its pass.
        for (int pass = 0; pass < s.passes; ++pass)
            for (int y = 0; y < s.height; ++y)
                png_read_row(s.png, top + y * stride, nullptr);
        png_read_end(s.png, nullptr);
    });
    if (!done)
        ThrowImageLoadError();
}

namespace {

struct WriteStructures
{
    png_structp png = nullptr;
    png_infop info = nullptr;

    WriteStructures()
    {
        png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, JumpOut, Silent);
        if (png)
            info = png_create_info_struct(png);
        if (!info) {
            png_destroy_write_struct(&png, nullptr);
            ThrowImageSaveError();
        }
    }
    WriteStructures(const WriteStructures&) = delete;
    WriteStructures& operator=(const WriteStructures&) = delete;
    ~WriteStructures() { png_destroy_write_struct(&png, &info); }
};

} // namespace

void WritePng(const std::function<void(const void*, std::size_t)>& write, const std::uint8_t* top,
              std::ptrdiff_t stride, int width, int height, int bitsPerPixel, int level)
{
    // New structures for every image: the library's write state cannot start a second one.
    WriteStructures s;
    FunctionOutput output{&write, nullptr};
    png_set_write_fn(s.png, &output, WriteToFunction, FlushNothing);
    const bool done = Guarded(s.png, [&s, &output, top, stride, width, height, bitsPerPixel, level] {
        png_structp png = s.png;
        png_set_compression_level(png, level);
        png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);
        png_set_IHDR(png, s.info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                     bitsPerPixel == 8 ? PNG_COLOR_TYPE_GRAY : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                     PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, s.info);
        if (bitsPerPixel != 8)
            png_set_bgr(png);
        if (bitsPerPixel == 32)
            png_set_filler(png, 0, PNG_FILLER_AFTER);
        for (int y = 0; y < height && !output.failure; ++y)
            png_write_row(png, top + y * stride);
        if (!output.failure)
            png_write_end(png, s.info);
    });
    if (output.failure)
        std::rethrow_exception(output.failure);
    if (!done)
        ThrowImageSaveError();
}

} // namespace Brivox::Detail
