#pragma once

#include "foundation/string.h"

#include <locale>
#include <string>

namespace Brivox {

// Conversion between String and a narrow code page. The one instance lives for the whole process
// and is never deleted through this interface, hence no virtual destructor.
class Encoding
{
public:
    // Returns the bytes written; 0 on failure or when count <= 0.
    virtual int WideToMultiByte(const wchar_t* chars, int count, char* buffer, int bufferSize) const = 0;
    virtual int MaxMultiByteLength(int count) const = 0;
    virtual int MaxWideLength(int bytes) const = 0;
    virtual void ToString(String& out, const std::string& bytes, int offset, int byteCount) const = 0;
    virtual bool QueryFlag() const = 0;

    std::string ToMultiByte(const String& text) const;
    std::string ToMultiByte(const String& text, int index, int count) const;
    String ToString(const std::string& bytes) const;

protected:
    Encoding() = default;
    ~Encoding() = default;
};

// The ANSI code page encoding of the process, made on first use.
Encoding& GetDefaultEncoding();

// Whether the wide forms of system calls are available (decided once).
bool IsWindowsNT();

// A String prepared for a system call with a wide and a narrow form: exactly one form is filled,
// chosen by IsWindowsNT.
class ApiString
{
public:
    ApiString(const String& text);

    void Assign(const String& text);
    const wchar_t* WidePointer() const { return wide_.CStr(); }
    const char* AnsiPointer() const { return ansi_.c_str(); }

private:
    bool isWindowsNT_;
    std::string ansi_;
    String wide_;
};

// Calls wide(const wchar_t*) with the text on NT and narrow(const char*) with its ANSI form
// elsewhere; both give the system function's result.
template <class Wide, class Narrow> auto CallWithApiText(const String& text, Wide wide, Narrow narrow)
{
    const ApiString api(text);
    return IsWindowsNT() ? wide(api.WidePointer()) : narrow(api.AnsiPointer());
}

// The same for a function of two texts (source and destination of a copy or move).
template <class Wide, class Narrow>
auto CallWithApiTexts(const String& first, const String& second, Wide wide, Narrow narrow)
{
    const ApiString a(first), b(second);
    return IsWindowsNT() ? wide(a.WidePointer(), b.WidePointer()) : narrow(a.AnsiPointer(), b.AnsiPointer());
}

// The two halves of code written once for the wide and the narrow form of a call.
String ToApiTextW(const String& text);
String FromApiTextA(const std::string& text);

// The C++ library here (MinGW's generic locale model) only knows the classic locale and throws
// for a named one, so this is the classic locale; the user's locale lives in the C runtime, set
// by SetupProcessLocale, and that is what case mapping, white-space tests and number formatting
// follow.
const std::locale& GetUserDefaultLocale();

// Sets the C runtime's process-wide locale to the user's default; runs before main.
bool SetupProcessLocale();

} // namespace Brivox
