#include "ui/ctrl.h"

#include "foundation/encoding.h"
#include "foundation/string_builder.h"
#include "ui/wnd.h"

#include <commctrl.h>

#include <algorithm>
#include <string>

namespace Brivox {

namespace {

std::string ToAnsi(const String& text)
{
    return GetDefaultEncoding().ToMultiByte(text);
}

String FromAnsi(const char* text)
{
    return GetDefaultEncoding().ToString(std::string(text));
}

LPARAM TextParam(const std::string& text)
{
    return reinterpret_cast<LPARAM>(text.c_str());
}

// The list view's own text pointer type is not const.
char* MutableText(std::string& text)
{
    return text.data();
}

LVCOLUMNA Column(int index, std::string& title, int width, int alignment)
{
    LVCOLUMNA column{};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    column.fmt = alignment == 0 ? LVCFMT_LEFT : alignment == 1 ? LVCFMT_CENTER : LVCFMT_RIGHT;
    column.cx = width;
    column.pszText = MutableText(title);
    column.iSubItem = index;
    return column;
}

} // namespace

int ListViewScrollTarget(int top, int perPage, int selected, int count)
{
    if (selected < 0 || count <= 0)
        return -1;
    const int target =
        top + perPage / 4 < selected ? selected + (3 * perPage + 1) / 4 : selected - perPage / 4;
    // A target past either end would make the list refuse to scroll at all.
    return std::clamp(target, 0, count - 1);
}

LRESULT CCtrl::Send(UINT message, WPARAM wParam, LPARAM lParam) const
{
    return ::SendMessageA(m_hwnd, message, wParam, lParam);
}

bool CCtrl::IsEnabled() const
{
    return ::IsWindowEnabled(m_hwnd) != FALSE;
}

const CCtrl& CCtrl::Enable(bool enable) const
{
    ::EnableWindow(m_hwnd, enable ? TRUE : FALSE);
    return *this;
}

const CCtrl& CCtrl::SetFocus() const
{
    ::SetFocus(m_hwnd);
    return *this;
}

String CCtrl::GetText() const
{
    return CWnd(m_hwnd).GetText();
}

const CCtrl& CCtrl::SetText(const String& text) const
{
    CWnd(m_hwnd).SetText(text);
    return *this;
}

int CCtrl::GetInt() const
{
    return StringToInt(GetText());
}

const CCtrl& CCtrl::SetInt(int value) const
{
    return SetText(IntToString(value));
}

const CCtrl& CCtrl::SetRect(const CRect& rect) const
{
    ::SetWindowPos(m_hwnd, nullptr, rect.left, rect.top, rect.Width(), rect.Height(),
                   SWP_NOZORDER | SWP_NOACTIVATE);
    return *this;
}

CSize CCtrl::GetClientSize() const
{
    return CWnd(m_hwnd).GetClientSize();
}

CSize CCtrl::GetClientSizeWithScrollBars() const
{
    return CWnd(m_hwnd).GetClientSizeWithScrollBars();
}

bool CCtrl::IsChecked() const
{
    return Send(BM_GETCHECK) == BST_CHECKED;
}

const CCtrl& CCtrl::SetChecked(bool checked) const
{
    Send(BM_SETCHECK, checked ? 1 : 0);
    return *this;
}

const CCtrl& CCtrl::SetPasswordMode(bool password) const
{
    const LONG style = ::GetWindowLongA(m_hwnd, GWL_STYLE);
    ::SetWindowLongA(m_hwnd, GWL_STYLE,
                     password ? style | ES_PASSWORD : style & ~static_cast<LONG>(ES_PASSWORD));
    Send(EM_SETPASSWORDCHAR, password ? '*' : 0);
    CWnd(m_hwnd).Repaint();
    return *this;
}

const CCtrl& CCtrl::ReplaceSelection(const String& text) const
{
    const std::string ansi = ToAnsi(text);
    Send(EM_REPLACESEL, FALSE, TextParam(ansi));
    return *this;
}

int CCtrl::ListBoxGetCount() const
{
    return static_cast<int>(Send(LB_GETCOUNT));
}

int CCtrl::ListBoxGetCurSel() const
{
    return static_cast<int>(Send(LB_GETCURSEL));
}

const CCtrl& CCtrl::ListBoxSetCurSel(int index) const
{
    Send(LB_SETCURSEL, static_cast<WPARAM>(index));
    return *this;
}

const CCtrl& CCtrl::ListBoxAddString(const String& text) const
{
    const std::string ansi = ToAnsi(text);
    Send(LB_ADDSTRING, 0, TextParam(ansi));
    return *this;
}

const CCtrl& CCtrl::ListBoxInsertString(int index, const String& text) const
{
    const std::string ansi = ToAnsi(text);
    Send(LB_INSERTSTRING, static_cast<WPARAM>(index), TextParam(ansi));
    return *this;
}

const CCtrl& CCtrl::ListBoxAddStrings(const std::vector<String>& texts) const
{
    for (const String& text : texts)
        ListBoxAddString(text);
    return *this;
}

String CCtrl::ListBoxGetText(int index) const
{
    const LRESULT length = Send(LB_GETTEXTLEN, static_cast<WPARAM>(index));
    if (length == LB_ERR)
        return String();
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    if (Send(LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data())) == LB_ERR)
        return String();
    return FromAnsi(text.c_str());
}

