// Runs beside the tests for the whole test run. Wine ends its background processes (services, the
// desktop) whenever the last program of a prefix has ended and starts them anew with the next one;
// tests started while that happens could fail before they ran. A program that lives through the
// run keeps them up. It first makes and draws a window so that the desktop and the display driver
// are ready before the first test needs them, then says "ready" on its standard output.

#include <cstdio>

#include <windows.h>

int main()
{
    const HWND window = ::CreateWindowExW(WS_EX_TOOLWINDOW, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0, 8, 8,
                                          nullptr, nullptr, nullptr, nullptr);
    if (!window) {
        std::printf("no window: error %lu\n", ::GetLastError());
        return 1;
    }
    ::UpdateWindow(window);
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        ::DispatchMessageW(&msg);
    const HDC dc = ::GetDC(window);
    ::PatBlt(dc, 0, 0, 8, 8, BLACKNESS);
    ::GdiFlush();
    ::ReleaseDC(window, dc);
    ::DestroyWindow(window);

    std::printf("ready\n");
    std::fflush(stdout);
    // Ended with the prefix's server at the end of the run.
    ::Sleep(INFINITE);
    return 0;
}
