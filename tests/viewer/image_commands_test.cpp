// The image, filter, clipboard and export commands: on the controller in-process, on Kanoru2.exe
// through posted ids, and the lines of the image information.
#include "viewer/app_window.h"

#include "formats/bmp_loader.h"
#include "formats/file_data.h"
#include "formats/png_loader.h"
#include "foundation/clipboard.h"
#include "foundation/file_name.h"
#include "foundation/temp_file.h"
#include "program_settings.h"
#include "support/clipboard_turn.h"
#include "support/wide_text.h"
#include "support/window_test_bed.h"
#include "ui/selection_rect.h"
#include "ui/window.h"
#include "viewer/command_table.h"
#include "viewer/image_info.h"
#include "viewer/key_config_ex.h"
#include "viewer/title.h"
#include "viewer_fixtures.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using Brivox::CPoint;
using Brivox::CRect;
using Brivox::CSize;
using Brivox::String;
using KanoruTest::PumpUntil;
using KanoruTest::Text;
using ViewerFixtures::Blue;
using ViewerFixtures::Red;

// ---- The image information

TEST(ImageInfoLines, EachLineShowsItsFact)
{
    SImageInfoFacts base;
    base.path = L"C:\\pics\\sub\\a.png";
    base.index = 2;
    base.count = 10;
    base.marked = 2;
    base.fileSize = 1023;
    base.time = L"2024/01/02 03:04:05";
    base.pageName = L"PNG";
    base.size = {600, 400};
    base.scale = 0.6667;
    base.selection = {10, 20, 40, 60};
    base.colours = 2;
    base.average = RGB(255, 0, 0);
    base.md5 = L"0123456789abcdef0123456789abcdef";
    const std::vector<String> lines = FormatImageInfoLines(base);
    const std::vector<std::wstring> expected = {
        L"C:\\pics\\sub\\",
        L"a.png",
        L"3 / 10 (2)",
        L"0 (KB)",
        L"2024/01/02 03:04:05",
        L"PNG",
        L"600 x 400",
        L"66.6%",
        L"(10, 20) - [30 x 40]",
        L"2",
        L"R, G, B = 255, 0, 0 (#rrggbb = #ff0000)",
        L"0123456789abcdef0123456789abcdef",
    };
    ASSERT_EQ(expected.size(), lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i)
        EXPECT_EQ(expected[i], Text(lines[i])) << i;

    const struct
    {
        std::size_t line;
        void (*change)(SImageInfoFacts&);
        const wchar_t* text;
    } cases[] = {
        {3, [](SImageInfoFacts& f) { f.fileSize = 1024; }, L"1 (KB)"},
        {3, [](SImageInfoFacts& f) { f.fileSize = 5u << 20; }, L"5120 (KB)"},
        // Cut to tenths of a percent, not rounded.
        {7, [](SImageInfoFacts& f) { f.scale = 0.33339; }, L"33.3%"},
        {7, [](SImageInfoFacts& f) { f.scale = 2.5; }, L"250.0%"},
        {10, [](SImageInfoFacts& f) { f.average = RGB(10, 171, 254); },
         L"R, G, B = 10, 171, 254 (#rrggbb = #0aabfe)"},
        {0, [](SImageInfoFacts& f) { f.path = L"a.png"; }, L""},
    };
    for (const auto& c : cases) {
        SImageInfoFacts facts = base;
        c.change(facts);
        EXPECT_EQ(c.text, Text(FormatImageInfoLines(facts)[c.line])) << c.text;
    }
}