String CCtrl::ListBoxGetSelectedText() const
{
    return ListBoxGetText(ListBoxGetCurSel());
}

std::vector<String> CCtrl::ListBoxGetStrings() const
{
    std::vector<String> texts;
    const int count = ListBoxGetCount();
    for (int i = 0; i < count; ++i)
        texts.push_back(ListBoxGetText(i));
    return texts;
}

const CCtrl& CCtrl::ListBoxDeleteString(int index) const
{
    Send(LB_DELETESTRING, static_cast<WPARAM>(index));
    return *this;
}

const CCtrl& CCtrl::ListBoxClear() const
{
    for (int i = ListBoxGetCount() - 1; i >= 0; --i)
        ListBoxDeleteString(i);
    return *this;
}

const CCtrl& CCtrl::ListBoxDeleteSelected() const
{
    const int selected = ListBoxGetCurSel();
    if (selected < 0)
        return *this;
    ListBoxDeleteString(selected);
    const int count = ListBoxGetCount();
    if (count > 0)
        ListBoxSetCurSel(std::min(selected, count - 1));
    return *this;
}

const CCtrl& CCtrl::SetLinesSplit(const String& text) const
{
    ListBoxClear();
    return ListBoxAddStrings(text.Split(std::vector<wchar_t>{L';'}, true));
}

String CCtrl::GetLinesJoined() const
{
    return JoinStrings(L";", ListBoxGetStrings());
}

int CCtrl::ComboGetCurSel() const
{
    return static_cast<int>(Send(CB_GETCURSEL));
}

const CCtrl& CCtrl::ComboSetCurSel(int index) const
{
    Send(CB_SETCURSEL, static_cast<WPARAM>(index));
    return *this;
}

const CCtrl& CCtrl::ComboInsertString(int index, const String& text) const
{
    const std::string ansi = ToAnsi(text);
    Send(CB_INSERTSTRING, static_cast<WPARAM>(index), TextParam(ansi));
    return *this;
}

const CCtrl& CCtrl::ComboAddString(const String& text) const
{
    return ComboInsertString(-1, text);
}

const CCtrl& CCtrl::ListViewInsertColumn(int index, const String& title, int width, int alignment) const
{
    std::string ansi = ToAnsi(title);
    LVCOLUMNA column = Column(index, ansi, width, alignment);
    Send(LVM_INSERTCOLUMNA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&column));
    return *this;
}

const CCtrl& CCtrl::ListViewSetColumn(int index, const String& title, int width, int alignment) const
{
    std::string ansi = ToAnsi(title);
    LVCOLUMNA column = Column(index, ansi, width, alignment);
    Send(LVM_SETCOLUMNA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&column));
    return *this;
}

const CCtrl& CCtrl::ListViewAddColumn(const String& title, int width, int alignment) const
{
    const HWND header = reinterpret_cast<HWND>(Send(LVM_GETHEADER));
    const int index = header ? static_cast<int>(::SendMessageA(header, HDM_GETITEMCOUNT, 0, 0)) : -1;
    return ListViewInsertColumn(index, title, width, alignment);
}

const CCtrl& CCtrl::ListViewInsertItem(int index, const String& text, int image) const
{
    std::string ansi = ToAnsi(text);
    LVITEMA item{};
    item.mask = LVIF_TEXT;
    item.iItem = index;
    item.pszText = MutableText(ansi);
    if (image >= 0) {
        item.mask |= LVIF_IMAGE;
        item.iImage = image;
    }
    Send(LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
    return *this;
}

int CCtrl::ListViewAddItem(const String& text, int image) const
{
    const int index = ListViewGetItemCount();
    ListViewInsertItem(index, text, image);
    return index;
}

const CCtrl& CCtrl::ListViewSetItemText(int item, int subItem, const String& text) const
{
    std::string ansi = ToAnsi(text);
    LVITEMA record{};
    record.mask = LVIF_TEXT;
    record.iItem = item;
    record.iSubItem = subItem;
    record.pszText = MutableText(ansi);
    Send(LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&record));
    return *this;
}

