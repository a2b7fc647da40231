#include "tools/sample_pages/sample_pages.h"

#include "formats/decoded_image.h"
#include "formats/jpeg_loader.h"
#include "formats/png_loader.h"
#include "formats/zip_archiver.h"
#include "foundation/file_test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace ImageFixtures;
using Brivox::String;
using FileTestSupport::Ansi;

namespace {

class SamplePagesTest : public FileTestSupport::TempFolderTest
{
};

Pixel PixelAt(const std::vector<Pixel>& pixels, int x, int y)
{
    return pixels[static_cast<std::size_t>(y * SamplePages::PageSize.cx + x)] & 0xFFFFFF;
}

int Difference(Pixel a, Pixel b)
{
    int most = 0;
    for (int shift = 0; shift < 24; shift += 8)
        most = std::max(most,
                        std::abs(static_cast<int>(a >> shift & 0xFF) - static_cast<int>(b >> shift & 0xFF)));
    return most;
}

TEST_F(SamplePagesTest, PagesDecodeToNumberedColourBars)
{
    // Written twice, the folder named with and without its trailing separator: a second run over
    // the same folder replaces the pages.
    SamplePages::WritePages(root);
    const SamplePages::SWritten written = SamplePages::WritePages(root.Substring(0, root.Length() - 1));
    EXPECT_EQ(Ansi(root + L"pages\\"), Ansi(written.pageFolder));
    ASSERT_EQ(static_cast<std::size_t>(SamplePages::PageCount), written.pageFiles.size());

    // Left to right: white, yellow, cyan, green, magenta, red, blue, black; 100 pixels each.
    const Pixel bars[] = {0xFFFFFF, 0xFFFF00, 0x00FFFF, 0x00FF00, 0xFF00FF, 0xFF0000, 0x0000FF, 0x000000};
    for (int number = 1; number <= SamplePages::PageCount; ++number) {
        SCOPED_TRACE(number);
        const String& path = written.pageFiles[static_cast<std::size_t>(number - 1)];
        const bool isJpeg = number % 2 == 1;
        EXPECT_TRUE(path.EndsWith(isJpeg ? L".jpg" : L".png")) << Ansi(path);
        const Bytes file = FileTestSupport::ReadBytes(path);
        const SDecoded decoded =
            isJpeg ? DecodeWith<Brivox::CJpgLoader>(file) : DecodeWith<Brivox::CPngLoader>(file);
        ASSERT_TRUE(decoded.opened);
        ASSERT_EQ(800, decoded.width);
        ASSERT_EQ(600, decoded.height);
        // JPEG's loss stays small away from the edges between colours.
        const int tolerance = isJpeg ? 16 : 0;
        for (int k = 0; k < 8; ++k)
            EXPECT_LE(Difference(bars[k], PixelAt(decoded.pixels, k * 100 + 50, 200)), tolerance)
                << "bar " << k;

        // The band below holds the page's number in white cells of 20 pixels on dark grey: each
        // cell's centre as drawn.
        const std::vector<Pixel> drawn = PixelsOf(*SamplePages::DrawPage(number));
        int lit = 0;
        for (int y = 410; y < 600; y += 20)
            for (int x = 10; x < 800; x += 20) {
                lit += PixelAt(drawn, x, y) == 0xFFFFFF;
                ASSERT_LE(Difference(PixelAt(drawn, x, y), PixelAt(decoded.pixels, x, y)), tolerance)
                    << x << ", " << y;
            }
        EXPECT_GT(lit, 10);
    }
    // The numbers differ where they are drawn.
    EXPECT_NE(PixelsOf(*SamplePages::DrawPage(1)), PixelsOf(*SamplePages::DrawPage(2)));
}

TEST_F(SamplePagesTest, ArchiveHoldsThePageFiles)
{
    const SamplePages::SWritten written = SamplePages::WritePages(root);
    Brivox::CZipArchiver zip;
    zip.OpenOrThrow(written.archive);
    ASSERT_EQ(static_cast<unsigned>(SamplePages::PageCount), zip.GetEntryCount());
    for (unsigned k = 0; k < zip.GetEntryCount(); ++k) {
        EXPECT_EQ(Ansi(SamplePages::PageFileName(static_cast<int>(k) + 1)), Ansi(zip.GetEntry(k).name));
        Brivox::FileBytes bytes;
        zip.ExtractToMemory(k, bytes);
        EXPECT_TRUE(Bytes(bytes.begin(), bytes.end()) == FileTestSupport::ReadBytes(written.pageFiles[k]))
            << k;
    }
}

} // namespace
