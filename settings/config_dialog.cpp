#include "settings/config_dialog.h"

#include "settings/config_dialog_draw_page.h"
#include "settings/config_dialog_extern_page.h"
#include "settings/config_dialog_gui_page.h"
#include "settings/config_dialog_ids.h"
#include "settings/config_dialog_image_page.h"
#include "settings/config_dialog_list_page.h"
#include "settings/config_dialog_plugin_page.h"
#include "settings/config_dialog_whole_page.h"

using Brivox::CConfig;

int ConfigDialogStartPage(int commandId)
{
    switch (commandId) {
    case 0xF840:
        return 0;
    case 0xF87A:
        return 1;
    case 0xF88E:
        return 2;
    case 0xF88F:
        return 3;
    case 0xF87B:
        return 4;
    case 0xF842:
        return 5;
    case 0xF880:
        return 6;
    default:
        return -1;
    }
}

void ShowConfigDialog(HWND owner, CConfig& config, const Brivox::CSpi* spi, int startPage)
{
    CConfigDialog dialog(config, spi, startPage);
    dialog.DoModal(owner);
}

CConfigDialog::CConfigDialog(CConfig& config, const Brivox::CSpi* spi, int startPage)
    : CResourceDialogBase(IDD_CONFIG), m_config(config), m_spi(spi), m_startPage(startPage)
{
}

CConfigDialog::~CConfigDialog()
{
    m_tabCtrl.reset();
}

CConfigDialogTabBase* CConfigDialog::GetPage(int index) const
{
    // Every page the tab control holds came from CreatePages.
    return m_tabCtrl ? static_cast<CConfigDialogTabBase*>(m_tabCtrl->GetPage(index)) : nullptr;
}

std::vector<CConfigDialog::SPage> CConfigDialog::CreatePages()
{
    std::vector<SPage> pages;
    pages.push_back({L"表示", std::make_shared<CConfigDialogGUIPage>()});
    pages.push_back({L"画像", std::make_shared<CConfigDialogImagePage>()});
    pages.push_back({L"描画", std::make_shared<CConfigDialogDrawPage>()});
    pages.push_back({L"リスト", std::make_shared<CConfigDialogListPage>()});
    pages.push_back({L"全般", std::make_shared<CConfigDialogWholePage>()});
    pages.push_back({L"プラグイン", std::make_shared<CConfigDialogPluginPage>(m_spi)});
    pages.push_back({L"外部ビューア", std::make_shared<CConfigDialogExternPage>()});
    return pages;
}

bool CConfigDialog::HookMessage(Brivox::SMessage& message)
{
    switch (message.message) {
    case WM_INITDIALOG:
        OnInitDialog();
        return true;
    case WM_COMMAND:
        if (LOWORD(message.wParam) == IDOK) {
            OnOk();
            return true;
        }
        if (LOWORD(message.wParam) == IDCANCEL) {
            OnCancel();
            return true;
        }
        return false;
    case WM_CLOSE:
        GetWindow().Destroy();
        return true;
    default:
        return false;
    }
}

void CConfigDialog::OnInitDialog()
{
    CentreOverParent();
    m_tabCtrl.reset();
    m_tabCtrl = std::make_unique<Brivox::CTabCtrl>(this, GetWindow(), IDC_CONFIG_TAB);
    // Each page is made, and sees its WM_INITDIALOG, before the next one is added.
    for (SPage& page : CreatePages())
        m_tabCtrl->AddPage(page.caption, std::move(page.page));
    for (int i = 0; i < m_tabCtrl->GetPageCount(); ++i)
        if (CConfigDialogTabBase* page = GetPage(i))
            page->Load(m_config);
    // Any other index opens the first page rather than none.
    const bool known = m_startPage >= 0 && m_startPage < m_tabCtrl->GetPageCount();
    m_tabCtrl->SelectPage(known ? m_startPage : 0);
}

void CConfigDialog::CentreOverParent()
{
    const Brivox::CWindow& dialog = GetWindow();
    const HWND parent = dialog.GetParent();
    dialog.CentreOverClientOf(Brivox::CWnd(parent ? parent : ::GetDesktopWindow()));
}

void CConfigDialog::OnOk()
{
    // Every page saves into a copy, which the store takes only when all of them succeeded: a page
    // that fails leaves the store as it was, and its exception goes to the dialog's error box
    // while the dialog stays open.
    if (!m_tabCtrl)
        return;
    CConfig edited = m_config;
    for (int i = 0; i < m_tabCtrl->GetPageCount(); ++i)
        if (CConfigDialogTabBase* page = GetPage(i))
            page->Save(edited);
    m_config = edited;
    OnCancel();
}

void CConfigDialog::OnCancel()
{
    m_tabCtrl.reset();
    if (::IsWindow(GetWindow().GetHandle()))
        GetWindow().Close();
}
