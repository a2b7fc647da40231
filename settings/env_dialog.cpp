#include "settings/env_dialog.h"

#include "foundation/command_line.h"
#include "foundation/extension_list.h"
#include "foundation/file_system.h"
#include "foundation/shell.h"
#include "foundation/shortcut.h"
#include "foundation/thread_state.h"
#include "resources/env_dialog_ids.h"
#include "ui/control_binding.h"
#include "ui/ctrl.h"
#include "ui/dialog_tooltip.h"
#include "ui/window.h"

#include <initializer_list>
#include <vector>

namespace Brivox {

namespace {

const wchar_t* const ImageClass = L"zo2-img-files";
const wchar_t* const BookmarkClass = L"zo2-bkmk-files";
const wchar_t* const Verb = L"open-by-zo2";

struct Box
{
    int id;
    const wchar_t* extension;
    const wchar_t* key;
};

// Associated with the image class.
const Box relationBoxes[] = {
    {IDC_ENV_JPG, L"jpg", L"RelationJPG"},    {IDC_ENV_PNG, L"png", L"RelationPNG"},
    {IDC_ENV_BMP, L"bmp", L"RelationBMP"},    {IDC_ENV_GIF, L"gif", L"RelationGIF"},
    {IDC_ENV_ARGB, L"argb", L"RelationARGB"}, {IDC_ENV_CBZ, L"cbz", L"RelationCBZ"},
    {IDC_ENV_CBR, L"cbr", L"RelationCBR"},
};

// The verb on the extension's ProgID.
const Box menuBoxes[] = {
    {IDC_ENV_MENU_ZIP, L"zip", L"MenuZIP"}, {IDC_ENV_MENU_RAR, L"rar", L"MenuRAR"},
    {IDC_ENV_MENU_LZH, L"lzh", L"MenuLZH"}, {IDC_ENV_MENU_GCA, L"gca", L"MenuGCA"},
    {IDC_ENV_MENU_CBZ, L"cbz", L"MenuCBZ"}, {IDC_ENV_MENU_CBR, L"cbr", L"MenuCBR"},
};

const wchar_t* const TypeTip = L"拡張子（「.」などは付けず「bmp」のように）を入力します。\r\n"
                               L"追加ボタンを押さないと反映されないので、注意してください。";

struct Tip
{
    std::vector<int> ids;
    const wchar_t* text;
};

const Tip tips[] = {
    {{IDC_ENV_ASSOCIATE},
     L"このオプションがオフの場合とキャンセルボタンを押した場合とは、関連付けに関する処理を一切行いません。"},
    {{IDC_ENV_JPG, IDC_ENV_PNG, IDC_ENV_BMP, IDC_ENV_ARGB, IDC_ENV_GIF},
     L"それぞれの拡張子をKanoruに関連付けます。"},
    {{IDC_ENV_OTHER_EXTENSION, IDC_ENV_MENU_OTHER_EXTENSION}, TypeTip},
    {{IDC_ENV_OTHERS, IDC_ENV_MENU_OTHERS}, L"関連付けを行う拡張子の一覧。"},
    {{IDC_ENV_ADD, IDC_ENV_MENU_ADD}, L"入力欄の拡張子を登録します。"},
    {{IDC_ENV_DELETE, IDC_ENV_MENU_DELETE}, L"リストで選択されている拡張子を削除します。"},
    {{IDC_ENV_MENU_ZIP, IDC_ENV_MENU_RAR, IDC_ENV_MENU_LZH, IDC_ENV_MENU_GCA},
     L"それぞれの拡張子の右クリックメニューに「Kanoruで開く」を追加します。"},
    {{IDC_ENV_MENU_FOLDER}, L"フォルダの右クリックメニューに「Kanoruで開く」を追加します。"},
    {{IDC_ENV_KNB}, L"拡張子 knb をKanoruブックマークファイルとして関連付けます。"},
    {{IDC_ENV_SENDTO}, L"右クリックメニューの「送る」にKanoruへのショートカットを作成します。"},
    {{IDC_ENV_DESC}, L"「ファイルの種類」として表示される文字列を設定します。"},
    {{IDC_ENV_MENU_NAME}, L"右クリックメニューに表示される文字列を設定します。"},
    {{IDC_ENV_DESC_KNB},
     L"ブックマークファイル(*.knb)の「ファイルの種類」として表示される文字列を設定します。"},
};

String SendToShortcutPath()
{
    return GetSendToFolder() + L"Kanoru2.lnk";
}

bool HasVerb(const String& extension)
{
    const String progId = GetExtensionProgId(extension);
    return progId.Length() > 0 && ShellVerbExists(progId, Verb);
}

// Every control of the association, right-click and bookmark groups.
bool IsAssociationControl(int id)
{
    return (id >= 1005 && id <= 1019) || (id >= 1021 && id <= 1025) || (id >= 1027 && id <= 1032);
}

} // namespace

CEnvConfigDialog::CEnvConfigDialog(CConfig& config, IRegistrarHost& host)
    : CResourceDialogBase(IDD_ENV_CONFIG), m_config(config), m_host(host)
{
}

bool CEnvConfigDialog::IsChecked(int id) const
{
    return GetWindow().GetDlgItem(id).IsChecked();
}

bool CEnvConfigDialog::HookMessage(SMessage& message)
{
    switch (message.message) {
    case WM_INITDIALOG:
        OnInitDialog();
        message.result = TRUE;
        return true;
    case WM_COMMAND:
        OnCommand(LOWORD(message.wParam));
        message.result = TRUE;
        return true;
    case WM_CLOSE:
        GetWindow().Destroy();
        message.result = TRUE;
        return true;
    default:
        return false;
    }
}

void CEnvConfigDialog::OnInitDialog()
{
    const CWindow& window = GetWindow();
    const HWND parent = window.GetParent();
    if (parent && ::IsWindow(parent))
        window.CentreOverClientOf(CWnd(parent));
    Load();
    CDialogTooltip& tooltip = CDialogTooltip::Attach(GetWindow());
    for (const Tip& tip : tips)
        for (const int id : tip.ids)
            tooltip.AddTool(id, tip.text);
}

void CEnvConfigDialog::Load()
{
    const CWindow& window = GetWindow();
    window.GetDlgItem(IDC_ENV_ASSOCIATE).SetChecked(false);
    for (const Box& box : relationBoxes)
        window.GetDlgItem(box.id).SetChecked(IsExtensionProgId(box.extension, ImageClass));
    window.GetDlgItem(IDC_ENV_KNB).SetChecked(IsExtensionProgId(L"knb", BookmarkClass));
    for (const Box& box : menuBoxes)
        window.GetDlgItem(box.id).SetChecked(HasVerb(box.extension));
    window.GetDlgItem(IDC_ENV_MENU_FOLDER).SetChecked(ShellVerbExists(L"Folder", Verb));
    window.GetDlgItem(IDC_ENV_SENDTO).SetChecked(FileExists(SendToShortcutPath()));

    ApplyListToControl(m_config.BindString(L"EnvSetOthers"), window.GetDlgItem(IDC_ENV_OTHERS));
    ApplyListToControl(m_config.BindString(L"EnvRClickOthers"), window.GetDlgItem(IDC_ENV_MENU_OTHERS));
    ApplyStringToControl(m_config.BindRaw(L"EnvDesc"), window.GetDlgItem(IDC_ENV_DESC));
    ApplyStringToControl(m_config.BindRaw(L"EnvMenuName"), window.GetDlgItem(IDC_ENV_MENU_NAME));
    ApplyStringToControl(m_config.BindRaw(L"EnvDescKnb"), window.GetDlgItem(IDC_ENV_DESC_KNB));
    UpdateEnables();
}

void CEnvConfigDialog::UpdateEnables()
{
    const bool enable = IsChecked(IDC_ENV_ASSOCIATE);
    for (int id = 1005; id <= 1032; ++id)
        if (IsAssociationControl(id))
            GetWindow().GetDlgItem(id).Enable(enable);
}

void CEnvConfigDialog::OnCommand(int id)
{
    switch (id) {
    case IDOK:
        Apply();
        GetWindow().Close();
        break;
    case IDCANCEL:
        GetWindow().Close();
        break;
    case IDC_ENV_ASSOCIATE:
        UpdateEnables();
        break;
    case IDC_ENV_ADD:
        AddExtension(IDC_ENV_OTHER_EXTENSION, IDC_ENV_OTHERS);
        break;
    case IDC_ENV_MENU_ADD:
        AddExtension(IDC_ENV_MENU_OTHER_EXTENSION, IDC_ENV_MENU_OTHERS);
        break;
    case IDC_ENV_DELETE:
        GetWindow().GetDlgItem(IDC_ENV_OTHERS).ListBoxDeleteSelected();
        break;
    case IDC_ENV_MENU_DELETE:
        GetWindow().GetDlgItem(IDC_ENV_MENU_OTHERS).ListBoxDeleteSelected();
        break;
    default:
        break;
    }
}

void CEnvConfigDialog::AddExtension(int editId, int listId)
{
    const CCtrl edit = GetWindow().GetDlgItem(editId);
    const String extension = ValidateExtensionList(edit.GetText());
    GetWindow().GetDlgItem(listId).ListBoxAddString(extension);
    edit.SetText(L"");
}

void CEnvConfigDialog::Apply()
{
    const CWindow& window = GetWindow();
    const String setOthersOld = m_config.GetString(L"EnvSetOthers");
    const String rClickOthersOld = m_config.GetString(L"EnvRClickOthers");

    ReadListFromControl(m_config.BindString(L"EnvSetOthers"), window.GetDlgItem(IDC_ENV_OTHERS));
    ReadListFromControl(m_config.BindString(L"EnvRClickOthers"), window.GetDlgItem(IDC_ENV_MENU_OTHERS));
    ReadStringFromControl(m_config.BindRaw(L"EnvMenuName"), window.GetDlgItem(IDC_ENV_MENU_NAME));
    ReadStringFromControl(m_config.BindRaw(L"EnvDesc"), window.GetDlgItem(IDC_ENV_DESC));
    ReadStringFromControl(m_config.BindRaw(L"EnvDescKnb"), window.GetDlgItem(IDC_ENV_DESC_KNB));

    const ComScope com;
    const String shortcut = SendToShortcutPath();
    if (IsChecked(IDC_ENV_SENDTO)) {
        ShortcutInfo info;
        info.targetPath = GetModuleFileNameString();
        CreateShortcut(shortcut, info);
    } else if (FileExists(shortcut)) {
        DeleteTree(shortcut, false);
    }

    if (!IsChecked(IDC_ENV_ASSOCIATE))
        return;
    CKeyValueFile store;
    store[L"EnvSetOthersOld"].SetEscaped(setOthersOld);
    store[L"EnvRClickOthersOld"].SetEscaped(rClickOthersOld);
    store[L"ModuleFileName"].SetString(GetModuleFileNameString());
    for (const wchar_t* key : {L"EnvMenuName", L"EnvDesc", L"EnvDescKnb"})
        store[key].SetString(m_config.GetRaw(key));
    for (const wchar_t* key : {L"EnvSetOthers", L"EnvRClickOthers"})
        store[key].SetEscaped(m_config.GetString(key));
    for (const Box& box : relationBoxes)
        store[box.key].SetBool(IsChecked(box.id));
    for (const Box& box : menuBoxes)
        store[box.key].SetBool(IsChecked(box.id));
    store[L"RelationKNB"].SetBool(IsChecked(IDC_ENV_KNB));
    store[L"MenuFolder"].SetBool(IsChecked(IDC_ENV_MENU_FOLDER));
    RunAssociationRegistrar(store, m_host);
}

void RunEnvironmentSettings(HWND owner, CConfig& config, const std::function<void()>& saveSettings,
                            const std::function<void()>& applySettings, IRegistrarHost& host)
{
    {
        CEnvConfigDialog dialog(config, host);
        dialog.DoModal(owner);
    }
    saveSettings();
    applySettings();
    if (owner)
        CWnd(owner).ForceForeground();
}

} // namespace Brivox
