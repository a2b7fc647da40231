#pragma once
// The document of the main window: the file list, the pages composed from it and read ahead on the
// page ring's worker, the files decoded ahead on the image loader's worker, and the layout that
// places the current page in the view. Entry points, queries and drawing run on the main window's
// thread; the window is known only through IDocView.
//
// Locks, in the order they may be taken: the page ring's, the document's (the list), the image
// loader's, one decoder's. The document's own operations change the list under its lock for the
// change only and move or reset the ring after releasing it. What the workers read of the settings
// reaches them as a snapshot made on the main window's thread.

#include "document/file_list.h"
#include "document/image_loader_thread.h"
#include "document/layout.h"
#include "document/lock_rank.h"
#include "document/page_loader.h"
#include "document/preview_document.h"
#include "formats/archive_password.h"
#include "foundation/config.h"
#include "foundation/thread_state.h"
#include "imaging/dc_target.h"
#include "imaging/filter_chain.h"
#include "imaging/plane.h"
#include "imaging/text_renderer.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace Brivox {
class IImageSaver;
}

// The main window as the document sees it.
class IDocView
{
public:
    IDocView() = default;
    IDocView(const IDocView&) = delete;
    IDocView& operator=(const IDocView&) = delete;
    virtual ~IDocView() = default;

    // Both scroll bars from the client size and the layout.
    virtual void UpdateScrollBars() = 0;
    // Redraws that part of the view; an empty rectangle stands for the whole view.
    virtual void InvalidateView(const Brivox::CRect& rect) = 0;
    // Shows an error that has no caller to go to. Callable from any thread; only posts.
    virtual void ReportError(const Brivox::String& text) = 0;
};

// Where the document learns how much memory it may use. Under Wine the system reports the host's
// memory, so tests give their own.
struct SMemoryProbe
{
    std::function<std::uint64_t()> availablePhysical;
    std::function<std::uint64_t()> workingSet;

    static SMemoryProbe System();
};

