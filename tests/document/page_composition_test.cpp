#include "document/document.h"

#include "deadline_sync.h"
#include "foundation/file_test_support.h"
#include "imaging/dc_target.h"
#include "settings/config_schema.h"
#include "test_decoder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

using Brivox::CRect;
using Brivox::CSize;
using Brivox::String;
using FileTestSupport::MakeFolder;
using FileTestSupport::WriteText;

namespace {

constexpr std::uint32_t red = 0xFF0000, green = 0x00FF00, magenta = 0xFF00FF;
constexpr std::uint32_t background = 0x0A141E; // DrawBgColor 10, 20, 30

class NullView : public IDocView
{
public:
    void UpdateScrollBars() override {}
    void InvalidateView(const CRect&) override {}
    void ReportError(const String&) override {}
};

// The colour of a pixel, without its alpha byte.
std::uint32_t PixelAt(Brivox::CPlane32& plane, int x, int y)
{
    const Brivox::Detail::PlaneBitsLock bits(plane);
    return *reinterpret_cast<const std::uint32_t*>(bits.Top() + y * bits.Stride() + x * 4) & 0xFFFFFF;
}

bool HoldsColour(Brivox::CPlane32& plane, std::uint32_t colour)
{
    for (int y = 0; y < plane.GetHeight(); ++y)
        for (int x = 0; x < plane.GetWidth(); ++x)
            if (PixelAt(plane, x, y) == colour)
                return true;
    return false;
}

// Fills the pool's free planes with magenta, so that a page showing a pixel it did not draw shows it.
void PoisonThePool()
{
    std::vector<std::shared_ptr<Brivox::CPlane32>> planes;
    for (int i = 0; i < 4; ++i) {
        planes.push_back(CDocument::NewPlaneSized({1300, 1100}));
        planes.back()->Fill(RGB(255, 0, 255));
    }
}

class PageCompositionTest : public FileTestSupport::TempFolderTest
{
protected:
    void SetUp() override
    {
        TempFolderTest::SetUp();
        TestDecoder::Register();
        TestDecoder::Reset();
        InitConfig(settings, At(L"none.cfg"));
        settings.SetRaw(L"TmpDir", At(L"t"));
        settings.SetRGB(L"DrawBgColor", RGB(10, 20, 30));
        MakeFolder(At(L"t"));
        MakeFolder(At(L"d"));
    }
    void TearDown() override
    {
        document.reset();
        TempFolderTest::TearDown();
    }

    void Files(const std::vector<std::string>& contents)
    {
        for (std::size_t i = 0; i < contents.size(); ++i)
            WriteText(File(static_cast<int>(i)), contents[i]);
    }
    String File(int i) const
    {
        wchar_t name[16];
        swprintf(name, 16, L"d\\p%02d.tst", i);
        return At(name);
    }
    CDocument& Make()
    {
        PoisonThePool();
        document = std::make_unique<CDocument>(&view, nullptr, nullptr, &settings);
        return *document;
    }
    Brivox::CPlane32& Page() { return *document->GetPagePlane(); }

