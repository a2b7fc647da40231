#include "formats/argb_loader.h"
#include "formats/bmp_loader.h"
#include "formats/image_loader.h"
#include "formats/jpeg_loader.h"
#include "formats/ole_loader.h"
#include "formats/png_loader.h"
#include "formats/tga_loader.h"
#include "image_fixtures.h"

#include "foundation/config.h"
#include "foundation/file_test_support.h"
#include "foundation/thread_state.h"
#include "imaging/plane.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace ImageFixtures;
using Brivox::COleLoader;
using Brivox::String;

namespace {

// A GIF of 3 × 2 pixels with the colours red, green, blue / white, red, green: a global table of
// four entries and LZW data with a clear code before every pixel, so that no code grows past
// 3 bits.
const Bytes gif = {'G', 'I', 'F',  '8', '9', 'a', 3,    0,    2,    0,    0x91, 0,    0, 0xFF, 0,
                   0,   0,   0xFF, 0,   0,   0,   0xFF, 0xFF, 0xFF, 0xFF, 0x2C, 0,    0, 0,    0,
                   3,   0,   2,    0,   0,   2,   5,    0x04, 0x43, 0x71, 0x04, 0x53, 0, 0x3B};
const std::vector<Pixel> gifPixels = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0xFF0000, 0x00FF00};

void Put(Bytes& out, std::uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<unsigned char>(value >> (8 * i)));
}

// An icon file with one 16 × 16 image of 32 bits.
Bytes MakeIcon()
{
    const std::uint32_t imageSize = 40 + 16 * 16 * 4 + 16 * 4;
    Bytes file;
    Put(file, 0, 2);
    Put(file, 1, 2); // icon
    Put(file, 1, 2); // one image
    Put(file, 16, 1);
    Put(file, 16, 1);
    Put(file, 0, 2);
    Put(file, 1, 2);
    Put(file, 32, 2);
    Put(file, imageSize, 4);
    Put(file, 6 + 16, 4);
    Put(file, 40, 4);
    Put(file, 16, 4);
    Put(file, 32, 4); // colour and mask rows
    Put(file, 1, 2);
    Put(file, 32, 2);
    file.resize(file.size() + 24, 0); // no compression, sizes and colour counts
    for (int i = 0; i < 16 * 16; ++i)
        Put(file, 0xFF000000u | Photo(i % 16, i / 16), 4);
    file.resize(file.size() + 16 * 4, 0);
    return file;
}

// An enhanced metafile 2540 × 1270 HIMETRIC units (25.4 × 12.7 mm) in size, drawn by GDI.
Bytes MakeEnhancedMetafile()
{
    const RECT frame{0, 0, 2540, 1270};
    const HDC dc = ::CreateEnhMetaFileW(nullptr, nullptr, &frame, nullptr);
    ::Rectangle(dc, 0, 0, 40, 20);
    const HENHMETAFILE metafile = ::CloseEnhMetaFile(dc);
    Bytes bytes(::GetEnhMetaFileBits(metafile, 0, nullptr));
    ::GetEnhMetaFileBits(metafile, static_cast<UINT>(bytes.size()), bytes.data());
    ::DeleteEnhMetaFile(metafile);
    return bytes;
}

int ScreenDpi(int axis)
{
    const HDC screen = ::GetDC(nullptr);
    const int dpi = ::GetDeviceCaps(screen, axis);
    ::ReleaseDC(nullptr, screen);
    return dpi;
}

// The system's picture loader needs COM on the calling thread; the loader leaves that to its
// callers.
class OleLoaderTest : public FileTestSupport::TempFolderTest
{
protected:
    void SetUp() override
    {
        TempFolderTest::SetUp();
        Brivox::GetThreadComCounter()->Enter();
    }
    void TearDown() override
    {
        Brivox::GetImageLoaderFactories().Clear();
        Brivox::GetThreadComCounter()->Leave();
        TempFolderTest::TearDown();
    }

