// The key-configuration dialog of Kanoru2.exe itself, driven from outside as a user would.
#include "support/window_test_bed.h"
#include "viewer_fixtures.h"

#include <commctrl.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using KanoruTest::ProgramInFreshFolder;
using namespace ViewerFixtures;

namespace {

constexpr int KeySettingsId = 0xF843;
constexpr int CommandListId = 1030;

// A visible top-level window of the program with this caption; null after the deadline.
HWND WaitForProgramWindow(const ProgramInFreshFolder& program, const std::wstring& caption)
{
    HWND found = nullptr;
    KanoruTest::PumpUntil([&] {
        for (const HWND hwnd : KanoruTest::FindProcessWindows(program.ProcessId()))
            if (::IsWindowVisible(hwnd) && KanoruTest::WindowText(hwnd) == caption) {
                found = hwnd;
                return true;
            }
        return false;
    });
    return found;
}

bool WaitForCaptionPart(HWND hwnd, const std::wstring& part)
{
    return KanoruTest::PumpUntil(
        [&] { return KanoruTest::WindowText(hwnd).find(part) != std::wstring::npos; });
}

std::wstring ListBoxText(HWND list, int index)
{
    const LRESULT length = ::SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length < 0)
        return L"(none)";
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    ::SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
    text.resize(text.find(L'\0'));
    return text;
}

std::string Utf16File(const std::wstring& text)
{
    std::string bytes = "\xFF\xFE";
    for (const wchar_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>((c >> 8) & 0xFF);
    }
    return bytes;
}

// Selects a row of another process's list view: the item record goes into that process.
void SelectRow(HWND list, DWORD processId, int row)
{
    const HANDLE process = ::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, processId);
    ASSERT_NE(nullptr, process);
    void* remote = ::VirtualAllocEx(process, nullptr, sizeof(LVITEMA), MEM_COMMIT, PAGE_READWRITE);
    ASSERT_NE(nullptr, remote);
    LVITEMA item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    ::WriteProcessMemory(process, remote, &item, sizeof(item), nullptr);
    ::SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(remote));
    ::VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    ::CloseHandle(process);
}

int CountChildProcesses(DWORD processId)
{
    const HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    int count = 0;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = ::Process32FirstW(snapshot, &entry); more; more = ::Process32NextW(snapshot, &entry))
        if (entry.th32ParentProcessID == processId)
            ++count;
    ::CloseHandle(snapshot);
    return count;
}

} // namespace

TEST(DesktopInputKeyConfigProgram, TheCommandOpensTheDialogWithEveryCommandListed)
{
    ProgramInFreshFolder program(Kanoru2Path(), L"pages",
                                 [](const std::wstring& folder) { WriteTwoPages(folder + L"pages\\"); });
    ASSERT_TRUE(program.Started());
    const HWND hwnd = program.WaitForWindow();
    ASSERT_NE(nullptr, hwnd);
    KanoruTest::PostCommand(hwnd, KeySettingsId);
    const HWND dialog = WaitForProgramWindow(program, L"キー設定");
    ASSERT_NE(nullptr, dialog);
    const HWND commands = ::GetDlgItem(dialog, CommandListId);
    ASSERT_EQ(150, ::SendMessageW(commands, LB_GETCOUNT, 0, 0));
    const std::pair<int, const wchar_t*> entries[] = {
        {0, L"(未割り当て)"},
        {1, L"ファイル: ウィンドウの新規作成"},
        {24, L"ファイル: 終了"},
        {25, L"編集: 画像の再読み込み"},
        {83, L"リスト: ファイルリストの表示"},
        {113, L"設定: 表示設定"},
        {149, L"ヘルプ: vezo更新"},
    };
    for (const auto& [index, text] : entries)
        EXPECT_EQ(text, ListBoxText(commands, index)) << index;
    // No key row is selected yet.
    EXPECT_FALSE(::IsWindowEnabled(commands));
    ::PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(KanoruTest::PumpUntil([&] { return !::IsWindow(dialog); }));
    ::PostMessageW(hwnd, WM_CLOSE, 0, 0);
    EXPECT_EQ(0, program.WaitForExit());
}

