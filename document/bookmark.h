#pragma once
// Bookmark files, which save a file list so that it opens again as it was: the text form (UTF-16LE
// with a byte-order mark, CR LF after every line) that is written, and the older compressed form
// that is only read. The list's own bookmark operations (declared with CFileList) are defined
// here beside the format.
//
// Text form: "[knbookmark/ver:1]", "current:", the current path, "files:", one line per entry,
// then, only when archives are open, "archives:" and one line per archive.

#include "foundation/string.h"

#include <vector>

struct BookmarkContent
{
    Brivox::String current;
    std::vector<Brivox::String> files;
    std::vector<Brivox::String> archives;
};

// The file's text. A path holding CR or LF cannot stand on a line of its own: it is left out,
// and such a current path is written as an empty line.
Brivox::String FormatBookmarkText(const BookmarkContent& content);
// False when the text does not begin with the header lines of the text form (lines 1, 2 and 4,
// compared exactly); a text of fewer than four lines is not one either. Lines end at CR LF, LF or
// CR; empty lines among the paths are skipped.
[[nodiscard]] bool ParseBookmarkText(const Brivox::String& text, BookmarkContent& content);

// Asks the user, in a box without owner window, whether the old bookmark at path is to be
// rewritten in the text form.
[[nodiscard]] bool AskToConvertBookmark(const Brivox::String& path);
