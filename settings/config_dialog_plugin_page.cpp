#include "settings/config_dialog_plugin_page.h"

#include "formats/archiver_dll_readers.h"
#include "formats/susie_plugin.h"
#include "foundation/exception.h"
#include "resources/config_dialog_pages_ids.h"

#include <algorithm>
#include <memory>
#include <span>
#include <utility>
#include <vector>

using Brivox::CConfig;
using Brivox::CCtrl;
using Brivox::String;
using Kind = CConfigDialogTabBase::BindingKind;

namespace {

const CConfigDialogTabBase::SBinding Bindings[] = {
    {Kind::RawText, L"SpiPluginsDir", {IDC_PLUGIN_SPI_DIR}},
    {Kind::RawText, L"TmpDir", {IDC_PLUGIN_TEMP_DIR}},
};

const CConfigDialogTabBase::STooltip Tooltips[] = {
    {{IDC_PLUGIN_ARCHIVERS},
     L"各DLLやSusieプラグインを使用した読み込みなどの優先順位と使用・不使用を設定します。\r\n"
     L"\r\n"
     L"● 自前(ZIP/zlib)\r\n"
     L" Kanoruに内蔵されているZIP読み込みを使用します。読み込むヘッダの違いやCRCのチェックなどを行っていない"
     L"関"
     L"係で、破損したZIPファイルも読み込める場合があります。\r\n"
     L"\r\n"
     L"● Susieプラグイン\r\n"
     L"Susieプラグイン（axzip.spiなど）を用いて書庫の読み込みを行います。\r\n"
     L"\r\n"
     L"● UNZIP32.DLL、UNLHA32.DLL、UNRAR32.DLL、7-zip32.DLL、UNGCA32.DLL\r\n"
     L"それぞれのアーカイバーDLLを用いて読み込みます。\r\n"},
    {{IDC_PLUGIN_ARCHIVER_UP, IDC_PLUGIN_LOADER_UP}, L"選択された読み込み方法の優先順位を一つ上げます。"},
    {{IDC_PLUGIN_ARCHIVER_DOWN, IDC_PLUGIN_LOADER_DOWN}, L"選択された読み込み方法の優先順位を一つ下げます。"},
    {{IDC_PLUGIN_ARCHIVER_CONFIG}, L"選択された読み込み方法の設定を行います。"},
    {{IDC_PLUGIN_LOADERS},
     L"書庫と同様に、Susieプラグインや自前での各種ファイルの読み込み、それぞれの優先順位と使用・不使用を設定"
     L"しま"
     L"す。\r\n"
     L"\r\n"
     L"● 自前(JPG/IJG)など\r\n"
     L" Kanoruに内蔵されている各画像の読み込み処理を使用します。括弧の中は、スラッシュの前が読み込む形式、後"
     L"ろ"
     L"が使用する方法(ライブラリ名など)です。\r\n"
     L" BMPは簡単な形式は完全に自前で読み込みますが、一部の形式ではGDIを介して読み込みます。この場合、画像の"
     L"色"
     L"数が画面の色数に勝手に変換されてしまう場合があります。24ビットカラーより少ない色数の場合、編集して保存"
     L"す"
     L"る時などは注意してください。\r\n"
     L"\r\n"
     L"● 自前(ICOなど/OLE)\r\n"
     L" BMPの読み込みと同様に、画面の色数に依存します。またIEやOfficeなどのインストール状況によって微妙に動作"
     L"が"
     L"違ったり、非画像ファイルや破損した画像ファイルを読み込もうとした場合の挙動が不安定なようです。初期設定"
     L"で"
     L"は使用しない設定にしてあります。\r\n"
     L"\r\n"
     L"● Susieプラグイン\r\n"
     L" 画像を読み込む Susie プラグインを使用して読み込みを行います。"},
    {{IDC_PLUGIN_SPI_LIST},
     L"読み込まれているSusieプラグインの一覧の確認と、情報や設定ダイアログの表示を行います。"},
    {{IDC_PLUGIN_SPI_ABOUT}, L"バージョン情報ダイアログを表示します。"},
    {{IDC_PLUGIN_SPI_CONFIG}, L"設定ダイアログを表示します。"},
    {{IDC_PLUGIN_TEMP_DIR}, L"書庫を解凍する場合の解凍先フォルダを指定します。"},
    {{IDC_PLUGIN_TEMP_DIR_BROWSE, IDC_PLUGIN_SPI_DIR_BROWSE}, L"フォルダを選択します。"},
    {{IDC_PLUGIN_SPI_DIR}, L"SPIのあるフォルダを指定します。"},
    {{IDC_PLUGIN_SUSIE_ROOT}, L"Susieがインストールされている場合そのインストール先を設定します。"},
    {{IDC_PLUGIN_PASSWORD_EDIT}, L"パスワードを入力し、追加ボタンを押してリストに追加します。"},
    {{IDC_PLUGIN_PASSWORDS},
     L"パスワード付き書庫の読み込み時に、自動的に試行するパスワードのリスト。\r\n"
     L"現在は自前ZIP読み込みでのみ有効です。"},
    {{IDC_PLUGIN_PASSWORD_ADD}, L"パスワードを追加します。"},
    {{IDC_PLUGIN_PASSWORD_REMOVE}, L"選択されているパスワードを削除します。"},
};

// One entry of an order list: its text, which is its identity on the page, and its key.
struct SPriorityEntry
{
    const wchar_t* text;
    const wchar_t* key;
};

const wchar_t* const Separator = L"--------------------";

// In tie order: entries of equal priority show in this order.
const SPriorityEntry Archivers[] = {
    {Separator, L"ArchiverPriorityX"},          {L"UNZIP32.DLL", L"ArchiverPriorityZ"},
    {L"UNRAR32.DLL", L"ArchiverPriorityR"},     {L"UNLHA32.DLL", L"ArchiverPriorityL"},
    {L"Susieプラグイン", L"ArchiverPriorityS"}, {L"自前(ZIP/zlib)", L"ArchiverPriorityZL"},
    {L"7-ZIP32.DLL", L"ArchiverPriority7Z"},    {L"UNGCA32.DLL", L"ArchiverPriorityG"},
};

const SPriorityEntry Loaders[] = {
    {Separator, L"LoaderPriorityX"},
    {L"自前(JPG/IJG)", L"LoaderPriorityJ"},
    {L"自前(PNG/libpng)", L"LoaderPriorityP"},
    {L"自前(BMP/GDI)", L"LoaderPriorityB"},
    {L"自前(ICOなど/OLE)", L"LoaderPriorityO"},
    {L"自前(ARGB)", L"LoaderPriorityA"},
    {L"Susieプラグイン", L"LoaderPriorityS"},
    {L"自前(TGA)", L"LoaderPriorityT"},
};

void LoadOrder(const CCtrl& list, std::span<const SPriorityEntry> entries, const CConfig& config)
{
    std::vector<std::pair<int, const wchar_t*>> order;
    for (const SPriorityEntry& entry : entries)
        order.emplace_back(config.GetInt(entry.key), entry.text);
    std::stable_sort(order.begin(), order.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    list.ListBoxClear();
    for (const auto& [priority, text] : order)
        list.ListBoxAddString(text);
}

// Each entry's key becomes four times its position, so that ties end here.
void SaveOrder(const CCtrl& list, std::span<const SPriorityEntry> entries, CConfig& config,
               const wchar_t* error)
{
    const int count = list.ListBoxGetCount();
    for (int position = 0; position < count; ++position) {
        const String text = list.ListBoxGetText(position);
        const auto entry = std::find_if(entries.begin(), entries.end(),
                                        [&](const SPriorityEntry& e) { return text == String(e.text); });
        if (entry == entries.end())
            throw Brivox::RuntimeException(error);
        config.SetInt(entry->key, 4 * position);
    }
}

// The archiver DLL reader of an entry text; null for the entries that are no DLL.
std::unique_ptr<Brivox::CArchiverDllReader> MakeArchiverDllReader(const String& text)
{
    if (text == String(L"UNZIP32.DLL"))
        return std::make_unique<Brivox::CUnZipArchiver>();
    if (text == String(L"7-ZIP32.DLL"))
        return std::make_unique<Brivox::C7ZipArchiver>();
    if (text == String(L"UNRAR32.DLL"))
        return std::make_unique<Brivox::CUnRarArchiver>();
    if (text == String(L"UNLHA32.DLL"))
        return std::make_unique<Brivox::CUnLhaArchiver>();
    if (text == String(L"UNGCA32.DLL"))
        return std::make_unique<Brivox::CUnGcaArchiver>();
    return nullptr;
}

bool IsArchiverDll(const String& text)
{
    for (const wchar_t* dll :
         {L"UNZIP32.DLL", L"7-ZIP32.DLL", L"UNRAR32.DLL", L"UNLHA32.DLL", L"UNGCA32.DLL"})
        if (text == String(dll))
            return true;
    return false;
}

} // namespace

CConfigDialogPluginPage::CConfigDialogPluginPage(const Brivox::CSpi* spi)
    : CConfigDialogTabBase(IDD_CONFIG_PLUGIN_PAGE, Bindings, Tooltips), m_spi(spi),
      m_susieInstallRoot(Brivox::GetSusieInstallRoot())
{
}

bool CConfigDialogPluginPage::HookMessage(Brivox::SMessage& message)
{
    if (message.message != WM_COMMAND)
        return CConfigDialogTabBase::HookMessage(message);
    UpdateButtonStates();
    const int id = LOWORD(message.wParam);
    const bool doubleClick = HIWORD(message.wParam) == LBN_DBLCLK;
    switch (id) {
    case IDC_PLUGIN_ARCHIVER_UP:
        MoveSelected(IDC_PLUGIN_ARCHIVERS, -1);
        return true;
    case IDC_PLUGIN_ARCHIVER_DOWN:
        MoveSelected(IDC_PLUGIN_ARCHIVERS, 1);
        return true;
    case IDC_PLUGIN_LOADER_UP:
        MoveSelected(IDC_PLUGIN_LOADERS, -1);
        return true;
    case IDC_PLUGIN_LOADER_DOWN:
        MoveSelected(IDC_PLUGIN_LOADERS, 1);
        return true;
    case IDC_PLUGIN_ARCHIVER_CONFIG:
        ShowArchiverConfig();
        return true;
    case IDC_PLUGIN_SPI_ABOUT:
        ShowPluginDialog(0);
        return true;
    case IDC_PLUGIN_SPI_CONFIG:
        ShowPluginDialog(1);
        return true;
    case IDC_PLUGIN_ARCHIVERS:
    case IDC_PLUGIN_SPI_LIST: {
        // A double click presses the entry's configuration button, when it has one.
        const int button = id == IDC_PLUGIN_ARCHIVERS ? IDC_PLUGIN_ARCHIVER_CONFIG : IDC_PLUGIN_SPI_CONFIG;
        const CCtrl buttonCtrl = Item(button);
        if (doubleClick && buttonCtrl.IsEnabled())
            ::SendMessageA(GetWindow().GetHandle(), WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                           reinterpret_cast<LPARAM>(buttonCtrl.GetHandle()));
        return true;
    }
    case IDC_PLUGIN_TEMP_DIR_BROWSE:
        BrowseFolder(IDC_PLUGIN_TEMP_DIR);
        return true;
    case IDC_PLUGIN_SPI_DIR_BROWSE:
        BrowseFolder(IDC_PLUGIN_SPI_DIR);
        return true;
    case IDC_PLUGIN_SUSIE_ROOT:
        Item(IDC_PLUGIN_SPI_DIR).SetText(m_susieInstallRoot);
        return true;
    case IDC_PLUGIN_PASSWORD_ADD: {
        const CCtrl edit = Item(IDC_PLUGIN_PASSWORD_EDIT);
        Item(IDC_PLUGIN_PASSWORDS).ListBoxAddString(edit.GetText());
        edit.SetText(L"");
        return true;
    }
    case IDC_PLUGIN_PASSWORD_REMOVE:
        Item(IDC_PLUGIN_PASSWORDS).ListBoxDeleteSelected();
        return true;
    default:
        return false;
    }
}

void CConfigDialogPluginPage::Load(CConfig& config)
{
    LoadOrder(Item(IDC_PLUGIN_ARCHIVERS), Archivers, config);
    LoadOrder(Item(IDC_PLUGIN_LOADERS), Loaders, config);

    m_pluginSettings.clear();
    const CCtrl plugins = Item(IDC_PLUGIN_SPI_LIST);
    plugins.ListBoxClear();
    for (int i = 0; m_spi && i < m_spi->GetCount(); ++i) {
        const String name = m_spi->GetPluginName(i);
        Brivox::SpiConfigurationDlgProc entry = nullptr;
        try {
            entry = m_spi->GetConfigurationDlg(i);
        } catch (const std::exception&) {
            // A plug-in without settings is still listed, with its buttons disabled.
        }
        m_pluginSettings[name] = entry;
        plugins.ListBoxAddString(name);
    }
    for (const int id : {IDC_PLUGIN_ARCHIVERS, IDC_PLUGIN_LOADERS, IDC_PLUGIN_SPI_LIST})
        Item(id).ListBoxSetCurSel(0);

    // Empty pieces are kept: an empty key shows one empty password, which saves as it was.
    const CCtrl passwords = Item(IDC_PLUGIN_PASSWORDS);
    passwords.ListBoxClear();
    passwords.ListBoxAddStrings(config.GetString(L"ArcPassAutoTry").Split(std::vector<wchar_t>{L'\n'}));

    CConfigDialogTabBase::Load(config);
    UpdateButtonStates();
}

void CConfigDialogPluginPage::Save(CConfig& config)
{
    SaveOrder(Item(IDC_PLUGIN_ARCHIVERS), Archivers, config,
              L"書庫読み込み設定の保存時にエラーが発生しました");
    SaveOrder(Item(IDC_PLUGIN_LOADERS), Loaders, config, L"画像読み込み設定の保存時にエラーが発生しました");
    config.SetString(L"ArcPassAutoTry",
                     Brivox::JoinStrings(L"\n", Item(IDC_PLUGIN_PASSWORDS).ListBoxGetStrings()));
    CConfigDialogTabBase::Save(config);
}

void CConfigDialogPluginPage::UpdateButtonStates()
{
    Item(IDC_PLUGIN_ARCHIVER_CONFIG)
        .Enable(IsArchiverDll(Item(IDC_PLUGIN_ARCHIVERS).ListBoxGetSelectedText()));
    const bool hasSettings = SelectedPluginEntry() != nullptr;
    Item(IDC_PLUGIN_SPI_ABOUT).Enable(hasSettings);
    Item(IDC_PLUGIN_SPI_CONFIG).Enable(hasSettings);
    Item(IDC_PLUGIN_SUSIE_ROOT).Enable(m_susieInstallRoot.Length() > 0);
}

void CConfigDialogPluginPage::MoveSelected(int listId, int step)
{
    const CCtrl list = Item(listId);
    const int selected = list.ListBoxGetCurSel();
    const int target = selected + step;
    if (selected < 0 || target < 0 || target >= list.ListBoxGetCount())
        return;
    const String text = list.ListBoxGetText(selected);
    list.ListBoxDeleteString(selected);
    list.ListBoxInsertString(target, text);
    list.ListBoxSetCurSel(target);
}

void CConfigDialogPluginPage::ShowArchiverConfig()
{
    // A reader made for the dialog alone: without its DLL it shows nothing.
    if (const auto reader = MakeArchiverDllReader(Item(IDC_PLUGIN_ARCHIVERS).ListBoxGetSelectedText()))
        reader->ShowConfigDialog(GetWindow().GetHandle());
}

void CConfigDialogPluginPage::ShowPluginDialog(int function)
{
    if (const Brivox::SpiConfigurationDlgProc entry = SelectedPluginEntry())
        entry(GetWindow().GetHandle(), function);
}

Brivox::SpiConfigurationDlgProc CConfigDialogPluginPage::SelectedPluginEntry() const
{
    const CCtrl plugins = Item(IDC_PLUGIN_SPI_LIST);
    if (plugins.ListBoxGetCurSel() < 0)
        return nullptr;
    const auto found = m_pluginSettings.find(plugins.ListBoxGetSelectedText());
    return found == m_pluginSettings.end() ? nullptr : found->second;
}
