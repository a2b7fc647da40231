#include "settings/filter_settings.h"

SFilterSettings ReadFilterSettings(const Brivox::CConfig& config)
{
    SFilterSettings s;
    s.filter = config.GetBool(L"Filter");
    if (!s.filter)
        return s;
    s.alpha = config.GetBool(L"FilterAlpha");
    s.alphaBackground = config.GetRGB(L"FilterAlphaBg");
    s.alphaCheck = config.GetBool(L"FilterAlphaCheck");
    s.gray = config.GetInt(L"FilterGray");
    s.levels = config.GetBool(L"FilterLevelRev");
    s.levelsLow = config.GetInt(L"FilterLevelRevLow");
    s.levelsHigh = config.GetInt(L"FilterLevelRevHigh");
    s.gamma = config.GetBool(L"FilterGammaRev");
    s.gammaValue = config.GetInt(L"FilterGammaRevValue");
    s.brightnessContrast = config.GetBool(L"FilterBC");
    s.brightness = config.GetInt(L"FilterBCBright");
    s.contrast = config.GetInt(L"FilterBCContrast");
    s.median = config.GetBool(L"FilterMedian");
    s.sharp = config.GetInt(L"FilterSharp");
    s.gauss = config.GetBool(L"FilterGauss");
    s.gaussValue = config.GetInt(L"FilterGaussValue");
    s.unsharp = config.GetBool(L"FilterUnsharp");
    s.unsharpValue = config.GetInt(L"FilterUnsharpValue");
    s.negative = config.GetBool(L"FilterNeg");
    s.flip = config.GetInt(L"FilterRot1");
    s.quarterTurn = config.GetInt(L"FilterRot2");
    return s;
}
