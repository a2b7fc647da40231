#include "formats/archive_loader.h"

#include "formats/archiver.h"
#include "foundation/exception.h"
#include "foundation/file_name.h"

#include <algorithm>
#include <cstdint>

namespace Brivox {

bool IsArchiveExtension(const String& path)
{
    const std::vector<String> extensions = GetArchiveExtensions();
    return std::find(extensions.begin(), extensions.end(), CFileName::GetLowerExtension(path)) !=
           extensions.end();
}

CArchiveLoader::CArchiveLoader(const SArchiverContext& context) : m_context(context) {}

CArchiveLoader::~CArchiveLoader()
{
    // Open archives hold files inside the extraction folders.
    m_archives.clear();
    m_tempFolders.clear();
}

void CArchiveLoader::PushTempFolder(const String& root)
{
    m_tempFolders.emplace_back(root, String());
}

std::shared_ptr<CArchive> CArchiveLoader::NewArchive() const
{
    if (m_tempFolders.empty())
        throw InvalidOprationException(L"書庫の展開フォルダが設定されていません");
    return std::make_shared<CArchive>(m_tempFolders.back().GetPath(), m_context);
}

std::shared_ptr<CArchive> CArchiveLoader::OpenListed(const String& path,
                                                     std::vector<CArchive::SListEntry>& list) const
{
    std::shared_ptr<CArchive> archive = NewArchive();
    if (!archive->Open(path))
        return nullptr;
    archive->AppendFileList(list);
    return archive;
}

bool CArchiveLoader::CanOpen(const String& path)
{
    if (!IsArchiveExtension(path))
        return false;
    try {
        return NewArchive()->Open(path);
    } catch (const std::exception&) {
        return false;
    }
}

bool CArchiveLoader::OpenArchive(const String& path, std::vector<CArchive::SListEntry>& list)
{
    if (!IsArchiveExtension(path))
        return false;
    try {
        std::shared_ptr<CArchive> archive = OpenListed(path, list);
        if (!archive)
            return false;
        m_archives.push_back(std::move(archive));
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

void CArchiveLoader::AddArchive(const String& path)
{
    std::vector<CArchive::SListEntry> list;
    std::shared_ptr<CArchive> archive = OpenListed(path, list);
    if (!archive)
        throw RuntimeException(L"書庫 '" + path + L"' の読み込みに失敗しました");
    m_archives.push_back(std::move(archive));
}

CArchive::SEntryRef CArchiveLoader::FindEntry(const String& path) const
{
    for (const std::shared_ptr<CArchive>& archive : m_archives) {
        CArchive::SEntryRef found = archive->FindEntry(path);
        if (!found.archive.expired())
            return found;
    }
    return CArchive::SEntryRef{};
}

String CArchiveLoader::GetArchivePath(int index) const
{
    return CFileName::TrimTrailingSeparator(m_archives.at(index)->GetPathPrefix());
}

void CArchiveLoader::Clear()
{
    m_archives.clear();
}

void CArchiveLoader::ResetExtractStates()
{
    for (const std::shared_ptr<CArchive>& archive : m_archives)
        archive->ResetExtractState();
}

void CArchiveLoader::Save(IRestorer& target) const
{
    const auto count = static_cast<std::int32_t>(m_archives.size());
    target.WriteBytes(&count, sizeof(count));
    for (int i = 0; i < count; ++i)
        target.WriteString(GetArchivePath(i));
}

void CArchiveLoader::Load(IRestorer& source)
{
    // A damaged list (a negative count, a count or path that runs past the data) throws; an
    // archive that no longer opens is skipped.
    const int count = source.ReadCount();
    if (count < 0)
        throw RuntimeException(L"保存データが壊れています");
    for (int i = 0; i < count; ++i) {
        const String path = source.ReadString();
        try {
            std::vector<CArchive::SListEntry> list;
            std::shared_ptr<CArchive> archive = OpenListed(path, list);
            if (archive)
                m_archives.push_back(std::move(archive));
        } catch (const std::exception&) {
            // Skipped like an archive that does not open.
        }
    }
}

} // namespace Brivox
