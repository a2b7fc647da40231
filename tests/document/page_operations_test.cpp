#include "document/document.h"
#include "support/clipboard_turn.h"

#include "formats/archive_fixtures.h"
#include "formats/argb_loader.h"
#include "formats/bmp_loader.h"
#include "formats/file_data.h"
#include "formats/image_loader.h"
#include "formats/jpeg_loader.h"
#include "formats/png_loader.h"
#include "foundation/display_mode.h"
#include "foundation/file_test_support.h"
#include "imaging/rotate.h"
#include "settings/config_schema.h"
#include "test_decoder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

using Brivox::CRect;
using Brivox::CSize;
using Brivox::String;
using FileTestSupport::MakeFolder;
using FileTestSupport::WriteText;

namespace {

using Pixels = std::vector<std::uint32_t>;

class SilentView : public IDocView
{
public:
    void UpdateScrollBars() override {}
    void InvalidateView(const CRect&) override {}
    void ReportError(const String&) override {}
};

Pixels Read(const Brivox::CPlane32& plane)
{
    Pixels pixels;
    const Brivox::Detail::PlaneBitsLock bits(plane);
    for (int y = 0; y < plane.GetHeight(); ++y)
        for (int x = 0; x < plane.GetWidth(); ++x)
            pixels.push_back(*reinterpret_cast<const std::uint32_t*>(bits.Pixel(x, y)));
    return pixels;
}

void Paint(Brivox::CPlane32& plane, const std::function<std::uint32_t(int x, int y)>& pixel)
{
    const Brivox::Detail::PlaneBitsLock bits(plane);
    for (int y = 0; y < plane.GetHeight(); ++y)
        for (int x = 0; x < plane.GetWidth(); ++x)
            *reinterpret_cast<std::uint32_t*>(bits.Pixel(x, y)) = pixel(x, y);
}

// No two pixels of a page alike, smooth enough for JPEG.
std::uint32_t Pattern(int x, int y)
{
    return 0xFF000000u | static_cast<std::uint32_t>((x * 5) & 0xFF) << 16 |
           static_cast<std::uint32_t>((y * 7) & 0xFF) << 8 | static_cast<std::uint32_t>((x + y) & 0xFF);
}

// The pixels of width × height as the function gives them.
Pixels Expected(int width, int height, const std::function<std::uint32_t(int x, int y)>& pixel)
{
    Pixels pixels;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            pixels.push_back(pixel(x, y));
    return pixels;
}

Pixels Rgb(Pixels pixels)
{
    for (auto& pixel : pixels)
        pixel &= 0x00FFFFFFu;
    return pixels;
}

// A file decoded as the reader would decode it.
std::shared_ptr<Brivox::CPlane32> Decode(const String& path)
{
    Brivox::CImageLoader loader;
    loader.Open(std::make_shared<Brivox::CExistFileData>(path));
    auto plane = std::make_shared<Brivox::CMemoryPlane32>(loader.GetSize());
    loader.Load(*plane, {0, 0});
    return plane;
}

class PageOperationsTest : public FileTestSupport::TempFolderTest
{
protected:
    void SetUp() override
    {
        TempFolderTest::SetUp();
        ASSERT_EQ(932u, ::GetACP()) << "run with LC_ALL=ja_JP.UTF-8";
        TestDecoder::Register();
        TestDecoder::Reset();
        m_savedLoaders = Brivox::GetImageLoaderFactories().Snapshot();
        Brivox::FactoryList<Brivox::IImageLoader> loaders = *m_savedLoaders;
        loaders.push_back(
            {0, std::make_shared<Brivox::DefaultFactory<Brivox::CBmpLoader, Brivox::IImageLoader>>()});
        loaders.push_back(
            {0, std::make_shared<Brivox::DefaultFactory<Brivox::CPngLoader, Brivox::IImageLoader>>()});
        loaders.push_back(
            {0, std::make_shared<Brivox::DefaultFactory<Brivox::CJpgLoader, Brivox::IImageLoader>>()});
        loaders.push_back(
            {0, std::make_shared<Brivox::DefaultFactory<Brivox::CArgbLoader, Brivox::IImageLoader>>()});
        Brivox::GetImageLoaderFactories().Replace(loaders);
        InitConfig(settings, At(L"none.cfg"));
        settings.SetRaw(L"TmpDir", At(L"t"));
        settings.SetInt(L"ImageSpreadView_", 0);
        // Drawn with the plain stretch: no display copies to wait for.
        settings.SetInt(L"DrawMode_", 0);
        settings.SetRaw(L"HistoryDir", At(L"h\\"));
        MakeFolder(At(L"t"));
        MakeFolder(At(L"d"));
    }
    void TearDown() override
    {
        document.reset();
        Brivox::GetImageLoaderFactories().Replace(*m_savedLoaders);
        TempFolderTest::TearDown();
    }

