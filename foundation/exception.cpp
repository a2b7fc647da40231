#include "foundation/exception.h"

#include "foundation/encoding.h"
#include "foundation/win32.h"

#include <cstring>
#include <memory>
#include <string>

namespace Brivox {

namespace {

// The longest prefix of text that fits in limit bytes and ends at a whole character of the
// ANSI code page: a double-byte character is never split.
std::size_t WholeCharacterPrefix(std::string_view text, std::size_t limit)
{
    if (text.size() <= limit)
        return text.size();
    std::size_t end = 0;
    while (end < text.size()) {
        const std::size_t step = ::IsDBCSLeadByte(static_cast<BYTE>(text[end])) ? 2 : 1;
        if (end + step > limit)
            break;
        end += step;
    }
    return end;
}

std::string ToAnsi(const String& text)
{
    return GetDefaultEncoding().ToMultiByte(text);
}

struct LocalFreeDeleter
{
    void operator()(char* p) const { ::LocalFree(p); }
};

// The text of a Win32Exception; error is the thread's last error as read first thing.
std::string WithSystemText(DWORD error, const String& message)
{
    if (error == 0)
        return ToAnsi(message);
    char* buffer = nullptr;
    const DWORD length = ::FormatMessageA(
        FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr,
        error, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<char*>(&buffer), 0, nullptr);
    std::unique_ptr<char, LocalFreeDeleter> description(buffer);
    // Without a description from the system, the code itself still tells what failed.
    if (length == 0 || buffer == nullptr)
        return ToAnsi(message + L" : " +
                      FormatString(L"エラーコード %lu", static_cast<unsigned long>(error)));
    return ToAnsi(message) + " : " + std::string(description.get(), length);
}

} // namespace

Exception::Exception(const String& message) : Exception(AnsiText{ToAnsi(message)}) {}

Exception::Exception(AnsiText text) noexcept
{
    const std::size_t length = WholeCharacterPrefix(text.text, textSize_ - 1);
    std::memcpy(text_, text.text.data(), length);
    text_[length] = '\0';
}

const char* Exception::what() const noexcept
{
    return text_;
}

Win32Exception::Win32Exception(const String& message) : Win32Exception(::GetLastError(), message) {}

Win32Exception::Win32Exception(unsigned long error, const String& message)
    : RuntimeException(AnsiText{WithSystemText(error, message)})
{
}

FPEException::FPEException() : RuntimeException(L"浮動小数点数エラーがありました") {}

InvalidProgramException::InvalidProgramException() : RuntimeException(L"不正な命令が検出されました") {}

AccessViolationException::AccessViolationException() : RuntimeException(L"不正なメモリアクセスがありました")
{
}

UnexpectedException::UnexpectedException() : RuntimeException(L"例外指定にない例外が発生しました") {}

} // namespace Brivox
