#pragma once
// A file list window for the tests: counts what the list tells it.

#include "document/file_list.h"

#include <vector>

class ObserverRecord : public IFileListObserver
{
public:
    void Refresh() override { ++refreshes; }
    void UpdateRow(int index) override { rows.push_back(index); }

    int refreshes = 0;
    std::vector<int> rows;
};
