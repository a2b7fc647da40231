#include "settings/tool_dialogs.h"

#include "formats/png_loader.h"
#include "foundation/config.h"
#include "foundation/file_name.h"
#include "foundation/temp_file.h"
#include "foundation/text_file.h"
#include "resources/tool_dialog_ids.h"
#include "settings/config_schema.h"
#include "support/window_test_bed.h"
#include "tool_dialog_test_support.h"
#include "ui/ctrl.h"
#include "ui/window_test_support.h"

#include <commctrl.h>
#include <zlib.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

using Brivox::CCtrl;
using Brivox::SMessage;
using Brivox::String;
using KanoruTest::WindowText;
using ToolDialogTest::Command;
using ToolDialogTest::Item;
using ToolDialogTest::RunDialog;

namespace {

// The main window as the dialogs see it: the viewer's settings with their defaults.
class TestOwner : public IToolDialogOwner
{
public:
    TestOwner() { InitConfig(settings, L"Z:\\nonexistent-kanoru-settings\\none.cfg"); }

    HWND GetToolDialogWindow() const override { return window; }
    Brivox::CConfig& GetToolDialogSettings() override { return settings; }

    HWND window = nullptr;
    Brivox::CConfig settings;
};

// ---- Slide show

struct SlideShowState
{
    int frequency;
    int direction;
    bool stopWithLast;
    bool stopWithCommand;
};

void StoreSlideShow(Brivox::CConfig& settings, const SlideShowState& state)
{
    settings.SetInt(L"SlideShowFreq", state.frequency);
    settings.SetInt(L"SlideShowDist", state.direction);
    settings.SetBool(L"SlideShowStopWithLast", state.stopWithLast);
    settings.SetBool(L"SlideShowStopWithCommand", state.stopWithCommand);
}

void ExpectSlideShow(const Brivox::CConfig& settings, const SlideShowState& state)
{
    EXPECT_EQ(settings.GetInt(L"SlideShowFreq"), state.frequency);
    EXPECT_EQ(settings.GetInt(L"SlideShowDist"), state.direction);
    EXPECT_EQ(settings.GetBool(L"SlideShowStopWithLast"), state.stopWithLast);
    EXPECT_EQ(settings.GetBool(L"SlideShowStopWithCommand"), state.stopWithCommand);
}

} // namespace

TEST(DesktopInputSlideShowDialog, ShowsTheStoredSettingsAndCancelStoresNothing)
{
    RunOnFreshThread([] {
        TestOwner owner;
        const SlideShowState stored{1500, 1, false, true};
        StoreSlideShow(owner.settings, stored);
        CSlideShowDialog dialog(owner);
        RunDialog(dialog, [](HWND hwnd) {
            EXPECT_EQ(Item(hwnd, IDC_TOOL_EDIT).GetText(), String(L"1500"));
            EXPECT_FALSE(Item(hwnd, IDC_SLIDE_FORWARD).IsChecked());
            EXPECT_TRUE(Item(hwnd, IDC_SLIDE_BACKWARD).IsChecked());
            EXPECT_FALSE(Item(hwnd, IDC_SLIDE_STOP_LAST).IsChecked());
            EXPECT_TRUE(Item(hwnd, IDC_SLIDE_STOP_COMMAND).IsChecked());
            int low = 0, high = 0;
            ::SendMessageA(::GetDlgItem(hwnd, IDC_SLIDE_UPDOWN), UDM_GETRANGE32,
                           reinterpret_cast<WPARAM>(&low), reinterpret_cast<LPARAM>(&high));
            EXPECT_EQ(low, 500);
            EXPECT_EQ(high, 5000);
            Item(hwnd, IDC_TOOL_EDIT).SetText(L"3000");
            ::SendMessageA(::GetDlgItem(hwnd, IDC_SLIDE_FORWARD), BM_CLICK, 0, 0);
            ::SendMessageA(::GetDlgItem(hwnd, IDC_SLIDE_STOP_LAST), BM_CLICK, 0, 0);
            Command(hwnd, IDCANCEL);
        });
        EXPECT_FALSE(dialog.IsConfirmed());
        ExpectSlideShow(owner.settings, stored);
    });
}

