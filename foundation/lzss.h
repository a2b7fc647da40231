#pragma once
// LZSS (Storer-Szymanski) over a 4096-byte ring: the format of the old compressed bookmark files.

#include "foundation/file.h"
#include "foundation/memory_stream.h"

namespace Brivox {

class IEncoder
{
public:
    virtual ~IEncoder() = default;
    virtual void Encode(IWriteStream& output, IReadStream& input) = 0;
    virtual void Decode(IWriteStream& output, IReadStream& input) = 0;
};

// Collects output so that the stream receives chunks of at most 512 bytes.
class LzssOutputBuffer
{
public:
    explicit LzssOutputBuffer(IWriteStream& output) : m_output(output) {}
    LzssOutputBuffer(const LzssOutputBuffer&) = delete;
    LzssOutputBuffer& operator=(const LzssOutputBuffer&) = delete;

    // count is at most the buffer's size.
    void Put(const unsigned char* bytes, int count);
    void Flush();

private:
    static constexpr int capacity = 512;
    IWriteStream& m_output;
    unsigned char m_bytes[capacity];
    int m_count = 0;
};

// The compressed form: the uncompressed size (4 bytes, little-endian), then groups of a flag byte
// and up to 8 items, a set bit (lowest first) for a literal byte, a clear bit for a 2-byte
// reference to an absolute ring position and a length of 3 to 18. Both directions throw
// RuntimeException for inputs of 16 bytes or less; decoding also for input that ends before the
// stated size is reached. One object serves one call at a time.
class CLZSSCompress : public IEncoder
{
public:
    CLZSSCompress() = default;
    CLZSSCompress(const CLZSSCompress&) = delete;
    CLZSSCompress& operator=(const CLZSSCompress&) = delete;

    void Encode(IWriteStream& output, IReadStream& input) override;
    // The input must be a single block.
    void Decode(IWriteStream& output, IReadStream& input) override;

private:
    static constexpr int ringSize = 4096;
    static constexpr int longestMatch = 18;
    static constexpr int threshold = 2;
    static constexpr int ringStart = ringSize - longestMatch;
    static constexpr int none = ringSize;

    // The encoder's search trees: one binary tree of ring positions per first byte.
    void InsertNode(int position);
    void DeleteNode(int position);

    // The first longestMatch - 1 bytes repeat after the end, so that a string can be compared
    // past the wrap.
    unsigned char m_ring[ringSize + longestMatch - 1];
    int m_left[ringSize + 1];
    // The 256 tree roots follow the ring positions.
    int m_right[ringSize + 257];
    int m_parent[ringSize + 1];
    int m_matchPosition = 0;
    int m_matchLength = 0;
};

} // namespace Brivox
