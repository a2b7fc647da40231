#include "document/document.h"

#include "document/bookmark.h"
#include "document/cache_sizing.h"
#include "document/history.h"
#include "formats/archiver_dll.h"
#include "foundation/encoding.h"
#include "foundation/fake_deleter.h"
#include "foundation/file_name.h"
#include "foundation/numeric.h"
#include "foundation/system_info.h"
#include "foundation/temp_file.h"
#include "imaging/plane_clip.h"
#include "imaging/plane_factory.h"
#include "settings/filter_settings.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <exception>

using Brivox::CPoint;
using Brivox::CRect;
using Brivox::CSize;
using Brivox::String;

namespace {

// One pool of page planes for the process: it outlives every document and keeps a few planes
// with their storage for the next pages.
Brivox::CDibPlaneFactory32& PlaneFactory()
{
    static Brivox::CDibPlaneFactory32 factory;
    return factory;
}

Brivox::SFontDesc MarkFont()
{
    Brivox::SFontDesc font;
    font.faceName = L"ＭＳ ゴシック";
    font.height = 16;
    font.weight = 700;
    font.colour = RGB(255, 85, 136);
    font.effect = 2; // outlined
    font.effectOffset = 1;
    font.effectColour = RGB(0, 0, 0);
    font.flags = 0;
    return font;
}

std::vector<String> SplitAtSemicolons(const String& text)
{
    return text.Split(Brivox::MakeCharList(L';'));
}

const wchar_t* const unknownImageName = L"不明な画像";

String MessageOf(const std::exception& error)
{
    return Brivox::GetDefaultEncoding().ToString(error.what());
}

} // namespace

SMemoryProbe SMemoryProbe::System()
{
    return {[] { return Brivox::GetMemoryStatus().availablePhysical; },
            [] { return static_cast<std::uint64_t>(Brivox::GetProcessMemoryUsage().workingSetSize); }};
}

bool CDocument::SFileID::Equals(const IFileID& other) const
{
    const auto* id = dynamic_cast<const SFileID*>(&other);
    if (!id)
        return false;
    return id->entry == entry || id->entry->GetPath() == entry->GetPath();
}

// The document is busy for the scope's life; scopes nest.
class CDocument::CBusyScope
{
public:
    explicit CBusyScope(CDocument& document) : m_document(document) { ++m_document.m_busy; }
    ~CBusyScope() { --m_document.m_busy; }
    CBusyScope(const CBusyScope&) = delete;
    CBusyScope& operator=(const CBusyScope&) = delete;

private:
    CDocument& m_document;
};

CDocument::CDocument(IDocView* view, Brivox::IQueryArchivePassword* fallbackPasswordQuery,
                     IFileListObserver* fileListWindow, Brivox::CConfig* settings, SMemoryProbe memoryProbe)
    : m_view(view), m_settings(settings), m_passwords(fallbackPasswordQuery),
      m_fileList(Brivox::SArchiverContext{this, this}),
      m_layout(std::make_shared<Brivox::AutoStretchingLayout>()), m_markRenderer(MarkFont()),
      m_memoryProbe(std::move(memoryProbe))
{
    m_fileList.SetWindow(fileListWindow);
    m_imageLoader = std::make_unique<Brivox::ThreadedImageLoader>(
        std::shared_ptr<Brivox::ThreadedImageLoader::IOwner>(this, Brivox::Detail::FakeDeleter()));
    try {
        ApplySettings(false);
    } catch (...) {
        // The members go without the destructor: the workers must end first.
        Stop();
        m_imageLoader.reset();
        throw;
    }
}

CDocument::~CDocument()
{
    // A duplicate still being made reports through the view.
    m_fileList.WaitForCopies();
    try {
        // A preview still open does not keep the history from being written.
        if (m_busy == 0)
            CloseDocument(false);
    } catch (...) {
        // A destructor reports nothing; the list is empty either way.
    }
    // The workers call back into the members until they have ended.
    Stop();
    m_imageLoader.reset();
    // An archiver DLL may still extract in the background into folders that go with the list.
    for (auto* dll : {&Brivox::GetUnZipDll, &Brivox::GetUnRarDll, &Brivox::Get7ZipDll, &Brivox::GetUnGcaDll,
                      &Brivox::GetUnLhaDll}) {
        Brivox::CArchiverDll& archiver = dll();
        if (archiver.IsLoaded())
            archiver.WaitNotRunning(10);
    }
}

// ----------------------------------------------------------------------------------------------
// Settings

void CDocument::ReadSettingsInto(SSettings& settings) const
{
    const Brivox::CConfig& config = *m_settings;
    settings.fileSizeLimit = config.GetBool(L"FileSizeLimit");
    settings.fileSizeLimitMin = config.GetDouble(L"FileSizeLimitMin");
    settings.fileSizeLimitMax = config.GetDouble(L"FileSizeLimitMax");
    settings.imageSizeLimit = config.GetBool(L"ImageSizeLimit");
    settings.imageSizeLimitX = config.GetDouble(L"ImageSizeLimitPixel.cx");
    settings.imageSizeLimitY = config.GetDouble(L"ImageSizeLimitPixel.cy");
    settings.imageSizeLimitByArea = config.GetBool(L"ImageSizeLimitCmpArea");
    settings.spreadView = config.GetInt(L"ImageSpreadView_");
    settings.paddingCenter = config.GetInt(L"PaddingCenter");
    settings.reduceOnLoad = config.GetBool(L"ReduceOnLoad");
    settings.reduceOnLoadSize = config.GetSize(L"ReduceOnLoadSize");
    settings.reduceOnLoadBySpace = config.GetBool(L"ReduceOnLoadBySpace");
    settings.filters = ReadFilterSettings(config);
    settings.clearType = config.GetBool(L"ClearType");
    settings.drawMode = GetDrawMode();
    settings.background = config.GetRGB(L"DrawBgColor");
}

void CDocument::PublishSettings(const std::function<void(SSettings&)>& change)
{
    auto settings = std::make_shared<SSettings>();
    {
        std::lock_guard<std::mutex> lock(m_settingsLock);
        if (m_settingsSnapshot)
            *settings = *m_settingsSnapshot;
    }
    change(*settings);
    std::lock_guard<std::mutex> lock(m_settingsLock);
    m_settingsSnapshot = std::move(settings);
}

std::shared_ptr<const CDocument::SSettings> CDocument::GetSettingsSnapshot() const
{
    std::lock_guard<std::mutex> lock(m_settingsLock);
    return m_settingsSnapshot;
}