TEST(DesktopInputSlideShowDialog, OkStoresTheFourKeysWithTheIntervalAsTyped)
{
    const struct
    {
        const wchar_t* typed;
        int stored;
    } cases[] = {{L"3000", 3000}, {L"abc", 0}, {L"99999", 99999}, {L"100", 100}};
    for (const auto& c : cases) {
        RunOnFreshThread([&] {
            TestOwner owner;
            StoreSlideShow(owner.settings, {2000, 1, false, false});
            CSlideShowDialog dialog(owner);
            RunDialog(dialog, [&](HWND hwnd) {
                Item(hwnd, IDC_TOOL_EDIT).SetText(c.typed);
                ::SendMessageA(::GetDlgItem(hwnd, IDC_SLIDE_FORWARD), BM_CLICK, 0, 0);
                ::SendMessageA(::GetDlgItem(hwnd, IDC_SLIDE_STOP_LAST), BM_CLICK, 0, 0);
                ::SendMessageA(::GetDlgItem(hwnd, IDC_SLIDE_STOP_COMMAND), BM_CLICK, 0, 0);
                Command(hwnd, IDOK);
            });
            EXPECT_TRUE(dialog.IsConfirmed());
            ExpectSlideShow(owner.settings, {c.stored, 0, true, true});
        });
    }
}

TEST(DesktopInputSlideShowDialog, AnUnreadableSettingIsReportedInTheErrorBoxAndTheDialogStaysUsable)
{
    KanoruTest::MessageBoxAnswerer boxes;
    RunOnFreshThread([] {
        TestOwner owner;
        owner.settings.SetRaw(L"SlideShowStopWithLast", L"perhaps");
        CSlideShowDialog dialog(owner);
        RunDialog(dialog, [](HWND hwnd) { Command(hwnd, IDCANCEL); });
        EXPECT_FALSE(dialog.IsConfirmed());
    });
    const auto shown = boxes.Boxes();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].caption, String(L"エラー (3)"));
}

// ---- Password

namespace {

// The main window's side of the password dialog: the mask from its snapshot, and the values handed
// back queued for its own thread, which stores them there.
class TestPasswordOwner : public IPasswordDialogOwner
{
public:
    explicit TestPasswordOwner(bool mask) : m_mask(mask) {}

    bool GetArcPassMask() const override { return m_mask; }
    void HandOverArcPassMask(bool mask) override
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_pending.push_back(mask);
        handingThreads.push_back(::GetCurrentThreadId());
    }

    // On the owner's thread.
    void StorePending(Brivox::CConfig& settings)
    {
        std::lock_guard<std::mutex> lock(m_lock);
        for (bool mask : m_pending) {
            settings.SetBool(L"ArcPassMask", mask);
            storingThreads.push_back(::GetCurrentThreadId());
        }
        m_pending.clear();
    }

    std::vector<DWORD> handingThreads;
    std::vector<DWORD> storingThreads;

private:
    bool m_mask;
    std::mutex m_lock;
    std::vector<bool> m_pending;
};

struct PasswordRun
{
    bool confirmed = false;
    String password;
    DWORD threadId = 0;
};

// Runs the password dialog on a worker thread, as a page loader does, while this thread goes on
// serving its messages; then stores what was handed over, on this thread.
PasswordRun RunPasswordDialog(TestPasswordOwner& owner, Brivox::CConfig& settings,
                              std::function<void(HWND)> steps)
{
    PasswordRun run;
    std::atomic<bool> done{false};
    std::thread worker([&] {
        run.threadId = ::GetCurrentThreadId();
        CPassDialog dialog(owner, L"C:\\books\\locked.zip");
        RunDialog(dialog, steps);
        run.confirmed = dialog.IsConfirmed();
        run.password = dialog.GetPassword();
        done = true;
    });
    EXPECT_TRUE(KanoruTest::PumpUntil([&] { return done.load(); }));
    worker.join();
    owner.StorePending(settings);
    return run;
}

