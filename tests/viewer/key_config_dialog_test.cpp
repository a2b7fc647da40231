#include "support/wide_text.h"
#include "viewer/key_config_ex.h"

#include "foundation/file_name.h"
#include "resources/key_config_dialog_ids.h"
#include "support/window_test_bed.h"
#include "ui/ctrl.h"
#include "ui/key_names.h"
#include "ui/window.h"
#include "ui/window_test_support.h"
#include "viewer/command_table.h"
#include "viewer_fixtures.h"

#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

using Brivox::CCtrl;
using Brivox::String;
using KanoruTest::MessageBoxAnswerer;

namespace {

using KanoruTest::Text;

int KeyIndex(const wchar_t* name)
{
    return Brivox::KeyNameTable::Instance().FindIndex(name);
}

CCtrl Item(HWND dialog, int id)
{
    return CCtrl(::GetDlgItem(dialog, id));
}

std::wstring Cell(HWND dialog, int key)
{
    return Text(Item(dialog, IDC_KEY_LIST).ListViewGetItemText(key, 1));
}

void SelectRow(HWND dialog, int key)
{
    Item(dialog, IDC_KEY_LIST).ListViewSelectItem(key, true);
}

void Click(HWND dialog, int id)
{
    ::SendMessageA(::GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

// A double click on the command list's entry with this text.
void DoubleClick(HWND dialog, const std::wstring& entry)
{
    const CCtrl commands = Item(dialog, IDC_KEY_COMMANDS);
    const std::vector<String> texts = commands.ListBoxGetStrings();
    const auto found =
        std::find_if(texts.begin(), texts.end(), [&](const String& text) { return Text(text) == entry; });
    ASSERT_NE(found, texts.end()) << std::string(entry.begin(), entry.end());
    commands.ListBoxSetCurSel(static_cast<int>(found - texts.begin()));
    ::SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_KEY_COMMANDS, LBN_DBLCLK),
                   reinterpret_cast<LPARAM>(commands.GetHandle()));
}

// The file's bytes: the UTF-16 byte-order mark, then the text in UTF-16.
std::string Utf16File(const std::wstring& text)
{
    std::string bytes = "\xFF\xFE";
    for (const wchar_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>((c >> 8) & 0xFF);
    }
    return bytes;
}

using Step = std::function<void(HWND)>;

// Runs the steps on the dialog's thread once it is up, each after what the one before posted.
class DialogScript : public Brivox::IMsgHooker
{
public:
    DialogScript(CKeyConfigEx& dialog, std::vector<Step> steps) : m_steps(std::move(steps))
    {
        dialog.GetWindow().GetHookList()->Add(this);
    }

    bool HookMessage(Brivox::SMessage& message) override
    {
        if (!m_started) {
            m_started = true;
            ::PostMessageA(message.hwnd, NextStep, 0, 0);
        }
        if (message.message != NextStep)
            return false;
        if (m_next < m_steps.size()) {
            m_steps[m_next++](message.hwnd);
            if (m_next < m_steps.size() && ::IsWindow(message.hwnd))
                ::PostMessageA(message.hwnd, NextStep, 0, 0);
        }
        return true;
    }

    std::size_t StepsRun() const { return m_next; }

private:
    static constexpr UINT NextStep = WM_APP + 41;
    std::vector<Step> m_steps;
    std::size_t m_next = 0;
    bool m_started = false;
};

// A key configuration on its own file beside the test program, removed afterwards. The main
// window is a window object without a window: the dialog then has no owner.
class KeyConfigDialogTest : public ::testing::Test
{
protected:
    void SetUp() override { Remove(); }
    void TearDown() override { Remove(); }

    void Remove() const
    {
        ::DeleteFileW(FilePath().c_str());
        ::RemoveDirectoryW(FilePath().c_str());
    }

    static std::wstring FilePath()
    {
        return Text(Brivox::CFileName::FromExecutableDirectory(String(BaseName) + L".key.cfg").ToString());
    }

