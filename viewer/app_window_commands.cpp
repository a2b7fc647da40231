// The command dispatcher and the menu state.
#include "foundation/command_line.h"
#include "foundation/display_mode.h"
#include "foundation/file_name.h"
#include "foundation/process.h"
#include "foundation/string_builder.h"
#include "settings/config_dialog.h"
#include "settings/tool_dialogs.h"
#include "ui/cursor_hider.h"
#include "ui/menu.h"
#include "ui/screen_changer.h"
#include "ui/window.h"
#include "viewer/app_frame.h"
#include "viewer/app_window.h"
#include "viewer/command_table.h"
#include "viewer/image_info.h"
#include "viewer/key_config_ex.h"
#include "viewer/main_menu.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace {

// The commands carried out so far; every other command of the table waits for its part of the
// viewer: its item is greyed and the command does nothing.
// clang-format off
constexpr std::array AvailableCommands{
    // Window and program.
    CmdNewWindow, CmdMinimizeWindow, CmdMaximizeWindow, CmdExit,
    // View.
    CmdFitShrink, CmdFitShrinkEnlarge, CmdFitEnlarge, CmdActualSize, CmdFixedZoom, CmdZoomOut, CmdZoomIn,
    CmdZoomReset, CmdAllowStickOut, CmdPadding, CmdSpreadView, CmdSpreadViewLeftBound, CmdTopMost,
    CmdDetachMenuBar, CmdToggleFullScreenWindow, CmdToggleFullScreenMode, CmdHideCursorInFullScreen,
    // Navigation.
    CmdPrevious, CmdNext, CmdPreviousPage, CmdNextPage, CmdBack5, CmdForward5, CmdBack50, CmdForward50,
    CmdPreviousFolder, CmdNextFolder, CmdPreviousMarked, CmdNextMarked, CmdFirst, CmdLast, CmdPreviousSorted,
    CmdNextSorted,
    // List order.
    CmdSortList, CmdSortIgnoreCase, CmdSortByFileName, CmdSortByFileNameIgnoreCase, CmdSortBySize,
    CmdSortByDate, CmdSortNumeric, CmdShuffleList, CmdShuffleFolders,
    // Files, marks, bookmarks, external viewers and the wallpaper.
    CmdOpenFile, CmdOpenFolder, CmdCloseAll, CmdSetMark, CmdClearMark, CmdClearAllMarks, CmdInvertAllMarks,
    CmdInvertMarksToCurrent, CmdRemoveMarkedFromList, CmdDeleteMarkedFiles, CmdMoveMarkedFiles,
    CmdCopyMarkedFiles, CmdCopyMarkedFileNames, CmdOpenImageFolder, CmdCopyFileName, CmdRemoveFromList,
    CmdDeleteFile, CmdMoveFile, CmdCopyFile, CmdSaveBookmark, CmdLoadBookmark, CmdEditBookmark,
    CmdExternalViewer1, CmdExternalViewer2, CmdExternalViewer3, CmdSetWallpaper,
    // Folders and web pages.
    CmdOpenProgramFolder, CmdOpenBookmarkFolder, CmdOpenPluginFolder, CmdOpenTempFolder,
    CmdOpenWallpaperFolder, CmdOpenReadme, CmdMailAuthor, CmdOpenWebSite, CmdHelp,
    // Settings and tool dialogs.
    CmdDisplaySettings, CmdImageSettings, CmdDrawSettings, CmdListSettings, CmdGeneralSettings,
    CmdPluginSettings, CmdExternalViewerSettings, CmdSlideShow, CmdOpenHistory, CmdVersionInfo, CmdImageInfo,
    CmdKeySettings,
    // Page operations, selection and clipboard.
    CmdReload, CmdPaste, CmdFlipHorizontal, CmdFlipVertical, CmdRotateClockwise, CmdRotateCounterClockwise,
    CmdRotate180, CmdClearSelection, CmdCrop, CmdFill, CmdInvertColors, CmdGrayscaleSimple, CmdGrayscaleExact,
    CmdBlur, CmdBlurStrong, CmdSharpen, CmdSharpenStrong, CmdMedian, CmdCopyImage,
    // Exports.
    CmdExportJpg, CmdExportBmp, CmdExportPng, CmdExportArgb,
    // Filters.
    CmdToggleFilters, CmdFilterFlipHorizontal, CmdFilterFlipVertical, CmdFilterRotate180,
    CmdFilterRotateClockwise, CmdFilterRotateCounterClockwise, CmdFilterGrayscaleSimple,
    CmdFilterGrayscaleExact, CmdFilterBlur, CmdFilterSharpen, CmdFilterBlurStrong, CmdFilterSharpenStrong,
    CmdFilterMedian, CmdFilterInvertColors,
    // File list window and magnifier.
    CmdFileListWindow, CmdMagnifier,
    // Image tool dialogs and the filters they edit.
    CmdRotateByAngle, CmdResize, CmdLevels, CmdGamma, CmdBrightnessContrast, CmdMosaic, CmdGaussianBlur,
    CmdUnsharpMask, CmdApplyAlpha, CmdFilterLevels, CmdFilterGamma, CmdFilterBrightnessContrast,
    CmdFilterGaussianBlur, CmdFilterUnsharpMask, CmdFilterApplyAlpha,
    // Association and update.
    CmdEnvironmentSettings, CmdNetworkUpdate,
};
// clang-format on