int CDocument::GetDrawMode() const
{
    return m_previewOpen ? 0 : m_settings->GetInt(L"DrawMode_");
}

bool CDocument::LinkFirstAndLast() const
{
    return m_settings->GetBool(L"LinkFirstAndLast");
}

std::uint64_t CDocument::GetAvailableMemory()
{
    const std::uint64_t workingSet = m_memoryProbe.workingSet();
    if (!m_workingSetKnown) {
        m_workingSetBaseline = workingSet;
        m_workingSetKnown = true;
    }
    // What this process took since the first call is memory the caches already hold.
    const std::int64_t grown = static_cast<std::int64_t>(workingSet - m_workingSetBaseline);
    const std::int64_t available = static_cast<std::int64_t>(m_memoryProbe.availablePhysical()) + grown;
    return available > 0 ? static_cast<std::uint64_t>(available) : 0;
}

void CDocument::ApplyFilterSettings()
{
    PublishSettings([this](SSettings& settings) { settings.filters = ReadFilterSettings(*m_settings); });
}

void CDocument::ApplySettings(bool refresh)
{
    const Brivox::CConfig& config = *m_settings;

    const int oldKeyMode = m_fileList.GetKeyMode();
    {
        DocumentLock lock(m_lock);
        const String tempRoot = Brivox::CFileName::AppendSeparator(config.GetRaw(L"TmpDir")) + L"$Kanoru$/";
        m_fileList.PushTempFolder(Brivox::CFileName::FromExecutableDirectory(tempRoot));
        m_fileList.SetKeyMode(config.GetInt(L"SortMode"));
    }

    SCacheSizingInput input;
    input.imageCache = config.GetBool(L"ImageCache");
    input.baseWidth = config.GetInt(L"ImageCacheAutoBaseW");
    input.baseHeight = config.GetInt(L"ImageCacheAutoBaseH");
    input.spread = config.GetInt(L"ImageSpreadView_") != 0;
    input.paddingCenter = config.GetInt(L"PaddingCenter");
    input.autoMax = config.GetInt(L"ImageCacheAutoMax");
    input.displayCopies = config.GetBool(L"StretchCaching") && GetDrawMode() > 1;
    input.loaderCaching = config.GetBool(L"LoaderCaching");
    const SCacheSizing sizing = ComputeCacheSizing(input, input.imageCache ? GetAvailableMemory() : 0);
    m_displayCopiesInUse = sizing.displayCopies;
    // The workers compose with the new settings from the next page on.
    PublishSettings([&](SSettings& settings) {
        ReadSettingsInto(settings);
        settings.displayCopies = sizing.displayCopies;
    });

    // The ring's shape changes only on this thread.
    const bool resized =
        static_cast<int>(m_slots.size()) != sizing.ringSize || m_lookAhead != sizing.lookAhead;
    SetCacheSize(sizing.ringSize, sizing.lookAhead);
    m_imageLoader->SetCacheSize(sizing.loaderRing);
    // A new order puts other files beside the current one: the pages read ahead no longer fit.
    if (!resized && oldKeyMode != -1 && oldKeyMode != m_fileList.GetKeyMode())
        Reset();

    const int stretchType = config.GetInt(L"DrawStretchType");
    if (stretchType > 3) {
        m_layout = std::make_shared<Brivox::FixedStretchingLayout>(config.GetDouble(L"DrawStretchRate"));
    } else {
        auto layout = std::make_shared<Brivox::AutoStretchingLayout>();
        layout->SetShrinkAllowed(stretchType == 1 || (stretchType != 2 && stretchType != 3));
        layout->SetEnlargeAllowed(stretchType == 1 || stretchType == 2);
        layout->SetStickOut(config.GetBool(L"DrawStickOut"));
        m_layout = layout;
    }
    if (HasPageImage()) {
        const CSize size = GetPageSize();
        m_layout->SetImageRect({0, 0, size.cx, size.cy});
    }
    // The new layout has no view rectangle yet: the stored view size gives it one.
    m_layout->SetViewRect({});
    UpdatePadding(m_viewSize);
    PublishSettings([this](SSettings& settings) { settings.layout = m_layout->Clone(); });

    m_background = config.GetRGB(L"DrawBgColor");
    m_passwords.SetStoredPasswords(config.GetString(L"ArcPassAutoTry"));
    const int historyMax = config.GetInt(L"HistoryMax");
    if (m_historyCount >= 0 && historyMax < m_historyCount)
        TrimHistory(HistoryFolder(), historyMax, m_historyCount);
    m_historyCount = historyMax;

    if (refresh)
        Refresh();
}

// ----------------------------------------------------------------------------------------------
// The ring's operations

std::shared_ptr<Brivox::CPlane32> CDocument::NewPlane()
{
    return PlaneFactory().Create();
}

std::shared_ptr<Brivox::CPlane32> CDocument::NewPlaneSized(const CSize& size)
{
    auto plane = NewPlane();
    plane->Resize(size);
    return plane;
}

std::shared_ptr<Brivox::CPageLoaderBase::IPageData> CDocument::CreatePageData()
{
    auto page = std::make_shared<SPageData>();
    // A pooled plane comes with another page's pixels: an empty slot shows nothing.
    page->plane = NewPlaneSized({0, 0});
    return page;
}

void CDocument::ReleasePage(IPageData& page)
{
    auto& data = static_cast<SPageData&>(page);
    {
        DocumentLock lock(m_lock);
        m_fileList.SetState(data.first, 0);
        m_fileList.SetState(data.second, 0);
    }
    data.displayCopy.reset();
    // A composition of this slot that fails later must not show the page it held before. The
    // magnifier may be drawing from this very plane.
    std::lock_guard<std::mutex> drawing(m_drawLock);
    data.plane->Resize({0, 0});
}

std::shared_ptr<Brivox::CPageLoaderBase::ILoadData> CDocument::CreateLoadData(IPageData& page)
{
    const auto& data = static_cast<const SPageData&>(page);
    {
        DocumentLock lock(m_lock);
        if (m_fileList.GetCurrent() < 0)
            return nullptr;
    }
    if (data.first < 0 && data.second < 0)
        return nullptr;
    auto load = std::make_shared<SLoadData>();
    load->first = data.first;
    load->second = data.second;
    load->plane = NewPlane();
    return load;
}

