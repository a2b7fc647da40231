#pragma once
// Writes small ZIP archives for the reader's tests: stored, deflated (zlib), traditionally
// encrypted with one or two check bytes, with data descriptors, comments and any name bytes.
// Written from the format's description, independently of the reader.

#include <zlib.h>

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace ZipFixture {

struct Entry
{
    std::string name; // the bytes stored as the name (ANSI code page)
    std::string data;
    bool deflate = false;
    std::optional<std::string> password;       // password bytes; none: not encrypted
    int checkBytes = 2;                        // 1: only the last header byte is the check byte
    bool dataDescriptor = false;               // flag bit 3: sizes and CRC after the data
    std::uint16_t method = 0;                  // 0: stored or deflated as asked; else written as is
    std::uint16_t time = 0x6C21;               // 13:33:02
    std::uint16_t date = 0x5A8A;               // 2025-04-10
    std::optional<std::uint32_t> declaredSize; // a size to claim instead of the real one
    std::size_t payloadCut = 0;                // bytes dropped from the end of the stored payload
};

inline std::string Deflate(const std::string& data)
{
    z_stream stream{};
    deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&stream, static_cast<uLong>(data.size())), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

inline std::uint32_t Crc(const std::string& data)
{
    return static_cast<std::uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

// The encrypting side of the traditional PKWARE cipher.
class Encryptor
{
public:
    explicit Encryptor(const std::string& password)
    {
        for (char c : password)
            Update(static_cast<unsigned char>(c));
    }

    std::string Encrypt(const std::string& plain) { return Apply(plain, true); }
    std::string Decrypt(const std::string& cipher) { return Apply(cipher, false); }

private:
    unsigned char StreamByte() const
    {
        const unsigned temp = (m_keys[2] | 2) & 0xFFFF;
        return static_cast<unsigned char>((temp * (temp ^ 1)) >> 8);
    }

    // The keys advance with the plain bytes in both directions.
    std::string Apply(const std::string& in, bool encrypting)
    {
        std::string out(in.size(), '\0');
        for (std::size_t k = 0; k < in.size(); ++k) {
            out[k] = static_cast<char>(static_cast<unsigned char>(in[k]) ^ StreamByte());
            Update(static_cast<unsigned char>(encrypting ? in[k] : out[k]));
        }
        return out;
    }

    // One CRC-32 step without zlib's pre- and post-inversion.
    static std::uint32_t Step(std::uint32_t crc, unsigned char byte)
    {
        return ~static_cast<std::uint32_t>(crc32(~crc & 0xFFFFFFFFu, &byte, 1));
    }

    void Update(unsigned char c)
    {
        m_keys[0] = Step(m_keys[0], c);
        m_keys[1] = (m_keys[1] + (m_keys[0] & 0xFF)) * 134775813 + 1;
        m_keys[2] = Step(m_keys[2], static_cast<unsigned char>(m_keys[1] >> 24));
    }

    std::uint32_t m_keys[3] = {0x12345678, 0x23456789, 0x34567890};
};

inline void Put16(std::string& out, unsigned value)
{
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>((value >> 8) & 0xFF);
}

inline void Put32(std::string& out, std::uint32_t value)
{
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

// The 12-byte encryption header: ten filler bytes, then the check bytes (the last always).
inline std::string EncryptionHeader(const Entry& entry, std::uint32_t crc)
{
    const unsigned check = entry.dataDescriptor ? entry.time : crc >> 16;
    std::string header;
    for (int k = 0; k < 12; ++k)
        header += static_cast<char>(0x35 + 17 * k);
    if (entry.checkBytes == 2)
        header[10] = static_cast<char>(check & 0xFF);
    header[11] = static_cast<char>(check >> 8);
    return header;
}

// Writes an archive entry by entry. What Take hands out has been written: a large archive can
// go to disk piece by piece.
class Writer
{
public:
    void Add(const Entry& entry)
    {
        const std::uint32_t crc = Crc(entry.data);
        std::string payload = entry.deflate ? Deflate(entry.data) : entry.data;
        unsigned flags = 0;
        if (entry.password) {
            flags |= 1;
            Encryptor encryptor(*entry.password);
            payload = encryptor.Encrypt(EncryptionHeader(entry, crc) + payload);
        }
        payload.resize(payload.size() - entry.payloadCut);
        if (entry.dataDescriptor)
            flags |= 8;
        const unsigned method = entry.method ? entry.method : entry.deflate ? 8 : 0;
        const std::uint32_t size = entry.declaredSize.value_or(static_cast<std::uint32_t>(entry.data.size()));
        const auto compressed = static_cast<std::uint32_t>(payload.size());
        const auto offset = static_cast<std::uint32_t>(m_taken + m_out.size());

        // Flags, method, time, date, CRC, sizes: the same order in both headers.
        const auto fields = [&](std::string& header, bool local) {
            Put16(header, flags);
            Put16(header, method);
            Put16(header, entry.time);
            Put16(header, entry.date);
            const bool hidden = local && entry.dataDescriptor;
            Put32(header, hidden ? 0 : crc);
            Put32(header, hidden ? 0 : compressed);
            Put32(header, hidden ? 0 : size);
            Put16(header, static_cast<unsigned>(entry.name.size()));
            Put16(header, 0); // extra field
        };
        Put32(m_out, 0x04034b50);
        Put16(m_out, 20);
        fields(m_out, true);
        m_out += entry.name;
        m_out += payload;
        if (entry.dataDescriptor) {
            Put32(m_out, 0x08074b50);
            Put32(m_out, crc);
            Put32(m_out, compressed);
            Put32(m_out, size);
        }

        Put32(m_directory, 0x02014b50);
        Put16(m_directory, 20);
        Put16(m_directory, 20);
        fields(m_directory, false);
        Put16(m_directory, 0); // comment
        Put16(m_directory, 0); // disk
        Put16(m_directory, 0); // internal attributes
        Put32(m_directory, 0); // external attributes
        Put32(m_directory, offset);
        m_directory += entry.name;
        ++m_count;
    }

    // The directory and its end record.
    void Finish(const std::string& comment = {})
    {
        const auto directoryOffset = static_cast<std::uint32_t>(m_taken + m_out.size());
        m_out += m_directory;
        Put32(m_out, 0x06054b50);
        Put16(m_out, 0);
        Put16(m_out, 0);
        Put16(m_out, m_count);
        Put16(m_out, m_count);
        Put32(m_out, static_cast<std::uint32_t>(m_directory.size()));
        Put32(m_out, directoryOffset);
        Put16(m_out, static_cast<unsigned>(comment.size()));
        m_out += comment;
    }

    // The bytes written since the last call.
    std::string Take()
    {
        m_taken += m_out.size();
        return std::exchange(m_out, std::string());
    }

private:
    std::string m_out;
    std::string m_directory;
    std::uint64_t m_taken = 0;
    unsigned m_count = 0;
};

inline std::string Build(const std::vector<Entry>& entries, const std::string& comment = {})
{
    Writer writer;
    for (const Entry& entry : entries)
        writer.Add(entry);
    writer.Finish(comment);
    return writer.Take();
}

// Only the local headers, as an archive cut before its directory.
inline std::string BuildWithoutDirectory(const std::vector<Entry>& entries)
{
    Writer writer;
    for (const Entry& entry : entries)
        writer.Add(entry);
    return writer.Take();
}

// Bytes that deflate poorly and well in turns, so that streams span several input chunks.
inline std::string SampleData(std::size_t size, unsigned seed)
{
    std::string data(size, '\0');
    std::uint32_t state = seed * 2654435761u + 1;
    for (std::size_t k = 0; k < size; ++k) {
        state = state * 1664525u + 1013904223u;
        data[k] = (k / 4096) % 2 ? static_cast<char>(state >> 24) : static_cast<char>('a' + k % 7);
    }
    return data;
}

} // namespace ZipFixture
