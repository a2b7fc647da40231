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
using Detail::ReadLittle64;

namespace {

constexpr std::uint32_t endSignature = 0x06054b50;
constexpr std::uint32_t zip64EndSignature = 0x06064b50;
constexpr std::uint32_t zip64LocatorSignature = 0x07064b50;
constexpr std::uint32_t centralSignature = 0x02014b50;
constexpr std::uint32_t localSignature = 0x04034b50;
constexpr int endRecordSize = 22;
constexpr int zip64EndRecordSize = 56;
constexpr int zip64LocatorSize = 20;
constexpr int centralHeaderSize = 46;
constexpr int localHeaderSize = 30;
// The end record with the longest comment the format allows still lies inside the window.
constexpr int searchWindow = 65535 + endRecordSize;
constexpr int encryptionHeaderSize = 12;
constexpr int inputChunkSize = 8192;
// Stored data are read and checked piece by piece, each piece still in the cache for its CRC.
constexpr std::size_t storedChunkSize = 256 * 1024;
// A 32-bit field with this value says that the real value is in the ZIP64 extra field.
constexpr std::uint32_t zip64Escape = 0xFFFFFFFF;
constexpr unsigned zip64ExtraId = 0x0001;
// The file interface reaches offsets and sizes below 2 GiB.
constexpr std::uint64_t reachableLimit = 0x7FFFFFFF;
constexpr std::uint64_t unreachable = ~std::uint64_t{0};

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

// The last bytes of an archive file, where its end records lie, read once.
class FileTail
{
public:
    FileTail(IFile& file, std::int64_t fileSize)
        : m_file(file), m_fileSize(fileSize),
          m_start(fileSize - std::min<std::int64_t>(fileSize, searchWindow)),
          m_bytes(static_cast<std::size_t>(fileSize - m_start))
    {
        m_file.Seek(static_cast<int>(m_start), 0);
        m_file.Read(m_bytes.data(), static_cast<int>(m_bytes.size()));
    }

    // The file offset of the last end record signature that leaves room for the record; -1 when
    // there is none.
    std::int64_t FindEndRecord() const
    {
        for (auto at = static_cast<std::int64_t>(m_bytes.size()) - endRecordSize; at >= 0; --at) {
            if (ReadLittle32(&m_bytes[static_cast<std::size_t>(at)]) == endSignature)
                return m_start + at;
        }
        return -1;
    }

    // Bytes of the file: in the tail when they lie there, else read into the buffer. Null when
    // they lie outside the file.
    const unsigned char* At(std::int64_t offset, std::uint64_t count, std::vector<unsigned char>& buffer)
    {
        if (offset < 0 || count > static_cast<std::uint64_t>(m_fileSize - offset))
            return nullptr;
        if (offset >= m_start)
            return &m_bytes[static_cast<std::size_t>(offset - m_start)];
        buffer.resize(static_cast<std::size_t>(count));
        m_file.Seek(static_cast<int>(offset), 0);
        m_file.Read(buffer.data(), static_cast<int>(count));
        return buffer.data();
    }

private:
    IFile& m_file;
    std::int64_t m_fileSize;
    std::int64_t m_start;
    std::vector<unsigned char> m_bytes;
};

struct SDirectoryPlace
{
    std::uint64_t count = 0;
    std::uint64_t size = 0;
    std::int64_t start = 0;
};

// Where the central directory lies and how many records it holds, from the end record and, where
// they precede it, the ZIP64 end records. The directory ends where the end records begin. False
// when they contradict themselves or the file.
bool LocateDirectory(FileTail& tail, std::int64_t endRecord, SDirectoryPlace& place)
{
    std::vector<unsigned char> buffer;
    const unsigned char* end = tail.At(endRecord, endRecordSize, buffer);
    place.count = ReadLittle16(end + 8);
    place.size = ReadLittle32(end + 12);
    std::int64_t directoryEnd = endRecord;
    const std::int64_t locatorOffset = endRecord - zip64LocatorSize;
    const unsigned char* locator = tail.At(locatorOffset, zip64LocatorSize, buffer);
    if (locator && ReadLittle32(locator) == zip64LocatorSignature) {
        const auto recordOffset =
            static_cast<std::int64_t>(std::min(ReadLittle64(locator + 8), reachableLimit));
        const unsigned char* record = recordOffset + zip64EndRecordSize <= locatorOffset
                                          ? tail.At(recordOffset, zip64EndRecordSize, buffer)
                                          : nullptr;
        if (!record || ReadLittle32(record) != zip64EndSignature)
            return false;
        place.count = ReadLittle64(record + 24);
        place.size = ReadLittle64(record + 40);
        directoryEnd = recordOffset;
    } else if (place.size == zip64Escape) {
        return false;
    }
    place.start = directoryEnd - static_cast<std::int64_t>(std::min(place.size, reachableLimit));
    // Every record takes at least its fixed part.
    return place.size <= static_cast<std::uint64_t>(directoryEnd) &&
           place.count <= place.size / centralHeaderSize;
}

} // namespace

