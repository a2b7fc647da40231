#pragma once
// The base of every dialog made from a dialog template in the program's resources: it owns the
// dialog's window object and receives the dialog's messages as the second hooker, after the
// window object itself.

#include "foundation/win32.h"
#include "ui/msg_hook.h"
#include "ui/window.h"

#include <memory>

namespace Brivox {

class CResourceDialogBase : public IMsgHooker
{
public:
    explicit CResourceDialogBase(int templateId);
    // The window object goes first, then this hooker leaves every hook list.
    ~CResourceDialogBase() override;

    // Runs the dialog modally on the calling thread, with the cursor shown over it, and brings the
    // parent back to the foreground afterwards. Always 0: a dialog reports OK or Cancel through
    // members of its own. Throws Win32Exception "ダイアログの作成に失敗" when the dialog cannot be
    // made.
    int DoModal(HWND parent);

    CWindow& GetWindow() const { return *m_window; }
    int GetTemplateId() const { return m_templateId; }

private:
    int m_templateId;
    std::unique_ptr<CWindow> m_window;
};

} // namespace Brivox