    // Makes the configuration (reading the file), lets prepare change it, runs the dialog through
    // the steps, then hands the configuration to check.
    void Run(const std::function<void(CKeyConfigEx&)>& prepare, std::vector<Step> steps,
             const std::function<void(CKeyConfigEx&)>& check = nullptr)
    {
        const std::size_t count = steps.size();
        RunOnFreshThread([&] {
            Brivox::CWindow mainWindow;
            CKeyConfigEx keys(mainWindow, BaseName);
            if (prepare)
                prepare(keys);
            DialogScript script(keys, std::move(steps));
            keys.ShowDialog();
            EXPECT_EQ(script.StepsRun(), count);
            if (check)
                check(keys);
        });
    }

    static constexpr const wchar_t* BaseName = L"viewer_test_keys";
};

struct ControlRow
{
    int id;
    const char* className;
    const wchar_t* text;
    RECT rect; // x, y, width, height in dialog units
    DWORD style;
};

// The controls in creation order.
const ControlRow Controls[] = {
    {IDC_KEY_CTRL, "Button", L"Ctrl", {19, 7, 31, 10}, BS_AUTOCHECKBOX | WS_TABSTOP},
    {IDC_KEY_ALT, "Button", L"Alt", {51, 7, 31, 10}, BS_AUTOCHECKBOX | WS_TABSTOP},
    {IDC_KEY_SHIFT, "Button", L"Shift", {83, 7, 31, 10}, BS_AUTOCHECKBOX | WS_TABSTOP},
    {IDC_KEY_LIST,
     "SysListView32",
     L"",
     {7, 22, 148, 254},
     LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_NOSORTHEADER | WS_BORDER | WS_TABSTOP},
    {IDC_KEY_COMMANDS,
     "ListBox",
     L"",
     {157, 7, 129, 269},
     LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_BORDER | WS_TABSTOP},
    {-1, "Button", L"説明", {289, 7, 59, 217}, BS_GROUPBOX},
    {-1,
     "Static",
     L"左側でキーを指定し、中央で割り当てたい操作をダブルクリックして設定します。\r\n\r\n"
     L"範囲選択の操作やシステムのショートカットキーと衝突するような操作への割り当ては避けてください。",
     {297, 21, 42, 175},
     SS_LEFT},
    {IDC_KEY_RESET, "Button", L"既定値へ戻す", {298, 231, 50, 14}, BS_PUSHBUTTON | WS_TABSTOP},
    {IDOK, "Button", L"OK", {298, 247, 50, 14}, BS_DEFPUSHBUTTON | WS_TABSTOP},
    {IDCANCEL, "Button", L"キャンセル", {298, 262, 50, 14}, BS_PUSHBUTTON | WS_TABSTOP},
};

std::wstring WideText(HWND hwnd)
{
    wchar_t buffer[512] = {};
    ::GetWindowTextW(hwnd, buffer, 512);
    return buffer;
}

} // namespace

// The dialog takes the foreground.
using DesktopInputKeyConfigDialog = KeyConfigDialogTest;

