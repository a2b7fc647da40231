#include "foundation/system_info.h"

#include "foundation/dynamic_library.h"
#include "foundation/win32.h"

#include <exception>
#include <psapi.h>

namespace Brivox {

bool IsWindows2000OrLater()
{
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof info;
    ::GetVersionExA(&info);
    return info.dwMajorVersion > 4;
}

namespace {

// GlobalMemoryStatusEx where the system has it; it counts memory above 4 GiB.
bool QueryMemoryStatusEx(SMemoryStatus& status)
{
    try {
        CDynamicLibrary kernel(L"kernel32.dll", false);
        auto query = kernel.GetProc<BOOL(WINAPI*)(MEMORYSTATUSEX*)>(L"GlobalMemoryStatusEx");
        MEMORYSTATUSEX record = {};
        record.dwLength = sizeof record;
        if (!query(&record))
            return false;
        status.availablePhysical = record.ullAvailPhys;
        status.totalPhysical = record.ullTotalPhys;
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

} // namespace

SMemoryStatus GetMemoryStatus()
{
    SMemoryStatus status;
    if (QueryMemoryStatusEx(status))
        return status;
    MEMORYSTATUS record = {};
    record.dwLength = sizeof record;
    ::GlobalMemoryStatus(&record);
    status.availablePhysical = record.dwAvailPhys;
    status.totalPhysical = record.dwTotalPhys;
    return status;
}

SProcessMemoryCounters GetProcessMemoryUsage()
{
    CDynamicLibrary psapi(L"psapi.dll", true);
    auto query =
        psapi.GetProc<BOOL(WINAPI*)(HANDLE, PROCESS_MEMORY_COUNTERS*, DWORD)>(L"GetProcessMemoryInfo");
    PROCESS_MEMORY_COUNTERS record = {};
    record.cb = sizeof record;
    SProcessMemoryCounters counters;
    if (!query(::GetCurrentProcess(), &record, sizeof record))
        return counters;
    counters.pageFaultCount = record.PageFaultCount;
    counters.peakWorkingSetSize = record.PeakWorkingSetSize;
    counters.workingSetSize = record.WorkingSetSize;
    counters.quotaPeakPagedPoolUsage = record.QuotaPeakPagedPoolUsage;
    counters.quotaPagedPoolUsage = record.QuotaPagedPoolUsage;
    counters.quotaPeakNonPagedPoolUsage = record.QuotaPeakNonPagedPoolUsage;
    counters.quotaNonPagedPoolUsage = record.QuotaNonPagedPoolUsage;
    counters.pagefileUsage = record.PagefileUsage;
    counters.peakPagefileUsage = record.PeakPagefileUsage;
    return counters;
}

CPoint GetCursorPosition()
{
    POINT point = {0, 0};
    if (!::GetCursorPos(&point))
        return CPoint{0, 0};
    return CPoint{point.x, point.y};
}

} // namespace Brivox
