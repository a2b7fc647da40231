// The file list window: its cells and text buffers, its rows following the document's list, and
// double clicks that move the viewer while pages load.
#include "document/lock_rank.h"
#include "foundation/config.h"
#include "foundation/file_name.h"
#include "foundation/temp_file.h"
#include "support/wide_text.h"
#include "support/window_test_bed.h"
#include "ui/ctrl.h"
#include "ui/window.h"
#include "viewer/app_window.h"
#include "viewer/command_table.h"
#include "viewer_fixtures.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <vector>

using Brivox::String;
using KanoruTest::ProgramInFreshFolder;
using KanoruTest::PumpUntil;
using KanoruTest::Text;
using KanoruTest::WindowText;

namespace {

TEST(FileListWindow, CellsShowTheNameTheLoadStateAndTheMark)
{
    const struct
    {
        int state;
        bool marked;
        const wchar_t* stateText;
        const wchar_t* markText;
    } cases[] = {
        {-1, false, L"\u00D7", L""},
        {0, false, L"", L""},
        {1, true, L"\u2015", L"\u25CF"},
        {2, false, L"\u25CB", L""},
        // No state of the list: no text.
        {3, false, L"", L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.state);
        const CDocument::SListRow row{L"C:\\pages\\sub\\a page.png", c.state, c.marked};
        EXPECT_EQ(L"a page.png", Text(CFileListWindow::CellText(row, 0)));
        EXPECT_EQ(c.stateText, Text(CFileListWindow::CellText(row, 1)));
        EXPECT_EQ(c.markText, Text(CFileListWindow::CellText(row, 2)));
    }
}

TEST(FileListWindow, TextBuffersTakeTheWholeTextOrACutEndedWithDots)
{
    const struct
    {
        int size;
        const char* expected; // nullptr: nothing written
    } cases[] = {
        {8, "abcdef"}, {7, "abc..."}, {6, "ab..."}, {5, "a..."}, {4, nullptr}, {1, nullptr}, {0, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        char narrow[12];
        std::memset(narrow, '#', sizeof(narrow));
        CFileListWindow::CopyToTextBufferA(narrow, c.size, "abcdef", 6);
        wchar_t wide[12];
        std::fill(std::begin(wide), std::end(wide), L'#');
        CFileListWindow::CopyToTextBufferW(wide, c.size, L"abcdef", 6);
        if (!c.expected) {
            EXPECT_EQ(std::string(12, '#'), std::string(narrow, 12));
            EXPECT_EQ(std::wstring(12, L'#'), std::wstring(wide, 12));
            continue;
        }
        EXPECT_STREQ(c.expected, narrow);
        EXPECT_EQ(std::wstring(c.expected, c.expected + std::strlen(c.expected)), std::wstring(wide));
        // Nothing beyond the buffer.
        EXPECT_EQ('#', narrow[c.size]);
        EXPECT_EQ(L'#', wide[c.size]);
    }
    // The narrow form counts bytes: a cut may fall inside a double-byte character.
    char narrow[6];
    CFileListWindow::CopyToTextBufferA(narrow, 6, "\x93\xFA\x96\x7B\x8C\xEA", 6);
    EXPECT_EQ(std::string("\x93\xFA..."), std::string(narrow));
}

// Every synchronous call into another thread's window that the program's code makes is counted
// while the calling thread holds one of the document's locks. The calls go through the test
// program's import table, which this object redirects while it lives.
class CrossThreadCallCheck
{
public:
    CrossThreadCallCheck()
    {
        Patch("SendMessageA", reinterpret_cast<void*>(&SendA), s_sendA);
        Patch("SendMessageW", reinterpret_cast<void*>(&SendW), s_sendW);
        Patch("SetWindowPos", reinterpret_cast<void*>(&SetPos), s_setPos);
        Patch("ShowWindow", reinterpret_cast<void*>(&Show), s_show);
        Patch("SetWindowTextA", reinterpret_cast<void*>(&SetTextA), s_setTextA);
        Patch("SetWindowTextW", reinterpret_cast<void*>(&SetTextW), s_setTextW);
        Patch("UpdateWindow", reinterpret_cast<void*>(&Update), s_update);
    }
    ~CrossThreadCallCheck()
    {
        for (const auto& slot : m_patched)
            Write(slot.first, slot.second);
    }
    CrossThreadCallCheck(const CrossThreadCallCheck&) = delete;
    CrossThreadCallCheck& operator=(const CrossThreadCallCheck&) = delete;

    // How many of the redirected functions were found in the import table.
    std::size_t Patched() const { return m_patched.size(); }
    static int Violations() { return s_violations; }
    static int CrossThreadCalls() { return s_calls; }

private:
    using SendFunction = LRESULT(WINAPI*)(HWND, UINT, WPARAM, LPARAM);
    using SetPosFunction = BOOL(WINAPI*)(HWND, HWND, int, int, int, int, UINT);
    using ShowFunction = BOOL(WINAPI*)(HWND, int);
    using SetTextAFunction = BOOL(WINAPI*)(HWND, LPCSTR);
    using SetTextWFunction = BOOL(WINAPI*)(HWND, LPCWSTR);
    using UpdateFunction = BOOL(WINAPI*)(HWND);

    static void Check(HWND hwnd)
    {
        if (!hwnd || ::GetWindowThreadProcessId(hwnd, nullptr) == ::GetCurrentThreadId())
            return;
        ++s_calls;
        if (Brivox::LockOrder::HoldsAny())
            ++s_violations;
    }
    static LRESULT WINAPI SendA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
    {
        Check(hwnd);
        return reinterpret_cast<SendFunction>(s_sendA.load())(hwnd, message, wParam, lParam);
    }
    static LRESULT WINAPI SendW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
    {
        Check(hwnd);
        return reinterpret_cast<SendFunction>(s_sendW.load())(hwnd, message, wParam, lParam);
    }
    static BOOL WINAPI SetPos(HWND hwnd, HWND after, int x, int y, int cx, int cy, UINT flags)
    {
        if (!(flags & SWP_ASYNCWINDOWPOS))
            Check(hwnd);
        return reinterpret_cast<SetPosFunction>(s_setPos.load())(hwnd, after, x, y, cx, cy, flags);
    }
    static BOOL WINAPI Show(HWND hwnd, int command)
    {
        Check(hwnd);
        return reinterpret_cast<ShowFunction>(s_show.load())(hwnd, command);
    }
    static BOOL WINAPI SetTextA(HWND hwnd, LPCSTR text)
    {
        Check(hwnd);
        return reinterpret_cast<SetTextAFunction>(s_setTextA.load())(hwnd, text);
    }
    static BOOL WINAPI SetTextW(HWND hwnd, LPCWSTR text)
    {
        Check(hwnd);
        return reinterpret_cast<SetTextWFunction>(s_setTextW.load())(hwnd, text);
    }
    static BOOL WINAPI Update(HWND hwnd)
    {
        Check(hwnd);
        return reinterpret_cast<UpdateFunction>(s_update.load())(hwnd);
    }

    static void Write(void** slot, void* value)
    {
        DWORD old = 0;
        ::VirtualProtect(slot, sizeof(void*), PAGE_READWRITE, &old);
        *static_cast<void* volatile*>(slot) = value;
        ::VirtualProtect(slot, sizeof(void*), old, &old);
    }

    // The import slots of user32's function in the program's own image.
    void Patch(const char* name, void* replacement, std::atomic<void*>& original)
    {
        auto* base = reinterpret_cast<BYTE*>(::GetModuleHandleW(nullptr));
        const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
        const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
        const IMAGE_DATA_DIRECTORY& directory =
            nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
        void* const target =
            reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("user32.dll"), name));
        if (!directory.VirtualAddress || !target)
            return;
        original = target;
        for (auto* import = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress);
             import->Name; ++import) {
            auto* slot = reinterpret_cast<void**>(base + import->FirstThunk);
            for (; *slot; ++slot) {
                if (*slot == target) {
                    m_patched.push_back({slot, target});
                    Write(slot, replacement);
                }
            }
        }
    }

    std::vector<std::pair<void**, void*>> m_patched;
    static inline std::atomic<void*> s_sendA{nullptr}, s_sendW{nullptr}, s_setPos{nullptr}, s_show{nullptr},
        s_setTextA{nullptr}, s_setTextW{nullptr}, s_update{nullptr};
    static inline std::atomic<int> s_violations{0};
    static inline std::atomic<int> s_calls{0};
};

class FileListWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_folder.Create();
        m_root = Text(m_folder.GetPath());
    }
    void TearDown() override { ViewerFixtures::RemoveSettingsFiles(BaseName); }
    // A folder of pages named p00.png, p01.png...
    std::wstring Pages(int count, int width, int height)
    {
        const std::wstring folder = m_root + L"pages\\";
        ::CreateDirectoryW(folder.c_str(), nullptr);
        for (int i = 0; i < count; ++i) {
            wchar_t name[16];
            std::swprintf(name, 16, L"p%02d.png", i);
            ViewerFixtures::WriteBars(folder + name, width, height,
                                      {ViewerFixtures::Red, ViewerFixtures::Green, ViewerFixtures::Blue});
        }
        return folder;
    }
    static void Start(CAppWindow& app, const std::wstring& folder)
    {
        app.RunOnWindowThread([&] {
            app.GetSettings().SetRaw(L"Titlebar", L"$(index)");
            app.GetSettings().SetRaw(L"WindowPosRestore", L"false");
            app.ApplySettings();
            app.GetFileListWindow().SetRect({40, 40, 340, 440});
        });
        app.Start({folder.c_str()}, SW_SHOWNORMAL);
    }
    // Opens the list window through its command and waits until it shows the entries.
    static HWND OpenList(CAppWindow& app, int count)
    {
        KanoruTest::PostCommand(app.GetWindow().GetHandle(), CommandIdBase + CmdFileListWindow);
        HWND list = nullptr;
        EXPECT_TRUE(PumpUntil([&] {
            const HWND dialog = app.GetFileListWindow().GetHandle();
            list = dialog ? ::GetDlgItem(dialog, 1030) : nullptr;
            return list && ItemCount(list) == count;
        }));
        if (list)
            SettleList(app, list);
        // The command also asked the main window's thread for the foreground; that request, posted
        // before this one, has been carried out once this returns, so it cannot take the
        // foreground away from a window the test brings forward next.
        app.RunOnWindowThread([] {});
        return list;
    }
    // Returns once the list window has handled what was posted to it before: its selection,
    // cleared here, comes back only through a refresh posted after those messages.
    static void SettleList(CAppWindow& app, HWND list)
    {
        LVITEMW item{};
        item.stateMask = LVIS_SELECTED;
        ::SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&item));
        app.GetFileListWindow().Refresh();
        EXPECT_TRUE(PumpUntil([&] { return Brivox::CCtrl(list).ListViewGetSelectedIndex() >= 0; }));
    }
    static int ItemCount(HWND list) { return static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)); }
    static int CurrentIndex(CAppWindow& app)
    {
        int index = -1;
        app.RunOnWindowThread([&] { index = app.GetDocument()->GetCurrentIndex(); });
        return index;
    }
    // The cursor moved onto the row through the system's input, so that the list sees it there,
    // then two clicks. A failure names the step that did not come about.
    static ::testing::AssertionResult DoubleClickRow(HWND main, HWND list, int row,
                                                     bool waitForHandOff = true)
    {
        // The list is clicked in its active window, as a user's first click would make it: a
        // click into another thread's inactive window may only activate it.
        // An earlier double click's hand-off to the main window may land after the list was
        // brought forward.
        const HWND dialog = ::GetParent(list);
        if (!KanoruTest::BringToForeground(dialog))
            return ::testing::AssertionFailure() << "the list window never held the foreground";
        RECT rect{};
        rect.left = LVIR_LABEL;
        ::SendMessageW(list, LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&rect));
        POINT at{rect.left + 8, (rect.top + rect.bottom) / 2};
        ::ClientToScreen(list, &at);
        INPUT move{};
        move.type = INPUT_MOUSE;
        move.mi.dx = 1;
        move.mi.dwFlags = MOUSEEVENTF_MOVE;
        // A pointer event of the display that arrives late can put the cursor back where it was.
        POINT cursor{};
        if (!KanoruTest::PumpUntilHeld(
                [&] { return ::GetCursorPos(&cursor) && cursor.x == at.x && cursor.y == at.y; },
                [&] {
                    ::SetCursorPos(at.x - 1, at.y);
                    ::SendInput(1, &move, sizeof(INPUT));
                },
                std::chrono::milliseconds(250)))
            return ::testing::AssertionFailure() << "the cursor stayed at " << cursor.x << ", " << cursor.y
                                                 << " on its way to " << at.x << ", " << at.y;
        INPUT inputs[4] = {};
        const DWORD flags[] = {MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP, MOUSEEVENTF_LEFTDOWN,
                               MOUSEEVENTF_LEFTUP};
        for (int i = 0; i < 4; ++i) {
            inputs[i].type = INPUT_MOUSE;
            inputs[i].mi.dwFlags = flags[i];
        }
        // The list hands the foreground back to the main window once it has taken the double click.
        if (::SendInput(4, inputs, sizeof(INPUT)) != 4)
            return ::testing::AssertionFailure() << "the clicks were refused";
        if (waitForHandOff && !PumpUntil([&] { return ::GetForegroundWindow() == main; }))
            return ::testing::AssertionFailure() << "the main window never got the foreground back";
        return ::testing::AssertionSuccess();
    }

    static constexpr const wchar_t* BaseName = L"viewer_test_file_list";
    Brivox::CTempFolder m_folder{L"kanoru-list-"};
    std::wstring m_root;
};

} // namespace

