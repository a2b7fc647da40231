#pragma once
// A row of radio buttons of a dialog read and set as one choice: the index of the ticked button.

#include "foundation/win32.h"

#include <vector>

namespace Brivox {

class CWnd;

class RadioButtonGroup
{
public:
    explicit RadioButtonGroup(HWND dialog);
    // The dialog's buttons with these item ids, in this order.
    RadioButtonGroup(const CWnd& dialog, int id1, int id2);
    RadioButtonGroup(const CWnd& dialog, int id1, int id2, int id3, int id4, int id5, int id6, int id7);

    RadioButtonGroup& Add(int itemId);
    // The first ticked button; the default index 0 when none is ticked.
    int GetSelected() const;
    // Ticks the button at index and clears the others; an index outside the group changes nothing.
    void Select(int index) const;

private:
    HWND m_dialog;
    std::vector<HWND> m_buttons;
    int m_defaultIndex = 0;
};

} // namespace Brivox