bool IsMasked(HWND dialog)
{
    const HWND edit = ::GetDlgItem(dialog, IDC_TOOL_EDIT);
    return (::GetWindowLongA(edit, GWL_STYLE) & ES_PASSWORD) != 0 &&
           ::SendMessageA(edit, EM_GETPASSWORDCHAR, 0, 0) == '*';
}

bool IsPlain(HWND dialog)
{
    return ::SendMessageA(::GetDlgItem(dialog, IDC_TOOL_EDIT), EM_GETPASSWORDCHAR, 0, 0) == 0;
}

} // namespace

TEST(DesktopInputPassDialog, OnAWorkerThreadTheMaskFollowsTheBoxAtOnceAndOkHandsTheFlagToTheOwner)
{
    for (const bool initialMask : {true, false}) {
        TestOwner mainWindow;
        mainWindow.settings.SetBool(L"ArcPassMask", initialMask);
        TestPasswordOwner owner(initialMask);
        const PasswordRun run = RunPasswordDialog(owner, mainWindow.settings, [&](HWND hwnd) {
            EXPECT_EQ(WindowText(::GetDlgItem(hwnd, IDC_PASS_ARCHIVE)), L"C:\\books\\locked.zip");
            EXPECT_EQ(Item(hwnd, IDC_PASS_MASK).IsChecked(), initialMask);
            EXPECT_EQ(IsMasked(hwnd), initialMask);
            ::SendMessageA(::GetDlgItem(hwnd, IDC_PASS_MASK), BM_CLICK, 0, 0);
            EXPECT_EQ(IsMasked(hwnd), !initialMask);
            EXPECT_EQ(IsPlain(hwnd), initialMask);
            Item(hwnd, IDC_TOOL_EDIT).SetText(L"開けゴマ 42");
            // Nothing is stored before the owner's thread does it.
            EXPECT_TRUE(owner.handingThreads.empty());
            Command(hwnd, IDOK);
        });
        EXPECT_TRUE(run.confirmed) << initialMask;
        EXPECT_EQ(run.password, String(L"開けゴマ 42"));
        EXPECT_EQ(owner.handingThreads, std::vector<DWORD>{run.threadId});
        EXPECT_EQ(owner.storingThreads, std::vector<DWORD>{::GetCurrentThreadId()});
        EXPECT_EQ(mainWindow.settings.GetBool(L"ArcPassMask"), !initialMask);
    }
}

TEST(DesktopInputPassDialog, CancelGivesNoPasswordAndHandsNothing)
{
    TestOwner mainWindow;
    mainWindow.settings.SetBool(L"ArcPassMask", true);
    TestPasswordOwner owner(true);
    const PasswordRun run = RunPasswordDialog(owner, mainWindow.settings, [](HWND hwnd) {
        Item(hwnd, IDC_TOOL_EDIT).SetText(L"secret");
        ::SendMessageA(::GetDlgItem(hwnd, IDC_PASS_MASK), BM_CLICK, 0, 0);
        Command(hwnd, IDCANCEL);
    });
    EXPECT_FALSE(run.confirmed);
    EXPECT_EQ(run.password, String());
    EXPECT_TRUE(owner.handingThreads.empty());
    EXPECT_TRUE(mainWindow.settings.GetBool(L"ArcPassMask"));
}

// ---- History

