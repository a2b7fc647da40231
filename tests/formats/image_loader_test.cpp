#include "formats/argb_loader.h"
#include "formats/bmp_loader.h"
#include "formats/image_loader.h"
#include "formats/jpeg_loader.h"
#include "formats/png_loader.h"
#include "formats/tga_loader.h"
#include "formats_test_support.h"
#include "image_fixtures.h"
#include "tga_argb_fixtures.h"

#include "foundation/exception.h"
#include "foundation/file_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <stdexcept>
#include <string>
#include <thread>

using namespace ImageFixtures;
using Brivox::CImageLoader;
using Brivox::FactoryList;
using Brivox::IImageLoader;
using Brivox::String;

namespace {

// A decoder that accepts what its factory says and paints its tag's code into the target.
class StubLoader : public IImageLoader
{
public:
    StubLoader(wchar_t tag, bool accepts, bool throws, String filter, std::atomic<int>& opens)
        : tag_(tag), accepts_(accepts), throws_(throws), filter_(filter), opens_(opens)
    {
    }

    bool Open(const std::shared_ptr<Brivox::CFileData>&, bool oneShot) override
    {
        ++opens_;
        oneShot_ = oneShot;
        if (throws_)
            throw std::runtime_error("damaged");
        return accepts_;
    }
    Brivox::CSize GetSize() override { return {2, 1}; }
    void Load(Brivox::CPlane& target, Brivox::CPoint point, bool oneShot) override
    {
        EXPECT_EQ(oneShot_, oneShot);
        const Brivox::Detail::PlaneBitsLock bits(target);
        std::fill_n(reinterpret_cast<Pixel*>(bits.Pixel(point.x, point.y)), 2, Pixel{tag_});
    }
    bool HasAlpha() override { return tag_ == L'A'; }
    String GetFormatName() override { return String(tag_, 1); }
    String GetFilter() override
    {
        if (throws_)
            throw std::runtime_error("no filter");
        return filter_;
    }

private:
    wchar_t tag_;
    bool accepts_, throws_;
    String filter_;
    std::atomic<int>& opens_;
    bool oneShot_ = false;
};

class StubFactory : public Brivox::IFactory<IImageLoader>
{
public:
    explicit StubFactory(wchar_t tag, bool accepts = true, bool throws = false, String filter = String())
        : tag(tag), accepts_(accepts), throws_(throws), filter_(filter)
    {
    }

    std::shared_ptr<IImageLoader> Create() override
    {
        return std::make_shared<StubLoader>(tag, accepts_, throws_, filter_, opens);
    }

    const wchar_t tag;
    std::atomic<int> opens{0};

private:
    bool accepts_, throws_;
    String filter_;
};

using Factories = std::vector<std::shared_ptr<StubFactory>>;

void Register(const Factories& factories)
{
    FactoryList<IImageLoader> list;
    for (const auto& factory : factories)
        list.push_back({0, factory});
    Brivox::GetImageLoaderFactories().Replace(list);
}

std::string Message(const String& text)
{
    return FileTestSupport::Ansi(text);
}

const wchar_t* const loadFailed = L"画像の読み込みに失敗しました";

// Every test leaves the process-wide registry empty.
class ImageLoaderRegistry : public ::testing::Test
{
protected:
    void TearDown() override { Brivox::GetImageLoaderFactories().Clear(); }
};

} // namespace

TEST_F(ImageLoaderRegistry, PriorityOrderAndCutOff)
{
    // Registration order: JPEG, PNG, BMP, Susie, ARGB, TGA, OLE; then the cut-off.
    const std::wstring tags = L"JPBSATO";
    const struct
    {
        std::vector<int> priorities; // in registration order
        int cutOff;
        std::wstring order;
    } cases[] = {
        {{0, 4, 8, 12, 16, 18, 24}, 20, L"JPBSAT"},
        {{20, 0, 0, 0, 0, 0, 0}, 20, L"PBSATOJ"},
        {{0, 4, 8, 12, 16, 18, -5}, 20, L"OJPBSAT"},
        {{0, 0, 0, 0, 0, 0, 0}, -1, L""},
    };
    for (const auto& c : cases) {
        FactoryList<IImageLoader> formats;
        for (std::size_t i = 0; i < tags.size(); ++i)
            formats.push_back({c.priorities[i], std::make_shared<StubFactory>(tags[i])});
        Brivox::GetImageLoaderFactories().Replace(Brivox::OrderByPriority(formats, c.cutOff));
        std::wstring order;
        for (const auto& entry : *Brivox::GetImageLoaderFactories().Snapshot())
            order += static_cast<StubFactory&>(*entry.factory).tag;
        EXPECT_EQ(c.order, order);
    }

    // The empty registry of the last case: every Open fails with the file's name.
    CImageLoader loader;
    EXPECT_EQ(Message(L"C:\\test\\image の画像読み込みに失敗しました"), FormatsTestSupport::ThrownText([&] {
                  loader.Open(MakeData({1, 2, 3}));
              }));
}

