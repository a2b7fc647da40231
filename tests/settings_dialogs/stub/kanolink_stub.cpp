// Stands in for Kanolink.exe: writes its command line (the text after the program name, as the
// system gives it) to "command_line.txt" and copies the file it names to "hand_off.cfg", both in
// the folder that KANORU_STUB_LOG names, then ends with the code that KANORU_STUB_EXIT gives. It
// never waits for anything: the viewer's thread is blocked until it ends.
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int)
{
    const char* log = std::getenv("KANORU_STUB_LOG");
    if (!log)
        return 3;
    const std::string folder = std::string(log) + "\\";
    const HANDLE file = ::CreateFileA((folder + "command_line.txt").c_str(), GENERIC_WRITE, 0, nullptr,
                                      CREATE_ALWAYS, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        ::WriteFile(file, commandLine, static_cast<DWORD>(std::strlen(commandLine)), &written, nullptr);
        ::CloseHandle(file);
    }
    ::CopyFileA(commandLine, (folder + "hand_off.cfg").c_str(), FALSE);
    const char* exitCode = std::getenv("KANORU_STUB_EXIT");
    return exitCode ? std::atoi(exitCode) : 0;
}