namespace {

constexpr const wchar_t* BaseName = L"viewer_test_image_commands";

bool IsChecked(HMENU menu, int command)
{
    return (::GetMenuState(menu, static_cast<UINT>(CommandIdBase + command), MF_BYCOMMAND) & MF_CHECKED) != 0;
}

bool IsGreyed(HMENU menu, int command)
{
    return (::GetMenuState(menu, static_cast<UINT>(CommandIdBase + command), MF_BYCOMMAND) & MF_GRAYED) != 0;
}

CSize DecodedSize(const std::wstring& path)
{
    auto data = std::make_shared<Brivox::CExistFileData>(path.c_str());
    const bool png = path.size() > 4 && path.substr(path.size() - 4) == L".png";
    std::unique_ptr<Brivox::IImageLoader> loader;
    if (png)
        loader = std::make_unique<Brivox::CPngLoader>();
    else
        loader = std::make_unique<Brivox::CBmpLoader>();
    if (!loader->Open(data, true))
        return {-1, -1};
    return loader->GetSize();
}

// A controller on settings files of its own beside the test program, removed afterwards, showing
// a page of a red left half and a blue right half.
class ImageCommandsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_folder.Create();
        m_root = Text(m_folder.GetPath());
        m_pages = m_root + L"pages\\";
        ::CreateDirectoryW(m_pages.c_str(), nullptr);
        ViewerFixtures::WriteBars(m_pages + L"halves.png", 600, 400, {Red, Blue});
    }
    void TearDown() override
    {
        if (m_app) {
            ViewerFixtures::CloseAndWait(*m_app);
            m_app.reset();
        }
        ViewerFixtures::RemoveSettingsFiles(BaseName);
    }

    // The controller, its settings changed before it opens the pages.
    void Start(const std::function<void(Brivox::CConfig&)>& settings = {})
    {
        m_app = std::make_unique<CAppWindow>(BaseName);
        m_app->RunOnWindowThread([&] {
            Brivox::CConfig& config = m_app->GetSettings();
            config.SetInt(L"DrawStretchType", 3);
            config.SetBool(L"WindowPosRestore", false);
            config.SetRaw(L"Titlebar", L"$(imgw)x$(imgh)");
            if (settings)
                settings(config);
            m_app->ApplySettings();
        });
        m_app->Start({m_pages.c_str()}, SW_SHOWNORMAL);
        m_hwnd = m_app->GetWindow().GetHandle();
    }
    // Sent as the hot keys send it: carried out when this returns.
    void Send(int command) { ::SendMessageW(m_hwnd, WM_COMMAND, CommandIdBase + command, 0); }
    template <typename Job> void OnWindow(Job job) { m_app->RunOnWindowThread(job); }

    CSize PageSize()
    {
        CSize size{0, 0};
        OnWindow([&] { size = m_app->GetDocument()->GetPageSize(); });
        return size;
    }
    CRect Selection()
    {
        CRect rect;
        OnWindow([&] { rect = m_app->GetSelectionRect(); });
        return rect;
    }
    Brivox::CSelectionRect::State SelectionState()
    {
        auto state = Brivox::CSelectionRect::None;
        OnWindow([&] { state = m_app->GetSelection().GetState(); });
        return state;
    }
    // A new selection: the old one cleared, then a drag of the left button in client coordinates,
    // fed to the window as messages with the cursor where each message says it is.
    void Drag(CPoint from, CPoint to)
    {
        Send(CmdClearSelection);
        const auto cursor = std::make_shared<CPoint>(from);
        OnWindow([&] { m_app->GetSelection().SetCursorSource([cursor](HWND) { return *cursor; }); });
        ::SendMessageW(m_hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(from.x, from.y));
        *cursor = to;
        ::SendMessageW(m_hwnd, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(to.x, to.y));
        ::SendMessageW(m_hwnd, WM_LBUTTONUP, 0, MAKELPARAM(to.x, to.y));
    }
    // Where the page is drawn in the view.
    CRect Drawn()
    {
        CRect drawn;
        OnWindow([&] { drawn = m_app->GetDocument()->GetLayout().DestinationRect(); });
        return drawn;
    }
    // A point of the view, given from the top-left corner of the drawn page.
    CPoint OnPage(int x, int y)
    {
        const CRect drawn = Drawn();
        return {drawn.left + x, drawn.top + y};
    }
    // The colour of the shown page at a fraction of its drawn width, on its middle row.
    COLORREF ShownPixel(double across)
    {
        const CRect drawn = Drawn();
        const auto shot = KanoruTest::CaptureClient(m_hwnd);
        if (!shot)
            return CLR_INVALID;
        return KanoruTest::PixelAt(*shot, drawn.left + static_cast<int>(drawn.Width() * across),
                                   (drawn.top + drawn.bottom) / 2);
    }
    bool WaitForShown(double across, COLORREF colour)
    {
        return PumpUntil([&] { return ShownPixel(across) == colour; });
    }

    // The command posted to the window's thread and the first dialog it shows there answered from
    // this thread: steps act on the dialog, then the button is pressed. Gives the dialog's caption
    // once the command has ended.
    std::wstring AnswerDialog(int command, int button, const std::function<void(HWND)>& steps = {})
    {
        ::PostMessageW(m_hwnd, WM_COMMAND, static_cast<WPARAM>(CommandIdBase + command), 0);
        const DWORD thread = ::GetWindowThreadProcessId(m_hwnd, nullptr);
        HWND dialog = nullptr;
        const auto findDialog = [&] {
            ::EnumThreadWindows(thread, &FindVisibleDialog, reinterpret_cast<LPARAM>(&dialog));
            return dialog != nullptr;
        };
        if (!PumpUntil(findDialog))
            return L"(no dialog)";
        const std::wstring caption = KanoruTest::WindowText(dialog);
        if (steps)
            steps(dialog);
        ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                       reinterpret_cast<LPARAM>(::GetDlgItem(dialog, button)));
        EXPECT_TRUE(PumpUntil([&] { return !::IsWindow(dialog); }));
        // The command has ended once the window's thread takes the next request.
        OnWindow([] {});
        return caption;
    }
    // The export command with its save dialog: the name typed into the file-name field and OK
    // pressed, or Cancel without a name.
    std::wstring Export(int command, const std::wstring& name)
    {
        if (name.empty())
            return AnswerDialog(command, IDCANCEL);
        return AnswerDialog(command, IDOK,
                            [&](HWND dialog) { ::SetDlgItemTextW(dialog, FileNameField, name.c_str()); });
    }

    // Gives the first visible dialog box of the thread enumerated.
    static BOOL CALLBACK FindVisibleDialog(HWND hwnd, LPARAM found)
    {
        wchar_t className[16] = {};
        ::GetClassNameW(hwnd, className, 16);
        if (std::wstring(className) != L"#32770" || !::IsWindowVisible(hwnd))
            return TRUE;
        *reinterpret_cast<HWND*>(found) = hwnd;
        return FALSE;
    }

    // The file-name field of the system's save dialog.
    static constexpr int FileNameField = 1148;

    Brivox::CTempFolder m_folder{L"kanoru-image-"};
    std::wstring m_root;
    std::wstring m_pages;
    std::unique_ptr<CAppWindow> m_app;
    HWND m_hwnd = nullptr;
};

} // namespace

