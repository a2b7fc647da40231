#include "tools/first_page/first_page_watch.h"

#include "formats/png_loader.h"
#include "imaging/plane.h"
#include "ui/screen_pixels.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace FirstPage {

using Brivox::String;

namespace {

constexpr wchar_t TitlePrefix[] = L"Kanoru : ";
constexpr DWORD PollMs = 2;

struct SSearch
{
    DWORD processId;
    HWND found;
};

BOOL CALLBACK CheckWindow(HWND window, LPARAM parameter)
{
    auto& search = *reinterpret_cast<SSearch*>(parameter);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (owner != search.processId || !::IsWindowVisible(window) ||
        !TitleShowsPage(Brivox::GetStoredWindowText(window)))
        return TRUE;
    search.found = window;
    return FALSE;
}

// The screen's pixels of the part of a rectangle (in screen co-ordinates) that lies on the screen;
// null when none does. What lies beyond the screen's edge would read as black.
std::unique_ptr<Brivox::CDib32> ReadScreen(RECT area)
{
    const RECT screen{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    if (!::IntersectRect(&area, &area, &screen))
        return nullptr;
    auto dib = Brivox::CopyScreenRect(area);
    ::GdiFlush();
    return dib;
}

} // namespace

bool TitleShowsPage(const String& title)
{
    const String prefix(TitlePrefix);
    return title.Length() >= prefix.Length() && title.Substring(0, prefix.Length()) == prefix &&
           title.Find(L"[0/0]", 0, title.Length(), 0) < 0;
}

HWND FindPageWindow(DWORD processId)
{
    SSearch search{processId, nullptr};
    ::EnumWindows(CheckWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool ClientShowsPicture(HWND window)
{
    RECT client{};
    ::GetClientRect(window, &client);
    ::MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&client), 2);
    const auto dib = ReadScreen(client);
    if (!dib)
        return false;
    const Brivox::Detail::PlaneBitsLock bits(*dib);
    const auto* first = reinterpret_cast<const std::uint32_t*>(bits.Pixel(0, 0));
    const std::uint32_t colour = *first & 0xFFFFFF;
    for (int y = 0; y < dib->GetHeight(); ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(bits.Pixel(0, y));
        if (std::any_of(row, row + dib->GetWidth(),
                        [&](std::uint32_t pixel) { return (pixel & 0xFFFFFF) != colour; }))
            return true;
    }
    return false;
}

WaitResult WaitForFirstPage(Brivox::Process& process, DWORD timeoutMs, HWND& window)
{
    const DWORD processId = ::GetProcessId(process.GetProcessHandle());
    const ULONGLONG start = ::GetTickCount64();
    for (;;) {
        window = FindPageWindow(processId);
        if (window && ClientShowsPicture(window))
            return WaitResult::Shown;
        if (::GetTickCount64() - start > timeoutMs)
            return WaitResult::TimedOut;
        // Wakes at once when the process ends; otherwise looks again after a few milliseconds.
        if (::WaitForSingleObject(process.GetProcessHandle(), PollMs) == WAIT_OBJECT_0)
            return WaitResult::Ended;
    }
}

bool SaveScreenshot(HWND window, const String& path)
{
    RECT area{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    if (window)
        ::GetWindowRect(window, &area);
    const auto dib = ReadScreen(area);
    if (!dib)
        return false;
    Brivox::CPngSaver().Save(path, *dib, {0, 0, dib->GetWidth(), dib->GetHeight()});
    return true;
}

bool CloseAndWait(HWND window, Brivox::Process& process, DWORD timeoutMs)
{
    ::PostMessageW(window, WM_CLOSE, 0, 0);
    return ::WaitForSingleObject(process.GetProcessHandle(), timeoutMs) == WAIT_OBJECT_0;
}

DWORD ExitCodeOf(Brivox::Process& process)
{
    DWORD code = STILL_ACTIVE;
    ::GetExitCodeProcess(process.GetProcessHandle(), &code);
    return code;
}

std::shared_ptr<Brivox::Process> StartProgram(const String& program, const std::vector<String>& arguments)
{
    String line;
    for (const String& argument : arguments)
        line += (line.Length() ? L" \"" : L"\"") + argument + L"\"";
    Brivox::ProcessStartInfo info(program, line);
    info.UseShellExecute = false;
    return Brivox::Process::Start(info);
}

} // namespace FirstPage
