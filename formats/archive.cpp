#include "formats/archive.h"

#include "foundation/exception.h"
#include "foundation/file_name.h"
#include "foundation/text_file.h"

#include <algorithm>

namespace Brivox {

namespace {

int DepthBelow(const std::weak_ptr<CArchive>& parent)
{
    const std::shared_ptr<CArchive> holder = parent.lock();
    return holder ? holder->GetDepth() + 1 : 1;
}

std::shared_ptr<std::atomic<int>> NewNestedCount()
{
    return std::make_shared<std::atomic<int>>(0);
}

} // namespace

CArchive::CArchive(const String& tempRoot, const SArchiverContext& context)
    : m_context(context), m_tempFolder(tempRoot, String()), m_index(-1), m_depth(1),
      m_nestedOpened(NewNestedCount())
{
}

CArchive::CArchive(const String& tempRoot, const std::weak_ptr<CArchive>& parent, int index,
                   const SArchiverContext& context)
    : m_context(context), m_tempFolder(tempRoot, String()), m_parent(parent), m_index(index),
      m_depth(DepthBelow(parent))
{
    const std::shared_ptr<CArchive> holder = parent.lock();
    m_nestedOpened = holder ? holder->m_nestedOpened : NewNestedCount();
}

CArchive::~CArchive()
{
    m_wholeState = Closing;
    // The members go in the reverse order of their declaration: the children, then the
    // temporary folder with everything extracted into it, then the reader.
}

bool CArchive::Open(const String& path)
{
    m_reader.reset();
    try {
        std::shared_ptr<IArchiver> reader = OpenArchiveWithFactories(path);
        reader->SetPasswordQuery(m_context.passwordQuery);
        // Fixed now: the parent may be gone by the time the prefix is asked for.
        const std::shared_ptr<CArchive> parent = m_parent.lock();
        m_pathPrefix = (parent ? parent->GetEntryPath(m_index) : path) + L"\\";
        m_reader = std::move(reader);
        ResetExtractState();
        return true;
    } catch (const std::exception&) {
        m_reader.reset();
        return false;
    }
}

IArchiver& CArchive::Reader() const
{
    if (!m_reader)
        throw InvalidOprationException(L"書庫が開かれていません");
    return *m_reader;
}

const IArchiver::SEntry& CArchive::Entry(int index) const
{
    const IArchiver& reader = Reader();
    if (index < 0 || static_cast<unsigned>(index) >= reader.GetEntryCount())
        throw InvalidOprationException(L"書庫の項目番号が範囲外です");
    return reader.GetEntry(static_cast<unsigned>(index));
}

int CArchive::GetEntryCount() const
{
    return m_reader ? static_cast<int>(m_reader->GetEntryCount()) : 0;
}

String CArchive::GetEntryPath(int index) const
{
    return m_pathPrefix + Entry(index).name;
}

String CArchive::GetEntryTempPath(int index) const
{
    return CFileName(Entry(index).name, m_tempFolder.GetPath());
}

unsigned CArchive::GetEntrySize(int index) const
{
    return Entry(index).size;
}

FILETIME CArchive::GetEntryTime(int index) const
{
    return Entry(index).time;
}

void CArchive::AppendFileList(std::vector<SListEntry>& list)
{
    const int count = GetEntryCount();
    list.reserve(list.size() + count);
    const std::vector<String> archiveExtensions = GetArchiveExtensions();
    for (int i = 0; i < count; ++i) {
        const String extension = CFileName::GetLowerExtension(Entry(i).name);
        const bool isArchive = std::find(archiveExtensions.begin(), archiveExtensions.end(), extension) !=
                               archiveExtensions.end();
        if (isArchive && m_depth < maxDepth && *m_nestedOpened < maxNestedArchives) {
            EnsureExtracted(i);
            auto child = std::make_shared<CArchive>(m_tempFolder.GetRoot(), weak_from_this(), i, m_context);
            if (child->Open(GetEntryTempPath(i))) {
                ++*m_nestedOpened;
                child->AppendFileList(list);
                m_children.push_back(std::move(child));
                continue;
            }
        }
        list.push_back(SListEntry{GetEntryPath(i), weak_from_this(), i});
    }
}

std::shared_ptr<CFileData> CArchive::GetFileData(int index)
{
    return OpenEntry(index);
}

std::shared_ptr<CFileData> CArchive::OpenEntry(int index)
{
    IArchiver& reader = Reader();
    Entry(index);
    if (reader.GetExtractMode() == IArchiver::ExtractModePerEntryMemory) {
        // The reader guards its own calls.
        auto data = std::make_shared<CFileData>(GetEntryPath(index));
        reader.ExtractToMemory(static_cast<unsigned>(index), data->GetBytes());
        return data;
    }
    // Held while the file is read, so that no other thread writes it again meanwhile.
    std::lock_guard<std::mutex> lock(m_lock);
    EnsureExtractedLocked(index);
    auto data = std::make_shared<CFileData>(GetEntryTempPath(index));
    ReadFile(data->GetName(), data->GetBytes());
    return data;
}

void CArchive::EnsureExtracted(int index)
{
    Entry(index);
    std::lock_guard<std::mutex> lock(m_lock);
    EnsureExtractedLocked(index);
}

void CArchive::EnsureExtractedLocked(int index)
{
    IArchiver& reader = Reader();
    // Checked before every state shortcut: after a whole-archive extraction that failed, the
    // entry's path is read all the same, and a climbing name would read a file outside.
    reader.CheckArchiveEntryPath(static_cast<unsigned>(index), m_tempFolder.GetPath());
    // A whole-archive extraction that failed is not retried until the state is reset.
    if (m_wholeState < 0 || m_wholeState == Extracted)
        return;
    if (m_entryStates[index] == Extracted)
        return;
    if (reader.GetExtractMode() == IArchiver::ExtractModeWholeArchive) {
        m_wholeState = Extracting;
        try {
            reader.ExtractAllChecked(m_tempFolder.GetPath(), true);
            m_wholeState = Extracted;
        } catch (const std::exception&) {
            // The entries then fail when their files are read.
            m_wholeState = ExtractionFailed;
        }
        return;
    }
    try {
        m_tempFolder.Create();
        reader.ExtractToFile(static_cast<unsigned>(index), m_tempFolder.GetPath());
        m_entryStates[index] = Extracted;
    } catch (const std::exception&) {
        m_entryStates[index] = NotExtracted;
        throw;
    }
}

void CArchive::ResetExtractState()
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_wholeState = NotExtracted;
    m_entryStates.assign(GetEntryCount(), NotExtracted);
}

int CArchive::FindEntryIndex(const String& path) const
{
    const int prefixLength = m_pathPrefix.Length();
    if (!m_reader || path.Length() < prefixLength || path.Compare(0, m_pathPrefix, 0, prefixLength, 0) != 0)
        return -1;
    const String rest = CFileName::ToBackslashes(path.Substring(prefixLength));
    const int count = GetEntryCount();
    for (int i = 0; i < count; ++i) {
        if (CFileName::ToBackslashes(Entry(i).name) == rest)
            return i;
    }
    return -1;
}

CArchive::SEntryRef CArchive::FindEntry(const String& path) const
{
    const int index = FindEntryIndex(path);
    if (index >= 0)
        return SEntryRef{std::const_pointer_cast<CArchive>(weak_from_this().lock()), index};
    for (const std::shared_ptr<CArchive>& child : m_children) {
        const int childIndex = child->FindEntryIndex(path);
        if (childIndex >= 0)
            return SEntryRef{child, childIndex};
    }
    return SEntryRef{};
}

} // namespace Brivox