// The maker's web pages.
constexpr const wchar_t* MailFormPage = L"https://example.com/kanoru/mail/";
constexpr const wchar_t* WebSitePage = L"https://example.com/kanoru/";
constexpr const wchar_t* HelpPage = L"https://example.com/kanoru/help/";

constexpr double MinimumRate = 0.0625;
constexpr double MaximumRate = 8.0;

bool IsAssigned(int command)
{
    return command >= 0 && command <= 153 && command != 42 && command != 76 && command != 77 &&
           command != 78 && command != 96;
}

struct SCheckRule
{
    Command command;
    const wchar_t* key;
    int value; // -1: the key is a bool that must be true
};

// Check marks in the order they are set.
constexpr SCheckRule CheckRules[] = {
    {CmdFilterFlipHorizontal, L"FilterRot1", 1},
    {CmdFilterFlipVertical, L"FilterRot1", 2},
    {CmdFilterRotate180, L"FilterRot1", 3},
    {CmdFilterRotateClockwise, L"FilterRot2", 1},
    {CmdFilterRotateCounterClockwise, L"FilterRot2", 2},
    {CmdFilterLevels, L"FilterLevelRev", -1},
    {CmdFilterGamma, L"FilterGammaRev", -1},
    {CmdFilterBrightnessContrast, L"FilterBC", -1},
    {CmdFilterGrayscaleSimple, L"FilterGray", 1},
    {CmdFilterGrayscaleExact, L"FilterGray", 2},
    {CmdFilterBlur, L"FilterSharp", 1},
    {CmdFilterSharpen, L"FilterSharp", 2},
    {CmdFilterBlurStrong, L"FilterSharp", 3},
    {CmdFilterSharpenStrong, L"FilterSharp", 4},
    {CmdFilterGaussianBlur, L"FilterGauss", -1},
    {CmdFilterUnsharpMask, L"FilterUnsharp", -1},
    {CmdFilterMedian, L"FilterMedian", -1},
    {CmdFilterInvertColors, L"FilterNeg", -1},
    {CmdFilterApplyAlpha, L"FilterAlpha", -1},
    {CmdToggleFilters, L"Filter", -1},
};

constexpr SCheckRule ViewCheckRules[] = {
    {CmdSpreadView, L"ImageSpreadView_", 1},
    {CmdSpreadViewLeftBound, L"ImageSpreadView_", 2},
    {CmdFitShrink, L"DrawStretchType", 0},
    {CmdFitShrinkEnlarge, L"DrawStretchType", 1},
    {CmdFitEnlarge, L"DrawStretchType", 2},
    {CmdActualSize, L"DrawStretchType", 3},
    {CmdFixedZoom, L"DrawStretchType", 4},
    {CmdAllowStickOut, L"DrawStickOut", -1},
    {CmdPadding, L"Padding", -1},
    {CmdHideCursorInFullScreen, L"FullScreenCursorHide", -1},
    {CmdTopMost, L"WindowTopMost", -1},
};

bool IsChecked(const Brivox::CConfig& settings, const SCheckRule& rule)
{
    return rule.value < 0 ? settings.GetBool(rule.key) : settings.GetInt(rule.key) == rule.value;
}

} // namespace

Brivox::String BuildVersionReport(std::uint64_t availableMemory, int cachedPages, bool scaledCopies,
                                  bool fileCache)
{
    const auto onOff = [](bool on) { return Brivox::String(on ? L"ON" : L"OFF"); };
    return Brivox::String(L"推定空きメモリ:\t約") +
           Brivox::IntToString(static_cast<int>(availableMemory >> 20)) + L"MB\r\n" + L"キャッシュ枚数:\t" +
           Brivox::IntToString(cachedPages) + L"枚\r\n" + L"縮小キャッシュ:\t" + onOff(scaledCopies) +
           L"\r\n" + L"ﾌｧｲﾙキャッシュ:\t" + onOff(fileCache) + L"\r\n";
}