void CDocument::CommitPage(IPageData& page, ILoadData& load)
{
    auto& data = static_cast<SPageData&>(page);
    auto& result = static_cast<SLoadData&>(load);
    {
        DocumentLock lock(m_lock);
        if (result.first >= 0)
            m_fileList.SetState(result.first, 2);
        if (result.second >= 0)
            m_fileList.SetState(result.second, 2);
    }
    data.plane = result.plane;
    data.displayCopy = result.displayCopy;
    data.name = result.name;
    data.alpha = result.alpha;
    data.filtered = result.filtered;
    data.first = result.first;
    data.second = result.second;
}

void CDocument::AssignCurrentPage(IPageData& page)
{
    auto& data = static_cast<SPageData&>(page);
    DocumentLock lock(m_lock);
    const int current = m_fileList.GetCurrent();
    data.first = current;
    data.second = -1;
    if (current >= 0)
        PrefetchAround(current);
}

void CDocument::AssignNextPage(IPageData& page, IPageData& before)
{
    auto& data = static_cast<SPageData&>(page);
    const auto& previous = static_cast<const SPageData&>(before);
    // Read before writing: a ring of one slot is its own neighbour.
    const int i = previous.second >= 0 ? previous.second : previous.first;
    DocumentLock lock(m_lock);
    data.second = -1;
    if (m_fileList.GetCurrent() < 0) {
        data.first = -1;
        return;
    }
    int next = i + 1;
    if (i < 0 || next >= m_fileList.GetCount())
        next = 0;
    data.first = next;
    PrefetchAround(next);
}

void CDocument::AssignPrevPage(IPageData& page, IPageData& after)
{
    auto& data = static_cast<SPageData&>(page);
    const auto& following = static_cast<const SPageData&>(after);
    const int i = following.first;
    DocumentLock lock(m_lock);
    data.first = -1;
    if (m_fileList.GetCurrent() < 0) {
        data.second = -1;
        return;
    }
    int prev = i - 1;
    if (i < 0 || prev < 0)
        prev = m_fileList.GetCount() - 1;
    data.second = prev;
    PrefetchAround(prev);
}

void CDocument::OnPageMoved()
{
    m_pageMoved = true;
}

void CDocument::PrefetchAround(int start)
{
    // Called by the ring's assignments, which hold the ring's lock: its shape is stable here.
    DocumentLock lock(m_lock);
    const int count = m_fileList.GetCount();
    if (count == 0)
        return;
    const int slots = static_cast<int>(m_slots.size());
    int forward = 2 * m_lookAhead;
    int backward = 2 * (slots - m_lookAhead) - 2;
    const auto settings = GetSettingsSnapshot();
    if (settings && settings->spreadView != 0) {
        forward *= 2;
        backward *= 2;
    }
    auto enqueue = [&](int i) {
        m_imageLoader->Enqueue(
            std::make_shared<SFileID>(m_fileList.GetEntryCopy(Brivox::PositiveModulo(i, count))));
    };
    for (int i = start; i < start + forward; ++i)
        enqueue(i);
    for (int i = start - 1; i >= start - backward; --i)
        enqueue(i);
}

// ----------------------------------------------------------------------------------------------
// The image loader's owner and the password chain

std::shared_ptr<Brivox::CImageLoader> CDocument::CreateImageLoader()
{
    return std::make_shared<Brivox::CImageLoader>();
}

std::shared_ptr<Brivox::CFileData> CDocument::GetFileData(const Brivox::ThreadedImageLoader::IFileID& key)
{
    return static_cast<const SFileID&>(key).entry->GetFileData();
}

bool CDocument::Query(const String& archivePath, String& password, int attempt)
{
    return m_passwords.Query(archivePath, password, attempt);
}

// ----------------------------------------------------------------------------------------------
// Composition

bool CDocument::CheckFileSizeLimit(std::int64_t size, const SSettings& settings)
{
    if (!settings.fileSizeLimit)
        return true;
    if (size < 0)
        return false;
    const double bytes = static_cast<double>(size);
    return settings.fileSizeLimitMin * 1024 <= bytes && bytes <= settings.fileSizeLimitMax * 1024;
}

bool CDocument::CheckImageSizeLimit(const Brivox::CImageLoader& decoder, const SSettings& settings)
{
    if (!settings.imageSizeLimit)
        return true;
    const CSize size = decoder.GetSize();
    const double width = size.cx;
    const double height = size.cy;
    // A lower bound: small images (icons, spacers) are skipped.
    if (settings.imageSizeLimitByArea &&
        width * height <= settings.imageSizeLimitX * settings.imageSizeLimitY)
        return false;
    return !(width <= settings.imageSizeLimitX && height <= settings.imageSizeLimitY);
}

bool CDocument::LoadFileAt(std::shared_ptr<Brivox::ThreadedImageLoader::SEntry>& decoder, int& index,
                           bool forward, const SSettings& settings, bool wrap)
{
    int tries;
    {
        DocumentLock lock(m_lock);
        tries = m_fileList.GetCount();
    }
    for (; tries > 0; --tries) {
        try {
            std::shared_ptr<SFileID> key;
            {
                DocumentLock lock(m_lock);
                const int count = m_fileList.GetCount();
                if (count == 0 || (!wrap && (index < 0 || index >= count)))
                    return false;
                index = Brivox::PositiveModulo(index, count);
                const CFileInfo& entry = m_fileList.GetEntry(index);
                // The size is read only when it matters: it may mean a call to the file system.
                if (entry.GetPath().Length() > 0 &&
                    (!settings.fileSizeLimit ||
                     CheckFileSizeLimit(static_cast<std::int32_t>(entry.GetSize()), settings))) {
                    m_fileList.SetState(index, 1);
                    key = std::make_shared<SFileID>(m_fileList.GetEntryCopy(index));
                }
            }
            if (key) {
                auto found = m_imageLoader->Get(key);
                if (found && found->decoder) {
                    std::lock_guard<Brivox::RankedMutex> entryLock(found->lock);
                    if (CheckImageSizeLimit(*found->decoder, settings)) {
                        decoder = std::move(found);
                        return true;
                    }
                }
            }
        } catch (const std::exception&) {
            // The file is skipped like one that failed to decode.
        }
        DocumentLock lock(m_lock);
        m_fileList.SetState(index, -1);
        const int count = m_fileList.GetCount();
        if (count == 0)
            return false;
        index += forward ? 1 : -1;
        if (index < 0 || index >= count) {
            if (!wrap)
                return false;
            index = forward ? 0 : count - 1;
        }
    }
    return false;
}

