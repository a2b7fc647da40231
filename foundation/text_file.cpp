#include "foundation/text_file.h"

#include "foundation/encoding.h"
#include "foundation/file.h"
#include "foundation/file_system.h"

#include <string>

namespace Brivox {

namespace {

template <class Bytes> void ReadWholeFile(const String& path, Bytes& bytes)
{
    CStdFile file(path, L"rb");
    bytes.clear();
    try {
        bytes.resize(static_cast<size_t>(file.GetSize()));
        file.Read(bytes.data(), static_cast<int>(bytes.size()));
    } catch (...) {
        // Never hand on what a failed read left behind.
        bytes.clear();
        throw;
    }
}

} // namespace

void ReadFile(const String& path, std::vector<unsigned char>& bytes)
{
    ReadWholeFile(path, bytes);
}

void ReadFile(const String& path, FileBytes& bytes)
{
    ReadWholeFile(path, bytes);
}

void WriteFile(const String& path, const void* data, int count)
{
    CreateDirectories(path);
    CStdFile file(path, L"w+b");
    file.Write(data, count);
    file.Close();
}

void WriteFile(const String& path, const std::vector<unsigned char>& bytes)
{
    WriteFile(path, bytes.data(), static_cast<int>(bytes.size()));
}

void WriteTextFile(const String& path, const String& text)
{
    CreateDirectories(path);
    CStdFile file(path, L"w+b");
    static const unsigned char mark[] = {0xFF, 0xFE};
    file.Write(mark, sizeof mark);
    // UTF-16 code units as little-endian bytes, whatever the machine's own order.
    std::vector<unsigned char> bytes(static_cast<size_t>(text.Length()) * 2);
    for (int i = 0; i < text.Length(); ++i) {
        bytes[2 * i] = static_cast<unsigned char>(text[i] & 0xFF);
        bytes[2 * i + 1] = static_cast<unsigned char>(text[i] >> 8);
    }
    file.Write(bytes.data(), static_cast<int>(bytes.size()));
    file.Close();
}

namespace {

// UTF-16 code units of the bytes after the mark; a stray odd last byte is dropped.
std::vector<wchar_t> ReadUtf16(IFile& file, int size, bool bigEndian)
{
    std::vector<unsigned char> bytes(static_cast<size_t>((size - 2) / 2 * 2));
    file.Read(bytes.data(), static_cast<int>(bytes.size()));
    std::vector<wchar_t> units(bytes.size() / 2);
    for (size_t i = 0; i < units.size(); ++i) {
        const unsigned first = bytes[2 * i], second = bytes[2 * i + 1];
        units[i] = static_cast<wchar_t>(bigEndian ? first << 8 | second : second << 8 | first);
    }
    return units;
}

} // namespace

void ReadTextFile(const String& path, StringBuilder& builder)
{
    CStdFile file(path, L"rb");
    const int size = file.GetSize();
    std::vector<wchar_t> units;
    unsigned char mark[2] = {};
    if (size >= 2)
        file.Read(mark, 2);
    // The mark decides even for an odd size: a UTF-16 file cut by one byte is still UTF-16.
    if (size >= 2 && mark[0] == 0xFF && mark[1] == 0xFE) {
        units = ReadUtf16(file, size, false);
    } else if (size >= 2 && mark[0] == 0xFE && mark[1] == 0xFF) {
        units = ReadUtf16(file, size, true);
    } else if (size > 0) {
        std::string bytes(static_cast<size_t>(size), '\0');
        file.Seek(0, 0);
        file.Read(bytes.data(), size);
        const String text = GetDefaultEncoding().ToString(bytes);
        units.assign(text.CStr(), text.CStr() + text.Length());
    }
    // Replaced only now, so that a failed read leaves the caller's text as it was.
    builder.Remove(0, builder.Length());
    if (!units.empty())
        builder.Insert(0, units.data(), 0, static_cast<int>(units.size()));
}

String ReadTextFile(const String& path)
{
    StringBuilder builder;
    ReadTextFile(path, builder);
    return builder.ToString();
}

} // namespace Brivox
