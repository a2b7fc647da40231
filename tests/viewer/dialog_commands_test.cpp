// The main window's commands that open the settings dialog and the tool dialogs, and the archive
// password prompt. The dialogs are driven by a window hook on the thread that runs them: it acts at
// the end of WM_INITDIALOG and then presses a button.
#include "support/wide_text.h"
#include "viewer/app_window.h"

#include "foundation/file_name.h"
#include "foundation/md5.h"
#include "foundation/temp_file.h"
#include "resources/env_dialog_ids.h"
#include "resources/image_tool_dialog_ids.h"
#include "resources/tool_dialog_ids.h"
#include "settings/config_dialog_ids.h"
#include "support/window_test_bed.h"
#include "ui/ctrl.h"
#include "ui/window.h"
#include "viewer/app_frame.h"
#include "viewer/command_table.h"
#include "viewer_fixtures.h"

#include <commctrl.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

using Brivox::String;

namespace {

using KanoruTest::Text;

std::wstring ItemText(HWND dialog, int id)
{
    return Text(Brivox::CWnd(dialog).GetDlgItem(id).GetText());
}

// Drives every top-level dialog that the calling thread opens while it lives: steps runs at the end
// of the dialog's WM_INITDIALOG, then the button is posted to it. One driver at a time.
class DialogDriver
{
public:
    explicit DialogDriver(int button, std::function<void(HWND)> steps = {})
        : m_button(button), m_steps(std::move(steps))
    {
        s_current = this;
        m_hook = ::SetWindowsHookExA(WH_CALLWNDPROCRET, &Hook, nullptr, ::GetCurrentThreadId());
    }
    ~DialogDriver()
    {
        ::UnhookWindowsHookEx(m_hook);
        s_current = nullptr;
    }
    DialogDriver(const DialogDriver&) = delete;
    DialogDriver& operator=(const DialogDriver&) = delete;

    int Seen() const { return m_seen; }
    HWND Owner() const { return m_owner; }

private:
    static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam)
    {
        const auto* call = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
        if (code == HC_ACTION && s_current && call->message == WM_INITDIALOG &&
            !(::GetWindowLongA(call->hwnd, GWL_STYLE) & WS_CHILD)) {
            ++s_current->m_seen;
            s_current->m_owner = ::GetWindow(call->hwnd, GW_OWNER);
            if (s_current->m_steps)
                s_current->m_steps(call->hwnd);
            ::PostMessageA(call->hwnd, WM_COMMAND, static_cast<WPARAM>(s_current->m_button), 0);
        }
        return ::CallNextHookEx(nullptr, code, wParam, lParam);
    }

    int m_button;
    std::function<void(HWND)> m_steps;
    HHOOK m_hook = nullptr;
    int m_seen = 0;
    HWND m_owner = nullptr;
    static inline DialogDriver* s_current = nullptr;
};

// A controller on its own settings files beside the test program, removed afterwards, showing the
// first of two pages.
class DialogCommandsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_folder.Create();
        m_pages = Text(m_folder.GetPath());
        ViewerFixtures::WriteTwoPages(m_pages);
        m_app = std::make_unique<CAppWindow>(BaseName);
        m_app->Start({m_pages.c_str()}, SW_SHOWNORMAL);
        m_hwnd = m_app->GetWindow().GetHandle();
    }
    void TearDown() override
    {
        ViewerFixtures::CloseAndWait(*m_app);
        m_app.reset();
        ViewerFixtures::RemoveSettingsFiles(BaseName);
    }

    static std::wstring SettingsFile(const wchar_t* suffix = L".cfg")
    {
        return Text(Brivox::CFileName::FromExecutableDirectory(String(BaseName) + suffix).ToString());
    }

    // The command carried out on the window's thread, its dialogs driven there; returns when it has
    // ended.
    void RunCommand(int command, int button, std::function<void(HWND)> steps = {})
    {
        m_app->RunOnWindowThread([&] {
            DialogDriver driver(button, std::move(steps));
            m_app->OnCommand(
                {m_hwnd, WM_COMMAND, static_cast<WPARAM>(CommandIdBase + command), 0, 0, nullptr});
            m_seen = driver.Seen();
            m_owner = driver.Owner();
        });
    }

    static constexpr const wchar_t* BaseName = L"viewer_test_dialogs";
    Brivox::CTempFolder m_folder{L"kanoru-dialogs-"};
    std::wstring m_pages;
    std::unique_ptr<CAppWindow> m_app;
    HWND m_hwnd = nullptr;
    // What the last command's dialogs showed.
    int m_seen = 0;
    HWND m_owner = nullptr;
};

