#pragma once
// The viewer's main-window controller: it owns the settings, the main window and its thread, the
// document, the format factories, the menu, the scroll bars, the full-screen changer, the cursor
// hider, the window snapper, the selection rectangle, the key configuration and the common
// dialogs. It is made and destroyed on the starting thread; in between it runs only on the main
// window's thread, to which the starting thread hands its steps and then waits.

#include "document/document.h"
#include "formats/archiver.h"
#include "formats/image_loader.h"
#include "formats/susie_plugin.h"
#include "foundation/config.h"
#include "foundation/process.h"
#include "foundation/string.h"
#include "settings/image_tool_dialogs.h"
#include "settings/tool_dialogs.h"
#include "ui/common_dialogs.h"
#include "ui/cursor_hider.h"
#include "ui/msg_hook.h"
#include "ui/scroll_bar.h"
#include "ui/selection_rect.h"
#include "viewer/file_list_window.h"
#include "viewer/magnifier_window.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace Brivox {
class CWindow;
class CScreenChanger;
class CWindowSnapper;
} // namespace Brivox
class CMainMenu;
class CKeyConfigEx;
struct STitleFacts;

// The client size that fits the first page: two thirds of the work area along the page's longer
// side, the other side in proportion.
Brivox::CSize InitialClientSize(Brivox::CSize workArea, Brivox::CSize image);

// The four lines of the version dialog's report: the estimated free memory in MiB, the pages the
// read-ahead holds, and whether scaled display copies and the file cache are in use.
Brivox::String BuildVersionReport(std::uint64_t availableMemory, int cachedPages, bool scaledCopies,
                                  bool fileCache);

// Whether the command is carried out yet; the others are greyed in the menu and do nothing.
bool IsCommandAvailable(int command);

