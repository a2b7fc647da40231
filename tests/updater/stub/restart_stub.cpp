// Stands in for the program that the update scripts replace and start again. Started without
// arguments (as the scripts start it), it writes "restarted.txt" beside itself. Started with
// "hold <event name>", it sets the event of that name followed by ".ready" and runs until the
// named event is set, keeping its own file in use.
#include "foundation/win32.h"

#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    const std::wstring commandLine = ::GetCommandLineW();
    const std::wstring hold = L" hold ";
    const std::size_t at = commandLine.find(hold);
    if (at != std::wstring::npos) {
        const std::wstring name = commandLine.substr(at + hold.size());
        HANDLE event = ::OpenEventW(SYNCHRONIZE, FALSE, name.c_str());
        HANDLE ready = ::OpenEventW(EVENT_MODIFY_STATE, FALSE, (name + L".ready").c_str());
        if (!event || !ready)
            return 2;
        // Running, with its own file in use.
        ::SetEvent(ready);
        ::CloseHandle(ready);
        // Bounded, so that a failed test leaves nothing running for long.
        const DWORD result = ::WaitForSingleObject(event, 120 * 1000);
        ::CloseHandle(event);
        return result == WAIT_OBJECT_0 ? 0 : 3;
    }
    wchar_t path[MAX_PATH + 1] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring marker = path;
    marker.erase(marker.find_last_of(L'\\') + 1);
    marker += L"restarted.txt";
    HANDLE file = ::CreateFileW(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    DWORD written = 0;
    ::WriteFile(file, path, static_cast<DWORD>(std::wstring(path).size() * sizeof(wchar_t)), &written,
                nullptr);
    ::CloseHandle(file);
    return 0;
}