    // A document showing d\page.tst of the description, in a view of 800 × 600 that shows it
    // unscaled.
    CDocument& Open(const std::string& description)
    {
        WriteText(At(L"d\\page.tst"), description);
        return OpenPath(At(L"d\\page.tst"));
    }
    CDocument& OpenPath(const String& path)
    {
        document = std::make_unique<CDocument>(
            &view, nullptr, nullptr, &settings,
            SMemoryProbe{[] { return std::uint64_t{1} << 33; }, [] { return std::uint64_t{100} << 20; }});
        document->SetViewRect({800, 600});
        document->OpenPath(path);
        return *document;
    }
    // The page painted with the pattern.
    CDocument& OpenPattern(int width, int height, const char* extra = "")
    {
        CDocument& doc = Open(std::to_string(width) + " " + std::to_string(height) + " 000000" + extra);
        Paint(*doc.GetPagePlane(), Pattern);
        return doc;
    }
    Pixels Page() const { return Read(*document->GetPagePlane()); }
    // A view rectangle over the page pixels (left, top)–(right, bottom) of the unscaled page.
    CRect Selection(int left, int top, int right, int bottom) const
    {
        const CRect dest = document->GetLayout().GetDestRect();
        return {dest.left + left, dest.top + top, dest.left + right, dest.top + bottom};
    }

