#include "foundation/string_builder.h"

#include "foundation/encoding.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string_view>

namespace Brivox {

StringBuilder::StringBuilder(const String& text) : chars_(text.CStr(), text.CStr() + text.Length()) {}

void StringBuilder::Append(wchar_t ch)
{
    chars_.push_back(ch);
}

void StringBuilder::Append(const wchar_t* text)
{
    if (text)
        chars_.insert(chars_.end(), text, text + std::wcslen(text));
}

void StringBuilder::Append(const String& text)
{
    chars_.insert(chars_.end(), text.CStr(), text.CStr() + text.Length());
}

void StringBuilder::Insert(int position, const wchar_t* buffer, int offset, int count)
{
    if (count > 0)
        chars_.insert(chars_.begin() + position, buffer + offset, buffer + offset + count);
}

void StringBuilder::Remove(int index, int count)
{
    if (count > 0)
        chars_.erase(chars_.begin() + index, chars_.begin() + index + count);
}

void StringBuilder::ReplaceChar(wchar_t from, wchar_t to, int index, int count)
{
    if (chars_.empty() || count <= 0)
        return;
    std::replace(chars_.begin() + index, chars_.begin() + index + count, from, to);
}

void StringBuilder::ReplaceAll(const String& find, const String& replacement, int index, int count)
{
    if (chars_.empty() || count <= 0)
        return;
    const String replaced = Substring(index, count).ReplaceAll(find, replacement);
    // Resize the range in place so the tail moves once.
    const int newCount = replaced.Length();
    const auto rangeEnd = chars_.begin() + index + count;
    if (newCount > count)
        chars_.insert(rangeEnd, static_cast<std::size_t>(newCount - count), L'\0');
    else if (newCount < count)
        chars_.erase(chars_.begin() + index + newCount, rangeEnd);
    std::copy_n(replaced.CStr(), newCount, chars_.begin() + index);
}

String StringBuilder::Substring(int index, int count) const
{
    return String(chars_.data(), index, count);
}

String StringBuilder::ToString() const
{
    return String(chars_);
}

String IntToString(int value)
{
    return FormatString(L"%d", value);
}

int StringToInt(const String& text)
{
    return std::atoi(GetDefaultEncoding().ToMultiByte(text).c_str());
}

double StringToDouble(const String& text)
{
    // atof would read the user's decimal separator; from_chars always reads '.'.
    const std::string ansi = GetDefaultEncoding().ToMultiByte(text);
    const char* p = ansi.c_str();
    const char* const end = p + ansi.size();
    while (p < end && std::strchr(" \t\n\v\f\r", *p) && *p != '\0')
        ++p;
    if (p < end && *p == '+') {
        ++p;
        if (p < end && *p == '-')
            return 0.0; // from_chars would take the sign that atof refuses
    }
    double value = 0.0;
    const auto [parsedEnd, error] = std::from_chars(p, end, value);
    if (error == std::errc::result_out_of_range) {
        // As atof: too large gives infinity, too small zero.
        const std::string_view parsed(p, static_cast<std::size_t>(parsedEnd - p));
        const std::size_t exponent = parsed.find_first_of("eE");
        const bool tiny = exponent != std::string_view::npos && parsed.substr(exponent + 1).starts_with('-');
        return std::copysign(tiny ? 0.0 : HUGE_VAL, *p == '-' ? -1.0 : 1.0);
    }
    return error == std::errc() ? value : 0.0;
}

namespace {

// "%.4f" with its trailing zeros removed; keepPoint leaves one zero after a bare point.
String FormatFourDecimals(double value, bool keepPoint)
{
    // to_chars ignores the locale: the decimal point is always '.'. The largest double has 309
    // integer digits.
    std::array<char, 400> buffer;
    const auto [end, error] =
        std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, std::chars_format::fixed, 4);
    if (error != std::errc())
        return String();
    std::string_view text(buffer.data(), static_cast<std::size_t>(end - buffer.data()));
    const std::size_t last = text.find_last_not_of('0');
    std::wstring result(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(last + 1));
    if (text[last] == '.') {
        if (keepPoint)
            result.push_back(L'0');
        else
            result.pop_back();
    }
    return String(result);
}

} // namespace

String DoubleToString(double value)
{
    return FormatFourDecimals(value, true);
}

String DoubleToDisplayString(double value)
{
    return FormatFourDecimals(value, false);
}

void CopyToCharBuffer(char* buffer, int size, const String& text)
{
    if (size <= 0)
        return;
    const std::string ansi = GetDefaultEncoding().ToMultiByte(text);
    const std::size_t copied = std::min(ansi.size(), static_cast<std::size_t>(size) - 1);
    std::memcpy(buffer, ansi.data(), copied);
    buffer[copied] = '\0';
}

std::unique_ptr<char[]> NewCString(const String& text)
{
    const std::string ansi = GetDefaultEncoding().ToMultiByte(text);
    auto copy = std::make_unique<char[]>(ansi.size() + 1);
    std::memcpy(copy.get(), ansi.c_str(), ansi.size() + 1);
    return copy;
}

String ReplaceTable(const String& text, const std::vector<std::pair<String, String>>& pairs)
{
    StringBuilder builder(text);
    for (const auto& [find, replacement] : pairs)
        builder.ReplaceAll(find, replacement, 0, builder.Length());
    return builder.ToString();
}

String ReplaceChars(const String& text, const std::vector<std::pair<wchar_t, wchar_t>>& pairs)
{
    StringBuilder builder(text);
    for (const auto& [from, to] : pairs)
        builder.ReplaceChar(from, to, 0, builder.Length());
    return builder.ToString();
}

} // namespace Brivox
