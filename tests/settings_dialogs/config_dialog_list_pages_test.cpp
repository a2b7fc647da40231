#include "settings_dialogs/config_dialog_test_support.h"

#include "formats/plugin_test_support.h"
#include "formats/susie_plugin.h"
#include "foundation/registry_test_support.h"
#include "resources/config_dialog_pages_ids.h"
#include "settings/config_dialog_plugin_page.h"
#include "settings/config_dialog_whole_page.h"
#include "support/window_test_bed.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using namespace ConfigDialogTest;
using Brivox::CConfig;
using Brivox::CCtrl;

namespace {

constexpr int ListPage = 3;
constexpr int WholePage = 4;
constexpr int PluginPage = 5;

bool Enabled(CConfigDialog& dialog, int page, int itemId)
{
    return PageItem(dialog, page, itemId).IsEnabled();
}

std::vector<std::wstring> Entries(const CCtrl& list)
{
    std::vector<std::wstring> entries;
    for (const Brivox::String& entry : list.ListBoxGetStrings())
        entries.push_back(entry.CStr());
    return entries;
}

std::wstring Stored(const CConfig& config, const wchar_t* key)
{
    return config.GetString(key).CStr();
}

HWND PageWindow(CConfigDialog& dialog, int page)
{
    return dialog.GetPage(page)->GetWindow().GetHandle();
}

// A list box notification, as the list sends it to its page.
void Notify(CConfigDialog& dialog, int page, int listId, WORD code)
{
    ::SendMessageA(PageWindow(dialog, page), WM_COMMAND, MAKEWPARAM(listId, code),
                   reinterpret_cast<LPARAM>(PageItem(dialog, page, listId).GetHandle()));
}

void SelectEntry(CConfigDialog& dialog, int page, int listId, int index)
{
    PageItem(dialog, page, listId).ListBoxSetCurSel(index);
    Notify(dialog, page, listId, LBN_SELCHANGE);
}

// The ids of the WM_COMMAND messages a page received, seen from the end of its hook list.
class CommandRecorder : public Brivox::IMsgHooker
{
public:
    void Join(CConfigDialog& dialog, int page) { dialog.GetPage(page)->GetWindow().GetHookList()->Add(this); }

    bool HookMessage(Brivox::SMessage& message) override
    {
        if (message.message == WM_COMMAND)
            ids.push_back(LOWORD(message.wParam));
        return false;
    }

    std::vector<int> ids;
};

// The folder browse of the general and plug-in pages, recorded instead of shown.
class BrowseRecord
{
public:
    std::vector<int> edits;
};

class RecordingWholePage : public CConfigDialogWholePage
{
public:
    explicit RecordingWholePage(BrowseRecord& record) : m_record(record) {}
    void BrowseFolder(int editId) override { m_record.edits.push_back(editId); }

private:
    BrowseRecord& m_record;
};

class RecordingPluginPage : public CConfigDialogPluginPage
{
public:
    explicit RecordingPluginPage(BrowseRecord& record) : CConfigDialogPluginPage(nullptr), m_record(record) {}
    void BrowseFolder(int editId) override { m_record.edits.push_back(editId); }

private:
    BrowseRecord& m_record;
};

class DialogWithRecordedBrowse : public CConfigDialog
{
public:
    DialogWithRecordedBrowse(CConfig& config, int startPage) : CConfigDialog(config, nullptr, startPage) {}

    BrowseRecord record;

protected:
    std::vector<SPage> CreatePages() override
    {
        std::vector<SPage> pages = CConfigDialog::CreatePages();
        pages[WholePage].page = std::make_shared<RecordingWholePage>(record);
        pages[PluginPage].page = std::make_shared<RecordingPluginPage>(record);
        return pages;
    }
};

} // namespace

