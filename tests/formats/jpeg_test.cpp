#include "formats/jpeg_loader.h"
#include "image_fixtures.h"

#include "foundation/exception.h"
#include "foundation/file_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace ImageFixtures;
using Brivox::CJpgLoader;
using Brivox::CJpgSaver;

namespace {

// The decoder's normal-mode image, loaded into a plane of its size.
std::vector<Pixel> DecodeNormal(const Bytes& file, int width, int height)
{
    CJpgLoader loader;
    EXPECT_TRUE(loader.Open(MakeData(file), false));
    EXPECT_EQ(width, loader.GetSize().cx);
    EXPECT_EQ(height, loader.GetSize().cy);
    auto plane = MakePlane(width, height);
    loader.Load(*plane, {0, 0}, false);
    return PixelsOf(*plane);
}

std::vector<Pixel> WithoutAlpha(std::vector<Pixel> pixels)
{
    for (Pixel& p : pixels)
        p &= 0xFFFFFF;
    return pixels;
}

// Offset of the first marker FF code.
std::size_t FindMarker(const Bytes& file, unsigned char code)
{
    for (std::size_t i = 0; i + 1 < file.size(); ++i)
        if (file[i] == 0xFF && file[i + 1] == code)
            return i;
    return file.size();
}

Pixel Grey(int x, int y)
{
    const Pixel g = static_cast<Pixel>((x * 7 + y * 3) & 0xFF);
    return g << 16 | g << 8 | g;
}

} // namespace

TEST(JpegLoader, ColourDecodesCloseToTheSourceInBothModes)
{
    const Bytes file = MakeJpeg(61, 35, Photo, {3, false, 100});
    const std::vector<Pixel> normal = DecodeNormal(file, 61, 35);
    EXPECT_LE(MaxColourDifference(normal, Expected(61, 35, Photo)), 12);

    // One-shot: only the header at Open, the pixels straight into the target at the point.
    CJpgLoader oneShot;
    ASSERT_TRUE(oneShot.Open(MakeData(file), true));
    auto target = MakePlane(70, 40);
    oneShot.Load(*target, {5, 3}, true);
    const std::vector<Pixel> all = PixelsOf(*target);
    for (int y = 0; y < 35; ++y)
        for (int x = 0; x < 61; ++x)
            ASSERT_EQ(normal[y * 61 + x] & 0xFFFFFF, all[(y + 3) * 70 + x + 5] & 0xFFFFFF) << x << "," << y;
    EXPECT_EQ(0x12345678u, all[0]) << "pixels outside the image stay";
    EXPECT_FALSE(oneShot.HasAlpha());
    EXPECT_EQ(L"JPEG", std::wstring(oneShot.GetFormatName().CStr()));
}

// Each pixel of the reduced image against the mean of the block of the full decode it stands for.
TEST(JpegLoader, ScaleHintDecodesTheSmallestScaleStillLargeEnough)
{
    const int width = 203, height = 101;
    const Bytes file = MakeJpeg(width, height, Photo, {3, false, 95});
    const std::vector<Pixel> full = DecodeNormal(file, width, height);
    const struct
    {
        Brivox::CSize atLeast;
        int denominator;
    } cases[] = {{{0, 0}, 8},   {{26, 13}, 8},  {{27, 13}, 4},  {{51, 26}, 4},
                 {{51, 27}, 2}, {{102, 51}, 2}, {{103, 10}, 1}, {{500, 500}, 1}};
    for (const auto& c : cases) {
        CJpgLoader loader;
        ASSERT_TRUE(loader.Open(MakeData(file), true));
        const int d = c.denominator;
        const Brivox::CSize scaled{(width + d - 1) / d, (height + d - 1) / d};
        ASSERT_EQ(scaled, loader.SetScaleHint(c.atLeast)) << c.atLeast.cx << " x " << c.atLeast.cy;
        EXPECT_EQ((Brivox::CSize{width, height}), loader.GetSize());
        auto plane = MakePlane(scaled.cx, scaled.cy);
        loader.Load(*plane, {0, 0}, true);
        const std::vector<Pixel> pixels = PixelsOf(*plane);
        std::vector<Pixel> means;
        for (int y = 0; y < scaled.cy; ++y) {
            for (int x = 0; x < scaled.cx; ++x) {
                int sum[3] = {}, n = 0;
                for (int v = y * d; v < std::min(height, (y + 1) * d); ++v)
                    for (int u = x * d; u < std::min(width, (x + 1) * d); ++u, ++n)
                        for (int k = 0; k < 3; ++k)
                            sum[k] += static_cast<int>(full[v * width + u] >> (8 * k) & 0xFF);
                Pixel mean = 0xFF000000;
                for (int k = 0; k < 3; ++k)
                    mean |= static_cast<Pixel>((sum[k] + n / 2) / n) << (8 * k);
                means.push_back(mean);
            }
        }
        EXPECT_LE(MaxColourDifference(pixels, means), d == 1 ? 0 : 24) << "1/" << d;
    }
}