    Brivox::CConfig settings;
    NullView view;
    std::unique_ptr<CDocument> document;
};

// ---- Spreads

struct SpreadCase
{
    const char* name;
    std::vector<std::string> files;
    int spreadView;
    int paddingCenter;
    std::function<void(CDocument&)> open;
    CSize size;
    int current;
    bool spread;
    // Pixels (x, y) and their colours.
    std::vector<std::tuple<int, int, std::uint32_t>> pixels;
};

TEST_F(PageCompositionTest, SpreadsPairPortraitPagesOfNearlyOneHeight)
{
    const auto at = [this](int i) { return [this, i](CDocument& doc) { doc.OpenPath(File(i)); }; };
    const std::string r1000 = "600 1000 ff0000", g1015 = "600 1015 00ff00";
    const SpreadCase cases[] = {
        {"the higher file on the left",
         {r1000, g1015},
         1,
         0,
         at(0),
         {1200, 1015},
         0,
         true,
         {{0, 0, green}, {599, 1014, green}, {600, 0, red}, {1199, 999, red}, {700, 1005, background}}},
        {"the lower file on the left",
         {r1000, g1015},
         2,
         0,
         at(0),
         {1200, 1015},
         0,
         true,
         {{0, 0, red}, {600, 0, green}, {100, 1010, background}}},
        {"16 pixels apart stay single",
         {r1000, "600 1016 00ff00"},
         1,
         0,
         at(0),
         {600, 1000},
         0,
         false,
         {{0, 0, red}}},
        {"a landscape page stays single",
         {"1000 600 ff0000", g1015},
         1,
         0,
         at(0),
         {1000, 600},
         0,
         false,
         {{0, 0, red}}},
        {"backward from the last file",
         {r1000, r1000, g1015},
         1,
         0,
         [this](CDocument& doc) {
             doc.OpenPath(File(0));
             doc.GoLast();
         },
         {1200, 1015},
         1,
         true,
         {{0, 0, green}, {600, 0, red}}},
        {"the last file forward stays single",
         {g1015, g1015, r1000},
         1,
         0,
         at(2),
         {600, 1000},
         2,
         false,
         {{0, 0, red}}},
        {"no gap for a negative padding",
         {r1000, g1015},
         1,
         -10,
         at(0),
         {1200, 1015},
         0,
         true,
         {{600, 0, red}}},
        {"a gap of the background colour",
         {r1000, g1015},
         1,
         20,
         at(0),
         {1220, 1015},
         0,
         true,
         {{599, 0, green}, {600, 0, background}, {619, 500, background}, {620, 0, red}}},
        {"a decoder failing half-way",
         {"600 1000 ff0000 fail=load", g1015},
         1,
         0,
         at(0),
         {1200, 1015},
         0,
         true,
         {{600, 0, red}, {600, 600, background}}},
    };
    for (const SpreadCase& c : cases) {
        document.reset();
        for (int i = 0; i < 4; ++i)
            ::DeleteFileW(File(i).CStr());
        Files(c.files);
        settings.SetInt(L"ImageSpreadView_", c.spreadView);
        settings.SetInt(L"PaddingCenter", c.paddingCenter);
        CDocument& doc = Make();
        c.open(doc);
        EXPECT_EQ(c.size, doc.GetPageSize()) << c.name;
        EXPECT_EQ(c.current, doc.GetCurrentIndex()) << c.name;
        EXPECT_EQ(c.spread, doc.IsSpreadPage()) << c.name;
        if (doc.GetPageSize() != c.size)
            continue;
        for (const auto& [x, y, colour] : c.pixels)
            EXPECT_EQ(colour, PixelAt(Page(), x, y)) << c.name << " at " << x << ", " << y;
        EXPECT_FALSE(HoldsColour(Page(), magenta)) << c.name;
    }
}

TEST_F(PageCompositionTest, TheFirstFileBackwardStaysSingleAndARejectedPartnerIsNotLoaded)
{
    Files({"600 1000 ff0000", "600 1000 00ff00", "600 1000 0000ff", "600 1016 00ff00"});
    // One slot: no page is read ahead, so the states are those of the page on show.
    settings.SetBool(L"ImageCache", false);
    CDocument& doc = Make();
    doc.OpenPath(File(1));
    ASSERT_TRUE(doc.IsSpreadPage());
    doc.GoPrevious(-1);
    EXPECT_FALSE(doc.IsSpreadPage());
    EXPECT_EQ(0, doc.GetCurrentIndex());
    EXPECT_EQ(red, PixelAt(Page(), 0, 0));
    // File 2 pairs with nothing: file 3 was decoded as its partner and turned away.
    doc.GoTo(2);
    EXPECT_FALSE(doc.IsSpreadPage());
    const auto rows = doc.GetListRows().rows;
    EXPECT_EQ(2, rows[2].state);
    EXPECT_EQ(0, rows[3].state);
}

// ---- Reduce-on-load

TEST_F(PageCompositionTest, LargePagesAreReducedAsTheyLoad)
{
    struct Case
    {
        const char* file;
        bool bySpace;
        CSize limit;
        CSize expected;
    };
    const Case cases[] = {
        {"4000 4000 ff0000", true, {3200, 2400}, {2771, 2771}},
        {"4000 4000 ff0000", false, {3200, 2400}, {2400, 2400}},
        {"4000 1000 ff0000", true, {3200, 2400}, {4000, 1000}},
        {"4000 1000 ff0000", false, {3200, 2400}, {3200, 800}},
        {"4000 1000 ff0000", true, {100000, 100000}, {4000, 1000}},
        {"4000 1000 ff0000", true, {1, 1}, {2, 1}},
        {"4000 1000 ff0000", false, {1, 1}, {1, 1}},
    };
    settings.SetInt(L"ImageSpreadView_", 0);
    settings.SetBool(L"ReduceOnLoad", true);
    for (const Case& c : cases) {
        document.reset();
        Files({c.file});
        settings.SetBool(L"ReduceOnLoadBySpace", c.bySpace);
        settings.SetSize(L"ReduceOnLoadSize", SIZE{c.limit.cx, c.limit.cy});
        CDocument& doc = Make();
        doc.OpenPath(File(0));
        EXPECT_EQ(c.expected, doc.GetPageSize()) << c.file << (c.bySpace ? " by area " : " ") << c.limit.cx;
    }
}

// A decoder may draw a page that reduce-on-load makes smaller at a reduced scale, but only a single
// image decoded once for that page (caching off), and never smaller than the reduced page.
TEST_F(PageCompositionTest, OnlyPagesToBeReducedAreDecodedSmaller)
{
    struct Case
    {
        const char* name;
        std::vector<std::string> files;
        bool reduce;
        bool loaderCaching;
        int drawMode;
        std::vector<CSize> hints; // given to file 0
        CSize page;
    };
    const std::string big = "4000 3000 ff0000 scalable";
    const Case cases[] = {
        {"reduced", {big}, true, false, 3, {{1000, 750}}, {1000, 750}},
        {"GDI mode", {big}, true, false, 1, {{1000, 750}}, {1000, 750}},
        {"not reduced", {big}, false, false, 3, {}, {4000, 3000}},
        {"small enough", {"800 600 ff0000 scalable"}, true, false, 3, {}, {800, 600}},
        {"cached", {big}, true, true, 3, {}, {1000, 750}},
        {"spread",
         {"1500 2000 ff0000 scalable", "1500 2000 ff0000 scalable"},
         true,
         false,
         3,
         {},
         {1000, 666}},
    };
    settings.SetBool(L"ImageCache", false);
    settings.SetBool(L"ReduceOnLoadBySpace", false);
    settings.SetSize(L"ReduceOnLoadSize", SIZE{1000, 1000});
    for (const Case& c : cases) {
        document.reset();
        TestDecoder::Reset();
        Files(c.files);
        settings.SetBool(L"ReduceOnLoad", c.reduce);
        settings.SetBool(L"LoaderCaching", c.loaderCaching);
        settings.SetInt(L"DrawMode_", c.drawMode);
        CDocument& doc = Make();
        doc.OpenPath(File(0));
        EXPECT_EQ(c.hints, TestDecoder::ScaleHints(File(0).CStr())) << c.name;
        ASSERT_EQ(c.page, doc.GetPageSize()) << c.name;
        // Drawn whole: the corners and the centre hold the image, not the pool's magenta.
        const int right = c.page.cx - 1, bottom = c.page.cy - 1;
        for (const auto& [x, y] :
             {std::pair{0, 0}, {right, 0}, {0, bottom}, {right, bottom}, {right / 2, bottom / 2}})
            EXPECT_EQ(red, PixelAt(Page(), x, y)) << c.name << " at " << x << ", " << y;
    }
}

// ---- Display copies and painting

TEST_F(PageCompositionTest, DisplayCopiesHaveTheLayoutsScaledSizeInEverySoftwareMode)
{
    Files({"600 400 ff0000", "600 400 00ff00"});
    settings.SetInt(L"ImageSpreadView_", 0);
    settings.SetInt(L"DrawStretchType", 0); // shrink only
    for (int mode = 0; mode <= 6; ++mode) {
        document.reset();
        settings.SetInt(L"DrawMode_", mode);
        CDocument& doc = Make();
        doc.SetViewRect({300, 200});
        doc.OpenPath(File(0));
        const auto copy = doc.GetDisplayCopy();
        if (mode <= 1) {
            EXPECT_FALSE(copy) << mode;
            continue;
        }
        ASSERT_TRUE(copy) << mode;
        EXPECT_EQ((CSize{300, 200}), copy->GetSize()) << mode;
        EXPECT_EQ(red, PixelAt(*copy, 150, 100)) << mode;
        // Made ahead on the worker for the next page too.
        doc.GoNext(-1);
        ASSERT_TRUE(doc.GetDisplayCopy()) << mode;
        EXPECT_EQ(green, PixelAt(*doc.GetDisplayCopy(), 150, 100)) << mode;
    }
    // ClearType makes one in the GDI modes too, through a plane three times as wide.
    document.reset();
    settings.SetInt(L"DrawMode_", 0);
    settings.SetBool(L"ClearType", true);
    CDocument& doc = Make();
    doc.SetViewRect({300, 200});
    doc.OpenPath(File(0));
    ASSERT_TRUE(doc.GetDisplayCopy());
    EXPECT_EQ((CSize{300, 200}), doc.GetDisplayCopy()->GetSize());
    EXPECT_EQ(red, PixelAt(*doc.GetDisplayCopy(), 150, 100));
}

// Paints the document into a DIB plane the size of the view, filled with magenta first.
std::shared_ptr<Brivox::CPlane32> PaintInto(CDocument& doc, CSize view,
                                            const std::function<void(const PAINTSTRUCT&)>& more = nullptr)
{
    auto target = std::make_shared<Brivox::CDib32>();
    target->Resize(view);
    target->Fill(RGB(255, 0, 255));
    {
        const Brivox::Detail::PlaneDcLock dc(*target);
        PAINTSTRUCT paint{};
        paint.hdc = dc.GetDC();
        paint.rcPaint = {0, 0, view.cx, view.cy};
        doc.Paint(paint);
        if (more)
            more(paint);
    }
    return target;
}

TEST_F(PageCompositionTest, PaintFillsOnlyAroundTheImageAndTheMarksStandInTheirCorners)
{
    Files({"100 50 ff0000", "100 50 00ff00"});
    settings.SetInt(L"ImageSpreadView_", 0);
    settings.SetInt(L"DrawStretchType", 3); // neither shrink nor enlarge: centred 1:1
    settings.SetBool(L"FilterMark", true);
    CDocument& doc = Make();
    doc.SetViewRect({300, 200});
    doc.OpenPath(File(0));
    auto painted = PaintInto(doc, {300, 200});
    EXPECT_EQ(red, PixelAt(*painted, 150, 100));
    EXPECT_EQ(red, PixelAt(*painted, 100, 75));
    EXPECT_EQ(background, PixelAt(*painted, 99, 75));
    EXPECT_EQ(background, PixelAt(*painted, 5, 5));
    EXPECT_EQ(background, PixelAt(*painted, 299, 199));
    EXPECT_FALSE(HoldsColour(*painted, magenta));
    EXPECT_EQ((CRect{0, 0, 50, 25}), doc.ViewRectToImage({50, 50, 150, 100}));
    EXPECT_EQ((CRect{0, 0, 100, 50}), doc.ViewRectToImage({}));

    // The marks: nothing for an unmarked, unfiltered page; the glyph at the top right of a marked one.
    const auto marks = [&](const PAINTSTRUCT& paint) {
        doc.DrawMarkGlyph(paint);
        doc.DrawFilterMark(paint);
    };
    painted = PaintInto(doc, {300, 200}, marks);
    EXPECT_EQ(background, PixelAt(*painted, 290, 10));
    EXPECT_EQ(background, PixelAt(*painted, 5, 5));
    doc.SetMark(true);
    painted = PaintInto(doc, {300, 200}, marks);
    bool topRight = false;
    for (int y = 2; y < 20; ++y)
        for (int x = 270; x < 300; ++x)
            topRight = topRight || PixelAt(*painted, x, y) != background;
    EXPECT_TRUE(topRight);
    EXPECT_EQ(background, PixelAt(*painted, 5, 5));

    // A filtered page shows the filter mark at the top left.
    settings.SetBool(L"FilterNeg", true);
    doc.ApplySettings(false);
    doc.Reload(false);
    ASSERT_TRUE(doc.IsPageFiltered());
    painted = PaintInto(doc, {300, 200}, marks);
    bool topLeft = false;
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x)
            topLeft = topLeft || PixelAt(*painted, x, y) != background;
    EXPECT_TRUE(topLeft);
    settings.SetBool(L"FilterMark", false);
    painted = PaintInto(doc, {300, 200}, [&](const PAINTSTRUCT& paint) { doc.DrawFilterMark(paint); });
    EXPECT_EQ(background, PixelAt(*painted, 5, 5));
}

