#pragma once
// Short, possibly multi-line texts (Japanese included) measured and drawn in one style: with GDI
// text output straight into a device context, or smoothly by blending the system's anti-aliased
// glyph coverage into a plane. Fonts and text output use the narrow API, so texts go through the
// ANSI code page.
#include "foundation/geometry.h"
#include "foundation/string.h"
#include "foundation/win32.h"

#include <vector>

namespace Brivox {

class CPlane32;

struct SFontDesc
{
    enum Flags : unsigned
    {
        Italic = 1,
        Underline = 2,
        StrikeOut = 4,
        // Draw blends glyph coverage through a scratch plane instead of drawing with TextOut.
        Smooth = 8,
        FillBackground = 16
    };

    int height = 20; // the font height and, for several lines, the line pitch
    int weight = 500;
    COLORREF colour = 0xFFFFFF;
    unsigned flags = 0;
    int effect = 1; // 0 none, 1 drop shadow, any other value an outline
    int effectOffset = 2;
    COLORREF effectColour = 0;
    COLORREF backgroundColour = 0;
    int lineSpacing = 0;
    int marginLeft = 2, marginTop = 1, marginRight = 2, marginBottom = 1;
    String faceName;

    // What the effect adds to a line's width and height: 0, the offset for a shadow, twice the
    // offset for an outline.
    int EffectSize() const;
    // Shift-JIS character set and unsmoothed quality, the face name in the ANSI code page.
    LOGFONTA ToLogFont() const;
};

class CTextRenderer
{
public:
    // A font that cannot be made is not reported: the calls then use the DC's own.
    explicit CTextRenderer(const SFontDesc& desc);
    ~CTextRenderer();
    CTextRenderer(const CTextRenderer&) = delete;
    CTextRenderer& operator=(const CTextRenderer&) = delete;

    // The text box with effect and margins. Throws Win32Exception "描画文字列の寸法の取得に失敗"
    // when the system cannot measure the text.
    CSize Measure(const String& text) const;
    // The text box's top-left corner at the point. Smooth drawing copies the target's pixels
    // around the box (8 pixels beyond it) into the thread's scratch plane, draws there and copies
    // them back, so it measures first and leaves the target untouched when measuring fails.
    void Draw(HDC dc, CPoint point, const String& text) const;
    // Blends the text's glyphs into a 32-bit plane (no device context needed); alpha 0 wherever it
    // draws.
    void DrawToPlane(CPlane32& plane, CPoint point, const String& text) const;

private:
    // One drawing of a line: the offset from the pen and the colour; a line is drawn as a list of
    // them, in order, the text colour last.
    struct SCopy
    {
        CPoint offset;
        COLORREF colour;
    };

    std::vector<SCopy> Copies() const;
    int LinePitch() const;
    void DrawDirect(HDC dc, CPoint point, const String& text) const;

    SFontDesc desc_;
    HFONT font_;
};

} // namespace Brivox