    // The bytes that one of the program's savers writes for the plane.
    Bytes Saved(Brivox::IImageSaver& saver, const Brivox::CPlane& plane, const wchar_t* name)
    {
        saver.Save(At(name), plane, {0, 0, plane.GetWidth(), plane.GetHeight()});
        return FileTestSupport::ReadBytes(At(name));
    }
};

} // namespace

TEST_F(OleLoaderTest, ReadsTheProgramsOwnFilesAndAHandWrittenGif)
{
    const int width = 12, height = 7;
    auto plane = MakePlane(width, height);
    {
        const Brivox::Detail::PlaneBitsLock bits(*plane);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                reinterpret_cast<Pixel*>(bits.Pixel(0, y))[x] = Photo(x * 9, y * 13);
    }
    const std::vector<Pixel> photo =
        Expected(width, height, [](int x, int y) { return Photo(x * 9, y * 13); });
    Brivox::CBmpSaver bmp;
    Brivox::CJpgSaver jpeg(95);
    Brivox::CPngSaver png;
    const struct
    {
        const char* name;
        Bytes file;
        int width, height;
        const std::vector<Pixel>& pixels;
        int tolerance;
    } cases[] = {
        {"bmp", Saved(bmp, *plane, L"a.bmp"), width, height, photo, 0},
        {"jpeg", Saved(jpeg, *plane, L"a.jpg"), width, height, photo, 40},
        {"png", Saved(png, *plane, L"a.png"), width, height, photo, 0},
        {"gif", gif, 3, 2, gifPixels, 0},
    };
    for (const auto& c : cases) {
        COleLoader loader;
        ASSERT_TRUE(loader.Open(MakeData(c.file), false)) << c.name;
        EXPECT_EQ(c.width, loader.GetSize().cx) << c.name;
        EXPECT_EQ(c.height, loader.GetSize().cy) << c.name;
        EXPECT_EQ(L"OLE ビットマップ", std::wstring(loader.GetFormatName().CStr())) << c.name;
        EXPECT_FALSE(loader.HasAlpha());

        // Drawn at the point into a plane that GDI can draw on.
        Brivox::CDib32 target;
        target.Resize({c.width + 3, c.height + 2});
        target.Fill(RGB(1, 2, 3));
        loader.Load(target, {2, 1}, false);
        const std::vector<Pixel> all = PixelsOf(target);
        std::vector<Pixel> drawn;
        for (int y = 1; y < c.height + 1; ++y)
            for (int x = 2; x < c.width + 2; ++x)
                drawn.push_back(all[y * (c.width + 3) + x]);
        EXPECT_LE(MaxColourDifference(c.pixels, drawn), c.tolerance) << c.name;
        EXPECT_EQ(0x010203u, all[0] & 0xFFFFFF) << c.name;
    }
}

TEST_F(OleLoaderTest, FormatNamesAndSizesFromThePictureType)
{
    const struct
    {
        const char* name;
        Bytes file;
        const wchar_t* format;
        int width, height;
    } cases[] = {
        {"icon", MakeIcon(), L"OLE アイコン", 16, 16},
        // 2540 HIMETRIC units are one inch: as many pixels as the screen has per inch.
        {"emf", MakeEnhancedMetafile(), L"OLE 拡張メタファイル", ScreenDpi(LOGPIXELSX),
         ScreenDpi(LOGPIXELSY) / 2},
    };
    for (const auto& c : cases) {
        COleLoader loader;
        ASSERT_TRUE(loader.Open(MakeData(c.file), false)) << c.name;
        EXPECT_EQ(c.format, std::wstring(loader.GetFormatName().CStr())) << c.name;
        EXPECT_EQ(c.width, loader.GetSize().cx) << c.name;
        EXPECT_EQ(c.height, loader.GetSize().cy) << c.name;
    }
    EXPECT_EQ(L"OLE Image", std::wstring(COleLoader().GetFormatName().CStr()));
}