bool IsChecked(HWND hwnd, int command)
{
    return (::GetMenuState(::GetMenu(hwnd), static_cast<UINT>(CommandIdBase + command), MF_BYCOMMAND) &
            MF_CHECKED) != 0;
}

std::wstring SavedSettingsText(const std::wstring& path)
{
    // UTF-16 after its byte-order mark.
    const std::string saved = ViewerFixtures::ReadAll(path);
    std::wstring text;
    for (std::size_t i = 2; i + 1 < saved.size(); i += 2)
        text += static_cast<wchar_t>(static_cast<unsigned char>(saved[i]) |
                                     static_cast<unsigned char>(saved[i + 1]) << 8);
    return text;
}

} // namespace

using DesktopInputDialogCommands = DialogCommandsTest;

TEST_F(DesktopInputDialogCommands, TheDialogCommandsAreAvailable)
{
    const HMENU menu = ::GetMenu(m_hwnd);
    for (const int command :
         {CmdDisplaySettings, CmdImageSettings, CmdDrawSettings, CmdListSettings, CmdGeneralSettings,
          CmdPluginSettings, CmdExternalViewerSettings, CmdSlideShow, CmdOpenHistory, CmdVersionInfo,
          CmdImageInfo, CmdEnvironmentSettings, CmdNetworkUpdate}) {
        EXPECT_TRUE(IsCommandAvailable(command)) << command;
        EXPECT_FALSE(::GetMenuState(menu, static_cast<UINT>(CommandIdBase + command), MF_BYCOMMAND) &
                     MF_GRAYED)
            << command;
    }
}

TEST_F(DesktopInputDialogCommands, EachSettingsCommandOpensTheDialogOnItsPageOverTheMainWindow)
{
    const struct
    {
        int command;
        int page;
    } cases[] = {
        {CmdDisplaySettings, 0}, {CmdImageSettings, 1},  {CmdDrawSettings, 2},           {CmdListSettings, 3},
        {CmdGeneralSettings, 4}, {CmdPluginSettings, 5}, {CmdExternalViewerSettings, 6},
    };
    for (const auto& c : cases) {
        int selected = -1;
        RunCommand(c.command, IDCANCEL, [&](HWND dialog) {
            selected =
                static_cast<int>(::SendMessageA(::GetDlgItem(dialog, IDC_CONFIG_TAB), TCM_GETCURSEL, 0, 0));
        });
        EXPECT_EQ(1, m_seen) << c.command;
        EXPECT_EQ(c.page, selected) << c.command;
        EXPECT_EQ(m_hwnd, m_owner) << c.command;
    }
}

