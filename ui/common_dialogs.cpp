#include "ui/common_dialogs.h"

#include "ui/modal_cursor.h"

#include "foundation/encoding.h"
#include "foundation/exception.h"
#include "foundation/file_name.h"
#include "foundation/file_system.h"
#include "foundation/thread_state.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

namespace Brivox {

namespace {

bool IsShiftJisLeadByte(unsigned char byte)
{
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

bool IsForbiddenInFileName(char ch, int position)
{
    switch (ch) {
    case '/':
    case '\\':
    case '"':
    case '*':
    case '<':
    case '>':
    case '?':
    case '|':
        return true;
    case ':':
        return position >= 3;
    default:
        return false;
    }
}


std::string ToAnsi(const String& text)
{
    return GetDefaultEncoding().ToMultiByte(text);
}

String FromAnsi(const char* text)
{
    return GetDefaultEncoding().ToString(std::string(text));
}

// The file dialog's answer is at most this long; two NULs more behind it keep every reading of
// the several-files answer inside the buffer whatever the dialog wrote.
constexpr DWORD FileBufferSize = 8192;

int Low8Bits(int value)
{
    return value & 0xFF;
}

// Reads "r<sep>g<sep>b"; what is missing or unreadable counts as 0.
COLORREF ReadColor(const String& item, const wchar_t* format)
{
    int red = 0;
    int green = 0;
    int blue = 0;
    std::swscanf(item.CStr(), format, &red, &green, &blue);
    return RGB(Low8Bits(red), Low8Bits(green), Low8Bits(blue));
}

} // namespace

void CleanInvalidFileName(char* name)
{
    for (int i = 0; name[i] != '\0'; ++i) {
        if (IsShiftJisLeadByte(static_cast<unsigned char>(name[i]))) {
            if (name[i + 1] == '\0')
                break;
            ++i;
        } else if (IsForbiddenInFileName(name[i], i)) {
            name[i] = '-';
        }
    }
}

CFileDialog::CFileDialog() : m_block{}, m_filter(1, '\0')
{
    m_block.lStructSize = sizeof(m_block);
    m_block.Flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST |
                    OFN_LONGNAMES | OFN_ENABLESIZING;
}

void CFileDialog::SetFolder(const String& path)
{
    m_folder = GetExistingAncestor(path);
}

void CFileDialog::SetDefaultExtension(const String& extension)
{
    m_defaultExtension = extension.Length() > 0 && extension[0] == L'.' ? extension.Substring(1) : extension;
}

void CFileDialog::ClearFilters()
{
    m_filter.assign(1, '\0');
}

void CFileDialog::AddFilter(const String& description, const String& pattern)
{
    const std::string shown = ToAnsi(description + L" (" + pattern + L")");
    const std::string matched = ToAnsi(pattern);
    m_filter.pop_back();
    m_filter.insert(m_filter.end(), shown.begin(), shown.end());
    m_filter.push_back('\0');
    m_filter.insert(m_filter.end(), matched.begin(), matched.end());
    m_filter.push_back('\0');
    m_filter.push_back('\0');
}

bool CFileDialog::CallDialog(OPENFILENAMEA& block, bool save, DWORD& error)
{
    const BOOL chosen = save ? ::GetSaveFileNameA(&block) : ::GetOpenFileNameA(&block);
    error = chosen ? 0 : ::CommDlgExtendedError();
    return chosen != FALSE;
}

bool CFileDialog::ShowOnce(bool save, DWORD& error)
{
    CursorShown cursor;
    return CallDialog(m_block, save, error);
}

bool CFileDialog::Run(Mode mode)
{
    // The dialog may change the current folder, and the program resolves relative names against it.
    const CurrentDirectoryKeeper currentFolder;
    if (m_folder.Length() > 0)
        SetCurrentDirectoryString(CFileName::TrimTrailingSeparator(m_folder));

    std::vector<char> buffer(FileBufferSize + 2, '\0');
    if (m_initialFileName.Length() > 0) {
        const std::string name = ToAnsi(m_initialFileName);
        std::copy_n(name.begin(), std::min<std::size_t>(name.size(), FileBufferSize - 1), buffer.begin());
        m_initialFileName = String();
    }

    const bool multi = mode == Mode::OpenMulti;
    if (multi)
        m_block.Flags |= OFN_EXPLORER | OFN_ALLOWMULTISELECT;
    else
        m_block.Flags &= ~static_cast<DWORD>(OFN_EXPLORER | OFN_ALLOWMULTISELECT);

    const std::string folder = ToAnsi(m_folder);
    const std::string title = ToAnsi(m_title);
    const std::string extension = ToAnsi(m_defaultExtension);
    m_block.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
    m_block.lpstrTitle = title.empty() ? nullptr : title.c_str();
    m_block.lpstrDefExt = extension.empty() ? nullptr : extension.c_str();
    m_block.lpstrFilter = m_filter.size() > 1 ? m_filter.data() : nullptr;
    m_block.lpstrFile = buffer.data();
    m_block.nMaxFile = FileBufferSize;

    const bool save = mode == Mode::Save;
    DWORD error = 0;
    bool chosen = ShowOnce(save, error);
    if (!chosen && error == FNERR_INVALIDFILENAME) {
        CleanInvalidFileName(buffer.data());
        chosen = ShowOnce(save, error);
    }
    // The texts above end with this run.
    m_block.lpstrInitialDir = m_block.lpstrTitle = m_block.lpstrDefExt = nullptr;
    m_block.lpstrFile = nullptr;

    if (chosen) {
        ReadResults(buffer.data(), multi);
        return true;
    }
    if (error != 0)
        throw RuntimeException(
            FormatString(L"なんかエラーっぽいです。エラーコード：%lu", static_cast<unsigned long>(error)));
    return false;
}

void CFileDialog::ReadResults(const char* buffer, bool multi)
{
    m_results.clear();
    const char* second = buffer + std::strlen(buffer) + 1;
    if (multi && *second != '\0') {
        // The folder, then each name, each ending with a NUL, and one NUL more.
        m_folder = CFileName::AppendSeparator(FromAnsi(buffer));
        for (const char* name = second; *name != '\0'; name += std::strlen(name) + 1)
            m_results.push_back(m_folder + FromAnsi(name));
        return;
    }
    m_results.push_back(FromAnsi(buffer));
    m_folder = CFileName::GetDirectory(m_results.front());
}

CFolderDialog::CFolderDialog() : m_block{}
{
    // COM is needed only while the dialog shows, on the thread that shows it, which need not be
    // this one: the count is not held beyond the constructor.
    const ComScope com;
    ::SHGetMalloc(&m_malloc);
    m_block.ulFlags = BIF_EDITBOX | BIF_NEWDIALOGSTYLE;
    m_block.lpfn = BrowseCallback;
    m_block.lParam = reinterpret_cast<LPARAM>(this);
}

CFolderDialog::~CFolderDialog()
{
    if (m_malloc)
        m_malloc->Release();
}

bool CFolderDialog::Show()
{
    const ComScope com;
    m_folder = GetExistingAncestor(m_folder);
    const std::string title = ToAnsi(m_title);
    m_block.lpszTitle = title.c_str();
    LPITEMIDLIST chosen;
    {
        CursorShown cursor;
        chosen = ::SHBrowseForFolderA(&m_block);
    }
    m_block.lpszTitle = nullptr;
    if (!chosen)
        return false;
    char path[MAX_PATH] = {};
    const bool named = ::SHGetPathFromIDListA(chosen, path) != FALSE;
    if (m_malloc)
        m_malloc->Free(chosen);
    if (!named)
        return false;
    m_folder = CFileName::AppendSeparator(FromAnsi(path));
    return true;
}

int CALLBACK CFolderDialog::BrowseCallback(HWND dialog, UINT message, LPARAM parameter, LPARAM data)
{
    auto* self = reinterpret_cast<CFolderDialog*>(data);
    switch (message) {
    case BFFM_INITIALIZED:
        if (self->m_folder.Length() > 0) {
            // A drive root keeps its separator: "C:" alone names the drive's current folder.
            const std::string folder = ToAnsi(CFileName::TrimTrailingSeparator(self->m_folder));
            ::SendMessageA(dialog, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(folder.c_str()));
        }
        break;
    case BFFM_SELCHANGED: {
        // A virtual item (no file-system path) cannot be the answer.
        bool existing = false;
        try {
            char path[MAX_PATH] = {};
            if (::SHGetPathFromIDListA(reinterpret_cast<LPCITEMIDLIST>(parameter), path) && path[0] != '\0')
                existing = IsDirectory(FromAnsi(path));
        } catch (...) {
            // Nothing may leave the system's callback; what cannot be read is no folder.
            existing = false;
        }
        ::SendMessageA(dialog, BFFM_ENABLEOK, 0, existing ? TRUE : FALSE);
        break;
    }
    default:
        break;
    }
    return 0;
}

CColorDialog::CColorDialog() : block_{}
{
    block_.lStructSize = sizeof(block_);
    block_.lpCustColors = custom_;
}

bool CColorDialog::Show()
{
    block_.Flags = CC_RGBINIT;
    block_.rgbResult = color_;
    BOOL chosen;
    {
        CursorShown cursor;
        chosen = ::ChooseColorA(&block_);
    }
    if (!chosen)
        return false;
    color_ = block_.rgbResult;
    return true;
}

String CColorDialog::ToString() const
{
    String text;
    auto append = [&text](COLORREF color) {
        text += FormatString(L"%d,%d,%d ", GetRValue(color), GetGValue(color), GetBValue(color));
    };
    append(color_);
    for (COLORREF color : custom_)
        append(color);
    return text;
}

void CColorDialog::FromString(const String& text)
{
    std::vector<String> items = text.Split(MakeCharList(L' '));
    const wchar_t* format = L"%d,%d,%d";
    if (items.size() == 1) {
        items = text.Split(MakeCharList(L'-'));
        format = L"%d:%d:%d";
    }
    color_ = ReadColor(items[0], format);
    for (std::size_t i = 1; i < items.size() && i <= CustomColorCount; ++i)
        custom_[i - 1] = ReadColor(items[i], format);
}

} // namespace Brivox
