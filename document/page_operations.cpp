// The operations on the page on show: previews, transforms, selection filters, the clipboard,
// saving, the wallpaper and measurements. They run on the main window's thread; the ring's worker
// never composes into the current slot once it holds a page, so its plane changes without the
// document lock. The drawing lock is held wherever the plane's storage may change, because the
// magnifier draws from it on its own thread.

#include "document/document.h"

#include "formats/argb_loader.h"
#include "formats/bmp_loader.h"
#include "formats/jpeg_loader.h"
#include "formats/png_loader.h"
#include "foundation/clipboard.h"
#include "foundation/desktop.h"
#include "foundation/display_mode.h"
#include "foundation/exception.h"
#include "foundation/file_name.h"
#include "foundation/file_system.h"
#include "foundation/string_builder.h"
#include "foundation/temp_file.h"
#include "foundation/text_file.h"
#include "imaging/rotate.h"

#include <algorithm>
#include <cmath>

using Brivox::CPoint;
using Brivox::CRect;
using Brivox::CSize;
using Brivox::String;

namespace {

CRect WholeOf(const Brivox::CPlane& plane)
{
    return {0, 0, plane.GetWidth(), plane.GetHeight()};
}

CRect SizeRect(const CRect& rect)
{
    return {0, 0, rect.Width(), rect.Height()};
}

} // namespace

// ----------------------------------------------------------------------------------------------
// Previews

void CDocument::BeginPreview()
{
    SPageData& page = CurrentPage();
    auto backup = NewPlaneSized(page.plane->GetSize());
    backup->CopyFrom(*page.plane);
    m_previewBackup = std::move(backup);
    m_previewAlpha = page.alpha;
    m_previewOpen = true;
}

void CDocument::RestorePreview()
{
    if (!m_previewBackup)
        return;
    SPageData& page = CurrentPage();
    {
        std::lock_guard<std::mutex> drawing(m_drawLock);
        page.plane->Resize(m_previewBackup->GetSize());
        page.plane->CopyFrom(*m_previewBackup);
    }
    page.alpha = m_previewAlpha;
    page.displayCopy.reset();
    // A transform may have changed the size: the layout fits the page again at the next draw.
    OnPageMoved();
}

void CDocument::EndPreview()
{
    m_previewOpen = false;
    Refresh();
    m_previewBackup.reset();
}

void CDocument::CancelPreview()
{
    m_previewOpen = false;
    RestorePreview();
    Refresh();
    m_previewBackup.reset();
}

// ----------------------------------------------------------------------------------------------
// Whole-page transforms

void CDocument::ReplacePagePlane(
    const CSize& size, const std::function<void(Brivox::CPlane32& fresh, const Brivox::CPlane32& old)>& write)
{
    SPageData& page = CurrentPage();
    auto fresh = NewPlaneSized(size);
    write(*fresh, *page.plane);
    std::shared_ptr<Brivox::CPlane32> old;
    {
        std::lock_guard<std::mutex> drawing(m_drawLock);
        old = std::exchange(page.plane, std::move(fresh));
    }
    page.displayCopy.reset();
    if (old->GetSize() != size)
        OnPageMoved();
    Refresh();
    // The old plane goes back to the pool once the magnifier lets go of it too.
}

void CDocument::FlipHorizontal()
{
    if (HasPageImage())
        ReplacePagePlane(GetPageSize(), [](auto& fresh, const auto& old) { fresh.MirrorHorizontal(old); });
}

void CDocument::FlipVertical()
{
    if (HasPageImage())
        ReplacePagePlane(GetPageSize(), [](auto& fresh, const auto& old) { fresh.FlipVertical(old); });
}

void CDocument::Rotate180()
{
    if (HasPageImage())
        ReplacePagePlane(GetPageSize(), [](auto& fresh, const auto& old) { fresh.Rotate180(old); });
}

void CDocument::Rotate90Clockwise()
{
    if (!HasPageImage())
        return;
    const CSize size = GetPageSize();
    ReplacePagePlane({size.cy, size.cx}, [](auto& fresh, const auto& old) { fresh.Rotate90Clockwise(old); });
}

void CDocument::Rotate90CounterClockwise()
{
    if (!HasPageImage())
        return;
    const CSize size = GetPageSize();
    ReplacePagePlane({size.cy, size.cx},
                     [](auto& fresh, const auto& old) { fresh.Rotate90CounterClockwise(old); });
}