using DesktopInputFileList = FileListWindowTest;

TEST_F(DesktopInputFileList, TheRowsFollowTheListThroughOpeningRemovingAndClosing)
{
    const std::wstring folder = Pages(5, 60, 40);
    CAppWindow app(BaseName);
    Start(app, folder);
    const HWND list = OpenList(app, 5);
    ASSERT_TRUE(list);
    const Brivox::CCtrl control(list);
    EXPECT_EQ(L"p00.png", Text(control.ListViewGetItemText(0, 0)));
    // The shown page's file was loaded; its row follows.
    EXPECT_TRUE(PumpUntil([&] { return control.ListViewGetItemText(0, 1) == String(L"\u25CB"); }))
        << Text(control.ListViewGetItemText(0, 1));
    EXPECT_EQ(0, control.ListViewGetSelectedIndex());

    app.RunOnWindowThread([&] {
        app.GetDocument()->GoTo(2);
        app.GetDocument()->SetMark(true);
    });
    EXPECT_TRUE(PumpUntil([&] {
        return control.ListViewGetSelectedIndex() == 2 &&
               control.ListViewGetItemText(2, 2) == String(L"\u25CF");
    }));
    app.RunOnWindowThread([&] { app.GetDocument()->RemoveCurrentFromList(); });
    EXPECT_TRUE(PumpUntil([&] { return ItemCount(list) == 4; }));
    EXPECT_EQ(L"p03.png", Text(control.ListViewGetItemText(2, 0)));
    app.RunOnWindowThread([&] { app.GetDocument()->Close(); });
    EXPECT_TRUE(PumpUntil([&] { return ItemCount(list) == 0; }));
    ViewerFixtures::CloseAndWait(app);
    EXPECT_FALSE(app.GetFileListWindow().IsOpen());
}

