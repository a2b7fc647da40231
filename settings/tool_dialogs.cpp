#include "settings/tool_dialogs.h"

#include "document/history.h"
#include "formats/png_loader.h"
#include "foundation/config.h"
#include "foundation/file_name.h"
#include "foundation/file_system.h"
#include "foundation/text_file.h"
#include "resources/tool_dialog_ids.h"
#include "ui/control_binding.h"
#include "ui/ctrl.h"
#include "ui/radio_button_group.h"
#include "ui/window.h"

#include <commctrl.h>
#include <zlib.h>

#include <algorithm>
#include <cwctype>
#include <exception>

using Brivox::CCtrl;
using Brivox::CWnd;
using Brivox::SMessage;
using Brivox::String;

namespace {

// The zlib licence text as zlib.h carries it, extracted at build time: zlibNoticeText.
#include "zlib_notice.inc"

const int editIds[] = {
    IDC_TOOL_EDIT,      IDC_INFO_FILE_NAME,        IDC_INFO_LIST_INDEX,        IDC_INFO_FILE_SIZE,
    IDC_INFO_MODIFIED,  IDC_INFO_IMAGE_KIND,       IDC_INFO_IMAGE_SIZE,        IDC_INFO_ZOOM,
    IDC_INFO_SELECTION, IDC_INFO_SELECTION_COLORS, IDC_INFO_SELECTION_AVERAGE, IDC_INFO_MD5};

String WithCrLf(const String& text)
{
    return text.ReplaceAll(L"\n", L"\r\n");
}

bool IsCommand(const SMessage& message, int id)
{
    return message.message == WM_COMMAND && LOWORD(message.wParam) == id;
}

// The dialogs that close on any button release over them, as on OK or Cancel.
bool ClosesOnClickOrButton(const SMessage& message)
{
    switch (message.message) {
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
        return true;
    case WM_COMMAND:
        return LOWORD(message.wParam) == IDOK || LOWORD(message.wParam) == IDCANCEL;
    default:
        return false;
    }
}

void CloseDialog(const SMessage& message)
{
    ::SendMessageA(message.hwnd, WM_CLOSE, 0, 0);
}

// The number n of a history file name "%02d.knb" of n; -1 for any other name, "003.knb" among
// them, which no number is written as.
int HistoryNumberOf(const String& name)
{
    const int stemLength = name.Length() - 4;
    if (stemLength < 2 || stemLength > 9 || !name.Substring(stemLength).EqualsIgnoreCase(L".knb"))
        return -1;
    int number = 0;
    for (int i = 0; i < stemLength; ++i) {
        if (name[i] < L'0' || name[i] > L'9')
            return -1;
        number = number * 10 + (name[i] - L'0');
    }
    return Brivox::FormatString(L"%02d", number) == name.Substring(0, stemLength) ? number : -1;
}

} // namespace

void PlaceToolDialog(const CWnd& dialog, HWND owner)
{
    if (!owner)
        return;
    dialog.CentreOverClientOf(CWnd(owner));
}

// ---- Slide show

CSlideShowDialog::CSlideShowDialog(IToolDialogOwner& owner)
    : CResourceDialogBase(IDD_SLIDE_SHOW), m_owner(owner)
{
}

