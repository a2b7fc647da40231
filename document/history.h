#pragma once
// The history: a numbered series of text bookmarks, "00.knb" the newest, "01.knb" the one before
// and so on, kept in one folder to a configured count. The document writes a new newest file
// whenever it closes with a page on show and reopens an entry by moving it out of the series.
// These run under the document lock; failures pass on as IOException for the document to report.

#include "foundation/string.h"

#include <memory>

class CFileList;

namespace Brivox {
class CTempFile;
}

// The history folder setting made absolute against the program folder, ending with '\'.
Brivox::String GetHistoryFolder(const Brivox::String& historyDir);
// The file numbered `number` in the folder: "%02d.knb".
Brivox::String GetHistoryFilePath(const Brivox::String& folder, int number);

// Saves the list as the new "00.knb" of a series of at most `count` files, making the folder when
// missing; nothing happens for a count of 0 or less or a list without a current entry. When "00.knb" exists,
// the file numbered count - 1 is deleted and each older file moves one number up first. The bookmark is
// complete in a temporary file before the series changes, so a failed write leaves the series as it was.
void WriteHistory(const CFileList& list, const Brivox::String& folder, int count);

// Moves history file `number` to a temporary name in the folder, out of the reach of any rotation;
// the file is deleted with the returned object. Throws when the file cannot be moved.
std::unique_ptr<Brivox::CTempFile> TakeHistoryFile(const Brivox::String& folder, int number);

// Renumbers the files of numbers 0 to count - 1 that exist from "00.knb" on, in their order, so
// that the series has no gap.
void CloseHistoryGaps(const Brivox::String& folder, int count);

// Deletes the files numbered from `from` (at least 0) to `to` - 1 where they exist: those that a
// lowered count no longer keeps.
void TrimHistory(const Brivox::String& folder, int from, int to);
