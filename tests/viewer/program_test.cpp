// Kanoru2.exe itself, started in a fresh program folder as a user would start it.
#include "support/window_test_bed.h"
#include "viewer/app_window.h"
#include "viewer_fixtures.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

using KanoruTest::ProgramInFreshFolder;
using namespace ViewerFixtures;

namespace {

std::wstring Caption(HWND hwnd)
{
    return KanoruTest::WindowText(hwnd);
}

bool Exists(const std::wstring& path)
{
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The value of a key in a settings file the program wrote (UTF-16LE, "key = value" lines).
std::wstring SettingOf(const std::wstring& file, const std::wstring& key)
{
    const std::string bytes = ReadAll(file);
    if (bytes.size() < 2)
        return L"(no file)";
    const std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data() + 2), (bytes.size() - 2) / 2);
    const std::wstring start = key + L" = ";
    for (std::size_t at = 0; at < text.size();) {
        std::size_t end = text.find(L"\r\n", at);
        if (end == std::wstring::npos)
            end = text.size();
        const std::wstring line = text.substr(at, end - at);
        if (line.compare(0, start.size(), start) == 0)
            return line.substr(start.size());
        at = end + 2;
    }
    return L"(no key)";
}

struct SeenBox
{
    std::wstring caption;
    std::wstring text;
};

struct SeenWindows
{
    std::vector<SeenBox> boxes;
    bool mainWindow = false;
};

// Watches the program's windows until it ends: its message boxes are recorded and answered with
// OK, and any other visible window is noted.
SeenWindows WatchUntilExit(ProgramInFreshFolder& program, long& exitCode)
{
    std::set<HWND> answered;
    SeenWindows seen;
    const HANDLE process = ::OpenProcess(SYNCHRONIZE, FALSE, program.ProcessId());
    KanoruTest::PumpUntil([&] {
        for (HWND hwnd : KanoruTest::FindProcessWindows(program.ProcessId())) {
            if (!::IsWindowVisible(hwnd))
                continue;
            char className[64] = {};
            ::GetClassNameA(hwnd, className, sizeof(className));
            if (std::string(className) != "#32770") {
                seen.mainWindow = true;
                continue;
            }
            if (!answered.insert(hwnd).second)
                continue;
            wchar_t text[1024] = {};
            ::GetDlgItemTextW(hwnd, 0xFFFF, text, 1024);
            seen.boxes.push_back({KanoruTest::WindowText(hwnd), text});
            ::PostMessageW(hwnd, WM_COMMAND, IDOK, 0);
        }
        return ::WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
    });
    ::CloseHandle(process);
    exitCode = program.WaitForExit();
    return seen;
}

bool WaitForCaption(HWND hwnd, const std::wstring& caption)
{
    return KanoruTest::PumpUntil([&] { return Caption(hwnd) == caption; });
}

COLORREF ClientPixel(HWND hwnd, int dx)
{
    RECT client{};
    ::GetClientRect(hwnd, &client);
    const auto shot = KanoruTest::CaptureClientFromScreen(hwnd);
    if (!shot)
        return CLR_INVALID;
    return KanoruTest::PixelAt(*shot, client.right / 2 + dx, client.bottom / 2);
}

bool WaitForCentre(HWND hwnd, COLORREF colour)
{
    return KanoruTest::PumpUntil([&] { return ClientPixel(hwnd, 0) == colour; });
}

} // namespace

TEST(DesktopInputProgram, VersionWritesTheBuildNumberAndEnds)
{
    ProgramInFreshFolder program(Kanoru2Path(), L"/version");
    ASSERT_TRUE(program.Started());
    long exitCode = -1;
    const SeenWindows seen = WatchUntilExit(program, exitCode);
    EXPECT_EQ(0, exitCode);
    EXPECT_FALSE(seen.mainWindow);
    EXPECT_TRUE(seen.boxes.empty());
    EXPECT_EQ(std::string("\xFF\xFE"
                          "2\0"
                          "1\0"
                          "9\0",
                          8),
              ReadAll(program.Folder() + L"version.txt"));
    EXPECT_FALSE(Exists(program.Folder() + L"Kanoru.cfg"));
}

