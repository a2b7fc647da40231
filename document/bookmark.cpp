#include "document/bookmark.h"

#include "document/file_list.h"
#include "foundation/encoding.h"
#include "foundation/exception.h"
#include "foundation/file_system.h"
#include "foundation/message_box.h"
#include "foundation/serialization.h"
#include "foundation/string_builder.h"
#include "foundation/text_file.h"

#include <utility>
#include <vector>

using Brivox::String;

namespace {

const wchar_t header[] = L"[knbookmark/ver:1]";
const wchar_t currentLabel[] = L"current:";
const wchar_t filesLabel[] = L"files:";
const wchar_t archivesLabel[] = L"archives:";

bool FitsOnOneLine(const String& path)
{
    return path.IndexOf(L'\r', 0, path.Length()) < 0 && path.IndexOf(L'\n', 0, path.Length()) < 0;
}

void AppendLine(Brivox::StringBuilder& text, const String& line)
{
    text.Append(line);
    text.Append(L"\r\n");
}

void AppendPaths(Brivox::StringBuilder& text, const std::vector<String>& paths)
{
    for (const String& path : paths) {
        if (FitsOnOneLine(path))
            AppendLine(text, path);
    }
}

} // namespace

bool AskToConvertBookmark(const String& path)
{
    const Brivox::Encoding& encoding = Brivox::GetDefaultEncoding();
    const String question = L"読み込まれたブックマークファイル '" + path +
                            L"' は古いファイル形式です。\r\n新しい形式に変換して上書き保存しますか？";
    return Brivox::ShowNarrowMessageBox(nullptr, encoding.ToMultiByte(question).c_str(),
                                        encoding.ToMultiByte(L"確認").c_str(),
                                        MB_YESNO | MB_ICONQUESTION | MB_SETFOREGROUND) == IDYES;
}

String FormatBookmarkText(const BookmarkContent& content)
{
    Brivox::StringBuilder text;
    AppendLine(text, header);
    AppendLine(text, currentLabel);
    AppendLine(text, FitsOnOneLine(content.current) ? content.current : String());
    AppendLine(text, filesLabel);
    AppendPaths(text, content.files);
    if (!content.archives.empty()) {
        AppendLine(text, archivesLabel);
        AppendPaths(text, content.archives);
    }
    return text.ToString();
}

bool ParseBookmarkText(const String& text, BookmarkContent& content)
{
    const std::vector<String> lines = text.Split(Brivox::MakeStringList(L"\r\n", L"\n", L"\r"));
    if (lines.size() < 4 || !(lines[0] == header) || !(lines[1] == currentLabel) || !(lines[3] == filesLabel))
        return false;
    BookmarkContent read;
    read.current = lines[2];
    std::vector<String>* target = &read.files;
    for (std::size_t i = 4; i < lines.size(); ++i) {
        if (lines[i].Length() == 0)
            continue;
        if (target == &read.files && lines[i] == archivesLabel)
            target = &read.archives;
        else
            target->push_back(lines[i]);
    }
    content = std::move(read);
    return true;
}

// ---- The list's bookmark operations

String CFileList::GetBookmarkText() const
{
    BookmarkContent content;
    if (m_current >= 0)
        content.current = CurrentEntry().GetPath();
    for (const CFileInfo& entry : m_entries)
        content.files.push_back(entry.GetPath());
    for (int i = 0; i < m_archives.GetArchiveCount(); ++i)
        content.archives.push_back(m_archives.GetArchivePath(i));
    return FormatBookmarkText(content);
}

void CFileList::SaveBookmark(const String& path) const
{
    const String text = GetBookmarkText();
    // A crash or a full disk leaves the old bookmark whole, never a cut one.
    Brivox::WriteFileReplacing(path,
                               [&](const String& temporary) { Brivox::WriteTextFile(temporary, text); });
}

bool CFileList::ReadBookmark(const String& path, String& current)
{
    BookmarkContent content;
    if (!ParseBookmarkText(Brivox::ReadTextFile(path), content))
        return false;
    // The archives first, so that one that no longer opens leaves the entries as they were.
    for (const String& archive : content.archives)
        m_archives.AddArchive(archive);
    ReplaceEntries(content.files, content.current);
    current = content.current;
    return true;
}

bool CFileList::ReadOldBookmark(const String& path, String& current)
{
    Brivox::CCompressRestorer source(path);
    std::vector<String> paths;
    source.ReadStringVector(paths);
    const String currentPath = source.ReadString();
    m_archives.Load(source);
    ReplaceEntries(paths, currentPath);
    current = currentPath;
    return true;
}

void CFileList::ReplaceEntries(const std::vector<String>& paths, const String& currentPath)
{
    m_entries.clear();
    for (const String& path : paths)
        m_entries.emplace_back(path, -1);
    // Keyed once linked, so that the size and time keys of archive entries come from the archive.
    ResolveArchiveEntries(0, GetCount());
    UpdateKeys(m_keyMode, 0, GetCount());
    m_current = m_entries.empty() ? -1 : IndexOf(currentPath);
}

void CFileList::OpenBookmark(const String& path)
{
    const bool old = LoadBookmark(path);
    try {
        if (old && AskToConvertBookmark(path))
            SaveBookmark(path);
    } catch (...) {
        Clear();
        throw;
    }
}

bool CFileList::LoadBookmark(const String& path)
{
    Clear();
    try {
        String current;
        bool old = false;
        if (!ReadBookmark(path, current)) {
            try {
                ReadOldBookmark(path, current);
            } catch (const std::exception&) {
                throw Brivox::RuntimeException(L"ブックマークファイル '" + path +
                                               L"' の読み込みに失敗しました");
            }
            old = true;
        }
        NotifyRefresh();
        return old;
    } catch (...) {
        Clear();
        throw;
    }
}