// The fields from the flags on, which lie in the same order in both kinds of header.
struct CZipArchiver::SHeaderFields
{
    SHeaderFields(const unsigned char* fields, std::uint64_t localHeader)
        : flags(ReadLittle16(fields)), method(ReadLittle16(fields + 2)), time(ReadLittle16(fields + 4)),
          date(ReadLittle16(fields + 6)), crc(ReadLittle32(fields + 8)),
          compressedSize(ReadLittle32(fields + 12)), size(ReadLittle32(fields + 16)),
          localHeaderOffset(localHeader)
    {
    }

    // The values whose 32-bit field holds the escape come from the ZIP64 extra field, in the
    // format's order; one that the field does not hold is out of reach.
    void ReadZip64Extra(const unsigned char* extra, unsigned length)
    {
        const unsigned char* values = nullptr;
        unsigned valuesLength = 0;
        for (unsigned at = 0; at + 4 <= length && !values;) {
            const unsigned blockLength = ReadLittle16(extra + at + 2);
            if (at + 4 + blockLength > length)
                break;
            if (ReadLittle16(extra + at) == zip64ExtraId) {
                values = extra + at + 4;
                valuesLength = blockLength;
            }
            at += 4 + blockLength;
        }
        unsigned taken = 0;
        for (std::uint64_t* value : {&size, &compressedSize, &localHeaderOffset}) {
            if (*value != zip64Escape)
                continue;
            if (taken + 8 <= valuesLength) {
                *value = ReadLittle64(values + taken);
                taken += 8;
            } else {
                *value = unreachable;
            }
        }
    }

    unsigned flags;
    unsigned method;
    std::uint16_t time;
    std::uint16_t date;
    std::uint32_t crc;
    std::uint64_t compressedSize;
    std::uint64_t size;
    std::uint64_t localHeaderOffset;
};

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
        const DirectoryResult directory = ReadCentralDirectory(entries);
        if (directory == DirectoryResult::Listed)
            return true;
        entries.clear();
        m_locations.clear();
        // The local headers stand in only for a directory that is missing: a directory that
        // does not hold what its end record announces would give part of the archive as a whole.
        if (directory == DirectoryResult::NoEndRecord)
            return ScanLocalHeaders(entries);
        m_file.reset();
        return false;
    } catch (const std::exception&) {
        m_file.reset();
        entries.clear();
        m_locations.clear();
        return false;
    }
}

bool CZipArchiver::AddEntry(std::vector<SEntry>& entries, const SHeaderFields& fields,
                            const unsigned char* name, unsigned nameLength, std::int32_t dataOffset)
{
    // Folders and empty files are not listed.
    if (fields.size == 0)
        return true;
    if (fields.method != 0 && fields.method != 8)
        return false;

    constexpr std::uint64_t largestSize = 0xFFFFFFFF;
    SZipEntry location;
    location.localHeaderOffset =
        static_cast<std::uint32_t>(std::min(fields.localHeaderOffset, reachableLimit));
    location.dataOffset = dataOffset;
    location.compressedSize = static_cast<std::uint32_t>(std::min(fields.compressedSize, reachableLimit));
    location.size = static_cast<std::uint32_t>(std::min(fields.size, largestSize));
    location.crc = fields.crc;
    // With a data descriptor the CRC is not known when the header is written: the time stands in.
    location.checkWord = static_cast<std::uint16_t>((fields.flags & 8) ? fields.time : fields.crc >> 16);
    location.deflated = fields.method == 8;
    location.encrypted = (fields.flags & 1) != 0;
    location.outOfReach = fields.localHeaderOffset > reachableLimit ||
                          fields.compressedSize > reachableLimit || fields.size > largestSize;

    SEntry entry;
    entry.name = GetDefaultEncoding().ToString(std::string(reinterpret_cast<const char*>(name), nameLength));
    entry.size = location.size;
    entry.time = DosToFileTime(fields.date, fields.time);
    m_locations.push_back(location);
    entries.push_back(entry);
    return true;
}