namespace {

const wchar_t validHistoryHead[] = L"[knbookmark/ver:1]\r\ncurrent:\r\n";

// A history folder with 00.knb and 03.knb that open, one that is of another form, one named as no
// number is written and 100.knb.
struct HistoryFolder
{
    HistoryFolder() : temp(L"hst")
    {
        temp.Create();
        folder = Brivox::CFileName::AppendSeparator(temp.GetPath());
        Write(L"00.knb", String(validHistoryHead) + L"C:\\a\\first.jpg\r\nfiles:\r\nC:\\a\\first.jpg\r\n");
        Write(L"03.knb", L"[knbookmark/ver:1]\ncurrent:\nC:\\b\\third.png\nfiles:\n");
        Write(L"05.knb", L"[knbookmark/ver:1]\r\ncurrent: x\r\nC:\\c\\x.jpg\r\nfiles:\r\n");
        Write(L"003.knb", String(validHistoryHead) + L"C:\\d\\alias.jpg\r\nfiles:\r\n");
        Write(L"100.knb", String(validHistoryHead) + L"C:\\e\\hundred.jpg\r\nfiles:\r\n");
        Write(L"07.knb", String(validHistoryHead) + L"C:\\f\\locked.jpg\r\nfiles:\r\n");
        // Held open without sharing: it cannot be read while the folder is listed.
        locked =
            ::CreateFileW((folder + L"07.knb").CStr(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        EXPECT_NE(locked, INVALID_HANDLE_VALUE);
    }
    ~HistoryFolder() { ::CloseHandle(locked); }

    void Write(const wchar_t* name, const String& text) { Brivox::WriteTextFile(folder + name, text); }

    Brivox::CTempFolder temp;
    String folder;
    HANDLE locked = INVALID_HANDLE_VALUE;
};

std::vector<int> Numbers(const std::vector<HistoryEntry>& entries)
{
    std::vector<int> numbers;
    for (const HistoryEntry& entry : entries)
        numbers.push_back(entry.number);
    return numbers;
}

struct HistoryRun
{
    std::vector<std::pair<String, String>> rows;
    int selected = -2;
    int firstColumnWidth = 0;
    bool confirmed = false;
    int chosen = -1;
};

// Opens the history dialog over the folder, reads its list and presses OK on the row given (none
// when negative).
HistoryRun RunHistoryDialog(const String& folder, int historyMax, int rowToChoose)
{
    HistoryRun run;
    RunOnFreshThread([&] {
        TestOwner owner;
        owner.settings.SetRaw(L"HistoryDir", folder);
        owner.settings.SetInt(L"HistoryMax", historyMax);
        CHistoryDialog dialog(owner);
        RunDialog(dialog, [&](HWND hwnd) {
            const CCtrl list = Item(hwnd, IDC_HISTORY_LIST);
            for (int i = 0; i < list.ListViewGetItemCount(); ++i)
                run.rows.emplace_back(list.ListViewGetItemText(i, 0), list.ListViewGetItemText(i, 1));
            run.selected = list.ListViewGetSelectedIndex();
            run.firstColumnWidth =
                static_cast<int>(::SendMessageA(list.GetHandle(), LVM_GETCOLUMNWIDTH, 0, 0));
            list.ListViewSelectItem(run.selected, false);
            if (rowToChoose >= 0)
                list.ListViewSelectItem(rowToChoose, true);
            Command(hwnd, IDOK);
        });
        run.confirmed = dialog.IsConfirmed();
        run.chosen = dialog.GetChosenNumber();
    });
    return run;
}

} // namespace

TEST(HistoryEntries, OnlyFilesOfTheHistoryFormNumberedBelowTheCountAreListedInAscendingOrder)
{
    HistoryFolder f;
    const struct
    {
        int count;
        std::vector<int> numbers;
    } cases[] = {{10, {0, 3}},
                 {0, {}},
                 {-5, {}},
                 {1, {0}},
                 {100, {0, 3}},
                 {101, {0, 3, 100}},
                 {100000000, {0, 3, 100}}};
    for (const auto& c : cases)
        EXPECT_EQ(Numbers(ListHistoryEntries(f.folder, c.count)), c.numbers) << c.count;
    const std::vector<HistoryEntry> entries = ListHistoryEntries(f.folder, 10);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].current, String(L"C:\\a\\first.jpg"));
    EXPECT_EQ(entries[1].current, String(L"C:\\b\\third.png"));
}

