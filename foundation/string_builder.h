#pragma once

#include "foundation/string.h"

#include <memory>
#include <utility>
#include <vector>

namespace Brivox {

// The mutable companion of String: text assembled piece by piece, then taken out as a String.
class StringBuilder
{
public:
    StringBuilder() = default;
    explicit StringBuilder(const String& text);
    StringBuilder(const StringBuilder&) = delete;
    StringBuilder& operator=(const StringBuilder&) = delete;

    int Length() const { return static_cast<int>(chars_.size()); }

    void Append(wchar_t ch);
    void Append(const wchar_t* text);
    void Append(const String& text);
    void Insert(int position, const wchar_t* buffer, int offset, int count);
    void Remove(int index, int count);
    void ReplaceChar(wchar_t from, wchar_t to, int index, int count);
    void ReplaceAll(const String& find, const String& replacement, int index, int count);

    String Substring(int index, int count) const;
    wchar_t* At(int index) { return &chars_[static_cast<std::size_t>(index)]; }
    String ToString() const;

private:
    std::vector<wchar_t> chars_;
};

String IntToString(int value);
// atoi of the ANSI form: leading white space, a sign, digits up to the first other character.
int StringToInt(const String& text);
// Reals the program writes for itself: '.' is the decimal point whatever the user's locale.
double StringToDouble(const String& text);
// "%.4f" without trailing zeros, keeping one after the point: 2 -> "2.0", 1.25 -> "1.25".
String DoubleToString(double value);
// The form a dialog shows: as DoubleToString, but a bare point goes too: 3 -> "3", 2.5 -> "2.5".
String DoubleToDisplayString(double value);

// The ANSI form, cut to size - 1 bytes and NUL-terminated (a double-byte character may be split).
void CopyToCharBuffer(char* buffer, int size, const String& text);
// The ANSI form with its NUL in a new array.
std::unique_ptr<char[]> NewCString(const String& text);

// Applied in list order over the whole current text, so later pairs see earlier replacements.
String ReplaceTable(const String& text, const std::vector<std::pair<String, String>>& pairs);
String ReplaceChars(const String& text, const std::vector<std::pair<wchar_t, wchar_t>>& pairs);

} // namespace Brivox
