#include "foundation/serialization.h"

#include "foundation/encoding.h"
#include "foundation/exception.h"
#include "foundation/lzss.h"
#include "foundation/memory_stream.h"
#include "foundation/text_file.h"

#include <cstdint>
#include <cstring>
#include <string>

namespace Brivox {

namespace {

[[noreturn]] void ThrowDamaged()
{
    throw RuntimeException(L"保存データが壊れています");
}

} // namespace

void IRestorer::WriteBytes(const void* data, int count)
{
    if (count <= 0)
        return;
    const auto* bytes = static_cast<const unsigned char*>(data);
    m_buffer.insert(m_buffer.end(), bytes, bytes + count);
}

void IRestorer::WriteString(const String& text)
{
    const std::string ansi = GetDefaultEncoding().ToMultiByte(text);
    const auto length = static_cast<std::int32_t>(ansi.size());
    WriteBytes(&length, sizeof(length));
    WriteBytes(ansi.data(), length);
}

void IRestorer::WriteByteVector(const std::vector<unsigned char>& bytes)
{
    const auto length = static_cast<std::int32_t>(bytes.size());
    WriteBytes(&length, sizeof(length));
    WriteBytes(bytes.data(), length);
}

int IRestorer::Remaining() const
{
    // A position taken from damaged data may lie anywhere.
    if (m_position < 0 || static_cast<std::size_t>(m_position) > m_buffer.size())
        return 0;
    return static_cast<int>(m_buffer.size() - static_cast<std::size_t>(m_position));
}

void IRestorer::ReadBytes(void* destination, unsigned count)
{
    // Data that end inside a value are damaged; a value made up of what the destination held
    // before would pass for a read one.
    if (static_cast<unsigned>(Remaining()) < count)
        ThrowDamaged();
    if (count == 0)
        return;
    std::memcpy(destination, m_buffer.data() + m_position, count);
    m_position += static_cast<int>(count);
}

int IRestorer::ReadCount()
{
    std::int32_t count = 0;
    ReadBytes(&count, sizeof(count));
    return count;
}

int IRestorer::ReadCheckedCount(int elementSize)
{
    const int count = ReadCount();
    if (count < 0 || count > Remaining() / elementSize)
        ThrowDamaged();
    return count;
}

String IRestorer::ReadString()
{
    const int length = ReadCheckedCount(1);
    const auto* text = reinterpret_cast<const char*>(m_buffer.data() + m_position);
    m_position += length;
    return GetDefaultEncoding().ToString(std::string(text, ::strnlen(text, length)));
}

void IRestorer::ReadStringVector(std::vector<String>& strings)
{
    // Every string takes at least its length field.
    const int count = ReadCheckedCount(sizeof(std::int32_t));
    strings.clear();
    strings.reserve(count);
    for (int k = 0; k < count; ++k)
        strings.push_back(ReadString());
}

void IRestorer::ReadByteVector(std::vector<unsigned char>& bytes)
{
    const int count = ReadCheckedCount(1);
    bytes.assign(m_buffer.begin() + m_position, m_buffer.begin() + m_position + count);
    m_position += count;
}

void IRestorer::Save(IRestorer& target) const
{
    target.WriteByteVector(m_buffer);
    target.WriteBytes(&m_position, sizeof(m_position));
}

void IRestorer::Load(IRestorer& source)
{
    std::vector<unsigned char> buffer;
    source.ReadByteVector(buffer);
    std::int32_t position = 0;
    source.ReadBytes(&position, sizeof(position));
    if (position < 0 || static_cast<std::size_t>(position) > buffer.size())
        ThrowDamaged();
    m_buffer.swap(buffer);
    m_position = position;
}

CCompressRestorer::CCompressRestorer(const String& path)
{
    const std::vector<unsigned char> compressed = ReadFileToVector(path);
    CReadStream input(compressed.data(), static_cast<int>(compressed.size()));
    CWriteStream output(m_buffer);
    CLZSSCompress().Decode(output, input);
}

std::vector<unsigned char> ReadFileToVector(const String& path)
{
    std::vector<unsigned char> bytes;
    ReadFile(path, bytes);
    return bytes;
}

} // namespace Brivox