TEST(HistoryEntries, AMissingFolderListsNothing)
{
    EXPECT_TRUE(ListHistoryEntries(L"Z:\\no-such-kanoru-history\\", 10).empty());
}

TEST(DesktopInputHistoryDialog, ListsTheTwoHistoriesAndOkOnTheSecondChoosesItsNumber)
{
    HistoryFolder f;
    const HistoryRun run = RunHistoryDialog(f.folder, 10, 1);
    const std::vector<std::pair<String, String>> rows{{L"00", L"C:\\a\\first.jpg"},
                                                      {L"03", L"C:\\b\\third.png"}};
    EXPECT_EQ(run.rows, rows);
    EXPECT_EQ(run.selected, 0);
    EXPECT_EQ(run.firstColumnWidth, 24);
    EXPECT_TRUE(run.confirmed);
    EXPECT_EQ(run.chosen, 3);
}

TEST(DesktopInputHistoryDialog, AHugeHistoryMaxListsTheFilesThereAndNoMore)
{
    HistoryFolder f;
    const HistoryRun run = RunHistoryDialog(f.folder, 100000000, 2);
    ASSERT_EQ(run.rows.size(), 3u);
    EXPECT_EQ(run.rows[2].first, String(L"100"));
    EXPECT_TRUE(run.confirmed);
    EXPECT_EQ(run.chosen, 100);
}

TEST(DesktopInputHistoryDialog, HistoryMaxZeroShowsNoRowsAndOkWithoutASelectionIsNotConfirmed)
{
    HistoryFolder f;
    const HistoryRun run = RunHistoryDialog(f.folder, 0, -1);
    EXPECT_TRUE(run.rows.empty());
    EXPECT_EQ(run.selected, -1);
    EXPECT_FALSE(run.confirmed);
}

// ---- Version and image information

namespace {

bool HasLoneLineFeed(const std::wstring& text)
{
    for (std::size_t i = 0; i < text.size(); ++i)
        if (text[i] == L'\n' && (i == 0 || text[i - 1] != L'\r'))
            return true;
    return false;
}

} // namespace

TEST(LibraryNotices, AreTheLibrariesOwnTextsWithCrLfLineEnds)
{
    EXPECT_EQ(GetJpegNoticeText(),
              String(L"This software is based in part on the work of the Independent JPEG Group."));
    const std::wstring png = GetPngNoticeText().CStr();
    EXPECT_NE(png.find(L"Copyright"), std::wstring::npos);
    EXPECT_NE(png.find(L"\r\n"), std::wstring::npos);
    EXPECT_FALSE(HasLoneLineFeed(png));
    const std::wstring zlib = GetZlibNoticeText().CStr();
    const std::string version = zlibVersion();
    EXPECT_EQ(zlib.rfind(L"zlib " + std::wstring(version.begin(), version.end()) + L"\r\nCopyright (C) ", 0),
              0u);
    EXPECT_NE(zlib.find(L"Jean-loup Gailly and Mark Adler\r\n\r\nThis software is provided 'as-is'"),
              std::wstring::npos);
    EXPECT_FALSE(HasLoneLineFeed(zlib));
}