TEST(DesktopInputConfigDialogListPage, TheAddButtonsTakeTheExtensionAloneAndRefuseOneThatCannotBe)
{
    const struct
    {
        int edit;
        int add;
        int list;
        const wchar_t* key;
    } groups[] = {
        {IDC_LIST_INCLUDE_EDIT, IDC_LIST_INCLUDE_ADD, IDC_LIST_INCLUDE_LIST, L"IgnoreExcludeSuffixes"},
        {IDC_LIST_IGNORE_EDIT, IDC_LIST_IGNORE_ADD, IDC_LIST_IGNORE_LIST, L"IgnoreSuffixes"},
    };
    for (const auto& group : groups) {
        KanoruTest::MessageBoxAnswerer answerer;
        CConfig config = DefaultConfig();
        CConfigDialog dialog(config, nullptr, ListPage);
        RunDialog(dialog, {[&](CConfigDialog& d, HWND hwnd) {
                      const CCtrl edit = PageItem(d, ListPage, group.edit);
                      for (const wchar_t* typed : {L" .Webp", L"*.KNB"}) {
                          edit.SetText(typed);
                          Click(PageItem(d, ListPage, group.add));
                          EXPECT_EQ(Text(edit), L"");
                      }
                      edit.SetText(L"a?b");
                      Click(PageItem(d, ListPage, group.add));
                      ASSERT_EQ(answerer.Boxes().size(), 1u);
                      EXPECT_EQ(std::wstring(answerer.Boxes()[0].caption.CStr()), L"エラー (3)");
                      EXPECT_EQ(std::wstring(answerer.Boxes()[0].text.CStr()),
                                L"a?b は不正な拡張子っぽいです");
                      EXPECT_EQ(Text(edit), L"a?b");
                      EXPECT_EQ(Entries(PageItem(d, ListPage, group.list)),
                                (std::vector<std::wstring>{L"KNB", L"Webp"}));
                      PostToDialog(hwnd, IDOK);
                  }});
        EXPECT_EQ(Stored(config, group.key), L"KNB;Webp") << group.edit;
    }
}

TEST(DesktopInputConfigDialogListPage, TheExtensionListsAreStoredSortedAndAnEmptyEntryIsGoneAtTheNextOpening)
{
    CConfig config = DefaultConfig();
    config.SetString(L"IgnoreSuffixes", L"zip;;bmp");
    config.SetString(L"IgnoreExcludeSuffixes", L"txt;doc");
    CConfigDialog first(config, nullptr, ListPage);
    RunDialog(first, {[](CConfigDialog& d, HWND hwnd) {
                  const CCtrl list = PageItem(d, ListPage, IDC_LIST_IGNORE_LIST);
                  EXPECT_EQ(Entries(list), (std::vector<std::wstring>{L"bmp", L"zip"}));
                  PageItem(d, ListPage, IDC_LIST_IGNORE_EDIT).SetText(L"cbz");
                  Click(PageItem(d, ListPage, IDC_LIST_IGNORE_ADD));
                  Click(PageItem(d, ListPage, IDC_LIST_IGNORE_ADD));
                  // The removed entry's place goes to the one after it.
                  list.ListBoxSetCurSel(1);
                  Click(PageItem(d, ListPage, IDC_LIST_IGNORE_REMOVE));
                  EXPECT_EQ(list.ListBoxGetSelectedText(), Brivox::String(L"cbz"));
                  PageItem(d, ListPage, IDC_LIST_INCLUDE_LIST).ListBoxSetCurSel(0);
                  Click(PageItem(d, ListPage, IDC_LIST_INCLUDE_REMOVE));
                  PostToDialog(hwnd, IDOK);
              }});
    EXPECT_EQ(Stored(config, L"IgnoreSuffixes"), L";cbz;zip");
    EXPECT_EQ(Stored(config, L"IgnoreExcludeSuffixes"), L"txt");

    CConfigDialog second(config, nullptr, ListPage);
    RunDialog(second, {[](CConfigDialog& d, HWND hwnd) {
                  EXPECT_EQ(Entries(PageItem(d, ListPage, IDC_LIST_IGNORE_LIST)),
                            (std::vector<std::wstring>{L"cbz", L"zip"}));
                  // Without a selection nothing goes.
                  Click(PageItem(d, ListPage, IDC_LIST_IGNORE_REMOVE));
                  PostToDialog(hwnd, IDOK);
              }});
    EXPECT_EQ(Stored(config, L"IgnoreSuffixes"), L"cbz;zip");
}

TEST(DesktopInputConfigDialogListPage, TheSortListHoldsTheModesByValueAndAnUnknownModeIsStoredAsNoSelection)
{
    const struct
    {
        int stored;
        int selected;
        const wchar_t* text;
    } cases[] = {
        {6, 6, L"数値順"},
        {0, 0, L"文字コード順(通常)"},
        {3, 3, L"ﾌｫﾙﾀﾞ名を除いた部分/大文字小文字区別無し"},
        {9, -1, L""},
    };
    for (const auto& c : cases) {
        CConfig config = DefaultConfig();
        config.SetInt(L"SortMode", c.stored);
        CConfigDialog dialog(config, nullptr, ListPage);
        RunDialog(dialog, {[&](CConfigDialog& d, HWND hwnd) {
                      const CCtrl sortModes = PageItem(d, ListPage, IDC_LIST_SORT_MODE);
                      EXPECT_EQ(::SendMessageA(sortModes.GetHandle(), CB_GETCOUNT, 0, 0), 7);
                      EXPECT_EQ(sortModes.ComboGetCurSel(), c.selected) << c.stored;
                      EXPECT_EQ(Text(sortModes), c.text);
                      PostToDialog(hwnd, IDOK);
                  }});
        EXPECT_EQ(config.GetInt(L"SortMode"), c.selected) << c.stored;
    }
}

