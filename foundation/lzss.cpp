#include "foundation/lzss.h"

#include "foundation/exception.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace Brivox {

namespace {

// Takes bytes from the input block by block.
class BlockReader
{
public:
    explicit BlockReader(IReadStream& input) : m_input(input) {}

    bool Next(unsigned char& byte)
    {
        while (m_position >= m_input.BlockSize()) {
            if (m_ended || !m_input.NextBlock()) {
                m_ended = true;
                return false;
            }
            m_position = 0;
        }
        byte = m_input.Data()[m_position++];
        return true;
    }

private:
    IReadStream& m_input;
    int m_position = 0;
    bool m_ended = false;
};

[[noreturn]] void ThrowTooSmall()
{
    throw RuntimeException(L"解凍するデータが小さすぎます");
}

} // namespace

void LzssOutputBuffer::Put(const unsigned char* bytes, int count)
{
    if (m_count + count > capacity)
        Flush();
    std::memcpy(m_bytes + m_count, bytes, count);
    m_count += count;
}

void LzssOutputBuffer::Flush()
{
    if (m_count > 0)
        m_output.Write(m_bytes, m_count);
    m_count = 0;
}

void CLZSSCompress::InsertNode(int r)
{
    const unsigned char* key = &m_ring[r];
    int cmp = 1;
    int p = ringSize + 1 + key[0];
    m_right[r] = m_left[r] = none;
    m_matchLength = 0;
    for (;;) {
        int& link = cmp >= 0 ? m_right[p] : m_left[p];
        if (link == none) {
            link = r;
            m_parent[r] = p;
            return;
        }
        p = link;
        int i = 1;
        for (; i < longestMatch; ++i) {
            cmp = key[i] - m_ring[p + i];
            if (cmp != 0)
                break;
        }
        if (i > m_matchLength) {
            m_matchPosition = p;
            m_matchLength = i;
            if (i >= longestMatch)
                break;
        }
    }
    // A full-length match: the newer position takes the older one's place.
    m_parent[r] = m_parent[p];
    m_left[r] = m_left[p];
    m_right[r] = m_right[p];
    m_parent[m_left[p]] = r;
    m_parent[m_right[p]] = r;
    if (m_right[m_parent[p]] == p)
        m_right[m_parent[p]] = r;
    else
        m_left[m_parent[p]] = r;
    m_parent[p] = none;
}

void CLZSSCompress::DeleteNode(int p)
{
    if (m_parent[p] == none)
        return;
    int q;
    if (m_right[p] == none) {
        q = m_left[p];
    } else if (m_left[p] == none) {
        q = m_right[p];
    } else {
        q = m_left[p];
        if (m_right[q] != none) {
            do {
                q = m_right[q];
            } while (m_right[q] != none);
            m_right[m_parent[q]] = m_left[q];
            m_parent[m_left[q]] = m_parent[q];
            m_left[q] = m_left[p];
            m_parent[m_left[p]] = q;
        }
        m_right[q] = m_right[p];
        m_parent[m_right[p]] = q;
    }
    m_parent[q] = m_parent[p];
    if (m_right[m_parent[p]] == p)
        m_right[m_parent[p]] = q;
    else
        m_left[m_parent[p]] = q;
    m_parent[p] = none;
}

