#include "imaging/filter_chain.h"

#include "plane_builders.h"
#include "plane_fixtures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <vector>

using namespace Brivox;
using PlaneBuilders::Fill;
using PlaneBuilders::Flood;
using PlaneBuilders::Grey;
using PlaneFixtures::FillRandom;
using PlaneFixtures::PixelAt;
using PlaneFixtures::Pixels;

namespace {

constexpr std::uint32_t kSentinel = 0xDEADBEEFu;

// Every filter off, the master switch on.
SFilterSettings NoFilter()
{
    return SFilterSettings{};
}

CRect Whole(const CPlane& plane)
{
    return {0, 0, plane.GetWidth(), plane.GetHeight()};
}

// A run of the chain on a page and a spare that holds kSentinel.
struct ChainRun
{
    explicit ChainRun(const CPlane32& source)
        : page(std::make_shared<CMemoryPlane32>()), spare(std::make_shared<CMemoryPlane32>())
    {
        page->Resize(source.GetSize());
        page->CopyFrom(source);
        Flood(*spare, 7, 5, kSentinel);
    }

    bool Apply(const SFilterSettings& settings)
    {
        return CFilterChain().Apply(settings, page, spare, hasAlpha);
    }

    std::shared_ptr<CPlane32> page, spare;
    bool hasAlpha = false;
};

// A random 9 × 6 page.
const CPlane32& RandomPage()
{
    static CMemoryPlane32 page({9, 6});
    static const bool filled = (FillRandom(page, 77), true);
    (void)filled;
    return page;
}

} // namespace

TEST(FilterChain, TheMasterSwitchOffOrEveryFilterOffLeavesThePage)
{
    SFilterSettings everything = NoFilter();
    everything.alpha = everything.levels = everything.gamma = everything.brightnessContrast = true;
    everything.median = everything.gauss = everything.unsharp = everything.negative = true;
    everything.alphaCheck = false;
    everything.gray = everything.sharp = everything.flip = everything.quarterTurn = 1;
    everything.filter = false;
    for (const SFilterSettings& settings : {everything, NoFilter()}) {
        ChainRun run(RandomPage());
        run.hasAlpha = true;
        EXPECT_FALSE(run.Apply(settings));
        EXPECT_EQ(Pixels(*run.page), Pixels(RandomPage()));
        EXPECT_TRUE(run.hasAlpha);
    }
}

TEST(FilterChain, AlphaFlatteningRunsForPagesWithAlphaOrWithoutTheCheck)
{
    CMemoryPlane32 page;
    Fill(page, 2, 1, {0x00102030u, 0x80FFFFFFu});
    SFilterSettings settings = NoFilter();
    settings.alpha = true;
    settings.alphaBackground = 0x0000FF; // red

    ChainRun unchecked(page);
    EXPECT_FALSE(unchecked.Apply(settings));
    EXPECT_EQ(Pixels(*unchecked.page), Pixels(page));

    ChainRun flattened(page);
    flattened.hasAlpha = true;
    EXPECT_TRUE(flattened.Apply(settings));
    EXPECT_FALSE(flattened.hasAlpha);
    // Alpha 0 shows the background; alpha 128 the floor of the mean.
    EXPECT_EQ(Pixels(*flattened.page), (std::vector<std::uint32_t>{0x00FF0000u, 0x00FF7F7Fu}));

    settings.alphaCheck = false;
    ChainRun always(page);
    EXPECT_TRUE(always.Apply(settings));
    EXPECT_EQ(Pixels(*always.page), Pixels(*flattened.page));
}

