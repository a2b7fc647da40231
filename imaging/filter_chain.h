#pragma once
// The user's filters, applied in one fixed order to every page as it is composed.

#include "imaging/plane.h"

#include <memory>

// The filter settings one run reads. The caller copies them from the settings store on the main
// window's thread (settings/filter_settings.h), so that a page composed on a worker never reads
// the store. Each member is named after its settings key; the defaults are the store's.
struct SFilterSettings
{
    bool filter = true;              // "Filter": the master switch
    bool alpha = false;              // "FilterAlpha"
    COLORREF alphaBackground = 0;    // "FilterAlphaBg"
    bool alphaCheck = true;          // "FilterAlphaCheck": flatten only pages that carry alpha
    int gray = 0;                    // "FilterGray": 1 (R + G + B) / 3, any other but 0 luminance
    bool levels = false;             // "FilterLevelRev"
    int levelsLow = 64;              // "FilterLevelRevLow"
    int levelsHigh = 191;            // "FilterLevelRevHigh"
    bool gamma = false;              // "FilterGammaRev"
    int gammaValue = 0;              // "FilterGammaRevValue": 100 × ln γ
    bool brightnessContrast = false; // "FilterBC"
    int brightness = 0;              // "FilterBCBright"
    int contrast = 0;                // "FilterBCContrast"
    bool median = false;             // "FilterMedian"
    int sharp = 0;                   // "FilterSharp": 1 blur, 2 sharpen, 3 blur twice, 4 sharpen strongly
    bool gauss = false;              // "FilterGauss"
    int gaussValue = 150;            // "FilterGaussValue": 100 × σ
    bool unsharp = false;            // "FilterUnsharp"
    int unsharpValue = 150;          // "FilterUnsharpValue": 100 × σ of the mask's blur
    bool negative = false;           // "FilterNeg"
    int flip = 0;                    // "FilterRot1": 1 mirror, 2 flip, 3 half turn
    int quarterTurn = 0;             // "FilterRot2": 1 clockwise, 2 counter-clockwise

    friend bool operator==(const SFilterSettings&, const SFilterSettings&) = default;
};

// Applies the filters that a settings snapshot switches on, in this order: alpha flattening, grey,
// levels, gamma, brightness and contrast, median, smoothing or sharpening, Gaussian blur, unsharp
// mask, negative, flip or half turn, quarter turn. It holds no state, so runs on several threads
// never mix.
class CFilterChain
{
public:
    // Filters the page. The spare plane (any size and contents) is work space: a step that reads
    // one plane and writes another exchanges the two pointers, so the caller takes the filtered page
    // from `page` afterwards. `hasAlpha` tells whether the page carries alpha and is cleared when the
    // page is flattened. Returns whether any filter step ran (for the page's filter mark).
    [[nodiscard]] bool Apply(const SFilterSettings& settings, std::shared_ptr<Brivox::CPlane32>& page,
                             std::shared_ptr<Brivox::CPlane32>& spare, bool& hasAlpha) const;
};