void CLZSSCompress::Encode(IWriteStream& output, IReadStream& input)
{
    const int total = input.TotalSize();
    if (total <= 16)
        throw RuntimeException(L"圧縮するデータが小さすぎます");
    const std::uint32_t size = static_cast<std::uint32_t>(total);
    const unsigned char header[4] = {static_cast<unsigned char>(size), static_cast<unsigned char>(size >> 8),
                                     static_cast<unsigned char>(size >> 16),
                                     static_cast<unsigned char>(size >> 24)};
    output.Write(header, 4);

    std::fill(std::begin(m_right) + ringSize + 1, std::end(m_right), none);
    std::fill(std::begin(m_parent), std::end(m_parent), none);
    std::fill(m_ring, m_ring + ringStart, 0);

    BlockReader reader(input);
    int len = 0;
    for (unsigned char c; len < longestMatch && reader.Next(c); ++len)
        m_ring[ringStart + len] = c;
    if (len == 0)
        throw RuntimeException(L"よく分からないけど圧縮のエラーっぽいです");

    int s = 0;
    int r = ringStart;
    for (int i = 1; i <= longestMatch; ++i)
        InsertNode(r - i);
    InsertNode(r);

    LzssOutputBuffer out(output);
    // The flag byte and up to 8 items of 1 or 2 bytes.
    unsigned char group[17] = {};
    int groupSize = 1;
    unsigned char mask = 1;
    do {
        if (m_matchLength > len)
            m_matchLength = len;
        if (m_matchLength <= threshold) {
            m_matchLength = 1;
            group[0] |= mask;
            group[groupSize++] = m_ring[r];
        } else {
            group[groupSize++] = static_cast<unsigned char>(m_matchPosition);
            group[groupSize++] = static_cast<unsigned char>(((m_matchPosition >> 4) & 0xF0) |
                                                            (m_matchLength - (threshold + 1)));
        }
        mask = static_cast<unsigned char>(mask << 1);
        if (mask == 0) {
            out.Put(group, groupSize);
            group[0] = 0;
            groupSize = 1;
            mask = 1;
        }
        const int coded = m_matchLength;
        int i = 0;
        for (unsigned char c; i < coded && reader.Next(c); ++i) {
            DeleteNode(s);
            m_ring[s] = c;
            if (s < longestMatch - 1)
                m_ring[s + ringSize] = c;
            s = (s + 1) & (ringSize - 1);
            r = (r + 1) & (ringSize - 1);
            InsertNode(r);
        }
        for (; i < coded; ++i) {
            DeleteNode(s);
            s = (s + 1) & (ringSize - 1);
            r = (r + 1) & (ringSize - 1);
            if (--len != 0)
                InsertNode(r);
        }
    } while (len > 0);
    if (groupSize > 1)
        out.Put(group, groupSize);
    out.Flush();
}

void CLZSSCompress::Decode(IWriteStream& output, IReadStream& input)
{
    const int total = input.TotalSize();
    if (total <= 16)
        ThrowTooSmall();
    if (input.BlockSize() != total)
        throw RuntimeException(L"入力ストリーム形式に未対応です。");

    const unsigned char* in = input.Data();
    const unsigned char* const end = in + total;
    const std::uint32_t size = in[0] | in[1] << 8 | in[2] << 16 | static_cast<std::uint32_t>(in[3]) << 24;
    in += 4;
    // The stored size is the only stop; input that runs out before it is damaged.
    const auto next = [&]() -> unsigned {
        if (in == end)
            ThrowTooSmall();
        return *in++;
    };

    std::fill(std::begin(m_ring), std::end(m_ring), 0);
    int r = ringStart;
    std::uint32_t produced = 0;
    LzssOutputBuffer out(output);
    const auto emit = [&](unsigned char c) {
        out.Put(&c, 1);
        m_ring[r] = c;
        r = (r + 1) & (ringSize - 1);
        ++produced;
    };
    // The flags sit below a marker in the high byte that says how many are left.
    unsigned flags = 0;
    while (produced < size) {
        flags >>= 1;
        if ((flags & 0x100) == 0)
            flags = next() | 0xFF00;
        if (flags & 1) {
            emit(static_cast<unsigned char>(next()));
            continue;
        }
        const unsigned low = next();
        const unsigned high = next();
        const unsigned position = low | (high & 0xF0) << 4;
        const unsigned length = (high & 0x0F) + threshold + 1;
        for (unsigned k = 0; k < length && produced < size; ++k)
            emit(m_ring[(position + k) & (ringSize - 1)]);
    }
    out.Flush();
}

} // namespace Brivox