void CDocument::RotateByAngle(double angle)
{
    if (!HasPageImage())
        return;
    ReplacePagePlane(Brivox::GetRotatedSize(GetPageSize(), angle),
                     [angle](auto& fresh, const auto& old) { fresh.RotateByAngle(old, angle, 0); });
}

void CDocument::RotateByAnglePreview(double angle)
{
    if (!HasPageImage())
        return;
    ReplacePagePlane(Brivox::GetRotatedSize(GetPageSize(), angle),
                     [angle](auto& fresh, const auto& old) { fresh.RotateByAngleNearest(old, angle, 0); });
}

void CDocument::ResizePage(const CSize& size)
{
    if (!HasPageImage() || size.cx < 1 || size.cy < 1)
        return;
    ReplacePagePlane(size, [](auto& fresh, const auto& old) { fresh.ResizeLanczos3Alpha(old); });
}

void CDocument::CropPage(const CRect& selection)
{
    if (!HasPageImage())
        return;
    const CRect rect = MapSelection(selection);
    if (rect.IsEmpty())
        return;
    // Into a fresh plane rather than moved within the page: a plane's pixels do not survive a
    // change of its size.
    ReplacePagePlane({rect.Width(), rect.Height()}, [&rect](auto& fresh, const auto& old) {
        fresh.Blit(old, {0, 0}, rect);
    });
}

// ----------------------------------------------------------------------------------------------
// The selection

CRect CDocument::MapSelection(const CRect& selection)
{
    if (!HasPageImage())
        return {};
    CRect rect = ViewRectToImage(selection);
    const CSize size = GetPageSize();
    rect.Intersect({0, 0, size.cx, size.cy});
    return rect.IsEmpty() ? CRect{} : rect;
}

CRect CDocument::MapSelectionOrWhole(const CRect& selection)
{
    const CRect rect = MapSelection(selection);
    if (!rect.IsEmpty())
        return rect;
    const CSize size = GetPageSize();
    return {0, 0, size.cx, size.cy};
}

void CDocument::ChangePagePixels(const std::function<void(Brivox::CPlane32& page)>& change)
{
    SPageData& page = CurrentPage();
    {
        std::lock_guard<std::mutex> drawing(m_drawLock);
        change(*page.plane);
    }
    page.displayCopy.reset();
    Refresh();
}

void CDocument::FillSelection(COLORREF colour, const CRect& selection)
{
    const CRect rect = MapSelection(selection);
    ChangePagePixels([&](Brivox::CPlane32& page) {
        if (!rect.IsEmpty())
            page.FillRect(colour, rect);
    });
}

void CDocument::InvertSelection(const CRect& selection)
{
    const CRect rect = MapSelection(selection);
    ChangePagePixels([&](Brivox::CPlane32& page) {
        if (!rect.IsEmpty())
            page.Invert(rect);
    });
}

void CDocument::GrayscaleSelection(const CRect& selection, bool weighted)
{
    const CRect rect = MapSelection(selection);
    ChangePagePixels([&](Brivox::CPlane32& page) {
        if (rect.IsEmpty())
            return;
        if (weighted)
            page.GrayExact(rect);
        else
            page.GraySimple(rect);
    });
}

void CDocument::ApplyMosaic(const CRect& selection, int blockSize, int kind)
{
    const CRect rect = MapSelection(selection);
    ChangePagePixels([&](Brivox::CPlane32& page) {
        if (rect.IsEmpty())
            return;
        if (kind == 0)
            page.MosaicCenter(rect, blockSize);
        else if (kind == 1)
            page.MosaicAverage(rect, blockSize);
    });
}

void CDocument::ApplyLevels(const CRect& selection, int low, int high)
{
    const CRect rect = MapSelection(selection);
    ChangePagePixels([&](Brivox::CPlane32& page) {
        if (!rect.IsEmpty())
            page.ApplyLevels(rect, low, high);
    });
}

void CDocument::ApplyGamma(const CRect& selection, double gamma)
{
    const CRect rect = MapSelection(selection);
    ChangePagePixels([&](Brivox::CPlane32& page) {
        if (!rect.IsEmpty())
            page.ApplyGamma(rect, gamma);
    });
}

