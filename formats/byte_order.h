#pragma once
// Little-endian fields of file formats read from bytes, whatever the machine's own order.

#include <cstdint>

namespace Brivox::Detail {

inline std::uint16_t ReadLittle16(const unsigned char* p)
{
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

inline std::uint32_t ReadLittle32(const unsigned char* p)
{
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

inline std::uint64_t ReadLittle64(const unsigned char* p)
{
    return static_cast<std::uint64_t>(ReadLittle32(p)) | static_cast<std::uint64_t>(ReadLittle32(p + 4))
                                                             << 32;
}

} // namespace Brivox::Detail