class CAppWindow : public Brivox::IMsgHooker,
                   public IDocView,
                   public Brivox::IQueryArchivePassword,
                   public IImageToolDialogOwner,
                   public IPasswordDialogOwner,
                   public CMagnifierWindow::IOwner
{
public:
    // The settings file is the base name + ".cfg" in the program folder.
    explicit CAppWindow(const Brivox::String& baseName);
    // Saves the window positions, the custom colours and the settings file; the document goes
    // first.
    ~CAppWindow() override;

    // Opens the paths, shows the window and returns 0 when the main window's thread has ended.
    int Run(const std::vector<Brivox::String>& paths, int showCommand);
    // Run's steps up to its message loop, and the wait for the loop's end, apart.
    void Start(const std::vector<Brivox::String>& paths, int showCommand);
    void WaitUntilClosed();

    void ApplySettings();
    // The settings dialog opened on the page, then the settings saved and applied again and the
    // menu brought up to date, whether the dialog ended with OK or Cancel.
    void ShowConfigDialog(int startPage);
    // True when the current list may be dropped: no marks, or the user agreed to clear them.
    bool ConfirmClose();
    void OpenFiles(const std::vector<Brivox::String>& paths, bool fromDrop);
    // The archive-password dialog, on whichever thread extracts the entry: modal to the main window
    // on its own thread, without an owner on any other. True with the text typed on OK.
    bool QueryPassword(const Brivox::String& archivePath, Brivox::String& password, int attempt);

    HWND GetToolDialogWindow() const override;
    Brivox::CConfig& GetToolDialogSettings() override { return m_settings; }
    // "ArcPassMask" as last applied or handed over; any thread may ask.
    bool GetArcPassMask() const override { return m_arcPassMask; }
    // Stored on the main window's thread: at once there, posted from any other.
    void HandOverArcPassMask(bool mask) override;
    // "ArcPassMask" written to the store; on the main window's thread.
    void StoreArcPassMask(bool mask);

    // The image tool dialogs' view of the document and the file dialog they share with the rest.
    IPreviewDocument& GetPreviewDocument() override { return *m_document; }
    Brivox::CFileDialog& GetToolFileDialog() override { return m_fileDialog; }

    bool HookMessage(Brivox::SMessage& message) override;
    void UpdateScrollBars() override;
    void InvalidateView(const Brivox::CRect& rect) override;
    void ReportError(const Brivox::String& text) override;

    bool OnCommand(const Brivox::SMessage& message);
    void UpdateTitle();
    STitleFacts GetTitleFacts() const;
    // The name the save and export dialogs propose, without folder and extension.
    Brivox::String BuildSaveFileName() const;
    void UpdateMenuState();
    // The selection in view coordinates when it counts (wider and taller than one pixel), else
    // empty.
    Brivox::CRect GetSelectionRect() const;

    // The slide show: timer 100 at "SlideShowFreq" milliseconds, one step per tick.
    static constexpr UINT_PTR SlideShowTimer = 100;
    void StartSlideShow();
    void StopSlideShow();
    bool IsSlideShowRunning() const { return m_slideShowRunning; }
    void OnSlideShowTimer();

    // Carries the job out on the main window's thread and returns when it has; its exception is
    // thrown here.
    void RunOnWindowThread(const std::function<void()>& job);

    Brivox::CConfig& GetSettings() { return m_settings; }
    Brivox::CWindow& GetWindow() const { return *m_window; }
    CDocument* GetDocument() const { return m_document.get(); }
    const Brivox::String& GetSettingsPath() const { return m_settingsPath; }
    const Brivox::CRect& GetRestoreRect() const { return m_restoreRect; }
    Brivox::CSelectionRect& GetSelection() { return *m_selection; }
    // Null until Run has made it.
    CKeyConfigEx* GetKeyConfig() const { return m_keyConfig.get(); }

    // The file list window and the magnifier.
    CFileListWindow& GetFileListWindow() const { return *m_fileListWindow; }
    CMagnifierWindow& GetMagnifier() const { return *m_magnifier; }
    // The magnifier's contents, on its thread: the page around the cursor enlarged by
    // "Magnification", black around it; drawn from what the main window's thread last published.
    void DrawMagnified(const PAINTSTRUCT& paint, const Brivox::CSize& client,
                       const Brivox::CPoint& cursor) override;
    // The external viewer of the settings prefix ("ExViewer0"...) started on the current file, or
    // on the archive on disk that holds it; nothing while no page is shown.
    void RunExternalViewer(const Brivox::String& prefix);
    // Where the file commands start Explorer and the text editor; tests record the starts instead.
    using ProcessStarter = std::function<void(const Brivox::ProcessStartInfo&)>;
    void SetProcessStarter(ProcessStarter starter) { m_startProcess = std::move(starter); }

protected:
    bool Query(const Brivox::String& archivePath, Brivox::String& password, int attempt) override
    {
        return QueryPassword(archivePath, password, attempt);
    }

private:
    // The cursor hider's view of the main window.
    class CCursorTarget : public Brivox::ICursorTarget
    {
    public:
        explicit CCursorTarget(CAppWindow& owner) : m_owner(owner) {}
        HWND GetCursorTargetWindow() const override;
        void HideMouseCursor() override;
        void ShowMouseCursor() override;

    private:
        CAppWindow& m_owner;
    };

    void Construct();
    static bool RunWindowRequest(LPARAM parameter);
    void StartOnWindowThread(const std::vector<Brivox::String>& paths, int showCommand);
    bool OnWindowThread() const;
    bool HasWindow() const;
    // The values the destructor stores, and the save.
    void StoreAndSaveSettings();
    // The document closed, the file list window and the full-screen changer gone.
    void CloseDocumentAndCompanions();
    void OnCreate(HWND hwnd);
    void OnClose();
    void OnPaint(HWND hwnd);
    void OnMove(HWND hwnd);
    void OnScrollBar();
    void OnSelectionPress();
    void RebuildRegistries();
    // The command groups; each answers whether the command was one of its own.
    bool RunWindowCommand(int command);
    bool RunViewCommand(int command);
    bool RunListCommand(int command);
    bool RunHelpCommand(int command);
    bool Navigate(int command);
    void SetStretch(int stretchType, std::optional<double> rate);
    // Spread value 1 or 2 switched on, or off when it is on.
    void ToggleSpread(int value);
    void ToggleMenuBar();
    void ToggleFullScreen(bool changeMode);
    bool IsFullScreen() const;
    // Hidden while in full screen with "FullScreenCursorHide" on.
    void UpdateForcedCursor();
    // The commands that open the settings and tool dialogs.
    bool RunDialogCommand(int command);
    void ToggleSlideShow();
    void OpenHistoryDialog();
    void ShowVersionDialog();
    void ShowImageInfoDialog();
    // The image, filter, clipboard and export commands.
    bool RunImageCommand(int command);
    // The end of every filter command: the filter keys handed to the workers, the pages composed
    // again with them, the menu brought up to date.
    void ApplyFilterChange();
    // The key becomes the value, or 0 when it holds the value already.
    void ToggleFilterValue(const wchar_t* key, int value);
    void CropToSelection();
    void FillSelection();
    // The page, or the selection, written in the command's format to a file the user names.
    void ExportPage(int command);
    // The file list window and magnifier commands, and the messages the list window sends.
    bool RunCompanionCommand(int command);
    bool OnCompanionMessage(const Brivox::SMessage& message);
    // What the magnifier's thread reads, copied on the main window's thread after every change
    // of the page or the view.
    void PublishMagnifierView();
    // The magnifier ended and the file list window closed and told of nothing more: both read the
    // document on threads of their own.
    void EndCompanions();
    // The file, mark, bookmark, external-viewer and wallpaper commands.
    bool RunFileCommand(int command);
    bool RunMarkCommand(int command);
    bool RunCurrentFileCommand(int command);
    bool RunBookmarkCommand(int command);
    // A Yes/No question box over the main window; true for Yes.
    bool Confirm(const Brivox::String& caption, const Brivox::String& text);
    // The folder dialog from "CurrentDir"; the chosen folder, or nothing when cancelled.
    std::optional<Brivox::String> ChooseFolder(const Brivox::String& title);
    // The save dialog for the current file; the chosen path, or nothing when cancelled.
    std::optional<Brivox::String> ChooseSaveTarget(const Brivox::String& title);
    // The bookmark dialog: the remembered bookmark's folder and name, or "BookmarkDir".
    std::optional<Brivox::String> ChooseBookmark(const Brivox::String& title, bool save);
    // The image tool dialogs and the filters they edit (app_window_tool_commands.cpp).
    bool RunToolDialogCommand(int command);
    // A filter's key switched off, or its dialog run in filter mode while it is off.
    void ToggleFilterDialog(const wchar_t* key, Brivox::CResourceDialogBase& dialog);
    // The association dialog and the network update.
    bool RunSetupCommand(int command);

    Brivox::String m_baseName;
    Brivox::String m_settingsPath;
    Brivox::CConfig m_settings;
    std::unique_ptr<Brivox::CWindow> m_window;
    std::unique_ptr<Brivox::CScreenChanger> m_screenChanger;
    CCursorTarget m_cursorTarget{*this};
    std::unique_ptr<Brivox::CCursorHider> m_cursorHider;
    std::unique_ptr<Brivox::CWindowSnapper> m_snapper;
    std::unique_ptr<CMainMenu> m_menu;
    std::unique_ptr<Brivox::HScrollBar> m_hScrollBar;
    std::unique_ptr<Brivox::VScrollBar> m_vScrollBar;
    std::shared_ptr<Brivox::CSpiHost> m_spi;
    std::shared_ptr<Brivox::IFactory<Brivox::IImageLoader>> m_jpegLoader, m_pngLoader, m_bmpLoader,
        m_spiLoader, m_argbLoader, m_tgaLoader, m_oleLoader;
    std::shared_ptr<Brivox::IFactory<Brivox::IArchiver>> m_unZip, m_sevenZip, m_unRar, m_unLha, m_spiArchiver,
        m_zip, m_unGca;
    std::unique_ptr<CDocument> m_document;
    std::unique_ptr<CKeyConfigEx> m_keyConfig;
    std::unique_ptr<Brivox::CSelectionRect> m_selection;
    Brivox::CFileDialog m_fileDialog;
    Brivox::CFolderDialog m_folderDialog;
    Brivox::CColorDialog m_colorDialog;
    Brivox::CRect m_restoreRect;
    bool m_slideShowRunning = false;
    bool m_restoreDisabled = false;
    // The snapshot of "ArcPassMask" the password dialog reads on a loader's thread.
    std::atomic<bool> m_arcPassMask{true};
    // Errors of other threads, shown on the main window's thread.
    std::mutex m_errorsLock;
    std::vector<Brivox::String> m_errors;
    // The file list window and the magnifier, ended before the document goes.
    std::unique_ptr<CMagnifierWindow> m_magnifier;
    std::unique_ptr<CFileListWindow> m_fileListWindow;
    struct SMagnifierView
    {
        std::shared_ptr<Brivox::ILayout> layout;
        int magnification = 100;
    };
    // A leaf lock: held only to copy or read the view.
    std::mutex m_magnifierViewLock;
    std::shared_ptr<SMagnifierView> m_magnifierView;
    ProcessStarter m_startProcess = [](const Brivox::ProcessStartInfo& start) {
        (void)Brivox::Process::Start(start);
    };
};