TEST(DesktopInputProgram, AnUnreadableSettingEndsTheProgramWithTheFatalBox)
{
    ProgramInFreshFolder program(Kanoru2Path(), L"", [](const std::wstring& folder) {
        WriteAll(folder + L"Kanoru.cfg", "AutoCursorHide = yes\r\n");
    });
    ASSERT_TRUE(program.Started());
    long exitCode = -1;
    const SeenWindows seen = WatchUntilExit(program, exitCode);
    EXPECT_EQ(1, exitCode);
    ASSERT_EQ(1u, seen.boxes.size());
    EXPECT_EQ(L"エラー発生：終了します", seen.boxes[0].caption);
    EXPECT_EQ(L"コンフィグデータ 'AutoCursorHide' (真偽値)の読み込みに失敗しました", seen.boxes[0].text);
    EXPECT_FALSE(seen.mainWindow);
}

TEST(DesktopInputProgram, WithoutPathsTheViewerStartsEmptyOnTheNamedSettings)
{
    ProgramInFreshFolder program(Kanoru2Path(), L"/cfg:t");
    ASSERT_TRUE(program.Started());
    const HWND hwnd = program.WaitForWindow();
    ASSERT_NE(nullptr, hwnd);
    EXPECT_TRUE(WaitForCaption(hwnd, L"Kanoru :  (0x0) [0/0] build-219")) << Caption(hwnd);
    ::PostMessageW(hwnd, WM_CLOSE, 0, 0);
    EXPECT_EQ(0, program.WaitForExit());
    EXPECT_TRUE(Exists(program.Folder() + L"t.cfg"));
    EXPECT_FALSE(Exists(program.Folder() + L"Kanoru.cfg"));
}

namespace {

// The viewer on the two pages, given as the argument: the first page, a page turn by key, and
// the window's place in the settings after the close. shown is the first page's path as listed.
void ViewTwoPages(const std::wstring& argument, const std::function<void(const std::wstring&)>& prepare,
                  const std::wstring& shownRelative)
{
    ProgramInFreshFolder program(Kanoru2Path(), argument, prepare);
    ASSERT_TRUE(program.Started());
    const HWND hwnd = program.WaitForWindow();
    ASSERT_NE(nullptr, hwnd);
    const std::wstring shown = program.Folder() + shownRelative;
    EXPECT_TRUE(WaitForCaption(hwnd, L"Kanoru : " + shown + L"p1.png (600x400) [1/2] build-219"))
        << Caption(hwnd);

    RECT workArea{};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &workArea, 0);
    const Brivox::CSize expected =
        InitialClientSize({workArea.right - workArea.left, workArea.bottom - workArea.top}, {600, 400});
    RECT client{};
    ::GetClientRect(hwnd, &client);
    EXPECT_EQ(expected.cx, client.right);
    EXPECT_EQ(expected.cy, client.bottom);

    EXPECT_TRUE(WaitForCentre(hwnd, Green)) << std::hex << ClientPixel(hwnd, 0);
    EXPECT_EQ(Red, ClientPixel(hwnd, -200));
    EXPECT_EQ(Blue, ClientPixel(hwnd, 200));

    KanoruTest::PostKey(hwnd, VK_RIGHT);
    EXPECT_TRUE(WaitForCaption(hwnd, L"Kanoru : " + shown + L"p2.png (600x400) [2/2] build-219"))
        << Caption(hwnd);
    EXPECT_TRUE(WaitForCentre(hwnd, Yellow)) << std::hex << ClientPixel(hwnd, 0);

    RECT window{};
    ::GetWindowRect(hwnd, &window);
    ::GetClientRect(hwnd, &client);
    ::PostMessageW(hwnd, WM_CLOSE, 0, 0);
    EXPECT_EQ(0, program.WaitForExit());
    const std::wstring rect = std::to_wstring(window.left) + L", " + std::to_wstring(window.top) + L", " +
                              std::to_wstring(window.left + client.right) + L", " +
                              std::to_wstring(window.top + client.bottom);
    EXPECT_EQ(rect, SettingOf(program.Folder() + L"Kanoru.cfg", L"WindowPosRestoreRect"));
}

} // namespace

TEST(DesktopInputProgram, OpensAFolderOnItsFirstPage)
{
    // A relative path, resolved against the folder the program was started in.
    ViewTwoPages(
        L"pages", [](const std::wstring& folder) { WriteTwoPages(folder + L"pages\\"); }, L"pages\\");
}

TEST(DesktopInputProgram, OpensAZipOnItsFirstPage)
{
    ViewTwoPages(
        L"\"zip pages.zip\"",
        [](const std::wstring& folder) {
            WriteTwoPagesZip(folder + L"zip pages.zip", folder + L"scratch\\");
        },
        L"zip pages.zip\\");
}
