#pragma once
// Pages to look at without any picture of one's own: numbered colour bars, written with the
// program's own encoders as JPEG and PNG files, and a ZIP archive of the same files.

#include "foundation/geometry.h"
#include "foundation/string.h"
#include "foundation/win32.h"
#include "imaging/plane.h"

#include <memory>
#include <vector>

namespace SamplePages {

constexpr int PageCount = 6;
constexpr Brivox::CSize PageSize{800, 600};
// The bars fill the page's top part, left to right; the number stands in the band below.
constexpr int BarHeight = 400;
constexpr COLORREF BarColours[] = {RGB(255, 255, 255), RGB(255, 255, 0), RGB(0, 255, 255), RGB(0, 255, 0),
                                   RGB(255, 0, 255),   RGB(255, 0, 0),   RGB(0, 0, 255),   RGB(0, 0, 0)};
constexpr COLORREF BandColour = RGB(0x30, 0x30, 0x30);
constexpr COLORREF NumberColour = RGB(255, 255, 255);

// "page01.jpg", "page02.png", ...: odd pages JPEG, even pages PNG.
Brivox::String PageFileName(int number);
// The page as drawn, before encoding.
std::unique_ptr<Brivox::CMemoryPlane32> DrawPage(int number);

struct SWritten
{
    Brivox::String pageFolder;             // the pages, ending with '\'
    std::vector<Brivox::String> pageFiles; // in page order
    Brivox::String archive;                // the ZIP of the same files
};
// Writes folder\pages\ and folder\pages.zip, making the folders as needed and replacing what is
// there; `folder` may end with '\' or not.
SWritten WritePages(const Brivox::String& folder);

} // namespace SamplePages
