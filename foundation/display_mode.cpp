#include "foundation/display_mode.h"

#include "foundation/dynamic_library.h"
#include "foundation/exception.h"
#include "foundation/win32.h"

#include <atomic>
#include <exception>

namespace Brivox {

namespace {

// Set by a change, cleared by the restore. The full-screen code changes and restores on window
// threads one after another.
std::atomic<bool> modeChanged{false};

using GetMonitorInfoFunction = BOOL(WINAPI*)(HMONITOR, LPMONITORINFO);
using EnumDisplayMonitorsFunction = BOOL(WINAPI*)(HDC, LPCRECT, MONITORENUMPROC, LPARAM);
// Looked up once; every caller would store the same address.
std::atomic<GetMonitorInfoFunction> getMonitorInfo{nullptr};

// Mode index of the primary display, or ENUM_CURRENT_SETTINGS.
bool ReadDisplayMode(DWORD index, DisplayMode& mode)
{
    DEVMODEA record = {};
    record.dmSize = sizeof record;
    if (!::EnumDisplaySettingsA(nullptr, index, &record))
        return false;
    mode = DisplayMode{static_cast<int>(record.dmPelsWidth), static_cast<int>(record.dmPelsHeight),
                       static_cast<int>(record.dmBitsPerPel), static_cast<int>(record.dmDisplayFrequency)};
    return true;
}

bool Matches(int filter, int value)
{
    return filter == -1 || filter == value;
}

bool ApplyFullScreenMode(DEVMODEA& record)
{
    return ::ChangeDisplaySettingsA(&record, CDS_FULLSCREEN) == DISP_CHANGE_SUCCESSFUL;
}

BOOL CALLBACK CollectWorkArea(HMONITOR monitor, HDC, LPRECT, LPARAM data)
{
    MONITORINFO info = {};
    info.cbSize = sizeof info;
    if (getMonitorInfo.load()(monitor, &info)) {
        const RECT& work = info.rcWork;
        reinterpret_cast<std::vector<CRect>*>(data)->push_back(
            CRect{work.left, work.top, work.right, work.bottom});
    }
    return TRUE;
}

} // namespace

bool DisplayMode::Differs(const DisplayMode& other) const
{
    return (width != -1 && width != other.width) || (height != -1 && height != other.height) ||
           (bitsPerPixel != -1 && bitsPerPixel != other.bitsPerPixel) ||
           (frequency != -1 && other.frequency != -1 && frequency != other.frequency);
}

DisplayMode GetCurrentDisplayMode()
{
    DisplayMode mode;
    if (!ReadDisplayMode(ENUM_CURRENT_SETTINGS, mode))
        return DisplayMode{};
    return mode;
}

int FindDisplayMode(const DisplayMode& filter)
{
    DisplayMode mode;
    for (DWORD index = 0; ReadDisplayMode(index, mode); ++index) {
        if (Matches(filter.width, mode.width) && Matches(filter.height, mode.height) &&
            Matches(filter.bitsPerPixel, mode.bitsPerPixel) && Matches(filter.frequency, mode.frequency))
            return static_cast<int>(index);
    }
    return -1;
}

bool IsDisplayModeAvailable(const DisplayMode& filter)
{
    return FindDisplayMode(filter) >= 0;
}

void ChangeDisplayMode(const DisplayMode& filter)
{
    const DisplayMode current = GetCurrentDisplayMode();
    if (!filter.Differs(current))
        return;
    modeChanged = true;

    DEVMODEA record = {};
    record.dmSize = sizeof record;
    if (filter.width != -1) {
        record.dmPelsWidth = static_cast<DWORD>(filter.width);
        record.dmFields |= DM_PELSWIDTH;
    }
    if (filter.height != -1) {
        record.dmPelsHeight = static_cast<DWORD>(filter.height);
        record.dmFields |= DM_PELSHEIGHT;
    }
    if (filter.bitsPerPixel != -1) {
        record.dmBitsPerPel = static_cast<DWORD>(filter.bitsPerPixel);
        record.dmFields |= DM_BITSPERPEL;
    }
    // Without a frequency of its own the mode keeps the current one where the display offers it
    // at the new size, and takes the display's choice where not.
    record.dmDisplayFrequency =
        static_cast<DWORD>(filter.frequency != -1 ? filter.frequency : current.frequency);
    record.dmFields |= DM_DISPLAYFREQUENCY;
    if (ApplyFullScreenMode(record))
        return;
    if (filter.frequency == -1) {
        record.dmFields &= ~DM_DISPLAYFREQUENCY;
        if (ApplyFullScreenMode(record))
            return;
    }
    throw RuntimeException(L"ディスプレイモードの変更に失敗しました");
}

bool RestoreDisplayMode()
{
    if (!modeChanged)
        return false;
    ::ChangeDisplaySettingsA(nullptr, 0);
    modeChanged = false;
    return true;
}

CRect GetWorkArea()
{
    RECT area = {};
    ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    return CRect{area.left, area.top, area.right, area.bottom};
}

std::vector<CRect> GetMonitorRects()
{
    try {
        CDynamicLibrary user32(L"user32.dll", false);
        if (!getMonitorInfo.load())
            getMonitorInfo = user32.GetProc<GetMonitorInfoFunction>(L"GetMonitorInfoA");
        auto enumerate = user32.GetProc<EnumDisplayMonitorsFunction>(L"EnumDisplayMonitors");
        std::vector<CRect> rects;
        enumerate(nullptr, nullptr, &CollectWorkArea, reinterpret_cast<LPARAM>(&rects));
        return rects;
    } catch (const std::exception&) {
        return {GetWorkArea()};
    }
}

} // namespace Brivox
