#include "imaging/text_renderer.h"

#include "imaging/dc_target.h"
#include "imaging/glyph_kernels.h"
#include "plane_builders.h"
#include "plane_fixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

using namespace Brivox;
using PlaneFixtures::PixelAt;
using PlaneFixtures::Pixels;

namespace {

const wchar_t* const japanese = L"日本語の表示";
const wchar_t* const faceName = L"IPAゴシック";

SFontDesc Style(int height, int effect, unsigned flags = SFontDesc::Smooth)
{
    SFontDesc style;
    style.height = height;
    style.effect = effect;
    style.flags = flags;
    style.faceName = faceName;
    return style;
}

// The extent of a line through the wide API, which does not pass through the ANSI code page.
SIZE WideExtent(const SFontDesc& style, const wchar_t* line)
{
    const LOGFONTA narrow = style.ToLogFont();
    LOGFONTW font{};
    font.lfHeight = narrow.lfHeight;
    font.lfWeight = narrow.lfWeight;
    font.lfCharSet = narrow.lfCharSet;
    font.lfQuality = narrow.lfQuality;
    std::wcsncpy(font.lfFaceName, style.faceName.CStr(), LF_FACESIZE - 1);
    const HFONT handle = ::CreateFontIndirectW(&font);
    const HDC dc = ::CreateCompatibleDC(nullptr);
    const HGDIOBJ previous = ::SelectObject(dc, handle);
    SIZE extent{};
    ::GetTextExtentPoint32W(dc, line, static_cast<int>(std::wcslen(line)), &extent);
    ::SelectObject(dc, previous);
    ::DeleteDC(dc);
    ::DeleteObject(handle);
    return extent;
}

// The bounding box of the pixels that hold exactly the value (alpha included).
CRect BoxOf(const CPlane& plane, std::uint32_t value)
{
    CRect box{INT_MAX, INT_MAX, INT_MIN, INT_MIN};
    for (int y = 0; y < plane.GetHeight(); ++y)
        for (int x = 0; x < plane.GetWidth(); ++x)
            if (PixelAt(plane, x, y) == value)
                box = {std::min(box.left, x), std::min(box.top, y), std::max(box.right, x + 1),
                       std::max(box.bottom, y + 1)};
    return box;
}

// Opaque pixels of a pattern that differs at every position, so that a shifted copy shows.
void Pattern(CPlane32& plane, int width, int height)
{
    std::vector<std::uint32_t> pixels;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            pixels.push_back(0xFF000000u | static_cast<std::uint32_t>(x * 5) << 8 |
                             static_cast<std::uint32_t>(y * 7));
    PlaneBuilders::Fill(plane, width, height, pixels);
}

} // namespace

TEST(GlyphCoverage, BlendsTowardsTheColourAndCutsAtThePlane)
{
    const struct
    {
        std::uint32_t background;
        std::uint32_t colour; // COLORREF
        CPoint at;
        std::vector<std::uint32_t> expected;
    } cases[] = {
        // Coverage 0 leaves the pixel, 64 writes the colour, 32 of white over black gives 127.
        {0xFF000000,
         0xFFFFFF,
         {1, 1},
         {0xFF000000, 0xFF000000, 0xFF000000, 0xFF000000, //
          0xFF000000, 0xFF000000, 0x007F7F7F, 0xFF000000, //
          0xFF000000, 0x00FFFFFF, 0x003F3F3F, 0xFF000000}},
        // Towards a smaller value the step is cut towards zero too: 255 - 127.5 gives 128.
        {0x00FFFFFF,
         0x0000FF,
         {0, 0},
         {0x00FFFFFF, 0x00FF8080, 0x00FFFFFF, 0x00FFFFFF, //
          0x00FF0000, 0x00FFC0C0, 0x00FFFFFF, 0x00FFFFFF, //
          0x00FFFFFF, 0x00FFFFFF, 0x00FFFFFF, 0x00FFFFFF}},
        // Boxes reaching past the plane's edges touch only what lies inside.
        {0xFF000000,
         0xFFFFFF,
         {-1, -1},
         {0x003F3F3F, 0xFF000000, 0xFF000000, 0xFF000000, //
          0xFF000000, 0xFF000000, 0xFF000000, 0xFF000000, //
          0xFF000000, 0xFF000000, 0xFF000000, 0xFF000000}},
        {0xFF000000,
         0xFFFFFF,
         {3, 2},
         {0xFF000000, 0xFF000000, 0xFF000000, 0xFF000000, //
          0xFF000000, 0xFF000000, 0xFF000000, 0xFF000000, //
          0xFF000000, 0xFF000000, 0xFF000000, 0xFF000000}},
    };
    // Rows padded to 4 bytes, as the system delivers them.
    const std::uint8_t coverage[] = {0, 32, 9, 9, 64, 16, 9, 9};
    for (const auto& c : cases) {
        CMemoryPlane32 plane;
        PlaneBuilders::Flood(plane, 4, 3, c.background);
        const Detail::PlaneBitsLock bits(plane);
        Kernels::BlendGlyphCoverage(bits.Top(), bits.Stride(), 4, 3, c.at.x, c.at.y, coverage, 2, 2, 4,
                                    c.colour);
        EXPECT_EQ(c.expected, Pixels(plane)) << c.at.x << "," << c.at.y;
    }
}