CZipArchiver::DirectoryResult CZipArchiver::ReadCentralDirectory(std::vector<SEntry>& entries)
{
    try {
        const std::int64_t fileSize = m_file->GetSize();
        if (fileSize < endRecordSize)
            return DirectoryResult::NoEndRecord;
        FileTail tail(*m_file, fileSize);
        const std::int64_t endRecord = tail.FindEndRecord();
        if (endRecord < 0)
            return DirectoryResult::NoEndRecord;
        SDirectoryPlace place;
        std::vector<unsigned char> buffer;
        const unsigned char* directory =
            LocateDirectory(tail, endRecord, place) ? tail.At(place.start, place.size, buffer) : nullptr;
        if (!directory)
            return DirectoryResult::Damaged;

        entries.reserve(static_cast<std::size_t>(place.count));
        m_locations.reserve(static_cast<std::size_t>(place.count));
        std::uint64_t p = 0;
        for (std::uint64_t n = 0; n < place.count; ++n) {
            if (p + centralHeaderSize > place.size)
                return DirectoryResult::Damaged;
            const unsigned char* record = directory + p;
            if (ReadLittle32(record) != centralSignature)
                return DirectoryResult::Damaged;
            const unsigned nameLength = ReadLittle16(record + 28);
            const unsigned extraLength = ReadLittle16(record + 30);
            const std::uint64_t next =
                p + centralHeaderSize + nameLength + extraLength + ReadLittle16(record + 32);
            if (next > place.size)
                return DirectoryResult::Damaged;
            SHeaderFields fields(record + 8, ReadLittle32(record + 42));
            fields.ReadZip64Extra(record + centralHeaderSize + nameLength, extraLength);
            if (!AddEntry(entries, fields, record + centralHeaderSize, nameLength, -1))
                return DirectoryResult::Damaged;
            p = next;
        }
        // One more record: the end record announced fewer than the directory holds.
        if (p + 4 <= place.size && ReadLittle32(directory + p) == centralSignature)
            return DirectoryResult::Damaged;
        return DirectoryResult::Listed;
    } catch (const std::exception&) {
        return DirectoryResult::Damaged;
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
            if (!AddEntry(entries, SHeaderFields(header + 6, static_cast<std::uint64_t>(local)), name.data(),
                          nameLength, dataOffset)) {
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

void CZipArchiver::ExtractAll(const String& folder, bool)
{
    for (unsigned index = 0; index < GetEntryCount(); ++index)
        ExtractToFile(index, folder);
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

void CZipArchiver::FailRead() const
{
    // What the file itself throws when a read meets its end.
    throw IOException(m_file->GetPath() + L" からの読み込みに失敗");
}

std::int64_t CZipArchiver::FindDataStart(unsigned index)
{
    SZipEntry& location = m_locations[index];
    const std::int64_t fileSize = m_file->GetSize();
    const std::int64_t local = location.localHeaderOffset;
    if (location.dataOffset < 0) {
        if (local + localHeaderSize > fileSize)
            FailRead();
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
        FailRead();
    return start;
}

void CZipArchiver::ExtractToMemory(unsigned index, FileBytes& bytes)
{
    std::lock_guard<std::mutex> lock(m_lock);
    bytes.clear();
    if (index >= m_locations.size() || !m_file)
        FailExtraction(index);
    const SZipEntry& location = m_locations[index];
    if (location.outOfReach || location.size > maxEntrySize)
        FailExtraction(index);

    // The data must lie inside the file before anything is allocated for them.
    const std::int64_t dataStart = FindDataStart(index);
    const int header = location.encrypted ? encryptionHeaderSize : 0;
    const std::int64_t dataSize =
        location.deflated ? location.compressedSize : std::int64_t{location.size} + header;
    if (dataSize < header)
        FailExtraction(index);
    if (dataStart + dataSize > m_file->GetSize())
        FailRead();

    try {
        // Not cleared first: the data are read over it, and it is emptied again when they fail.
        bytes.resize(location.size);
        if (location.encrypted) {
            if (!ExtractEncrypted(index, dataStart, bytes))
                throw RuntimeException(L"解凍に失敗しました");
        } else if (!Decode(index, dataStart, bytes, nullptr)) {
            FailExtraction(index);
        }
    } catch (...) {
        bytes.clear();
        throw;
    }
}

bool CZipArchiver::ExtractEncrypted(unsigned index, std::int64_t dataStart, FileBytes& bytes)
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

bool CZipArchiver::Decode(unsigned index, std::int64_t dataStart, FileBytes& bytes,
                          const ZipCryptoKeys* initialKeys)
{
    const SZipEntry& location = m_locations[index];
    std::optional<ZipCryptoKeys> keys;
    if (initialKeys)
        keys = *initialKeys;
    m_file->Seek(static_cast<int>(dataStart), 0);
    std::uint32_t crc = 0;
    if (location.deflated) {
        if (!Inflate(index, bytes, keys ? &*keys : nullptr, crc))
            return false;
    } else {
        ReadStored(bytes, keys ? &*keys : nullptr, crc);
    }
    // Damaged data end here, and so does a wrong password that passed the one check byte.
    return crc == location.crc;
}

void CZipArchiver::ReadStored(FileBytes& bytes, ZipCryptoKeys* keys, std::uint32_t& crc)
{
    for (std::size_t done = 0; done < bytes.size();) {
        const std::size_t count = std::min(bytes.size() - done, storedChunkSize);
        unsigned char* piece = bytes.data() + done;
        m_file->Read(piece, static_cast<int>(count));
        if (keys)
            keys->Decrypt(piece, count);
        crc = static_cast<std::uint32_t>(::crc32(crc, piece, static_cast<uInt>(count)));
        done += count;
    }
}

bool CZipArchiver::Inflate(unsigned index, FileBytes& bytes, ZipCryptoKeys* keys, std::uint32_t& crc)
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
        const Bytef* produced = stream.next_out;
        const int result = ::inflate(&stream, flush);
        // Checked while the bytes just written are still in the cache.
        crc =
            static_cast<std::uint32_t>(::crc32(crc, produced, static_cast<uInt>(stream.next_out - produced)));
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