bool IsCommandAvailable(int command)
{
    return std::find(AvailableCommands.begin(), AvailableCommands.end(), command) != AvailableCommands.end();
}

bool CAppWindow::OnCommand(const Brivox::SMessage& message)
{
    const int command = static_cast<int>(LOWORD(message.wParam)) - CommandIdBase;
    if (!IsAssigned(command))
        return false;
    if (!IsCommandAvailable(command) || !m_document)
        return true;
    if (!RunWindowCommand(command) && !RunViewCommand(command) && !RunListCommand(command) &&
        !RunDialogCommand(command) && !RunImageCommand(command) && !RunCompanionCommand(command) &&
        !RunFileCommand(command) && !RunToolDialogCommand(command) && !RunSetupCommand(command))
        RunHelpCommand(command);
    return true;
}

bool CAppWindow::RunWindowCommand(int command)
{
    switch (command) {
    case CmdNewWindow:
        // A second instance on the default settings files.
        Brivox::Process::Start(Brivox::GetModuleFileNameString());
        return true;
    case CmdMinimizeWindow:
        m_window->Show(SW_MINIMIZE);
        return true;
    case CmdMaximizeWindow:
        m_window->Show(m_window->IsMaximized() ? SW_RESTORE : SW_MAXIMIZE);
        return true;
    case CmdExit:
        m_window->Close();
        return true;
    case CmdKeySettings:
        // Whatever closed the dialog, the menu shows the bindings now in force.
        if (m_keyConfig) {
            m_keyConfig->ShowDialog();
            m_keyConfig->UpdateMenuTexts(m_menu->GetHandle());
        }
        return true;
    default:
        return false;
    }
}

void CAppWindow::SetStretch(int stretchType, std::optional<double> rate)
{
    m_settings.SetInt(L"DrawStretchType", stretchType);
    if (rate)
        m_settings.SetDouble(L"DrawStretchRate", *rate);
}

bool CAppWindow::RunViewCommand(int command)
{
    const double root2 = std::sqrt(2.0);
    switch (command) {
    case CmdFitShrink:
    case CmdFitShrinkEnlarge:
    case CmdFitEnlarge:
    case CmdActualSize:
    case CmdFixedZoom: {
        const int type = command == CmdFitShrink          ? 0
                         : command == CmdFitShrinkEnlarge ? 1
                         : command == CmdFitEnlarge       ? 2
                         : command == CmdActualSize       ? 3
                                                          : 4;
        SetStretch(type, std::nullopt);
        break;
    }
    case CmdZoomOut:
        SetStretch(4, std::max(m_settings.GetDouble(L"DrawStretchRate") / root2, MinimumRate));
        break;
    case CmdZoomIn:
        SetStretch(4, std::min(m_settings.GetDouble(L"DrawStretchRate") * root2, MaximumRate));
        break;
    case CmdZoomReset:
        SetStretch(4, 1.0);
        break;
    case CmdAllowStickOut:
        m_settings.SetBool(L"DrawStickOut", !m_settings.GetBool(L"DrawStickOut"));
        break;
    case CmdPadding:
        m_settings.SetBool(L"Padding", !m_settings.GetBool(L"Padding"));
        break;
    case CmdSpreadView:
        ToggleSpread(1);
        return true;
    case CmdSpreadViewLeftBound:
        ToggleSpread(2);
        return true;
    case CmdTopMost: {
        const bool topMost = !m_settings.GetBool(L"WindowTopMost");
        m_settings.SetBool(L"WindowTopMost", topMost);
        UpdateMenuState();
        if (m_screenChanger)
            m_screenChanger->SetTopMost(topMost);
        return true;
    }
    case CmdDetachMenuBar:
        ToggleMenuBar();
        return true;
    case CmdToggleFullScreenWindow:
        ToggleFullScreen(false);
        return true;
    case CmdToggleFullScreenMode:
        ToggleFullScreen(true);
        return true;
    case CmdHideCursorInFullScreen:
        m_settings.SetBool(L"FullScreenCursorHide", !m_settings.GetBool(L"FullScreenCursorHide"));
        UpdateMenuState();
        UpdateForcedCursor();
        return true;
    default:
        return false;
    }
    UpdateMenuState();
    m_document->ApplySettings(true);
    return true;
}

