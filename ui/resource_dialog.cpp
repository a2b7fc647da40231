#include "ui/resource_dialog.h"

#include "ui/modal_cursor.h"

namespace Brivox {

CResourceDialogBase::CResourceDialogBase(int templateId)
    : m_templateId(templateId), m_window(std::make_unique<CWindow>())
{
    m_window->GetHookList()->Add(this);
}

CResourceDialogBase::~CResourceDialogBase()
{
    m_window.reset();
}

int CResourceDialogBase::DoModal(HWND parent)
{
    CursorShown cursor;
    CModalDialogParameter parameter(static_cast<WORD>(m_templateId), parent);
    parameter.activate = true;
    const int result = m_window->RunModalDialog(parameter);
    if (parent)
        CWnd(parent).ForceForeground();
    return result;
}

} // namespace Brivox