using DesktopInputImageCommands = ImageCommandsTest;

TEST_F(DesktopInputImageCommands, FiltersChangeTheShownPageAndTheOneOffOperationsItsPixels)
{
    Start([](Brivox::CConfig& config) { config.SetBool(L"Filter", true); });
    ASSERT_TRUE(WaitForShown(0.25, Red));
    ASSERT_TRUE(WaitForShown(0.75, Blue));

    Send(CmdFilterFlipHorizontal);
    EXPECT_TRUE(WaitForShown(0.25, Blue));
    EXPECT_TRUE(WaitForShown(0.75, Red));
    Send(CmdFilterFlipHorizontal);
    EXPECT_TRUE(WaitForShown(0.25, Red));

    Send(CmdFilterInvertColors);
    EXPECT_TRUE(WaitForShown(0.25, RGB(0, 255, 255)));
    EXPECT_TRUE(WaitForShown(0.75, RGB(255, 255, 0)));
    // With the master switch off the filters stay chosen but the page shows unfiltered.
    Send(CmdToggleFilters);
    EXPECT_TRUE(WaitForShown(0.25, Red));
    Send(CmdToggleFilters);
    EXPECT_TRUE(WaitForShown(0.25, RGB(0, 255, 255)));
    Send(CmdFilterInvertColors);
    EXPECT_TRUE(WaitForShown(0.25, Red));

    Send(CmdFlipHorizontal);
    EXPECT_TRUE(WaitForShown(0.25, Blue));
    EXPECT_TRUE(WaitForShown(0.75, Red));
    Send(CmdRotate180);
    EXPECT_TRUE(WaitForShown(0.25, Red));
    EXPECT_TRUE(WaitForShown(0.75, Blue));
    Send(CmdRotateClockwise);
    EXPECT_EQ((CSize{400, 600}), PageSize());
    // The one-off changes live in the composed page: a reload shows the file again.
    Send(CmdReload);
    EXPECT_EQ((CSize{600, 400}), PageSize());
    EXPECT_TRUE(WaitForShown(0.25, Red));

    // A one-off filter on the selection only.
    const CRect drawn = Drawn();
    Drag({drawn.left + 10, drawn.top + 10}, {drawn.left + 60, drawn.top + 50});
    ASSERT_FALSE(Selection().IsEmpty());
    Send(CmdInvertColors);
    COLORREF inside = 0;
    COLORREF outside = 0;
    OnWindow([&] {
        CDocument& document = *m_app->GetDocument();
        inside = document.GetAverageColor(m_app->GetSelectionRect());
        outside =
            document.GetAverageColor({drawn.left + drawn.Width() / 2, drawn.top, drawn.right, drawn.bottom});
    });
    EXPECT_EQ(RGB(0, 255, 255), inside);
    EXPECT_EQ(Blue, outside);
}

