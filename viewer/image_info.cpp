#include "viewer/image_info.h"

#include "document/document.h"
#include "foundation/file_name.h"
#include "foundation/string_builder.h"

using Brivox::CRect;
using Brivox::String;

std::vector<String> BuildImageInfoLines(CDocument& document, const CRect& viewSelection)
{
    const int current = document.GetCurrentIndex();
    const String path = document.GetEntryCopy(current)->GetPath();
    const Brivox::CSize size = document.GetPageSize();
    const CRect selection = viewSelection.Width() > 0 && viewSelection.Height() > 0
                                ? document.ViewRectToImage(viewSelection)
                                : CRect{0, 0, size.cx, size.cy};
    int colours = 0;
    COLORREF average = 0;
    if (const std::shared_ptr<Brivox::CPlane32> page = document.GetPagePlane()) {
        colours = page->CountColors(selection);
        average = page->AverageColor(selection);
    }
    const int red = GetRValue(average);
    const int green = GetGValue(average);
    const int blue = GetBValue(average);
    // The zoom in tenths of a percent, cut rather than rounded.
    const double zoom = static_cast<int>(document.GetLayout().GetScaleY() * 1000.0) * 0.1;
    return {
        Brivox::CFileName::GetDirectory(path),
        Brivox::CFileName::GetFileName(path),
        Brivox::FormatString(L"%d / %d (%d)", current + 1, document.GetFileCount(), document.CountMarked()),
        Brivox::FormatString(L"%d (KB)", static_cast<int>(document.GetCurrentFileSize() >> 10)),
        document.GetCurrentTimeText(),
        document.GetPageName(),
        Brivox::FormatString(L"%d x %d", size.cx, size.cy),
        Brivox::DoubleToString(zoom) + L"%",
        Brivox::FormatString(L"(%d, %d) - [%d x %d]", selection.left, selection.top, selection.Width(),
                             selection.Height()),
        Brivox::IntToString(colours),
        Brivox::FormatString(L"R, G, B = %d, %d, %d (#rrggbb = #%02x%02x%02x)", red, green, blue, red, green,
                             blue),
        document.GetCurrentMd5(),
    };
}