TEST(DesktopInputVersionDialog, ShowsTheTextsAndAnyButtonReleaseOverItClosesIt)
{
    for (const UINT release : {WM_LBUTTONUP, WM_RBUTTONUP, WM_MBUTTONUP}) {
        RunOnFreshThread([&] {
            TestOwner owner;
            CVersionDialog dialog(owner, L"2.0.1 (x64)", L"メモリ使用量: 12 MB\r\n空き: 3 GB");
            bool checked = false;
            RunDialog(dialog, [&](HWND hwnd) {
                EXPECT_EQ(WindowText(hwnd), L"バージョン情報");
                EXPECT_EQ(WindowText(::GetDlgItem(hwnd, IDC_VERSION_PROGRAM)), L"Kanoru  2.0.1 (x64)");
                EXPECT_EQ(Item(hwnd, IDC_VERSION_JPEG).GetText(), GetJpegNoticeText());
                EXPECT_EQ(Item(hwnd, IDC_VERSION_PNG).GetText(), GetPngNoticeText());
                EXPECT_EQ(Item(hwnd, IDC_VERSION_ZLIB).GetText(), GetZlibNoticeText());
                EXPECT_EQ(Item(hwnd, IDC_TOOL_EDIT).GetText(), String(L"メモリ使用量: 12 MB\r\n空き: 3 GB"));
                checked = true;
                ::PostMessageA(hwnd, release, 0, MAKELPARAM(5, 5));
            });
            EXPECT_TRUE(checked) << release;
        });
    }
}

TEST(DesktopInputImageInfoDialog, ShowsTheTwelveLinesInTheirEditsAndClosesOnAButtonRelease)
{
    const int ids[] = {
        IDC_TOOL_EDIT,      IDC_INFO_FILE_NAME,        IDC_INFO_LIST_INDEX,        IDC_INFO_FILE_SIZE,
        IDC_INFO_MODIFIED,  IDC_INFO_IMAGE_KIND,       IDC_INFO_IMAGE_SIZE,        IDC_INFO_ZOOM,
        IDC_INFO_SELECTION, IDC_INFO_SELECTION_COLORS, IDC_INFO_SELECTION_AVERAGE, IDC_INFO_MD5};
    RunOnFreshThread([&] {
        TestOwner owner;
        CImageInfoDialog dialog(owner);
        std::vector<String> lines;
        for (int i = 0; i < 12; ++i)
            lines.push_back(Brivox::FormatString(L"行 %d", i));
        dialog.SetLines(lines);
        int seen = 0;
        RunDialog(dialog, [&](HWND hwnd) {
            EXPECT_EQ(WindowText(hwnd), L"画像情報");
            for (int i = 0; i < 12; ++i) {
                EXPECT_EQ(Item(hwnd, ids[i]).GetText(), lines[i]) << i;
                EXPECT_TRUE(::GetWindowLongA(::GetDlgItem(hwnd, ids[i]), GWL_STYLE) & ES_READONLY) << i;
                ++seen;
            }
            ::PostMessageA(hwnd, WM_RBUTTONUP, 0, MAKELPARAM(3, 3));
        });
        EXPECT_EQ(seen, 12);
    });
}

TEST(DesktopInputToolDialogs, TheDialogsOfTheMainWindowAreCentredOnItsClientArea)
{
    TestWindow mainWindow;
    mainWindow.Create();
    ::SetWindowPos(mainWindow.Handle(), nullptr, 40, 30, 900, 700, SWP_NOZORDER | SWP_NOACTIVATE);
    const std::function<std::unique_ptr<Brivox::CResourceDialogBase>(TestOwner&)> makers[] = {
        [](TestOwner& owner) { return std::make_unique<CSlideShowDialog>(owner); },
        [](TestOwner& owner) { return std::make_unique<CHistoryDialog>(owner); },
        [](TestOwner& owner) { return std::make_unique<CVersionDialog>(owner, L"", L""); },
        [](TestOwner& owner) { return std::make_unique<CImageInfoDialog>(owner); },
    };
    for (const auto& make : makers) {
        RunOnFreshThread([&] {
            TestOwner owner;
            owner.window = mainWindow.Handle();
            owner.settings.SetInt(L"HistoryMax", 0);
            const auto dialog = make(owner);
            RunDialog(*dialog, [&](HWND hwnd) {
                SCOPED_TRACE(testing::Message() << dialog->GetTemplateId());
                ToolDialogTest::ExpectPlacedOver(owner.window, hwnd, 2);
                Command(hwnd, IDCANCEL);
            });
        });
    }
}
