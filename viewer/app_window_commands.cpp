// The command dispatcher and the menu state.
#include "ui/menu.h"
#include "ui/screen_changer.h"
#include "ui/window.h"
#include "viewer/app_window.h"
#include "viewer/command_table.h"

#include <algorithm>
#include <array>

namespace {

// The commands carried out so far; every other command of the table waits for its part of the
// viewer: its item is greyed and the command does nothing.
constexpr std::array AvailableCommands{
    CmdPrevious, CmdNext,      CmdPreviousPage,   CmdNextPage,   CmdBack5,          CmdForward5,
    CmdBack50,   CmdForward50, CmdPreviousFolder, CmdNextFolder, CmdPreviousMarked, CmdNextMarked,
    CmdFirst,    CmdLast,      CmdPreviousSorted, CmdNextSorted, CmdExit,
};

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
    if (command == CmdExit)
        m_window->Close();
    else
        Navigate(command);
    return true;
}

void CAppWindow::Navigate(int command)
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
        break;
    }
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