TEST_F(ImageLoaderRegistry, PrioritiesFromTheSettings)
{
    const wchar_t* const keys[] = {L"LoaderPriorityJ", L"LoaderPriorityP", L"LoaderPriorityB",
                                   L"LoaderPriorityS", L"LoaderPriorityA", L"LoaderPriorityT",
                                   L"LoaderPriorityO"};
    const int priorities[] = {0, 4, 8, 12, 16, 18, 24};
    Brivox::CConfig config;
    std::vector<Brivox::SPriorityKey<IImageLoader>> formats;
    for (int i = 0; i < 7; ++i) {
        config.SetInt(keys[i], priorities[i]);
        formats.push_back({keys[i], std::make_shared<StubFactory>(L"JPBSATO"[i])});
    }
    config.SetInt(L"LoaderPriorityX", 20);
    std::wstring order;
    for (const auto& entry : Brivox::OrderFromSettings(config, formats, L"LoaderPriorityX"))
        order += static_cast<StubFactory&>(*entry.factory).tag;
    EXPECT_EQ(L"JPBSAT", order);

    config.Remove(L"LoaderPriorityT");
    EXPECT_THROW(Brivox::OrderFromSettings(config, formats, L"LoaderPriorityX"), Brivox::RuntimeException);
}

TEST_F(ImageLoaderRegistry, FirstDecoderThatAcceptsWins)
{
    const Factories factories = {std::make_shared<StubFactory>(L'N', false),
                                 std::make_shared<StubFactory>(L'X', true, true),
                                 std::make_shared<StubFactory>(L'A'), std::make_shared<StubFactory>(L'B')};
    Register(factories);
    CImageLoader loader;
    loader.Open(MakeData({1}));
    EXPECT_EQ(L"A", std::wstring(loader.GetFormatName().CStr()));
    EXPECT_TRUE(loader.HasAlpha());
    EXPECT_EQ(0, factories[3]->opens);

    // A failed Open leaves no decoder behind.
    Register({std::make_shared<StubFactory>(L'N', false)});
    EXPECT_EQ(Message(L"C:\\test\\image の画像読み込みに失敗しました"),
              FormatsTestSupport::ThrownText([&] { loader.Open(MakeData({1})); }));
    EXPECT_EQ(Message(loadFailed), FormatsTestSupport::ThrownText([&] { loader.GetSize(); }));
}

TEST_F(ImageLoaderRegistry, EmptyDataAsksNoDecoder)
{
    const auto factory = std::make_shared<StubFactory>(L'A');
    Register({factory});
    CImageLoader loader;
    EXPECT_EQ(Message(L"D:\\書庫.zip\\空.jpg の画像読み込みに失敗しました"),
              FormatsTestSupport::ThrownText([&] { loader.Open(MakeData({}, L"D:\\書庫.zip\\空.jpg")); }));
    EXPECT_EQ(0, factory->opens);
}

TEST_F(ImageLoaderRegistry, WithoutDecoderEveryQueryThrows)
{
    CImageLoader loader;
    auto plane = MakePlane(2, 2);
    EXPECT_EQ(Message(loadFailed), FormatsTestSupport::ThrownText([&] { loader.GetSize(); }));
    EXPECT_EQ(Message(loadFailed), FormatsTestSupport::ThrownText([&] { loader.HasAlpha(); }));
    EXPECT_EQ(Message(loadFailed), FormatsTestSupport::ThrownText([&] { loader.GetFormatName(); }));
    EXPECT_EQ(Message(loadFailed), FormatsTestSupport::ThrownText([&] { loader.Load(*plane, {0, 0}); }));
}

