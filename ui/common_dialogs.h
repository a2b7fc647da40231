#pragma once
// The system's colour dialog in its narrow form, and the cleaning of a file name that the file
// dialog refused.

#include "foundation/string.h"
#include "foundation/win32.h"

#include <commdlg.h>

namespace Brivox {

// Replaces by '-' every character of the NUL-terminated ANSI name that a file name cannot hold:
// slash, backslash, double quote, '*', '<', '>', '?', '|', and every ':' from the fourth byte on
// (so a drive's colon stays). The trail byte of a Shift_JIS character is stepped over, since it
// may have the value of '\\' or '|'.
void CleanInvalidFileName(char* name);

// Chooses a colour; keeps the current colour and the sixteen custom colours between runs.
class CColorDialog
{
public:
    static constexpr int CustomColorCount = 16;

    CColorDialog();
    CColorDialog(const CColorDialog&) = delete;
    CColorDialog& operator=(const CColorDialog&) = delete;

    void SetOwner(HWND owner) { block_.hwndOwner = owner; }
    COLORREF GetColor() const { return color_; }
    void SetColor(COLORREF color) { color_ = color; }
    COLORREF GetCustomColor(int index) const { return custom_[index]; }
    void SetCustomColor(int index, COLORREF color) { custom_[index] = color; }

    // Modal; true on OK, and the current colour becomes the chosen one.
    bool Show();

    // The current colour and then the custom colours, each as "r,g,b " (the last one too).
    String ToString() const;
    // Reads ToString's text, or the older "r:g:b-r:g:b..." form. Missing or unreadable numbers
    // read as 0; custom colours the text does not reach keep their values.
    void FromString(const String& text);

private:
    CHOOSECOLORA block_;
    COLORREF color_ = 0;
    COLORREF custom_[CustomColorCount] = {};
};

} // namespace Brivox
