#include "imaging/plane.h"

#include "foundation/exception.h"
#include "foundation/win32.h"
#include "imaging/dib_storage.h"
#include "plane_fixtures.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

using namespace Brivox;
using PlaneFixtures::FillRandom;
using PlaneFixtures::PixelAt;
using PlaneFixtures::Pixels;

namespace {

std::string Ansi(const wchar_t* text)
{
    char buffer[512];
    const int n = ::WideCharToMultiByte(CP_ACP, 0, text, -1, buffer, sizeof(buffer), nullptr, nullptr);
    return std::string(buffer, n > 0 ? n - 1 : 0);
}

std::ptrdiff_t StrideOf(const CPlane& plane)
{
    return Detail::PlaneBitsLock(plane).Stride();
}

// A DIB storage whose rows are stored bottom-up, as DIBs from elsewhere are.
class BottomUpDibImpl : public CDibImpl
{
protected:
    void FillInfoHeader(BITMAPINFOHEADER& header, CSize size, int bitsPerPixel) override
    {
        CDibImpl::FillInfoHeader(header, size, bitsPerPixel);
        header.biHeight = size.cy;
    }
};

class BottomUpDib32 : public CPlane32
{
public:
    BottomUpDib32() : CPlane32(std::make_unique<BottomUpDibImpl>()) {}
};

using PlaneMaker = std::function<std::unique_ptr<CPlane>()>;

const std::pair<const char*, PlaneMaker> planes32[] = {
    {"CDib32", [] { return std::make_unique<CDib32>(); }},
    {"CMemoryPlane32", [] { return std::make_unique<CMemoryPlane32>(); }},
    {"bottom-up DIB", [] { return std::make_unique<BottomUpDib32>(); }},
};

} // namespace

TEST(CPlane, NewPlaneHasNoStorageAndSizeMinusOne)
{
    CDib32 dib;
    CMemoryPlane32 heap;
    for (CPlane* plane : {static_cast<CPlane*>(&dib), static_cast<CPlane*>(&heap)}) {
        EXPECT_EQ(plane->GetSize(), (CSize{-1, -1}));
        EXPECT_FALSE(plane->GetStorage().IsValid());
        plane->Resize({0, 0});
        EXPECT_EQ(plane->GetSize(), (CSize{0, 0}));
        EXPECT_FALSE(plane->GetStorage().IsValid());
    }
}

TEST(CPlane, DibKeepsItsCapacityWhenItShrinksAndGrowsPerAxis)
{
    CDib32 plane;
    plane.Resize({100, 50});
    plane.Resize({40, 80});
    EXPECT_EQ(plane.GetSize(), (CSize{40, 80}));
    EXPECT_EQ(plane.GetStorage().GetCapacity(), (CSize{100, 80}));
    EXPECT_EQ(StrideOf(plane), 400);
    plane.Resize({120, 10});
    EXPECT_EQ(plane.GetStorage().GetCapacity(), (CSize{120, 80}));
}

TEST(CPlane, HeapStorageIsMadeAtExactlyTheRequestedSize)
{
    CMemoryPlane32 plane({100, 50});
    plane.Resize({40, 80});
    EXPECT_EQ(plane.GetStorage().GetCapacity(), (CSize{40, 80}));
    EXPECT_EQ(StrideOf(plane), 160);
    // A side of zero leaves the storage as it was.
    plane.Resize({0, 7});
    EXPECT_TRUE(plane.GetStorage().IsValid());
    EXPECT_EQ(plane.GetStorage().GetCapacity(), (CSize{40, 80}));
}

TEST(CPlane, RowsAreWholeWordsOfTheRoundedWidth)
{
    struct Case
    {
        PlaneMaker make;
        std::ptrdiff_t stride;
    };
    const Case cases[] = {
        {[] { return std::make_unique<CDib32>(); }, 32},
        {[] { return std::make_unique<CMemoryPlane>(24); }, 16},
        {[] { return std::make_unique<CMemoryPlane>(16); }, 12},
        {[] { return std::make_unique<CMemoryPlane8>(); }, 8},
        {[] { return std::make_unique<CMemoryPlane32>(); }, 20},
    };
    for (const Case& c : cases) {
        auto plane = c.make();
        plane->Resize({5, 3});
        EXPECT_EQ(StrideOf(*plane), c.stride) << plane->GetBitsPerPixel();
    }
}

