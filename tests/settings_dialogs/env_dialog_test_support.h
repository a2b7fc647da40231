#pragma once
// Driving the association dialog from inside its own modal loop.
#include "settings/env_dialog.h"

#include <functional>
#include <utility>
#include <vector>

namespace EnvDialogTest {

// The dialog with a test's steps, each run from inside the dialog's own message loop once the one
// before has ended; a step that comes after the dialog closed never runs.
class ScriptedDialog : public Brivox::CEnvConfigDialog
{
public:
    using Step = std::function<void(HWND)>;

    ScriptedDialog(Brivox::CConfig& config, Brivox::IRegistrarHost& host, std::vector<Step> steps)
        : CEnvConfigDialog(config, host), m_steps(std::move(steps))
    {
    }

    bool HookMessage(Brivox::SMessage& message) override
    {
        if (message.message == RunStep) {
            const std::size_t step = message.wParam;
            m_steps[step](message.hwnd);
            if (step + 1 < m_steps.size())
                ::PostMessageA(message.hwnd, RunStep, step + 1, 0);
            return true;
        }
        const bool handled = CEnvConfigDialog::HookMessage(message);
        if (message.message == WM_INITDIALOG && !m_steps.empty())
            ::PostMessageA(message.hwnd, RunStep, 0, 0);
        return handled;
    }

private:
    static constexpr UINT RunStep = WM_APP + 17;
    std::vector<Step> m_steps;
};

inline void Command(HWND dialog, int id)
{
    ::SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(dialog, id)));
}

// A check box set as a click sets it, and its click told to the dialog.
inline void Tick(HWND dialog, int id, bool checked = true)
{
    ::SendDlgItemMessageA(dialog, id, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
    Command(dialog, id);
}

} // namespace EnvDialogTest