TEST_F(ImageLoaderRegistry, OneShotLoadsOncePerOpen)
{
    Register({std::make_shared<StubFactory>(L'A')});
    CImageLoader loader;
    loader.SetOneShot(true);
    const auto data = MakeData({1});
    loader.Open(data);
    auto plane = MakePlane(3, 1, 0);
    loader.Load(*plane, {1, 0});
    EXPECT_EQ((std::vector<Pixel>{0, L'A', L'A'}), PixelsOf(*plane));
    EXPECT_EQ(Message(loadFailed), FormatsTestSupport::ThrownText([&] { loader.Load(*plane, {0, 0}); }));
    loader.Open(data);
    loader.Load(*plane, {0, 0});
    EXPECT_EQ(Message(loadFailed), FormatsTestSupport::ThrownText([&] { loader.Load(*plane, {0, 0}); }));
}

TEST_F(ImageLoaderRegistry, NormalModeLoadsIntoSeveralTargets)
{
    const Bytes file = MakeJpeg(10, 6, Photo);
    FactoryList<IImageLoader> list = {
        {0, std::make_shared<Brivox::DefaultFactory<Brivox::CJpgLoader, IImageLoader>>()}};
    Brivox::GetImageLoaderFactories().Replace(list);
    CImageLoader loader;
    loader.Open(MakeData(file));
    auto a = MakePlane(10, 6), b = MakePlane(12, 8);
    loader.Load(*a, {0, 0});
    loader.Load(*b, {2, 2});
    loader.Load(*a, {0, 0});
    const std::vector<Pixel> first = PixelsOf(*a), second = PixelsOf(*b);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 10; ++x)
            ASSERT_EQ(first[y * 10 + x], second[(y + 2) * 12 + x + 2]);
}

TEST_F(ImageLoaderRegistry, DecoderKeepsTheListItCameFrom)
{
    auto factory = std::make_shared<StubFactory>(L'A');
    const std::weak_ptr<StubFactory> watch = factory;
    Register({factory});
    factory.reset();
    auto loader = std::make_unique<CImageLoader>();
    loader->Open(MakeData({1}));
    Brivox::GetImageLoaderFactories().Clear();
    EXPECT_FALSE(watch.expired());
    loader.reset();
    EXPECT_TRUE(watch.expired());
}

TEST_F(ImageLoaderRegistry, ExtensionLists)
{
    Register({std::make_shared<StubFactory>(L'J', true, false, L"*.jpg;*.jpeg;*.jpe"),
              std::make_shared<StubFactory>(L'X', true, true, L"*.xxx"),
              std::make_shared<StubFactory>(L'B', true, false, L"*.bmp;*.jpg")});
    std::vector<std::wstring> extensions;
    for (const String& extension : Brivox::GetImageExtensions())
        extensions.emplace_back(extension.CStr());
    EXPECT_EQ((std::vector<std::wstring>{L"bmp", L"jpe", L"jpeg", L"jpg"}), extensions);

    const struct
    {
        const wchar_t* filter;
        std::vector<std::wstring> parsed;
    } cases[] = {
        {L"*.jpg;*.JPEG;;readme", {L"jpg", L"jpeg"}}, {L"*.tar.gz", {L"tar.gz"}}, {L"", {}}, {L";;", {}}};
    for (const auto& c : cases) {
        std::vector<String> out{String(L"keep")};
        Brivox::ParseExtensionList(out, c.filter);
        std::vector<std::wstring> parsed;
        for (std::size_t i = 1; i < out.size(); ++i)
            parsed.emplace_back(out[i].CStr());
        EXPECT_EQ(L"keep", std::wstring(out[0].CStr()));
        EXPECT_EQ(c.parsed, parsed) << c.filter;
    }
}