TEST(CPlane, ClearFreesTheStorage)
{
    for (const auto& [name, make] : planes32) {
        auto plane = make();
        plane->Resize({8, 8});
        plane->Clear();
        EXPECT_EQ(plane->GetSize(), (CSize{0, 0})) << name;
        EXPECT_FALSE(plane->GetStorage().IsValid()) << name;
        plane->Resize({4, 4}); // usable again
        EXPECT_TRUE(plane->GetStorage().IsValid()) << name;
    }
}

TEST(CPlane, OversizedPlanesAreRefusedBeforeAnyAllocation)
{
    const std::string expected = Ansi(L"画像保持メモリの作成に失敗しました");
    for (const CSize size : {CSize{70000, 70000}, CSize{65536, 1}, CSize{1, 65536}, CSize{20000, 20000}}) {
        for (const auto& [name, make] : planes32) {
            auto plane = make();
            try {
                plane->Resize(size);
                ADD_FAILURE() << name << " accepted " << size.cx << " x " << size.cy;
            } catch (const RuntimeException& e) {
                EXPECT_EQ(e.what(), expected);
            }
            EXPECT_EQ(plane->GetSize(), (CSize{-1, -1}));
        }
    }
}

TEST(CPlane, DibGrowthPastTheLimitsIsRefusedAndThePlaneKept)
{
    // Growing per axis would make 65535 x 65535.
    CDib32 plane;
    plane.Resize({65535, 16});
    EXPECT_THROW(plane.Resize({16, 65535}), RuntimeException);
    EXPECT_EQ(plane.GetSize(), (CSize{65535, 16}));
    EXPECT_EQ(plane.GetStorage().GetCapacity(), (CSize{65535, 16}));
    plane.FillRect(0x0000FF, {65530, 15, 65535, 16});
    EXPECT_EQ(PixelAt(plane, 65534, 15), 0x00FF0000u);
}

TEST(CPlane, RowZeroIsTheTopRowWhateverTheDibOrientation)
{
    for (const auto& [name, make] : planes32) {
        auto plane = make();
        if (!plane->GetStorage().HasDC())
            continue;
        plane->Resize({4, 3});
        plane->Fill(0x000000);
        plane->FillRect(0x0000FF, {0, 0, 4, 1});
        const HDC dc = plane->GetStorage().GetDC();
        EXPECT_EQ(::GetPixel(dc, 1, 0), 0x0000FFu) << name;
        EXPECT_EQ(::GetPixel(dc, 1, 2), 0u) << name;
    }
    BottomUpDib32 bottomUp;
    bottomUp.Resize({4, 3});
    EXPECT_EQ(StrideOf(bottomUp), -16);
}

TEST(CPlane, FillRectStoresTheColourAtEachDepth)
{
    struct Case
    {
        int bits;
        std::uint32_t stored;
    };
    // COLORREF of R 64, G 128, B 255.
    const Case cases[] = {{8, 122}, {16, 0x221F}, {24, 0x4080FF}, {32, 0x004080FF}};
    for (const Case& c : cases) {
        CMemoryPlane plane(c.bits);
        plane.Resize({4, 4});
        FillRandom(plane, 1);
        const std::uint32_t corner = PixelAt(plane, 3, 3);
        plane.FillRect(0x00FF8040, {-2, -2, 3, 3});
        EXPECT_EQ(PixelAt(plane, 0, 0), c.stored) << c.bits;
        EXPECT_EQ(PixelAt(plane, 2, 2), c.stored) << c.bits;
        EXPECT_EQ(PixelAt(plane, 3, 3), corner) << c.bits;
    }
    CDib32 dib;
    dib.Resize({2, 2});
    dib.Fill(0x00FF8040);
    EXPECT_EQ(PixelAt(dib, 1, 1), 0x004080FFu);
}

