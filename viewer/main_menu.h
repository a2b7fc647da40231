#pragma once
// The main window's menu bar: one submenu per command category, one item per command in table
// order, a separator wherever a menu group begins.

#include "ui/menu.h"

class CMainMenu : public Brivox::ToolStrip
{
public:
    CMainMenu();
};