TEST_F(DesktopInputImageCommands, FilterCommandsToggleTheirKeysAndTheMenuFollows)
{
    Start([](Brivox::CConfig& config) {
        config.SetBool(L"Filter", true);
        config.SetInt(L"FilterSharp", 3);
    });
    const HMENU menu = ::GetMenu(m_hwnd);
    const auto value = [&](const wchar_t* key) {
        int result = -1;
        OnWindow([&] { result = m_app->GetSettings().GetInt(key); });
        return result;
    };
    EXPECT_TRUE(IsChecked(menu, CmdFilterBlurStrong));
    Send(CmdFilterBlur);
    EXPECT_EQ(1, value(L"FilterSharp"));
    EXPECT_TRUE(IsChecked(menu, CmdFilterBlur));
    EXPECT_FALSE(IsChecked(menu, CmdFilterBlurStrong));
    Send(CmdFilterBlur);
    EXPECT_EQ(0, value(L"FilterSharp"));
    EXPECT_FALSE(IsChecked(menu, CmdFilterBlur));

    Send(CmdFilterRotateClockwise);
    Send(CmdFilterRotateCounterClockwise);
    EXPECT_EQ(2, value(L"FilterRot2"));
    EXPECT_TRUE(IsChecked(menu, CmdFilterRotateCounterClockwise));
    EXPECT_FALSE(IsChecked(menu, CmdFilterRotateClockwise));
    // The filter chain took the new keys for the page composed after the command.
    bool filtered = false;
    CSize size{0, 0};
    OnWindow([&] {
        filtered = m_app->GetDocument()->IsPageFiltered();
        size = m_app->GetDocument()->GetPageSize();
    });
    EXPECT_TRUE(filtered);
    EXPECT_EQ((CSize{400, 600}), size);

    Send(CmdFilterMedian);
    EXPECT_TRUE(IsChecked(menu, CmdFilterMedian));

    // "Filter" off greys the 19 filter items, keeps their checks, leaves its own item enabled.
    Send(CmdToggleFilters);
    EXPECT_FALSE(IsChecked(menu, CmdToggleFilters));
    EXPECT_FALSE(IsGreyed(menu, CmdToggleFilters));
    EXPECT_TRUE(IsChecked(menu, CmdFilterRotateCounterClockwise));
    EXPECT_TRUE(IsChecked(menu, CmdFilterMedian));
    for (const int command : {CmdFilterFlipHorizontal, CmdFilterMedian, CmdFilterBlur, CmdFilterLevels,
                              CmdFilterApplyAlpha, CmdFilterInvertColors})
        EXPECT_TRUE(IsGreyed(menu, command)) << command;
    OnWindow([&] { size = m_app->GetDocument()->GetPageSize(); });
    EXPECT_EQ((CSize{600, 400}), size);

    Send(CmdToggleFilters);
    EXPECT_TRUE(IsChecked(menu, CmdToggleFilters));
    for (const int command : {CmdFilterFlipHorizontal, CmdFilterMedian, CmdFilterBlur, CmdFilterLevels,
                              CmdFilterApplyAlpha, CmdFilterInvertColors})
        EXPECT_FALSE(IsGreyed(menu, command)) << command;
}

