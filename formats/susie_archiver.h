#pragma once
// Archives read through the Susie archive plug-ins: the first plug-in in the set's order that takes
// the file and lists it serves every later extraction of that archive.

#include "formats/archiver.h"
#include "formats/susie_plugin.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace Brivox {

class CSpiArchiver : public IArchiver
{
public:
    // The set's DLLs stay loaded while the reader lives.
    explicit CSpiArchiver(std::shared_ptr<const CSpi> spi);

    // The extensions of every archive plug-in's pattern lists.
    void GetExtensions(std::vector<String>& extensions) override;
    // False when no archive plug-in takes and lists the file.
    [[nodiscard]] bool Open(std::vector<SEntry>& entries) override;
    // Through memory; a plug-in that gives no memory block writes the file itself.
    void ExtractToFile(unsigned index, const String& folder) override;
    // Throws RuntimeException with the plug-in's error code when it gives no bytes.
    void ExtractToMemory(unsigned index, FileBytes& bytes) override;
    int GetExtractMode() override { return ExtractModePerEntryMemory; }

private:
    // The archive, the entry, what failed and the plug-in's error code.
    String ExtractionFailure(unsigned index, const wchar_t* failure, int code) const;

    std::shared_ptr<const CSpi> m_spi;
    // The plug-in that listed the archive.
    int m_plugin = -1;
    // Parallel to the entry list: how the plug-in names each entry.
    std::vector<std::uint32_t> m_positions;
};

using CSpiArchiverFactory = CSpiFactory<IArchiver, CSpiArchiver>;

} // namespace Brivox
