#include "settings_dialogs/config_dialog_test_support.h"

#include "settings/config_dialog_draw_page.h"
#include "settings/config_dialog_ids.h"
#include "settings/config_dialog_image_page.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

using namespace ConfigDialogTest;
using Brivox::CConfig;

namespace {

constexpr int GuiPage = 0;
constexpr int ImagePage = 1;
constexpr int DrawPage = 2;

bool Enabled(CConfigDialog& dialog, int page, int itemId)
{
    return PageItem(dialog, page, itemId).IsEnabled();
}

void SetSelection(const Brivox::CCtrl& edit, int start, int end)
{
    ::SendMessageA(edit.GetHandle(), EM_SETSEL, static_cast<WPARAM>(start), end);
}

} // namespace

TEST(DesktopInputConfigDialogGUIPage, TheCursorDelayAndNotOnLoadFollowTheirBoxesAtOnce)
{
    CConfig config = DefaultConfig();
    ASSERT_TRUE(config.GetBool(L"AutoCursorHide"));
    ASSERT_FALSE(config.GetBool(L"WindowPosRestore"));
    CConfigDialog dialog(config, nullptr, GuiPage);
    RunDialog(dialog, {[](CConfigDialog& d, HWND hwnd) {
                  EXPECT_TRUE(Enabled(d, GuiPage, IDC_GUI_CURSOR_HIDE_TIME));
                  EXPECT_FALSE(Enabled(d, GuiPage, IDC_GUI_POS_RESTORE_NOT_ON_LOAD));
                  Click(PageItem(d, GuiPage, IDC_GUI_CURSOR_HIDE));
                  EXPECT_FALSE(Enabled(d, GuiPage, IDC_GUI_CURSOR_HIDE_TIME));
                  Click(PageItem(d, GuiPage, IDC_GUI_POS_RESTORE));
                  EXPECT_TRUE(Enabled(d, GuiPage, IDC_GUI_POS_RESTORE_NOT_ON_LOAD));
                  Click(PageItem(d, GuiPage, IDC_GUI_CURSOR_HIDE));
                  EXPECT_TRUE(Enabled(d, GuiPage, IDC_GUI_CURSOR_HIDE_TIME));
                  PostToDialog(hwnd, IDCANCEL);
              }});
}

TEST(DesktopInputConfigDialogGUIPage, ATitleVariableReplacesTheSelectionOrGoesInAtTheCaret)
{
    CConfig config = DefaultConfig();
    config.SetRaw(L"Titlebar", L"ab-cd");
    CConfigDialog dialog(config, nullptr, GuiPage);
    auto postFull = [](CConfigDialog& d, int start, int end) {
        SetSelection(PageItem(d, GuiPage, IDC_GUI_TITLEBAR), start, end);
        ::PostMessageA(d.GetPage(GuiPage)->GetWindow().GetHandle(), WM_COMMAND, IDM_TITLE_FULL, 0);
    };
    RunDialog(dialog, {
                          [&](CConfigDialog& d, HWND) { postFull(d, 2, 3); },
                          [&](CConfigDialog& d, HWND) {
                              EXPECT_EQ(Text(PageItem(d, GuiPage, IDC_GUI_TITLEBAR)), L"ab$(full)cd");
                              postFull(d, 1, 1);
                          },
                          [&](CConfigDialog& d, HWND hwnd) {
                              EXPECT_EQ(Text(PageItem(d, GuiPage, IDC_GUI_TITLEBAR)), L"a$(full)b$(full)cd");
                              PostToDialog(hwnd, IDOK);
                          },
                      });
    EXPECT_EQ(std::wstring(config.GetRaw(L"Titlebar").CStr()), L"a$(full)b$(full)cd");
}

