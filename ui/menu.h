#pragma once
// Menu bars built in code from a tree of items, and a plain menu handle through which items are
// enabled, checked and renamed by command id.

#include "foundation/string.h"
#include "foundation/win32.h"

#include <memory>
#include <vector>

namespace Brivox {

class ToolStripItem;

// The items of one menu, one per menu item and in the menu's order: every item is appended.
class ToolStripItemCollection
{
public:
    explicit ToolStripItemCollection(HMENU menu) : m_menu(menu) {}
    ToolStripItemCollection(const ToolStripItemCollection&) = delete;
    ToolStripItemCollection& operator=(const ToolStripItemCollection&) = delete;

    // Takes ownership of an item made with new and appends it to the menu.
    void Add(ToolStripItem* item);
    void InsertItem(const std::shared_ptr<ToolStripItem>& item);
    // index must be valid.
    ToolStripItem* GetItem(int index) const { return m_items[index].get(); }
    int GetCount() const { return static_cast<int>(m_items.size()); }
    HMENU GetMenu() const { return m_menu; }

private:
    HMENU m_menu;
    std::vector<std::shared_ptr<ToolStripItem>> m_items;
};

class ToolStripItem
{
public:
    enum Kind
    {
        KindSubmenu = 0,
        KindCommand = 1,
        KindSeparator = 2,
    };

    ToolStripItem() = default;
    virtual ~ToolStripItem() = default;
    ToolStripItem(const ToolStripItem&) = delete;
    ToolStripItem& operator=(const ToolStripItem&) = delete;

    virtual int GetKind() const = 0;

    bool enabled = true;
};

// A submenu: its own pop-up menu, whose items are added to GetItems().
class ToolStripMenuItem : public ToolStripItem
{
public:
    explicit ToolStripMenuItem(const String& caption);
    ~ToolStripMenuItem() override;

    int GetKind() const override { return KindSubmenu; }
    HMENU GetPopup() const { return m_popup; }
    const String& GetCaption() const { return m_caption; }
    ToolStripItemCollection& GetItems() { return *m_items; }

private:
    HMENU m_popup;
    String m_caption;
    std::unique_ptr<ToolStripItemCollection> m_items;
};

// A command: choosing it sends WM_COMMAND with its command id.
class ToolStripTextItem : public ToolStripItem
{
public:
    ToolStripTextItem(int commandId, const String& caption) : m_commandId(commandId), m_caption(caption) {}

    int GetKind() const override { return KindCommand; }
    int GetCommandId() const { return m_commandId; }
    const String& GetCaption() const { return m_caption; }

private:
    int m_commandId;
    String m_caption;
};

class ToolStripSeparator : public ToolStripItem
{
public:
    int GetKind() const override { return KindSeparator; }
};

// A menu bar; its handle is attached to a window through CWindowParameter::menu or CWnd::SetMenu.
class ToolStrip
{
public:
    ToolStrip();
    // The window may have destroyed the bar already; destroying it again fails quietly.
    ~ToolStrip();
    ToolStrip(const ToolStrip&) = delete;
    ToolStrip& operator=(const ToolStrip&) = delete;

    HMENU GetHandle() const { return m_menu; }
    ToolStripItemCollection& GetItems() { return *m_items; }

private:
    HMENU m_menu;
    std::unique_ptr<ToolStripItemCollection> m_items;
};

// A menu handle; it owns the menu only when Load made it, and then only until Destroy.
class CMenuHandle
{
public:
    CMenuHandle() = default;
    explicit CMenuHandle(HMENU menu) : m_menu(menu) {}

    HMENU GetHandle() const { return m_menu; }
    void SetHandle(HMENU menu) { m_menu = menu; }

    // A menu resource of the program.
    void Load(int resourceId);
    void Destroy();

    // Items are found by command id, also inside submenus. Texts pass through the ANSI code page.
    void EnableItem(int commandId, bool enable) const;
    void CheckItem(int commandId, bool check) const;
    // Empty for an id the menu lacks.
    String GetItemText(int commandId) const;
    void SetItemText(int commandId, const String& text) const;

private:
    HMENU m_menu = nullptr;
};

} // namespace Brivox
