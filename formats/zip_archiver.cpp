#include "formats/zip_archiver.h"

#include "formats/byte_order.h"
#include "foundation/encoding.h"
#include "foundation/exception.h"
#include "foundation/file.h"

#include <zlib.h>

#include <algorithm>
#include <optional>
#include <string>

namespace Brivox {

using Detail::ReadLittle16;
using Detail::ReadLittle32;

namespace {

constexpr std::uint32_t endSignature = 0x06054b50;
constexpr std::uint32_t centralSignature = 0x02014b50;
constexpr std::uint32_t localSignature = 0x04034b50;
constexpr int endRecordSize = 22;
constexpr int centralHeaderSize = 46;
constexpr int localHeaderSize = 30;
// The end record with the longest comment the format allows still lies inside the window.
constexpr int searchWindow = 65535 + endRecordSize;
constexpr int encryptionHeaderSize = 12;
constexpr int inputChunkSize = 8192;

// The CRC-32 table (polynomial 0xEDB88320) of zlib, complete before its first use.
const z_crc_t* CrcTable()
{
    static const z_crc_t* const table = ::get_crc_table();
    return table;
}

std::uint32_t CrcStep(std::uint32_t crc, unsigned char byte)
{
    return CrcTable()[(crc ^ byte) & 0xFF] ^ (crc >> 8);
}

} // namespace

// The traditional PKWARE encryption as the ZIP format publishes it.
class ZipCryptoKeys
{
public:
    // Each character counts with the low byte of its UTF-16 code unit.
    explicit ZipCryptoKeys(const String& password)
    {
        for (int k = 0; k < password.Length(); ++k)
            Update(static_cast<unsigned char>(password[k] & 0xFF));
    }

    // Decrypts the 12-byte header, leaving the keys at the first data byte. Archivers write one
    // or two check bytes; only the last is common to both, and the CRC-32 of the data decides.
    bool AcceptHeader(const unsigned char* header, std::uint16_t checkWord)
    {
        unsigned char last = 0;
        for (int k = 0; k < encryptionHeaderSize; ++k)
            last = Decrypt(header[k]);
        return last == checkWord >> 8;
    }

    void Decrypt(unsigned char* data, std::size_t count)
    {
        for (std::size_t k = 0; k < count; ++k)
            data[k] = Decrypt(data[k]);
    }

private:
    unsigned char Decrypt(unsigned char cipher)
    {
        const unsigned temp = (m_keys[2] | 2) & 0xFFFF;
        const auto plain = static_cast<unsigned char>(cipher ^ ((temp * (temp ^ 1)) >> 8));
        Update(plain);
        return plain;
    }

    void Update(unsigned char plain)
    {
        m_keys[0] = CrcStep(m_keys[0], plain);
        m_keys[1] = (m_keys[1] + (m_keys[0] & 0xFF)) * 134775813 + 1;
        m_keys[2] = CrcStep(m_keys[2], static_cast<unsigned char>(m_keys[1] >> 24));
    }

    std::uint32_t m_keys[3] = {0x12345678, 0x23456789, 0x34567890};
};

namespace {

// Ends the stream also when an exception leaves the inflation.
class InflateStream
{
public:
    InflateStream() = default;
    InflateStream(const InflateStream&) = delete;
    InflateStream& operator=(const InflateStream&) = delete;
    ~InflateStream()
    {
        if (m_initialised)
            ::inflateEnd(&stream);
    }

    bool Init()
    {
        m_initialised = ::inflateInit2(&stream, -MAX_WBITS) == Z_OK;
        return m_initialised;
    }

    int End()
    {
        m_initialised = false;
        return ::inflateEnd(&stream);
    }