namespace {

FactoryList<IImageLoader> RealDecoders()
{
    return {{0, std::make_shared<Brivox::DefaultFactory<Brivox::CJpgLoader, IImageLoader>>()},
            {4, std::make_shared<Brivox::DefaultFactory<Brivox::CPngLoader, IImageLoader>>()},
            {8, std::make_shared<Brivox::DefaultFactory<Brivox::CBmpLoader, IImageLoader>>()},
            {16, std::make_shared<Brivox::DefaultFactory<Brivox::CArgbLoader, IImageLoader>>()},
            {18, std::make_shared<Brivox::DefaultFactory<Brivox::CTgaLoader, IImageLoader>>()}};
}

Bytes SmallArgb(int width, int height)
{
    return TgaArgbFixtures::MakeArgb(width, height, Bytes(std::size_t(width) * height * 4, 0x5A));
}

Bytes SmallTga(int width, int height, bool runLength)
{
    TgaArgbFixtures::STga tga;
    tga.imageType = runLength ? 10 : 2;
    tga.width = width;
    tga.height = height;
    tga.data =
        TgaArgbFixtures::PackTgaPixels(width, height, 3, 0, [](int x, int y) { return Photo(x / 2, y); });
    if (runLength)
        tga.data = TgaArgbFixtures::RunLengthEncode(tga.data, 3);
    return TgaArgbFixtures::MakeTga(tga);
}

Bytes SmallBmp(int width, int height)
{
    const std::size_t rowSize = (static_cast<std::size_t>(width) * 3 + 3) / 4 * 4;
    const std::uint32_t size = static_cast<std::uint32_t>(54 + rowSize * height);
    Bytes file = {'B',
                  'M',
                  static_cast<unsigned char>(size),
                  static_cast<unsigned char>(size >> 8),
                  0,
                  0,
                  0,
                  0,
                  0,
                  0,
                  54,
                  0,
                  0,
                  0,
                  40,
                  0,
                  0,
                  0,
                  static_cast<unsigned char>(width),
                  0,
                  0,
                  0,
                  static_cast<unsigned char>(height),
                  0,
                  0,
                  0,
                  1,
                  0,
                  24,
                  0};
    file.resize(54, 0);
    file.resize(size, 0x5A);
    return file;
}

} // namespace

TEST_F(ImageLoaderRegistry, RealDecodersByContent)
{
    Brivox::GetImageLoaderFactories().Replace(RealDecoders());
    const struct
    {
        Bytes file;
        const wchar_t* name;
    } cases[] = {{MakeJpeg(5, 4, Photo), L"JPEG"},
                 {MakePng(5, 4, [](int, int, int) { return 9u; }, {6, 8}), L"PNG"},
                 {SmallBmp(5, 4), L"BITMAP"},
                 {SmallArgb(5, 4), L"ARGB"},
                 {SmallTga(5, 4, true), L"TGA"}};
    for (bool oneShot : {false, true}) {
        for (const auto& c : cases) {
            CImageLoader loader;
            loader.SetOneShot(oneShot);
            loader.Open(MakeData(c.file));
            EXPECT_EQ(c.name, std::wstring(loader.GetFormatName().CStr()));
            EXPECT_EQ(5, loader.GetSize().cx);
            EXPECT_EQ(4, loader.GetSize().cy);
            auto plane = MakePlane(5, 4);
            loader.Load(*plane, {0, 0});
        }
    }
}

// The scale hint reaches the decoder only before a one-shot load; a decoder without scaled
// decoding (PNG here) draws its whole image.
TEST_F(ImageLoaderRegistry, ScaleHintOnlyBeforeAOneShotLoad)
{
    Brivox::GetImageLoaderFactories().Replace(RealDecoders());
    const Bytes jpeg = MakeJpeg(64, 48, Photo);
    const Bytes png = MakePng(64, 48, [](int, int, int) { return 9u; }, {6, 8});
    const struct
    {
        const Bytes& file;
        bool oneShot;
        Brivox::CSize drawn;
    } cases[] = {{jpeg, true, {16, 12}}, {jpeg, false, {64, 48}}, {png, true, {64, 48}}};
    for (const auto& c : cases) {
        CImageLoader loader;
        loader.SetOneShot(c.oneShot);
        loader.Open(MakeData(c.file));
        EXPECT_EQ(c.drawn, loader.SetScaleHint({10, 10}));
        EXPECT_EQ((Brivox::CSize{64, 48}), loader.GetSize());
        auto plane = MakePlane(64, 48, 0xFFFF00FF);
        loader.Load(*plane, {0, 0});
        const auto pixels = PixelsOf(*plane);
        // Drawn up to the size given, and not a pixel beyond it.
        EXPECT_NE(0xFFFF00FFu, pixels[(c.drawn.cy - 1) * 64 + c.drawn.cx - 1]);
        if (c.drawn.cx < 64) {
            EXPECT_EQ(0xFFFF00FFu, pixels[(c.drawn.cy - 1) * 64 + c.drawn.cx]);
        }
        if (c.oneShot) {
            EXPECT_EQ((Brivox::CSize{64, 48}), loader.SetScaleHint({10, 10})) << "after the load";
        }
    }
}

