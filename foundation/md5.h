#pragma once
// The MD5 message digest of RFC 1321: the updater checks downloads with it and the image
// information shows it for the current file.

#include "foundation/string.h"

#include <cstdint>
#include <vector>

namespace Brivox {

// Bytes fed in pieces, then finished once; updating after Final is not supported.
class Md5
{
public:
    Md5();

    void Update(const unsigned char* bytes, unsigned count);
    void Final();
    // The RFC 1321 compression of one 64-byte block into the chaining words.
    void Transform(const unsigned char* block);
    // The digest as 32 lower-case hexadecimal characters.
    String ToHexString() const;

private:
    std::uint32_t m_state[4];
    std::uint32_t m_bitCount[2]; // low, high
    unsigned char m_buffer[64];
    unsigned char m_digest[16];
};

// The digest of all the bytes as 32 lower-case hexadecimal characters.
String Md5HexOfBytes(const std::vector<unsigned char>& bytes);

} // namespace Brivox
