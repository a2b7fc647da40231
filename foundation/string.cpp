#include "foundation/string.h"

#include <algorithm>
#include <climits>
#include <cstdarg>
#include <cstdint>
#include <cwchar>
#include <cwctype>
#include <new>
#include <stdio.h>
#include <string_view>

namespace Brivox {

static_assert(sizeof(wchar_t) == 2 && static_cast<wchar_t>(-1) > 0,
              "ordinal order relies on unsigned 16-bit code units");

// Constant initialisation happens before any dynamic initialiser of any translation unit runs.
// The count starts at 1 for the process's own reference, so it never reaches zero.
constinit String::Share String::emptyShare_{1, 0};
constinit const wchar_t String::emptyText_[1] = {L'\0'};

namespace {

std::wstring_view View(const String& s)
{
    return std::wstring_view(s.CStr(), static_cast<std::size_t>(s.Length()));
}

// Length of the separator that starts at pos, 0 when none does.
int SeparatorAt(std::wstring_view text, std::size_t pos, const std::vector<wchar_t>& separators)
{
    return std::find(separators.begin(), separators.end(), text[pos]) != separators.end() ? 1 : 0;
}

int SeparatorAt(std::wstring_view text, std::size_t pos, const std::vector<String>& separators)
{
    for (const String& separator : separators) {
        // An empty separator would match everywhere and never move the scan on.
        if (separator.Length() > 0 && text.substr(pos).starts_with(View(separator)))
            return separator.Length();
    }
    return 0;
}

// The first position p with start <= p < start + count (inside the text) whose unit matches.
template <typename Predicate>
int FirstInRange(std::wstring_view text, int start, int count, Predicate matches)
{
    if (count <= 0)
        return -1;
    const long long end =
        std::min<long long>(static_cast<long long>(start) + count, static_cast<long long>(text.size()));
    for (int p = start; p < end; ++p) {
        if (matches(text[static_cast<std::size_t>(p)]))
            return p;
    }
    return -1;
}

} // namespace

String::String() noexcept
{
    ShareEmpty();
}

String::String(const String& other) noexcept : text_(other.text_), share_(other.share_)
{
    share_->refs.fetch_add(1, std::memory_order_relaxed);
}

String::String(String&& other) noexcept : text_(other.text_), share_(other.share_)
{
    other.ShareEmpty();
}

String::String(const wchar_t* text)
{
    Init(text, text ? std::wcslen(text) : 0);
}

String::String(const std::wstring& text)
{
    Init(text.data(), text.size());
}

String::String(const wchar_t* buffer, int offset, int count)
{
    Init(count > 0 ? buffer + offset : nullptr, count > 0 ? static_cast<std::size_t>(count) : 0);
}

String::String(wchar_t ch, int count)
{
    std::fill_n(Allocate(count > 0 ? static_cast<std::size_t>(count) : 0), std::max(count, 0), ch);
}

String::String(const std::vector<wchar_t>& chars)
{
    Init(chars.data(), chars.size());
}

String::String(std::size_t length, wchar_t** chars)
{
    *chars = Allocate(length);
}

wchar_t* String::Allocate(std::size_t length)
{
    if (length == 0) {
        ShareEmpty();
        return nullptr;
    }
    // Lengths are ints; the block size must not wrap on 32-bit either.
    if (length > static_cast<std::size_t>(INT_MAX) ||
        length > (SIZE_MAX - sizeof(Share)) / sizeof(wchar_t) - 1)
        throw std::bad_alloc();
    void* block = ::operator new(sizeof(Share) + (length + 1) * sizeof(wchar_t));
    share_ = new (block) Share{1, static_cast<int>(length)};
    wchar_t* text = reinterpret_cast<wchar_t*>(static_cast<char*>(block) + sizeof(Share));
    text[length] = L'\0';
    text_ = text;
    return text;
}

void String::Init(const wchar_t* chars, std::size_t length)
{
    std::copy_n(chars, length, Allocate(length));
}

void String::ShareEmpty() noexcept
{
    text_ = emptyText_;
    share_ = &emptyShare_;
    share_->refs.fetch_add(1, std::memory_order_relaxed);
}

void String::Release() noexcept
{
    if (share_->refs.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        share_->~Share();
        ::operator delete(share_);
    }
}

String::~String()
{
    Release();
}

String& String::operator=(const String& other) noexcept
{
    other.share_->refs.fetch_add(1, std::memory_order_relaxed);
    Release();
    text_ = other.text_;
    share_ = other.share_;
    return *this;
}

String& String::operator=(String&& other) noexcept
{
    std::swap(text_, other.text_);
    std::swap(share_, other.share_);
    return *this;
}

String& String::operator+=(const String& other)
{
    return *this = *this + other;
}

String& String::operator+=(const wchar_t* text)
{
    return *this = *this + text;
}

String operator+(const String& a, const String& b)
{
    wchar_t* chars = nullptr;
    String joined(static_cast<std::size_t>(a.Length()) + static_cast<std::size_t>(b.Length()), &chars);
    std::copy_n(b.CStr(), b.Length(), std::copy_n(a.CStr(), a.Length(), chars));
    return joined;
}

String operator+(const String& a, const wchar_t* b)
{
    return a + String(b);
}

String operator+(const wchar_t* a, const String& b)
{
    return String(a) + b;
}

bool operator==(const String& a, const String& b) noexcept
{
    return a.share_ == b.share_ || View(a) == View(b);
}

bool operator<(const String& a, const String& b) noexcept
{
    // wchar_t is an unsigned 16-bit type here, so this is ordinal order.
    return View(a) < View(b);
}

int String::Compare(int pos, const String& other, int otherPos, int count, int mode) const
{
    const bool fold = mode == 1 || mode == 3 || mode == 5;
    const wchar_t* a = text_ + pos;
    const wchar_t* b = other.text_ + otherPos;
    for (int i = 0; i < count; ++i) {
        wint_t ca = a[i];
        wint_t cb = b[i];
        if (fold) {
            ca = std::towlower(ca);
            cb = std::towlower(cb);
        }
        if (ca != cb)
            return ca < cb ? -1 : 1;
        if (ca == 0)
            break; // both texts end here
    }
    return 0;
}

bool String::EqualsIgnoreCase(const String& other) const
{
    return ToLower() == other.ToLower();
}

bool String::EndsWith(const String& suffix) const
{
    if (suffix.Length() > Length())
        return false;
    return Compare(Length() - suffix.Length(), suffix, 0, suffix.Length(), 0) == 0;
}

int String::IndexOf(wchar_t ch, int start, int count) const
{
    return FirstInRange(View(*this), start, count, [ch](wchar_t c) { return c == ch; });
}

int String::IndexOfAny(const std::vector<wchar_t>& chars, int start, int count) const
{
    return FirstInRange(View(*this), start, count, [&chars](wchar_t c) {
        return std::find(chars.begin(), chars.end(), c) != chars.end();
    });
}

int String::Find(const String& text, int start, int count, int mode) const
{
    if (count <= 0)
        return -1;
    // Position Length() is still readable (the NUL), so an empty text is found there too.
    const long long end = std::min<long long>(static_cast<long long>(start) + count, Length() + 1LL);
    for (int p = start; p < end; ++p) {
        if (Compare(p, text, 0, text.Length(), mode) == 0)
            return p;
    }
    return -1;
}

String String::Substring(int start, int count) const
{
    if (count <= 0)
        return String();
    if (count >= Length())
        return *this;
    return String(text_, start, count);
}

String String::Substring(int start) const
{
    return Substring(start, Length() - start);
}

String String::Remove(int start, int count) const
{
    if (count <= 0)
        return *this;
    const int end = static_cast<int>(std::min<long long>(static_cast<long long>(start) + count, Length()));
    wchar_t* chars = nullptr;
    String removed(static_cast<std::size_t>(start + Length() - end), &chars);
    std::copy(text_ + end, text_ + Length(), std::copy_n(text_, start, chars));
    return removed;
}

String String::Replace(wchar_t from, wchar_t to) const
{
    wchar_t* chars = nullptr;
    String replaced(static_cast<std::size_t>(Length()), &chars);
    std::replace_copy(text_, text_ + Length(), chars, from, to);
    return replaced;
}

String String::ReplaceAll(const String& find, const String& replacement) const
{
    const std::wstring_view text = View(*this);
    const std::wstring_view pattern = View(find);
    if (pattern.empty() || text.find(pattern) == std::wstring_view::npos)
        return *this;
    std::wstring result;
    std::size_t from = 0;
    for (std::size_t at = text.find(pattern); at != std::wstring_view::npos; at = text.find(pattern, from)) {
        result.append(text.substr(from, at - from));
        result.append(View(replacement));
        from = at + pattern.size();
    }
    result.append(text.substr(from));
    return String(result);
}

String String::ToUpper() const
{
    wchar_t* chars = nullptr;
    String upper(static_cast<std::size_t>(Length()), &chars);
    std::transform(text_, text_ + Length(), chars, [](wchar_t c) { return std::towupper(c); });
    return upper;
}

String String::ToLower() const
{
    wchar_t* chars = nullptr;
    String lower(static_cast<std::size_t>(Length()), &chars);
    std::transform(text_, text_ + Length(), chars, [](wchar_t c) { return std::towlower(c); });
    return lower;
}

String String::TrimRange(bool left, bool right) const
{
    int first = 0;
    int last = Length();
    while (left && first < last && std::iswspace(text_[first]))
        ++first;
    while (right && last > first && std::iswspace(text_[last - 1]))
        --last;
    return Substring(first, last - first);
}

String String::Trim() const
{
    return TrimRange(true, true);
}

String String::TrimLeft() const
{
    return TrimRange(true, false);
}

String String::TrimRight() const
{
    return TrimRange(false, true);
}

template <typename Separators>
std::vector<String> String::SplitBy(const Separators& separators, int maxCount, bool skipEmpty) const
{
    std::vector<String> pieces;
    if (maxCount == 0)
        return pieces;
    if (maxCount == 1) {
        pieces.push_back(*this);
        return pieces;
    }
    const std::wstring_view text = View(*this);
    int start = 0;
    for (int pos = 0; pos < Length();) {
        const int matched = SeparatorAt(text, static_cast<std::size_t>(pos), separators);
        if (matched == 0) {
            ++pos;
            continue;
        }
        if (!(pos == start && skipEmpty))
            pieces.push_back(Substring(start, pos - start));
        start = pos = pos + matched;
        // A negative maxCount stops at the first separator.
        if (static_cast<long long>(pieces.size()) + 1 >= maxCount)
            break;
    }
    if (!(start == Length() && skipEmpty))
        pieces.push_back(Substring(start));
    return pieces;
}

std::vector<String> String::Split(const std::vector<wchar_t>& separators, int maxCount, bool skipEmpty) const
{
    return SplitBy(separators, maxCount, skipEmpty);
}

std::vector<String> String::Split(const std::vector<wchar_t>& separators, bool skipEmpty) const
{
    return SplitBy(separators, INT_MAX, skipEmpty);
}

std::vector<String> String::Split(const std::vector<wchar_t>& separators, int maxCount) const
{
    return SplitBy(separators, maxCount, false);
}

std::vector<String> String::Split(const std::vector<wchar_t>& separators) const
{
    return SplitBy(separators, INT_MAX, false);
}

std::vector<String> String::Split(const std::vector<String>& separators, int maxCount, bool skipEmpty) const
{
    return SplitBy(separators, maxCount, skipEmpty);
}

std::vector<String> String::Split(const std::vector<String>& separators) const
{
    return SplitBy(separators, INT_MAX, false);
}

std::vector<wchar_t> MakeCharList(wchar_t ch)
{
    return {ch};
}

std::vector<String> MakeStringList(const String& s)
{
    return {s};
}

std::vector<String> MakeStringList(const String& a, const String& b, const String& c)
{
    return {a, b, c};
}

String JoinStrings(const String& separator, const std::vector<String>& pieces, int index, int count)
{
    if (count <= 0)
        return String();
    std::wstring joined(View(pieces[index]));
    for (int i = index + 1; i < index + count; ++i) {
        joined.append(View(separator));
        joined.append(View(pieces[i]));
    }
    return String(joined);
}

String JoinStrings(const String& separator, const std::vector<String>& pieces)
{
    return JoinStrings(separator, pieces, 0, static_cast<int>(pieces.size()));
}

namespace {

String FormatArguments(const wchar_t* format, va_list args)
{
    // The C runtime's own pair: _vscwprintf measures exactly what _vsnwprintf writes (pointers
    // at full width, the locale's decimal point).
    va_list measureArgs;
    va_copy(measureArgs, args);
    const int length = ::_vscwprintf(format, measureArgs);
    va_end(measureArgs);
    if (length <= 0)
        return String();
    std::vector<wchar_t> buffer(static_cast<std::size_t>(length) + 1, L'\0');
    ::_vsnwprintf(buffer.data(), buffer.size(), format, args);
    return String(buffer.data(), 0, length);
}

} // namespace

String FormatString(const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    try {
        String formatted = FormatArguments(format, args);
        va_end(args);
        return formatted;
    } catch (...) {
        va_end(args);
        throw;
    }
}

} // namespace Brivox
