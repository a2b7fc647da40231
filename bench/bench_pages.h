#pragma once
// Folders of benchmark photographs, made once and kept for later runs.

#include "bench_photo.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <windows.h>

inline void WriteBenchFile(const std::wstring& path, const std::vector<unsigned char>& bytes)
{
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    if (file == INVALID_HANDLE_VALUE ||
        !::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) {
        std::fprintf(stderr, "cannot write the pages\n");
        std::exit(1);
    }
    ::CloseHandle(file);
}

// `count` JPEG photographs of one size in the folder `root` + `name`, which is returned with its
// trailing "\"; pages already there are kept.
inline std::wstring MakeBenchPages(const std::wstring& root, const wchar_t* name, int count, int width,
                                   int height)
{
    ::CreateDirectoryW(root.c_str(), nullptr);
    const std::wstring folder = root + name + L"\\";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    std::printf("making %d pages of %d x %d ...\n", count, width, height);
    for (int i = 0; i < count; ++i) {
        const std::wstring path = folder + std::to_wstring(1000 + i) + L".jpg";
        if (::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES)
            WriteBenchFile(path, MakeBenchPhotoJpeg(width, height, static_cast<unsigned>(i)));
    }
    return folder;
}