TEST(DesktopInputConfigDialogListPage, TheAddPositionTheReadListAndTheSeparatorFollowTheirBoxes)
{
    CConfig config = DefaultConfig();
    CConfigDialog dialog(config, nullptr, ListPage);
    RunDialog(dialog, {[](CConfigDialog& d, HWND hwnd) {
                  const std::vector<int> addPosition = {IDC_LIST_ADD_AFTER_CURRENT, IDC_LIST_ADD_AT_END};
                  const std::vector<int> readList = {IDC_LIST_INCLUDE_EDIT, IDC_LIST_INCLUDE_LIST,
                                                     IDC_LIST_INCLUDE_ADD, IDC_LIST_INCLUDE_REMOVE};
                  const std::vector<int> ignoreList = {IDC_LIST_IGNORE_EDIT, IDC_LIST_IGNORE_LIST,
                                                       IDC_LIST_IGNORE_ADD, IDC_LIST_IGNORE_REMOVE};
                  auto expectEnabled = [&](const std::vector<int>& ids, bool expected, const char* when) {
                      for (const int id : ids)
                          EXPECT_EQ(Enabled(d, ListPage, id), expected) << id << " " << when;
                  };
                  expectEnabled(addPosition, false, "loaded");
                  expectEnabled(readList, true, "loaded");
                  expectEnabled({IDC_LIST_SEPARATOR}, false, "loaded");
                  // The schema's separator, as stored.
                  EXPECT_EQ(Text(PageItem(d, ListPage, IDC_LIST_SEPARATOR)), L" - ");

                  Click(PageItem(d, ListPage, IDC_LIST_NAME_ARCHIVE_DIR));
                  expectEnabled({IDC_LIST_SEPARATOR}, true, "archive folder only");
                  Click(PageItem(d, ListPage, IDC_LIST_NAME_ARCHIVE_DIR));
                  Click(PageItem(d, ListPage, IDC_LIST_NAME_ARCHIVE));
                  expectEnabled({IDC_LIST_SEPARATOR}, true, "archive name only");
                  Click(PageItem(d, ListPage, IDC_LIST_NAME_ARCHIVE));
                  expectEnabled({IDC_LIST_SEPARATOR}, false, "neither");

                  Click(PageItem(d, ListPage, IDC_LIST_ADD_EXPORTED));
                  expectEnabled(addPosition, true, "exported files added");
                  Click(PageItem(d, ListPage, IDC_LIST_IGNORE_UNKNOWN));
                  expectEnabled(readList, false, "no filter");
                  expectEnabled(ignoreList, true, "no filter");
                  PostToDialog(hwnd, IDCANCEL);
              }});
}

TEST(DesktopInputConfigDialogListPage, TheAddPositionRadiosShowAndStoreTheBoolKey)
{
    enum Change
    {
        None,
        ClickAfterCurrent,
        ClearBoth,
    };
    const struct
    {
        bool stored;
        Change change;
        bool saved;
    } cases[] = {
        {false, None, false},
        {true, None, true},
        {false, ClickAfterCurrent, true},
        {true, ClearBoth, false},
    };
    for (const auto& c : cases) {
        CConfig config = DefaultConfig();
        config.SetBool(L"FileAddWithSave", true);
        config.SetBool(L"FileAddWithSaveNext", c.stored);
        CConfigDialog dialog(config, nullptr, ListPage);
        RunDialog(dialog, {[&](CConfigDialog& d, HWND hwnd) {
                      const CCtrl afterCurrent = PageItem(d, ListPage, IDC_LIST_ADD_AFTER_CURRENT);
                      const CCtrl atEnd = PageItem(d, ListPage, IDC_LIST_ADD_AT_END);
                      EXPECT_EQ(afterCurrent.IsChecked(), c.stored);
                      EXPECT_EQ(atEnd.IsChecked(), !c.stored);
                      if (c.change == ClickAfterCurrent)
                          Click(afterCurrent);
                      if (c.change == ClearBoth) {
                          afterCurrent.SetChecked(false);
                          atEnd.SetChecked(false);
                      }
                      PostToDialog(hwnd, IDOK);
                  }});
        EXPECT_EQ(config.GetBool(L"FileAddWithSaveNext"), c.saved) << c.stored << " " << c.change;
    }
}

