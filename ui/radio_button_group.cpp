#include "ui/radio_button_group.h"

#include "ui/wnd.h"

namespace Brivox {

RadioButtonGroup::RadioButtonGroup(HWND dialog) : m_dialog(dialog) {}

RadioButtonGroup::RadioButtonGroup(const CWnd& dialog, int id1, int id2) : m_dialog(dialog.GetHandle())
{
    Add(id1).Add(id2);
}

RadioButtonGroup::RadioButtonGroup(const CWnd& dialog, int id1, int id2, int id3, int id4, int id5, int id6,
                                   int id7)
    : m_dialog(dialog.GetHandle())
{
    for (const int id : {id1, id2, id3, id4, id5, id6, id7})
        Add(id);
}

RadioButtonGroup& RadioButtonGroup::Add(int itemId)
{
    m_buttons.push_back(::GetDlgItem(m_dialog, itemId));
    return *this;
}

int RadioButtonGroup::GetSelected() const
{
    for (std::size_t i = 0; i < m_buttons.size(); ++i)
        if (::SendMessageA(m_buttons[i], BM_GETCHECK, 0, 0) == BST_CHECKED)
            return static_cast<int>(i);
    return m_defaultIndex;
}

void RadioButtonGroup::Select(int index) const
{
    if (index < 0 || index >= static_cast<int>(m_buttons.size()))
        return;
    for (const HWND button : m_buttons)
        ::SendMessageA(button, BM_SETCHECK, 0, 0);
    ::SendMessageA(m_buttons[static_cast<std::size_t>(index)], BM_SETCHECK, 1, 0);
}

} // namespace Brivox
