#include "viewer/image_info.h"

#include "document/document.h"
#include "foundation/file_name.h"
#include "foundation/string_builder.h"

using Brivox::CRect;
using Brivox::String;

SImageInfoFacts GatherImageInfoFacts(CDocument& document, const CRect& viewSelection)
{
    SImageInfoFacts facts;
    facts.index = document.GetCurrentIndex();
    facts.path = document.GetEntryCopy(facts.index)->GetPath();
    facts.count = document.GetFileCount();
    facts.marked = document.CountMarked();
    facts.fileSize = document.GetCurrentFileSize();
    facts.time = document.GetCurrentTimeText();
    facts.pageName = document.GetPageName();
    facts.size = document.GetPageSize();
    facts.scale = document.GetLayout().GetScaleY();
    facts.selection = viewSelection.Width() > 0 && viewSelection.Height() > 0
                          ? document.ViewRectToImage(viewSelection)
                          : CRect{0, 0, facts.size.cx, facts.size.cy};
    if (const std::shared_ptr<Brivox::CPlane32> page = document.GetPagePlane()) {
        facts.colours = page->CountColors(facts.selection);
        facts.average = page->AverageColor(facts.selection);
    }
    facts.md5 = document.GetCurrentMd5();
    return facts;
}

std::vector<String> FormatImageInfoLines(const SImageInfoFacts& facts)
{
    const int red = GetRValue(facts.average);
    const int green = GetGValue(facts.average);
    const int blue = GetBValue(facts.average);
    // The zoom in tenths of a percent, cut rather than rounded.
    const double zoom = static_cast<int>(facts.scale * 1000.0) * 0.1;
    const CRect& selection = facts.selection;
    return {
        Brivox::CFileName::GetDirectory(facts.path),
        Brivox::CFileName::GetFileName(facts.path),
        Brivox::FormatString(L"%d / %d (%d)", facts.index + 1, facts.count, facts.marked),
        Brivox::FormatString(L"%d (KB)", static_cast<int>(facts.fileSize >> 10)),
        facts.time,
        facts.pageName,
        Brivox::FormatString(L"%d x %d", facts.size.cx, facts.size.cy),
        Brivox::DoubleToString(zoom) + L"%",
        Brivox::FormatString(L"(%d, %d) - [%d x %d]", selection.left, selection.top, selection.Width(),
                             selection.Height()),
        Brivox::IntToString(facts.colours),
        Brivox::FormatString(L"R, G, B = %d, %d, %d (#rrggbb = #%02x%02x%02x)", red, green, blue, red, green,
                             blue),
        facts.md5,
    };
}