TEST_F(DesktopInputFileList, ADoubleClickOnARowMakesItsEntryCurrent)
{
    const std::wstring folder = Pages(4, 60, 40);
    CAppWindow app(BaseName);
    Start(app, folder);
    const HWND main = app.GetWindow().GetHandle();
    const HWND list = OpenList(app, 4);
    ASSERT_TRUE(list);
    ASSERT_TRUE(PumpUntil([&] { return WindowText(main) == L"1"; })) << WindowText(main);
    ASSERT_TRUE(DoubleClickRow(main, list, 2));
    EXPECT_TRUE(PumpUntil([&] { return WindowText(main) == L"3"; })) << WindowText(main);
    EXPECT_EQ(2, CurrentIndex(app));
    ViewerFixtures::CloseAndWait(app);
}

TEST_F(DesktopInputFileList, DoubleClicksWhilePagesLoadEndWithoutAHangOrALockHeldAcrossACall)
{
    CrossThreadCallCheck check;
    ASSERT_GT(check.Patched(), 0u);
    const int violationsBefore = CrossThreadCallCheck::Violations();
    const std::wstring folder = Pages(24, 1200, 900);
    CAppWindow app(BaseName);
    Start(app, folder);
    const HWND list = OpenList(app, 24);
    ASSERT_TRUE(list);
    const int rows[] = {3, 9, 1, 14, 6, 20, 2, 11, 17, 5, 23, 8, 0, 12, 19, 4, 15, 7, 21, 10};
    for (const int row : rows) {
        ::SendMessageW(list, LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE);
        // A click may miss while the list scrolls to the entry a load made current; it must never
        // hang.
        EXPECT_TRUE(DoubleClickRow(app.GetWindow().GetHandle(), list, row, false)) << row;
    }
    // Every window answers, the viewer moved, and the list still shows every entry.
    EXPECT_TRUE(PumpUntil([&] { return CurrentIndex(app) > 0; }));
    EXPECT_EQ(24, ItemCount(list));
    ViewerFixtures::CloseAndWait(app);
    EXPECT_GT(CrossThreadCallCheck::CrossThreadCalls(), 0);
    EXPECT_EQ(violationsBefore, CrossThreadCallCheck::Violations());
}

