#include "ui/menu.h"

#include "foundation/encoding.h"

#include <cassert>
#include <cstring>
#include <string>

namespace Brivox {

namespace {

// The size of the record the running build was compiled with: the 32-bit figure makes every
// call fail on x86_64.
MENUITEMINFOA NarrowItemInfo(UINT mask)
{
    MENUITEMINFOA info{};
    info.cbSize = sizeof(info);
    info.fMask = mask;
    return info;
}

UINT StateOf(const ToolStripItem& item)
{
    return item.enabled ? 0 : MFS_GRAYED;
}

// Submenus and commands carry a caption; the bar keeps characters outside the ANSI code page on
// NT by inserting them in the wide form.
bool InsertCaptionedItem(HMENU menu, UINT position, UINT mask, UINT state, UINT id, HMENU submenu,
                         const String& caption)
{
    if (IsWindowsNT()) {
        String text = caption;
        MENUITEMINFOW info{};
        info.cbSize = sizeof(info);
        info.fMask = mask;
        info.fType = MFT_STRING;
        info.fState = state;
        info.wID = id;
        info.hSubMenu = submenu;
        info.dwTypeData = const_cast<wchar_t*>(text.CStr());
        return ::InsertMenuItemW(menu, position, TRUE, &info) != FALSE;
    }
    std::string text = GetDefaultEncoding().ToMultiByte(caption);
    MENUITEMINFOA info = NarrowItemInfo(mask);
    info.fType = MFT_STRING;
    info.fState = state;
    info.wID = id;
    info.hSubMenu = submenu;
    info.dwTypeData = text.data();
    return ::InsertMenuItemA(menu, position, TRUE, &info) != FALSE;
}

} // namespace

void ToolStripItemCollection::Add(ToolStripItem* item)
{
    InsertItem(std::shared_ptr<ToolStripItem>(item));
}

void ToolStripItemCollection::InsertItem(const std::shared_ptr<ToolStripItem>& item)
{
    m_items.push_back(item);
    // Past the last existing item: the menu item is appended.
    const UINT position = static_cast<UINT>(m_items.size());
    bool inserted = true;
    switch (item->GetKind()) {
    case ToolStripItem::KindSeparator: {
        MENUITEMINFOA info = NarrowItemInfo(MIIM_TYPE);
        info.fType = MFT_SEPARATOR;
        inserted = ::InsertMenuItemA(m_menu, position, TRUE, &info) != FALSE;
        break;
    }
    case ToolStripItem::KindCommand: {
        const auto& command = static_cast<const ToolStripTextItem&>(*item);
        inserted =
            InsertCaptionedItem(m_menu, position, MIIM_STATE | MIIM_ID | MIIM_TYPE, StateOf(command),
                                static_cast<UINT>(command.GetCommandId()), nullptr, command.GetCaption());
        break;
    }
    case ToolStripItem::KindSubmenu: {
        const auto& submenu = static_cast<const ToolStripMenuItem&>(*item);
        inserted = InsertCaptionedItem(m_menu, position, MIIM_STATE | MIIM_SUBMENU | MIIM_TYPE,
                                       StateOf(submenu), 0, submenu.GetPopup(), submenu.GetCaption());
        break;
    }
    default:
        break;
    }
    assert(inserted);
    (void)inserted;
}

ToolStripMenuItem::ToolStripMenuItem(const String& caption)
    : m_popup(::CreatePopupMenu()), m_caption(caption),
      m_items(std::make_unique<ToolStripItemCollection>(m_popup))
{
    assert(m_popup);
}

ToolStripMenuItem::~ToolStripMenuItem()
{
    // Fails quietly when the pop-up went with the menu that held it.
    ::DestroyMenu(m_popup);
}

ToolStrip::ToolStrip() : m_menu(::CreateMenu()), m_items(std::make_unique<ToolStripItemCollection>(m_menu))
{
    assert(m_menu);
}

ToolStrip::~ToolStrip()
{
    // Destroys the attached pop-ups too; fails quietly when the window already destroyed the bar.
    ::DestroyMenu(m_menu);
    m_items.reset();
}

void CMenuHandle::Load(int resourceId)
{
    m_menu = ::LoadMenuA(::GetModuleHandleW(nullptr), MAKEINTRESOURCEA(resourceId));
    assert(m_menu);
}

void CMenuHandle::Destroy()
{
    const BOOL destroyed = ::DestroyMenu(m_menu);
    assert(destroyed);
    (void)destroyed;
    m_menu = nullptr;
}

void CMenuHandle::EnableItem(int commandId, bool enable) const
{
    const BOOL previous = ::EnableMenuItem(m_menu, static_cast<UINT>(commandId),
                                           MF_BYCOMMAND | (enable ? MF_ENABLED : MF_GRAYED));
    assert(previous != -1);
    (void)previous;
}

void CMenuHandle::CheckItem(int commandId, bool check) const
{
    MENUITEMINFOA info = NarrowItemInfo(MIIM_STATE);
    if (!::GetMenuItemInfoA(m_menu, static_cast<UINT>(commandId), FALSE, &info)) {
        assert(!"menu item not found");
        return;
    }
    if (check)
        info.fState |= MFS_CHECKED;
    else
        info.fState &= ~static_cast<UINT>(MFS_CHECKED);
    const BOOL set = ::SetMenuItemInfoA(m_menu, static_cast<UINT>(commandId), FALSE, &info);
    assert(set);
    (void)set;
}

String CMenuHandle::GetItemText(int commandId) const
{
    MENUITEMINFOA info = NarrowItemInfo(MIIM_TYPE);
    // A missing item leaves nothing to read: its text is empty.
    if (!::GetMenuItemInfoA(m_menu, static_cast<UINT>(commandId), FALSE, &info) ||
        (info.fType & MFT_SEPARATOR))
        return String();
    std::string text(info.cch + 2, '\0');
    info = NarrowItemInfo(MIIM_TYPE);
    info.dwTypeData = text.data();
    info.cch = static_cast<UINT>(text.size() - 1);
    if (!::GetMenuItemInfoA(m_menu, static_cast<UINT>(commandId), FALSE, &info))
        return String();
    text.resize(std::strlen(text.c_str()));
    return GetDefaultEncoding().ToString(text);
}

void CMenuHandle::SetItemText(int commandId, const String& text) const
{
    std::string ansi = GetDefaultEncoding().ToMultiByte(text);
    MENUITEMINFOA info = NarrowItemInfo(MIIM_TYPE);
    info.fType = MFT_STRING;
    info.dwTypeData = ansi.data();
    const BOOL set = ::SetMenuItemInfoA(m_menu, static_cast<UINT>(commandId), FALSE, &info);
    assert(set);
    (void)set;
}

} // namespace Brivox