TEST_F(DesktopInputImageCommands, ASecondWriteOfTheKeyTextsChangesNoItem)
{
    Start();
    int writes = -1;
    OnWindow([&] {
        // The menu as the key texts see it, counting what they write.
        struct SCountingMenu
        {
            Brivox::CMenuHandle menu;
            int writes = 0;
            String GetItemText(int id) const { return menu.GetItemText(id); }
            void SetItemText(int id, const String& text)
            {
                ++writes;
                menu.SetItemText(id, text);
            }
        } counting{Brivox::CMenuHandle(::GetMenu(m_hwnd))};
        CKeyConfigEx& keys = *m_app->GetKeyConfig();
        keys.GetCommands().UpdateMenuTexts(counting, keys.GetBindings());
        writes = counting.writes;
    });
    EXPECT_EQ(0, writes);
}

TEST_F(DesktopInputImageCommands, CropNeedsADraggedSelectionAndTakesItsPixels)
{
    Start();
    const std::wstring message = L"切り抜きの範囲が指定されていません。\r\nドラッグで範囲を指定してください";
    {
        KanoruTest::MessageBoxAnswerer boxes;
        Send(CmdCrop);
        // A click selects nothing.
        Drag(OnPage(30, 30), OnPage(30, 30));
        Send(CmdCrop);
        // Nor does a line one pixel wide.
        Drag(OnPage(30, 30), OnPage(31, 230));
        EXPECT_EQ(Brivox::CSelectionRect::Selected, SelectionState());
        Send(CmdCrop);
        const auto shown = boxes.Boxes();
        ASSERT_EQ(3u, shown.size());
        for (const auto& box : shown) {
            EXPECT_EQ(L"エラー", Text(box.caption));
            EXPECT_EQ(message, Text(box.text));
            EXPECT_EQ(m_hwnd, box.owner);
            EXPECT_EQ(static_cast<UINT>(MB_OK), box.style & 0xF);
        }
    }
    EXPECT_EQ((CSize{600, 400}), PageSize());

    // Dragged inside out, the selection is that of the mirrored drag.
    Drag(OnPage(250, 140), OnPage(50, 40));
    const CRect selection = Selection();
    const CPoint corner = OnPage(50, 40);
    EXPECT_EQ((CRect{corner.x, corner.y, corner.x + 200, corner.y + 100}), selection);
    CRect mapped;
    OnWindow([&] { mapped = m_app->GetDocument()->ViewRectToImage(selection); });
    Send(CmdCrop);
    EXPECT_EQ((CSize{mapped.Width(), mapped.Height()}), PageSize());
    EXPECT_EQ(Brivox::CSelectionRect::None, SelectionState());
    EXPECT_TRUE(PumpUntil([&] {
        return KanoruTest::WindowText(m_hwnd) ==
               std::to_wstring(mapped.Width()) + L"x" + std::to_wstring(mapped.Height());
    })) << KanoruTest::WindowText(m_hwnd);
}

TEST_F(DesktopInputImageCommands, CropWithoutAPageDoesNothing)
{
    Start();
    Drag(OnPage(50, 40), OnPage(250, 140));
    ASSERT_FALSE(Selection().IsEmpty());
    KanoruTest::MessageBoxAnswerer boxes;
    OnWindow([&] { m_app->GetDocument()->Close(); });
    Send(CmdCrop);
    EXPECT_TRUE(boxes.Boxes().empty());
    EXPECT_EQ((CSize{0, 0}), PageSize());
    // Not even the selection changes.
    EXPECT_EQ(Brivox::CSelectionRect::Selected, SelectionState());
}

namespace {

// A button of the system's input, at the cursor, or a move there in absolute screen coordinates.
void MouseInput(DWORD flags, POINT screen = {})
{
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    if (flags & MOUSEEVENTF_ABSOLUTE) {
        input.mi.dx = static_cast<LONG>((screen.x * 65536LL + 65535) / ::GetSystemMetrics(SM_CXSCREEN));
        input.mi.dy = static_cast<LONG>((screen.y * 65536LL + 65535) / ::GetSystemMetrics(SM_CYSCREEN));
    }
    ::SendInput(1, &input, sizeof(INPUT));
}

} // namespace