TEST(DesktopInputKeyConfigProgram, AFileOfTheOlderFormBindsAndOkRewritesIt)
{
    ProgramInFreshFolder program(Kanoru2Path(), L"pages", [](const std::wstring& folder) {
        WriteTwoPages(folder + L"pages\\");
        WriteAll(folder + L"Kanoru.key.cfg", "48 = Space\r\n");
    });
    ASSERT_TRUE(program.Started());
    const HWND hwnd = program.WaitForWindow();
    ASSERT_NE(nullptr, hwnd);
    ASSERT_TRUE(WaitForCaptionPart(hwnd, L"p1.png")) << KanoruTest::WindowText(hwnd);
    KanoruTest::PostKey(hwnd, VK_SPACE);
    EXPECT_TRUE(WaitForCaptionPart(hwnd, L"p2.png")) << KanoruTest::WindowText(hwnd);

    KanoruTest::PostCommand(hwnd, KeySettingsId);
    const HWND dialog = WaitForProgramWindow(program, L"キー設定");
    ASSERT_NE(nullptr, dialog);
    ::PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(KanoruTest::PumpUntil([&] { return !::IsWindow(dialog); }));
    EXPECT_EQ(Utf16File(L"Space = 48\r\n[ver] = 2\r\n"), ReadAll(program.Folder() + L"Kanoru.key.cfg"));

    // Reset, confirmed, then OK: no difference is left.
    KanoruTest::PostCommand(hwnd, KeySettingsId);
    const HWND again = WaitForProgramWindow(program, L"キー設定");
    ASSERT_NE(nullptr, again);
    ::PostMessageW(again, WM_COMMAND, 1022, 0);
    const HWND confirm = WaitForProgramWindow(program, L"確認");
    ASSERT_NE(nullptr, confirm);
    ::PostMessageW(confirm, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(KanoruTest::PumpUntil([&] { return !::IsWindow(confirm); }));
    ::PostMessageW(again, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(KanoruTest::PumpUntil([&] { return !::IsWindow(again); }));
    EXPECT_EQ(Utf16File(L"[ver] = 2\r\n"), ReadAll(program.Folder() + L"Kanoru.key.cfg"));

    ::PostMessageW(hwnd, WM_CLOSE, 0, 0);
    EXPECT_EQ(0, program.WaitForExit());
}

TEST(DesktopInputKeyConfigProgram, UnbindingCtrlNKeepsItFromStartingAnotherViewer)
{
    ProgramInFreshFolder program(Kanoru2Path(), L"pages",
                                 [](const std::wstring& folder) { WriteTwoPages(folder + L"pages\\"); });
    ASSERT_TRUE(program.Started());
    const HWND hwnd = program.WaitForWindow();
    ASSERT_NE(nullptr, hwnd);
    ASSERT_TRUE(WaitForCaptionPart(hwnd, L"p1.png")) << KanoruTest::WindowText(hwnd);
    KanoruTest::PostCommand(hwnd, KeySettingsId);
    const HWND dialog = WaitForProgramWindow(program, L"キー設定");
    ASSERT_NE(nullptr, dialog);
    // Row "N" (index 13 of the key names), "Ctrl" ticked, "(未割り当て)" double-clicked.
    SelectRow(::GetDlgItem(dialog, 1033), program.ProcessId(), 13);
    const HWND commands = ::GetDlgItem(dialog, CommandListId);
    EXPECT_TRUE(::IsWindowEnabled(commands));
    ::SendMessageW(::GetDlgItem(dialog, 1006), BM_CLICK, 0, 0);
    ::SendMessageW(commands, LB_SETCURSEL, 0, 0);
    ::SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(CommandListId, LBN_DBLCLK),
                   reinterpret_cast<LPARAM>(commands));
    ::PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(KanoruTest::PumpUntil([&] { return !::IsWindow(dialog); }));
    EXPECT_EQ(Utf16File(L"Ctrl+N = -1\r\n[ver] = 2\r\n"), ReadAll(program.Folder() + L"Kanoru.key.cfg"));

    // The page turn that follows through the same input shows that Ctrl+N has been handled.
    ASSERT_TRUE(KanoruTest::SendKeyCombination(hwnd, {VK_CONTROL}, 'N'));
    ASSERT_TRUE(KanoruTest::SendKeyCombination(hwnd, {}, VK_RIGHT));
    EXPECT_TRUE(WaitForCaptionPart(hwnd, L"p2.png")) << KanoruTest::WindowText(hwnd);
    EXPECT_EQ(0, CountChildProcesses(program.ProcessId()));

    ::PostMessageW(hwnd, WM_CLOSE, 0, 0);
    EXPECT_EQ(0, program.WaitForExit());
}
