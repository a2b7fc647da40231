#pragma once
// The viewer's commands: one table, in menu order, that gives each command its number, its
// WM_COMMAND id, its menu category, text and menu key, its default keys and where its menu group
// begins. The menu, the hot keys, the key-configuration dialog and the dispatcher all read it.
// The numbers and default keys give every key-configuration file its meaning: never change them.

#include "foundation/string.h"

#include <span>

namespace Brivox {
class CKeyConfig;
class HotKeySetting;
} // namespace Brivox

// Command numbers. 42, 76, 77, 78 and 96 belong to no command.
enum Command : int
{
    CmdNewWindow = 0,
    CmdOpenFile = 1,
    CmdOpenFolder = 2,
    CmdCloseAll = 3,
    CmdSetMark = 4,
    CmdClearMark = 5,
    CmdClearAllMarks = 6,
    CmdInvertAllMarks = 7,
    CmdDeleteMarkedFiles = 8,
    CmdOpenImageFolder = 9,
    CmdMaximizeWindow = 10,
    CmdCopyFileName = 11,
    CmdDeleteFile = 12,
    CmdMoveFile = 13,
    CmdCopyFile = 14,
    CmdMinimizeWindow = 15,
    CmdExit = 16,
    CmdReload = 17,
    CmdPaste = 18,
    CmdFlipHorizontal = 19,
    CmdFlipVertical = 20,
    CmdRotateClockwise = 21,
    CmdRotateCounterClockwise = 22,
    CmdRotate180 = 23,
    CmdRotateByAngle = 24,
    CmdResize = 25,
    CmdCrop = 26,
    CmdFill = 27,
    CmdLevels = 28,
    CmdMosaic = 29,
    CmdBlur = 30,
    CmdSharpen = 31,
    CmdInvertColors = 32,
    CmdGrayscaleSimple = 33,
    CmdGrayscaleExact = 34,
    CmdCopyImage = 35,
    CmdExportJpg = 36,
    CmdExportBmp = 37,
    CmdExportPng = 38,
    CmdExportArgb = 39,
    CmdSetWallpaper = 40,
    CmdFilterLevels = 41,
    CmdFilterGrayscaleSimple = 43,
    CmdFilterGrayscaleExact = 44,
    CmdFilterBlur = 45,
    CmdFilterSharpen = 46,
    CmdPrevious = 47,
    CmdNext = 48,
    CmdPreviousPage = 49,
    CmdNextPage = 50,
    CmdBack5 = 51,
    CmdForward5 = 52,
    CmdBack50 = 53,
    CmdForward50 = 54,
    CmdFirst = 55,
    CmdSlideShow = 56,
    CmdSortList = 57,
    CmdShuffleList = 58,
    CmdPreviousSorted = 59,
    CmdNextSorted = 60,
    CmdRemoveFromList = 61,
    CmdSaveBookmark = 62,
    CmdLoadBookmark = 63,
    CmdDisplaySettings = 64,
    CmdEnvironmentSettings = 65,
    CmdPluginSettings = 66,
    CmdKeySettings = 67,
    CmdSpreadView = 68,
    CmdFitShrinkEnlarge = 69,
    CmdFitShrink = 70,
    CmdAllowStickOut = 71,
    CmdHideCursorInFullScreen = 72,
    CmdDetachMenuBar = 73,
    CmdToggleFullScreenWindow = 74,
    CmdToggleFullScreenMode = 75,
    CmdOpenProgramFolder = 79,
    CmdOpenBookmarkFolder = 80,
    CmdOpenPluginFolder = 81,
    CmdOpenTempFolder = 82,
    CmdOpenWallpaperFolder = 83,
    CmdOpenReadme = 84,
    CmdVersionInfo = 85,
    CmdOpenWebSite = 86,
    CmdNetworkUpdate = 87,
    CmdMagnifier = 88,
    CmdImageInfo = 89,
    CmdHelp = 90,
    CmdFilterBlurStrong = 91,
    CmdFilterSharpenStrong = 92,
    CmdPreviousFolder = 93,
    CmdNextFolder = 94,
    CmdToggleFilters = 95,
    CmdInvertMarksToCurrent = 97,
    CmdRemoveMarkedFromList = 98,
    CmdBlurStrong = 99,
    CmdSharpenStrong = 100,
    CmdPadding = 101,
    CmdSpreadViewLeftBound = 102,
    CmdFileListWindow = 103,
    CmdMoveMarkedFiles = 104,
    CmdCopyMarkedFiles = 105,
    CmdGamma = 106,
    CmdFilterFlipHorizontal = 107,
    CmdFilterFlipVertical = 108,
    CmdFilterRotate180 = 109,
    CmdFilterRotateClockwise = 110,
    CmdFilterRotateCounterClockwise = 111,
    CmdFilterInvertColors = 112,
    CmdFilterMedian = 113,
    CmdMedian = 114,
    CmdFilterGamma = 115,
    CmdBrightnessContrast = 116,
    CmdFilterBrightnessContrast = 117,
    CmdPreviousMarked = 118,
    CmdNextMarked = 119,
    CmdCopyMarkedFileNames = 120,
    CmdEditBookmark = 121,
    CmdImageSettings = 122,
    CmdGeneralSettings = 123,
    CmdClearSelection = 124,
    CmdExternalViewer1 = 125,
    CmdExternalViewer2 = 126,
    CmdExternalViewer3 = 127,
    CmdExternalViewerSettings = 128,
    CmdSortIgnoreCase = 129,
    CmdSortByFileName = 130,
    CmdSortByFileNameIgnoreCase = 131,
    CmdSortBySize = 132,
    CmdSortByDate = 133,
    CmdShuffleFolders = 134,
    CmdMailAuthor = 135,
    CmdApplyAlpha = 136,
    CmdFilterApplyAlpha = 137,
    CmdSortNumeric = 138,
    CmdOpenHistory = 139,
    CmdLast = 140,
    CmdTopMost = 141,
    CmdDrawSettings = 142,
    CmdListSettings = 143,
    CmdFitEnlarge = 144,
    CmdZoomReset = 145,
    CmdFixedZoom = 146,
    CmdZoomOut = 147,
    CmdZoomIn = 148,
    CmdActualSize = 149,
    CmdGaussianBlur = 150,
    CmdUnsharpMask = 151,
    CmdFilterGaussianBlur = 152,
    CmdFilterUnsharpMask = 153,
};