void CDocument::ApplyBrightContrast(const CRect& selection, int brightness, int contrast)
{
    const CRect rect = MapSelection(selection);
    ChangePagePixels([&](Brivox::CPlane32& page) {
        if (!rect.IsEmpty())
            page.ApplyBrightnessContrast(rect, brightness, contrast);
    });
}

void CDocument::FilterThroughCopy(
    const CRect& selection,
    const std::function<void(Brivox::CPlane32& page, const Brivox::CPlane32& copy, const CRect& rect)>&
        filter)
{
    const CRect rect = MapSelection(selection);
    ChangePagePixels([&](Brivox::CPlane32& page) {
        if (rect.IsEmpty())
            return;
        Brivox::CMemoryPlane32 copy({rect.Width(), rect.Height()});
        copy.Blit(page, {0, 0}, rect);
        filter(page, copy, rect);
    });
}

void CDocument::Blur(const CRect& selection)
{
    FilterThroughCopy(selection, [](auto& page, const auto& copy, const CRect& rect) {
        page.Blur(copy, {rect.left, rect.top}, WholeOf(copy));
    });
}

void CDocument::BlurStrong(const CRect& selection)
{
    const CRect rect = MapSelection(selection);
    ChangePagePixels([&](Brivox::CPlane32& page) {
        if (rect.IsEmpty())
            return;
        // The copy is the first pass, the page the second.
        Brivox::CMemoryPlane32 copy({rect.Width(), rect.Height()});
        copy.Blur(page, {0, 0}, rect);
        page.Blur(copy, {rect.left, rect.top}, SizeRect(rect));
    });
}

void CDocument::Sharpen(const CRect& selection)
{
    FilterThroughCopy(selection, [](auto& page, const auto& copy, const CRect& rect) {
        page.Sharpen(copy, {rect.left, rect.top}, WholeOf(copy));
    });
}

void CDocument::SharpenStrong(const CRect& selection)
{
    FilterThroughCopy(selection, [](auto& page, const auto& copy, const CRect& rect) {
        page.SharpenStrong(copy, {rect.left, rect.top}, WholeOf(copy));
    });
}

void CDocument::MedianFilter(const CRect& selection)
{
    FilterThroughCopy(selection, [](auto& page, const auto& copy, const CRect& rect) {
        page.Median(copy, {rect.left, rect.top}, WholeOf(copy));
    });
}

void CDocument::ApplyGauss(const CRect& selection, double radius)
{
    FilterThroughCopy(selection, [radius](auto& page, const auto& copy, const CRect& rect) {
        page.GaussBlur(copy, {rect.left, rect.top}, WholeOf(copy), radius);
    });
}

void CDocument::ApplyUnsharp(const CRect& selection, double value)
{
    const CRect rect = MapSelection(selection);
    ChangePagePixels([&](Brivox::CPlane32& page) {
        if (rect.IsEmpty())
            return;
        Brivox::CMemoryPlane32 blurred({rect.Width(), rect.Height()});
        blurred.GaussBlur(page, {0, 0}, rect, value);
        page.UnsharpMask(page, blurred, {rect.left, rect.top}, rect, {0, 0});
    });
}

void CDocument::ApplyAlpha(const CRect& selection, COLORREF colour, bool onlyWithAlpha)
{
    SPageData& data = CurrentPage();
    if (onlyWithAlpha && !data.alpha)
        return;
    const CRect rect = MapSelection(selection);
    if (rect.IsEmpty())
        return;
    ChangePagePixels([&](Brivox::CPlane32& page) {
        Brivox::CMemoryPlane32 flat({rect.Width(), rect.Height()});
        flat.Fill(colour);
        flat.AlphaComposite(page, {0, 0}, rect);
        page.Blit(flat, {rect.left, rect.top}, WholeOf(flat));
    });
    data.alpha = false;
}

// ----------------------------------------------------------------------------------------------
// The clipboard

