#pragma once
// The pages the viewer's tests open: PNG files of vertical colour bars, a folder of two, and a
// ZIP of the same files.

#include "formats/png_loader.h"
#include "formats/zip_fixture.h"
#include "foundation/file_name.h"
#include "foundation/win32.h"
#include "imaging/plane.h"
#include "viewer/app_window.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace ViewerFixtures {

constexpr COLORREF Red = RGB(255, 0, 0);
constexpr COLORREF Green = RGB(0, 255, 0);
constexpr COLORREF Blue = RGB(0, 0, 255);
constexpr COLORREF Yellow = RGB(255, 255, 0);

// Equal vertical bars, left to right, opaque.
inline void WriteBars(const std::wstring& path, int width, int height, const std::vector<COLORREF>& bars)
{
    Brivox::CMemoryPlane32 plane({width, height});
    {
        const Brivox::Detail::PlaneBitsLock bits(plane);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const COLORREF colour =
                    bars[static_cast<std::size_t>(x * static_cast<int>(bars.size()) / width)];
                std::uint8_t* pixel = bits.Pixel(x, y);
                pixel[0] = GetBValue(colour);
                pixel[1] = GetGValue(colour);
                pixel[2] = GetRValue(colour);
                pixel[3] = 0xFF;
            }
    }
    Brivox::CPngSaver().Save(path.c_str(), plane, {0, 0, width, height});
}

inline std::string ReadAll(const std::wstring& path)
{
    std::string bytes;
    if (FILE* file = ::_wfopen(path.c_str(), L"rb")) {
        char buffer[65536];
        std::size_t got;
        while ((got = std::fread(buffer, 1, sizeof(buffer), file)) > 0)
            bytes.append(buffer, got);
        std::fclose(file);
    }
    return bytes;
}

inline void WriteAll(const std::wstring& path, const std::string& bytes)
{
    FILE* file = ::_wfopen(path.c_str(), L"wb");
    ASSERT_NE(nullptr, file);
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
}

// p1.png (600 x 400: red, green, blue) and p2.png (600 x 400: yellow) in the folder, which ends
// with '\'.
inline void WriteTwoPages(const std::wstring& folder)
{
    ::CreateDirectoryW(folder.c_str(), nullptr);
    WriteBars(folder + L"p1.png", 600, 400, {Red, Green, Blue});
    WriteBars(folder + L"p2.png", 600, 400, {Yellow});
}

// The same two pages as a ZIP archive.
inline void WriteTwoPagesZip(const std::wstring& path, const std::wstring& scratchFolder)
{
    WriteTwoPages(scratchFolder);
    ZipFixture::Entry p1;
    p1.name = "p1.png";
    p1.data = ReadAll(scratchFolder + L"p1.png");
    ZipFixture::Entry p2;
    p2.name = "p2.png";
    p2.data = ReadAll(scratchFolder + L"p2.png");
    WriteAll(path, ZipFixture::Build({p1, p2}));
}

// Removes the settings and key files that a controller of this base name wrote beside the test
// program, so that the next test starts from the defaults.
inline void RemoveSettingsFiles(const wchar_t* baseName)
{
    for (const wchar_t* suffix : {L".cfg", L".key.cfg"})
        ::DeleteFileW(
            Brivox::CFileName::FromExecutableDirectory(Brivox::String(baseName) + suffix).ToString().CStr());
}

// Closes the main window as its close box would and waits until the window's thread has ended.
inline void CloseAndWait(CAppWindow& app)
{
    app.RunOnWindowThread([&] { app.GetWindow().Close(); });
    app.WaitUntilClosed();
}

// The built Kanoru2.exe. A path of the build host is named as Wine names it.
inline std::wstring Kanoru2Path()
{
    const std::string built = KANORU2_PATH;
    using DosName = wchar_t*(CDECL*)(const char*);
    if (!built.empty() && built[0] == '/') {
        const auto dosName = reinterpret_cast<DosName>(reinterpret_cast<void (*)()>(
            ::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "wine_get_dos_file_name")));
        if (dosName) {
            wchar_t* name = dosName(built.c_str());
            const std::wstring path = name ? name : L"";
            ::HeapFree(::GetProcessHeap(), 0, name);
            return path;
        }
    }
    return std::wstring(built.begin(), built.end());
}

} // namespace ViewerFixtures
