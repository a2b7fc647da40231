#pragma once
// The settings file that Kanoru2.exe leaves behind after commands posted to it.

#include "support/window_test_bed.h"
#include "viewer/command_table.h"
#include "viewer_fixtures.h"

#include <string>
#include <vector>

namespace ViewerFixtures {

// The settings the program saved at exit, as narrow text, after it started on the settings text and
// was sent the commands, posted in order, then WM_CLOSE.
inline std::string SettingsAfter(const std::string& settings, const std::vector<int>& commands)
{
    KanoruTest::ProgramInFreshFolder program(
        Kanoru2Path(), L"", [&](const std::wstring& folder) { WriteAll(folder + L"Kanoru.cfg", settings); });
    if (!program.Started())
        return "(not started)";
    const HWND hwnd = program.WaitForWindow();
    if (!hwnd)
        return "(no window)";
    for (int command : commands)
        ::PostMessageW(hwnd, WM_COMMAND, static_cast<WPARAM>(CommandIdBase + command), 0);
    ::PostMessageW(hwnd, WM_CLOSE, 0, 0);
    if (program.WaitForExit() != 0)
        return "(exit code)";
    const std::string bytes = ReadAll(program.Folder() + L"Kanoru.cfg");
    std::string narrow;
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2)
        narrow += bytes[i];
    return narrow;
}

// Whether the settings text holds the whole line.
inline bool Holds(const std::string& settings, const std::string& line)
{
    return settings.find("\r\n" + line + "\r\n") != std::string::npos;
}

} // namespace ViewerFixtures
