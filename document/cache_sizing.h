#pragma once
// How many composed pages and decoded files the document keeps, from the memory available: pages
// first, then display copies and decoded files only while memory allows twice their share.

#include <cstdint>

struct SCacheSizingInput
{
    bool imageCache = true;    // "ImageCache": size from memory; otherwise a single page
    int baseWidth = 1024;      // "ImageCacheAutoBaseW": the page size one slot is reckoned for
    int baseHeight = 1536;     // "ImageCacheAutoBaseH"
    bool spread = true;        // "ImageSpreadView_" is not 0: a slot may hold two pages
    int paddingCenter = 0;     // "PaddingCenter": the gap between the two pages
    int autoMax = 6;           // "ImageCacheAutoMax": most slots, and the share of each extra
    bool displayCopies = true; // wanted: "StretchCaching" with a software draw mode
    bool loaderCaching = true; // wanted: "LoaderCaching"
};

struct SCacheSizing
{
    int ringSize = 1; // slots of the page ring, at least 1
    int lookAhead = 0;
    bool displayCopies = false;
    int loaderRing = 0; // decoded files kept; below 3 the loader keeps none
};

SCacheSizing ComputeCacheSizing(const SCacheSizingInput& input, std::uint64_t availableBytes);