TEST(TextRenderer, MeasuresJapaneseThroughTheAnsiCodePage)
{
    ASSERT_EQ(932u, ::GetACP()) << "the text tests run under the Japanese code page";
    const SFontDesc style = Style(20, 1, 0);
    const SIZE extent = WideExtent(style, japanese);
    // Six full-width characters.
    ASSERT_GE(extent.cx, 6 * 15);
    const CSize size = CTextRenderer(style).Measure(japanese);
    // The shadow's 2 pixels and the margins 2, 1, 2, 1.
    EXPECT_EQ(extent.cx + 2 + 4, size.cx);
    EXPECT_EQ(extent.cy + 2 + 2, size.cy);
}

TEST(TextRenderer, LinesEffectsAndSpacing)
{
    const struct
    {
        const wchar_t* text;
        int effect, offset, spacing;
        const wchar_t* widest;
        int lines;
    } cases[] = {
        {L"A\r\nBB\rCCC\n", 0, 2, 4, L"CCC", 3},    // the trailing line feed is trimmed away
        {L"AB\r\n\r\nA", 0, 2, 4, L"AB", 3},        // empty lines inside stay
        {L"本\n日本語\r\n", 1, 3, 0, L"日本語", 2}, // a shadow of 3 adds 3 to each line
        {L"本\n日本語", 2, 2, 1, L"日本語", 2},     // an outline of 2 adds 4
    };
    for (const auto& c : cases) {
        SFontDesc style = Style(20, c.effect, 0);
        style.effectOffset = c.offset;
        style.lineSpacing = c.spacing;
        const int e = c.effect == 0 ? 0 : c.effect == 1 ? c.offset : 2 * c.offset;
        const CSize size = CTextRenderer(style).Measure(c.text);
        EXPECT_EQ(WideExtent(style, c.widest).cx + e + 4, size.cx) << c.lines;
        EXPECT_EQ(c.lines * (20 + c.spacing + e) - c.spacing + 2, size.cy) << c.lines;
    }
}

TEST(TextRenderer, JapaneseGlyphsLandInsideTheMeasuredBox)
{
    const SFontDesc style = Style(24, 0);
    const CTextRenderer renderer(style);
    const CSize box = renderer.Measure(japanese);
    auto draw = [&](const wchar_t* text) {
        CMemoryPlane32 plane;
        PlaneBuilders::Flood(plane, box.cx + 20, box.cy + 20, 0xFF000000);
        renderer.DrawToPlane(plane, {5, 6}, text);
        return Pixels(plane);
    };
    const std::vector<std::uint32_t> pixels = draw(japanese);
    int changed = 0, full = 0;
    CRect drawn{INT_MAX, INT_MAX, INT_MIN, INT_MIN};
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        if (pixels[i] == 0xFF000000)
            continue;
        const int x = static_cast<int>(i) % (box.cx + 20), y = static_cast<int>(i) / (box.cx + 20);
        ++changed;
        full += pixels[i] == 0x00FFFFFF;
        EXPECT_EQ(0u, pixels[i] >> 24) << x << "," << y;
        drawn = {std::min(drawn.left, x), std::min(drawn.top, y), std::max(drawn.right, x + 1),
                 std::max(drawn.bottom, y + 1)};
    }
    EXPECT_GT(full, 60);
    EXPECT_GT(changed, full);
    // Inside the box and spread over the width of its six characters.
    EXPECT_GE(drawn.left, 5);
    EXPECT_GE(drawn.top, 6);
    EXPECT_LE(drawn.right, 5 + box.cx);
    EXPECT_LE(drawn.bottom, 6 + box.cy);
    EXPECT_GT(drawn.Width(), (box.cx - 4) * 3 / 4);
    // Other characters give other glyphs.
    EXPECT_NE(pixels, draw(L"??????"));
}