namespace {

struct SDecodedImage
{
    std::shared_ptr<Brivox::ThreadedImageLoader::SEntry> entry;
    int index = -1;
    CSize size;
};

CSize SizeOf(Brivox::ThreadedImageLoader::SEntry& entry)
{
    std::lock_guard<Brivox::RankedMutex> entryLock(entry.lock);
    return entry.decoder->GetSize();
}

// Draws the decoder's image at the point; a decoder failing half-way leaves the rest of its area
// as it was (the background), and the page goes on.
bool Draw(Brivox::ThreadedImageLoader::SEntry& entry, Brivox::CPlane32& plane, CPoint point)
{
    std::lock_guard<Brivox::RankedMutex> entryLock(entry.lock);
    try {
        entry.decoder->Load(plane, point);
    } catch (const std::exception&) {
    }
    try {
        return entry.decoder->HasAlpha();
    } catch (const std::exception&) {
        return false;
    }
}

// The largest display copy made: beyond it the page is stretched as it is drawn.
constexpr std::int64_t maxDisplayCopyPixels = std::int64_t{1} << 25;

} // namespace

bool CDocument::LoadPage(ILoadData& load)
{
    try {
        auto& data = static_cast<SLoadData&>(load);
        const auto settings = GetSettingsSnapshot();
        const bool forward = data.first >= 0;
        SDecodedImage primary;
        primary.index = forward ? data.first : data.second;
        data.displayCopy.reset();
        data.filtered = false;
        if (!LoadFileAt(primary.entry, primary.index, forward, *settings)) {
            // Nothing in the list can be shown: an empty page, which still counts as loaded.
            data.plane->Resize({0, 0});
            data.first = -1;
            data.second = -1;
            data.alpha = false;
            data.name = String();
            return true;
        }
        {
            std::lock_guard<Brivox::RankedMutex> entryLock(primary.entry->lock);
            try {
                data.name = primary.entry->decoder->GetFormatName();
            } catch (const std::exception&) {
                data.name = unknownImageName;
            }
        }
        primary.size = SizeOf(*primary.entry);

        // A portrait page looks for a portrait partner of nearly its height beside it, never
        // across the end of the list.
        SDecodedImage partner;
        bool spread = false;
        if (settings->spreadView != 0 && primary.size.cx < primary.size.cy) {
            partner.index = primary.index + (forward ? 1 : -1);
            if (LoadFileAt(partner.entry, partner.index, forward, *settings, false) &&
                partner.index != primary.index) {
                partner.size = SizeOf(*partner.entry);
                spread =
                    partner.size.cx < partner.size.cy && std::abs(primary.size.cy - partner.size.cy) <= 15;
                if (!spread) {
                    // Decoded but not shown: the list shows it as not loaded.
                    DocumentLock lock(m_lock);
                    m_fileList.SetState(partner.index, 0);
                }
            }
        }

        const int gap = std::max(settings->paddingCenter, 0);
        const CSize composed = spread ? CSize{primary.size.cx + gap + partner.size.cx,
                                              std::max(primary.size.cy, partner.size.cy)}
                                      : primary.size;
        CSize reduced;
        const bool reduce = GetReducedSize(composed, *settings, reduced);
        // A page that the software resampler reduces is composed in heap memory: under Wine a fresh
        // DIB of a large photograph's size costs more than decoding it, and the pool keeps no DIB of
        // that size.
        Brivox::CMemoryPlane32 heapPlane;
        Brivox::CPlane32& plane = reduce && settings->drawMode >= 2 ? heapPlane : *data.plane;
        if (!spread) {
            // A single image that is to be reduced may be decoded smaller, no smaller than the page.
            const CSize drawn = reduce ? ScaleHint(*primary.entry, reduced) : primary.size;
            plane.Resize(drawn);
            plane.Fill(settings->background);
            data.alpha = Draw(*primary.entry, plane, {0, 0});
            data.first = primary.index;
            data.second = -1;
        } else {
            plane.Resize(composed);
            // The gap, the strip below the shorter image and whatever a decoder fails to draw.
            plane.Fill(settings->background);
            SDecodedImage& lower = forward ? primary : partner;
            SDecodedImage& higher = forward ? partner : primary;
            SDecodedImage& left = settings->spreadView == 1 ? higher : lower;
            SDecodedImage& right = settings->spreadView == 1 ? lower : higher;
            const bool leftAlpha = Draw(*left.entry, plane, {0, 0});
            const bool rightAlpha = Draw(*right.entry, plane, {left.size.cx + gap, 0});
            data.alpha = leftAlpha && rightAlpha;
            data.first = lower.index;
            data.second = higher.index;
        }

        if (reduce)
            ReduceOnLoad(data, plane, reduced, settings->drawMode);
        if (settings->filters.filter) {
            std::shared_ptr<Brivox::CPlane32> spare = NewPlane();
            bool alpha = data.alpha;
            data.filtered = m_filterChain.Apply(settings->filters, data.plane, spare, alpha);
            data.alpha = alpha;
        }
        if (settings->displayCopies)
            MakeDisplayCopy(data.displayCopy, *data.plane, *settings);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool CDocument::GetReducedSize(const CSize& page, const SSettings& settings, CSize& reduced)
{
    const std::int64_t reduceWidth = settings.reduceOnLoadSize.cx;
    const std::int64_t reduceHeight = settings.reduceOnLoadSize.cy;
    if (!settings.reduceOnLoad || reduceWidth <= 0 || reduceHeight <= 0)
        return false;
    const std::int64_t width = page.cx;
    const std::int64_t height = page.cy;
    if (width <= 0 || height <= 0)
        return false;
    double ratio = -1;
    if (settings.reduceOnLoadBySpace) {
        if (reduceWidth * reduceHeight < width * height)
            ratio = std::sqrt(static_cast<double>(reduceWidth * reduceHeight) /
                              static_cast<double>(width * height));
    } else if (reduceWidth < width || reduceHeight < height) {
        ratio = std::min(static_cast<double>(reduceWidth) / static_cast<double>(width),
                         static_cast<double>(reduceHeight) / static_cast<double>(height));
    }
    if (ratio < 0)
        return false;
    reduced = {std::max(1, static_cast<int>(static_cast<double>(width) * ratio)),
               std::max(1, static_cast<int>(static_cast<double>(height) * ratio))};
    return true;
}

CSize CDocument::ScaleHint(Brivox::ThreadedImageLoader::SEntry& entry, const CSize& reduced)
{
    std::lock_guard<Brivox::RankedMutex> entryLock(entry.lock);
    try {
        return entry.decoder->SetScaleHint(reduced);
    } catch (const std::exception&) {
        return entry.decoder->GetSize();
    }
}

void CDocument::ReduceOnLoad(SLoadData& data, Brivox::CPlane32& composed, const CSize& size, int drawMode)
{
    if (&composed != data.plane.get()) {
        Resample(*data.plane, composed, size, drawMode);
        return;
    }
    std::shared_ptr<Brivox::CPlane32> reduced = NewPlane();
    Resample(*reduced, *data.plane, size, drawMode);
    std::swap(reduced, data.plane);
    // A large page's storage is not kept in the pool.
    reduced->Clear();
}

void CDocument::Resample(Brivox::CPlane32& destination, const Brivox::CPlane32& source, const CSize& size,
                         int drawMode)
{
    destination.Resize(size);
    const Brivox::CRect whole{0, 0, size.cx, size.cy};
    const Brivox::CRect sourceRect{0, 0, source.GetWidth(), source.GetHeight()};
    switch (drawMode) {
    case 0:
    case 1: {
        const Brivox::Detail::PlaneDcLock to(destination);
        const Brivox::Detail::PlaneDcLock from(const_cast<Brivox::CPlane32&>(source));
        Brivox::CDcTarget target(to);
        if (drawMode == 0)
            target.StretchBltFast(Brivox::CDcTarget(from), whole, sourceRect);
        else
            target.StretchBltHalftone(Brivox::CDcTarget(from), whole, sourceRect);
        break;
    }
    case 2:
        destination.StretchBlit(source);
        break;
    case 3:
        destination.StretchBlitSmooth(source);
        break;
    case 4:
        destination.ResizeAveraging(source);
        break;
    case 5:
        destination.ResizeLanczos3(source);
        break;
    case 6: {
        const auto averaged = NewPlaneSized(size);
        averaged->ResizeAveraging(source);
        const auto blurred = NewPlaneSized(size);
        blurred->GaussBlur(*averaged, {0, 0}, whole, 2.0);
        destination.UnsharpMask(*averaged, *blurred, {0, 0}, whole, {0, 0});
        break;
    }
    default:
        break;
    }
}

void CDocument::MakeScaledCopy(Brivox::CPlane32& copy, const Brivox::CPlane32& page, const CSize& size,
                               const SSettings& settings)
{
    if (!settings.clearType) {
        Resample(copy, page, size, settings.drawMode);
        return;
    }
    const auto wide = NewPlane();
    Resample(*wide, page, {size.cx * 3, size.cy}, settings.drawMode);
    copy.Resize(size);
    copy.ImportRgb24(*wide);
}

std::shared_ptr<Brivox::CPlane32> CDocument::TryScaledCopy(const Brivox::CPlane32& page, const CSize& size,
                                                           const SSettings& settings)
{
    const std::int64_t pixels = std::int64_t{size.cx} * size.cy;
    if (size.cx <= 0 || size.cy <= 0 || pixels * (settings.clearType ? 3 : 1) > maxDisplayCopyPixels)
        return nullptr;
    try {
        auto copy = NewPlane();
        MakeScaledCopy(*copy, page, size, settings);
        return copy;
    } catch (const std::exception&) {
        // Without a copy the page is stretched as it is drawn.
        return nullptr;
    }
}

void CDocument::MakeDisplayCopy(std::shared_ptr<Brivox::CPlane32>& copy, const Brivox::CPlane32& page,
                                const SSettings& settings)
{
    copy.reset();
    if (!settings.layout)
        return;
    const std::shared_ptr<Brivox::ILayout> layout = settings.layout->Clone();
    layout->SetImageRect({0, 0, page.GetWidth(), page.GetHeight()});
    if (layout->IsUnscaled())
        return;
    copy = TryScaledCopy(page, layout->GetScaledImageSize(), settings);
}

// ----------------------------------------------------------------------------------------------
// Opening and closing

FileAddRules CDocument::ReadAddRules() const
{
    const Brivox::CConfig& config = *m_settings;
    FileAddRules rules;
    rules.followShortcuts = config.GetBool(L"FileAddFollowLnk");
    rules.ignoreBySuffix = config.GetBool(L"IgnoreBySuffix");
    rules.acceptedSuffixes = SplitAtSemicolons(config.GetString(L"IgnoreExcludeSuffixes"));
    rules.ignoredSuffixes = SplitAtSemicolons(config.GetString(L"IgnoreSuffixes"));
    rules.topFolderOnly = config.GetBool(L"OpenTopDirOnly");
    return rules;
}

void CDocument::ChangeListAndReset(const std::function<void()>& change)
{
    try {
        DocumentLock lock(m_lock);
        change();
    } catch (...) {
        // What the change did to the list is shown as it is, never a page of the list before.
        Reset();
        Refresh();
        throw;
    }
    Reset();
    Refresh();
}

void CDocument::OpenPath(const String& path)
{
    if (Brivox::CFileName::GetLowerExtension(path) == String(L"knb")) {
        OpenBookmark(path, true);
        return;
    }
    if (IsBusy())
        return;
    const CBusyScope busy(*this);
    const FileAddRules rules = ReadAddRules();
    ChangeListAndReset([&] { m_fileList.OpenPath(path, rules); });
}

void CDocument::OpenPaths(const std::vector<String>& paths)
{
    if (paths.size() == 1) {
        OpenPath(paths.front());
        return;
    }
    if (IsBusy())
        return;
    const CBusyScope busy(*this);
    const FileAddRules rules = ReadAddRules();
    ChangeListAndReset([&] { m_fileList.OpenPaths(paths, rules); });
}

void CDocument::Close()
{
    if (IsBusy())
        return;
    const CBusyScope busy(*this);
    CloseDocument(true);
}

String CDocument::HistoryFolder() const
{
    return GetHistoryFolder(m_settings->GetRaw(L"HistoryDir"));
}

void CDocument::CloseDocument(bool report)
{
    String error;
    {
        DocumentLock lock(m_lock);
        if (m_fileList.GetCurrent() >= 0 && HasPageImage()) {
            try {
                WriteHistory(m_fileList, HistoryFolder(), m_settings->GetInt(L"HistoryMax"));
            } catch (const std::exception& failure) {
                // The reader's list goes all the same; the user learns that its history did not.
                error = MessageOf(failure);
            }
        }
        m_fileList.Clear();
        m_bookmarkPath = String();
    }
    m_imageLoader->Clear();
    Reset();
    Refresh();
    if (report && error.Length() > 0)
        m_view->ReportError(error);
}

void CDocument::LoadBookmarkFile(const String& path)
{
    try {
        bool old = false;
        {
            DocumentLock lock(m_lock);
            old = m_fileList.LoadBookmark(path);
        }
        // The question is a modal box: asked without the lock, which the page worker needs.
        if (old && AskToConvertBookmark(path)) {
            DocumentLock lock(m_lock);
            try {
                m_fileList.SaveBookmark(path);
            } catch (...) {
                m_fileList.Clear();
                throw;
            }
        }
    } catch (...) {
        Reset();
        Refresh();
        throw;
    }
    Reset();
    Refresh();
}

void CDocument::OpenBookmark(const String& path, bool remember)
{
    if (IsBusy())
        return;
    const CBusyScope busy(*this);
    CloseDocument(true);
    if (remember)
        m_bookmarkPath = path;
    LoadBookmarkFile(path);
}

void CDocument::SaveBookmark(const String& path, bool remember)
{
    if (remember)
        m_bookmarkPath = path;
    DocumentLock lock(m_lock);
    m_fileList.SaveBookmark(path);
}

void CDocument::OpenHistory(int k)
{
    if (IsBusy())
        return;
    const CBusyScope busy(*this);
    const String folder = HistoryFolder();
    // Taken out of the series before the close rotates it: a file that cannot be taken leaves
    // everything as it was.
    const std::unique_ptr<Brivox::CTempFile> taken = TakeHistoryFile(folder, k);
    CloseDocument(true);
    {
        DocumentLock lock(m_lock);
        try {
            CloseHistoryGaps(folder, std::max(m_settings->GetInt(L"HistoryMax"), k + 1));
        } catch (const std::exception& failure) {
            m_view->ReportError(MessageOf(failure));
        }
    }
    LoadBookmarkFile(taken->GetPath());
}

// ----------------------------------------------------------------------------------------------
// Navigation

CDocument::SPageData& CDocument::CurrentPage() const
{
    // The worker never reshapes the ring nor moves its current slot, and never composes into the
    // current slot once Refresh has waited for it: the main window's thread reads it as it is.
    return static_cast<SPageData&>(*m_slots[m_current]->page);
}

bool CDocument::CanNavigate() const
{
    return !IsBusy() && HasCurrentImage();
}

void CDocument::GoTo(int index)
{
    Navigate([&] { m_fileList.SetCurrent(index); });
}

void CDocument::GoLast()
{
    if (!CanNavigate())
        return;
    {
        DocumentLock lock(m_lock);
        m_fileList.SetCurrent(0);
    }
    Reset();
    MovePrev();
    Refresh();
}

void CDocument::GoNext(int count, bool refresh)
{
    if (!CanNavigate())
        return;
    if (count < 0) {
        const int before = m_fileList.GetCurrent();
        MoveNext();
        if (!LinkFirstAndLast()) {
            // The page must be composed before it can tell whether the move wrapped.
            WaitCurrent();
            if (CurrentPage().first < before)
                MovePrev();
        }
    } else {
        {
            DocumentLock lock(m_lock);
            int i = m_fileList.GetCurrent() + count;
            if (!LinkFirstAndLast())
                i = std::min(i, m_fileList.GetCount() - 1);
            m_fileList.SetCurrent(i);
        }
        Reset();
    }
    if (refresh)
        Refresh();
}

void CDocument::GoPrevious(int count, bool refresh)
{
    if (!CanNavigate())
        return;
    if (count < 0) {
        const int before = m_fileList.GetCurrent();
        MovePrev();
        if (!LinkFirstAndLast()) {
            WaitCurrent();
            const SPageData& page = CurrentPage();
            if (before < (page.second >= 0 ? page.second : page.first))
                MoveNext();
        }
    } else {
        {
            DocumentLock lock(m_lock);
            int i = m_fileList.GetCurrent() - count;
            if (!LinkFirstAndLast())
                i = std::max(i, 0);
            m_fileList.SetCurrent(i);
        }
        Reset();
    }
    if (refresh)
        Refresh();
}

void CDocument::GoNextFolder()
{
    Navigate([&] { m_fileList.NextFolder(); });
}

void CDocument::GoPrevFolder()
{
    Navigate([&] { m_fileList.PrevFolder(); });
}

void CDocument::Navigate(const std::function<void()>& change)
{
    if (!CanNavigate())
        return;
    {
        DocumentLock lock(m_lock);
        change();
    }
    Reset();
    Refresh();
}

void CDocument::ChangeMarks(const std::function<void()>& change)
{
    if (IsBusy())
        return;
    {
        DocumentLock lock(m_lock);
        change();
    }
    Refresh();
}

void CDocument::SetMark(bool mark)
{
    ChangeMarks([&] { m_fileList.SetMark(mark); });
}

void CDocument::InvertAllMarks()
{
    ChangeMarks([&] { m_fileList.InvertAllMarks(); });
}

void CDocument::InvertMarksToCurrent()
{
    ChangeMarks([&] { m_fileList.InvertMarksToCurrent(); });
}

void CDocument::ClearMarks()
{
    ChangeMarks([&] { m_fileList.ClearMarks(); });
}

void CDocument::GoNextMarked()
{
    Navigate([&] { m_fileList.NextMarked(); });
}

void CDocument::GoPrevMarked()
{
    Navigate([&] { m_fileList.PrevMarked(); });
}

void CDocument::GoNextInSortedOrder()
{
    Navigate([&] { m_fileList.NextInSortedOrder(); });
}

void CDocument::GoPrevInSortedOrder()
{
    Navigate([&] { m_fileList.PrevInSortedOrder(); });
}

void CDocument::RemoveCurrentFromList()
{
    Navigate([&] { m_fileList.RemoveCurrent(); });
}

void CDocument::SortList(int keyMode)
{
    Navigate([&] { m_fileList.SortBy(keyMode); });
}

void CDocument::Shuffle()
{
    Navigate([&] { m_fileList.Shuffle(); });
}

void CDocument::ShuffleFolders()
{
    Navigate([&] { m_fileList.ShuffleFolders(); });
}

void CDocument::DeleteCurrentFile(HWND owner)
{
    if (IsBusy() || m_fileList.GetCurrent() < 0)
        return;
    const CBusyScope busy(*this);
    const bool toRecycleBin = m_settings->GetBool(L"DeleteByShell");
    ChangeListAndReset([&] { m_fileList.DeleteCurrent(toRecycleBin, owner); });
}

void CDocument::MoveCurrentFile(const String& destination)
{
    if (IsBusy() || m_fileList.GetCurrent() < 0)
        return;
    const CBusyScope busy(*this);
    const bool removeFromList = m_settings->GetBool(L"RemoveOnMove");
    ChangeListAndReset([&] { m_fileList.MoveCurrentTo(destination, removeFromList); });
}

void CDocument::CopyCurrentFileInBackground(const String& destination)
{
    if (m_fileList.GetCurrent() < 0)
        return;
    IDocView* view = m_view;
    DocumentLock lock(m_lock);
    m_fileList.PostCopyCurrentTo(destination, [view](const String& message) { view->ReportError(message); });
}

void CDocument::RemoveMarked(bool deleteFiles, bool toRecycleBin, HWND owner)
{
    if (IsBusy())
        return;
    const CBusyScope busy(*this);
    ChangeListAndReset([&] { m_fileList.RemoveMarked(deleteFiles, toRecycleBin, owner); });
}

void CDocument::MoveMarkedTo(const String& folder, bool removeFromList)
{
    if (IsBusy())
        return;
    const CBusyScope busy(*this);
    ChangeListAndReset([&] { m_fileList.MoveMarkedTo(folder, removeFromList); });
}

void CDocument::CopyMarkedTo(const String& folder)
{
    if (IsBusy())
        return;
    const CBusyScope busy(*this);
    DocumentLock lock(m_lock);
    m_fileList.CopyMarkedTo(folder);
}

void CDocument::Reload(bool resetFailed)
{
    {
        DocumentLock lock(m_lock);
        if (m_fileList.GetCurrent() < 0)
            CurrentPage().plane->Resize({0, 0});
        if (resetFailed)
            m_fileList.ResetNegativeStates();
    }
    m_imageLoader->Clear();
    Reset();
    Refresh();
}

// ----------------------------------------------------------------------------------------------
// The view

bool CDocument::UpdatePadding(const CSize& clientSize)
{
    m_viewSize = clientSize;
    int horizontal = 0;
    int vertical = 0;
    if (m_settings->GetBool(L"Padding")) {
        horizontal = m_settings->GetInt(L"PaddingH");
        vertical = m_settings->GetInt(L"PaddingV");
    }
    const CRect view{horizontal, vertical, clientSize.cx - horizontal, clientSize.cy - vertical};
    if (m_layout->GetViewRect() == view)
        return false;
    const CPoint offset = m_layout->GetClampedOffset();
    m_layout->SetViewRect(view);
    m_layout->SetOrigin(offset);
    return true;
}

void CDocument::SetViewRect(const CSize& clientSize)
{
    if (!UpdatePadding(clientSize))
        return;
    // Display copies made ahead are scaled for the view they were made in.
    PublishSettings([this](SSettings& settings) { settings.layout = m_layout->Clone(); });
    Refresh();
    if (m_displayCopiesInUse)
        ResetOthers();
}

void CDocument::ScrollTo(const CPoint& origin)
{
    m_layout->SetOrigin(origin);
    Refresh();
}

void CDocument::PrepareCurrentPage()
{
    if (m_pageMoved) {
        m_pageMoved = false;
        const CSize size = GetPageSize();
        m_layout->SetImageRect({0, 0, size.cx, size.cy});
    }
    // Three times: each bar that appears or goes changes the other's room.
    for (int i = 0; i < 3; ++i)
        m_view->UpdateScrollBars();

    SPageData& page = CurrentPage();
    const CSize scaled = m_layout->GetScaledImageSize();
    if (page.displayCopy) {
        if (page.displayCopy->GetSize() == scaled)
            return;
        page.displayCopy.reset();
    }
    const auto settings = GetSettingsSnapshot();
    const bool wanted = GetDrawMode() > 1 || settings->clearType;
    if (!wanted || m_layout->IsUnscaled() || !HasPageImage())
        return;
    page.displayCopy = TryScaledCopy(*page.plane, scaled, *settings);
}

void CDocument::PublishShownPlane()
{
    std::shared_ptr<Brivox::CPlane32> plane = m_slots.empty() ? nullptr : CurrentPage().plane;
    std::lock_guard<std::mutex> drawing(m_drawLock);
    m_shownPlane = std::move(plane);
}

void CDocument::Refresh(const CRect& rect)
{
    const Brivox::NestingCounter::Scope scope(&m_refreshNesting);
    if (!scope.IsOutermost())
        return;
    if (m_fileList.GetCount() > 0) {
        WaitCurrent();
        {
            const SPageData& page = CurrentPage();
            // A page that found no file leaves the current entry where it is.
            const int assigned = page.first >= 0 ? page.first : page.second;
            DocumentLock lock(m_lock);
            if (assigned >= 0)
                m_fileList.SetCurrent(assigned);
        }
        if (m_fileList.GetCurrent() >= 0)
            PrepareCurrentPage();
        PublishShownPlane();
        m_view->InvalidateView(rect);
        Notify();
    } else {
        if (HasPageImage())
            PrepareCurrentPage();
        PublishShownPlane();
        m_view->InvalidateView(rect);
    }
}

// ----------------------------------------------------------------------------------------------
// Drawing

void CDocument::Paint(const PAINTSTRUCT& paint)
{
    Brivox::CDcTarget target(paint.hdc);
    const CRect paintRect{paint.rcPaint.left, paint.rcPaint.top, paint.rcPaint.right, paint.rcPaint.bottom};
    if (!HasPageImage()) {
        target.FillRect(m_background, paintRect);
        return;
    }
    DrawPage(target, paintRect);
    // Only what lies around the image: the image itself is never painted twice.
    const CRect client{0, 0, m_viewSize.cx, m_viewSize.cy};
    for (const CRect& band : client.Subtract(m_layout->GetDestRect()))
        target.FillRect(m_background, band);
}

void CDocument::DrawPage(Brivox::CDcTarget& target, const CRect& clip)
{
    SPageData& page = CurrentPage();
    const CRect destination = m_layout->GetDestRect();
    const Brivox::SPlaneClip clipRecord{clip, true};
    if (page.displayCopy) {
        if (page.displayCopy->GetSize() == m_layout->GetScaledImageSize()) {
            const Brivox::Detail::PlaneDcLock copyDc(*page.displayCopy);
            target.BitBlt(Brivox::CDcTarget(copyDc), {destination.left, destination.top},
                          m_layout->GetImageDestRect(), &clipRecord);
            return;
        }
        page.displayCopy.reset();
    }
    const CRect source = m_layout->GetSourceRect();
    const int mode = GetDrawMode();
    std::lock_guard<std::mutex> drawing(m_drawLock);
    const Brivox::Detail::PlaneDcLock pageDc(*page.plane);
    const Brivox::CDcTarget from(pageDc);
    if (mode == 0)
        target.StretchBltFast(from, destination, source, &clipRecord);
    else if (mode == 1 || !m_layout->IsUnscaled())
        // A scaled page without its display copy is smoothed, never copied 1:1.
        target.StretchBltHalftone(from, destination, source, &clipRecord);
    else
        target.BitBlt(from, {destination.left, destination.top}, source, &clipRecord);
}

void CDocument::DrawMarkGlyph(const PAINTSTRUCT& paint)
{
    const int current = m_fileList.GetCurrent();
    if (current < 0 || !m_fileList.GetEntry(current).IsMarked())
        return;
    const String glyph = L"\u25CF";
    const CSize size = m_markRenderer.Measure(glyph);
    m_markRenderer.Draw(paint.hdc, {m_viewSize.cx - size.cx, 2}, glyph);
}

void CDocument::DrawFilterMark(const PAINTSTRUCT& paint)
{
    if (m_settings->GetBool(L"FilterMark") && m_fileList.GetCurrent() >= 0 && HasPageImage() &&
        CurrentPage().filtered)
        m_markRenderer.Draw(paint.hdc, {0, 0}, L"Ｆ");
}

void CDocument::DrawMagnified(const PAINTSTRUCT& paint, const CRect& destination, const CRect& source)
{
    // The plane stays alive through this reference; the lock keeps its device context ours.
    std::lock_guard<std::mutex> drawing(m_drawLock);
    if (!m_shownPlane || m_shownPlane->GetWidth() < 1 || m_shownPlane->GetHeight() < 1)
        return;
    const Brivox::SPlaneClip clip{
        {paint.rcPaint.left, paint.rcPaint.top, paint.rcPaint.right, paint.rcPaint.bottom}, true};
    const Brivox::Detail::PlaneDcLock pageDc(*m_shownPlane);
    Brivox::CDcTarget target(paint.hdc);
    target.StretchBltHalftone(Brivox::CDcTarget(pageDc), destination, source, &clip);
}

CRect CDocument::ViewRectToImage(CRect rect)
{
    if (rect.IsEmpty()) {
        const CSize size = GetPageSize();
        return {0, 0, size.cx, size.cy};
    }
    rect.Intersect(m_layout->GetDestRect());
    return m_layout->ViewRectToSource(rect);
}

bool CDocument::IsPageFiltered() const
{
    return !m_slots.empty() && CurrentPage().filtered;
}

std::shared_ptr<Brivox::CPlane32> CDocument::GetPagePlane() const
{
    return m_slots.empty() ? nullptr : CurrentPage().plane;
}

std::shared_ptr<Brivox::CPlane32> CDocument::GetDisplayCopy() const
{
    return m_slots.empty() ? nullptr : CurrentPage().displayCopy;
}

// ----------------------------------------------------------------------------------------------
// Queries

bool CDocument::HasPageImage() const
{
    if (m_slots.empty())
        return false;
    const auto& plane = CurrentPage().plane;
    return plane && plane->GetWidth() >= 1 && plane->GetHeight() >= 1;
}

bool CDocument::HasCurrentImage() const
{
    return m_fileList.GetCurrent() >= 0 && HasPageImage();
}

bool CDocument::IsSpreadPage() const
{
    return !m_slots.empty() && CurrentPage().second >= 0;
}

CSize CDocument::GetPageSize() const
{
    if (!HasPageImage())
        return {0, 0};
    return CurrentPage().plane->GetSize();
}

String CDocument::GetPageName() const
{
    return m_slots.empty() ? String() : CurrentPage().name;
}

bool CDocument::IsAtFirstFile() const
{
    if (m_slots.empty())
        return false;
    const SPageData& page = CurrentPage();
    return page.first == 0 || page.second == 0;
}

bool CDocument::IsAtLastFile() const
{
    if (m_slots.empty())
        return false;
    const SPageData& page = CurrentPage();
    const int last = m_fileList.GetCount() - 1;
    return last >= 0 && (page.first == last || page.second == last);
}

std::shared_ptr<CFileInfo> CDocument::GetEntryCopy(int index) const
{
    DocumentLock lock(m_lock);
    return m_fileList.GetEntryCopy(index);
}

String CDocument::GetCurrentOutermostPath() const
{
    return m_fileList.GetCurrentOutermostPath();
}

unsigned CDocument::GetCurrentFileSize() const
{
    return m_fileList.GetEntry(m_fileList.GetCurrent()).GetSize();
}

String CDocument::GetCurrentTimeText() const
{
    return m_fileList.GetCurrentTimeText();
}

String CDocument::GetCurrentPathOrDefault() const
{
    if (HasCurrentImage())
        return m_fileList.GetEntry(m_fileList.GetCurrent()).GetPath();
    return Brivox::CFileName::FromCurrentDirectory(L"ファイル.bmp");
}

std::vector<String> CDocument::GetMarkedPaths() const
{
    DocumentLock lock(m_lock);
    return m_fileList.GetMarkedPaths();
}

int CDocument::CountMarked() const
{
    DocumentLock lock(m_lock);
    return m_fileList.CountMarked();
}

void CDocument::SetFileListWindow(IFileListObserver* window)
{
    // The image loader's worker tells the list of load states under the same lock.
    DocumentLock lock(m_lock);
    m_fileList.SetWindow(window);
}

CDocument::SListRows CDocument::GetListRows() const
{
    DocumentLock lock(m_lock);
    SListRows rows;
    rows.current = m_fileList.GetCurrent();
    rows.rows.reserve(m_fileList.GetCount());
    for (int i = 0; i < m_fileList.GetCount(); ++i) {
        const CFileInfo& entry = m_fileList.GetEntry(i);
        rows.rows.push_back({entry.GetPath(), entry.GetState(), entry.IsMarked()});
    }
    return rows;
}
