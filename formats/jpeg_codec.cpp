#include "formats/jpeg_codec.h"

#include "formats/image_errors.h"
#include "formats/image_size.h"

#include <algorithm>
#include <csetjmp>
#include <cstdint>

// jpeglib.h needs <cstdio> and <cstddef> before it.
#include <jpeglib.h>

#include <jerror.h>

namespace Brivox::Detail {

namespace {

// The library's standard error manager with a jump back to the codec frame that called into it.
struct ErrorManager
{
    jpeg_error_mgr library; // first: the library hands back a pointer to it
    std::jmp_buf jump;
};

[[noreturn]] void JumpOut(j_common_ptr common)
{
    std::longjmp(reinterpret_cast<ErrorManager*>(common->err)->jump, 1);
}

// Warnings (damaged data the library can go on with) are not shown anywhere.
void Silent(j_common_ptr) {}

void InstallErrorManager(jpeg_common_struct& info, ErrorManager& errors)
{
    info.err = jpeg_std_error(&errors.library);
    errors.library.error_exit = JumpOut;
    errors.library.output_message = Silent;
}

// Runs one step of library calls. A library error jumps back here and the step counts as failed.
// The step and this frame hold no objects with destructors: the jump skips every frame between.
template <class Step> bool Guarded(ErrorManager& errors, const Step& step)
{
    if (setjmp(errors.jump))
        return false;
    step();
    return true;
}

template <class Step> void GuardedOrThrow(ErrorManager& errors, const Step& step)
{
    if (!Guarded(errors, step))
        ThrowImageLoadError();
}

// The whole file is one buffer; after it the library is handed end-of-image markers for ever, so
// a truncated file ends as if it were complete and the library never waits for more input.
struct MemorySource
{
    jpeg_source_mgr library; // first: the library hands back a pointer to it
    const unsigned char* data;
    std::size_t size;
    bool start;
    JOCTET endOfImage[2];
};

MemorySource& SourceOf(j_decompress_ptr info)
{
    return *reinterpret_cast<MemorySource*>(info->src);
}

void InitSource(j_decompress_ptr info)
{
    SourceOf(info).start = true;
}

boolean FillInputBuffer(j_decompress_ptr info)
{
    MemorySource& source = SourceOf(info);
    if (source.start && source.size > 0) {
        source.library.next_input_byte = source.data;
        source.library.bytes_in_buffer = source.size;
    } else {
        source.library.next_input_byte = source.endOfImage;
        source.library.bytes_in_buffer = sizeof(source.endOfImage);
    }
    source.start = false;
    return TRUE;
}

void SkipInputData(j_decompress_ptr info, long count)
{
    if (count <= 0)
        return;
    jpeg_source_mgr& source = SourceOf(info).library;
    auto n = static_cast<std::size_t>(count);
    while (n > source.bytes_in_buffer) {
        n -= source.bytes_in_buffer;
        FillInputBuffer(info);
    }
    source.next_input_byte += n;
    source.bytes_in_buffer -= n;
}

void TermSource(j_decompress_ptr) {}

bool IsGreyOrColour(const jpeg_decompress_struct& info)
{
    switch (info.jpeg_color_space) {
    case JCS_GRAYSCALE:
        return info.num_components == 1;
    case JCS_YCbCr:
    case JCS_RGB:
        return info.num_components == 3;
    default:
        return false;
    }
}

} // namespace

struct JpegReader::State
{
    jpeg_decompress_struct info{};
    ErrorManager errors{};
    MemorySource source{};
    bool created = false;
};

JpegReader::JpegReader() : state_(std::make_unique<State>())
{
    State& s = *state_;
    InstallErrorManager(*reinterpret_cast<jpeg_common_struct*>(&s.info), s.errors);
    GuardedOrThrow(s.errors, [&s] { jpeg_CreateDecompress(&s.info, JPEG_LIB_VERSION, sizeof(s.info)); });
    s.created = true;
    s.source.library.init_source = InitSource;
    s.source.library.fill_input_buffer = FillInputBuffer;
    s.source.library.skip_input_data = SkipInputData;
    s.source.library.resync_to_restart = jpeg_resync_to_restart;
    s.source.library.term_source = TermSource;
    s.source.endOfImage[0] = 0xFF;
    s.source.endOfImage[1] = JPEG_EOI;
    s.info.src = &s.source.library;
}

JpegReader::~JpegReader()
{
    if (state_->created)
        jpeg_destroy_decompress(&state_->info);
}

bool JpegReader::ReadHeader(const unsigned char* data, std::size_t size)
{
    State& s = *state_;
    jpeg_abort_decompress(&s.info);
    s.source.data = data;
    s.source.size = size;
    s.source.library.next_input_byte = nullptr;
    s.source.library.bytes_in_buffer = 0;
    if (!Guarded(s.errors, [&s] { jpeg_read_header(&s.info, TRUE); }) || !IsGreyOrColour(s.info) ||
        !IsDecodableImageSize(s.info.image_width, s.info.image_height)) {
        jpeg_abort_decompress(&s.info);
        return false;
    }
    // The library writes the viewer's pixel layout itself, grey included.
    s.info.out_color_space = JCS_EXT_BGRX;
    return true;
}

int JpegReader::GetWidth() const
{
    return static_cast<int>(state_->info.image_width);
}

int JpegReader::GetHeight() const
{
    return static_cast<int>(state_->info.image_height);
}

void JpegReader::ScaleDownTo(int width, int height)
{
    State& s = *state_;
    jpeg_decompress_struct& info = s.info;
    info.scale_num = 1;
    info.scale_denom = 1;
    for (const unsigned denominator : {8u, 4u, 2u}) {
        // The library rounds each side up: a side of n becomes ceil(n / denominator).
        const JDIMENSION scaledWidth = (info.image_width + denominator - 1) / denominator;
        const JDIMENSION scaledHeight = (info.image_height + denominator - 1) / denominator;
        if (std::int64_t{scaledWidth} >= width && std::int64_t{scaledHeight} >= height) {
            info.scale_denom = denominator;
            return;
        }
    }
}

int JpegReader::GetOutputWidth() const
{
    const jpeg_decompress_struct& info = state_->info;
    return static_cast<int>((info.image_width + info.scale_denom - 1) / info.scale_denom);
}

int JpegReader::GetOutputHeight() const
{
    const jpeg_decompress_struct& info = state_->info;
    return static_cast<int>((info.image_height + info.scale_denom - 1) / info.scale_denom);
}

void JpegReader::Decode(std::uint8_t* top, std::ptrdiff_t stride)
{
    State& s = *state_;
    const int width = GetOutputWidth();
    const int height = GetOutputHeight();
    const bool done = Guarded(s.errors, [&s, top, stride, width, height] {
        jpeg_decompress_struct& info = s.info;
        jpeg_start_decompress(&info);
        // The rows were laid out for the size promised; never write past them.
        if (info.output_width != static_cast<JDIMENSION>(width) ||
            info.output_height != static_cast<JDIMENSION>(height))
            ERREXIT(&info, JERR_BAD_STATE);
        while (info.output_scanline < info.output_height) {
            // Several rows per call: the library may hand out more than one at a time.
            JSAMPROW rows[16];
            const JDIMENSION count = std::min<JDIMENSION>(16, info.output_height - info.output_scanline);
            for (JDIMENSION i = 0; i < count; ++i)
                rows[i] = top + static_cast<std::ptrdiff_t>(info.output_scanline + i) * stride;
            if (jpeg_read_scanlines(&info, rows, count) == 0)
                ERREXIT(&info, JERR_INPUT_EMPTY);
        }
        jpeg_finish_decompress(&info);
    });
    if (!done) {
        jpeg_abort_decompress(&s.info);
        ThrowImageLoadError();
    }
}

struct JpegWriter::State
{
    jpeg_compress_struct info{};
    ErrorManager errors{};
    bool created = false;
};

JpegWriter::JpegWriter() : state_(std::make_unique<State>())
{
    State& s = *state_;
    InstallErrorManager(*reinterpret_cast<jpeg_common_struct*>(&s.info), s.errors);
    GuardedOrThrow(s.errors, [&s] { jpeg_CreateCompress(&s.info, JPEG_LIB_VERSION, sizeof(s.info)); });
    s.created = true;
    // The plane's own rows go in as they are; the library drops the fourth byte.
    s.info.in_color_space = JCS_EXT_BGRX;
    s.info.input_components = 4;
    GuardedOrThrow(s.errors, [&s] { jpeg_set_defaults(&s.info); });
}

JpegWriter::~JpegWriter()
{
    if (state_->created)
        jpeg_destroy_compress(&state_->info);
}

void JpegWriter::SetQuality(int quality)
{
    State& s = *state_;
    GuardedOrThrow(s.errors, [&s, quality] { jpeg_set_quality(&s.info, quality, TRUE); });
}

void JpegWriter::Write(std::FILE* stream, const std::uint8_t* top, std::ptrdiff_t stride, int width,
                       int height)
{
    State& s = *state_;
    const bool done = Guarded(s.errors, [&s, stream, top, stride, width, height] {
        jpeg_compress_struct& info = s.info;
        jpeg_stdio_dest(&info, stream);
        info.image_width = static_cast<JDIMENSION>(width);
        info.image_height = static_cast<JDIMENSION>(height);
        jpeg_start_compress(&info, TRUE);
        while (info.next_scanline < info.image_height) {
            JSAMPROW row =
                const_cast<std::uint8_t*>(top + static_cast<std::ptrdiff_t>(info.next_scanline) * stride);
            jpeg_write_scanlines(&info, &row, 1);
        }
        jpeg_finish_compress(&info);
    });
    if (!done) {
        jpeg_abort_compress(&s.info);
        ThrowImageLoadError();
    }
}

} // namespace Brivox::Detail