TEST(DesktopInputConfigDialogWholePage, BothCountsAreStoredAsTheNumberTheirTextStartsWith)
{
    const struct
    {
        const wchar_t* backupCount;
        const wchar_t* historyMax;
        int storedBackupCount;
        int storedHistoryMax;
    } cases[] = {
        {L"5x", L"5x", 5, 5},
        {L"", L"abc", 0, 0},
        {L"007", L"-3", 7, -3},
    };
    for (const auto& c : cases) {
        CConfig config = DefaultConfig();
        CConfigDialog dialog(config, nullptr, WholePage);
        RunDialog(dialog, {[&](CConfigDialog& d, HWND hwnd) {
                      EXPECT_EQ(Text(PageItem(d, WholePage, IDC_WHOLE_BACKUP_COUNT)), L"4");
                      EXPECT_EQ(Text(PageItem(d, WholePage, IDC_WHOLE_HISTORY_MAX)), L"10");
                      PageItem(d, WholePage, IDC_WHOLE_BACKUP_COUNT).SetText(c.backupCount);
                      PageItem(d, WholePage, IDC_WHOLE_HISTORY_MAX).SetText(c.historyMax);
                      PostToDialog(hwnd, IDOK);
                  }});
        EXPECT_EQ(config.GetInt(L"HttpBackupCount"), c.storedBackupCount) << c.backupCount;
        EXPECT_EQ(config.GetInt(L"HistoryMax"), c.storedHistoryMax) << c.historyMax;
    }
}

TEST(DesktopInputConfigDialogWholePage, TheNameServerAndCountEditsFollowTheirBoxes)
{
    CConfig config = DefaultConfig();
    CConfigDialog dialog(config, nullptr, WholePage);
    RunDialog(dialog, {[](CConfigDialog& d, HWND hwnd) {
                  const struct
                  {
                      int box;
                      int edit;
                      bool loaded;
                  } rules[] = {
                      {IDC_WHOLE_WALLPAPER_UNIFY, IDC_WHOLE_WALLPAPER_NAME, true},
                      {IDC_WHOLE_PROXY, IDC_WHOLE_PROXY_SERVER, false},
                      {IDC_WHOLE_BACKUP, IDC_WHOLE_BACKUP_COUNT, true},
                  };
                  for (const auto& rule : rules) {
                      EXPECT_EQ(Enabled(d, WholePage, rule.edit), rule.loaded) << rule.box;
                      Click(PageItem(d, WholePage, rule.box));
                      EXPECT_EQ(Enabled(d, WholePage, rule.edit), !rule.loaded) << rule.box;
                  }
                  for (const int id :
                       {IDC_WHOLE_WALLPAPER_DIR, IDC_WHOLE_BOOKMARK_DIR, IDC_WHOLE_HISTORY_DIR,
                        IDC_WHOLE_WALLPAPER_BROWSE, IDC_WHOLE_BOOKMARK_BROWSE, IDC_WHOLE_HISTORY_BROWSE})
                      EXPECT_TRUE(Enabled(d, WholePage, id)) << id;
                  PostToDialog(hwnd, IDCANCEL);
              }});
}

TEST(DesktopInputConfigDialogWholePage, EachFolderButtonBrowsesForTheEditBesideIt)
{
    const struct
    {
        int page;
        int button;
        int edit;
    } cases[] = {
        {WholePage, IDC_WHOLE_WALLPAPER_BROWSE, IDC_WHOLE_WALLPAPER_DIR},
        {WholePage, IDC_WHOLE_BOOKMARK_BROWSE, IDC_WHOLE_BOOKMARK_DIR},
        {WholePage, IDC_WHOLE_HISTORY_BROWSE, IDC_WHOLE_HISTORY_DIR},
        {PluginPage, IDC_PLUGIN_TEMP_DIR_BROWSE, IDC_PLUGIN_TEMP_DIR},
        {PluginPage, IDC_PLUGIN_SPI_DIR_BROWSE, IDC_PLUGIN_SPI_DIR},
    };
    CConfig config = DefaultConfig();
    DialogWithRecordedBrowse dialog(config, WholePage);
    std::vector<int> expected;
    RunDialog(dialog, {[&](CConfigDialog& d, HWND hwnd) {
                  for (const auto& c : cases) {
                      Click(PageItem(d, c.page, c.button));
                      expected.push_back(c.edit);
                  }
                  PostToDialog(hwnd, IDCANCEL);
              }});
    EXPECT_EQ(dialog.record.edits, expected);
}

