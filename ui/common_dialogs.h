#pragma once
// The system's file, folder and colour dialogs in their narrow forms: long-lived objects that keep
// their settings between runs. Each runs modally on the calling thread with the cursor shown.

#include "foundation/string.h"
#include "foundation/win32.h"

#include <commdlg.h>
#include <shlobj.h>

#include <vector>

namespace Brivox {

// Replaces by '-' every character of the NUL-terminated ANSI name that a file name cannot hold:
// slash, backslash, double quote, '*', '<', '>', '?', '|', and every ':' from the fourth byte on
// (so a drive's colon stays). The trail byte of a Shift_JIS character is stepped over, since it
// may have the value of '\\' or '|'.
void CleanInvalidFileName(char* name);

// Opens one file, several files, or saves.
class CFileDialog
{
public:
    CFileDialog();
    virtual ~CFileDialog() = default;
    CFileDialog(const CFileDialog&) = delete;
    CFileDialog& operator=(const CFileDialog&) = delete;

    void SetOwner(HWND owner) { m_block.hwndOwner = owner; }
    void SetTitle(const String& title) { m_title = title; }
    // Used by the next run only.
    void SetInitialFileName(const String& name) { m_initialFileName = name; }
    // The nearest existing folder of path.
    void SetFolder(const String& path);
    // Given with or without its leading '.'.
    void SetDefaultExtension(const String& extension);

    void ClearFilters();
    // Listed as "description (pattern)". The filter the user chose stays chosen for the next run.
    void AddFilter(const String& description, const String& pattern);

    // True when the user chose, false when the user cancelled. A failure of the dialog throws
    // RuntimeException "なんかエラーっぽいです。エラーコード：<code>". The process's current folder
    // is the same afterwards.
    bool ShowOpen() { return Run(Mode::Open); }
    bool ShowOpenMulti() { return Run(Mode::OpenMulti); }
    bool ShowSave() { return Run(Mode::Save); }

    // The full paths chosen by the last successful run.
    const String& GetResult(int index) const { return m_results[index]; }
    const std::vector<String>& GetResults() const { return m_results; }
    // Where the next run starts; after a run, the folder of the chosen files, with a separator.
    const String& GetFolder() const { return m_folder; }

protected:
    // The system's dialog. On false, error receives CommDlgExtendedError (0: the user cancelled).
    virtual bool CallDialog(OPENFILENAMEA& block, bool save, DWORD& error);

private:
    enum class Mode
    {
        Open,
        OpenMulti,
        Save,
    };

    bool Run(Mode mode);
    bool ShowOnce(bool save, DWORD& error);
    void ReadResults(const char* buffer, bool multi);

    OPENFILENAMEA m_block;
    String m_folder;
    String m_title;
    String m_defaultExtension;
    String m_initialFileName;
    std::vector<String> m_results;
    // Pairs of NUL-terminated texts and one NUL more after the last pair.
    std::vector<char> m_filter;
};

// Chooses a folder. Needs COM on the thread that shows it, which Show provides.
class CFolderDialog
{
public:
    // Throws RuntimeException "COMの初期化に失敗しました" when COM cannot be initialised.
    CFolderDialog();
    ~CFolderDialog();
    CFolderDialog(const CFolderDialog&) = delete;
    CFolderDialog& operator=(const CFolderDialog&) = delete;

    void SetOwner(HWND owner) { m_block.hwndOwner = owner; }
    void SetTitle(const String& title) { m_title = title; }
    void SetFolder(const String& folder) { m_folder = folder; }
    const String& GetFolder() const { return m_folder; }

    // Starts on the nearest existing folder; true when a folder was chosen, which GetFolder then
    // gives with a trailing separator.
    bool Show();

private:
    static int CALLBACK BrowseCallback(HWND dialog, UINT message, LPARAM parameter, LPARAM data);

    BROWSEINFOA m_block;
    IMalloc* m_malloc = nullptr;
    String m_title;
    String m_folder;
};

// Chooses a colour; keeps the current colour and the sixteen custom colours between runs.
class CColorDialog
{
public:
    static constexpr int CustomColorCount = 16;

    CColorDialog();
    CColorDialog(const CColorDialog&) = delete;
    CColorDialog& operator=(const CColorDialog&) = delete;

    void SetOwner(HWND owner) { block_.hwndOwner = owner; }
    COLORREF GetColor() const { return color_; }
    void SetColor(COLORREF color) { color_ = color; }
    COLORREF GetCustomColor(int index) const { return custom_[index]; }
    void SetCustomColor(int index, COLORREF color) { custom_[index] = color; }

    // Modal; true on OK, and the current colour becomes the chosen one.
    bool Show();

    // The current colour and then the custom colours, each as "r,g,b " (the last one too).
    String ToString() const;
    // Reads ToString's text, or the older "r:g:b-r:g:b..." form. Missing or unreadable numbers
    // read as 0; custom colours the text does not reach keep their values.
    void FromString(const String& text);

private:
    CHOOSECOLORA block_;
    COLORREF color_ = 0;
    COLORREF custom_[CustomColorCount] = {};
};

} // namespace Brivox