class CDocument : public Brivox::CPageLoaderBase,
                  public Brivox::IQueryArchivePassword,
                  public Brivox::ThreadedImageLoader::IOwner,
                  public IPreviewDocument
{
public:
    // The key of one file for the image loader: a copy of its entry, equal to another by the exact
    // path.
    struct SFileID : Brivox::ThreadedImageLoader::IFileID
    {
        explicit SFileID(std::shared_ptr<CFileInfo> entry) : entry(std::move(entry)) {}
        bool Equals(const IFileID& other) const override;

        const std::shared_ptr<CFileInfo> entry;
    };

    // The payload of one ring slot. Before a load the indexes are the assignment, (i, -1) read
    // forward from file i or (-1, i) read backward ending at it; after a commit they are the page's
    // files, lower first.
    struct SPageData : Brivox::CPageLoaderBase::IPageData
    {
        int first = -1;
        int second = -1;
        std::shared_ptr<Brivox::CPlane32> plane; // pooled; kept for the slot's life
        std::shared_ptr<Brivox::CPlane32> displayCopy;
        Brivox::String name;
        bool alpha = false;
        bool filtered = false;
    };

    // The work record of one composition: in with the assignment, out with the result.
    struct SLoadData : Brivox::CPageLoaderBase::ILoadData
    {
        std::shared_ptr<Brivox::CPlane32> plane;
        std::shared_ptr<Brivox::CPlane32> displayCopy;
        int first = -1;
        int second = -1;
        Brivox::String name;
        bool alpha = false;
        bool filtered = false;
    };

    // What the workers read of the settings, copied on the main window's thread at every apply
    // and replaced whole.
    struct SSettings
    {
        bool fileSizeLimit = false;
        double fileSizeLimitMin = 0;
        double fileSizeLimitMax = 0;
        bool imageSizeLimit = false;
        double imageSizeLimitX = 0;
        double imageSizeLimitY = 0;
        bool imageSizeLimitByArea = false;
        int spreadView = 0;
        int paddingCenter = 0;
        bool reduceOnLoad = false;
        SIZE reduceOnLoadSize{0, 0};
        bool reduceOnLoadBySpace = false;
        SFilterSettings filters;
        bool clearType = false;
        int drawMode = 0; // 0 while a preview is open
        COLORREF background = 0;
        bool displayCopies = false;
        // A clone of the document's layout; the worker clones it again for its own use.
        std::shared_ptr<const Brivox::ILayout> layout;
    };

    // The view, the fallback password query (the user's dialog) and the settings store are not
    // owned and must outlive the document; the file list window may be null.
    CDocument(IDocView* view, Brivox::IQueryArchivePassword* fallbackPasswordQuery,
              IFileListObserver* fileListWindow, Brivox::CConfig* settings,
              SMemoryProbe memoryProbe = SMemoryProbe::System());
    ~CDocument();

    // Takes the settings: extraction folder, sort keys, cache sizes, layout, background, stored
    // passwords; refreshes the view when asked.
    void ApplySettings(bool refresh);
    // Hands only the filter keys to the workers; the pages composed from now on use them.
    void ApplyFilterSettings();

    // Opening: a list of paths, or one path, replaces nothing by itself; the entries are added.
    void OpenPaths(const std::vector<Brivox::String>& paths);
    void OpenPath(const Brivox::String& path);
    // Writes the history when a page is on show, then empties the list and the pages. A failed
    // history write is reported through the view; the document is emptied all the same.
    void Close();

    // Bookmarks: the list as it was saved, or saved as it is. With remember the path becomes the
    // document's bookmark path.
    void OpenBookmark(const Brivox::String& path, bool remember);
    void SaveBookmark(const Brivox::String& path, bool remember);
    // Opens history entry k as the history dialog numbered it, taking it out of the series.
    void OpenHistory(int k);
    const Brivox::String& GetBookmarkPath() const { return m_bookmarkPath; }

    // Navigation; each does nothing while no page is shown or while another operation runs.
    void GoTo(int index);
    void GoLast();
    // count -1: one page; 0 or more: that many files.
    void GoNext(int count, bool refresh = true);
    void GoPrevious(int count, bool refresh = true);
    void GoNextFolder();
    void GoPrevFolder();

    // Marks; each refreshes the view.
    void SetMark(bool mark);
    void InvertAllMarks();
    void InvertMarksToCurrent();
    void ClearMarks();
    // Steps and order changes; like navigation they need a page on show.
    void GoNextMarked();
    void GoPrevMarked();
    void GoNextInSortedOrder();
    void GoPrevInSortedOrder();
    void RemoveCurrentFromList();
    void SortList(int keyMode);
    void Shuffle();
    void ShuffleFolders();

    // The files behind the entries. Failures pass on as one exception after the list and the
    // pages show what is left on disk.
    void DeleteCurrentFile(HWND owner);
    void MoveCurrentFile(const Brivox::String& destination);
    // A duplicate made on a pool thread; its failure is reported through the view.
    void CopyCurrentFileInBackground(const Brivox::String& destination);
    void RemoveMarked(bool deleteFiles, bool toRecycleBin, HWND owner);
    void MoveMarkedTo(const Brivox::String& folder, bool removeFromList);
    void CopyMarkedTo(const Brivox::String& folder);

    // Decodes and composes again; failed files are tried again when asked.
    void Reload(bool resetFailed);
    void SetViewRect(const Brivox::CSize& clientSize);
    void ScrollTo(const Brivox::CPoint& origin);
    // Follows the page: the list's current entry, the page's preparation, the view's redraw.
    void Refresh(const Brivox::CRect& rect = {});

    // Queries, on the main window's thread.
    bool HasPageImage() const;
    bool HasCurrentImage() const;
    bool IsSpreadPage() const;
    Brivox::CSize GetPageSize() const;
    Brivox::String GetPageName() const;
    bool IsAtFirstFile() const;
    bool IsAtLastFile() const;
    int GetFileCount() const { return m_fileList.GetCount(); }
    int GetCurrentIndex() const { return m_fileList.GetCurrent(); }
    std::shared_ptr<CFileInfo> GetEntryCopy(int index) const;
    std::vector<Brivox::String> GetMarkedPaths() const;
    int CountMarked() const;
    Brivox::String GetCurrentOutermostPath() const;
    unsigned GetCurrentFileSize() const;
    Brivox::String GetCurrentTimeText() const;
    Brivox::String GetCurrentMd5() const { return m_fileList.GetCurrentMd5(); }
    Brivox::String GetCurrentPathOrDefault() const override;
    // The list window's rows: count, current index and each entry's path, state and mark, copied
    // under the document lock so that any thread may ask.
    struct SListRow
    {
        Brivox::String path;
        int state = 0;
        bool marked = false;
    };
    struct SListRows
    {
        std::vector<SListRow> rows;
        int current = -1;
    };
    SListRows GetListRows() const;
    // The list window told of the list's changes from now on; null for none.
    void SetFileListWindow(IFileListObserver* window);

    // Drawing, on the main window's thread: the page and the background around it, the mark glyph
    // of a marked entry, the filter mark of a filtered page.
    void Paint(const PAINTSTRUCT& paint);
    void DrawPage(Brivox::CDcTarget& target, const Brivox::CRect& clip);
    void DrawMarkGlyph(const PAINTSTRUCT& paint);
    void DrawFilterMark(const PAINTSTRUCT& paint);
    // A part of the page enlarged, for the magnifier; callable from the magnifier's thread.
    void DrawMagnified(const PAINTSTRUCT& paint, const Brivox::CRect& destination,
                       const Brivox::CRect& source);
    // A rectangle of the view in page pixels; an empty one stands for the whole page.
    Brivox::CRect ViewRectToImage(Brivox::CRect rect);
    // Whether the page on show was filtered, and its display copy (empty when none).
    bool IsPageFiltered() const;
    std::shared_ptr<Brivox::CPlane32> GetDisplayCopy() const;
    // The composed page on show; its size is 0 × 0 when none is.
    std::shared_ptr<Brivox::CPlane32> GetPagePlane() const;

    // Resizes the destination and fills it from the whole source by the draw mode.
    static void Resample(Brivox::CPlane32& destination, const Brivox::CPlane32& source,
                         const Brivox::CSize& size, int drawMode);

    // The layout, read by the main window for its scroll bars.
    Brivox::ILayout& GetLayout() const { return *m_layout; }
    // The draw mode: the setting, but 0 while a preview is open.
    int GetDrawMode() const;
    bool AreDisplayCopiesInUse() const { return m_displayCopiesInUse; }
    // The pages the read-ahead ring holds, and the memory its sizing counts on, for the version report.
    int GetCachedPageCount() const { return static_cast<int>(m_slots.size()); }
    std::uint64_t EstimateAvailableMemory() { return GetAvailableMemory(); }
    // The settings the workers read, as last published.
    std::shared_ptr<const SSettings> GetSettingsSnapshot() const;

    // The image loader, for tests that wait for its worker.
    Brivox::ThreadedImageLoader& GetImageLoader() { return *m_imageLoader; }

    // Pooled page planes: as they come, or resized.
    static std::shared_ptr<Brivox::CPlane32> NewPlane();
    static std::shared_ptr<Brivox::CPlane32> NewPlaneSized(const Brivox::CSize& size);

    // ---- Operations on the page on show (page_operations.cpp). A change lives in the composed page
    // until it is saved; the file is not touched. A selection is a rectangle of the view; an empty
    // one stands for the whole page.

    // Previews of a tool dialog: every preview restores the page as it was at Begin before it
    // applies; End keeps the result, Cancel restores the page. While a preview is open navigation
    // and list changes do nothing and the page is drawn with the plain stretch.
    void BeginPreview() override;
    void RestorePreview() override;
    void EndPreview() override;
    void CancelPreview() override;
    bool IsPreviewOpen() const { return m_previewOpen; }

    // Whole-page transforms; each needs a page image.
    void FlipHorizontal();
    void FlipVertical();
    void Rotate180();
    void Rotate90Clockwise();
    void Rotate90CounterClockwise();
    // Clockwise by the angle in degrees onto the canvas that holds the whole turned page, black
    // where the page does not reach; the preview form samples the nearest pixel.
    void RotateByAngle(double angle) override;
    void RotateByAnglePreview(double angle) override;
    // Resampled with its alpha; a side below 1 changes nothing.
    void ResizePage(const Brivox::CSize& size);
    void CropPage(const Brivox::CRect& selection);

    // The clipboard: the page becomes the clipboard's bitmap (without alpha), or the selection's
    // pixels go to the clipboard.
    void PasteFromClipboard();
    void CopyToClipboard(const Brivox::CRect& selection);

    // Operations on the selection's pixels; a selection that maps to no pixel changes nothing.
    void FillSelection(COLORREF colour, const Brivox::CRect& selection);
    void InvertSelection(const Brivox::CRect& selection);
    void GrayscaleSelection(const Brivox::CRect& selection, bool weighted);
    // kind 0: each block its centre pixel, 1: its mean; any other kind changes nothing.
    void ApplyMosaic(const Brivox::CRect& selection, int blockSize, int kind) override;
    void ApplyLevels(const Brivox::CRect& selection, int low, int high) override;
    void ApplyGamma(const Brivox::CRect& selection, double gamma) override;
    void ApplyBrightContrast(const Brivox::CRect& selection, int brightness, int contrast) override;
    void Blur(const Brivox::CRect& selection);
    void BlurStrong(const Brivox::CRect& selection);
    void Sharpen(const Brivox::CRect& selection);
    void SharpenStrong(const Brivox::CRect& selection);
    void MedianFilter(const Brivox::CRect& selection);
    void ApplyGauss(const Brivox::CRect& selection, double radius) override;
    void ApplyUnsharp(const Brivox::CRect& selection, double value) override;
    // The page over the colour by its alpha; afterwards the page has no alpha. With onlyWithAlpha a
    // page without alpha is left as it is.
    void ApplyAlpha(const Brivox::CRect& selection, COLORREF colour, bool onlyWithAlpha) override;

    // Saves the selection's pixels (the whole page without one) through a temporary file, then adds
    // the file to the list when the settings ask. A save over a file of the list makes the pages
    // read ahead and the decodes kept show the saved file.
    void SaveAsJpg(const Brivox::String& path, const Brivox::CRect& selection);
    void SaveAsPng(const Brivox::String& path, const Brivox::CRect& selection);
    void SaveAsBmp(const Brivox::String& path, const Brivox::CRect& selection);
    void SaveAsArgb(const Brivox::String& path, const Brivox::CRect& selection);
    // The page as the desktop wallpaper, written as a bitmap into the folder (relative to the
    // program's folder, ending with a separator): under the fixed name, or under the current file's
    // name where no other file is replaced. The current file itself is used as it is.
    void SetAsWallpaper(const Brivox::String& folder, bool oneFixedName, const Brivox::String& fixedName,
                        bool fitToScreen);
    // Where the wallpaper goes to the system; tests replace it.
    void SetWallpaperHook(std::function<void(const Brivox::String&)> hook)
    {
        m_setWallpaper = std::move(hook);
    }

    // Measurements of the selection; 0 without a page image.
    COLORREF GetAverageColor(const Brivox::CRect& selection);
    int CountColors(const Brivox::CRect& selection);
    // The (R + G + B) / 3 histogram as a bar graph of the size (the square roots of the counts),
    // with the mean level and its standard deviation.
    std::shared_ptr<Brivox::CPlane32> GetLevelHistogram(const Brivox::CRect& selection,
                                                        const Brivox::CSize& graphSize, double& mean,
                                                        double& deviation) override;
    // The same histogram as a CSV text file (UTF-16 with its mark), written through a temporary file.
    void WriteLevelCsv(const Brivox::CRect& selection, const Brivox::String& path) override;
    // The current file's MD5 in lower-case hexadecimal; empty without a current file and image.
    Brivox::String GetCurrentFileMd5() const;
    // Whether the page on show has meaningful alpha.
    bool HasPageAlpha() const;

protected:
    // The ring's operations (see CPageLoaderBase).
    std::shared_ptr<IPageData> CreatePageData() override;
    void ReleasePage(IPageData& page) override;
    std::shared_ptr<ILoadData> CreateLoadData(IPageData& page) override;
    bool LoadPage(ILoadData& load) override;
    void CommitPage(IPageData& page, ILoadData& load) override;
    void AssignCurrentPage(IPageData& page) override;
    void AssignNextPage(IPageData& page, IPageData& before) override;
    void AssignPrevPage(IPageData& page, IPageData& after) override;
    void OnPageMoved() override;

    // The image loader's owner.
    std::shared_ptr<Brivox::CImageLoader> CreateImageLoader() override;
    std::shared_ptr<Brivox::CFileData> GetFileData(const Brivox::ThreadedImageLoader::IFileID& key) override;

    // Stored passwords first, then the user.
    bool Query(const Brivox::String& archivePath, Brivox::String& password, int attempt) override;

    // The first loadable file from the index on in the direction of travel; index follows it.
    // A spread's partner is looked for without wrapping around the list.
    bool LoadFileAt(std::shared_ptr<Brivox::ThreadedImageLoader::SEntry>& decoder, int& index, bool forward,
                    const SSettings& settings, bool wrap = true);
    static bool CheckFileSizeLimit(std::int64_t size, const SSettings& settings);
    static bool CheckImageSizeLimit(const Brivox::CImageLoader& decoder, const SSettings& settings);

    // The memory the caches may use: free physical memory plus what this process has taken since
    // the first call.
    std::uint64_t GetAvailableMemory();

private:
    using DocumentLock = std::lock_guard<Brivox::RankedRecursiveMutex>;

    // Marks the document busy for an operation that may pump messages (an open, a close); every
    // navigation and list change reached meanwhile does nothing.
    class CBusyScope;

    SPageData& CurrentPage() const;
    // Navigation and list changes act only when nothing else runs and a page is shown.
    bool CanNavigate() const;
    bool IsBusy() const { return m_busy > 0 || m_previewOpen; }
    void PrefetchAround(int start);
    void PrepareCurrentPage();
    // The page scaled to the size, through a plane three times as wide with ClearType.
    static void MakeScaledCopy(Brivox::CPlane32& copy, const Brivox::CPlane32& page,
                               const Brivox::CSize& size, const SSettings& settings);
    // A display copy of the size, or none when it would be too large or cannot be made.
    static std::shared_ptr<Brivox::CPlane32>
    TryScaledCopy(const Brivox::CPlane32& page, const Brivox::CSize& size, const SSettings& settings);
    static void MakeDisplayCopy(std::shared_ptr<Brivox::CPlane32>& copy, const Brivox::CPlane32& page,
                                const SSettings& settings);
    // The size reduce-on-load gives a page of that size; false when the page stays as it is.
    static bool GetReducedSize(const Brivox::CSize& page, const SSettings& settings, Brivox::CSize& reduced);
    // The size the entry's decoder will draw when the page is to be reduced to `reduced`.
    static Brivox::CSize ScaleHint(Brivox::ThreadedImageLoader::SEntry& entry, const Brivox::CSize& reduced);
    // The composed plane (the record's own, or one in heap memory) resampled into the record's.
    static void ReduceOnLoad(SLoadData& data, Brivox::CPlane32& composed, const Brivox::CSize& size,
                             int drawMode);
    // The plane the magnifier draws from: the page on show, published under the drawing lock.
    void PublishShownPlane();
    bool UpdatePadding(const Brivox::CSize& clientSize);
    FileAddRules ReadAddRules() const;
    // Publishes a new snapshot: the last one with the change applied.
    void PublishSettings(const std::function<void(SSettings&)>& change);
    void ReadSettingsInto(SSettings& settings) const;
    bool LinkFirstAndLast() const;
    // Runs the list change under the document lock, then resets the ring and refreshes, also when
    // the change throws.
    void ChangeListAndReset(const std::function<void()>& change);
    // A step or order change of the list while a page is on show.
    void Navigate(const std::function<void()>& change);
    // A mark change, then a refresh.
    void ChangeMarks(const std::function<void()>& change);
    // Close's work; `report` false (in the destructor) keeps a history failure to itself.
    void CloseDocument(bool report);
    // The bookmark or history file into the emptied list, the question of converting an old one
    // asked outside the lock.
    void LoadBookmarkFile(const Brivox::String& path);
    Brivox::String HistoryFolder() const;

    // The selection in page pixels, clipped to the page: the whole page for an empty selection, an
    // empty rectangle for one that maps to no pixel.
    Brivox::CRect MapSelection(const Brivox::CRect& selection);
    // As MapSelection, but the whole page where nothing of it is selected: what saves and copies take.
    Brivox::CRect MapSelectionOrWhole(const Brivox::CRect& selection);
    // A fresh pooled plane of the size replaces the page's; the writer fills it from the old one.
    void
    ReplacePagePlane(const Brivox::CSize& size,
                     const std::function<void(Brivox::CPlane32& fresh, const Brivox::CPlane32& old)>& write);
    // Changes the page plane in place, then drops the display copy and redraws.
    void ChangePagePixels(const std::function<void(Brivox::CPlane32& page)>& change);
    // `rect` of the page filtered from a copy of its pixels, so the filter reads only unchanged ones.
    void FilterThroughCopy(const Brivox::CRect& selection,
                           const std::function<void(Brivox::CPlane32& page, const Brivox::CPlane32& copy,
                                                    const Brivox::CRect& rect)>& filter);
    void SaveWith(Brivox::IImageSaver& saver, const Brivox::String& path, const Brivox::CRect& selection);

    IDocView* const m_view;
    Brivox::CConfig* const m_settings;
    mutable Brivox::RankedRecursiveMutex m_lock{Brivox::LockRank::Document};
    Brivox::CStoredPasswordQuery m_passwords;
    CFileList m_fileList;
    Brivox::NestingCounter m_refreshNesting;
    std::unique_ptr<Brivox::ThreadedImageLoader> m_imageLoader;
    std::shared_ptr<Brivox::CPlane32> m_previewBackup;
    bool m_previewAlpha = false;
    std::function<void(const Brivox::String&)> m_setWallpaper;
    Brivox::CSize m_viewSize{0, 0};
    std::shared_ptr<Brivox::ILayout> m_layout;
    Brivox::CTextRenderer m_markRenderer;
    CFilterChain m_filterChain;
    COLORREF m_background = 0;
    SMemoryProbe m_memoryProbe;
    std::uint64_t m_workingSetBaseline = 0;
    bool m_workingSetKnown = false;
    int m_historyCount = -1;
    Brivox::String m_bookmarkPath;
    bool m_previewOpen = false;
    bool m_displayCopiesInUse = false;
    bool m_pageMoved = false;
    int m_busy = 0;

    // A leaf lock around every use of a shown page plane's device context and the published plane:
    // the magnifier draws on its own thread.
    mutable std::mutex m_drawLock;
    std::shared_ptr<Brivox::CPlane32> m_shownPlane;

    // The snapshot's own leaf lock: held only to copy or replace the pointer.
    mutable std::mutex m_settingsLock;
    std::shared_ptr<const SSettings> m_settingsSnapshot;
};