TEST(DesktopInputConfigDialogPluginPage, OkOnTheDefaultsRenumbersBothOrdersByTheirPlaces)
{
    CConfig config = DefaultConfig();
    CConfigDialog dialog(config, nullptr, PluginPage);
    RunDialog(dialog, {[](CConfigDialog& d, HWND hwnd) {
                  EXPECT_EQ(Entries(PageItem(d, PluginPage, IDC_PLUGIN_ARCHIVERS)),
                            (std::vector<std::wstring>{L"自前(ZIP/zlib)", L"Susieプラグイン", L"UNZIP32.DLL",
                                                       L"UNRAR32.DLL", L"UNGCA32.DLL", L"UNLHA32.DLL",
                                                       L"7-ZIP32.DLL", L"--------------------"}));
                  EXPECT_EQ(Entries(PageItem(d, PluginPage, IDC_PLUGIN_LOADERS)),
                            (std::vector<std::wstring>{
                                L"自前(JPG/IJG)", L"自前(PNG/libpng)", L"自前(BMP/GDI)", L"Susieプラグイン",
                                L"自前(ARGB)", L"自前(TGA)", L"--------------------", L"自前(ICOなど/OLE)"}));
                  for (const int list : {IDC_PLUGIN_ARCHIVERS, IDC_PLUGIN_LOADERS})
                      EXPECT_EQ(PageItem(d, PluginPage, list).ListBoxGetCurSel(), 0) << list;
                  EXPECT_EQ(Text(PageItem(d, PluginPage, IDC_PLUGIN_TEMP_DIR)), L".\\temp\\");
                  PostToDialog(hwnd, IDOK);
              }});
    const std::pair<const wchar_t*, int> expected[] = {
        {L"ArchiverPriorityZL", 0},  {L"ArchiverPriorityS", 4},  {L"ArchiverPriorityZ", 8},
        {L"ArchiverPriorityR", 12},  {L"ArchiverPriorityG", 16}, {L"ArchiverPriorityL", 20},
        {L"ArchiverPriority7Z", 24}, {L"ArchiverPriorityX", 28}, {L"LoaderPriorityJ", 0},
        {L"LoaderPriorityP", 4},     {L"LoaderPriorityB", 8},    {L"LoaderPriorityS", 12},
        {L"LoaderPriorityA", 16},    {L"LoaderPriorityT", 20},   {L"LoaderPriorityX", 24},
        {L"LoaderPriorityO", 28},
    };
    for (const auto& [key, priority] : expected)
        EXPECT_EQ(config.GetInt(key), priority) << FileTestSupport::Ansi(key);
}

TEST(DesktopInputConfigDialogPluginPage, EqualPrioritiesShowInTieOrderSeparatorFirstAndAreSavedApart)
{
    CConfig config = DefaultConfig();
    // Hand-edited: the separator shares the Susie reader's 4, and every loader has 0.
    config.SetInt(L"ArchiverPriorityX", 4);
    for (const wchar_t* key :
         {L"LoaderPriorityJ", L"LoaderPriorityP", L"LoaderPriorityB", L"LoaderPriorityS", L"LoaderPriorityA",
          L"LoaderPriorityT", L"LoaderPriorityX", L"LoaderPriorityO"})
        config.SetInt(key, 0);
    CConfigDialog dialog(config, nullptr, PluginPage);
    RunDialog(dialog, {[](CConfigDialog& d, HWND hwnd) {
                  EXPECT_EQ(Entries(PageItem(d, PluginPage, IDC_PLUGIN_ARCHIVERS)),
                            (std::vector<std::wstring>{L"自前(ZIP/zlib)", L"--------------------",
                                                       L"Susieプラグイン", L"UNZIP32.DLL", L"UNRAR32.DLL",
                                                       L"UNGCA32.DLL", L"UNLHA32.DLL", L"7-ZIP32.DLL"}));
                  EXPECT_EQ(
                      Entries(PageItem(d, PluginPage, IDC_PLUGIN_LOADERS)),
                      (std::vector<std::wstring>{L"--------------------", L"自前(JPG/IJG)",
                                                 L"自前(PNG/libpng)", L"自前(BMP/GDI)", L"自前(ICOなど/OLE)",
                                                 L"自前(ARGB)", L"Susieプラグイン", L"自前(TGA)"}));
                  PostToDialog(hwnd, IDOK);
              }});
    const std::pair<const wchar_t*, int> expected[] = {
        {L"ArchiverPriorityZL", 0}, {L"ArchiverPriorityX", 4}, {L"ArchiverPriorityS", 8},
        {L"ArchiverPriorityZ", 12}, {L"LoaderPriorityX", 0},   {L"LoaderPriorityJ", 4},
        {L"LoaderPriorityO", 16},   {L"LoaderPriorityT", 28},
    };
    for (const auto& [key, priority] : expected)
        EXPECT_EQ(config.GetInt(key), priority) << FileTestSupport::Ansi(key);
}

