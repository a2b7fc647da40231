#include "foundation/lzss.h"

#include "file_test_support.h"
#include "foundation/exception.h"
#include "foundation/memory_stream.h"
#include "foundation/win32.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

using Brivox::CLZSSCompress;
using Brivox::CReadStream;
using Brivox::CWriteStream;
using FileTestSupport::Ansi;
using FileTestSupport::Bytes;
using FileTestSupport::ThrownText;

namespace {

// Input placed right before a page that may not be read, so that a read past its end faults.
class GuardedInput
{
public:
    explicit GuardedInput(const Bytes& bytes)
    {
        const std::size_t page = 4096;
        m_dataPages = (bytes.size() + page - 1) / page + 1;
        m_base = static_cast<unsigned char*>(
            ::VirtualAlloc(nullptr, (m_dataPages + 1) * page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        DWORD old = 0;
        ::VirtualProtect(m_base + m_dataPages * page, page, PAGE_NOACCESS, &old);
        m_data = m_base + m_dataPages * page - bytes.size();
        if (!bytes.empty())
            std::memcpy(m_data, bytes.data(), bytes.size());
        m_size = static_cast<int>(bytes.size());
    }
    GuardedInput(const GuardedInput&) = delete;
    GuardedInput& operator=(const GuardedInput&) = delete;
    ~GuardedInput() { ::VirtualFree(m_base, 0, MEM_RELEASE); }

    CReadStream Stream() const { return CReadStream(m_data, m_size); }

private:
    unsigned char* m_base = nullptr;
    unsigned char* m_data = nullptr;
    std::size_t m_dataPages = 0;
    int m_size = 0;
};

// Remembers the largest chunk the coder handed over.
class RecordingStream : public CWriteStream
{
public:
    void Write(const void* data, int count) override
    {
        largest = std::max(largest, count);
        CWriteStream::Write(data, count);
    }
    int largest = 0;
};

// Input delivered in the given pieces.
class PiecesStream : public Brivox::IReadStream
{
public:
    explicit PiecesStream(std::vector<Bytes> pieces, int claimedTotal = -1) : m_pieces(std::move(pieces))
    {
        m_total = 0;
        for (const Bytes& piece : m_pieces)
            m_total += static_cast<int>(piece.size());
        if (claimedTotal >= 0)
            m_total = claimedTotal;
    }
    const unsigned char* Data() override { return m_pieces[m_index].data(); }
    int BlockSize() override { return static_cast<int>(m_pieces[m_index].size()); }
    bool NextBlock() override
    {
        if (m_index + 1 >= m_pieces.size())
            return false;
        ++m_index;
        return true;
    }
    int TotalSize() override { return m_total; }

private:
    std::vector<Bytes> m_pieces;
    std::size_t m_index = 0;
    int m_total;
};

Bytes Encode(const Bytes& input, int* largestChunk = nullptr)
{
    CReadStream stream(input.data(), static_cast<int>(input.size()));
    RecordingStream output;
    CLZSSCompress().Encode(output, stream);
    if (largestChunk)
        *largestChunk = output.largest;
    return output.GetBuffer();
}

Bytes Decode(const Bytes& container, int* largestChunk = nullptr)
{
    GuardedInput input(container);
    CReadStream stream = input.Stream();
    RecordingStream output;
    CLZSSCompress().Decode(output, stream);
    if (largestChunk)
        *largestChunk = output.largest;
    return output.GetBuffer();
}

Bytes Padded(Bytes bytes, std::size_t size)
{
    bytes.resize(size, 0xCC);
    return bytes;
}

Bytes Repeat(const std::string& pattern, std::size_t size)
{
    Bytes bytes(size);
    for (std::size_t k = 0; k < size; ++k)
        bytes[k] = static_cast<unsigned char>(pattern[k % pattern.size()]);
    return bytes;
}

Bytes Random(std::size_t size, unsigned seed)
{
    std::mt19937 random(seed);
    Bytes bytes(size);
    for (unsigned char& byte : bytes)
        byte = static_cast<unsigned char>(random());
    return bytes;
}

// Runs of repeated text, random stretches and zeros in turns: matches of every length, at
// every distance, and the ring wrapping many times.
Bytes Mixed(std::size_t size, unsigned seed)
{
    std::mt19937 random(seed);
    Bytes bytes;
    bytes.reserve(size);
    while (bytes.size() < size) {
        const std::size_t run = 1 + random() % 700;
        switch (random() % 4) {
        case 0:
            for (std::size_t k = 0; k < run; ++k)
                bytes.push_back(static_cast<unsigned char>(random()));
            break;
        case 1:
            bytes.insert(bytes.end(), run, 0);
            break;
        case 2:
            for (std::size_t k = 0; k < run; ++k)
                bytes.push_back(static_cast<unsigned char>("kanoru2 page "[k % 13]));
            break;
        default:
            if (bytes.size() > 20) {
                // A copy of something seen before, near or far.
                const std::size_t from = random() % (bytes.size() - 10);
                for (std::size_t k = 0; k < run; ++k)
                    bytes.push_back(bytes[from + k % (bytes.size() - from)]);
            }
        }
    }
    bytes.resize(size);
    return bytes;
}

} // namespace

TEST(Lzss, HandMadeVectorsDecodeExactly)
{
    struct Case
    {
        const char* what;
        Bytes container;
        Bytes expected;
    };
    const Case cases[] = {
        // A literal 'A' at ring position 4078, then position 4078 for 16 bytes, copying itself.
        {"seventeen A", Padded({0x11, 0, 0, 0, 0x01, 'A', 0xEE, 0xFD}, 17), Bytes(17, 'A')},
        // Position 0 for 18 bytes reads the zeroed ring; the second reference stops after 2.
        {"twenty zeros", Padded({0x14, 0, 0, 0, 0x00, 0x00, 0x0F, 0x00, 0x00}, 17), Bytes(20, 0)},
        // Two literals, then a reference starting at the first of them that overlaps the
        // position being written: the pair repeats.
        {"overlapping pair", Padded({0x14, 0, 0, 0, 0x03, 'A', 'B', 0xEE, 0xFF}, 17), Repeat("AB", 20)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Decode(c.container), c.expected);
    }
}

TEST(Lzss, SixteenBytesAreRefusedBothWaysSeventeenAccepted)
{
    const std::string tooSmallToEncode = Ansi(L"圧縮するデータが小さすぎます");
    const std::string tooSmallToDecode = Ansi(L"解凍するデータが小さすぎます");
    EXPECT_EQ(ThrownText([] { Encode(Bytes(16, 'x')); }), tooSmallToEncode);
    EXPECT_EQ(ThrownText([] { Encode(Bytes()); }), tooSmallToEncode);
    EXPECT_EQ(ThrownText([] { Decode(Padded({0x01, 0, 0, 0, 0x01, 'A'}, 16)); }), tooSmallToDecode);
    EXPECT_EQ(ThrownText([] { Decode(Bytes()); }), tooSmallToDecode);

    const Bytes seventeen = Random(17, 1);
    EXPECT_EQ(Decode(Encode(seventeen)), seventeen);
}

TEST(Lzss, EncodedDataDecodesBackWheneverTheContainerIsLongerThanSixteenBytes)
{
    struct Case
    {
        const char* what;
        Bytes input;
    };
    const Case cases[] = {
        {"17 random", Random(17, 2)},        {"18 random", Random(18, 3)},
        {"17 zeros", Bytes(17, 0)},          {"19 spaces", Bytes(19, ' ')},
        {"40 zeros", Bytes(40, 0)},          {"short pattern", Repeat("abcabd", 100)},
        {"ring size", Random(4096, 4)},      {"just past the ring", Mixed(4097 + 18, 5)},
        {"64 KiB random", Random(65536, 6)}, {"300 KiB mixed", Mixed(300000, 7)},
        {"1 MiB mixed", Mixed(1 << 20, 8)},  {"1 MiB zeros", Bytes(1 << 20, 0)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        int largest = 0;
        const Bytes container = Encode(c.input, &largest);
        EXPECT_LE(largest, 512);
        if (container.size() <= 16) {
            // Highly repetitive input can code into fewer bytes than the decoder accepts.
            EXPECT_EQ(ThrownText([&] { Decode(container); }), Ansi(L"解凍するデータが小さすぎます"));
            continue;
        }
        const Bytes decoded = Decode(container, &largest);
        EXPECT_LE(largest, 512);
        EXPECT_TRUE(decoded == c.input) << decoded.size() << " bytes decoded of " << c.input.size();
    }
}

TEST(Lzss, InputInBlocksEncodesAsOneBlock)
{
    const Bytes input = Mixed(10000, 9);
    std::vector<Bytes> pieces = {Bytes(input.begin(), input.begin() + 5), Bytes(),
                                 Bytes(input.begin() + 5, input.begin() + 4000),
                                 Bytes(input.begin() + 4000, input.end())};
    PiecesStream stream(pieces);
    CWriteStream output;
    CLZSSCompress().Encode(output, stream);
    EXPECT_EQ(output.GetBuffer(), Encode(input));
}

TEST(Lzss, UnusualStreamsAreRefused)
{
    const Bytes container = Encode(Mixed(5000, 10));
    const std::size_t half = container.size() / 2;
    PiecesStream twoBlocks({Bytes(container.begin(), container.begin() + half),
                            Bytes(container.begin() + half, container.end())});
    EXPECT_EQ(ThrownText([&] {
                  CWriteStream output;
                  CLZSSCompress().Decode(output, twoBlocks);
              }),
              Ansi(L"入力ストリーム形式に未対応です。"));

    // A stream that announces bytes and has none.
    PiecesStream empty({Bytes()}, 40);
    EXPECT_EQ(ThrownText([&] {
                  CWriteStream output;
                  CLZSSCompress().Encode(output, empty);
              }),
              Ansi(L"よく分からないけど圧縮のエラーっぽいです"));
}

// Damaged input ends in the decoder's RuntimeException or in exactly the size it states, and
// never in a read past its end (the guard page) or a crash.
TEST(Lzss, DamagedInputThrowsAndStaysInBounds)
{
    std::mt19937 random(20260410);
    const Bytes source = Mixed(3000, 11);
    const Bytes container = Encode(source);
    ASSERT_GT(container.size(), 200u);

    const std::string tooSmall = Ansi(L"解凍するデータが小さすぎます");
    int cases = 0;
    int thrown = 0;
    const auto check = [&](const Bytes& input, bool mustThrow) {
        ++cases;
        const std::uint32_t stated = input.size() >= 4 ? input[0] | input[1] << 8 | input[2] << 16 |
                                                             static_cast<std::uint32_t>(input[3]) << 24
                                                       : 0;
        try {
            const Bytes decoded = Decode(input);
            EXPECT_FALSE(mustThrow) << input.size();
            EXPECT_EQ(decoded.size(), stated);
        } catch (const Brivox::AccessViolationException&) {
            // The program's fault translator turns a read past the end into this.
            ADD_FAILURE() << "access violation, " << input.size() << " bytes";
        } catch (const Brivox::RuntimeException& e) {
            EXPECT_EQ(std::string(e.what()), tooSmall);
            ++thrown;
        }
    };

    // Every cut of a good container misses bytes that its stated size needs.
    for (std::size_t cut = 0; cut < container.size(); ++cut)
        check(Bytes(container.begin(), container.begin() + cut), true);
    // Changed bytes, sometimes in the stated size.
    while (cases < 6000) {
        Bytes damaged = container;
        const int changes = 1 + random() % 8;
        for (int k = 0; k < changes; ++k)
            damaged[random() % damaged.size()] = static_cast<unsigned char>(random());
        check(damaged, false);
    }
    // Random bytes with small and huge stated sizes.
    while (cases < 10000) {
        Bytes noise = Random(random() % 400, random());
        if (noise.size() >= 4 && random() % 2)
            noise[2] = noise[3] = 0;
        check(noise, false);
    }
    EXPECT_GT(thrown, 0);
}