TEST(TextRenderer, ShadowAndOutlineSurroundTheText)
{
    // A solid square: its fully covered pixels form a rectangle in every copy.
    const wchar_t* square = L"■";
    const std::uint32_t white = 0x00FFFFFF, red = 0x00FF0000;
    for (int effect : {0, 1, 2}) {
        SFontDesc style = Style(30, effect);
        style.effectOffset = 3;
        style.effectColour = RGB(255, 0, 0);
        CMemoryPlane32 plane;
        PlaneBuilders::Flood(plane, 60, 60, 0xFF000000);
        CTextRenderer(style).DrawToPlane(plane, {10, 10}, square);
        const CRect text = BoxOf(plane, white), effectBox = BoxOf(plane, red);
        ASSERT_GT(text.Width(), 5) << effect;
        if (effect == 0) {
            EXPECT_EQ(INT_MAX, effectBox.left);
            continue;
        }
        EXPECT_EQ(text.right + 3, effectBox.right) << effect;
        EXPECT_EQ(text.bottom + 3, effectBox.bottom) << effect;
        if (effect == 2) {
            // The outline's copies lie around the text, which is drawn last at (3, 3).
            EXPECT_EQ(text.left - 3, effectBox.left);
            EXPECT_EQ(text.top - 3, effectBox.top);
        }
    }
}

TEST(TextRenderer, SmoothDrawingIntoADeviceContextMatchesDrawingIntoThePlane)
{
    SFontDesc style = Style(22, 2);
    style.effectColour = RGB(0, 0, 200);
    const CTextRenderer renderer(style);
    // At (3, 3) the copied area starts at (-5, -5): the target's DC cuts it.
    for (const CPoint at : {CPoint{3, 3}, CPoint{20, 9}}) {
        CDib32 target;
        Pattern(target, 200, 60);
        CMemoryPlane32 expected;
        Pattern(expected, 200, 60);
        renderer.DrawToPlane(expected, at, japanese);
        {
            const Detail::PlaneDcLock dc(target);
            renderer.Draw(dc.GetDC(), at, japanese);
        }
        std::vector<std::uint32_t> drawn = Pixels(target), wanted = Pixels(expected);
        for (std::size_t i = 0; i < drawn.size(); ++i)
            drawn[i] &= 0xFFFFFF, wanted[i] &= 0xFFFFFF;
        EXPECT_EQ(wanted, drawn) << at.x;
    }
}

TEST(TextRenderer, DirectDrawingFillsTheBoxAndDrawsWithTheSystem)
{
    SFontDesc style = Style(20, 1, SFontDesc::FillBackground);
    style.backgroundColour = RGB(0, 0, 255);
    style.effectColour = RGB(255, 0, 0);
    const CTextRenderer renderer(style);
    const CSize box = renderer.Measure(japanese);
    CDib32 target;
    PlaneBuilders::Flood(target, box.cx + 10, box.cy + 10, 0);
    {
        const Detail::PlaneDcLock dc(target);
        ::SetTextColor(dc.GetDC(), RGB(1, 2, 3));
        renderer.Draw(dc.GetDC(), {4, 5}, japanese);
        EXPECT_EQ(RGB(1, 2, 3), ::GetTextColor(dc.GetDC()));
    }
    int text = 0, shadow = 0;
    for (int y = 0; y < box.cy + 10; ++y) {
        for (int x = 0; x < box.cx + 10; ++x) {
            const std::uint32_t pixel = PixelAt(target, x, y) & 0xFFFFFF;
            const bool inside = x >= 4 && x < 4 + box.cx && y >= 5 && y < 5 + box.cy;
            if (!inside)
                ASSERT_EQ(0u, pixel) << x << "," << y;
            else
                ASSERT_NE(0u, pixel) << x << "," << y;
            text += pixel == 0xFFFFFF;
            shadow += pixel == 0xFF0000;
        }
    }
    EXPECT_GT(text, 60);
    EXPECT_GT(shadow, 20);
}

TEST(TextRenderer, ThreadsDrawSmoothlyAtOnceWithTheirOwnScratchPlanes)
{
    const SFontDesc style = Style(18, 1);
    auto draw = [&](const wchar_t* text) {
        CDib32 target;
        Pattern(target, 160, 40);
        const CTextRenderer renderer(style);
        const Detail::PlaneDcLock dc(target);
        renderer.Draw(dc.GetDC(), {2, 2}, text);
        return Pixels(target);
    };
    const wchar_t* const texts[] = {japanese, L"かなカナ漢字", L"Kanoru2 画像", L"■□●"};
    std::vector<std::vector<std::uint32_t>> alone;
    for (const wchar_t* text : texts)
        alone.push_back(draw(text));
    std::vector<std::vector<std::uint32_t>> together(4);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int round = 0; round < 5; ++round)
                together[t] = draw(texts[(t + round) % 4]);
        });
    for (std::thread& thread : threads)
        thread.join();
    for (int t = 0; t < 4; ++t)
        EXPECT_EQ(alone[t], together[t]) << t; // each thread's last text
}