TEST_F(DesktopInputKeyConfigDialog, ControlsListsAndStartStateFollowTheTemplate)
{
    Run(nullptr, {[](HWND hwnd) {
            EXPECT_EQ(L"キー設定", WideText(hwnd));
            RECT dialogUnits{0, 0, 355, 283};
            ::MapDialogRect(hwnd, &dialogUnits);
            RECT client{};
            ::GetClientRect(hwnd, &client);
            EXPECT_EQ(dialogUnits.right, client.right);
            EXPECT_EQ(dialogUnits.bottom, client.bottom);

            HWND child = ::GetWindow(hwnd, GW_CHILD);
            for (const ControlRow& row : Controls) {
                ASSERT_NE(nullptr, child);
                SCOPED_TRACE(row.className);
                SCOPED_TRACE(row.id);
                EXPECT_EQ(row.id, static_cast<int>(static_cast<short>(::GetDlgCtrlID(child))));
                char className[64] = {};
                ::GetClassNameA(child, className, sizeof(className));
                EXPECT_STRCASEEQ(row.className, className);
                EXPECT_EQ(row.text, WideText(child));
                // The dialog manager maps the position and the size each on its own.
                RECT expected = row.rect;
                ::MapDialogRect(hwnd, &expected);
                expected.right += expected.left;
                expected.bottom += expected.top;
                RECT actual{};
                ::GetWindowRect(child, &actual);
                ::MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&actual), 2);
                EXPECT_EQ(expected.left, actual.left);
                EXPECT_EQ(expected.top, actual.top);
                EXPECT_EQ(expected.right, actual.right);
                EXPECT_EQ(expected.bottom, actual.bottom);
                const DWORD style = static_cast<DWORD>(::GetWindowLongPtrA(child, GWL_STYLE));
                const DWORD typeMask = row.className[0] == 'B' ? BS_TYPEMASK : 0;
                // The dialog manager draws a bordered control's border as a sunken client edge.
                const DWORD exStyle = static_cast<DWORD>(::GetWindowLongPtrA(child, GWL_EXSTYLE));
                const DWORD border = (exStyle & WS_EX_CLIENTEDGE) ? WS_BORDER : 0;
                EXPECT_EQ(row.style & ~typeMask, (style | border) & row.style & ~typeMask);
                if (typeMask) {
                    EXPECT_EQ(row.style & typeMask, style & typeMask);
                }
                child = ::GetWindow(child, GW_HWNDNEXT);
            }
            EXPECT_EQ(nullptr, child);

            const CCtrl keys = Item(hwnd, IDC_KEY_LIST);
            EXPECT_EQ(static_cast<LRESULT>(LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT | LVS_EX_ONECLICKACTIVATE),
                      ::SendMessageA(keys.GetHandle(), LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
            EXPECT_EQ(70, ::SendMessageA(keys.GetHandle(), LVM_GETCOLUMNWIDTH, 0, 0));
            EXPECT_EQ(165, ::SendMessageA(keys.GetHandle(), LVM_GETCOLUMNWIDTH, 1, 0));
            ASSERT_EQ(96, keys.ListViewGetItemCount());
            for (int key = 0; key < 96; ++key)
                EXPECT_EQ(Text(Brivox::KeyNameTable::Instance().GetName(key)),
                          Text(keys.ListViewGetItemText(key, 0)));

            const CCtrl commands = Item(hwnd, IDC_KEY_COMMANDS);
            ASSERT_EQ(150, commands.ListBoxGetCount());
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
                EXPECT_EQ(text, Text(commands.ListBoxGetText(index))) << index;

            for (const int box : {IDC_KEY_CTRL, IDC_KEY_ALT, IDC_KEY_SHIFT})
                EXPECT_FALSE(Item(hwnd, box).IsChecked());
            EXPECT_FALSE(commands.IsEnabled());
            SelectRow(hwnd, KeyIndex(L"N"));
            EXPECT_TRUE(commands.IsEnabled());
            ::PostMessageA(hwnd, WM_COMMAND, IDCANCEL, 0);
        }});
}

TEST_F(DesktopInputKeyConfigDialog, ResetShowsTheDefaultsAndTickingABoxKeepsTheRow)
{
    const int del = KeyIndex(L"Delete");
    const int enter = KeyIndex(L"Enter");
    const int n = KeyIndex(L"N");
    MessageBoxAnswerer answerer(IDOK);
    Run(
        [&](CKeyConfigEx& keys) {
            keys.GetBindings().Unbind(del, 0);
            keys.GetBindings().Unbind(enter, 0);
        },
        {[&](HWND hwnd) {
             EXPECT_EQ(L"", Cell(hwnd, del));
             EXPECT_EQ(L"", Cell(hwnd, enter));
             Click(hwnd, IDC_KEY_RESET);
             ASSERT_EQ(1u, answerer.Boxes().size());
             const MessageBoxAnswerer::Box box = answerer.Boxes()[0];
             EXPECT_EQ(L"確認", Text(box.caption));
             EXPECT_EQ(L"現在の設定を破棄し、初期設定に戻します", Text(box.text));
             EXPECT_EQ(hwnd, box.owner);
             EXPECT_EQ(static_cast<UINT>(MB_OKCANCEL | MB_ICONINFORMATION | MB_SETFOREGROUND),
                       box.style & (MB_TYPEMASK | MB_ICONMASK | MB_SETFOREGROUND));
             EXPECT_EQ(L"ファイル: マークを設定", Cell(hwnd, del));
             EXPECT_EQ(L"画像: 選択範囲を取り消し", Cell(hwnd, enter));
             EXPECT_NE(L"ファイル: ウィンドウの新規作成", Cell(hwnd, n));
             SelectRow(hwnd, n);
         },
         [&](HWND hwnd) {
             Click(hwnd, IDC_KEY_CTRL);
             const CCtrl keys = Item(hwnd, IDC_KEY_LIST);
             EXPECT_EQ(n, keys.ListViewGetSelectedIndex());
             EXPECT_TRUE(Item(hwnd, IDC_KEY_COMMANDS).IsEnabled());
             EXPECT_EQ(L"ファイル: ウィンドウの新規作成", Cell(hwnd, n));
             EXPECT_EQ(L"ファイル: マークを解除", Cell(hwnd, del));
             Click(hwnd, IDC_KEY_SHIFT);
             EXPECT_EQ(L"", Cell(hwnd, n));
             Click(hwnd, IDC_KEY_CTRL);
             Click(hwnd, IDC_KEY_SHIFT);
             EXPECT_EQ(L"ファイル: マークを設定", Cell(hwnd, del));
             ::PostMessageA(hwnd, WM_COMMAND, IDCANCEL, 0);
         }});
}