TEST(DesktopInputConfigDialogGUIPage, EveryTitleMenuItemInsertsItsVariable)
{
    const struct
    {
        int itemId;
        const wchar_t* variable;
    } items[] = {
        {IDM_TITLE_DIR, L"$(dir)"},           {IDM_TITLE_FILE, L"$(file)"},
        {IDM_TITLE_EXT, L"$(ext)"},           {IDM_TITLE_NAME, L"$(name)"},
        {IDM_TITLE_FULL, L"$(full)"},         {IDM_TITLE_INDEX, L"$(index)"},
        {IDM_TITLE_COUNT, L"$(count)"},       {IDM_TITLE_MARKS, L"$(marks)"},
        {IDM_TITLE_IMGW, L"$(imgw)"},         {IDM_TITLE_IMGH, L"$(imgh)"},
        {IDM_TITLE_FSIZE, L"$(fsize)"},       {IDM_TITLE_IMGTYPE, L"$(imgtype)"},
        {IDM_TITLE_VIEWRATE, L"$(viewrate)"}, {IDM_TITLE_SELX, L"$(selx)"},
        {IDM_TITLE_SELY, L"$(sely)"},         {IDM_TITLE_SELW, L"$(selw)"},
        {IDM_TITLE_SELH, L"$(selh)"},         {IDM_TITLE_BUILD, L"$(build)"},
    };
    CConfig config = DefaultConfig();
    config.SetRaw(L"Titlebar", L"");
    CConfigDialog dialog(config, nullptr, GuiPage);
    std::wstring expected;
    RunDialog(dialog, {
                          [&](CConfigDialog& d, HWND) {
                              const HWND page = d.GetPage(GuiPage)->GetWindow().GetHandle();
                              for (const auto& item : items) {
                                  ::PostMessageA(page, WM_COMMAND, static_cast<WPARAM>(item.itemId), 0);
                                  expected += item.variable;
                              }
                          },
                          [&](CConfigDialog& d, HWND hwnd) {
                              EXPECT_EQ(Text(PageItem(d, GuiPage, IDC_GUI_TITLEBAR)), expected);
                              PostToDialog(hwnd, IDCANCEL);
                          },
                      });
}

TEST(DesktopInputConfigDialogGUIPage, TheShapeRadioAndNegativePaddingsRoundTrip)
{
    CConfig config = DefaultConfig();
    config.SetInt(L"MagnifierShape", 1);
    CConfigDialog dialog(config, nullptr, GuiPage);
    RunDialog(dialog, {[](CConfigDialog& d, HWND hwnd) {
                  EXPECT_TRUE(PageItem(d, GuiPage, IDC_GUI_SHAPE_ELLIPSE).IsChecked());
                  EXPECT_FALSE(PageItem(d, GuiPage, IDC_GUI_SHAPE_RECTANGLE).IsChecked());
                  Click(PageItem(d, GuiPage, IDC_GUI_SHAPE_RECTANGLE));
                  // The paddings may be typed negative.
                  for (const int id : {IDC_GUI_PADDING_V, IDC_GUI_PADDING_H}) {
                      EXPECT_FALSE(::GetWindowLongA(PageItem(d, GuiPage, id).GetHandle(), GWL_STYLE) &
                                   ES_NUMBER);
                      PageItem(d, GuiPage, id).SetText(L"-16");
                  }
                  PostToDialog(hwnd, IDOK);
              }});
    EXPECT_EQ(config.GetInt(L"MagnifierShape"), 0);
    EXPECT_EQ(config.GetInt(L"PaddingV"), -16);
    EXPECT_EQ(config.GetInt(L"PaddingH"), -16);
}

TEST(PageMegabytes, IsTheRoundedSizeOfA32BitPageForAnyTwoInts)
{
    const struct
    {
        int width;
        int height;
        std::int64_t megabytes;
    } cases[] = {
        {1024, 1536, 6},
        {3200, 2400, 29},
        {0, 1536, 0},
        {512, 256, 1},         // exactly half a megabyte rounds up
        {65535, 65535, 16384}, // beyond 32 bits
        {INT_MIN, INT_MIN, std::int64_t{1} << 44},
        {-1024, 1536, -5}, // truncated toward zero
    };
    for (const auto& c : cases)
        EXPECT_EQ(PageMegabytes(c.width, c.height), c.megabytes) << c.width << " x " << c.height;
}

TEST(DesktopInputConfigDialogImagePage, TheEstimatesShowAfterLoadAndFollowTheEdits)
{
    CConfig config = DefaultConfig();
    CConfigDialog dialog(config, nullptr, ImagePage);
    RunDialog(dialog, {[](CConfigDialog& d, HWND hwnd) {
                  EXPECT_EQ(Text(PageItem(d, ImagePage, IDC_IMG_CACHE_ESTIMATE)), L"(約6MB/枚)");
                  EXPECT_EQ(Text(PageItem(d, ImagePage, IDC_IMG_REDUCE_ESTIMATE)), L"(約29MB/枚)");
                  PageItem(d, ImagePage, IDC_IMG_CACHE_BASE_WIDTH).SetText(L"");
                  EXPECT_EQ(Text(PageItem(d, ImagePage, IDC_IMG_CACHE_ESTIMATE)), L"(約0MB/枚)");
                  PageItem(d, ImagePage, IDC_IMG_REDUCE_WIDTH).SetText(L"65535");
                  PageItem(d, ImagePage, IDC_IMG_REDUCE_HEIGHT).SetText(L"65535");
                  EXPECT_EQ(Text(PageItem(d, ImagePage, IDC_IMG_REDUCE_ESTIMATE)), L"(約16384MB/枚)");
                  // The minimum image size shows in the display form.
                  EXPECT_EQ(Text(PageItem(d, ImagePage, IDC_IMG_PIXEL_WIDTH)), L"200.1");
                  EXPECT_EQ(Text(PageItem(d, ImagePage, IDC_IMG_PIXEL_HEIGHT)), L"50.1");
                  PostToDialog(hwnd, IDCANCEL);
              }});
}

