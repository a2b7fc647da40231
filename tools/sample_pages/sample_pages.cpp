#include "tools/sample_pages/sample_pages.h"

#include "formats/jpeg_loader.h"
#include "formats/png_loader.h"
#include "formats/zip_fixture.h"
#include "foundation/file.h"
#include "foundation/file_system.h"

#include <iterator>
#include <string>

namespace SamplePages {

using Brivox::String;

namespace {

// Digits of 5 × 7 cells, one row of five bits per entry, the leftmost cell in the highest bit:
// block figures need no font, so every machine draws them alike.
constexpr unsigned char DigitRows[10][7] = {
    {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}, {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E},
    {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}, {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E},
    {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}, {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E},
    {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}, {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08},
    {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}, {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}};
constexpr int Cell = 20;
constexpr int DigitGap = 2 * Cell;

String TwoDigits(int number)
{
    return String(std::to_wstring(number / 10 % 10) + std::to_wstring(number % 10));
}

void DrawNumber(Brivox::CPlane& plane, int number)
{
    const String digits = TwoDigits(number);
    const int width = digits.Length() * 5 * Cell + (digits.Length() - 1) * DigitGap;
    const int left = (PageSize.cx - width) / 2;
    const int top = BarHeight + (PageSize.cy - BarHeight - 7 * Cell) / 2;
    for (int d = 0; d < digits.Length(); ++d) {
        const int x0 = left + d * (5 * Cell + DigitGap);
        for (int row = 0; row < 7; ++row)
            for (int column = 0; column < 5; ++column)
                if (DigitRows[digits[d] - L'0'][row] & (0x10 >> column)) {
                    const int x = x0 + column * Cell, y = top + row * Cell;
                    plane.FillRect(NumberColour, {x, y, x + Cell, y + Cell});
                }
    }
}

std::string ReadFileBytes(const String& path)
{
    Brivox::CApiFile file(path, Brivox::CApiFile::ReadMode, Brivox::CApiFile::SequentialAccess);
    std::string bytes(static_cast<std::size_t>(file.GetSize()), '\0');
    file.Read(bytes.data(), static_cast<int>(bytes.size()));
    return bytes;
}

} // namespace

String PageFileName(int number)
{
    return L"page" + TwoDigits(number) + (number % 2 ? L".jpg" : L".png");
}

std::unique_ptr<Brivox::CMemoryPlane32> DrawPage(int number)
{
    auto plane = std::make_unique<Brivox::CMemoryPlane32>(PageSize);
    const int bars = static_cast<int>(std::size(BarColours));
    for (int k = 0; k < bars; ++k)
        plane->FillRect(BarColours[k], {k * PageSize.cx / bars, 0, (k + 1) * PageSize.cx / bars, BarHeight});
    plane->FillRect(BandColour, {0, BarHeight, PageSize.cx, PageSize.cy});
    DrawNumber(*plane, number);
    return plane;
}

SWritten WritePages(const String& folder)
{
    const String base = folder.EndsWith(L"\\") ? folder : folder + L"\\";
    SWritten written;
    written.pageFolder = base + L"pages\\";
    written.archive = base + L"pages.zip";
    Brivox::CreateDirectories(written.pageFolder);

    Brivox::CJpgSaver jpeg(90);
    Brivox::CPngSaver png;
    std::vector<ZipFixture::Entry> entries;
    for (int number = 1; number <= PageCount; ++number) {
        const String name = PageFileName(number);
        const String path = written.pageFolder + name;
        const auto page = DrawPage(number);
        Brivox::IImageSaver& saver = number % 2 ? static_cast<Brivox::IImageSaver&>(jpeg) : png;
        saver.Save(path, *page, {0, 0, PageSize.cx, PageSize.cy});
        written.pageFiles.push_back(path);
        // Stored, not deflated: the pages are compressed already.
        ZipFixture::Entry entry;
        entry.name.assign(name.CStr(), name.CStr() + name.Length());
        entry.data = ReadFileBytes(path);
        entries.push_back(entry);
    }

    const std::string archive = ZipFixture::Build(entries);
    Brivox::WriteFileReplacing(written.archive, [&](const String& temporary) {
        Brivox::CApiFile file(temporary, Brivox::CApiFile::WriteMode, Brivox::CApiFile::SequentialAccess);
        file.Write(archive.data(), static_cast<int>(archive.size()));
        file.Close();
    });
    return written;
}

} // namespace SamplePages
