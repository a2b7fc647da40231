#pragma once
// The facts of the page on show that the image-information dialog lists.

#include "foundation/geometry.h"
#include "foundation/string.h"
#include "foundation/win32.h"

#include <vector>

class CDocument;

// What the dialog's lines are made of, read from the document.
struct SImageInfoFacts
{
    Brivox::String path;
    int index = 0; // from 0
    int count = 0;
    int marked = 0;
    unsigned fileSize = 0;
    Brivox::String time;
    Brivox::String pageName;
    Brivox::CSize size{0, 0};
    double scale = 1.0;      // the layout's vertical scale
    Brivox::CRect selection; // in page pixels
    int colours = 0;         // distinct colours of the selection
    COLORREF average = 0;    // the selection's average colour
    Brivox::String md5;
};

// The twelve lines in the order of the dialog's edits: folder, file name, list position, file
// size, last change, image kind, image size, zoom, selection, its colours, its average colour and
// the file's MD5.
std::vector<Brivox::String> FormatImageInfoLines(const SImageInfoFacts& facts);

// The facts of the page on show. The selection is in view coordinates; an empty one stands for the
// whole page. The document must show a page; on the main window's thread.
SImageInfoFacts GatherImageInfoFacts(CDocument& document, const Brivox::CRect& viewSelection);

inline std::vector<Brivox::String> BuildImageInfoLines(CDocument& document,
                                                       const Brivox::CRect& viewSelection)
{
    return FormatImageInfoLines(GatherImageInfoFacts(document, viewSelection));
}