TEST(FilterChain, SingleStepsGiveTheirOperationsResults)
{
    struct Case
    {
        const char* name;
        std::function<void(SFilterSettings&)> set;
        std::function<void(CPlane32& out, const CPlane32& page)> expected;
    };
    const auto inPlace = [](const std::function<void(CPlane32&)>& operation) {
        return [operation](CPlane32& out, const CPlane32& page) {
            out.Resize(page.GetSize());
            out.CopyFrom(page);
            operation(out);
        };
    };
    const auto from = [](const std::function<void(CPlane32&, const CPlane32&)>& operation) {
        return [operation](CPlane32& out, const CPlane32& page) {
            out.Resize(page.GetSize());
            operation(out, page);
        };
    };
    const Case cases[] = {
        {"grey 1 is the mean", [](SFilterSettings& s) { s.gray = 1; },
         inPlace([](CPlane32& p) { p.GraySimple(Whole(p)); })},
        {"grey 2 is the luminance", [](SFilterSettings& s) { s.gray = 2; },
         inPlace([](CPlane32& p) { p.GrayExact(Whole(p)); })},
        {"levels", [](SFilterSettings& s) { s.levels = true; },
         inPlace([](CPlane32& p) { p.ApplyLevels(Whole(p), 64, 191); })},
        {"levels beyond 0 … 255 are taken at the nearer end",
         [](SFilterSettings& s) {
             s.levels = true;
             s.levelsLow = 300;
             s.levelsHigh = -5;
         },
         inPlace([](CPlane32& p) { p.ApplyLevels(Whole(p), 255, 0); })},
        {"brightness and contrast",
         [](SFilterSettings& s) {
             s.brightnessContrast = true;
             s.brightness = 20;
             s.contrast = -40;
         },
         inPlace([](CPlane32& p) { p.ApplyBrightnessContrast(Whole(p), 20, -40); })},
        {"smoothing", [](SFilterSettings& s) { s.sharp = 1; }, from([](CPlane32& out, const CPlane32& p) {
             out.Blur(p, {0, 0}, Whole(p));
         })},
        {"sharpening", [](SFilterSettings& s) { s.sharp = 2; }, from([](CPlane32& out, const CPlane32& p) {
             out.Sharpen(p, {0, 0}, Whole(p));
         })},
        {"smoothing twice", [](SFilterSettings& s) { s.sharp = 3; },
         from([](CPlane32& out, const CPlane32& p) {
             CMemoryPlane32 once(p.GetSize());
             once.Blur(p, {0, 0}, Whole(p));
             out.Blur(once, {0, 0}, Whole(once));
         })},
        {"strong sharpening", [](SFilterSettings& s) { s.sharp = 4; },
         from([](CPlane32& out, const CPlane32& p) {
             out.SharpenStrong(p, {0, 0}, Whole(p));
         })},
        {"an unknown smoothing value", [](SFilterSettings& s) { s.sharp = 7; }, inPlace([](CPlane32&) {})},
        {"Gauss blur with σ = value / 100",
         [](SFilterSettings& s) {
             s.gauss = true;
             s.gaussValue = 230;
         },
         from([](CPlane32& out, const CPlane32& p) {
             out.GaussBlur(p, {0, 0}, Whole(p), 2.3);
         })},
        {"negative keeps alpha", [](SFilterSettings& s) { s.negative = true; },
         inPlace([](CPlane32& p) { p.Invert(Whole(p)); })},
        {"mirror", [](SFilterSettings& s) { s.flip = 1; },
         from([](CPlane32& out, const CPlane32& p) { out.MirrorHorizontal(p); })},
        {"flip", [](SFilterSettings& s) { s.flip = 2; },
         from([](CPlane32& out, const CPlane32& p) { out.FlipVertical(p); })},
        {"half turn", [](SFilterSettings& s) { s.flip = 3; },
         from([](CPlane32& out, const CPlane32& p) { out.Rotate180(p); })},
        {"an unknown flip value", [](SFilterSettings& s) { s.flip = 5; }, inPlace([](CPlane32&) {})},
        {"an unknown quarter turn value", [](SFilterSettings& s) { s.quarterTurn = 3; },
         inPlace([](CPlane32&) {})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SFilterSettings settings = NoFilter();
        c.set(settings);
        ChainRun run(RandomPage());
        EXPECT_TRUE(run.Apply(settings));
        CMemoryPlane32 expected;
        c.expected(expected, RandomPage());
        EXPECT_EQ(run.page->GetSize(), expected.GetSize());
        EXPECT_EQ(Pixels(*run.page), Pixels(expected));
    }
}

TEST(FilterChain, GammaIsTheExponentialOfTheStoredHundredths)
{
    CMemoryPlane32 page;
    Fill(page, 2, 1, {0x80404040u, 0x00FFFFFFu});
    SFilterSettings settings = NoFilter();
    settings.gamma = true;
    settings.gammaValue = 69; // γ = e^0.69, about 2
    ChainRun run(page);
    EXPECT_TRUE(run.Apply(settings));
    EXPECT_EQ(Pixels(*run.page), Grey({127, 255}));

    // γ = 1 changes no colour but still writes alpha 0, and counts as a filter that ran.
    settings.gammaValue = 0;
    ChainRun neutral(page);
    EXPECT_TRUE(neutral.Apply(settings));
    EXPECT_EQ(Pixels(*neutral.page), Grey({64, 255}));
}

TEST(FilterChain, TheMedianKeepsTheSourceBorderNotTheSparePlanes)
{
    SFilterSettings settings = NoFilter();
    settings.median = true;
    ChainRun run(RandomPage());
    EXPECT_TRUE(run.Apply(settings));
    const int w = RandomPage().GetWidth(), h = RandomPage().GetHeight();
    for (int x = 0; x < w; ++x) {
        EXPECT_EQ(PixelAt(*run.page, x, 0), PixelAt(RandomPage(), x, 0));
        EXPECT_EQ(PixelAt(*run.page, x, h - 1), PixelAt(RandomPage(), x, h - 1));
    }
    for (int y = 0; y < h; ++y) {
        EXPECT_EQ(PixelAt(*run.page, 0, y), PixelAt(RandomPage(), 0, y));
        EXPECT_EQ(PixelAt(*run.page, w - 1, y), PixelAt(RandomPage(), w - 1, y));
    }
    CMemoryPlane32 expected(RandomPage().GetSize());
    expected.Median(RandomPage(), {0, 0}, Whole(RandomPage()));
    EXPECT_EQ(Pixels(*run.page), Pixels(expected));
}

TEST(FilterChain, UnsharpMaskAgainstACopySharpensNothing)
{
    // σ 0.3 blurs to a plain copy, so the page is sharpened against itself: colours stay, alpha
    // becomes 0. The Gauss value is not the unsharp mask's.
    SFilterSettings settings = NoFilter();
    settings.unsharp = true;
    settings.unsharpValue = 30;
    settings.gaussValue = 500;
    ChainRun run(RandomPage());
    EXPECT_TRUE(run.Apply(settings));
    std::vector<std::uint32_t> colours = Pixels(RandomPage());
    for (std::uint32_t& p : colours)
        p &= 0x00FFFFFFu;
    EXPECT_EQ(Pixels(*run.page), colours);

    settings.unsharpValue = 150;
    ChainRun sharpened(RandomPage());
    EXPECT_TRUE(sharpened.Apply(settings));
    CMemoryPlane32 blurred(RandomPage().GetSize()), expected(RandomPage().GetSize());
    blurred.GaussBlur(RandomPage(), {0, 0}, Whole(RandomPage()), 1.5);
    expected.UnsharpMask(RandomPage(), blurred, {0, 0}, Whole(RandomPage()), {0, 0});
    EXPECT_EQ(Pixels(*sharpened.page), Pixels(expected));
}

TEST(FilterChain, AQuarterTurnExchangesTheSides)
{
    CMemoryPlane32 page({300, 200});
    FillRandom(page, 3);
    SFilterSettings settings = NoFilter();
    settings.quarterTurn = 1;
    ChainRun clockwise(page);
    EXPECT_TRUE(clockwise.Apply(settings));
    EXPECT_EQ(clockwise.page->GetSize(), (CSize{200, 300}));
    EXPECT_EQ(PixelAt(*clockwise.page, 199, 0), PixelAt(page, 0, 0));

    settings.quarterTurn = 2;
    ChainRun counter(page);
    EXPECT_TRUE(counter.Apply(settings));
    EXPECT_EQ(counter.page->GetSize(), (CSize{200, 300}));
    EXPECT_EQ(PixelAt(*counter.page, 0, 299), PixelAt(page, 0, 0));
}

TEST(FilterChain, EveryFilterRunsInItsFixedOrder)
{
    SFilterSettings settings = NoFilter();
    settings.alpha = true;
    settings.alphaCheck = false;
    settings.alphaBackground = 0x404040;
    settings.gray = 2;
    settings.levels = true;
    settings.levelsLow = 30;
    settings.levelsHigh = 220;
    settings.gamma = true;
    settings.gammaValue = -40;
    settings.brightnessContrast = true;
    settings.brightness = 9;
    settings.contrast = 100;
    settings.median = true;
    settings.sharp = 2;
    settings.gauss = true;
    settings.gaussValue = 80;
    settings.unsharp = true;
    settings.unsharpValue = 120;
    settings.negative = true;
    settings.flip = 1;
    settings.quarterTurn = 2;
    ChainRun run(RandomPage());
    EXPECT_TRUE(run.Apply(settings));

    // The same steps by hand, one plane after another.
    const CPlane32& page = RandomPage();
    std::vector<std::unique_ptr<CMemoryPlane32>> steps;
    const auto next = [&](CSize size) -> CMemoryPlane32& {
        steps.push_back(std::make_unique<CMemoryPlane32>(size));
        return *steps.back();
    };
    CMemoryPlane32& flat = next(page.GetSize());
    flat.Fill(0x404040);
    flat.AlphaComposite(page, {0, 0}, Whole(page));
    flat.GrayExact(Whole(flat));
    flat.ApplyLevels(Whole(flat), 30, 220);
    flat.ApplyGamma(Whole(flat), std::exp(-0.4));
    flat.ApplyBrightnessContrast(Whole(flat), 9, 100);
    CMemoryPlane32& median = next(page.GetSize());
    median.Median(flat, {0, 0}, Whole(flat));
    CMemoryPlane32& sharp = next(page.GetSize());
    sharp.Sharpen(median, {0, 0}, Whole(median));
    CMemoryPlane32& gauss = next(page.GetSize());
    gauss.GaussBlur(sharp, {0, 0}, Whole(sharp), 0.8);
    CMemoryPlane32& mask = next(page.GetSize());
    mask.GaussBlur(gauss, {0, 0}, Whole(gauss), 1.2);
    gauss.UnsharpMask(gauss, mask, {0, 0}, Whole(gauss), {0, 0});
    gauss.Invert(Whole(gauss));
    CMemoryPlane32& mirrored = next(page.GetSize());
    mirrored.MirrorHorizontal(gauss);
    CMemoryPlane32& turned = next({page.GetHeight(), page.GetWidth()});
    turned.Rotate90CounterClockwise(mirrored);

    EXPECT_EQ(run.page->GetSize(), turned.GetSize());
    EXPECT_EQ(Pixels(*run.page), Pixels(turned));
}
