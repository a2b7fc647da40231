#include "ui/common_dialogs.h"

#include "ui/modal_cursor.h"

#include <cwchar>
#include <vector>

namespace Brivox {

namespace {

bool IsShiftJisLeadByte(unsigned char byte)
{
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

bool IsForbiddenInFileName(char ch, int position)
{
    switch (ch) {
    case '/':
    case '\\':
    case '"':
    case '*':
    case '<':
    case '>':
    case '?':
    case '|':
        return true;
    case ':':
        return position >= 3;
    default:
        return false;
    }
}

int Low8Bits(int value)
{
    return value & 0xFF;
}

// Reads "r<sep>g<sep>b"; what is missing or unreadable counts as 0.
COLORREF ReadColor(const String& item, const wchar_t* format)
{
    int red = 0;
    int green = 0;
    int blue = 0;
    std::swscanf(item.CStr(), format, &red, &green, &blue);
    return RGB(Low8Bits(red), Low8Bits(green), Low8Bits(blue));
}

} // namespace

void CleanInvalidFileName(char* name)
{
    for (int i = 0; name[i] != '\0'; ++i) {
        if (IsShiftJisLeadByte(static_cast<unsigned char>(name[i]))) {
            if (name[i + 1] == '\0')
                break;
            ++i;
        } else if (IsForbiddenInFileName(name[i], i)) {
            name[i] = '-';
        }
    }
}

CColorDialog::CColorDialog() : block_{}
{
    block_.lStructSize = sizeof(block_);
    block_.lpCustColors = custom_;
}

bool CColorDialog::Show()
{
    block_.Flags = CC_RGBINIT;
    block_.rgbResult = color_;
    BOOL chosen;
    {
        CursorShown cursor;
        chosen = ::ChooseColorA(&block_);
    }
    if (!chosen)
        return false;
    color_ = block_.rgbResult;
    return true;
}

String CColorDialog::ToString() const
{
    String text;
    auto append = [&text](COLORREF color) {
        text += FormatString(L"%d,%d,%d ", GetRValue(color), GetGValue(color), GetBValue(color));
    };
    append(color_);
    for (COLORREF color : custom_)
        append(color);
    return text;
}

void CColorDialog::FromString(const String& text)
{
    std::vector<String> items = text.Split(MakeCharList(L' '));
    const wchar_t* format = L"%d,%d,%d";
    if (items.size() == 1) {
        items = text.Split(MakeCharList(L'-'));
        format = L"%d:%d:%d";
    }
    color_ = ReadColor(items[0], format);
    for (std::size_t i = 1; i < items.size() && i <= CustomColorCount; ++i)
        custom_[i - 1] = ReadColor(items[i], format);
}

} // namespace Brivox
