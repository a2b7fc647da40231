#pragma once
// Tone tables of the three tone corrections (brightness and contrast, gamma, levels): 256 output
// levels, one per input level, applied to R, G and B through CPlane32::ApplyTable. The gamma dialog
// also draws its curve from its table.

#include "imaging/plane.h"

namespace Brivox {

// clamp(i + b) without contrast; otherwise clamp(i + c × (i − 127) / 256 + b), the division
// truncating toward zero: level 127 is the contrast's fixed point.
void BuildBrightnessContrastTable(ToneTable& table, int brightness, int contrast);
// 256 × (i / 256)^(1 / gamma), truncated: above 1 brightens, below 1 darkens.
void BuildGammaTable(ToneTable& table, double gamma);
// 0 below low, 255 from high on, 255 × (i − low) / (high − low) between; low = high is a threshold.
// Needs low ≤ high.
void BuildLevelsTable(ToneTable& table, int low, int high);

} // namespace Brivox