String CCtrl::ListViewGetItemText(int item, int subItem) const
{
    char buffer[1024] = {};
    LVITEMA record{};
    record.iSubItem = subItem;
    record.pszText = buffer;
    record.cchTextMax = sizeof(buffer);
    Send(LVM_GETITEMTEXTA, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&record));
    return FromAnsi(buffer);
}

const CCtrl& CCtrl::ListViewDeleteAllItems() const
{
    Send(LVM_DELETEALLITEMS);
    return *this;
}

int CCtrl::ListViewGetItemCount() const
{
    return static_cast<int>(Send(LVM_GETITEMCOUNT));
}

const CCtrl& CCtrl::ListViewSetItemCount(int count) const
{
    Send(LVM_SETITEMCOUNT, static_cast<WPARAM>(count));
    return *this;
}

const CCtrl& CCtrl::ListViewUpdate(int index) const
{
    Send(LVM_UPDATE, static_cast<WPARAM>(index));
    return *this;
}

const CCtrl& CCtrl::ListViewSelectItem(int index, bool selected) const
{
    LVITEMA item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = selected ? LVIS_SELECTED | LVIS_FOCUSED : 0;
    Send(LVM_SETITEMSTATE, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
    return *this;
}

int CCtrl::ListViewGetSelectedIndex() const
{
    const int count = ListViewGetItemCount();
    for (int i = 0; i < count; ++i)
        if (Send(LVM_GETITEMSTATE, static_cast<WPARAM>(i), LVIS_SELECTED) != 0)
            return i;
    return -1;
}

const CCtrl& CCtrl::ListViewScrollToSelection() const
{
    const int top = static_cast<int>(Send(LVM_GETTOPINDEX));
    const int perPage = static_cast<int>(Send(LVM_GETCOUNTPERPAGE));
    const int target = ListViewScrollTarget(top, perPage, ListViewGetSelectedIndex(), ListViewGetItemCount());
    if (target >= 0)
        Send(LVM_ENSUREVISIBLE, static_cast<WPARAM>(target), FALSE);
    return *this;
}

const CCtrl& CCtrl::ListViewSetExtendedStyle(DWORD style) const
{
    Send(LVM_SETEXTENDEDLISTVIEWSTYLE, 0, static_cast<LPARAM>(style));
    return *this;
}

int CCtrl::TrackBarGetPos() const
{
    return static_cast<int>(Send(TBM_GETPOS));
}

const CCtrl& CCtrl::TrackBarSetPos(int position) const
{
    Send(TBM_SETPOS, TRUE, position);
    return *this;
}

const CCtrl& CCtrl::TrackBarSetRange(int minimum, int maximum) const
{
    Send(TBM_SETRANGE, FALSE, MAKELPARAM(minimum, maximum));
    return *this;
}

const CCtrl& CCtrl::TrackBarSetTicFreq(int frequency) const
{
    Send(TBM_SETTICFREQ, static_cast<WPARAM>(frequency));
    return *this;
}

const CCtrl& CCtrl::TrackBarSetPageSize(int size) const
{
    Send(TBM_SETPAGESIZE, 0, size);
    return *this;
}

const CCtrl& CCtrl::TrackBarSetLineSize(int size) const
{
    Send(TBM_SETLINESIZE, 0, size);
    return *this;
}

const CCtrl& CCtrl::UpDownSetRange(int first, int second) const
{
    Send(UDM_SETRANGE, 0, MAKELPARAM(first, second));
    return *this;
}

const CCtrl& CCtrl::UpDownSetStep(int step) const
{
    UDACCEL accel{0, static_cast<UINT>(step)};
    Send(UDM_SETACCEL, 1, reinterpret_cast<LPARAM>(&accel));
    return *this;
}

const CCtrl& CCtrl::ProgressSetRange(int minimum, int maximum) const
{
    ::PostMessageA(m_hwnd, PBM_SETRANGE, 0, MAKELPARAM(minimum, maximum));
    return *this;
}

const CCtrl& CCtrl::ProgressSetPos(int position) const
{
    ::PostMessageA(m_hwnd, PBM_SETPOS, static_cast<WPARAM>(position), 0);
    return *this;
}

} // namespace Brivox
