#include "viewer/main_menu.h"

#include "viewer/command_table.h"

#include <vector>

CMainMenu::CMainMenu()
{
    const auto categories = CommandCategories();
    std::vector<Brivox::ToolStripMenuItem*> submenus;
    for (const SCommandCategory& category : categories) {
        auto* submenu = new Brivox::ToolStripMenuItem(SubmenuCaption(category));
        GetItems().Add(submenu);
        submenus.push_back(submenu);
    }
    for (const SCommandRow& row : CommandTable()) {
        Brivox::ToolStripItemCollection& items =
            submenus.at(static_cast<std::size_t>(row.category))->GetItems();
        if (row.startsGroup && items.GetCount() > 0)
            items.Add(new Brivox::ToolStripSeparator());
        items.Add(new Brivox::ToolStripTextItem(row.id, MenuText(row)));
    }
}
