#include "viewer/app_window.h"

#include "foundation/file_name.h"
#include "foundation/temp_file.h"
#include "resources/key_config_dialog_ids.h"
#include "support/window_test_bed.h"
#include "ui/ctrl.h"
#include "ui/key_names.h"
#include "ui/window.h"
#include "viewer/command_table.h"
#include "viewer_fixtures.h"

#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>

using Brivox::String;

namespace {

constexpr const wchar_t* BaseName = L"viewer_test_key_menu";

std::wstring MenuText(CAppWindow& app, int command)
{
    std::wstring text;
    app.RunOnWindowThread([&] {
        wchar_t buffer[256] = {};
        ::GetMenuStringW(::GetMenu(app.GetWindow().GetHandle()), static_cast<UINT>(CommandIdBase + command),
                         buffer, 256, MF_BYCOMMAND);
        text = buffer;
    });
    return text;
}

} // namespace

// The command opens the dialog on the main window's thread; the menu follows what it changed.
TEST(DesktopInputKeyConfigMenu, TheMenuShowsTheBindingsTheDialogLeft)
{
    Brivox::CTempFolder folder(L"kanoru-keys-");
    const std::wstring pages(folder.GetPath().CStr());
    ViewerFixtures::WriteTwoPages(pages);
    const std::wstring keyFile =
        Brivox::CFileName::FromExecutableDirectory(String(BaseName) + L".key.cfg").ToString().CStr();
    ::DeleteFileW(keyFile.c_str());
    {
        CAppWindow app(BaseName);
        app.Start({pages.c_str()}, SW_SHOWNORMAL);
        const HWND hwnd = app.GetWindow().GetHandle();
        EXPECT_NE(std::wstring::npos, MenuText(app, CmdNewWindow).find(L"\tCtrl+N"));
        EXPECT_EQ(0u,
                  ::GetMenuState(::GetMenu(hwnd), CommandIdBase + CmdKeySettings, MF_BYCOMMAND) & MF_GRAYED);

        ::PostMessageW(hwnd, WM_COMMAND, 0xF843, 0);
        HWND dialog = nullptr;
        ASSERT_TRUE(KanoruTest::PumpUntil([&] {
            const std::vector<HWND> found = KanoruTest::FindWindowsByCaption(L"キー設定");
            dialog = found.empty() ? nullptr : found.front();
            return dialog && ::IsWindowVisible(dialog);
        }));
        EXPECT_EQ(hwnd, ::GetWindow(dialog, GW_OWNER));
        const Brivox::CCtrl keys(::GetDlgItem(dialog, IDC_KEY_LIST));
        const Brivox::CCtrl commands(::GetDlgItem(dialog, IDC_KEY_COMMANDS));
        keys.ListViewSelectItem(Brivox::KeyNameTable::Instance().FindIndex(L"N"), true);
        ::SendMessageA(::GetDlgItem(dialog, IDC_KEY_CTRL), BM_CLICK, 0, 0);
        commands.ListBoxSetCurSel(0);
        ::SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_KEY_COMMANDS, LBN_DBLCLK),
                       reinterpret_cast<LPARAM>(commands.GetHandle()));
        ::PostMessageA(dialog, WM_COMMAND, IDOK, 0);
        ASSERT_TRUE(KanoruTest::PumpUntil([&] { return !::IsWindow(dialog); }));

        const std::wstring text = MenuText(app, CmdNewWindow);
        EXPECT_EQ(std::wstring::npos, text.find(L"Ctrl+N")) << std::string(text.begin(), text.end());
        ::SendMessageW(hwnd, WM_COMMAND, CommandIdBase + CmdExit, 0);
        app.WaitUntilClosed();
    }
    ::DeleteFileW(keyFile.c_str());
    for (const wchar_t* suffix : {L".cfg"})
        ::DeleteFileW(
            Brivox::CFileName::FromExecutableDirectory(String(BaseName) + suffix).ToString().CStr());
}