TEST(JpegLoader, GreyDecodesToEqualChannels)
{
    const std::vector<Pixel> pixels = DecodeNormal(MakeJpeg(20, 10, Grey, {1, false, 100}), 20, 10);
    for (Pixel p : pixels) {
        ASSERT_EQ(p & 0xFF, (p >> 8) & 0xFF);
        ASSERT_EQ(p & 0xFF, (p >> 16) & 0xFF);
    }
    EXPECT_LE(MaxColourDifference(pixels, Expected(20, 10, Grey)), 3);
}

TEST(JpegLoader, CmykIsRefusedInBothModes)
{
    const Bytes file = MakeJpeg(16, 16, Photo, {4});
    EXPECT_FALSE(CJpgLoader().Open(MakeData(file), false));
    EXPECT_FALSE(CJpgLoader().Open(MakeData(file), true));
}

TEST(JpegLoader, ProgressiveDecodesLikeItsBaselineTwin)
{
    // The same coefficients in another order: the pixels are the same.
    const std::vector<Pixel> baseline = DecodeNormal(MakeJpeg(45, 33, Photo, {3, false, 85}), 45, 33);
    const std::vector<Pixel> progressive = DecodeNormal(MakeJpeg(45, 33, Photo, {3, true, 85}), 45, 33);
    EXPECT_EQ(WithoutAlpha(baseline), WithoutAlpha(progressive));
}

TEST(JpegLoader, TruncatedFileDecodesTheRowsItHolds)
{
    const Bytes file = MakeJpeg(64, 128, Photo, {3, false, 90});
    const std::vector<Pixel> whole = DecodeNormal(file, 64, 128);
    // Half of the scan is left: about the top half of the rows.
    const std::size_t scan = FindMarker(file, 0xDA);
    const Bytes cut(file.begin(), file.begin() + static_cast<long>(scan + (file.size() - scan) / 2));
    const std::vector<Pixel> part = DecodeNormal(cut, 64, 128);
    const std::size_t firstRows = 32 * 64;
    EXPECT_TRUE(std::equal(whole.begin(), whole.begin() + firstRows, part.begin()));
    EXPECT_NE(WithoutAlpha(whole), WithoutAlpha(part));

    // A one-shot Open of the same data reads its header and decodes at Load without failing.
    CJpgLoader oneShot;
    ASSERT_TRUE(oneShot.Open(MakeData(cut), true));
    auto target = MakePlane(64, 128);
    oneShot.Load(*target, {0, 0}, true);
    EXPECT_EQ(part, PixelsOf(*target));
}

TEST(JpegLoader, OtherDataIsNotTaken)
{
    const Bytes png = MakePng(4, 4, [](int, int, int) { return 1u; }, {2, 8});
    const Bytes header = MakeJpeg(8, 8, Photo);
    for (const Bytes& bytes :
         {png, Bytes{0xFF}, Bytes{0xFF, 0xD8}, Bytes(header.begin(), header.begin() + 20)}) {
        CJpgLoader loader;
        EXPECT_FALSE(loader.Open(MakeData(bytes), false));
    }
}

TEST(JpegLoader, HugeHeaderIsRefusedWithoutAllocating)
{
    Bytes file = MakeJpeg(16, 16, Photo);
    // SOF0: FF C0, length (2), precision (1), height (2), width (2).
    const std::size_t sof = FindMarker(file, 0xC0);
    ASSERT_LT(sof, file.size());
    const std::size_t at = sof + 5;
    file[at] = file[at + 2] = 0xFF;
    file[at + 1] = file[at + 3] = 0xDC; // 65500 × 65500
    const std::size_t growth = PeakMemoryGrowth([&] {
        EXPECT_FALSE(CJpgLoader().Open(MakeData(file), false));
        EXPECT_FALSE(CJpgLoader().Open(MakeData(file), true));
    });
    EXPECT_LT(growth, 64u << 20);
}