TEST(CPlane, BlitConvertsBetweenDepths)
{
    struct Case
    {
        int from;
        std::uint32_t source;
        int to;
        std::uint32_t expected;
    };
    const Case cases[] = {
        {16, 0x7FFF, 32, 0x00FFFFFF}, {16, 0x0001, 32, 0x00000008}, {16, 0x7C00, 8, 76},
        {16, 0x03E0, 24, 0x00FF00},   {32, 0xAB0000FF, 8, 27},      {32, 0xFF123456, 24, 0x123456},
        {32, 0xFFF8F808, 16, 0x7FE1}, {24, 0xF81008, 16, 0x7C41},   {24, 0x0000FF, 8, 27},
        {8, 0xFF, 16, 0x7FFF},        {8, 0x80, 16, 0x4210},        {8, 0x80, 24, 0x808080},
        {8, 0x80, 32, 0x00808080},
    };
    for (const Case& c : cases) {
        CMemoryPlane source(c.from), destination(c.to);
        source.Resize({1, 1});
        destination.Resize({1, 1});
        std::memcpy(Detail::PlaneBitsLock(source).Top(), &c.source, static_cast<std::size_t>(c.from / 8));
        destination.Fill(0);
        destination.Blit(source, {0, 0}, {0, 0, 1, 1});
        EXPECT_EQ(PixelAt(destination, 0, 0), c.expected) << c.from << " -> " << c.to;
    }
}

TEST(CPlane, Blit24To32GivesAlphaZeroAtEveryWidth)
{
    for (int width = 1; width <= 9; ++width) {
        CMemoryPlane source(24);
        CDib32 destination;
        source.Resize({width, 2});
        destination.Resize({width, 2});
        FillRandom(source, static_cast<unsigned>(width));
        FillRandom(destination, 99); // alpha bytes not zero beforehand
        destination.CopyFrom(source);
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < width; ++x)
                EXPECT_EQ(PixelAt(destination, x, y), PixelAt(source, x, y) & 0xFFFFFF) << width << " " << x;
    }
}

TEST(CPlane, BlitOfAPlaneOntoItselfHandlesOverlap)
{
    const CPoint offsets[] = {{3, 2}, {-3, -2}, {0, 3}, {0, -3}, {2, 0}, {-2, 0}, {3, -2}, {-1, 4}};
    for (const auto& [name, make] : planes32) {
        for (const CPoint offset : offsets) {
            auto plane = make();
            plane->Resize({16, 12});
            FillRandom(*plane, 7);
            CMemoryPlane32 original({16, 12}), expected({16, 12});
            original.CopyFrom(*plane);
            expected.CopyFrom(*plane);
            const CRect area{2, 3, 13, 10};
            const CPoint to{area.left + offset.x, area.top + offset.y};
            expected.Blit(original, to, area);
            plane->Blit(*plane, to, area);
            EXPECT_EQ(Pixels(*plane), Pixels(expected)) << name << " " << offset.x << "," << offset.y;
        }
    }
}

TEST(CPlane, CopyFromItselfChangesNothingAndAClipLimitsTheCopy)
{
    CMemoryPlane32 plane({6, 6});
    FillRandom(plane, 3);
    const auto before = Pixels(plane);
    plane.CopyFrom(plane);
    EXPECT_EQ(Pixels(plane), before);

    CDib32 destination;
    destination.Resize({6, 6});
    destination.Fill(0);
    const SPlaneClip clip{{0, 0, 2, 3}, true};
    destination.CopyFrom(plane, &clip);
    EXPECT_EQ(PixelAt(destination, 1, 2), PixelAt(plane, 1, 2));
    EXPECT_EQ(PixelAt(destination, 2, 2), 0u);
    EXPECT_EQ(PixelAt(destination, 1, 3), 0u);
}