TEST_F(DesktopInputFileList, ItsCloseBoxLeavesTheActivationAloneAndTheCommandBringsTheMainWindowBack)
{
    const std::wstring folder = Pages(2, 60, 40);
    CAppWindow app(BaseName);
    Start(app, folder);
    const HWND main = app.GetWindow().GetHandle();
    // A window of the test's own thread holds the foreground meanwhile.
    const HWND other = ::CreateWindowExW(0, L"STATIC", L"other", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 600, 500,
                                         200, 100, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(other);
    for (const bool closeBox : {true, false}) {
        SCOPED_TRACE(closeBox);
        const HWND list = OpenList(app, 2);
        ASSERT_TRUE(list);
        const HWND dialog = app.GetFileListWindow().GetHandle();
        ASSERT_TRUE(KanoruTest::BringToForeground(other));
        if (closeBox) {
            ::PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
            ASSERT_TRUE(PumpUntil([&] { return !::IsWindow(dialog); }));
            EXPECT_FALSE(app.GetFileListWindow().IsOpen());
            // Once the window's thread has ended, nothing of the close is left to come.
            app.RunOnWindowThread([&] { app.GetFileListWindow().Close(false); });
            KanoruTest::PumpPending();
            EXPECT_EQ(other, ::GetForegroundWindow());
        } else {
            KanoruTest::PostCommand(main, CommandIdBase + CmdFileListWindow);
            EXPECT_TRUE(PumpUntil([&] { return !::IsWindow(dialog) && ::GetForegroundWindow() == main; }));
        }
    }
    ::DestroyWindow(other);
    ViewerFixtures::CloseAndWait(app);
}

TEST(DesktopInputFileListProgram,
     TheCommandTogglesATopMostListAtItsRectangleAndTheMainWindowKeepsTheForeground)
{
    ProgramInFreshFolder program(ViewerFixtures::Kanoru2Path(), L"pages\\", [](const std::wstring& folder) {
        ViewerFixtures::WriteTwoPages(folder + L"pages\\");
    });
    ASSERT_TRUE(program.Started());
    const HWND main = program.WaitForWindow();
    ASSERT_TRUE(main);
    const auto findList = [&] {
        for (const HWND hwnd : KanoruTest::FindProcessWindows(program.ProcessId()))
            if (::IsWindowVisible(hwnd) && WindowText(hwnd) == L"ファイルリスト")
                return hwnd;
        return HWND{};
    };
    HWND list = nullptr;
    KanoruTest::PostCommand(main, CommandIdBase + CmdFileListWindow);
    ASSERT_TRUE(PumpUntil([&] { return (list = findList()) != nullptr; }));
    EXPECT_TRUE(::GetWindowLongW(list, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_EQ(nullptr, ::GetParent(list));
    RECT rect{};
    ::GetWindowRect(list, &rect);
    // The default "FileListWindowRect".
    EXPECT_EQ(160, rect.left);
    EXPECT_EQ(240, rect.top);
    EXPECT_EQ(320, rect.right - rect.left);
    EXPECT_EQ(320, rect.bottom - rect.top);
    EXPECT_TRUE(PumpUntil([&] { return ::GetForegroundWindow() == main; }));

    KanoruTest::PostCommand(main, CommandIdBase + CmdFileListWindow);
    EXPECT_TRUE(PumpUntil([&] { return !::IsWindow(list) && ::GetForegroundWindow() == main; }));
    ::PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(0, program.WaitForExit());
}

TEST(DesktopInputFileListProgram, TheRectangleTheListLastHadIsSavedAlsoWhenItWasClosedLongBefore)
{
    for (const bool closedBefore : {false, true}) {
        SCOPED_TRACE(closedBefore);
        ProgramInFreshFolder program(
            ViewerFixtures::Kanoru2Path(), L"pages\\",
            [](const std::wstring& folder) { ViewerFixtures::WriteTwoPages(folder + L"pages\\"); });
        ASSERT_TRUE(program.Started());
        const HWND main = program.WaitForWindow();
        ASSERT_TRUE(main);
        KanoruTest::PostCommand(main, CommandIdBase + CmdFileListWindow);
        HWND list = nullptr;
        ASSERT_TRUE(PumpUntil([&] {
            for (const HWND hwnd : KanoruTest::FindProcessWindows(program.ProcessId()))
                if (::IsWindowVisible(hwnd) && WindowText(hwnd) == L"ファイルリスト")
                    list = hwnd;
            return list != nullptr;
        }));
        ::SetWindowPos(list, nullptr, 100, 120, 350, 280, SWP_NOZORDER | SWP_NOACTIVATE);
        if (closedBefore) {
            KanoruTest::PostCommand(main, CommandIdBase + CmdFileListWindow);
            ASSERT_TRUE(PumpUntil([&] { return !::IsWindow(list); }));
            // The viewer goes on a while without it.
            KanoruTest::PostCommand(main, CommandIdBase + CmdNext);
            ASSERT_TRUE(PumpUntil([&] { return WindowText(main).find(L"[2/2]") != std::wstring::npos; }))
                << WindowText(main);
        }
        ::PostMessageW(main, WM_CLOSE, 0, 0);
        ASSERT_EQ(0, program.WaitForExit());
        Brivox::CConfig settings;
        ASSERT_TRUE(settings.Load((program.Folder() + L"Kanoru.cfg").c_str()));
        const RECT saved = settings.GetRect(L"FileListWindowRect");
        EXPECT_EQ(100, saved.left);
        EXPECT_EQ(120, saved.top);
        EXPECT_EQ(450, saved.right);
        EXPECT_EQ(400, saved.bottom);
    }
}
