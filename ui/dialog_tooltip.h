#pragma once
// Tool tips over the controls of one dialog. The object lives exactly as long as the dialog's
// window: it is attached while the dialog handles WM_INITDIALOG and goes, with its tip window, when
// the dialog is destroyed.

#include "foundation/string.h"
#include "foundation/win32.h"
#include "ui/msg_hook.h"

#include <list>
#include <memory>
#include <string>

namespace Brivox {

class CWindow;

class CDialogTooltip : public IMsgHooker
{
    struct Token
    {
    };

public:
    // Makes the tip window for the dialog and joins the dialog's hook list; the dialog's
    // WM_DESTROY deletes the object.
    static CDialogTooltip& Attach(CWindow& dialog);

    // Only through Attach, which make_unique needs a public constructor for.
    CDialogTooltip(Token, CWindow& dialog);
    // Destroys the tip window.
    ~CDialogTooltip() override;

    // A tip over the dialog's control with this item id, centred below an edit box. Nothing when
    // the tip window or the control is missing.
    void AddTool(int itemId, const String& text);
    HWND GetTipWindow() const { return m_tip; }

    // WM_DESTROY of the dialog deletes this object; every message goes on to the other hookers.
    bool HookMessage(SMessage& message) override;

private:
    HWND m_dialog;
    HWND m_tip;
    // The tip control keeps pointers to these texts: a list never moves its elements.
    std::list<std::string> m_texts;
    std::unique_ptr<CDialogTooltip> m_self;
};

} // namespace Brivox