// WM_COMMAND ids are this plus the command number.
constexpr int CommandIdBase = 0xF800;

// A submenu of the main menu: its caption is the category's name with its menu key.
struct SCommandCategory
{
    const wchar_t* name;
    wchar_t menuKey;
};

struct SCommandRow
{
    Command command;
    int id;
    // Index into CommandCategories().
    int category;
    const wchar_t* text;
    wchar_t menuKey;
    // Key texts joined by ", "; empty for a command without a default key.
    const wchar_t* defaultKeys;
    // The row begins a menu group: a separator stands before it unless it opens its submenu.
    bool startsGroup;
};

std::span<const SCommandCategory> CommandCategories();
// Every command in registration order: category by category, each in menu order.
std::span<const SCommandRow> CommandTable();

// The category's name, ": " and the text: the name the key-configuration dialog lists.
Brivox::String RegisteredName(const SCommandRow& row);
// The text followed by "(&" + menu key + ")".
Brivox::String MenuText(const SCommandRow& row);
Brivox::String SubmenuCaption(const SCommandCategory& category);

// Every command in table order.
void RegisterCommands(Brivox::CKeyConfig& config);
// Empties the setting and binds every command's default keys, in table order.
void ResetKeyConfigToDefaults(Brivox::HotKeySetting& setting);