TEST_F(DesktopInputImageCommands, ADragThroughTheSystemsInputIsWhatCropKeeps)
{
    Start();
    ::SetWindowPos(m_hwnd, HWND_TOP, 10, 10, 0, 0, SWP_NOSIZE);
    ASSERT_TRUE(PumpUntil([&] {
        ::SetForegroundWindow(m_hwnd);
        return ::GetForegroundWindow() == m_hwnd;
    }));
    const auto moveTo = [&](POINT client, Brivox::CSelectionRect::State state, const CRect& rect) {
        POINT screen = client;
        ::ClientToScreen(m_hwnd, &screen);
        // The window reads the cursor when it sees the move; a move the window missed is sent again.
        return PumpUntil([&] {
            POINT cursor{};
            if (!::GetCursorPos(&cursor) || cursor.x != screen.x || cursor.y != screen.y)
                MouseInput(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, screen);
            return SelectionState() == state && (rect.IsEmpty() || Selection() == rect);
        });
    };
    const CPoint from = OnPage(60, 50);
    ASSERT_TRUE(moveTo({from.x, from.y}, Brivox::CSelectionRect::None, {}));
    MouseInput(MOUSEEVENTF_LEFTDOWN);
    ASSERT_TRUE(PumpUntil([&] { return SelectionState() == Brivox::CSelectionRect::Drawing; }));
    const CRect expected{from.x, from.y, from.x + 200, from.y + 120};
    ASSERT_TRUE(moveTo({expected.right, expected.bottom}, Brivox::CSelectionRect::Drawing, expected));
    MouseInput(MOUSEEVENTF_LEFTUP);
    ASSERT_TRUE(PumpUntil([&] { return SelectionState() == Brivox::CSelectionRect::Selected; }));
    EXPECT_EQ(expected, Selection());
    CRect mapped;
    OnWindow([&] { mapped = m_app->GetDocument()->ViewRectToImage(expected); });
    Send(CmdCrop);
    EXPECT_EQ((CSize{mapped.Width(), mapped.Height()}), PageSize());
    EXPECT_EQ(Brivox::CSelectionRect::None, SelectionState());
    EXPECT_TRUE(PumpUntil([&] {
        return KanoruTest::WindowText(m_hwnd) ==
               std::to_wstring(mapped.Width()) + L"x" + std::to_wstring(mapped.Height());
    })) << KanoruTest::WindowText(m_hwnd);
}

TEST_F(DesktopInputImageCommands, ExportsWriteTheSelectionOrThePageWhereTheUserSays)
{
    const std::wstring out = m_root + L"out\\";
    ::CreateDirectoryW(out.c_str(), nullptr);
    Start([](Brivox::CConfig& config) { config.SetBool(L"FileAddWithSave", false); });
    const auto currentDir = [&] {
        String folder;
        OnWindow([&] { folder = m_app->GetSettings().GetRaw(L"CurrentDir"); });
        return Text(folder);
    };
    const std::wstring selectedTitle = L"選択範囲をファイルに書き出すぞダイアログ";
    const std::wstring wholeTitle = L"ファイルに書き出すぞダイアログ";

    // Cancel writes nothing and leaves the folder.
    const std::wstring before = currentDir();
    EXPECT_EQ(wholeTitle, Export(CmdExportPng, L""));
    EXPECT_EQ(before, currentDir());

    // Inside out, the selection is exported as the mirrored drag's.
    Drag(OnPage(250, 140), OnPage(50, 40));
    CRect mapped;
    OnWindow([&] { mapped = m_app->GetDocument()->ViewRectToImage(m_app->GetSelectionRect()); });
    ASSERT_FALSE(mapped.IsEmpty());
    EXPECT_EQ(selectedTitle, Export(CmdExportPng, out + L"part.png"));
    EXPECT_EQ((CSize{mapped.Width(), mapped.Height()}), DecodedSize(out + L"part.png"));
    EXPECT_TRUE(Brivox::CFileName::AppendSeparator(currentDir().c_str()).EqualsIgnoreCase(out.c_str()))
        << currentDir();
    EXPECT_EQ(selectedTitle, Export(CmdExportBmp, out + L"part.bmp"));
    EXPECT_EQ((CSize{mapped.Width(), mapped.Height()}), DecodedSize(out + L"part.bmp"));

    // A selection one pixel wide counts as none.
    Drag(OnPage(30, 30), OnPage(31, 230));
    ASSERT_EQ(Brivox::CSelectionRect::Selected, SelectionState());
    EXPECT_EQ(wholeTitle, Export(CmdExportBmp, out + L"whole.bmp"));
    EXPECT_EQ((CSize{600, 400}), DecodedSize(out + L"whole.bmp"));
    Send(CmdClearSelection);
    EXPECT_EQ(Brivox::CSelectionRect::None, SelectionState());
    EXPECT_EQ(wholeTitle, Export(CmdExportPng, out + L"whole"));
    // The default extension completes a name without one.
    EXPECT_EQ((CSize{600, 400}), DecodedSize(out + L"whole.png"));
    // The document's list stays as it was.
    int count = 0;
    OnWindow([&] { count = m_app->GetDocument()->GetFileCount(); });
    EXPECT_EQ(1, count);
}