TEST(JpegLoader, OneShotLoadOfDamagedPixelsThrows)
{
    Bytes file = MakeJpeg(32, 32, Photo);
    // Destroy the scan: a marker that may not stand there (SOI) right after the scan header.
    const std::size_t sos = FindMarker(file, 0xDA);
    ASSERT_LT(sos, file.size());
    const std::size_t data = sos + 2 + (file[sos + 2] << 8 | file[sos + 3]);
    file[data] = 0xFF;
    file[data + 1] = 0xD8;
    CJpgLoader loader;
    ASSERT_TRUE(loader.Open(MakeData(file), true));
    auto target = MakePlane(32, 32);
    EXPECT_THROW(loader.Load(*target, {0, 0}, true), Brivox::ImageLoadException);
    EXPECT_FALSE(CJpgLoader().Open(MakeData(file), false));
}

class JpegSaver : public FileTestSupport::TempFolderTest
{
};

TEST_F(JpegSaver, SavesTheRectangleOnly)
{
    auto plane = MakePlane(130, 90);
    {
        const Brivox::Detail::PlaneBitsLock bits(*plane);
        for (int y = 0; y < 90; ++y)
            for (int x = 0; x < 130; ++x)
                reinterpret_cast<Pixel*>(bits.Pixel(x, y))[0] = Photo(x, y);
    }
    CJpgSaver(100).Save(At(L"a.jpg"), *plane, {10, 20, 110, 70});
    const std::vector<Pixel> pixels = DecodeNormal(FileTestSupport::ReadBytes(At(L"a.jpg")), 100, 50);
    EXPECT_LE(
        MaxColourDifference(pixels, Expected(100, 50, [](int x, int y) { return Photo(x + 10, y + 20); })),
        12);
}

TEST_F(JpegSaver, QualityFromConstructorOrSetterAndDefault)
{
    auto plane = MakePlane(40, 30, 0);
    {
        const Brivox::Detail::PlaneBitsLock bits(*plane);
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 40; ++x)
                reinterpret_cast<Pixel*>(bits.Pixel(x, y))[0] = Photo(x, y);
    }
    const Brivox::CRect all{0, 0, 40, 30};
    CJpgSaver(30).Save(At(L"constructor.jpg"), *plane, all);
    CJpgSaver set;
    set.SetQuality(30);
    set.Save(At(L"setter.jpg"), *plane, all);
    set.Save(At(L"again.jpg"), *plane, all);
    CJpgSaver().Save(At(L"default.jpg"), *plane, all);
    const Bytes q30 = FileTestSupport::ReadBytes(At(L"constructor.jpg"));
    EXPECT_EQ(q30, FileTestSupport::ReadBytes(At(L"setter.jpg")));
    EXPECT_EQ(q30, FileTestSupport::ReadBytes(At(L"again.jpg")));
    EXPECT_EQ(MakeJpeg(40, 30, Photo, {3, false, 75}), FileTestSupport::ReadBytes(At(L"default.jpg")));
    EXPECT_EQ(MakeJpeg(40, 30, Photo, {3, false, 30}), q30);
}

TEST_F(JpegSaver, OtherDepthsWriteTheSameFileAsTheirThirtyTwoBitEquivalent)
{
    for (int depth : {8, 24}) {
        Brivox::CMemoryPlane plane(depth);
        plane.Resize({24, 16});
        {
            const Brivox::Detail::PlaneBitsLock bits(plane);
            for (int y = 0; y < 16; ++y)
                for (int x = 0; x < 24 * depth / 8; ++x)
                    bits.Pixel(0, y)[x] = static_cast<std::uint8_t>(x * 11 + y * 5);
        }
        Brivox::CMemoryPlane32 wide({24, 16});
        wide.Blit(plane, {0, 0}, {0, 0, 24, 16});
        CJpgSaver().Save(At(L"other.jpg"), plane, {0, 0, 24, 16});
        CJpgSaver().Save(At(L"wide.jpg"), wide, {0, 0, 24, 16});
        EXPECT_EQ(FileTestSupport::ReadBytes(At(L"wide.jpg")), FileTestSupport::ReadBytes(At(L"other.jpg")))
            << depth;
    }
}

TEST_F(JpegSaver, MakesMissingFoldersAndReportsFailuresWithThePath)
{
    auto plane = MakePlane(8, 8);
    CJpgSaver().Save(At(L"new\\folder\\a.jpg"), *plane, {0, 0, 8, 8});
    EXPECT_TRUE(FileTestSupport::Exists(At(L"new\\folder\\a.jpg")));

    // A folder stands where the file should go.
    FileTestSupport::MakeFolder(At(L"taken.jpg"));
    try {
        CJpgSaver().Save(At(L"taken.jpg"), *plane, {0, 0, 8, 8});
        FAIL();
    } catch (const Brivox::ImageSaveException& e) {
        EXPECT_EQ(FileTestSupport::Ansi(At(L"taken.jpg") + L" の画像保存に失敗しました"), e.what());
    }
}
