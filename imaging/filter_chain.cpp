#include "imaging/filter_chain.h"

#include <algorithm>
#include <cmath>
#include <utility>

using namespace Brivox;

namespace {

CRect Whole(const CPlane& plane)
{
    return {0, 0, plane.GetWidth(), plane.GetHeight()};
}

// The page so far becomes the source and the spare, sized as the page or turned, the page.
void Exchange(std::shared_ptr<CPlane32>& page, std::shared_ptr<CPlane32>& spare, bool turned = false)
{
    std::swap(page, spare);
    page->Resize(turned ? CSize{spare->GetHeight(), spare->GetWidth()} : spare->GetSize());
}

using PlaneFilter = void (CPlane32::*)(const CPlane32&, CPoint, CRect, const SPlaneClip*);

// The page filtered from the spare after an exchange.
void FilterExchanged(PlaneFilter filter, std::shared_ptr<CPlane32>& page, std::shared_ptr<CPlane32>& spare,
                     bool turned = false)
{
    Exchange(page, spare, turned);
    ((*page).*filter)(*spare, {0, 0}, Whole(*spare), nullptr);
}

void FlattenAlpha(const SFilterSettings& s, std::shared_ptr<CPlane32>& page, std::shared_ptr<CPlane32>& spare)
{
    Exchange(page, spare);
    page->Fill(s.alphaBackground);
    page->AlphaComposite(*spare, {0, 0}, Whole(*spare));
}

void SmoothOrSharpen(int kind, std::shared_ptr<CPlane32>& page, std::shared_ptr<CPlane32>& spare)
{
    spare->Resize(page->GetSize());
    switch (kind) {
    case 1:
        return FilterExchanged(&CPlane32::Blur, page, spare);
    case 2:
        return FilterExchanged(&CPlane32::Sharpen, page, spare);
    case 3:
        // Twice, through the spare and back.
        spare->Blur(*page, {0, 0}, Whole(*page));
        page->Blur(*spare, {0, 0}, Whole(*spare));
        return;
    case 4:
        return FilterExchanged(&CPlane32::SharpenStrong, page, spare);
    default:
        return;
    }
}

} // namespace

bool CFilterChain::Apply(const SFilterSettings& s, std::shared_ptr<CPlane32>& page,
                         std::shared_ptr<CPlane32>& spare, bool& hasAlpha) const
{
    if (!s.filter)
        return false;
    bool ran = false;
    if (s.alpha && (!s.alphaCheck || hasAlpha)) {
        FlattenAlpha(s, page, spare);
        hasAlpha = false;
        ran = true;
    }
    if (s.gray != 0) {
        if (s.gray == 1)
            page->GraySimple(Whole(*page));
        else
            page->GrayExact(Whole(*page));
        ran = true;
    }
    if (s.levels) {
        // The levels dialog keeps both within 0 … 255; a stored value beyond that is taken at the
        // nearer end.
        page->ApplyLevels(Whole(*page), std::clamp(s.levelsLow, 0, 255), std::clamp(s.levelsHigh, 0, 255));
        ran = true;
    }
    if (s.gamma) {
        // The stored value is 100 × ln γ, as the gamma dialog stores it.
        page->ApplyGamma(Whole(*page), std::exp(s.gammaValue * 0.01));
        ran = true;
    }
    if (s.brightnessContrast) {
        page->ApplyBrightnessContrast(Whole(*page), s.brightness, s.contrast);
        ran = true;
    }
    if (s.median) {
        FilterExchanged(&CPlane32::Median, page, spare);
        ran = true;
    }
    if (s.sharp != 0) {
        SmoothOrSharpen(s.sharp, page, spare);
        ran = true;
    }
    if (s.gauss) {
        Exchange(page, spare);
        page->GaussBlur(*spare, {0, 0}, Whole(*spare), s.gaussValue * 0.01);
        ran = true;
    }
    if (s.unsharp) {
        spare->Resize(page->GetSize());
        spare->GaussBlur(*page, {0, 0}, Whole(*page), s.unsharpValue * 0.01);
        page->UnsharpMask(*page, *spare, {0, 0}, Whole(*page), {0, 0});
        ran = true;
    }
    if (s.negative) {
        page->Invert(Whole(*page));
        ran = true;
    }
    if (s.flip != 0) {
        if (s.flip == 1)
            FilterExchanged(&CPlane32::MirrorHorizontal, page, spare);
        else if (s.flip == 2)
            FilterExchanged(&CPlane32::FlipVertical, page, spare);
        else if (s.flip == 3)
            FilterExchanged(&CPlane32::Rotate180, page, spare);
        ran = true;
    }
    if (s.quarterTurn != 0) {
        if (s.quarterTurn == 1)
            FilterExchanged(&CPlane32::Rotate90Clockwise, page, spare, true);
        else if (s.quarterTurn == 2)
            FilterExchanged(&CPlane32::Rotate90CounterClockwise, page, spare, true);
        ran = true;
    }
    return ran;
}
