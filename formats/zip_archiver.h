#pragma once
// The built-in ZIP reader: stored and deflated entries, traditional PKWARE encryption, no
// outside component.

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
    void ExtractToFile(unsigned index, const String& folder) override;
    void ExtractToMemory(unsigned index, std::vector<unsigned char>& bytes) override;
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
    };
    bool ReadCentralDirectory(std::vector<SEntry>& entries);
    bool ScanLocalHeaders(std::vector<SEntry>& entries);
    // False for a compression method this reader cannot extract.
    bool AddEntry(std::vector<SEntry>& entries, const unsigned char* header, int fieldsOffset,
                  const unsigned char* name, unsigned nameLength, std::uint32_t localHeaderOffset,
                  std::int32_t dataOffset);
    // The file offset of the entry's data, read from its local header on first use.
    std::int64_t FindDataStart(unsigned index);
    // Reads the entry into bytes (already sized); false when the data do not decode or, with
    // keys, do not match the entry's CRC-32.
    bool Decode(unsigned index, std::int64_t dataStart, std::vector<unsigned char>& bytes,
                const ZipCryptoKeys* keys);
    bool Inflate(unsigned index, std::vector<unsigned char>& bytes, ZipCryptoKeys* keys);
    bool ExtractEncrypted(unsigned index, std::int64_t dataStart, std::vector<unsigned char>& bytes);
    [[noreturn]] void FailExtraction(unsigned index) const;

    std::mutex m_lock;
    std::unique_ptr<IFile> m_file;
    std::vector<SZipEntry> m_locations;
    String m_password;
    bool m_passwordSettled = false;
};

} // namespace Brivox