    Brivox::CConfig settings;
    SilentView view;
    std::unique_ptr<CDocument> document;

private:
    std::shared_ptr<const Brivox::FactoryList<Brivox::IImageLoader>> m_savedLoaders;
};

// ---- Transforms

TEST_F(PageOperationsTest, ExactTransformsMoveEveryPixelWhereTheTurnPutsIt)
{
    constexpr int w = 300, h = 200;
    const struct
    {
        const char* name;
        void (CDocument::*transform)();
        CSize size;
        std::function<std::uint32_t(int, int)> source; // of the new pixel (x, y)
    } cases[] = {
        {"flip horizontal",
         &CDocument::FlipHorizontal,
         {w, h},
         [](int x, int y) { return Pattern(w - 1 - x, y); }},
        {"flip vertical",
         &CDocument::FlipVertical,
         {w, h},
         [](int x, int y) { return Pattern(x, h - 1 - y); }},
        {"half turn",
         &CDocument::Rotate180,
         {w, h},
         [](int x, int y) { return Pattern(w - 1 - x, h - 1 - y); }},
        {"quarter turn clockwise",
         &CDocument::Rotate90Clockwise,
         {h, w},
         [](int x, int y) { return Pattern(y, h - 1 - x); }},
        {"quarter turn counter-clockwise",
         &CDocument::Rotate90CounterClockwise,
         {h, w},
         [](int x, int y) { return Pattern(w - 1 - y, x); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CDocument& doc = OpenPattern(w, h);
        const auto before = doc.GetPagePlane();
        (doc.*c.transform)();
        EXPECT_EQ(c.size, doc.GetPageSize());
        EXPECT_EQ(Expected(c.size.cx, c.size.cy, c.source), Page());
        // A fresh plane took the page's place, and the layout fits its size.
        EXPECT_NE(before, doc.GetPagePlane());
        EXPECT_EQ((CRect{0, 0, c.size.cx, c.size.cy}), doc.GetLayout().GetImageRect());
        EXPECT_EQ(nullptr, doc.GetDisplayCopy());
    }
}

TEST_F(PageOperationsTest, RotationByQuarterAnglesEqualsTheExactTurnsAnd45DegreesGrowsWithBlackCorners)
{
    const struct
    {
        double angle;
        void (CDocument::*exact)();
    } cases[] = {{0, nullptr},
                 {90, &CDocument::Rotate90Clockwise},
                 {180, &CDocument::Rotate180},
                 {270, &CDocument::Rotate90CounterClockwise}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.angle);
        CDocument& doc = OpenPattern(30, 20);
        if (c.exact)
            (doc.*c.exact)();
        const CSize size = doc.GetPageSize();
        const Pixels exact = Rgb(Page());
        OpenPattern(30, 20).RotateByAngle(c.angle);
        EXPECT_EQ(size, document->GetPageSize());
        EXPECT_EQ(exact, Rgb(Page()));
    }

    CDocument& doc = OpenPattern(30, 20);
    doc.RotateByAngle(45);
    const CSize size = doc.GetPageSize();
    EXPECT_EQ(Brivox::GetRotatedSize({30, 20}, 45), size);
    EXPECT_GT(size.cx, 30);
    EXPECT_GT(size.cy, 20);
    const Pixels pixels = Rgb(Page());
    for (const auto& [x, y] :
         {std::pair{0, 0}, {size.cx - 1, 0}, {0, size.cy - 1}, {size.cx - 1, size.cy - 1}})
        EXPECT_EQ(0u, pixels[y * size.cx + x]) << x << "," << y;
    EXPECT_NE(0u, pixels[size.cy / 2 * size.cx + size.cx / 2]);
}

TEST_F(PageOperationsTest, ResizeKeepsTheAlphaOfAGradientAndASizeBelowOnePixelChangesNothing)
{
    CDocument& doc = Open("64 8 000000 alpha");
    Paint(*doc.GetPagePlane(),
          [](int x, int) { return static_cast<std::uint32_t>(x * 255 / 63) << 24 | 0x808080u; });
    const Pixels before = Page();
    for (const CSize& size : {CSize{0, 5}, CSize{5, 0}, CSize{-3, 5}}) {
        doc.ResizePage(size);
        EXPECT_EQ((CSize{64, 8}), doc.GetPageSize());
        EXPECT_EQ(before, Page());
    }

    doc.ResizePage({32, 4});
    ASSERT_EQ((CSize{32, 4}), doc.GetPageSize());
    const Pixels pixels = Page();
    int previous = -1;
    for (int x = 0; x < 32; ++x) {
        const int alpha = static_cast<int>(pixels[32 + x] >> 24);
        EXPECT_GE(alpha, previous - 2) << x;
        previous = alpha;
    }
    EXPECT_LT(static_cast<int>(pixels[32] >> 24), 24);
    EXPECT_GT(static_cast<int>(pixels[32 + 31] >> 24), 231);
    EXPECT_NEAR(128, static_cast<int>(pixels[32 + 16] >> 24), 24);
    EXPECT_TRUE(doc.HasPageAlpha());
}

TEST_F(PageOperationsTest, CropKeepsTheSelectedRectangleAndASelectionBesideThePageChangesNothing)
{
    CDocument& doc = OpenPattern(40, 30);
    const Pixels before = Page();
    const CRect dest = doc.GetLayout().GetDestRect();
    doc.CropPage({dest.right + 5, dest.top, dest.right + 20, dest.bottom});
    EXPECT_EQ((CSize{40, 30}), doc.GetPageSize());
    EXPECT_EQ(before, Page());

    doc.CropPage(Selection(5, 4, 15, 12));
    EXPECT_EQ((CSize{10, 8}), doc.GetPageSize());
    EXPECT_EQ(Expected(10, 8, [](int x, int y) { return Pattern(x + 5, y + 4); }), Page());
    EXPECT_EQ((CRect{0, 0, 10, 8}), doc.GetLayout().GetImageRect());
}

TEST_F(PageOperationsTest, FiltersChangeOnlyTheSelectedRectangle)
{
    CDocument& doc = OpenPattern(40, 30);
    const Pixels before = Page();
    doc.Blur(Selection(10, 10, 20, 20));
    doc.InvertSelection(Selection(25, 0, 30, 5));
    const Pixels after = Page();
    int changed = 0;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) {
            const bool blurred = x >= 10 && x < 20 && y >= 10 && y < 20;
            const bool inverted = x >= 25 && x < 30 && y < 5;
            const std::uint32_t was = before[y * 40 + x], is = after[y * 40 + x];
            if (inverted)
                EXPECT_EQ(was ^ 0x00FFFFFFu, is) << x << "," << y;
            else if (!blurred)
                EXPECT_EQ(was, is) << x << "," << y;
            else
                changed += was != is;
        }
    EXPECT_GT(changed, 0);

    // Mosaic of an unknown kind leaves the pixels as they are.
    doc.ApplyMosaic({}, 4, 2);
    EXPECT_EQ(after, Page());
}

TEST_F(PageOperationsTest, AlphaIsFlattenedOntoTheColourOnlyWherePagesHaveAlphaWhenAsked)
{
    CDocument& opaque = Open("4 4 00ff0000");
    opaque.ApplyAlpha({}, RGB(0, 0, 255), true);
    EXPECT_EQ(Pixels(16, 0x00FF0000u), Page());

    CDocument& doc = Open("4 4 00ff0000 alpha");
    ASSERT_TRUE(doc.HasPageAlpha());
    doc.ApplyAlpha({}, RGB(0, 0, 255), true);
    EXPECT_FALSE(doc.HasPageAlpha());
    // Transparent red gives way to the blue background (COLORREF blue is 0x0000FF in the pixel).
    for (std::uint32_t pixel : Rgb(Page()))
        EXPECT_EQ(0x0000FFu, pixel);
}

// ---- Previews

TEST_F(PageOperationsTest, ACancelledPreviewGivesBackThePageAsItWasWhateverThePreviewsDid)
{
    CDocument& doc = OpenPattern(30, 20, " alpha");
    ASSERT_TRUE(doc.HasPageAlpha());
    const Pixels original = Page();
    doc.BeginPreview();
    doc.RestorePreview();
    doc.RotateByAnglePreview(30);
    doc.RestorePreview();
    doc.ApplyAlpha({}, RGB(255, 255, 255), false);
    doc.RestorePreview();
    doc.Rotate90Clockwise();
    EXPECT_EQ((CSize{20, 30}), doc.GetPageSize());
    EXPECT_EQ(0, doc.GetDrawMode());
    doc.CancelPreview();
    EXPECT_FALSE(doc.IsPreviewOpen());
    EXPECT_EQ((CSize{30, 20}), doc.GetPageSize());
    EXPECT_EQ(original, Page());
    EXPECT_TRUE(doc.HasPageAlpha());
    EXPECT_EQ((CRect{0, 0, 30, 20}), doc.GetLayout().GetImageRect());
}

TEST_F(PageOperationsTest, AnEndedPreviewKeepsTheLastResultAndAScopeNotEndedCancels)
{
    CDocument& doc = OpenPattern(30, 20);
    const Pixels original = Page();
    {
        CPreviewScope preview(doc);
        doc.RestorePreview();
        doc.FlipHorizontal();
        doc.RestorePreview();
        doc.Rotate180();
        preview.End();
    }
    EXPECT_FALSE(doc.IsPreviewOpen());
    EXPECT_EQ(Expected(30, 20, [](int x, int y) { return Pattern(29 - x, 19 - y); }), Page());

    doc.Rotate180();
    ASSERT_EQ(original, Page());
    {
        CPreviewScope preview(doc);
        doc.RestorePreview();
        doc.InvertSelection({});
    }
    EXPECT_FALSE(doc.IsPreviewOpen());
    EXPECT_EQ(original, Page());
}

TEST_F(PageOperationsTest, NavigationAndListChangesDoNothingWhileAPreviewIsOpen)
{
    for (int i = 0; i < 3; ++i)
        WriteText(At((L"d\\p" + std::to_wstring(i) + L".tst").c_str()),
                  std::to_string(10 + i) + " 20 3366cc");
    CDocument& doc = OpenPath(At(L"d\\"));
    ASSERT_EQ(3, doc.GetFileCount());
    doc.BeginPreview();
    doc.RestorePreview();
    doc.FlipVertical();
    doc.GoNext(-1);
    doc.GoTo(2);
    doc.RemoveCurrentFromList();
    doc.OpenPath(At(L"d\\p2.tst"));
    EXPECT_EQ(0, doc.GetCurrentIndex());
    EXPECT_EQ(3, doc.GetFileCount());
    EXPECT_EQ(10, doc.GetPageSize().cx);
    doc.EndPreview();
    doc.GoNext(-1);
    EXPECT_EQ(1, doc.GetCurrentIndex());
}

// ---- Saving

TEST_F(PageOperationsTest, EachFormatSavesThePageOrOnlyTheSelectionAndDecodesBack)
{
    const struct
    {
        const wchar_t* name;
        void (CDocument::*save)(const String&, const CRect&);
        int tolerance;
    } cases[] = {
        {L"o.jpg", &CDocument::SaveAsJpg, 12},
        {L"o.png", &CDocument::SaveAsPng, 0},
        {L"o.bmp", &CDocument::SaveAsBmp, 0},
        {L"o.argb", &CDocument::SaveAsArgb, 0},
    };
    settings.SetInt(L"JpgQuality", 95);
    CDocument& doc = OpenPattern(40, 30);
    for (const auto& c : cases) {
        for (const bool selected : {false, true}) {
            SCOPED_TRACE(std::wstring(c.name) + (selected ? L" selection" : L" whole"));
            const String path = At(c.name);
            (doc.*c.save)(path, selected ? Selection(5, 4, 15, 12) : CRect{});
            const auto saved = Decode(path);
            const CRect rect = selected ? CRect{5, 4, 15, 12} : CRect{0, 0, 40, 30};
            ASSERT_EQ((CSize{rect.Width(), rect.Height()}), saved->GetSize());
            const Pixels pixels = Rgb(Read(*saved));
            int worst = 0;
            for (int y = 0; y < rect.Height(); ++y)
                for (int x = 0; x < rect.Width(); ++x) {
                    const std::uint32_t want = Pattern(x + rect.left, y + rect.top);
                    const std::uint32_t got = pixels[y * rect.Width() + x];
                    for (int shift = 0; shift < 24; shift += 8)
                        worst = std::max(worst, std::abs(static_cast<int>((want >> shift) & 0xFF) -
                                                         static_cast<int>((got >> shift) & 0xFF)));
                }
            EXPECT_LE(worst, c.tolerance);
        }
    }
    // The list is not changed unless the settings ask.
    EXPECT_EQ(1, doc.GetFileCount());
}

TEST_F(PageOperationsTest, ASaveIsAddedToTheListAfterTheCurrentEntryOrAtTheEnd)
{
    for (int i = 0; i < 3; ++i)
        WriteText(At((L"d\\p" + std::to_wstring(i) + L".tst").c_str()),
                  std::to_string(10 + i) + " 20 3366cc");
    settings.SetBool(L"FileAddWithSave", true);
    CDocument& doc = OpenPath(At(L"d\\"));
    doc.GoNext(-1);
    ASSERT_EQ(1, doc.GetCurrentIndex());

    settings.SetBool(L"FileAddWithSaveNext", true);
    doc.SaveAsBmp(At(L"next.bmp"), {});
    settings.SetBool(L"FileAddWithSaveNext", false);
    doc.SaveAsBmp(At(L"end.bmp"), {});
    // The current file itself, in another letter case, is not added twice.
    String current = doc.GetEntryCopy(1)->GetPath();
    doc.SaveAsBmp(current.ToUpper(), {});

    ASSERT_EQ(5, doc.GetFileCount());
    EXPECT_EQ(1, doc.GetCurrentIndex());
    EXPECT_TRUE(doc.GetEntryCopy(2)->GetPath().EqualsIgnoreCase(At(L"next.bmp")));
    EXPECT_TRUE(doc.GetEntryCopy(4)->GetPath().EqualsIgnoreCase(At(L"end.bmp")));
    // The page after the current one is the saved file now.
    doc.GoNext(-1);
    EXPECT_EQ(11, doc.GetPageSize().cx);
}

TEST_F(PageOperationsTest, AFileSavedOverTheCurrentOneIsWhatTheReaderSeesWhenItComesBack)
{
    for (int i = 0; i < 4; ++i)
        WriteText(At((L"d\\p" + std::to_wstring(i) + L".tst").c_str()),
                  std::to_string(10 + i) + " 20 3366cc");
    // One page in the ring, decodes kept: the way back decodes the file again, or finds its
    // earlier decode.
    settings.SetBool(L"ImageCache", false);
    settings.SetBool(L"LoaderCaching", true);
    CDocument& doc = OpenPath(At(L"d\\"));
    ASSERT_EQ(10, doc.GetPageSize().cx);
    Paint(*doc.GetPagePlane(), Pattern);
    doc.CropPage(Selection(2, 3, 8, 13));
    doc.SaveAsBmp(At(L"d\\p0.tst"), {});
    doc.GoNext(-1);
    doc.GoNext(-1);
    ASSERT_EQ(2, doc.GetCurrentIndex());
    doc.GoPrevious(-1);
    doc.GoPrevious(-1);
    ASSERT_EQ(0, doc.GetCurrentIndex());
    EXPECT_EQ((CSize{6, 10}), doc.GetPageSize());
    EXPECT_EQ(Rgb(Expected(6, 10, [](int x, int y) { return Pattern(x + 2, y + 3); })), Rgb(Page()));
}

TEST_F(PageOperationsTest, AFailedSaveLeavesTheOldFileAndTheList)
{
    settings.SetBool(L"FileAddWithSave", true);
    CDocument& doc = OpenPattern(8, 8);
    MakeFolder(At(L"folder.png"));
    EXPECT_THROW(doc.SaveAsPng(At(L"folder.png"), {}), std::exception);
    EXPECT_EQ(1, doc.GetFileCount());
    EXPECT_TRUE(FileTestSupport::Exists(At(L"folder.png")));
}

// ---- Measurements

// The text of a file written as UTF-16LE with its mark.
std::vector<unsigned char> Utf16File(const std::wstring& text)
{
    std::vector<unsigned char> bytes{0xFF, 0xFE};
    for (wchar_t c : text) {
        bytes.push_back(static_cast<unsigned char>(c & 0xFF));
        bytes.push_back(static_cast<unsigned char>(c >> 8));
    }
    return bytes;
}

TEST_F(PageOperationsTest, TheLevelsCsvOfOnePixelCountsItOnItsLevel)
{
    CDocument& doc = OpenPattern(40, 30);
    // Pixel (7, 3): red 35, green 21, blue 10, level (35 + 21 + 10) / 3 = 22.
    doc.WriteLevelCsv(Selection(7, 3, 8, 4), At(L"out\\levels.csv"));
    std::wstring text = L"\"ファイル名\",\"" + std::wstring(At(L"d\\page.tst").CStr()) + L"\"\r\n" +
                        L"\"領域(x,y,w,h)\",7,3,1,1,\r\n\"データ：\"\r\n";
    for (int i = 0; i < 256; ++i)
        text += std::to_wstring(i) + L"," + (i == 22 ? L"1" : L"0") + L"\r\n";
    const auto written = FileTestSupport::ReadBytes(At(L"out\\levels.csv"));
    const auto expected = Utf16File(text);
    EXPECT_EQ(std::vector<unsigned char>(expected.begin(), expected.end()),
              std::vector<unsigned char>(written.begin(), written.end()));
    // Nothing but the file is left in its folder.
    EXPECT_EQ(std::vector<std::wstring>{L"levels.csv"}, FileTestSupport::Tree(At(L"out\\")));
}

TEST_F(PageOperationsTest, HalfBlackHalfWhiteMeasuresMeanAndDeviationOf127Point5)
{
    CDocument& doc = Open("10 10 000000");
    Paint(*doc.GetPagePlane(), [](int x, int) { return x < 5 ? 0xFF000000u : 0xFFFFFFFFu; });
    double mean = -1, deviation = -1;
    const auto graph = doc.GetLevelHistogram({}, {64, 32}, mean, deviation);
    EXPECT_DOUBLE_EQ(127.5, mean);
    EXPECT_DOUBLE_EQ(127.5, deviation);
    EXPECT_EQ((CSize{64, 32}), graph->GetSize());
    EXPECT_EQ(2, doc.CountColors({}));
    const COLORREF average = doc.GetAverageColor({});
    for (int channel : {GetRValue(average), GetGValue(average), GetBValue(average)})
        EXPECT_NEAR(127.5, channel, 0.5);
}

TEST_F(PageOperationsTest, ASelectionBesideThePageMeasuresZeroAndChangesNothing)
{
    CDocument& doc = OpenPattern(40, 30);
    const Pixels before = Page();
    const CRect dest = doc.GetLayout().GetDestRect();
    const CRect outside{dest.right + 10, dest.bottom + 10, dest.right + 30, dest.bottom + 30};
    double mean = -1, deviation = -1;
    const auto graph = doc.GetLevelHistogram(outside, {16, 8}, mean, deviation);
    EXPECT_EQ(0.0, mean);
    EXPECT_EQ(0.0, deviation);
    EXPECT_EQ((CSize{16, 8}), graph->GetSize());
    EXPECT_EQ(0u, doc.GetAverageColor(outside));
    EXPECT_EQ(0, doc.CountColors(outside));
    doc.FillSelection(RGB(1, 2, 3), outside);
    doc.GrayscaleSelection(outside, true);
    doc.ApplyGauss(outside, 2.0);
    doc.ApplyUnsharp(outside, 2.0);
    doc.CropPage(outside);
    EXPECT_EQ(before, Page());
    // What is saved is then the whole page.
    doc.SaveAsPng(At(L"whole.png"), outside);
    EXPECT_EQ(before, Read(*Decode(At(L"whole.png"))));
}

TEST_F(PageOperationsTest, TheMd5IsTheDigestOfTheFileAlsoInAnArchive)
{
    // "12 20 3366cc" by RFC 1321.
    const wchar_t* const digest = L"957c036898db054b1bf5e3fe96ffb583";
    EXPECT_EQ(std::wstring(digest), Open("12 20 3366cc").GetCurrentFileMd5().CStr());

    ArchiveFixtures::ZipRegistration zip;
    ArchiveFixtures::WriteFile(At(L"d\\book.zip"), ArchiveFixtures::Zip({{"1.tst", "12 20 3366cc"}}));
    CDocument& doc = OpenPath(At(L"d\\book.zip"));
    ASSERT_TRUE(doc.HasCurrentImage());
    EXPECT_EQ(std::wstring(digest), doc.GetCurrentFileMd5().CStr());
    doc.Close();
    EXPECT_EQ(std::wstring(), doc.GetCurrentFileMd5().CStr());
}

// ---- Wallpaper

class WallpaperTest : public PageOperationsTest
{
protected:
    CDocument& Hooked(CDocument& doc)
    {
        doc.SetWallpaperHook([this](const String& path) { set.push_back(path.CStr()); });
        return doc;
    }
    std::vector<std::wstring> set;
};

TEST_F(WallpaperTest, TheFixedNameIsOverwrittenWithThePage)
{
    CDocument& doc = Hooked(OpenPattern(12, 10));
    MakeFolder(At(L"w"));
    WriteText(At(L"w\\wall.bmp"), "old wallpaper");
    doc.SetAsWallpaper(At(L"w\\"), true, L"wall.bmp", false);
    EXPECT_EQ(std::vector<std::wstring>{At(L"w\\wall.bmp").CStr()}, set);
    EXPECT_EQ(Rgb(Page()), Rgb(Read(*Decode(At(L"w\\wall.bmp")))));
    EXPECT_EQ(std::vector<std::wstring>{L"wall.bmp"}, FileTestSupport::Tree(At(L"w\\")));

    // Fitted to the screen, the page is stretched to the display's size.
    const Brivox::DisplayMode mode = Brivox::GetCurrentDisplayMode();
    ASSERT_GT(mode.width, 0);
    doc.SetAsWallpaper(At(L"w\\"), true, L"wall.bmp", true);
    EXPECT_EQ((CSize{mode.width, mode.height}), Decode(At(L"w\\wall.bmp"))->GetSize());
}

TEST_F(WallpaperTest, WithoutTheFixedNameAnotherFileOfTheNameSurvives)
{
    Brivox::CMemoryPlane32 photo({12, 10});
    photo.Fill(RGB(51, 102, 204));
    Brivox::CJpgSaver(90).Save(At(L"d\\photo.jpg"), photo, {0, 0, 12, 10});
    CDocument& doc = Hooked(OpenPath(At(L"d\\photo.jpg")));
    ASSERT_TRUE(doc.HasCurrentImage());
    MakeFolder(At(L"w"));
    WriteText(At(L"w\\photo.bmp"), "someone's photo");
    doc.SetAsWallpaper(At(L"w\\"), false, L"wall.bmp", false);
    EXPECT_EQ("someone's photo", FileTestSupport::ReadText(At(L"w\\photo.bmp")));
    EXPECT_EQ(std::vector<std::wstring>{At(L"w\\photo (2).bmp").CStr()}, set);
    EXPECT_EQ((CSize{12, 10}), Decode(At(L"w\\photo (2).bmp"))->GetSize());
    EXPECT_EQ((std::vector<std::wstring>{L"photo (2).bmp", L"photo.bmp"}), FileTestSupport::Tree(At(L"w\\")));
}

TEST_F(WallpaperTest, TheCurrentFileAsTheTargetIsSetWithoutWriting)
{
    MakeFolder(At(L"w"));
    {
        CDocument& doc = OpenPattern(12, 10);
        doc.SaveAsBmp(At(L"w\\photo.bmp"), {});
    }
    const auto bytes = FileTestSupport::ReadBytes(At(L"w\\photo.bmp"));
    CDocument& doc = Hooked(OpenPath(At(L"w\\photo.bmp")));
    ASSERT_TRUE(doc.HasCurrentImage());
    doc.FlipHorizontal();
    doc.SetAsWallpaper(At(L"w\\"), false, L"", false);
    doc.SetAsWallpaper(At(L"w\\"), true, L"PHOTO.BMP", false);
    EXPECT_EQ(bytes, FileTestSupport::ReadBytes(At(L"w\\photo.bmp")));
    EXPECT_EQ(std::vector<std::wstring>{L"photo.bmp"}, FileTestSupport::Tree(At(L"w\\")));
    ASSERT_EQ(2u, set.size());
    EXPECT_EQ(std::wstring(At(L"w\\photo.bmp").CStr()), set[0]);
}

// ---- Clipboard

// The clipboard is one for every test process of the prefix: the tests that use it take turns.
class ClipboardPageTest : public PageOperationsTest
{
protected:
    void SetUp() override
    {
        PageOperationsTest::SetUp();
        ASSERT_TRUE(m_clipboard.Take());
    }

private:
    KanoruTest::ClipboardTurn m_clipboard;
};

TEST_F(ClipboardPageTest, ACopiedSelectionPastesBackAsThePageWithoutAlpha)
{
    OpenPattern(40, 30).CopyToClipboard(Selection(5, 4, 15, 12));

    CDocument& doc = Open("3 3 00ff0000 alpha");
    ASSERT_TRUE(doc.HasPageAlpha());
    doc.PasteFromClipboard();
    EXPECT_FALSE(doc.HasPageAlpha());
    ASSERT_EQ((CSize{10, 8}), doc.GetPageSize());
    EXPECT_EQ(Rgb(Expected(10, 8, [](int x, int y) { return Pattern(x + 5, y + 4); })), Rgb(Page()));
    EXPECT_EQ((CRect{0, 0, 10, 8}), doc.GetLayout().GetImageRect());
    EXPECT_EQ(1, doc.GetFileCount());
}

TEST_F(ClipboardPageTest, AClipboardWithoutABitmapLeavesThePage)
{
    ASSERT_TRUE(::OpenClipboard(nullptr));
    ::EmptyClipboard();
    ::CloseClipboard();
    CDocument& doc = OpenPattern(6, 4);
    const Pixels before = Page();
    doc.PasteFromClipboard();
    EXPECT_EQ(before, Page());
}

} // namespace