TEST_F(DesktopInputDialogCommands, TheSettingsAreSavedAndAppliedAfterTheDialogEitherWay)
{
    for (const int button : {IDCANCEL, IDOK}) {
        const bool topMost = button == IDOK;
        // Changed in the store only: neither saved nor applied yet.
        m_app->RunOnWindowThread([&] { m_app->GetSettings().SetBool(L"WindowTopMost", topMost); });
        ::DeleteFileW(SettingsFile().c_str());
        RunCommand(CmdDisplaySettings, button);
        ASSERT_EQ(1, m_seen);
        const std::wstring saved = SavedSettingsText(SettingsFile());
        EXPECT_NE(std::wstring::npos,
                  saved.find(std::wstring(L"WindowTopMost = ") + (topMost ? L"true" : L"false") + L"\r\n"))
            << button;
        EXPECT_EQ(topMost, (::GetWindowLongA(m_hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0) << button;
        // The menu shows what was applied.
        EXPECT_EQ(topMost, IsChecked(m_hwnd, CmdTopMost)) << button;
    }
}

TEST_F(DesktopInputDialogCommands, TheSlideShowStartsOnlyAfterOkAndStopsWithoutTheDialog)
{
    RunCommand(CmdSlideShow, IDCANCEL);
    EXPECT_EQ(1, m_seen);
    EXPECT_FALSE(IsChecked(m_hwnd, CmdSlideShow));

    RunCommand(CmdSlideShow, IDOK,
               [](HWND dialog) { Brivox::CWnd(dialog).GetDlgItem(IDC_TOOL_EDIT).SetText(L"700"); });
    EXPECT_EQ(1, m_seen);
    EXPECT_EQ(m_hwnd, m_owner);
    EXPECT_TRUE(IsChecked(m_hwnd, CmdSlideShow));
    int frequency = 0;
    m_app->RunOnWindowThread([&] { frequency = m_app->GetSettings().GetInt(L"SlideShowFreq"); });
    EXPECT_EQ(700, frequency);

    // Running, the command stops it and asks nothing.
    RunCommand(CmdSlideShow, IDOK);
    EXPECT_EQ(0, m_seen);
    EXPECT_FALSE(IsChecked(m_hwnd, CmdSlideShow));
}

TEST_F(DesktopInputDialogCommands, TheHistoryCommandReopensTheChosenHistory)
{
    const std::wstring history = m_pages + L"history\\";
    int count = 0;
    m_app->RunOnWindowThread([&] {
        m_app->GetSettings().SetRaw(L"HistoryDir", history.c_str());
        m_app->GetDocument()->GoNext(1);
    });
    ASSERT_TRUE(KanoruTest::PumpUntil([&] {
        bool shown = false;
        m_app->RunOnWindowThread([&] {
            shown = m_app->GetDocument()->GetCurrentIndex() == 1 && m_app->GetDocument()->HasPageImage();
        });
        return shown;
    }));
    m_app->RunOnWindowThread([&] {
        // Closing the list writes it as history 00, with the second page current.
        m_app->GetDocument()->Close();
        count = m_app->GetDocument()->GetFileCount();
    });
    ASSERT_EQ(0, count);

    RunCommand(CmdOpenHistory, IDCANCEL);
    EXPECT_EQ(1, m_seen);
    m_app->RunOnWindowThread([&] { count = m_app->GetDocument()->GetFileCount(); });
    EXPECT_EQ(0, count);

    int rows = 0;
    RunCommand(CmdOpenHistory, IDOK, [&](HWND dialog) {
        rows =
            static_cast<int>(::SendMessageA(::GetDlgItem(dialog, IDC_HISTORY_LIST), LVM_GETITEMCOUNT, 0, 0));
    });
    EXPECT_EQ(1, rows);
    EXPECT_EQ(m_hwnd, m_owner);
    int current = -1;
    m_app->RunOnWindowThread([&] {
        count = m_app->GetDocument()->GetFileCount();
        current = m_app->GetDocument()->GetCurrentIndex();
    });
    EXPECT_EQ(2, count);
    EXPECT_EQ(1, current);
}

TEST_F(DesktopInputDialogCommands, TheVersionCommandShowsTheBuildAndTheReport)
{
    std::wstring program, report;
    RunCommand(CmdVersionInfo, IDOK, [&](HWND dialog) {
        program = ItemText(dialog, IDC_VERSION_PROGRAM);
        report = ItemText(dialog, IDC_TOOL_EDIT);
    });
    EXPECT_EQ(1, m_seen);
    EXPECT_EQ(L"Kanoru  " + Text(Brivox::GetBuildString()), program);
    EXPECT_EQ(0u, report.find(L"推定空きメモリ:\t約")) << report;
    EXPECT_NE(std::wstring::npos, report.find(L"キャッシュ枚数:\t")) << report;
}

TEST_F(DesktopInputDialogCommands, TheImageInformationCommandShowsTheFactsOfThePage)
{
    std::vector<std::wstring> lines;
    RunCommand(CmdImageInfo, IDOK, [&](HWND dialog) {
        for (const int id :
             {IDC_TOOL_EDIT, IDC_INFO_FILE_NAME, IDC_INFO_LIST_INDEX, IDC_INFO_FILE_SIZE, IDC_INFO_MODIFIED,
              IDC_INFO_IMAGE_KIND, IDC_INFO_IMAGE_SIZE, IDC_INFO_ZOOM, IDC_INFO_SELECTION,
              IDC_INFO_SELECTION_COLORS, IDC_INFO_SELECTION_AVERAGE, IDC_INFO_MD5})
            lines.push_back(ItemText(dialog, id));
    });
    ASSERT_EQ(1, m_seen);
    ASSERT_EQ(12u, lines.size());
    const std::string bytes = ViewerFixtures::ReadAll(m_pages + L"p1.png");
    EXPECT_EQ(m_pages, lines[0]);
    EXPECT_EQ(L"p1.png", lines[1]);
    EXPECT_EQ(L"1 / 2 (0)", lines[2]);
    EXPECT_EQ(std::to_wstring(bytes.size() >> 10) + L" (KB)", lines[3]);
    EXPECT_FALSE(lines[4].empty());
    EXPECT_EQ(L"600 x 400", lines[6]);
    EXPECT_EQ(L"%", lines[7].substr(lines[7].size() - 1));
    // The whole page without a selection: three bars of pure red, green and blue.
    EXPECT_EQ(L"(0, 0) - [600 x 400]", lines[8]);
    EXPECT_EQ(L"3", lines[9]);
    EXPECT_EQ(L"R, G, B = 85, 85, 85 (#rrggbb = #555555)", lines[10]);
    EXPECT_EQ(Text(Brivox::Md5HexOfBytes(std::vector<unsigned char>(bytes.begin(), bytes.end()))), lines[11]);
}

// The password prompt on a loader's thread: the mask comes from the main window's snapshot, and a
// new one is stored by the main window's thread, never by the prompt's.
TEST_F(DesktopInputDialogCommands, ThePasswordPromptOnAnotherThreadHandsTheMaskToTheWindowThread)
{
    const struct
    {
        int button;
        bool answered;
        bool storedMask;
    } cases[] = {
        {IDOK, true, false},
        {IDCANCEL, false, true},
    };
    for (const auto& c : cases) {
        String password = L"kept";
        bool answered = !c.answered;
        bool maskedAtFirst = false;
        HWND owner = reinterpret_cast<HWND>(1);
        bool storedWhileBusy = false;
        // The store and the snapshot start from a masked prompt.
        m_app->RunOnWindowThread([&] { m_app->HandOverArcPassMask(true); });
        std::thread loader([&] {
            DialogDriver driver(c.button, [&](HWND dialog) {
                owner = ::GetWindow(dialog, GW_OWNER);
                const Brivox::CWnd window(dialog);
                maskedAtFirst =
                    (::GetWindowLongA(::GetDlgItem(dialog, IDC_TOOL_EDIT), GWL_STYLE) & ES_PASSWORD) != 0;
                window.GetDlgItem(IDC_TOOL_EDIT).SetText(L"秘密");
                ::SendMessageA(::GetDlgItem(dialog, IDC_PASS_MASK), BM_CLICK, 0, 0);
            });
            answered = m_app->QueryPassword(L"a.zip", password, 1);
        });
        // The window's thread is kept busy until the prompt has ended: the store is untouched
        // meanwhile.
        m_app->RunOnWindowThread([&] {
            loader.join();
            storedWhileBusy = m_app->GetSettings().GetBool(L"ArcPassMask");
        });
        bool stored = !c.storedMask;
        m_app->RunOnWindowThread([&] { stored = m_app->GetSettings().GetBool(L"ArcPassMask"); });
        EXPECT_EQ(c.answered, answered) << c.button;
        EXPECT_EQ(c.answered ? L"秘密" : L"kept", Text(password)) << c.button;
        EXPECT_TRUE(maskedAtFirst) << c.button;
        EXPECT_EQ(nullptr, owner) << c.button;
        EXPECT_TRUE(storedWhileBusy) << c.button;
        EXPECT_EQ(c.storedMask, stored) << c.button;
        EXPECT_EQ(c.storedMask, m_app->GetArcPassMask()) << c.button;
    }
}

TEST_F(DesktopInputDialogCommands, ThePasswordPromptOnTheWindowThreadIsModalToTheMainWindow)
{
    bool answered = false;
    String password;
    HWND owner = nullptr;
    m_app->RunOnWindowThread([&] {
        DialogDriver driver(IDOK, [&](HWND dialog) {
            owner = ::GetWindow(dialog, GW_OWNER);
            Brivox::CWnd(dialog).GetDlgItem(IDC_TOOL_EDIT).SetText(L"pw");
            ::SendMessageA(::GetDlgItem(dialog, IDC_PASS_MASK), BM_CLICK, 0, 0);
        });
        answered = m_app->QueryPassword(L"a.zip", password, 1);
        EXPECT_FALSE(m_app->GetSettings().GetBool(L"ArcPassMask"));
    });
    EXPECT_TRUE(answered);
    EXPECT_EQ(L"pw", Text(password));
    EXPECT_EQ(m_hwnd, owner);
}

// ---- The image tool dialogs

namespace {

struct PageFacts
{
    Brivox::CSize size;
    COLORREF average = 0;
    bool previewOpen = true;
};

PageFacts ReadPage(CAppWindow& app)
{
    PageFacts facts;
    app.RunOnWindowThread([&] {
        CDocument& document = *app.GetDocument();
        facts.size = document.GetPageSize();
        facts.previewOpen = document.IsPreviewOpen();
        if (facts.size.cx > 0)
            facts.average = document.GetAverageColor({});
    });
    return facts;
}

} // namespace

TEST_F(DesktopInputDialogCommands, EachImageToolCommandOpensItsDialogOverTheMainWindowAndCancelLeavesThePage)
{
    const PageFacts before = ReadPage(*m_app);
    ASSERT_EQ((Brivox::CSize{600, 400}), before.size);
    const struct
    {
        int command;
        int control; // one that only that dialog has
    } cases[] = {
        {CmdRotateByAngle, IDC_TOOL_TRACK},
        {CmdResize, IDC_RESIZE_KEEP_ASPECT},
        {CmdLevels, IDC_LEVEL_CSV},
        {CmdGamma, IDC_TOOL_GRAPH},
        {CmdBrightnessContrast, IDC_TOOL_TRACK2},
        {CmdMosaic, IDC_MOSAIC_UPDOWN},
        {CmdGaussianBlur, IDC_TOOL_REFLECT},
        {CmdUnsharpMask, IDC_TOOL_REFLECT},
        {CmdApplyAlpha, IDC_ALPHA_SWATCH},
    };
    for (const auto& c : cases) {
        EXPECT_TRUE(IsCommandAvailable(c.command)) << c.command;
        bool hasControl = false;
        RunCommand(c.command, IDCANCEL, [&](HWND dialog) {
            hasControl = ::GetDlgItem(dialog, c.control) != nullptr;
            // A preview made and then thrown away.
            if (c.command == CmdBrightnessContrast) {
                const HWND track = ::GetDlgItem(dialog, IDC_TOOL_TRACK);
                ::SendMessageA(track, TBM_SETPOS, TRUE, 100);
                ::SendMessageA(dialog, WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, 100),
                               reinterpret_cast<LPARAM>(track));
            }
            if (c.command == CmdRotateByAngle)
                Brivox::CWnd(dialog).GetDlgItem(IDC_TOOL_VALUE).SetText(L"30");
        });
        EXPECT_EQ(1, m_seen) << c.command;
        EXPECT_EQ(m_hwnd, m_owner) << c.command;
        EXPECT_TRUE(hasControl) << c.command;
        const PageFacts after = ReadPage(*m_app);
        EXPECT_FALSE(after.previewOpen) << c.command;
        EXPECT_EQ(before.size, after.size) << c.command;
        EXPECT_EQ(before.average, after.average) << c.command;
    }
}

TEST_F(DesktopInputDialogCommands, RotationOkTurnsThePageByTheTypedAngle)
{
    RunCommand(CmdRotateByAngle, IDOK,
               [](HWND dialog) { Brivox::CWnd(dialog).GetDlgItem(IDC_TOOL_VALUE).SetText(L"90"); });
    ASSERT_EQ(1, m_seen);
    const PageFacts after = ReadPage(*m_app);
    EXPECT_FALSE(after.previewOpen);
    EXPECT_EQ((Brivox::CSize{400, 600}), after.size);
}

TEST_F(DesktopInputDialogCommands, ResizeOkResizesThePageAndKeepsTheAspectChoice)
{
    RunCommand(CmdResize, IDOK, [](HWND dialog) {
        // Keep aspect is on by default: the height follows.
        Brivox::CWnd(dialog).GetDlgItem(IDC_RESIZE_WIDTH).SetText(L"300");
    });
    ASSERT_EQ(1, m_seen);
    EXPECT_EQ((Brivox::CSize{300, 200}), ReadPage(*m_app).size);

    RunCommand(CmdResize, IDOK, [](HWND dialog) {
        ::SendMessageA(::GetDlgItem(dialog, IDC_RESIZE_KEEP_ASPECT), BM_CLICK, 0, 0);
        Brivox::CWnd(dialog).GetDlgItem(IDC_RESIZE_WIDTH).SetText(L"50");
        Brivox::CWnd(dialog).GetDlgItem(IDC_RESIZE_HEIGHT).SetText(L"70");
    });
    EXPECT_EQ((Brivox::CSize{50, 70}), ReadPage(*m_app).size);
    bool keep = true;
    m_app->RunOnWindowThread([&] { keep = m_app->GetSettings().GetBool(L"StretchKeepRate"); });
    EXPECT_FALSE(keep);

    // Cancel changes neither the page nor the choice.
    RunCommand(CmdResize, IDCANCEL, [](HWND dialog) {
        ::SendMessageA(::GetDlgItem(dialog, IDC_RESIZE_KEEP_ASPECT), BM_CLICK, 0, 0);
        Brivox::CWnd(dialog).GetDlgItem(IDC_RESIZE_WIDTH).SetText(L"10");
    });
    EXPECT_EQ((Brivox::CSize{50, 70}), ReadPage(*m_app).size);
    m_app->RunOnWindowThread([&] { keep = m_app->GetSettings().GetBool(L"StretchKeepRate"); });
    EXPECT_FALSE(keep);
}

TEST_F(DesktopInputDialogCommands, AFilterDialogCommandSwitchesItsFilterOnOnlyOnOkAndOffWithoutADialog)
{
    const struct
    {
        int command;
        const wchar_t* key;
    } cases[] = {
        {CmdFilterLevels, L"FilterLevelRev"},       {CmdFilterGamma, L"FilterGammaRev"},
        {CmdFilterBrightnessContrast, L"FilterBC"}, {CmdFilterGaussianBlur, L"FilterGauss"},
        {CmdFilterUnsharpMask, L"FilterUnsharp"},   {CmdFilterApplyAlpha, L"FilterAlpha"},
    };
    m_app->RunOnWindowThread([&] {
        m_app->GetSettings().SetBool(L"Filter", true);
        m_app->UpdateMenuState();
    });
    const auto filterOn = [&](const wchar_t* key) {
        bool on = false;
        m_app->RunOnWindowThread([&] { on = m_app->GetSettings().GetBool(key); });
        return on;
    };
    for (const auto& c : cases) {
        RunCommand(c.command, IDCANCEL);
        EXPECT_EQ(1, m_seen) << c.command;
        EXPECT_FALSE(filterOn(c.key)) << c.command;

        RunCommand(c.command, IDOK);
        EXPECT_EQ(1, m_seen) << c.command;
        EXPECT_TRUE(filterOn(c.key)) << c.command;
        EXPECT_TRUE(IsChecked(m_hwnd, c.command)) << c.command;
        EXPECT_FALSE(ReadPage(*m_app).previewOpen) << c.command;

        RunCommand(c.command, IDOK);
        EXPECT_EQ(0, m_seen) << c.command;
        EXPECT_FALSE(filterOn(c.key)) << c.command;
        EXPECT_FALSE(IsChecked(m_hwnd, c.command)) << c.command;
    }
}

// The association dialog over the main window: whichever way it closes, the settings are saved and
// applied; the registrar is not started while its box stays unticked.
TEST_F(DesktopInputDialogCommands, TheAssociationCommandSavesAndAppliesTheSettingsEitherWay)
{
    for (const int button : {IDCANCEL, IDOK}) {
        const bool topMost = button == IDOK;
        m_app->RunOnWindowThread([&] {
            m_app->GetSettings().SetBool(L"WindowTopMost", topMost);
            m_app->GetSettings().SetRaw(L"EnvMenuName", L"Kanoruで開く");
        });
        ::DeleteFileW(SettingsFile().c_str());
        std::wstring caption;
        bool handOff = true;
        RunCommand(CmdEnvironmentSettings, button, [&](HWND dialog) {
            caption = KanoruTest::WindowText(dialog);
            handOff = ::IsDlgButtonChecked(dialog, IDC_ENV_ASSOCIATE) == BST_CHECKED;
            Brivox::CWnd(dialog).GetDlgItem(IDC_ENV_MENU_NAME).SetText(L"見る");
        });
        ASSERT_EQ(1, m_seen) << button;
        EXPECT_EQ(m_hwnd, m_owner) << button;
        EXPECT_EQ(L"環境設定", caption);
        EXPECT_FALSE(handOff);
        const std::wstring saved = SavedSettingsText(SettingsFile());
        EXPECT_NE(std::wstring::npos,
                  saved.find(std::wstring(L"WindowTopMost = ") + (topMost ? L"true" : L"false") + L"\r\n"))
            << button;
        EXPECT_NE(std::wstring::npos, saved.find(std::wstring(L"EnvMenuName = ") +
                                                 (button == IDOK ? L"見る" : L"Kanoruで開く") + L"\r\n"))
            << button;
        EXPECT_EQ(topMost, (::GetWindowLongA(m_hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0) << button;
    }
}
