#include "imaging/text_renderer.h"

#include "foundation/encoding.h"
#include "foundation/exception.h"
#include "foundation/string_builder.h"
#include "foundation/thread_state.h"
#include "imaging/dc_target.h"
#include "imaging/glyph_kernels.h"
#include "imaging/plane.h"

#include <algorithm>
#include <cstdint>

namespace Brivox {

namespace {

// A memory device context compatible with the screen, deleted with its owner.
class CMemoryDc
{
public:
    CMemoryDc() : dc_(::CreateCompatibleDC(nullptr)) {}
    CMemoryDc(const CMemoryDc&) = delete;
    CMemoryDc& operator=(const CMemoryDc&) = delete;
    ~CMemoryDc()
    {
        if (dc_)
            ::DeleteDC(dc_);
    }

    HDC Get() const { return dc_; }

private:
    HDC dc_;
};

// A font selected into a DC for one scope; the previous font comes back with the scope's end.
class CFontSelection
{
public:
    CFontSelection(HDC dc, HFONT font) : dc_(dc), previous_(::SelectObject(dc, font)) {}
    CFontSelection(const CFontSelection&) = delete;
    CFontSelection& operator=(const CFontSelection&) = delete;
    ~CFontSelection()
    {
        if (previous_)
            ::SelectObject(dc_, previous_);
    }

private:
    HDC dc_;
    HGDIOBJ previous_;
};

// A text's lines: trailing white space dropped, cut at CR LF, LF and CR, empty lines kept.
std::vector<String> SplitLines(const String& text)
{
    return text.TrimRight().Split(std::vector<String>{L"\r\n", L"\n", L"\r"});
}

SIZE TextExtent(HDC dc, const std::string& ansi)
{
    SIZE extent{};
    if (!::GetTextExtentPoint32A(dc, ansi.data(), static_cast<int>(ansi.size()), &extent)) {
        const DWORD error = ::GetLastError();
        throw Win32Exception(error, L"描画文字列の寸法の取得に失敗");
    }
    return extent;
}

// Each thread's scratch plane (it only grows) and glyph buffer, kept until the process ends.
CDib32& ThreadScratchPlane()
{
    static ThreadLocalMap<CDib32> planes;
    // The map owns what the factory makes.
    return *planes.Get([] { return new CDib32(); });
}

std::vector<std::uint8_t>& ThreadGlyphBuffer()
{
    static ThreadLocalMap<std::vector<std::uint8_t>> buffers;
    return *buffers.Get([] { return new std::vector<std::uint8_t>(1); });
}

bool IsShiftJisLeadByte(unsigned char byte)
{
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

[[noreturn]] void ThrowGlyphError()
{
    const DWORD error = ::GetLastError();
    throw Win32Exception(error, L"文字グリフの取得に失敗");
}

// Blends the glyphs of one line of ANSI text into the plane, the pen at the top-left of the line's
// cell; what lies outside the plane is cut.
void RenderGlyphs(HFONT font, CPlane32& plane, CPoint pen, const std::string& ansi, COLORREF colour)
{
    const CMemoryDc dc;
    const CFontSelection selection(dc.Get(), font);
    TEXTMETRICA metrics{};
    ::GetTextMetricsA(dc.Get(), &metrics);
    const MAT2 identity{{0, 1}, {0, 0}, {0, 0}, {0, 1}};
    std::vector<std::uint8_t>& buffer = ThreadGlyphBuffer();
    const Detail::PlaneBitsLock bits(plane);
    for (std::size_t i = 0; i < ansi.size(); ++i) {
        unsigned code = static_cast<unsigned char>(ansi[i]);
        if (IsShiftJisLeadByte(static_cast<unsigned char>(code)) && i + 1 < ansi.size())
            code = code << 8 | static_cast<unsigned char>(ansi[++i]);
        GLYPHMETRICS glyph{};
        const DWORD size =
            ::GetGlyphOutlineA(dc.Get(), code, GGO_GRAY8_BITMAP, &glyph, 0, nullptr, &identity);
        if (size == GDI_ERROR)
            ThrowGlyphError();
        // A character without pixels (a space) only moves the pen.
        if (size > 0) {
            if (buffer.size() < size)
                buffer.resize(size);
            if (::GetGlyphOutlineA(dc.Get(), code, GGO_GRAY8_BITMAP, &glyph, size, buffer.data(),
                                   &identity) == GDI_ERROR)
                ThrowGlyphError();
            // Rows of coverage are padded to whole 32-bit words.
            const int pitch = static_cast<int>((glyph.gmBlackBoxX + 3) & ~3u);
            const int rows =
                std::min(static_cast<int>(glyph.gmBlackBoxY), static_cast<int>(size) / std::max(pitch, 1));
            Kernels::BlendGlyphCoverage(bits.Top(), bits.Stride(), plane.GetWidth(), plane.GetHeight(),
                                        pen.x + glyph.gmptGlyphOrigin.x,
                                        pen.y + metrics.tmAscent - glyph.gmptGlyphOrigin.y, buffer.data(),
                                        static_cast<int>(glyph.gmBlackBoxX), rows, pitch, colour);
        }
        pen.x += glyph.gmCellIncX;
    }
}

} // namespace

int SFontDesc::EffectSize() const
{
    return effect == 0 ? 0 : effect == 1 ? effectOffset : 2 * effectOffset;
}

LOGFONTA SFontDesc::ToLogFont() const
{
    LOGFONTA font{};
    font.lfHeight = height;
    font.lfWeight = weight;
    font.lfItalic = (flags & Italic) ? 1 : 0;
    font.lfUnderline = (flags & Underline) ? 1 : 0;
    font.lfStrikeOut = (flags & StrikeOut) ? 1 : 0;
    font.lfCharSet = SHIFTJIS_CHARSET;
    font.lfQuality = NONANTIALIASED_QUALITY;
    CopyToCharBuffer(font.lfFaceName, LF_FACESIZE, faceName);
    return font;
}

CTextRenderer::CTextRenderer(const SFontDesc& desc) : desc_(desc)
{
    const LOGFONTA font = desc_.ToLogFont();
    font_ = ::CreateFontIndirectA(&font);
}

CTextRenderer::~CTextRenderer()
{
    if (font_)
        ::DeleteObject(font_);
}

std::vector<CTextRenderer::SCopy> CTextRenderer::Copies() const
{
    const int d = desc_.effectOffset;
    const COLORREF effect = desc_.effectColour, text = desc_.colour;
    switch (desc_.effect) {
    case 0:
        return {{{0, 0}, text}};
    case 1:
        return {{{d, d}, effect}, {{0, 0}, text}};
    default:
        return {{{0, 0}, effect},         {{2 * d, 0}, effect}, {{0, 2 * d}, effect},
                {{2 * d, 2 * d}, effect}, {{d, 0}, effect},     {{d, 2 * d}, effect},
                {{0, d}, effect},         {{2 * d, d}, effect}, {{d, d}, text}};
    }
}

int CTextRenderer::LinePitch() const
{
    return desc_.height + desc_.lineSpacing + desc_.EffectSize();
}

CSize CTextRenderer::Measure(const String& text) const
{
    const std::vector<String> lines = SplitLines(text);
    const CMemoryDc dc;
    const CFontSelection selection(dc.Get(), font_);
    const Encoding& encoding = GetDefaultEncoding();
    const int e = desc_.EffectSize();
    CSize size;
    if (lines.size() == 1) {
        const SIZE extent = TextExtent(dc.Get(), encoding.ToMultiByte(text));
        size = {extent.cx + e, extent.cy + e};
    } else {
        int widest = 0;
        for (const String& line : lines)
            widest = std::max(widest, static_cast<int>(TextExtent(dc.Get(), encoding.ToMultiByte(line)).cx));
        // The pitch, not the measured line heights, sets the height.
        size = {widest + e, static_cast<int>(lines.size()) * LinePitch() - desc_.lineSpacing};
    }
    return {size.cx + desc_.marginLeft + desc_.marginRight, size.cy + desc_.marginTop + desc_.marginBottom};
}

void CTextRenderer::Draw(HDC dc, CPoint point, const String& text) const
{
    if (!(desc_.flags & SFontDesc::Smooth)) {
        DrawDirect(dc, point, text);
        return;
    }
    // The border gives room for effects and glyph overhang.
    constexpr int border = 8;
    CDib32& scratch = ThreadScratchPlane();
    const CSize size = Measure(text);
    const CSize area{size.cx + 2 * border, size.cy + 2 * border};
    const CPoint corner{point.x - border, point.y - border};
    scratch.Resize(area);
    CDcTarget target(dc);
    {
        const Detail::PlaneDcLock scratchDc(scratch);
        CDcTarget(scratchDc).BitBlt(target, {0, 0},
                                    {corner.x, corner.y, corner.x + area.cx, corner.y + area.cy});
    }
    DrawToPlane(scratch, {border, border}, text);
    const Detail::PlaneDcLock scratchDc(scratch);
    target.BitBlt(CDcTarget(scratchDc), corner, {0, 0, area.cx, area.cy});
}

void CTextRenderer::DrawDirect(HDC dc, CPoint point, const String& text) const
{
    if (desc_.flags & SFontDesc::FillBackground) {
        const CSize size = Measure(text);
        CDcTarget(dc).FillRect(desc_.backgroundColour,
                               {point.x, point.y, point.x + size.cx, point.y + size.cy});
    }
    const CFontSelection selection(dc, font_);
    const int previousMode = ::SetBkMode(dc, TRANSPARENT);
    const COLORREF previousColour = ::GetTextColor(dc);
    const std::vector<SCopy> copies = Copies();
    CPoint pen{point.x + desc_.marginLeft, point.y + desc_.marginTop};
    for (const String& line : SplitLines(text)) {
        const std::string ansi = GetDefaultEncoding().ToMultiByte(line);
        for (const SCopy& copy : copies) {
            ::SetTextColor(dc, copy.colour);
            ::TextOutA(dc, pen.x + copy.offset.x, pen.y + copy.offset.y, ansi.data(),
                       static_cast<int>(ansi.size()));
        }
        pen.y += LinePitch();
    }
    ::SetTextColor(dc, previousColour);
    ::SetBkMode(dc, previousMode);
}

void CTextRenderer::DrawToPlane(CPlane32& plane, CPoint point, const String& text) const
{
    if (desc_.flags & SFontDesc::FillBackground) {
        const CSize size = Measure(text);
        plane.FillRect(desc_.backgroundColour, {point.x, point.y, point.x + size.cx, point.y + size.cy});
    }
    std::vector<String> lines = SplitLines(text);
    while (!lines.empty() && lines.back().Length() == 0)
        lines.pop_back();
    const std::vector<SCopy> copies = Copies();
    CPoint pen{point.x + desc_.marginLeft, point.y + desc_.marginTop};
    for (const String& line : lines) {
        const std::string ansi = GetDefaultEncoding().ToMultiByte(line);
        for (const SCopy& copy : copies)
            RenderGlyphs(font_, plane, {pen.x + copy.offset.x, pen.y + copy.offset.y}, ansi, copy.colour);
        pen.y += LinePitch();
    }
}

} // namespace Brivox
