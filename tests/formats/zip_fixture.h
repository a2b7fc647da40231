#pragma once
// Writes ZIP archives for the reader's tests: stored, deflated (zlib), traditionally encrypted
// with one or two check bytes, with data descriptors, ZIP64 fields and end records, comments and
// any name bytes.
// Written from the format's description, independently of the reader.

#include <zlib.h>

#include <algorithm>
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
    int deflateLevel = Z_BEST_COMPRESSION;     // 0: the deflate stream holds stored blocks
    // ZIP64 sizes and offset: 0xFFFFFFFF in the headers' fields, the values in the ZIP64 extra
    // field (the local one holds zeros with a data descriptor, whose sizes are then 64-bit).
    bool zip64 = false;
    std::optional<std::uint64_t> zip64Size;   // claimed in the directory's ZIP64 field
    std::optional<std::uint64_t> zip64Offset; // claimed in the directory's ZIP64 field
    bool zip64FieldMissing = false;           // the directory record has the escapes but no field
};

// How the archive's end is written.
struct End
{
    std::string comment;
    // The ZIP64 end records are written when the counts do not fit 16 bits, or always, or never
    // (the count then wraps, as some writers do).
    enum class Zip64
    {
        AsNeeded,
        Always,
        Never
    } zip64 = Zip64::AsNeeded;
    std::optional<std::uint64_t> announcedCount; // a record count to claim instead of the real one
};

inline std::string Deflate(const std::string& data, int level = Z_BEST_COMPRESSION)
{
    z_stream stream{};
    deflateInit2(&stream, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
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

inline void Put64(std::string& out, std::uint64_t value)
{
    Put32(out, static_cast<std::uint32_t>(value));
    Put32(out, static_cast<std::uint32_t>(value >> 32));
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
        std::string payload = entry.deflate ? Deflate(entry.data, entry.deflateLevel) : entry.data;
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
        const std::uint64_t offset = m_taken + m_out.size();
        const bool escaped = entry.zip64 || entry.zip64FieldMissing;

        // Flags, method, time, date, CRC, sizes: the same order in both headers.
        const auto fields = [&](std::string& header, bool local, const std::string& extra) {
            Put16(header, flags);
            Put16(header, method);
            Put16(header, entry.time);
            Put16(header, entry.date);
            const bool hidden = local && entry.dataDescriptor;
            Put32(header, hidden ? 0 : crc);
            Put32(header, escaped ? 0xFFFFFFFF : hidden ? 0 : compressed);
            Put32(header, escaped ? 0xFFFFFFFF : hidden ? 0 : size);
            Put16(header, static_cast<unsigned>(entry.name.size()));
            Put16(header, static_cast<unsigned>(extra.size()));
        };
        std::string localExtra;
        if (entry.zip64) {
            Put16(localExtra, 1);
            Put16(localExtra, 16);
            Put64(localExtra, entry.dataDescriptor ? 0 : size);
            Put64(localExtra, entry.dataDescriptor ? 0 : compressed);
        }
        Put32(m_out, 0x04034b50);
        Put16(m_out, entry.zip64 ? 45 : 20);
        fields(m_out, true, localExtra);
        m_out += entry.name;
        m_out += localExtra;
        m_out += payload;
        if (entry.dataDescriptor) {
            Put32(m_out, 0x08074b50);
            Put32(m_out, crc);
            if (entry.zip64) {
                Put64(m_out, compressed);
                Put64(m_out, size);
            } else {
                Put32(m_out, compressed);
                Put32(m_out, size);
            }
        }

        std::string centralExtra;
        if (entry.zip64) {
            Put16(centralExtra, 1);
            Put16(centralExtra, 24);
            Put64(centralExtra, entry.zip64Size.value_or(size));
            Put64(centralExtra, compressed);
            Put64(centralExtra, entry.zip64Offset.value_or(offset));
        }
        Put32(m_directory, 0x02014b50);
        Put16(m_directory, 45);
        Put16(m_directory, entry.zip64 ? 45 : 20);
        fields(m_directory, false, centralExtra);
        Put16(m_directory, 0); // comment
        Put16(m_directory, 0); // disk
        Put16(m_directory, 0); // internal attributes
        Put32(m_directory, 0); // external attributes
        Put32(m_directory, escaped ? 0xFFFFFFFF : static_cast<std::uint32_t>(offset));
        m_directory += entry.name;
        m_directory += centralExtra;
        ++m_count;
    }

    // The directory and its end records.
    void Finish(const End& end = {})
    {
        const std::uint64_t directoryOffset = m_taken + m_out.size();
        m_out += m_directory;
        const std::uint64_t count = end.announcedCount.value_or(m_count);
        const bool zip64 = end.zip64 == End::Zip64::Always ||
                           (end.zip64 == End::Zip64::AsNeeded && (count >= 0xFFFF || m_count >= 0xFFFF));
        if (zip64) {
            const std::uint64_t recordOffset = m_taken + m_out.size();
            Put32(m_out, 0x06064b50);
            Put64(m_out, 44); // the size of the rest of the record
            Put16(m_out, 45);
            Put16(m_out, 45);
            Put32(m_out, 0);
            Put32(m_out, 0);
            Put64(m_out, count);
            Put64(m_out, count);
            Put64(m_out, m_directory.size());
            Put64(m_out, directoryOffset);
            Put32(m_out, 0x07064b50);
            Put32(m_out, 0);
            Put64(m_out, recordOffset);
            Put32(m_out, 1);
        }
        const unsigned shortCount = zip64 ? static_cast<unsigned>(std::min<std::uint64_t>(count, 0xFFFF))
                                          : static_cast<unsigned>(count & 0xFFFF);
        Put32(m_out, 0x06054b50);
        Put16(m_out, 0);
        Put16(m_out, 0);
        Put16(m_out, shortCount);
        Put16(m_out, shortCount);
        Put32(m_out, static_cast<std::uint32_t>(m_directory.size()));
        Put32(m_out, static_cast<std::uint32_t>(directoryOffset));
        Put16(m_out, static_cast<unsigned>(end.comment.size()));
        m_out += end.comment;
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
    std::uint64_t m_count = 0;
};

inline std::string Build(const std::vector<Entry>& entries, const End& end = {})
{
    Writer writer;
    for (const Entry& entry : entries)
        writer.Add(entry);
    writer.Finish(end);
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
