#pragma once
// A plain holder of one control's handle whose operations send the control's messages. Texts go
// into and come out of those messages in the ANSI code page; only the window text itself uses the
// wide functions where the system has them.

#include "foundation/geometry.h"
#include "foundation/string.h"
#include "foundation/win32.h"

#include <vector>

namespace Brivox {

// Where the selection of a list view of perPage visible rows from top goes to be shown about a
// quarter page away from the edge it approached; -1 without a selection. Within [0, count - 1].
int ListViewScrollTarget(int top, int perPage, int selected, int count);

class CCtrl
{
public:
    CCtrl() = default;
    explicit CCtrl(HWND hwnd) : m_hwnd(hwnd) {}

    HWND GetHandle() const { return m_hwnd; }

    bool IsEnabled() const;
    const CCtrl& Enable(bool enable) const;
    const CCtrl& SetFocus() const;
    String GetText() const;
    const CCtrl& SetText(const String& text) const;
    // The text read as atoi reads it: its leading number, 0 when there is none.
    int GetInt() const;
    const CCtrl& SetInt(int value) const;
    // Moves and sizes the control (in its parent's client coordinates); the z-order stays.
    const CCtrl& SetRect(const CRect& rect) const;
    CSize GetClientSize() const;
    CSize GetClientSizeWithScrollBars() const;

    // Buttons.
    bool IsChecked() const;
    const CCtrl& SetChecked(bool checked) const;

    // Edit boxes.
    const CCtrl& SetPasswordMode(bool password) const;
    // Not undoable.
    const CCtrl& ReplaceSelection(const String& text) const;

    // List boxes.
    int ListBoxGetCount() const;
    int ListBoxGetCurSel() const;
    const CCtrl& ListBoxSetCurSel(int index) const;
    const CCtrl& ListBoxAddString(const String& text) const;
    const CCtrl& ListBoxInsertString(int index, const String& text) const;
    const CCtrl& ListBoxAddStrings(const std::vector<String>& texts) const;
    // Empty for an index the list does not hold.
    String ListBoxGetText(int index) const;
    String ListBoxGetSelectedText() const;
    std::vector<String> ListBoxGetStrings() const;
    const CCtrl& ListBoxDeleteString(int index) const;
    const CCtrl& ListBoxClear() const;
    // Then selects the same index, or the new last item when the last one went.
    const CCtrl& ListBoxDeleteSelected() const;
    // One item per piece of the text split at ';', empty pieces dropped.
    const CCtrl& SetLinesSplit(const String& text) const;
    // Every item joined with ';', empty items kept.
    String GetLinesJoined() const;

    // Combo boxes.
    int ComboGetCurSel() const;
    const CCtrl& ComboSetCurSel(int index) const;
    const CCtrl& ComboInsertString(int index, const String& text) const;
    const CCtrl& ComboAddString(const String& text) const;

    // List views. Alignment 0 is left, 1 centred, anything else right.
    const CCtrl& ListViewInsertColumn(int index, const String& title, int width, int alignment) const;
    const CCtrl& ListViewSetColumn(int index, const String& title, int width, int alignment) const;
    const CCtrl& ListViewAddColumn(const String& title, int width, int alignment) const;
    // No image when image < 0.
    const CCtrl& ListViewInsertItem(int index, const String& text, int image) const;
    // Returns the new item's index.
    int ListViewAddItem(const String& text, int image) const;
    const CCtrl& ListViewSetItemText(int item, int subItem, const String& text) const;
    String ListViewGetItemText(int item, int subItem) const;
    const CCtrl& ListViewDeleteAllItems() const;
    int ListViewGetItemCount() const;
    // For lists that hold no data of their own.
    const CCtrl& ListViewSetItemCount(int count) const;
    const CCtrl& ListViewUpdate(int index) const;
    // Selected and focused, or neither.
    const CCtrl& ListViewSelectItem(int index, bool selected) const;
    // The first selected item; -1 when none is.
    int ListViewGetSelectedIndex() const;
    // Nothing without a selection.
    const CCtrl& ListViewScrollToSelection() const;
    // Every extended style bit replaced.
    const CCtrl& ListViewSetExtendedStyle(DWORD style) const;

    // Track bars.
    int TrackBarGetPos() const;
    const CCtrl& TrackBarSetPos(int position) const;
    const CCtrl& TrackBarSetRange(int minimum, int maximum) const;
    const CCtrl& TrackBarSetTicFreq(int frequency) const;
    const CCtrl& TrackBarSetPageSize(int size) const;
    const CCtrl& TrackBarSetLineSize(int size) const;

    // Up-down controls. The control reads the first value as its upper limit.
    const CCtrl& UpDownSetRange(int first, int second) const;
    const CCtrl& UpDownSetStep(int step) const;

    // Progress bars: posted, so that any thread may report progress.
    const CCtrl& ProgressSetRange(int minimum, int maximum) const;
    const CCtrl& ProgressSetPos(int position) const;

protected:
    LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;

private:
    HWND m_hwnd = nullptr;
};

} // namespace Brivox