TEST_F(OleLoaderTest, ForeignDataAndPlanesWithoutADeviceContext)
{
    const std::string text = "これは画像ではありません。plain text\r\n";
    EXPECT_FALSE(COleLoader().Open(MakeData(Bytes(text.begin(), text.end())), false));
    EXPECT_FALSE(COleLoader().Open(MakeData({}), false));

    COleLoader loader;
    ASSERT_TRUE(loader.Open(MakeData(gif), true));
    auto heap = MakePlane(3, 2);
    EXPECT_EQ(FileTestSupport::Ansi(L"画像の読み込みに失敗しました"), FileTestSupport::ThrownText([&] {
                  loader.Load(*heap, {0, 0}, true);
              }));
}

TEST_F(OleLoaderTest, UsedOnlyWhenRankedUpToTheCutOff)
{
    using Brivox::IImageLoader;
    const std::vector<Brivox::SPriorityKey<IImageLoader>> formats = {
        {L"LoaderPriorityJ", std::make_shared<Brivox::DefaultFactory<Brivox::CJpgLoader, IImageLoader>>()},
        {L"LoaderPriorityP", std::make_shared<Brivox::DefaultFactory<Brivox::CPngLoader, IImageLoader>>()},
        {L"LoaderPriorityB", std::make_shared<Brivox::DefaultFactory<Brivox::CBmpLoader, IImageLoader>>()},
        {L"LoaderPriorityA", std::make_shared<Brivox::DefaultFactory<Brivox::CArgbLoader, IImageLoader>>()},
        {L"LoaderPriorityT", std::make_shared<Brivox::DefaultFactory<Brivox::CTgaLoader, IImageLoader>>()},
        {L"LoaderPriorityO", std::make_shared<Brivox::DefaultFactory<COleLoader, IImageLoader>>()}};
    // The defaults of the settings.
    Brivox::CConfig config;
    const std::pair<const wchar_t*, int> defaults[] = {
        {L"LoaderPriorityJ", 0},  {L"LoaderPriorityP", 4},  {L"LoaderPriorityB", 8}, {L"LoaderPriorityA", 16},
        {L"LoaderPriorityT", 18}, {L"LoaderPriorityX", 20}, {L"LoaderPriorityO", 24}};
    for (const auto& [key, value] : defaults)
        config.SetInt(key, value);
    auto extensions = [] {
        std::vector<std::wstring> out;
        for (const String& extension : Brivox::GetImageExtensions())
            out.emplace_back(extension.CStr());
        return out;
    };
    auto open = [](const Bytes& file) {
        Brivox::CImageLoader loader;
        loader.Open(MakeData(file));
        return std::wstring(loader.GetFormatName().CStr());
    };

    Brivox::GetImageLoaderFactories().Replace(Brivox::OrderFromSettings(config, formats, L"LoaderPriorityX"));
    EXPECT_EQ((std::vector<std::wstring>{L"argb", L"bmp", L"dib", L"icb", L"jpe", L"jpeg", L"jpg", L"png",
                                         L"targa", L"tga", L"vda", L"vst"}),
              extensions());
    EXPECT_THROW(open(gif), Brivox::ImageLoadException);

    // Moved up to the cut-off it is used, after the decoders ranked before it.
    config.SetInt(L"LoaderPriorityO", 20);
    Brivox::GetImageLoaderFactories().Replace(Brivox::OrderFromSettings(config, formats, L"LoaderPriorityX"));
    const std::vector<std::wstring> all = extensions();
    EXPECT_TRUE(std::count(all.begin(), all.end(), L"gif") == 1 &&
                std::count(all.begin(), all.end(), L"ico") == 1);
    EXPECT_EQ(L"OLE ビットマップ", open(gif));
    auto plane = MakePlane(4, 3);
    Brivox::CBmpSaver bmp;
    EXPECT_EQ(L"BITMAP", open(Saved(bmp, *plane, L"b.bmp")));
}
