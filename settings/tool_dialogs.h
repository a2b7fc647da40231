#pragma once
// The small modal dialogs of the main window's commands: the slide-show settings, the password of
// an encrypted archive entry, the choice of a history file, the version and the facts of an image.
// Each reports its outcome through its own members, never through the modal result.

#include "foundation/string.h"
#include "foundation/win32.h"
#include "ui/resource_dialog.h"

#include <vector>

namespace Brivox {
class CConfig;
}

// What the dialogs of the main window's thread need of it.
class IToolDialogOwner
{
public:
    virtual ~IToolDialogOwner() = default;
    // The window the dialogs are centred on; null leaves them where the system puts them.
    virtual HWND GetToolDialogWindow() const = 0;
    virtual Brivox::CConfig& GetToolDialogSettings() = 0;
};

// What the password dialog needs of the main window. The dialog runs on a page loader's thread,
// where the settings store must not be touched, so the mask comes from the main window's settings
// snapshot and a new value goes back to be stored on the main window's thread.
class IPasswordDialogOwner
{
public:
    virtual ~IPasswordDialogOwner() = default;
    virtual bool GetArcPassMask() const = 0;
    // Called on the dialog's thread.
    virtual void HandOverArcPassMask(bool mask) = 0;
};

// Centres the dialog on the owner's client area, kept inside a monitor; nothing without an owner.
void PlaceToolDialog(const Brivox::CWnd& dialog, HWND owner);

class CSlideShowDialog : public Brivox::CResourceDialogBase
{
public:
    explicit CSlideShowDialog(IToolDialogOwner& owner);

    bool HookMessage(Brivox::SMessage& message) override;
    bool IsConfirmed() const { return m_confirmed; }

    void Load();
    void Save();

private:
    IToolDialogOwner& m_owner;
    bool m_confirmed = false;
};

class CPassDialog : public Brivox::CResourceDialogBase
{
public:
    CPassDialog(IPasswordDialogOwner& owner, const Brivox::String& archiveName);

    bool HookMessage(Brivox::SMessage& message) override;
    bool IsConfirmed() const { return m_confirmed; }
    // The text typed; empty until OK.
    const Brivox::String& GetPassword() const { return m_password; }

    void LoadMask();
    void UpdateMask();
    void SaveMask();

private:
    IPasswordDialogOwner& m_owner;
    Brivox::String m_archiveName;
    Brivox::String m_password;
    bool m_confirmed = false;
};

// One row of the history list: a file "%02d.knb" of the history series.
struct HistoryEntry
{
    int number;
    // The page on show when the history was written.
    Brivox::String current;
};

// The history files of the folder numbered below count, in ascending order: only those whose first
// two lines are "[knbookmark/ver:1]" and "current:". The folder is listed rather than every number
// tried, so a huge count costs no more than the files present. Unreadable files are left out.
std::vector<HistoryEntry> ListHistoryEntries(const Brivox::String& folder, int count);

class CHistoryDialog : public Brivox::CResourceDialogBase
{
public:
    explicit CHistoryDialog(IToolDialogOwner& owner);

    bool HookMessage(Brivox::SMessage& message) override;
    bool IsConfirmed() const { return m_confirmed; }
    int GetChosenNumber() const { return m_chosen; }

private:
    void FillList();

    IToolDialogOwner& m_owner;
    bool m_confirmed = false;
    int m_chosen = 0;
};

// The notices of the image libraries built in, with CR LF line ends as statics show them.
Brivox::String GetJpegNoticeText();
Brivox::String GetPngNoticeText();
Brivox::String GetZlibNoticeText();

class CVersionDialog : public Brivox::CResourceDialogBase
{
public:
    // The build text follows the program's name; the report fills the edit.
    CVersionDialog(IToolDialogOwner& owner, const Brivox::String& buildText, const Brivox::String& report);

    bool HookMessage(Brivox::SMessage& message) override;

private:
    IToolDialogOwner& m_owner;
    Brivox::String m_buildText;
    Brivox::String m_report;
};

class CImageInfoDialog : public Brivox::CResourceDialogBase
{
public:
    explicit CImageInfoDialog(IToolDialogOwner& owner);

    bool HookMessage(Brivox::SMessage& message) override;
    // The twelve lines in the order of the edits: folder, file name, list position, file size,
    // last change, image kind, image size, zoom, selection, its colours, its average, the MD5.
    void SetLines(const std::vector<Brivox::String>& lines) { m_lines = lines; }

private:
    IToolDialogOwner& m_owner;
    std::vector<Brivox::String> m_lines;
};