    z_stream stream{};

private:
    bool m_initialised = false;
};

} // namespace

CZipArchiver::CZipArchiver() = default;

CZipArchiver::~CZipArchiver() = default;

void CZipArchiver::GetExtensions(std::vector<String>& extensions)
{
    extensions.push_back(L"zip");
}

bool CZipArchiver::Open(std::vector<SEntry>& entries)
{
    std::lock_guard<std::mutex> lock(m_lock);
    entries.clear();
    m_locations.clear();
    m_passwordSettled = false;
    m_password = String();
    try {
        m_file.reset();
        m_file =
            std::make_unique<CApiFile>(GetArchivePath(), CApiFile::SharedReadMode, CApiFile::RandomAccess);
        if (ReadCentralDirectory(entries))
            return true;
        entries.clear();
        m_locations.clear();
        return ScanLocalHeaders(entries);
    } catch (const std::exception&) {
        m_file.reset();
        entries.clear();
        m_locations.clear();
        return false;
    }
}

bool CZipArchiver::AddEntry(std::vector<SEntry>& entries, const unsigned char* header, int fieldsOffset,
                            const unsigned char* name, unsigned nameLength, std::uint32_t localHeaderOffset,
                            std::int32_t dataOffset)
{
    // The fields from the flags on lie in the same order in both kinds of header.
    const unsigned char* fields = header + fieldsOffset;
    const unsigned flags = ReadLittle16(fields);
    const unsigned method = ReadLittle16(fields + 2);
    const std::uint16_t time = ReadLittle16(fields + 4);
    const std::uint16_t date = ReadLittle16(fields + 6);
    const std::uint32_t crc = ReadLittle32(fields + 8);
    const std::uint32_t compressedSize = ReadLittle32(fields + 12);
    const std::uint32_t size = ReadLittle32(fields + 16);
    // Folders and empty files are not listed.
    if (size == 0)
        return true;
    if (method != 0 && method != 8)
        return false;

    SZipEntry location;
    location.localHeaderOffset = localHeaderOffset;
    location.dataOffset = dataOffset;
    location.compressedSize = compressedSize;
    location.size = size;
    location.crc = crc;
    // With a data descriptor the CRC is not known when the header is written: the time stands in.
    location.checkWord = static_cast<std::uint16_t>((flags & 8) ? time : crc >> 16);
    location.deflated = method == 8;
    location.encrypted = (flags & 1) != 0;

    SEntry entry;
    entry.name = GetDefaultEncoding().ToString(std::string(reinterpret_cast<const char*>(name), nameLength));
    entry.size = size;
    entry.time = DosToFileTime(date, time);
    m_locations.push_back(location);
    entries.push_back(entry);
    return true;
}

bool CZipArchiver::ReadCentralDirectory(std::vector<SEntry>& entries)
{
    try {
        const std::int64_t fileSize = m_file->GetSize();
        if (fileSize < endRecordSize)
            return false;
        const int window = static_cast<int>(std::min<std::int64_t>(fileSize, searchWindow));
        std::vector<unsigned char> last(static_cast<std::size_t>(window));
        m_file->Seek(static_cast<int>(fileSize - window), 0);
        m_file->Read(last.data(), window);

        int end = window - endRecordSize;
        while (end >= 0 && ReadLittle32(&last[end]) != endSignature)
            --end;
        if (end < 0)
            return false;
        const unsigned count = ReadLittle16(&last[end + 8]);
        const std::int64_t directorySize = ReadLittle32(&last[end + 12]);
        const std::int64_t tail = window - end;

        // The directory ends where the end record begins.
        const unsigned char* directory = nullptr;
        std::vector<unsigned char> farDirectory;
        if (directorySize + tail < window) {
            directory = &last[static_cast<std::size_t>(window - tail - directorySize)];
        } else {
            const std::int64_t start = fileSize - tail - directorySize;
            if (start < 0)
                return false;
            farDirectory.resize(static_cast<std::size_t>(directorySize));
            m_file->Seek(static_cast<int>(start), 0);
            m_file->Read(farDirectory.data(), static_cast<int>(directorySize));
            directory = farDirectory.data();
        }

        std::int64_t p = 0;
        for (unsigned n = 0; n < count; ++n) {
            if (p + centralHeaderSize > directorySize)
                return false;
            const unsigned char* record = directory + p;
            if (ReadLittle32(record) != centralSignature)
                return false;
            const unsigned nameLength = ReadLittle16(record + 28);
            if (p + centralHeaderSize + nameLength > directorySize)
                return false;
            if (!AddEntry(entries, record, 8, record + centralHeaderSize, nameLength,
                          ReadLittle32(record + 42), -1))
                return false;
            p += centralHeaderSize + nameLength + ReadLittle16(record + 30) + ReadLittle16(record + 32);
        }
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool CZipArchiver::ScanLocalHeaders(std::vector<SEntry>& entries)
{
    try {
        const std::int64_t fileSize = m_file->GetSize();
        std::int64_t local = 0;
        while (local + localHeaderSize <= fileSize) {
            unsigned char header[localHeaderSize];
            m_file->Seek(static_cast<int>(local), 0);
            m_file->Read(header, localHeaderSize);
            const unsigned nameLength = ReadLittle16(header + 26);
            const unsigned extraLength = ReadLittle16(header + 28);
            if (ReadLittle32(header) != localSignature || nameLength == 0 ||
                local + localHeaderSize + nameLength > fileSize)
                break;
            std::vector<unsigned char> name(nameLength);
            m_file->Read(name.data(), static_cast<int>(nameLength));
            const auto dataOffset = static_cast<std::int32_t>(localHeaderSize + nameLength + extraLength);
            if (!AddEntry(entries, header, 6, name.data(), nameLength, static_cast<std::uint32_t>(local),
                          dataOffset)) {
                entries.clear();
                m_locations.clear();
                break;
            }
            local += dataOffset + static_cast<std::int64_t>(ReadLittle32(header + 18));
        }
    } catch (const std::exception&) {
        // The list ends where the file stops making sense.
    }
    if (entries.empty()) {
        m_file.reset();
        return false;
    }
    return true;
}

void CZipArchiver::ExtractToFile(unsigned index, const String& folder)
{
    ExtractToFileViaMemory(index, folder);
}

void CZipArchiver::FailExtraction(unsigned index) const
{
    const String name = index < GetEntryCount() ? GetEntry(index).name : String();
    throw RuntimeException(GetArchivePath() + L" 内の " + name + L" の解凍に失敗しました");
}

std::int64_t CZipArchiver::FindDataStart(unsigned index)
{
    SZipEntry& location = m_locations[index];
    const std::int64_t fileSize = m_file->GetSize();
    const std::int64_t local = location.localHeaderOffset;
    if (location.dataOffset < 0) {
        if (local + localHeaderSize > fileSize)
            FailExtraction(index);
        unsigned char header[localHeaderSize];
        m_file->Seek(static_cast<int>(local), 0);
        m_file->Read(header, localHeaderSize);
        if (ReadLittle32(header) != localSignature)
            FailExtraction(index);
        location.dataOffset = static_cast<std::int32_t>(localHeaderSize + ReadLittle16(header + 26) +
                                                        ReadLittle16(header + 28));
    }
    const std::int64_t start = local + location.dataOffset;
    if (start > fileSize)
        FailExtraction(index);
    return start;
}

void CZipArchiver::ExtractToMemory(unsigned index, std::vector<unsigned char>& bytes)
{
    std::lock_guard<std::mutex> lock(m_lock);
    bytes.clear();
    if (index >= m_locations.size() || !m_file)
        FailExtraction(index);
    const SZipEntry& location = m_locations[index];
    if (location.size > maxEntrySize)
        FailExtraction(index);

    // The data must lie inside the file before anything is allocated for them.
    const std::int64_t dataStart = FindDataStart(index);
    const int header = location.encrypted ? encryptionHeaderSize : 0;
    const std::int64_t dataSize =
        location.deflated ? location.compressedSize : std::int64_t{location.size} + header;
    if (dataSize < header || dataStart + dataSize > m_file->GetSize())
        FailExtraction(index);
    bytes.resize(location.size);

    if (location.encrypted) {
        if (!ExtractEncrypted(index, dataStart, bytes))
            throw RuntimeException(L"解凍に失敗しました");
    } else if (!Decode(index, dataStart, bytes, nullptr)) {
        FailExtraction(index);
    }
}

bool CZipArchiver::ExtractEncrypted(unsigned index, std::int64_t dataStart, std::vector<unsigned char>& bytes)
{
    const SZipEntry& location = m_locations[index];
    unsigned char header[encryptionHeaderSize];
    m_file->Seek(static_cast<int>(dataStart), 0);
    m_file->Read(header, encryptionHeaderSize);
    const auto tryPassword = [&](const String& password) {
        ZipCryptoKeys keys(password);
        return keys.AcceptHeader(header, location.checkWord) &&
               Decode(index, dataStart + encryptionHeaderSize, bytes, &keys);
    };

    // One series of questions per opened archive; later entries get the password it found.
    if (m_passwordSettled)
        return tryPassword(m_password);
    m_password = String();
    bool found = false;
    String password;
    for (int attempt = 0; !found && QueryPassword(password, attempt); ++attempt) {
        if (tryPassword(password)) {
            m_password = password;
            found = true;
        }
    }
    m_passwordSettled = true;
    return found;
}

bool CZipArchiver::Decode(unsigned index, std::int64_t dataStart, std::vector<unsigned char>& bytes,
                          const ZipCryptoKeys* initialKeys)
{
    const SZipEntry& location = m_locations[index];
    std::optional<ZipCryptoKeys> keys;
    if (initialKeys)
        keys = *initialKeys;
    m_file->Seek(static_cast<int>(dataStart), 0);
    if (location.deflated) {
        if (!Inflate(index, bytes, keys ? &*keys : nullptr))
            return false;
    } else {
        m_file->Read(bytes.data(), static_cast<int>(bytes.size()));
        if (keys)
            keys->Decrypt(bytes.data(), bytes.size());
    }
    // A wrong password passes the one check byte once in 256 tries.
    return !keys || ::crc32(0, bytes.data(), static_cast<uInt>(bytes.size())) == location.crc;
}

bool CZipArchiver::Inflate(unsigned index, std::vector<unsigned char>& bytes, ZipCryptoKeys* keys)
{
    const SZipEntry& location = m_locations[index];
    std::int64_t remaining = std::int64_t{location.compressedSize} - (keys ? encryptionHeaderSize : 0);
    InflateStream inflater;
    if (!inflater.Init())
        return false;
    z_stream& stream = inflater.stream;
    stream.next_out = bytes.data();
    stream.avail_out = static_cast<uInt>(bytes.size());
    unsigned char input[inputChunkSize];
    int flush = remaining > 0 ? Z_NO_FLUSH : Z_FINISH;
    for (;;) {
        if (stream.avail_in == 0 && remaining > 0) {
            const int chunk = static_cast<int>(std::min<std::int64_t>(remaining, inputChunkSize));
            m_file->Read(input, chunk);
            if (keys)
                keys->Decrypt(input, static_cast<std::size_t>(chunk));
            remaining -= chunk;
            if (remaining == 0)
                flush = Z_FINISH;
            stream.next_in = input;
            stream.avail_in = static_cast<uInt>(chunk);
        }
        const int result = ::inflate(&stream, flush);
        if (result == Z_STREAM_END)
            break;
        // Damaged data, or no room and no input left: no further call can make progress.
        if (result != Z_OK)
            return false;
    }
    if (inflater.End() != Z_OK)
        throw RuntimeException(GetArchivePath() + L" 内の " + GetEntry(index).name +
                               L" の解凍後始末に失敗しました");
    // A stream that ends short of the declared size is as damaged as one that breaks off.
    return stream.total_out == bytes.size();
}

} // namespace Brivox