TEST_F(PageCompositionTest, APageTooLargeForADisplayCopyStillLoadsAndPaints)
{
    Files({"4000 3000 ff0000"});
    settings.SetInt(L"ImageSpreadView_", 0);
    settings.SetBool(L"ReduceOnLoad", false);
    settings.SetInt(L"DrawStretchType", 4);
    settings.SetDouble(L"DrawStretchRate", 8.0);
    CDocument& doc = Make();
    doc.SetViewRect({300, 200});
    doc.OpenPath(File(0));
    EXPECT_EQ((CSize{4000, 3000}), doc.GetPageSize());
    EXPECT_FALSE(doc.GetDisplayCopy());
    const auto painted = PaintInto(doc, {300, 200});
    EXPECT_EQ(red, PixelAt(*painted, 150, 100));
}

TEST_F(PageCompositionTest, TheMagnifierDrawsOnItsOwnThreadWhilePagesTurn)
{
    Files({"120 80 ff0000", "120 80 00ff00", "120 80 0000ff", "140 80 ff0000"});
    settings.SetInt(L"ImageSpreadView_", 0);
    CDocument& doc = Make();
    doc.SetViewRect({300, 200});
    doc.OpenPath(File(0));
    std::atomic<bool> done{false};
    std::thread magnifier([&] {
        Brivox::CDib32 target;
        target.Resize({100, 100});
        for (int i = 0; i < 1000; ++i) {
            const Brivox::Detail::PlaneDcLock dc(target);
            PAINTSTRUCT paint{};
            paint.hdc = dc.GetDC();
            paint.rcPaint = {0, 0, 100, 100};
            doc.DrawMagnified(paint, {0, 0, 100, 100}, {10, 10, 30, 30});
        }
        done = true;
    });
    while (!done) {
        doc.GoNext(-1);
        doc.Reload(false);
    }
    magnifier.join();
    EXPECT_TRUE(doc.HasPageImage());
}

} // namespace