TEST(DesktopInputConfigDialogPluginPage, TheArrowsMoveTheSelectedEntryButNotPastEitherEnd)
{
    CConfig config = DefaultConfig();
    CConfigDialog dialog(config, nullptr, PluginPage);
    RunDialog(dialog, {[](CConfigDialog& d, HWND hwnd) {
                  const struct
                  {
                      int list;
                      int up;
                      int down;
                  } orders[] = {
                      {IDC_PLUGIN_ARCHIVERS, IDC_PLUGIN_ARCHIVER_UP, IDC_PLUGIN_ARCHIVER_DOWN},
                      {IDC_PLUGIN_LOADERS, IDC_PLUGIN_LOADER_UP, IDC_PLUGIN_LOADER_DOWN},
                  };
                  for (const auto& order : orders) {
                      const CCtrl list = PageItem(d, PluginPage, order.list);
                      const std::vector<std::wstring> loaded = Entries(list);
                      const int last = list.ListBoxGetCount() - 1;
                      Click(PageItem(d, PluginPage, order.up));
                      EXPECT_EQ(Entries(list), loaded) << order.list;
                      EXPECT_EQ(list.ListBoxGetCurSel(), 0) << order.list;
                      list.ListBoxSetCurSel(last);
                      Click(PageItem(d, PluginPage, order.down));
                      EXPECT_EQ(Entries(list), loaded) << order.list;
                      EXPECT_EQ(list.ListBoxGetCurSel(), last) << order.list;

                      // The last entry goes up one place and stays selected.
                      Click(PageItem(d, PluginPage, order.up));
                      std::vector<std::wstring> moved = loaded;
                      std::swap(moved[last], moved[last - 1]);
                      EXPECT_EQ(Entries(list), moved) << order.list;
                      EXPECT_EQ(list.ListBoxGetCurSel(), last - 1) << order.list;
                      list.ListBoxSetCurSel(0);
                      Click(PageItem(d, PluginPage, order.down));
                      std::swap(moved[0], moved[1]);
                      EXPECT_EQ(Entries(list), moved) << order.list;
                      EXPECT_EQ(list.ListBoxGetCurSel(), 1) << order.list;
                  }
                  PostToDialog(hwnd, IDOK);
              }});
    // The separator went up above the 7-Zip reader; the OLE loader above the separator.
    EXPECT_EQ(config.GetInt(L"ArchiverPriorityX"), 24);
    EXPECT_EQ(config.GetInt(L"ArchiverPriority7Z"), 28);
    EXPECT_EQ(config.GetInt(L"ArchiverPriorityS"), 0);
    EXPECT_EQ(config.GetInt(L"ArchiverPriorityZL"), 4);
    EXPECT_EQ(config.GetInt(L"LoaderPriorityO"), 24);
    EXPECT_EQ(config.GetInt(L"LoaderPriorityX"), 28);
}

TEST(DesktopInputConfigDialogPluginPage, AnEntryThePageDoesNotKnowStopsOkAndLeavesTheStoreAsItWas)
{
    const struct
    {
        int list;
        const wchar_t* error;
    } cases[] = {
        {IDC_PLUGIN_ARCHIVERS, L"書庫読み込み設定の保存時にエラーが発生しました"},
        {IDC_PLUGIN_LOADERS, L"画像読み込み設定の保存時にエラーが発生しました"},
    };
    for (const auto& c : cases) {
        KanoruTest::MessageBoxAnswerer answerer;
        CConfig config = DefaultConfig();
        const std::wstring before = Serialized(config);
        CConfigDialog dialog(config, nullptr, PluginPage);
        RunDialog(dialog, {
                              [&](CConfigDialog& d, HWND hwnd) {
                                  PageItem(d, ListPage, IDC_LIST_SLIDE_SHOW_FREQ).SetText(L"500");
                                  PageItem(d, PluginPage, c.list).ListBoxAddString(L"謎の読み込み方法");
                                  PostToDialog(hwnd, IDOK);
                              },
                              [&](CConfigDialog& d, HWND hwnd) {
                                  ASSERT_EQ(answerer.Boxes().size(), 1u);
                                  EXPECT_EQ(std::wstring(answerer.Boxes()[0].caption.CStr()), L"エラー (3)");
                                  EXPECT_EQ(std::wstring(answerer.Boxes()[0].text.CStr()), c.error);
                                  EXPECT_EQ(Serialized(config), before);
                                  EXPECT_NE(d.GetTabCtrl(), nullptr);
                                  PostToDialog(hwnd, IDCANCEL);
                              },
                          });
        EXPECT_EQ(Serialized(config), before) << c.list;
    }
}

