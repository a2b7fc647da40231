#include "document/history.h"

#include "document/file_list.h"
#include "foundation/file_name.h"
#include "foundation/file_system.h"
#include "foundation/temp_file.h"
#include "foundation/text_file.h"

#include <algorithm>

using Brivox::String;

namespace {

// Moves each older file one number up, the oldest of the series out of it.
void RotateHistory(const String& folder, int count)
{
    if (!Brivox::FileExists(GetHistoryFilePath(folder, 0)))
        return;
    const String oldest = GetHistoryFilePath(folder, count - 1);
    if (Brivox::FileExists(oldest))
        Brivox::DeleteTree(oldest, false);
    for (int number = count - 2; number >= 0; --number) {
        const String file = GetHistoryFilePath(folder, number);
        if (Brivox::FileExists(file))
            Brivox::MoveTree(file, GetHistoryFilePath(folder, number + 1));
    }
}

} // namespace

String GetHistoryFolder(const String& historyDir)
{
    return Brivox::CFileName::FromExecutableDirectory(historyDir).WithSeparator();
}

String GetHistoryFilePath(const String& folder, int number)
{
    return Brivox::CFileName::AppendSeparator(folder) + Brivox::FormatString(L"%02d.knb", number);
}

void WriteHistory(const CFileList& list, const String& folder, int count)
{
    // A list without a current entry has nothing worth reopening.
    if (count <= 0 || list.GetCurrent() < 0)
        return;
    const String text = list.GetBookmarkText();
    Brivox::WriteFileReplacing(GetHistoryFilePath(folder, 0), [&](const String& temporary) {
        Brivox::WriteTextFile(temporary, text);
        RotateHistory(folder, count);
    });
}

std::unique_ptr<Brivox::CTempFile> TakeHistoryFile(const String& folder, int number)
{
    auto taken = std::make_unique<Brivox::CTempFile>(Brivox::CFileName::AppendSeparator(folder), L"", L"knb");
    taken->MoveFrom(GetHistoryFilePath(folder, number));
    return taken;
}

void CloseHistoryGaps(const String& folder, int count)
{
    int next = 0;
    for (int number = 0; number < count; ++number) {
        const String file = GetHistoryFilePath(folder, number);
        if (!Brivox::FileExists(file))
            continue;
        if (number != next)
            Brivox::MoveTree(file, GetHistoryFilePath(folder, next));
        ++next;
    }
}

void TrimHistory(const String& folder, int from, int to)
{
    for (int number = std::max(from, 0); number < to; ++number) {
        const String file = GetHistoryFilePath(folder, number);
        if (Brivox::FileExists(file))
            Brivox::DeleteTree(file, false);
    }
}
