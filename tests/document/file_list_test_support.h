#pragma once
// What the file list tests share: a window that counts what the list tells it, and the entries'
// paths as the tests compare them.

#include "document/file_list.h"

#include <string>
#include <vector>

class ObserverRecord : public IFileListObserver
{
public:
    void Refresh() override { ++refreshes; }
    void UpdateRow(int index) override { rows.push_back(index); }

    int refreshes = 0;
    std::vector<int> rows;
};

inline std::wstring Wide(const Brivox::String& text)
{
    return std::wstring(text.CStr(), static_cast<std::size_t>(text.Length()));
}

// The entries' paths, relative to the root where they lie below it.
inline std::vector<std::wstring> RelativeEntries(const CFileList& list, const Brivox::String& root)
{
    std::vector<std::wstring> paths;
    for (int i = 0; i < list.GetCount(); ++i) {
        const std::wstring path = Wide(list.GetEntry(i).GetPath());
        paths.push_back(path.compare(0, root.Length(), root.CStr()) == 0 ? path.substr(root.Length()) : path);
    }
    return paths;
}