void CAppWindow::ToggleSpread(int value)
{
    if (m_settings.GetInt(L"ImageSpreadView_") != value) {
        m_settings.SetInt(L"ImageSpreadView_", value);
    } else {
        const bool spreadShown = m_document->IsSpreadPage();
        m_settings.SetInt(L"ImageSpreadView_", 0);
        // The second file of the spread stays on show.
        if (spreadShown && m_settings.GetBool(L"NextOnCancelSpread"))
            m_document->GoNext(1, false);
    }
    UpdateMenuState();
    m_document->ApplySettings(false);
    m_document->Reload(false);
}

void CAppWindow::ToggleMenuBar()
{
    if (!m_screenChanger)
        return;
    if (!m_screenChanger->GetMenu()) {
        m_screenChanger->SetMenu(m_menu->GetHandle());
        if (m_keyConfig)
            m_keyConfig->UpdateMenuTexts(m_menu->GetHandle());
        UpdateMenuState();
    } else {
        m_screenChanger->SetMenu(nullptr);
    }
}

bool CAppWindow::IsFullScreen() const
{
    return m_screenChanger && m_screenChanger->GetState() != Brivox::CScreenChanger::Windowed;
}

void CAppWindow::UpdateForcedCursor()
{
    if (m_cursorHider)
        m_cursorHider->SetForcedHidden(IsFullScreen() && m_settings.GetBool(L"FullScreenCursorHide"));
}

void CAppWindow::ToggleFullScreen(bool changeMode)
{
    if (!m_screenChanger)
        return;
    if (IsFullScreen()) {
        m_screenChanger->SetDisplayMode(m_restoreRect.Width(), m_restoreRect.Height());
        m_screenChanger->Leave();
    } else {
        if (changeMode) {
            const SIZE size = m_settings.GetSize(L"FullScreen");
            m_screenChanger->SetDisplayMode(size.cx, size.cy, m_settings.GetInt(L"FullScreenBpp"));
        } else {
            const Brivox::DisplayMode current = Brivox::GetCurrentDisplayMode();
            m_screenChanger->SetDisplayMode(current.width, current.height, -1);
        }
        m_screenChanger->Enter();
    }
    UpdateForcedCursor();
}

bool CAppWindow::RunListCommand(int command)
{
    switch (command) {
    case CmdSortList:
        m_document->SortList(0);
        return true;
    case CmdSortIgnoreCase:
        m_document->SortList(1);
        return true;
    case CmdSortByFileName:
        m_document->SortList(2);
        return true;
    case CmdSortByFileNameIgnoreCase:
        m_document->SortList(3);
        return true;
    case CmdSortBySize:
        m_document->SortList(4);
        return true;
    case CmdSortByDate:
        m_document->SortList(5);
        return true;
    case CmdSortNumeric:
        m_document->SortList(6);
        return true;
    case CmdShuffleList:
        m_document->Shuffle();
        return true;
    case CmdShuffleFolders:
        m_document->ShuffleFolders();
        return true;
    default:
        return Navigate(command);
    }
}

bool CAppWindow::RunHelpCommand(int command)
{
    const Brivox::String& programFolder = Brivox::CFileName::ExecutableDirectory();
    const auto folderOf = [&](const wchar_t* key) {
        return Brivox::CFileName(m_settings.GetRaw(key), programFolder).ToString();
    };
    switch (command) {
    case CmdOpenProgramFolder:
        Brivox::Process::Start(programFolder);
        return true;
    case CmdOpenBookmarkFolder:
        Brivox::Process::Start(folderOf(L"BookmarkDir"));
        return true;
    case CmdOpenPluginFolder:
        Brivox::Process::Start(folderOf(L"SpiPluginsDir"));
        return true;
    case CmdOpenTempFolder:
        Brivox::Process::Start(Brivox::CFileName::AppendSeparator(folderOf(L"TmpDir")) + L"$Kanoru$");
        return true;
    case CmdOpenWallpaperFolder:
        Brivox::Process::Start(folderOf(L"WallpaperDir"));
        return true;
    case CmdOpenReadme:
        Brivox::Process::Start(programFolder + L"Kanoru.txt");
        return true;
    case CmdMailAuthor:
        Brivox::Process::Start(MailFormPage);
        return true;
    case CmdOpenWebSite:
        Brivox::Process::Start(WebSitePage);
        return true;
    case CmdHelp:
        Brivox::Process::Start(HelpPage);
        return true;
    default:
        return false;
    }
}

