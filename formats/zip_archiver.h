#pragma once
// The built-in ZIP reader: stored and deflated entries, traditional PKWARE encryption, ZIP64 end
// records and sizes, the CRC-32 of every entry checked; no outside component.

#include "formats/archiver.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace Brivox {

class IFile;
// The three keys of the traditional encryption.
class ZipCryptoKeys;

class CZipArchiver : public IArchiver
{
public:
    CZipArchiver();
    ~CZipArchiver() override;

    void GetExtensions(std::vector<String>& extensions) override;
    [[nodiscard]] bool Open(std::vector<SEntry>& entries) override;
    // Every entry below the folder in list order, each name checked before its file is written.
    void ExtractAll(const String& folder, bool showProgress) override;
    void ExtractToFile(unsigned index, const String& folder) override;
    void ExtractToMemory(unsigned index, FileBytes& bytes) override;
    int GetExtractMode() override { return ExtractModePerEntryMemory; }

private:
    // Where entry i of the list lies in the file.
    struct SZipEntry
    {
        std::uint32_t localHeaderOffset = 0;
        // From the local header; -1 until the entry is first read.
        std::int32_t dataOffset = -1;
        std::uint32_t compressedSize = 0;
        std::uint32_t size = 0;
        std::uint32_t crc = 0;
        // What the last byte of an encryption header must match.
        std::uint16_t checkWord = 0;
        bool deflated = false;
        bool encrypted = false;
        // Its sizes or offset lie beyond what the file interface reaches (2 GiB), or its record
        // points to 64-bit values that it does not hold.
        bool outOfReach = false;
    };
    // A header's fields, widened for the 64-bit values of ZIP64.
    struct SHeaderFields;
    enum class DirectoryResult
    {
        Listed,
        NoEndRecord,
        Damaged
    };

    DirectoryResult ReadCentralDirectory(std::vector<SEntry>& entries);
    bool ScanLocalHeaders(std::vector<SEntry>& entries);
    // False for a compression method this reader cannot extract.
    bool AddEntry(std::vector<SEntry>& entries, const SHeaderFields& fields, const unsigned char* name,
                  unsigned nameLength, std::int32_t dataOffset);
    // The file offset of the entry's data, read from its local header on first use.
    std::int64_t FindDataStart(unsigned index);
    // Reads the entry into bytes (already sized); false when the data do not decode or do not
    // match the entry's CRC-32.
    bool Decode(unsigned index, std::int64_t dataStart, FileBytes& bytes, const ZipCryptoKeys* keys);
    void ReadStored(FileBytes& bytes, ZipCryptoKeys* keys, std::uint32_t& crc);
    bool Inflate(unsigned index, FileBytes& bytes, ZipCryptoKeys* keys, std::uint32_t& crc);
    bool ExtractEncrypted(unsigned index, std::int64_t dataStart, FileBytes& bytes);
    [[noreturn]] void FailExtraction(unsigned index) const;
    // The archive file's own read error: the data lie beyond its end.
    [[noreturn]] void FailRead() const;

    std::mutex m_lock;
    std::unique_ptr<IFile> m_file;
    std::vector<SZipEntry> m_locations;
    String m_password;
    bool m_passwordSettled = false;
};

} // namespace Brivox