TEST(DesktopInputConfigDialogPluginPage, PasswordsAreStoredSortedAndJoinedByLineFeeds)
{
    const struct
    {
        const wchar_t* stored;
        std::vector<std::wstring> shown;
        std::vector<const wchar_t*> added;
        const wchar_t* saved;
    } cases[] = {
        {L"", {L""}, {}, L""},
        {L"zeta\nalpha", {L"alpha", L"zeta"}, {L"mid"}, L"alpha\nmid\nzeta"},
        {L"b", {L"b"}, {L""}, L"\nb"},
    };
    for (const auto& c : cases) {
        CConfig config = DefaultConfig();
        config.SetString(L"ArcPassAutoTry", c.stored);
        CConfigDialog dialog(config, nullptr, PluginPage);
        RunDialog(dialog, {[&](CConfigDialog& d, HWND hwnd) {
                      EXPECT_EQ(Entries(PageItem(d, PluginPage, IDC_PLUGIN_PASSWORDS)), c.shown);
                      const CCtrl edit = PageItem(d, PluginPage, IDC_PLUGIN_PASSWORD_EDIT);
                      for (const wchar_t* password : c.added) {
                          edit.SetText(password);
                          Click(PageItem(d, PluginPage, IDC_PLUGIN_PASSWORD_ADD));
                          EXPECT_EQ(Text(edit), L"");
                      }
                      PostToDialog(hwnd, IDOK);
                  }});
        EXPECT_EQ(Stored(config, L"ArcPassAutoTry"), c.saved) << FileTestSupport::Ansi(c.stored);
    }
}

TEST(DesktopInputConfigDialogPluginPage, TheRemoveButtonTakesTheSelectedPassword)
{
    CConfig config = DefaultConfig();
    config.SetString(L"ArcPassAutoTry", L"one\ntwo\nthree");
    CConfigDialog dialog(config, nullptr, PluginPage);
    RunDialog(dialog, {[](CConfigDialog& d, HWND hwnd) {
                  const CCtrl passwords = PageItem(d, PluginPage, IDC_PLUGIN_PASSWORDS);
                  passwords.ListBoxSetCurSel(2);
                  Click(PageItem(d, PluginPage, IDC_PLUGIN_PASSWORD_REMOVE));
                  EXPECT_EQ(passwords.ListBoxGetCurSel(), 1);
                  PostToDialog(hwnd, IDOK);
              }});
    EXPECT_EQ(Stored(config, L"ArcPassAutoTry"), L"one\nthree");
}

TEST(DesktopInputConfigDialogPluginPage, ADoubleClickOnADllEntryPressesItsSettingsButton)
{
    const struct
    {
        int index; // with the defaults
        const wchar_t* entry;
        bool pressed;
    } cases[] = {
        {2, L"UNZIP32.DLL", true},           {4, L"UNGCA32.DLL", true},      {6, L"7-ZIP32.DLL", true},
        {7, L"--------------------", false}, {1, L"Susieプラグイン", false}, {0, L"自前(ZIP/zlib)", false},
    };
    CConfig config = DefaultConfig();
    CConfigDialog dialog(config, nullptr, PluginPage);
    CommandRecorder recorder;
    RunDialog(dialog, {[&](CConfigDialog& d, HWND hwnd) {
                  recorder.Join(d, PluginPage);
                  for (const auto& c : cases) {
                      SelectEntry(d, PluginPage, IDC_PLUGIN_ARCHIVERS, c.index);
                      EXPECT_EQ(PageItem(d, PluginPage, IDC_PLUGIN_ARCHIVERS).ListBoxGetSelectedText(),
                                Brivox::String(c.entry));
                      EXPECT_EQ(Enabled(d, PluginPage, IDC_PLUGIN_ARCHIVER_CONFIG), c.pressed)
                          << FileTestSupport::Ansi(c.entry);
                      recorder.ids.clear();
                      Notify(d, PluginPage, IDC_PLUGIN_ARCHIVERS, LBN_DBLCLK);
                      // The pressed button's message is sent while the list's is handled, so this
                      // hooker, the last one, sees it first.
                      const std::vector<int> expected =
                          c.pressed ? std::vector<int>{IDC_PLUGIN_ARCHIVER_CONFIG, IDC_PLUGIN_ARCHIVERS}
                                    : std::vector<int>{IDC_PLUGIN_ARCHIVERS};
                      EXPECT_EQ(recorder.ids, expected) << FileTestSupport::Ansi(c.entry);
                  }
                  PostToDialog(hwnd, IDCANCEL);
              }});
}