TEST_F(DesktopInputImageCommands, FillPaintsTheSelectionWithTheChosenColour)
{
    // The colour dialog starts on the stored colour; OK at once chooses it.
    Start([](Brivox::CConfig& config) { config.SetString(L"ChooseColor", L"0,255,0 "); });
    const CRect drawn = Drawn();
    Drag(OnPage(10, 10), OnPage(60, 50));
    const auto average = [&](const CRect& view) {
        COLORREF colour = 0;
        OnWindow([&] { colour = m_app->GetDocument()->GetAverageColor(view); });
        return colour;
    };
    const CRect rest{drawn.left + drawn.Width() / 2, drawn.top, drawn.right, drawn.bottom};
    AnswerDialog(CmdFill, IDCANCEL);
    EXPECT_EQ(Red, average(Selection()));
    AnswerDialog(CmdFill, IDOK);
    EXPECT_EQ(ViewerFixtures::Green, average(Selection()));
    EXPECT_EQ(Blue, average(rest));
}

TEST_F(DesktopInputImageCommands, CopyImageLeavesThePageOrTheSelectionOnTheClipboard)
{
    KanoruTest::ClipboardTurn turn;
    ASSERT_TRUE(turn.Take());
    Start();
    const auto clipboardSize = [] {
        CSize size{-1, -1};
        if (!::OpenClipboard(nullptr))
            return size;
        if (const HBITMAP bitmap = static_cast<HBITMAP>(::GetClipboardData(CF_BITMAP))) {
            BITMAP info{};
            if (::GetObjectW(bitmap, sizeof(info), &info))
                size = {info.bmWidth, info.bmHeight};
        }
        ::CloseClipboard();
        return size;
    };
    Send(CmdCopyImage);
    EXPECT_EQ((CSize{600, 400}), clipboardSize());
    Drag(OnPage(50, 40), OnPage(250, 140));
    CRect mapped;
    OnWindow([&] { mapped = m_app->GetDocument()->ViewRectToImage(m_app->GetSelectionRect()); });
    Send(CmdCopyImage);
    EXPECT_EQ((CSize{mapped.Width(), mapped.Height()}), clipboardSize());
    // The pasted bitmap becomes the page.
    Send(CmdPaste);
    EXPECT_EQ((CSize{mapped.Width(), mapped.Height()}), PageSize());
}

TEST(DesktopInputImageCommandsProgram, FilterTogglesThroughPostedIds)
{
    using ViewerFixtures::Holds;
    const struct
    {
        const char* start;
        std::vector<int> commands;
        std::vector<const char*> lines;
    } cases[] = {
        {"FilterSharp = 3\r\n", {CmdFilterBlur}, {"FilterSharp = 1"}},
        {"FilterSharp = 3\r\n", {CmdFilterBlur, CmdFilterBlur}, {"FilterSharp = 0"}},
        {"FilterRot1 = 0\r\n", {CmdFilterFlipHorizontal, CmdFilterRotate180}, {"FilterRot1 = 3"}},
        {"FilterGray = 1\r\n", {CmdFilterGrayscaleExact}, {"FilterGray = 2"}},
        {"Filter = true\r\nFilterNeg = false\r\n",
         {CmdToggleFilters, CmdFilterInvertColors},
         {"Filter = false", "FilterNeg = true"}},
        {"Filter = false\r\n", {CmdToggleFilters}, {"Filter = true"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.start);
        const std::string settings = ViewerFixtures::SettingsAfter(c.start, c.commands);
        for (const char* line : c.lines)
            EXPECT_TRUE(Holds(settings, line)) << line << "\n" << settings;
    }
}
