#include "foundation/encoding.h"

#include "foundation/win32.h"

#include <clocale>
#include <locale.h>
#include <vector>

namespace Brivox {

namespace {

class DefaultEncoding final : public Encoding
{
public:
    DefaultEncoding() = default;
    DefaultEncoding(const DefaultEncoding&) = delete;
    DefaultEncoding& operator=(const DefaultEncoding&) = delete;

    using Encoding::ToString;

    int WideToMultiByte(const wchar_t* chars, int count, char* buffer, int bufferSize) const override
    {
        if (count <= 0)
            return 0;
        // No default character given: unmappable characters become the system's own.
        return ::WideCharToMultiByte(CP_ACP, 0, chars, count, buffer, bufferSize, nullptr, nullptr);
    }

    int MaxMultiByteLength(int count) const override { return 2 * count; }

    int MaxWideLength(int bytes) const override { return bytes; }

    void ToString(String& out, const std::string& bytes, int offset, int byteCount) const override
    {
        if (byteCount <= 0) {
            out = String();
            return;
        }
        std::vector<wchar_t> buffer(static_cast<std::size_t>(MaxMultiByteLength(byteCount)) + 1, L'\0');
        const int converted = ::MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, bytes.data() + offset, byteCount,
                                                    buffer.data(), static_cast<int>(buffer.size()));
        out = converted > 0 ? String(buffer.data(), 0, converted) : String();
    }

    bool QueryFlag() const override { return false; }
};

} // namespace

std::string Encoding::ToMultiByte(const String& text) const
{
    return ToMultiByte(text, 0, text.Length());
}

std::string Encoding::ToMultiByte(const String& text, int index, int count) const
{
    if (count <= 0)
        return std::string();
    std::string buffer(static_cast<std::size_t>(MaxMultiByteLength(count)) + 1, '\0');
    const int written =
        WideToMultiByte(text.CStr() + index, count, buffer.data(), static_cast<int>(buffer.size()) - 1);
    buffer.resize(static_cast<std::size_t>(written));
    return buffer;
}

String Encoding::ToString(const std::string& bytes) const
{
    String text;
    ToString(text, bytes, 0, static_cast<int>(bytes.size()));
    return text;
}

Encoding& GetDefaultEncoding()
{
    static DefaultEncoding encoding;
    return encoding;
}

bool IsWindowsNT()
{
    static const bool isWindowsNT = [] {
        OSVERSIONINFOA info{};
        info.dwOSVersionInfoSize = sizeof(info);
        // A failed call leaves the record zeroed: the narrow forms are used.
        ::GetVersionExA(&info);
        return info.dwPlatformId == VER_PLATFORM_WIN32_NT;
    }();
    return isWindowsNT;
}

ApiString::ApiString(const String& text) : isWindowsNT_(IsWindowsNT())
{
    Assign(text);
}

void ApiString::Assign(const String& text)
{
    if (isWindowsNT_)
        wide_ = text;
    else
        ansi_ = GetDefaultEncoding().ToMultiByte(text);
}

String ToApiTextW(const String& text)
{
    return text;
}

String FromApiTextA(const std::string& text)
{
    return GetDefaultEncoding().ToString(text);
}

const std::locale& GetUserDefaultLocale()
{
    static const std::locale locale = std::locale::classic();
    return locale;
}

bool SetupProcessLocale()
{
    // One locale for every thread; std::locale("") would throw for any named locale here.
    ::_configthreadlocale(_DISABLE_PER_THREAD_LOCALE);
    ::setlocale(LC_ALL, "");
    return true;
}

namespace {

[[maybe_unused]] const bool processLocaleSet = SetupProcessLocale();

} // namespace

} // namespace Brivox
