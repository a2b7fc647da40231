#pragma once
// Values serialised into a byte buffer and read back in the same order. Integers are 32-bit
// little-endian; a string is its byte length and its text in the ANSI code page.

#include "foundation/string.h"

#include <vector>

namespace Brivox {

class IRestorer;

class ISerializable
{
public:
    virtual ~ISerializable() = default;
    virtual void Save(IRestorer& target) const = 0;
    virtual void Load(IRestorer& source) = 0;
};

// Writing appends to the buffer; reading takes bytes from the read position. A read that runs past
// the end of the buffer, and a length or count read from the buffer that is negative or runs past
// its end, throw RuntimeException ("保存データが壊れています"): the data read this way come from
// files. A read that throws copies nothing and leaves the position alone.
class IRestorer : public ISerializable
{
public:
    IRestorer() = default;
    IRestorer(const IRestorer&) = delete;
    IRestorer& operator=(const IRestorer&) = delete;

    void WriteBytes(const void* data, int count);
    void WriteString(const String& text);
    void WriteByteVector(const std::vector<unsigned char>& bytes);

    void ReadBytes(void* destination, unsigned count);
    // A 32-bit count or length, not yet checked against the rest of the buffer.
    int ReadCount();
    // The text ends at the first NUL byte; the position passes all stored bytes.
    String ReadString();
    void ReadStringVector(std::vector<String>& strings);
    void ReadByteVector(std::vector<unsigned char>& bytes);

    // The buffer as a byte vector, then the position.
    void Save(IRestorer& target) const override;
    void Load(IRestorer& source) override;

    const std::vector<unsigned char>& GetBuffer() const { return m_buffer; }
    int GetPosition() const { return m_position; }

protected:
    std::vector<unsigned char> m_buffer;

private:
    // A count of elements each at least elementSize bytes long that must fit in the rest.
    int ReadCheckedCount(int elementSize);
    int Remaining() const;

    int m_position = 0;
};

// A restorer filled from an LZSS-compressed file, read from its start.
class CCompressRestorer : public IRestorer
{
public:
    explicit CCompressRestorer(const String& path);
};

std::vector<unsigned char> ReadFileToVector(const String& path);

} // namespace Brivox
