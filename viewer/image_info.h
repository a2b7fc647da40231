#pragma once
// The facts of the page on show that the image-information dialog lists.

#include "foundation/geometry.h"
#include "foundation/string.h"

#include <vector>

class CDocument;

// The twelve lines in the order of the dialog's edits: folder, file name, list position, file
// size, last change, image kind, image size, zoom, selection, its colours, its average colour and
// the file's MD5. The selection is in view coordinates; an empty one stands for the whole page.
// The document must show a page; on the main window's thread.
std::vector<Brivox::String> BuildImageInfoLines(CDocument& document, const Brivox::CRect& viewSelection);
