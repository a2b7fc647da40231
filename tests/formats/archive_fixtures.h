#pragma once
// Archives for the opened-archive and archive-set tests: ZIP archives nested in ZIP archives,
// the built-in ZIP reader registered (also in forms that read through files), and a record of
// what those readers extracted.

#include "formats/archive.h"
#include "formats/archiver.h"
#include "formats/zip_archiver.h"
#include "foundation/exception.h"
#include "foundation/file_test_support.h"
#include "foundation/object_pool.h"
#include "zip_fixture.h"

#include <algorithm>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace ArchiveFixtures {

// A stored ZIP of (name, data) pairs, every other entry deflated.
inline std::string Zip(const std::vector<std::pair<std::string, std::string>>& files)
{
    std::vector<ZipFixture::Entry> entries;
    for (const auto& [name, data] : files) {
        ZipFixture::Entry entry;
        entry.name = name;
        entry.data = data;
        entry.deflate = entries.size() % 2 == 1;
        entries.push_back(entry);
    }
    return ZipFixture::Build(entries);
}

inline void WriteFile(const Brivox::String& path, const std::string& bytes)
{
    FileTestSupport::WriteBytes(path, FileTestSupport::Bytes(bytes.begin(), bytes.end()));
}

inline std::string Text(const Brivox::FileBytes& bytes)
{
    return std::string(bytes.begin(), bytes.end());
}

// What the file-mode readers did, across all their instances.
struct ExtractionLog
{
    std::mutex lock;
    std::vector<unsigned> entries;
    int wholeArchives = 0;
    int inside = 0;
    int mostInside = 0;
    bool failWholeArchive = false;

    void Enter()
    {
        std::lock_guard<std::mutex> guard(lock);
        mostInside = std::max(mostInside, ++inside);
    }
    void Leave()
    {
        std::lock_guard<std::mutex> guard(lock);
        --inside;
    }
    void Reset()
    {
        std::lock_guard<std::mutex> guard(lock);
        entries.clear();
        wholeArchives = 0;
        mostInside = 0;
        failWholeArchive = false;
    }
};

inline ExtractionLog& Log()
{
    static ExtractionLog log;
    return log;
}

// The built-in ZIP reader as a reader that extracts entry by entry into files, or the whole
// archive at once, the way the archiver DLLs do.
template <int Mode> class FileModeZipArchiver : public Brivox::CZipArchiver
{
public:
    int GetExtractMode() override { return Mode; }

    void ExtractToFile(unsigned index, const Brivox::String& folder) override
    {
        Log().Enter();
        {
            std::lock_guard<std::mutex> guard(Log().lock);
            Log().entries.push_back(index);
        }
        try {
            CZipArchiver::ExtractToFile(index, folder);
        } catch (...) {
            Log().Leave();
            throw;
        }
        Log().Leave();
    }

    void ExtractAll(const Brivox::String& folder, bool) override
    {
        Log().Enter();
        bool fail = false;
        {
            std::lock_guard<std::mutex> guard(Log().lock);
            ++Log().wholeArchives;
            fail = Log().failWholeArchive;
        }
        for (unsigned index = 0; !fail && index < GetEntryCount(); ++index)
            CZipArchiver::ExtractToFile(index, folder);
        Log().Leave();
        if (fail)
            throw Brivox::RuntimeException(L"whole archive failed");
    }
};

// Registers one ZIP reader (memory mode by default) for the time of a test.
class ZipRegistration
{
public:
    explicit ZipRegistration(int mode = Brivox::IArchiver::ExtractModePerEntryMemory)
    {
        std::shared_ptr<Brivox::IFactory<Brivox::IArchiver>> factory;
        if (mode == Brivox::IArchiver::ExtractModePerEntryFile)
            factory = std::make_shared<Brivox::DefaultFactory<FileModeZipArchiver<0>, Brivox::IArchiver>>();
        else if (mode == Brivox::IArchiver::ExtractModeWholeArchive)
            factory = std::make_shared<Brivox::DefaultFactory<FileModeZipArchiver<1>, Brivox::IArchiver>>();
        else
            factory = std::make_shared<Brivox::DefaultFactory<Brivox::CZipArchiver, Brivox::IArchiver>>();
        Brivox::GetArchiverFactories().Replace({{0, std::move(factory)}});
        Log().Reset();
    }
    ZipRegistration(const ZipRegistration&) = delete;
    ZipRegistration& operator=(const ZipRegistration&) = delete;
    ~ZipRegistration() { Brivox::GetArchiverFactories().Clear(); }
};

// The display paths of a list, and each item's bytes read through its archive.
inline std::vector<Brivox::String> Paths(const std::vector<Brivox::CArchive::SListEntry>& list)
{
    std::vector<Brivox::String> paths;
    for (const Brivox::CArchive::SListEntry& item : list)
        paths.push_back(item.path);
    return paths;
}

inline std::string Read(const Brivox::CArchive::SListEntry& item)
{
    const std::shared_ptr<Brivox::CArchive> archive = item.archive.lock();
    if (!archive)
        return "<archive gone>";
    return Text(archive->GetFileData(item.index)->GetBytes());
}

} // namespace ArchiveFixtures