TEST_F(DesktopInputKeyConfigDialog, EveryCellFollowsTheTickedModifiers)
{
    CKeyConfigEx* owner = nullptr;
    const auto expectCells = [&](HWND hwnd, int modifiers) {
        for (int key = 0; key < Brivox::SHotKey::KeyCount; ++key) {
            const int command = owner->GetBindings().FindCommand(key, modifiers);
            EXPECT_EQ(command >= 0 ? Text(owner->GetCommands().GetCommandName(command)) : L"",
                      Cell(hwnd, key))
                << key << " " << modifiers;
        }
    };
    Run([&](CKeyConfigEx& keys) { owner = &keys; }, {[&](HWND hwnd) {
            expectCells(hwnd, 0);
            Click(hwnd, IDC_KEY_CTRL);
            expectCells(hwnd, 1);
            Click(hwnd, IDC_KEY_ALT);
            expectCells(hwnd, 3);
            Click(hwnd, IDC_KEY_SHIFT);
            expectCells(hwnd, 7);
            Click(hwnd, IDC_KEY_CTRL);
            expectCells(hwnd, 6);
            Click(hwnd, IDC_KEY_ALT);
            expectCells(hwnd, 4);
            ::PostMessageA(hwnd, WM_COMMAND, IDCANCEL, 0);
        }});
}

TEST_F(DesktopInputKeyConfigDialog, BindingAKeyOfAnotherCommandMovesIt)
{
    const int enter = KeyIndex(L"Enter");
    Run(nullptr, {[&](HWND hwnd) {
            SelectRow(hwnd, enter);
            DoubleClick(hwnd, L"ファイル: 終了");
            EXPECT_EQ(L"ファイル: 終了", Cell(hwnd, enter));
            ::PostMessageA(hwnd, WM_COMMAND, IDOK, 0);
        }},
        [&](CKeyConfigEx& keys) {
            EXPECT_EQ(CmdExit, keys.GetBindings().FindCommand(enter, 0));
            const int before = keys.GetCommands().FindCommand(L"画像: 選択範囲を取り消し");
            ASSERT_GE(before, 0);
            EXPECT_EQ(std::wstring::npos, Text(keys.GetBindings().GetKeysText(before)).find(L"Enter"));
            EXPECT_NE(std::wstring::npos, Text(keys.GetBindings().GetKeysText(CmdExit)).find(L"Enter"));
        });
}

TEST_F(DesktopInputKeyConfigDialog, UnbindingCtrlNAndOkWritesOnlyThatDifference)
{
    const int n = KeyIndex(L"N");
    Run(nullptr, {[&](HWND hwnd) {
            SelectRow(hwnd, n);
            Click(hwnd, IDC_KEY_CTRL);
            EXPECT_EQ(L"ファイル: ウィンドウの新規作成", Cell(hwnd, n));
            DoubleClick(hwnd, L"(未割り当て)");
            EXPECT_EQ(L"", Cell(hwnd, n));
            ::PostMessageA(hwnd, WM_COMMAND, IDOK, 0);
        }},
        [&](CKeyConfigEx& keys) { EXPECT_EQ(-1, keys.GetBindings().FindCommand(n, Brivox::SHotKey::Ctrl)); });
    EXPECT_EQ(Utf16File(L"Ctrl+N = -1\r\n[ver] = 2\r\n"), ViewerFixtures::ReadAll(FilePath()));
}