void CAppWindow::ShowConfigDialog(int startPage)
{
    {
        // The plug-in set loaded now stays while its page may call into it.
        const std::shared_ptr<const Brivox::CSpi> spi = m_spi->GetSpi();
        ::ShowConfigDialog(m_window->GetHandle(), m_settings, spi.get(), startPage);
    }
    // OK or Cancel: the settings are saved and applied, and the menu shows them.
    ApplySettings();
    UpdateMenuState();
    m_window->ForceForeground();
}

bool CAppWindow::RunDialogCommand(int command)
{
    const int startPage = ConfigDialogStartPage(CommandIdBase + command);
    if (startPage >= 0) {
        ShowConfigDialog(startPage);
        return true;
    }
    switch (command) {
    case CmdSlideShow:
        ToggleSlideShow();
        return true;
    case CmdOpenHistory:
        OpenHistoryDialog();
        return true;
    case CmdVersionInfo:
        ShowVersionDialog();
        return true;
    case CmdImageInfo:
        ShowImageInfoDialog();
        return true;
    default:
        return false;
    }
}

void CAppWindow::ToggleSlideShow()
{
    if (!m_document->HasCurrentImage())
        return;
    if (m_slideShowRunning) {
        StopSlideShow();
        return;
    }
    CSlideShowDialog dialog(*this);
    dialog.DoModal(m_window->GetHandle());
    if (dialog.IsConfirmed())
        StartSlideShow();
}

void CAppWindow::OpenHistoryDialog()
{
    CHistoryDialog dialog(*this);
    dialog.DoModal(m_window->GetHandle());
    if (dialog.IsConfirmed())
        m_document->OpenHistory(dialog.GetChosenNumber());
}

void CAppWindow::ShowVersionDialog()
{
    CDocument& document = *m_document;
    const Brivox::String report =
        BuildVersionReport(document.EstimateAvailableMemory(), document.GetCachedPageCount(),
                           document.AreDisplayCopiesInUse(), m_settings.GetBool(L"LoaderCaching"));
    CVersionDialog dialog(*this, Brivox::GetBuildString(), report);
    dialog.DoModal(m_window->GetHandle());
}

void CAppWindow::ShowImageInfoDialog()
{
    if (!m_document->HasCurrentImage())
        return;
    CImageInfoDialog dialog(*this);
    dialog.SetLines(BuildImageInfoLines(*m_document, GetSelectionRect()));
    dialog.DoModal(m_window->GetHandle());
}

bool CAppWindow::Navigate(int command)
{
    CDocument& document = *m_document;
    switch (command) {
    case CmdPrevious:
        document.GoPrevious(-1);
        break;
    case CmdNext:
        document.GoNext(-1);
        break;
    case CmdPreviousPage:
        document.GoPrevious(1);
        break;
    case CmdNextPage:
        document.GoNext(1);
        break;
    case CmdBack5:
        document.GoPrevious(5);
        break;
    case CmdForward5:
        document.GoNext(5);
        break;
    case CmdBack50:
        document.GoPrevious(50);
        break;
    case CmdForward50:
        document.GoNext(50);
        break;
    case CmdPreviousFolder:
        document.GoPrevFolder();
        break;
    case CmdNextFolder:
        document.GoNextFolder();
        break;
    case CmdPreviousMarked:
        document.GoPrevMarked();
        break;
    case CmdNextMarked:
        document.GoNextMarked();
        break;
    case CmdFirst:
        document.GoTo(0);
        break;
    case CmdLast:
        document.GoLast();
        break;
    case CmdPreviousSorted:
        document.GoPrevInSortedOrder();
        break;
    case CmdNextSorted:
        document.GoNextInSortedOrder();
        break;
    default:
        return false;
    }
    return true;
}

void CAppWindow::UpdateMenuState()
{
    const Brivox::CMenuHandle menu(m_screenChanger ? m_screenChanger->GetMenu() : m_window->GetMenu());
    if (!menu.GetHandle())
        return;
    for (const SCheckRule& rule : CheckRules)
        menu.CheckItem(CommandIdBase + rule.command, IsChecked(m_settings, rule));
    menu.CheckItem(CommandIdBase + CmdSlideShow, m_slideShowRunning);
    for (const SCheckRule& rule : ViewCheckRules)
        menu.CheckItem(CommandIdBase + rule.command, IsChecked(m_settings, rule));

    const bool filters = m_settings.GetBool(L"Filter");
    for (const SCommandRow& row : CommandTable()) {
        const bool filterItem = row.category == 3 && row.command != CmdToggleFilters;
        menu.EnableItem(row.id, IsCommandAvailable(row.command) && (!filterItem || filters));
    }
    if (m_screenChanger)
        m_screenChanger->DrawMenuBar();
    else
        ::DrawMenuBar(m_window->GetHandle());
}