void CDocument::PasteFromClipboard()
{
    SPageData& page = CurrentPage();
    Brivox::CPlane32& plane = *page.plane;
    const CSize before = plane.GetSize();
    bool pasted = false;
    {
        std::lock_guard<std::mutex> drawing(m_drawLock);
        // An empty page has no device context to draw into.
        if (before.cx < 1 || before.cy < 1)
            plane.Resize({1, 1});
        CSize size{0, 0};
        try {
            const Brivox::Detail::PlaneDcLock dc(plane);
            pasted = Brivox::GetClipboardImage(dc.GetDC(), {0, 0}, size);
        } catch (...) {
            plane.Resize(before);
            throw;
        }
        if (pasted) {
            // Drawn again at its own size: a plane's pixels do not survive a change of its size.
            plane.Resize(size);
            const Brivox::Detail::PlaneDcLock dc(plane);
            CSize again{0, 0};
            pasted = Brivox::GetClipboardImage(dc.GetDC(), {0, 0}, again) && again == size;
        }
        if (!pasted)
            // The clipboard held no bitmap (or lost it meanwhile): the page stays as it was shown.
            plane.Resize(before);
    }
    if (!pasted)
        return;
    page.alpha = false;
    page.displayCopy.reset();
    OnPageMoved();
    Refresh();
}

void CDocument::CopyToClipboard(const CRect& selection)
{
    if (!HasPageImage())
        return;
    const CRect rect = MapSelectionOrWhole(selection);
    SPageData& page = CurrentPage();
    std::lock_guard<std::mutex> drawing(m_drawLock);
    const Brivox::Detail::PlaneDcLock dc(*page.plane);
    Brivox::SetClipboardImage(dc.GetDC(), rect);
}

// ----------------------------------------------------------------------------------------------
// Saving

void CDocument::SaveWith(Brivox::IImageSaver& saver, const String& path, const CRect& selection)
{
    const CRect rect = MapSelectionOrWhole(selection);
    saver.Save(path, *CurrentPage().plane, rect);

    bool listed = false;
    bool inserted = false;
    {
        DocumentLock lock(m_lock);
        for (int i = 0; i < m_fileList.GetCount() && !listed; ++i)
            listed = m_fileList.GetEntry(i).GetPath().EqualsIgnoreCase(path);
        if (m_settings->GetBool(L"FileAddWithSave")) {
            const int before = m_fileList.GetCount();
            m_fileList.Insert(path, m_settings->GetBool(L"FileAddWithSaveNext"));
            inserted = m_fileList.GetCount() != before;
        }
    }
    if (listed)
        // Decodes and pages of the file as it was must not be shown again.
        m_imageLoader->Clear();
    if (listed || inserted) {
        // The pages beside the current one are read again from the list as it is now.
        ResetOthers();
        Refresh();
    }
}

void CDocument::SaveAsJpg(const String& path, const CRect& selection)
{
    Brivox::CJpgSaver saver(m_settings->GetInt(L"JpgQuality"));
    SaveWith(saver, path, selection);
}

void CDocument::SaveAsPng(const String& path, const CRect& selection)
{
    Brivox::CPngSaver saver(m_settings->GetInt(L"PngCompressLevel"));
    SaveWith(saver, path, selection);
}

void CDocument::SaveAsBmp(const String& path, const CRect& selection)
{
    Brivox::CBmpSaver saver;
    SaveWith(saver, path, selection);
}

void CDocument::SaveAsArgb(const String& path, const CRect& selection)
{
    Brivox::CArgbSaver saver;
    SaveWith(saver, path, selection);
}

void CDocument::SetAsWallpaper(const String& folder, bool oneFixedName, const String& fixedName,
                               bool fitToScreen)
{
    if (m_fileList.GetCurrent() < 0)
        return;
    const String current = GetEntryCopy(m_fileList.GetCurrent())->GetPath();
    const String directory = Brivox::CFileName::FromExecutableDirectory(folder).ToString();
    const String stem = Brivox::CFileName::GetFileNameWithoutExtension(current);
    String path = directory + (oneFixedName ? fixedName : stem + L".bmp");

    if (!path.EqualsIgnoreCase(current)) {
        // Nothing to write: an older file under the name must not become the wallpaper instead.
        if (!HasPageImage())
            return;
        std::shared_ptr<Brivox::CPlane32> fitted;
        const Brivox::DisplayMode mode =
            fitToScreen ? Brivox::GetCurrentDisplayMode() : Brivox::DisplayMode{};
        // A display whose size cannot be read gets the page as it is.
        if (fitToScreen && mode.width > 0 && mode.height > 0) {
            fitted = NewPlaneSized({mode.width, mode.height});
            fitted->ResizeLanczos3(*CurrentPage().plane);
        }
        const Brivox::CPlane32& image = fitted ? *fitted : *CurrentPage().plane;
        Brivox::CBmpSaver saver;
        if (oneFixedName) {
            saver.Save(path, image, WholeOf(image));
        } else {
            // Written whole under a temporary name, then moved onto the first free name: another
            // file of the folder is never replaced, not even one made meanwhile.
            Brivox::CreateDirectories(path);
            Brivox::CTempFile temporary(Brivox::CFileName::GetDirectory(path), L"~", L"tmp");
            saver.Save(temporary.GetPath(), image, WholeOf(image));
            for (int n = 2;; ++n) {
                if (!Brivox::FileExists(path)) {
                    try {
                        Brivox::MoveTree(temporary.GetPath(), path);
                        break;
                    } catch (const Brivox::IOException&) {
                        // Taken meanwhile: the next name. Any other failure is the user's to see.
                        if (!Brivox::FileExists(path))
                            throw;
                    }
                }
                path = directory + stem + Brivox::FormatString(L" (%d).bmp", n);
            }
        }
    }
    if (m_setWallpaper)
        m_setWallpaper(path);
    else
        Brivox::SetWallpaper(path);
}