TEST_F(ImageLoaderRegistry, DamagedFilesNeverCrashTheDecoders)
{
    // Files with bytes changed at random: every decoder refuses them or decodes something.
    Brivox::GetImageLoaderFactories().Replace(RealDecoders());
    SPngOptions interlaced(3, 4, true);
    interlaced.paletteAlpha = {1, 2, 3};
    const Bytes files[] = {MakeJpeg(24, 20, Photo),
                           MakeJpeg(24, 20, Photo, {3, true, 80}),
                           MakePng(
                               21, 17, [](int x, int y, int c) { return unsigned(x + y + c); }, interlaced),
                           SmallBmp(9, 5),
                           SmallArgb(7, 3),
                           SmallTga(12, 6, true)};
    unsigned seed = 12345;
    auto next = [&seed] { return seed = seed * 1103515245u + 12345u, seed >> 8; };
    for (const Bytes& original : files) {
        for (int round = 0; round < 150; ++round) {
            Bytes file = original;
            const int changes = 1 + static_cast<int>(next() % 4);
            for (int i = 0; i < changes; ++i)
                file[next() % file.size()] = static_cast<unsigned char>(next());
            if (round % 5 == 0)
                file.resize(next() % file.size() + 1);
            for (bool oneShot : {false, true}) {
                CImageLoader loader;
                loader.SetOneShot(oneShot);
                try {
                    loader.Open(MakeData(file));
                    const Brivox::CSize size = loader.GetSize();
                    Brivox::CMemoryPlane32 plane(size);
                    loader.Load(plane, {0, 0});
                } catch (const Brivox::ImageLoadException&) {
                }
            }
        }
    }
}

TEST_F(ImageLoaderRegistry, RebuildWhileOtherThreadsDecode)
{
    Brivox::GetImageLoaderFactories().Replace(RealDecoders());
    const Bytes files[] = {MakeJpeg(16, 12, Photo),
                           MakePng(16, 12, [](int x, int, int) { return unsigned(x); }, {2, 8}),
                           SmallBmp(16, 12)};
    std::atomic<int> running{3}, failures{0}, decoded{0};
    // The decoders start once the first rebuild is done, so that rebuilds and decoding overlap
    // however the threads are scheduled.
    std::atomic<bool> rebuilding{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < 3; ++t) {
        threads.emplace_back([&, t] {
            while (!rebuilding)
                std::this_thread::yield();
            for (int i = 0; i < 40; ++i) {
                try {
                    CImageLoader loader;
                    loader.SetOneShot(i % 2 == 0);
                    loader.Open(MakeData(files[(t + i) % 3]));
                    Brivox::CMemoryPlane32 plane(loader.GetSize());
                    loader.Load(plane, {0, 0});
                    ++decoded;
                } catch (const std::exception&) {
                    ++failures;
                }
            }
            --running;
        });
    }
    // Every list holds all three decoders, in turning orders.
    int rebuilds = 0;
    do {
        FactoryList<IImageLoader> list = RealDecoders();
        for (std::size_t i = 0; i < list.size(); ++i)
            list[i].priority = static_cast<int>((i + rebuilds) % 3);
        Brivox::GetImageLoaderFactories().Replace(Brivox::OrderByPriority(list, 2));
        ++rebuilds;
        rebuilding = true;
        std::this_thread::yield();
    } while (running > 0);
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(0, failures);
    EXPECT_EQ(120, decoded);
    EXPECT_GT(rebuilds, 0);
}