TEST(DesktopInputConfigDialogPluginPage, TheSusieButtonIsThereOnlyWithAnInstallationAndFillsThePluginFolder)
{
    for (const bool installed : {false, true}) {
        RegistryTestSupport::PrivateCurrentUser user;
        if (installed)
            user.SetDefault(RegistryTestSupport::susieInstallRoot, "C:\\Susie");
        CConfig config = DefaultConfig();
        config.SetRaw(L"SpiPluginsDir", L".\\spi\\");
        CConfigDialog dialog(config, nullptr, PluginPage);
        RunDialog(dialog, {[&](CConfigDialog& d, HWND hwnd) {
                      EXPECT_EQ(Enabled(d, PluginPage, IDC_PLUGIN_SUSIE_ROOT), installed);
                      if (installed) {
                          Click(PageItem(d, PluginPage, IDC_PLUGIN_SUSIE_ROOT));
                          EXPECT_EQ(Text(PageItem(d, PluginPage, IDC_PLUGIN_SPI_DIR)), L"C:\\Susie\\");
                      }
                      PostToDialog(hwnd, IDOK);
                  }});
        EXPECT_EQ(std::wstring(config.GetRaw(L"SpiPluginsDir").CStr()),
                  installed ? L"C:\\Susie\\" : L".\\spi\\");
    }
}

namespace {

class DesktopInputConfigDialogPluginList : public PluginTestSupport::PluginFolderTest
{
};

} // namespace

TEST_F(DesktopInputConfigDialogPluginList, ListsTheLoadedPluginsAndOpensTheDialogsOfThoseThatHaveThem)
{
    const Brivox::String folder = MakePluginFolder(L"spi", {{L"kanoru_spi_image.dll", L"withsettings.spi"},
                                                            {L"kanoru_spi_no_config.dll", L"plain.spi"}});
    const Brivox::String withSettings = folder + L"withsettings.spi";
    CConfig config = DefaultConfig();
    config.SetRaw(L"SpiPluginsDir", folder);
    const Brivox::CSpi spi(folder);
    ASSERT_EQ(spi.GetCount(), 2);
    const int settingsIndex = spi.GetPluginName(0) == Brivox::String(L"withsettings") ? 0 : 1;
    PluginFakes::SSpiProbe& probe = PluginTestSupport::SpiProbe(withSettings);
    CConfigDialog dialog(config, &spi, PluginPage);
    CommandRecorder recorder;
    RunDialog(dialog, {[&](CConfigDialog& d, HWND hwnd) {
                  recorder.Join(d, PluginPage);
                  const HWND page = PageWindow(d, PluginPage);
                  EXPECT_EQ(
                      Entries(PageItem(d, PluginPage, IDC_PLUGIN_SPI_LIST)),
                      (std::vector<std::wstring>{spi.GetPluginName(0).CStr(), spi.GetPluginName(1).CStr()}));
                  EXPECT_EQ(PageItem(d, PluginPage, IDC_PLUGIN_SPI_LIST).ListBoxGetCurSel(), 0);

                  SelectEntry(d, PluginPage, IDC_PLUGIN_SPI_LIST, settingsIndex);
                  EXPECT_TRUE(Enabled(d, PluginPage, IDC_PLUGIN_SPI_ABOUT));
                  EXPECT_TRUE(Enabled(d, PluginPage, IDC_PLUGIN_SPI_CONFIG));
                  Click(PageItem(d, PluginPage, IDC_PLUGIN_SPI_ABOUT));
                  EXPECT_EQ(probe.configurationDlgCalls, 1);
                  EXPECT_EQ(probe.configurationDlgFunction, 0);
                  EXPECT_EQ(probe.configurationDlgParent, page);
                  Click(PageItem(d, PluginPage, IDC_PLUGIN_SPI_CONFIG));
                  EXPECT_EQ(probe.configurationDlgCalls, 2);
                  EXPECT_EQ(probe.configurationDlgFunction, 1);
                  Notify(d, PluginPage, IDC_PLUGIN_SPI_LIST, LBN_DBLCLK);
                  EXPECT_EQ(probe.configurationDlgCalls, 3);
                  EXPECT_EQ(probe.configurationDlgFunction, 1);

                  SelectEntry(d, PluginPage, IDC_PLUGIN_SPI_LIST, 1 - settingsIndex);
                  EXPECT_FALSE(Enabled(d, PluginPage, IDC_PLUGIN_SPI_ABOUT));
                  EXPECT_FALSE(Enabled(d, PluginPage, IDC_PLUGIN_SPI_CONFIG));
                  recorder.ids.clear();
                  Notify(d, PluginPage, IDC_PLUGIN_SPI_LIST, LBN_DBLCLK);
                  EXPECT_EQ(recorder.ids, std::vector<int>{IDC_PLUGIN_SPI_LIST});
                  PostToDialog(hwnd, IDOK);
              }});
    EXPECT_EQ(probe.configurationDlgCalls, 3);
    EXPECT_EQ(std::wstring(config.GetRaw(L"SpiPluginsDir").CStr()), std::wstring(folder.CStr()));
}