// ----------------------------------------------------------------------------------------------
// Measurements

COLORREF CDocument::GetAverageColor(const CRect& selection)
{
    if (!HasPageImage())
        return 0;
    return CurrentPage().plane->AverageColor(MapSelection(selection));
}

int CDocument::CountColors(const CRect& selection)
{
    if (!HasPageImage())
        return 0;
    return CurrentPage().plane->CountColors(MapSelection(selection));
}

std::shared_ptr<Brivox::CPlane32> CDocument::GetLevelHistogram(const CRect& selection, const CSize& graphSize,
                                                               double& mean, double& deviation)
{
    const CRect rect = MapSelection(selection);
    Brivox::HistogramCounts counts{};
    if (HasPageImage())
        CurrentPage().plane->HistogramAverage(counts, rect);
    const double pixels = static_cast<double>(rect.Width()) * rect.Height();
    double sum = 0;
    std::uint32_t highest = 0;
    for (int i = 0; i < 256; ++i) {
        sum += static_cast<double>(i) * counts[i];
        highest = std::max(highest, counts[i]);
    }
    mean = pixels > 0 ? sum / pixels : 0;
    double squares = 0;
    for (int i = 0; i < 256; ++i)
        squares += (i - mean) * (i - mean) * counts[i];
    deviation = pixels > 0 ? std::sqrt(squares / pixels) : 0;

    const COLORREF face = ::GetSysColor(COLOR_BTNFACE);
    auto graph = NewPlaneSized({std::max(graphSize.cx, 0), std::max(graphSize.cy, 0)});
    if (highest == 0) {
        // Nothing measured: an empty graph, never bars scaled by zero.
        graph->Fill(face);
        return graph;
    }
    double roots[256];
    for (int i = 0; i < 256; ++i)
        roots[i] = std::sqrt(static_cast<double>(counts[i]));
    graph->DrawGraph(WholeOf(*graph), roots, 256, 0, std::sqrt(static_cast<double>(highest)), face);
    return graph;
}

void CDocument::WriteLevelCsv(const CRect& selection, const String& path)
{
    const CRect rect = MapSelectionOrWhole(selection);
    Brivox::HistogramCounts counts{};
    if (HasPageImage())
        CurrentPage().plane->HistogramAverage(counts, rect);
    Brivox::StringBuilder text;
    text.Append(L"\"ファイル名\",\"");
    text.Append(GetCurrentPathOrDefault());
    text.Append(L"\"\r\n\"領域(x,y,w,h)\",");
    text.Append(Brivox::FormatString(L"%d,%d,%d,%d,\r\n", rect.left, rect.top, rect.Width(), rect.Height()));
    text.Append(L"\"データ：\"\r\n");
    for (int i = 0; i < 256; ++i)
        text.Append(Brivox::FormatString(L"%d,%u\r\n", i, static_cast<unsigned>(counts[i])));
    const String content = text.ToString();
    Brivox::WriteFileReplacing(path,
                               [&](const String& temporary) { Brivox::WriteTextFile(temporary, content); });
}

String CDocument::GetCurrentFileMd5() const
{
    if (m_fileList.GetCurrent() < 0 || !HasPageImage())
        return String();
    return GetEntryCopy(m_fileList.GetCurrent())->GetMd5();
}

bool CDocument::HasPageAlpha() const
{
    return !m_slots.empty() && CurrentPage().alpha;
}