bool CSlideShowDialog::HookMessage(SMessage& message)
{
    const CWnd& dialog = GetWindow();
    switch (message.message) {
    case WM_INITDIALOG:
        m_confirmed = false;
        PlaceToolDialog(dialog, m_owner.GetToolDialogWindow());
        dialog.GetDlgItem(IDC_SLIDE_UPDOWN).UpDownSetRange(5000, 500).UpDownSetStep(100);
        Load();
        return true;
    case WM_COMMAND:
        if (IsCommand(message, IDOK)) {
            m_confirmed = true;
            Save();
            CloseDialog(message);
            return true;
        }
        if (IsCommand(message, IDCANCEL)) {
            CloseDialog(message);
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

void CSlideShowDialog::Load()
{
    Brivox::CConfig& settings = m_owner.GetToolDialogSettings();
    const CWnd& dialog = GetWindow();
    Brivox::ApplyIntToEdit(settings.BindInt(L"SlideShowFreq"), dialog.GetDlgItem(IDC_TOOL_EDIT));
    Brivox::RadioButtonGroup(dialog, IDC_SLIDE_FORWARD, IDC_SLIDE_BACKWARD)
        .Select(settings.GetInt(L"SlideShowDist"));
    Brivox::ApplyBoolToCheckBox(settings.BindBool(L"SlideShowStopWithLast"),
                                dialog.GetDlgItem(IDC_SLIDE_STOP_LAST));
    Brivox::ApplyBoolToCheckBox(settings.BindBool(L"SlideShowStopWithCommand"),
                                dialog.GetDlgItem(IDC_SLIDE_STOP_COMMAND));
}

void CSlideShowDialog::Save()
{
    Brivox::CConfig& settings = m_owner.GetToolDialogSettings();
    const CWnd& dialog = GetWindow();
    // Read as typed: a number outside the up-down's range is kept, text that is none stores 0.
    Brivox::ReadIntFromEdit(settings.BindInt(L"SlideShowFreq"), dialog.GetDlgItem(IDC_TOOL_EDIT));
    Brivox::ReadIntFromRadioGroup(settings.BindInt(L"SlideShowDist"),
                                  Brivox::RadioButtonGroup(dialog, IDC_SLIDE_FORWARD, IDC_SLIDE_BACKWARD));
    Brivox::ReadBoolFromCheckBox(settings.BindBool(L"SlideShowStopWithLast"),
                                 dialog.GetDlgItem(IDC_SLIDE_STOP_LAST));
    Brivox::ReadBoolFromCheckBox(settings.BindBool(L"SlideShowStopWithCommand"),
                                 dialog.GetDlgItem(IDC_SLIDE_STOP_COMMAND));
}

// ---- Password

CPassDialog::CPassDialog(IPasswordDialogOwner& owner, const String& archiveName)
    : CResourceDialogBase(IDD_PASSWORD), m_owner(owner), m_archiveName(archiveName)
{
}

bool CPassDialog::HookMessage(SMessage& message)
{
    switch (message.message) {
    case WM_INITDIALOG:
        m_confirmed = false;
        GetWindow().GetDlgItem(IDC_PASS_ARCHIVE).SetText(m_archiveName);
        LoadMask();
        return true;
    case WM_COMMAND:
        if (IsCommand(message, IDC_PASS_MASK)) {
            UpdateMask();
            return true;
        }
        if (IsCommand(message, IDOK)) {
            m_confirmed = true;
            m_password = GetWindow().GetDlgItem(IDC_TOOL_EDIT).GetText();
            SaveMask();
            CloseDialog(message);
            return true;
        }
        if (IsCommand(message, IDCANCEL)) {
            CloseDialog(message);
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

void CPassDialog::LoadMask()
{
    GetWindow().GetDlgItem(IDC_PASS_MASK).SetChecked(m_owner.GetArcPassMask());
    UpdateMask();
}

void CPassDialog::UpdateMask()
{
    const CWnd& dialog = GetWindow();
    dialog.GetDlgItem(IDC_TOOL_EDIT).SetPasswordMode(dialog.GetDlgItem(IDC_PASS_MASK).IsChecked());
}

void CPassDialog::SaveMask()
{
    m_owner.HandOverArcPassMask(GetWindow().GetDlgItem(IDC_PASS_MASK).IsChecked());
}

// ---- History

std::vector<HistoryEntry> ListHistoryEntries(const String& folder, int count)
{
    std::vector<HistoryEntry> entries;
    if (count <= 0)
        return entries;
    std::vector<String> files;
    try {
        files = Brivox::ListFiles(Brivox::CFileName::AppendSeparator(folder) + L"*.knb", 0);
    } catch (const std::exception&) {
        return entries; // no folder, no history
    }
    for (const String& path : files) {
        const int number = HistoryNumberOf(Brivox::CFileName::GetFileName(path));
        if (number < 0 || number >= count)
            continue;
        try {
            const std::vector<String> lines =
                Brivox::ReadTextFile(path).Split(Brivox::MakeStringList(L"\r\n", L"\n", L"\r"));
            if (lines.size() >= 2 && lines[0] == L"[knbookmark/ver:1]" && lines[1] == L"current:")
                entries.push_back({number, lines.size() > 2 ? lines[2] : String()});
        } catch (const std::exception&) {
            // An unreadable file is left out; the others still count.
        }
    }
    std::sort(entries.begin(), entries.end(),
              [](const HistoryEntry& a, const HistoryEntry& b) { return a.number < b.number; });
    return entries;
}

CHistoryDialog::CHistoryDialog(IToolDialogOwner& owner) : CResourceDialogBase(IDD_HISTORY), m_owner(owner) {}

bool CHistoryDialog::HookMessage(SMessage& message)
{
    switch (message.message) {
    case WM_INITDIALOG:
        m_confirmed = false;
        PlaceToolDialog(GetWindow(), m_owner.GetToolDialogWindow());
        FillList();
        return true;
    case WM_COMMAND:
        if (IsCommand(message, IDOK)) {
            const CCtrl list = GetWindow().GetDlgItem(IDC_HISTORY_LIST);
            const int selected = list.ListViewGetSelectedIndex();
            m_confirmed = selected >= 0;
            if (m_confirmed)
                m_chosen = Brivox::StringToInt(list.ListViewGetItemText(selected, 0));
            CloseDialog(message);
            return true;
        }
        if (IsCommand(message, IDCANCEL)) {
            CloseDialog(message);
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

void CHistoryDialog::FillList()
{
    const CCtrl list = GetWindow().GetDlgItem(IDC_HISTORY_LIST);
    list.ListViewSetExtendedStyle(LVS_EX_FULLROWSELECT);
    list.ListViewAddColumn(String(), 24, 0);
    list.ListViewAddColumn(L"ファイル名", list.GetClientSizeWithScrollBars().cx - 24, 0);
    Brivox::CConfig& settings = m_owner.GetToolDialogSettings();
    const String folder = GetHistoryFolder(settings.GetRaw(L"HistoryDir"));
    for (const HistoryEntry& entry : ListHistoryEntries(folder, settings.GetInt(L"HistoryMax"))) {
        const int row = list.ListViewAddItem(Brivox::FormatString(L"%02d", entry.number), -1);
        list.ListViewSetItemText(row, 1, entry.current);
    }
    if (list.ListViewGetItemCount() > 0)
        list.ListViewSelectItem(0, true);
}

// ---- Version

String GetJpegNoticeText()
{
    return L"This software is based in part on the work of the Independent JPEG Group.";
}

String GetPngNoticeText()
{
    return WithCrLf(Brivox::GetPngVersionText());
}

String GetZlibNoticeText()
{
    const std::string version = ::zlibVersion();
    return WithCrLf(L"zlib " + String(std::wstring(version.begin(), version.end())) + L"\n" + zlibNoticeText);
}

CVersionDialog::CVersionDialog(IToolDialogOwner& owner, const String& buildText, const String& report)
    : CResourceDialogBase(IDD_VERSION), m_owner(owner), m_buildText(buildText), m_report(report)
{
}

bool CVersionDialog::HookMessage(SMessage& message)
{
    const CWnd& dialog = GetWindow();
    if (message.message == WM_INITDIALOG) {
        PlaceToolDialog(dialog, m_owner.GetToolDialogWindow());
        dialog.GetDlgItem(IDC_VERSION_PROGRAM).SetText(L"Kanoru  " + m_buildText);
        dialog.GetDlgItem(IDC_VERSION_JPEG).SetText(GetJpegNoticeText());
        dialog.GetDlgItem(IDC_VERSION_PNG).SetText(GetPngNoticeText());
        dialog.GetDlgItem(IDC_VERSION_ZLIB).SetText(GetZlibNoticeText());
        dialog.GetDlgItem(IDC_TOOL_EDIT).SetText(m_report);
        // Left to the system, which then chooses the focus.
        return false;
    }
    if (ClosesOnClickOrButton(message)) {
        CloseDialog(message);
        return true;
    }
    if (message.message == WM_CLOSE) {
        GetWindow().Destroy();
        return true;
    }
    return false;
}

// ---- Image information

CImageInfoDialog::CImageInfoDialog(IToolDialogOwner& owner)
    : CResourceDialogBase(IDD_IMAGE_INFO), m_owner(owner)
{
}

bool CImageInfoDialog::HookMessage(SMessage& message)
{
    const CWnd& dialog = GetWindow();
    if (message.message == WM_INITDIALOG) {
        PlaceToolDialog(dialog, m_owner.GetToolDialogWindow());
        const std::size_t count = std::min(m_lines.size(), std::size(editIds));
        for (std::size_t i = 0; i < count; ++i)
            dialog.GetDlgItem(editIds[i]).SetText(m_lines[i]);
        return true;
    }
    if (ClosesOnClickOrButton(message)) {
        CloseDialog(message);
        return true;
    }
    if (message.message == WM_CLOSE) {
        GetWindow().Destroy();
        return true;
    }
    return false;
}