TEST_F(DesktopInputKeyConfigDialog, OkRewritesAFileOfTheOlderForm)
{
    ViewerFixtures::WriteAll(FilePath(), "48 = Space\r\n");
    Run([](CKeyConfigEx& keys) { EXPECT_EQ(CmdNext, keys.GetBindings().FindCommand(KeyIndex(L"Space"), 0)); },
        {[](HWND hwnd) { ::PostMessageA(hwnd, WM_COMMAND, IDOK, 0); }});
    EXPECT_EQ(Utf16File(L"Space = 48\r\n[ver] = 2\r\n"), ViewerFixtures::ReadAll(FilePath()));
}

TEST_F(DesktopInputKeyConfigDialog, ResetThenOkWritesNoDifferenceAndResetThenCancelKeepsTheFile)
{
    const int space = KeyIndex(L"Space");
    ViewerFixtures::WriteAll(FilePath(), "48 = Space\r\n");
    MessageBoxAnswerer answerer(IDOK);
    // Cancel after a reset: the file's binding is back.
    Run(nullptr, {[&](HWND hwnd) {
            Click(hwnd, IDC_KEY_RESET);
            ::PostMessageA(hwnd, WM_COMMAND, IDCANCEL, 0);
        }},
        [&](CKeyConfigEx& keys) { EXPECT_EQ(CmdNext, keys.GetBindings().FindCommand(space, 0)); });
    EXPECT_EQ("48 = Space\r\n", ViewerFixtures::ReadAll(FilePath()));
    // OK after a reset.
    Run(nullptr, {[&](HWND hwnd) {
            Click(hwnd, IDC_KEY_RESET);
            ::PostMessageA(hwnd, WM_COMMAND, IDOK, 0);
        }},
        [&](CKeyConfigEx& keys) { EXPECT_NE(CmdNext, keys.GetBindings().FindCommand(space, 0)); });
    EXPECT_EQ(Utf16File(L"[ver] = 2\r\n"), ViewerFixtures::ReadAll(FilePath()));
    EXPECT_EQ(2u, answerer.Boxes().size());
}

TEST_F(DesktopInputKeyConfigDialog, AFileThatCannotBeWrittenIsReportedAndTheDialogStays)
{
    ASSERT_TRUE(::CreateDirectoryW(FilePath().c_str(), nullptr));
    const int n = KeyIndex(L"N");
    MessageBoxAnswerer answerer(IDOK);
    Run(nullptr,
        {[&](HWND hwnd) {
             SelectRow(hwnd, n);
             Click(hwnd, IDC_KEY_CTRL);
             DoubleClick(hwnd, L"(未割り当て)");
             ::SendMessageA(hwnd, WM_COMMAND, IDOK, 0);
             ASSERT_EQ(1u, answerer.Boxes().size());
             const MessageBoxAnswerer::Box box = answerer.Boxes()[0];
             EXPECT_EQ(L"エラー", Text(box.caption));
             EXPECT_EQ(FilePath() + L" の保存に失敗しました", Text(box.text));
             EXPECT_EQ(hwnd, box.owner);
             EXPECT_TRUE(::IsWindow(hwnd));
         },
         [&](HWND hwnd) {
             EXPECT_TRUE(::IsWindow(hwnd));
             EXPECT_EQ(n, Item(hwnd, IDC_KEY_LIST).ListViewGetSelectedIndex());
             EXPECT_TRUE(Item(hwnd, IDC_KEY_CTRL).IsChecked());
             EXPECT_EQ(L"", Cell(hwnd, n));
             ::PostMessageA(hwnd, WM_COMMAND, IDCANCEL, 0);
         }},
        // Cancel read the file again: none could be read, so the defaults are back.
        [&](CKeyConfigEx& keys) {
            EXPECT_EQ(CmdNewWindow, keys.GetBindings().FindCommand(n, Brivox::SHotKey::Ctrl));
        });
}
