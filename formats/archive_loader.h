#pragma once
// The set of archives that a file list holds open, the extraction folders they extract below,
// and the saved form of the set inside the old compressed bookmark format.

#include "formats/archive.h"
#include "foundation/serialization.h"
#include "foundation/string.h"
#include "foundation/temp_file.h"

#include <deque>
#include <memory>
#include <vector>

namespace Brivox {

// Whether the path's lower-case extension is one the registered readers handle.
bool IsArchiveExtension(const String& path);

class CArchiveLoader : public ISerializable
{
public:
    explicit CArchiveLoader(const SArchiverContext& context);
    CArchiveLoader(const CArchiveLoader&) = delete;
    CArchiveLoader& operator=(const CArchiveLoader&) = delete;
    // Drops the archives first, then deletes every extraction folder with what is left in it.
    ~CArchiveLoader() override;

    // Archives opened from now on extract below a new folder under root; earlier ones keep
    // theirs. Nothing is created on disk here. Opening needs at least one such folder.
    void PushTempFolder(const String& root);

    // Whether the path has an archive extension and opens; the archive is dropped again.
    [[nodiscard]] bool CanOpen(const String& path);
    // Opens and keeps the archive and appends its entries (nested archives included) to the
    // list. False when it is not an archive or fails; items appended before a failure stay.
    [[nodiscard]] bool OpenArchive(const String& path, std::vector<CArchive::SListEntry>& list);
    // Opens and keeps the archive whatever its extension; throws RuntimeException when it does
    // not open.
    void AddArchive(const String& path);

    // The first archive of the set (or a direct child of one) holding the display path.
    CArchive::SEntryRef FindEntry(const String& path) const;
    int GetArchiveCount() const { return static_cast<int>(m_archives.size()); }
    // The path archive `index` was opened with.
    String GetArchivePath(int index) const;

    // Drops every archive; one that nothing else holds goes with its temporary folder.
    void Clear();
    // Lets the archives of the set extract again; nested archives keep their states.
    void ResetExtractStates();

    // The number of archives and their paths.
    void Save(IRestorer& target) const override;
    // Reopens the saved paths; those that no longer open are skipped.
    void Load(IRestorer& source) override;

private:
    // A new archive below the newest extraction folder.
    std::shared_ptr<CArchive> NewArchive() const;
    // Opens it and lists its entries into the list, which opens the archives inside it.
    std::shared_ptr<CArchive> OpenListed(const String& path, std::vector<CArchive::SListEntry>& list) const;

    SArchiverContext m_context;
    std::deque<CTempFolder> m_tempFolders;
    std::vector<std::shared_ptr<CArchive>> m_archives;
};

} // namespace Brivox