TEST(DesktopInputConfigDialogImagePage, EachSwitchEnablesItsGroupButTheFileCacheStaysEnabled)
{
    CConfig config = DefaultConfig();
    CConfigDialog dialog(config, nullptr, ImagePage);
    RunDialog(
        dialog, {[](CConfigDialog& d, HWND hwnd) {
            const struct
            {
                int box;
                bool loaded;
                std::vector<int> dependents;
            } groups[] = {
                {IDC_IMG_FILE_SIZE_LIMIT, false, {IDC_IMG_FILE_SIZE_MIN, IDC_IMG_FILE_SIZE_MAX}},
                {IDC_IMG_PIXEL_LIMIT,
                 false,
                 {IDC_IMG_PIXEL_WIDTH, IDC_IMG_PIXEL_HEIGHT, IDC_IMG_PIXEL_BY_AREA}},
                {IDC_IMG_CACHE,
                 true,
                 {IDC_IMG_CACHE_MAX, IDC_IMG_CACHE_RATE, IDC_IMG_CACHE_BASE_WIDTH, IDC_IMG_CACHE_BASE_HEIGHT,
                  IDC_IMG_STRETCH_CACHE}},
                {IDC_IMG_REDUCE, true, {IDC_IMG_REDUCE_WIDTH, IDC_IMG_REDUCE_HEIGHT, IDC_IMG_REDUCE_BY_AREA}},
            };
            for (const auto& group : groups) {
                for (const bool expected : {group.loaded, !group.loaded}) {
                    for (const int id : group.dependents)
                        EXPECT_EQ(Enabled(d, ImagePage, id), expected) << group.box << " " << id;
                    EXPECT_TRUE(Enabled(d, ImagePage, IDC_IMG_LOADER_CACHE)) << group.box;
                    Click(PageItem(d, ImagePage, group.box));
                }
            }
            PostToDialog(hwnd, IDCANCEL);
        }});
}

TEST(DesktopInputConfigDialogDrawPage, TheLastTwoMethodsAreCheckedByValueNotByTheirPlaceOnThePage)
{
    const struct
    {
        int mode;
        int radio;
    } cases[] = {{5, IDC_DRAW_OWN4}, {6, IDC_DRAW_OWN5}, {0, IDC_DRAW_GDI1}};
    for (const auto& c : cases) {
        CConfig config = DefaultConfig();
        config.SetInt(L"DrawMode_", c.mode);
        CConfigDialog dialog(config, nullptr, DrawPage);
        RunDialog(dialog, {[&](CConfigDialog& d, HWND hwnd) {
                      for (const int radio : {IDC_DRAW_GDI1, IDC_DRAW_GDI2, IDC_DRAW_OWN1, IDC_DRAW_OWN2,
                                              IDC_DRAW_OWN3, IDC_DRAW_OWN4, IDC_DRAW_OWN5})
                          EXPECT_EQ(PageItem(d, DrawPage, radio).IsChecked(), radio == c.radio) << c.mode;
                      PostToDialog(hwnd, IDOK);
                  }});
        EXPECT_EQ(config.GetInt(L"DrawMode_"), c.mode);
    }
}

TEST(DesktopInputConfigDialogDrawPage, TheChosenBackgroundColourReachesTheStoreOnlyThroughOk)
{
    for (const int button : {IDCANCEL, IDOK}) {
        CConfig config = DefaultConfig();
        CConfigDialog dialog(config, nullptr, DrawPage);
        RunDialog(dialog, {[&](CConfigDialog& d, HWND hwnd) {
                      auto* page = static_cast<CConfigDialogDrawPage*>(d.GetPage(DrawPage));
                      EXPECT_EQ(page->GetBackgroundColor(), RGB(0, 0, 0));
                      page->SetBackgroundColor(RGB(10, 20, 30));
                      PostToDialog(hwnd, button);
                  }});
        EXPECT_EQ(std::wstring(config.GetRaw(L"DrawBgColor").CStr()),
                  button == IDOK ? L"10, 20, 30" : L"0, 0, 0");
    }
}
