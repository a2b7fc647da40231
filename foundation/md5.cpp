#include "foundation/md5.h"

#include <cstring>

namespace Brivox {

namespace {

std::uint32_t RotateLeft(std::uint32_t x, int n)
{
    return (x << n) | (x >> (32 - n));
}

std::uint32_t ReadLittleEndian(const unsigned char* p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

void WriteLittleEndian(std::uint32_t value, unsigned char* p)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<unsigned char>(value >> (8 * i));
}

// T[i] = floor(2^32 * |sin(i + 1)|).
constexpr std::uint32_t sineTable[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391,
};

// The rotation of each step, four per round.
constexpr int shifts[4][4] = {{7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};

} // namespace

Md5::Md5() : m_state{0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476}, m_bitCount{0, 0}, m_buffer{}, m_digest{}
{
}

void Md5::Update(const unsigned char* bytes, unsigned count)
{
    unsigned used = (m_bitCount[0] >> 3) & 63;
    const std::uint32_t bits = count << 3;
    m_bitCount[0] += bits;
    if (m_bitCount[0] < bits)
        ++m_bitCount[1];
    m_bitCount[1] += count >> 29;

    unsigned done = 0;
    if (used + count >= 64) {
        done = 64 - used;
        std::memcpy(m_buffer + used, bytes, done);
        Transform(m_buffer);
        for (; done + 64 <= count; done += 64)
            Transform(bytes + done);
        used = 0;
    }
    if (done < count)
        std::memcpy(m_buffer + used, bytes + done, count - done);
}

void Md5::Final()
{
    unsigned char length[8];
    WriteLittleEndian(m_bitCount[0], length);
    WriteLittleEndian(m_bitCount[1], length + 4);
    // 0x80, then zeros up to 56 bytes modulo 64, then the length before padding.
    static const unsigned char padding[64] = {0x80};
    const unsigned used = (m_bitCount[0] >> 3) & 63;
    Update(padding, used < 56 ? 56 - used : 120 - used);
    Update(length, 8);
    for (int i = 0; i < 4; ++i)
        WriteLittleEndian(m_state[i], m_digest + 4 * i);
}

void Md5::Transform(const unsigned char* block)
{
    std::uint32_t x[16];
    for (int i = 0; i < 16; ++i)
        x[i] = ReadLittleEndian(block + 4 * i);

    std::uint32_t a = m_state[0], b = m_state[1], c = m_state[2], d = m_state[3];
    for (int step = 0; step < 64; ++step) {
        const int round = step / 16;
        std::uint32_t f;
        int word;
        switch (round) {
        case 0:
            f = (b & c) | (~b & d);
            word = step;
            break;
        case 1:
            f = (b & d) | (c & ~d);
            word = (5 * step + 1) % 16;
            break;
        case 2:
            f = b ^ c ^ d;
            word = (3 * step + 5) % 16;
            break;
        default:
            f = c ^ (b | ~d);
            word = (7 * step) % 16;
            break;
        }
        const std::uint32_t next = b + RotateLeft(a + f + sineTable[step] + x[word], shifts[round][step % 4]);
        a = d;
        d = c;
        c = b;
        b = next;
    }
    m_state[0] += a;
    m_state[1] += b;
    m_state[2] += c;
    m_state[3] += d;
}

String Md5::ToHexString() const
{
    static const wchar_t digits[] = L"0123456789abcdef";
    wchar_t text[33];
    for (int i = 0; i < 16; ++i) {
        text[2 * i] = digits[m_digest[i] >> 4];
        text[2 * i + 1] = digits[m_digest[i] & 15];
    }
    text[32] = L'\0';
    return String(text);
}

String Md5HexOfBytes(const std::vector<unsigned char>& bytes)
{
    Md5 md5;
    if (!bytes.empty())
        md5.Update(bytes.data(), static_cast<unsigned>(bytes.size()));
    md5.Final();
    return md5.ToHexString();
}

} // namespace Brivox
