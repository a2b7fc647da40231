#pragma once

#include <atomic>
#include <cstddef>
#include <string>
#include <vector>

namespace Brivox {

// An immutable, shared text of UTF-16 code units. Copies share the characters; every operation
// that yields a different text builds a new one. Lengths and positions count code units.
class String
{
public:
    String() noexcept;
    String(const String& other) noexcept;
    String(String&& other) noexcept;
    String(const wchar_t* text);
    String(const std::wstring& text);
    String(const wchar_t* buffer, int offset, int count);
    String(wchar_t ch, int count);
    String(const std::vector<wchar_t>& chars);
    ~String();

    String& operator=(const String& other) noexcept;
    String& operator=(String&& other) noexcept;
    String& operator+=(const String& other);
    String& operator+=(const wchar_t* text);

    int Length() const noexcept { return share_->length; }
    // NUL-terminated; valid while any String sharing this text lives.
    const wchar_t* CStr() const noexcept { return text_; }
    // index == Length() gives the terminating NUL.
    wchar_t operator[](int index) const noexcept { return text_[index]; }

    // wcsncmp semantics over at most count units; modes 1, 3 and 5 fold both sides to lower case.
    int Compare(int pos, const String& other, int otherPos, int count, int mode) const;
    bool EqualsIgnoreCase(const String& other) const;
    bool EndsWith(const String& suffix) const;

    // Positions p with start <= p < start + count; -1 when not found.
    int IndexOf(wchar_t ch, int start, int count) const;
    int IndexOfAny(const std::vector<wchar_t>& chars, int start, int count) const;
    int Find(const String& text, int start, int count, int mode) const;

    String Substring(int start, int count) const;
    String Substring(int start) const;
    String Remove(int start, int count) const;
    String Replace(wchar_t from, wchar_t to) const;
    String ReplaceAll(const String& find, const String& replacement) const;
    String ToUpper() const;
    String ToLower() const;
    String Trim() const;
    String TrimLeft() const;
    String TrimRight() const;

    std::vector<String> Split(const std::vector<wchar_t>& separators, int maxCount, bool skipEmpty) const;
    std::vector<String> Split(const std::vector<wchar_t>& separators, bool skipEmpty) const;
    std::vector<String> Split(const std::vector<wchar_t>& separators, int maxCount) const;
    std::vector<String> Split(const std::vector<wchar_t>& separators) const;
    std::vector<String> Split(const std::vector<String>& separators, int maxCount, bool skipEmpty) const;
    std::vector<String> Split(const std::vector<String>& separators) const;

    friend bool operator==(const String& a, const String& b) noexcept;
    // Ordinal: code units as unsigned numbers, a prefix orders first.
    friend bool operator<(const String& a, const String& b) noexcept;
    friend String operator+(const String& a, const String& b);
    friend String operator+(const String& a, const wchar_t* b);
    friend String operator+(const wchar_t* a, const String& b);

private:
    // The header in front of every allocated text.
    struct Share
    {
        std::atomic<long> refs;
        int length;
    };
    // The process-wide empty text: constant-initialised, so usable from any static initialiser.
    static Share emptyShare_;
    static const wchar_t emptyText_[1];

    // A new text of length units (NUL after them) whose characters the caller writes at *chars.
    String(std::size_t length, wchar_t** chars);
    // Points this (not yet constructed) handle at a new text; returns its writable characters.
    wchar_t* Allocate(std::size_t length);
    void Init(const wchar_t* chars, std::size_t length);
    void ShareEmpty() noexcept;
    template <typename Separators>
    std::vector<String> SplitBy(const Separators& separators, int maxCount, bool skipEmpty) const;
    String TrimRange(bool left, bool right) const;
    void Release() noexcept;

    const wchar_t* text_;
    Share* share_;
};

std::vector<wchar_t> MakeCharList(wchar_t ch);
std::vector<String> MakeStringList(const String& s);
std::vector<String> MakeStringList(const String& a, const String& b, const String& c);
String JoinStrings(const String& separator, const std::vector<String>& pieces, int index, int count);
String JoinStrings(const String& separator, const std::vector<String>& pieces);
// printf-style formatting with the C runtime's wide conversions (decimal point of the locale).
String FormatString(const wchar_t* format, ...);

} // namespace Brivox
