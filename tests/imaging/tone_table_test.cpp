#include "imaging/tone_table.h"

#include "plane_builders.h"
#include "plane_fixtures.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>

using namespace Brivox;
using PlaneBuilders::Fill;
using PlaneBuilders::Grey;
using PlaneFixtures::PixelAt;
using PlaneFixtures::Pixels;

namespace {

struct TableCase
{
    const char* name;
    std::function<void(ToneTable&)> build;
    // Entries checked: input level → output level.
    std::map<int, int> entries;
};

ToneTable Identity()
{
    ToneTable table;
    for (int i = 0; i < 256; ++i)
        table[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
    return table;
}

} // namespace

TEST(ToneTables, WorkedEntries)
{
    const TableCase cases[] = {
        {"brightness 300",
         [](ToneTable& t) { BuildBrightnessContrastTable(t, 300, 0); },
         {{0, 255}, {255, 255}}},
        {"brightness -300",
         [](ToneTable& t) { BuildBrightnessContrastTable(t, -300, 0); },
         {{0, 0}, {255, 0}}},
        {"brightness 10",
         [](ToneTable& t) { BuildBrightnessContrastTable(t, 10, 0); },
         {{0, 10}, {250, 255}}},
        {"contrast 128, truncating toward zero",
         [](ToneTable& t) { BuildBrightnessContrastTable(t, 0, 128); },
         {{0, 0}, {100, 87}, {127, 127}, {200, 236}, {255, 255}}},
        // c × (i − 127) = −300 at i = 102 gives −1, not −2.
        {"contrast 12", [](ToneTable& t) { BuildBrightnessContrastTable(t, 0, 12); }, {{102, 101}}},
        {"contrast -256 flattens at 127 + brightness",
         [](ToneTable& t) { BuildBrightnessContrastTable(t, 5, -256); },
         {{0, 132}, {127, 132}, {255, 132}}},
        {"gamma 2", [](ToneTable& t) { BuildGammaTable(t, 2.0); }, {{0, 0}, {64, 128}, {255, 255}}},
        {"gamma 0.5", [](ToneTable& t) { BuildGammaTable(t, 0.5); }, {{128, 64}, {255, 254}}},
        {"levels 64 to 191",
         [](ToneTable& t) { BuildLevelsTable(t, 64, 191); },
         {{0, 0}, {63, 0}, {64, 0}, {127, 126}, {190, 252}, {191, 255}, {255, 255}}},
        {"levels 100 to 100 is a threshold",
         [](ToneTable& t) { BuildLevelsTable(t, 100, 100); },
         {{99, 0}, {100, 255}}},
        {"levels 0 to 256",
         [](ToneTable& t) { BuildLevelsTable(t, 0, 256); },
         {{0, 0}, {128, 127}, {255, 254}}},
    };
    for (const TableCase& c : cases) {
        SCOPED_TRACE(c.name);
        ToneTable table;
        c.build(table);
        for (const auto& [in, out] : c.entries)
            EXPECT_EQ(table[static_cast<std::size_t>(in)], out) << "entry " << in;
    }
}

TEST(ToneTables, NeutralSettingsGiveTheIdentity)
{
    ToneTable table;
    BuildBrightnessContrastTable(table, 0, 0);
    EXPECT_EQ(table, Identity());
    BuildGammaTable(table, 1.0);
    EXPECT_EQ(table, Identity());
}

TEST(ToneTables, ApplyingATableWritesAlphaZero)
{
    CMemoryPlane32 plane;
    Fill(plane, 2, 1, {0x80404040u, 0xFF808080u});
    plane.ApplyGamma({0, 0, 2, 1}, 2.0);
    EXPECT_EQ(Pixels(plane), Grey({128, 181}));
    Fill(plane, 2, 1, {0x80404040u, 0xFF808080u});
    plane.ApplyBrightnessContrast({1, 0, 2, 1}, -8, 0);
    EXPECT_EQ(Pixels(plane), (std::vector<std::uint32_t>{0x80404040u, Grey({120})[0]}));
}

TEST(ToneTables, ReversedLevelsGiveTheNegativeOfTheStretch)
{
    CMemoryPlane32 plane;
    Fill(plane, 4, 1, {0x80000000u, 0x80404040u, 0x80BFBFBFu, 0x80FFFFFFu});
    plane.ApplyLevels({0, 0, 4, 1}, 191, 64);
    EXPECT_EQ(Pixels(plane), Grey({255, 255, 0, 0}));
    Fill(plane, 1, 1, {0x807F7F7Fu});
    plane.ApplyLevels({0, 0, 1, 1}, 191, 64);
    // 128 after the inversion, stretched from 64 to 191.
    EXPECT_EQ(Pixels(plane), Grey({128}));
}

TEST(ToneTables, DrawGraphPlotsSmoothedBars)
{
    // Two values 0 and 255 of 255 into a rectangle 2 wide and 10 high: a column of background on
    // the left, black on the right, smoothed at the seam; the rest of the plane untouched.
    CMemoryPlane32 plane({4, 12});
    plane.Fill(0x0000FF);
    const double values[] = {0.0, 255.0};
    const COLORREF background = 0xC0C0C0;
    plane.DrawGraph({1, 1, 3, 11}, values, 2, 0.0, 255.0, background);
    for (int y = 1; y < 11; ++y) {
        SCOPED_TRACE(y);
        const std::uint32_t left = PixelAt(plane, 1, y), right = PixelAt(plane, 2, y);
        EXPECT_GT(left & 0xFF, 0x90u);
        EXPECT_LT(right & 0xFF, 0x30u);
        EXPECT_EQ(left >> 24, 0u);
        EXPECT_EQ(PixelAt(plane, 0, y), 0x00FF0000u);
        EXPECT_EQ(PixelAt(plane, 3, y), 0x00FF0000u);
    }
    EXPECT_EQ(PixelAt(plane, 1, 0), 0x00FF0000u);
    EXPECT_EQ(PixelAt(plane, 2, 11), 0x00FF0000u);

    // A bar half as high: black below, background above.
    CMemoryPlane32 bar({1, 40});
    const double half[] = {0.5};
    bar.DrawGraph({0, 0, 1, 40}, half, 1, 0.0, 1.0, background);
    EXPECT_EQ(PixelAt(bar, 0, 2), 0x00C0C0C0u);
    EXPECT_EQ(PixelAt(bar, 0, 37), 0x00000000u);
}
