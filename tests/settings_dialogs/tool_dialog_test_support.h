#pragma once
// Driving a tool dialog under test: steps run on the dialog's thread once it is up, and the
// commands and controls they work with.

#include "ui/ctrl.h"
#include "ui/msg_hook.h"
#include "ui/resource_dialog.h"
#include "ui/window.h"

#include <gtest/gtest.h>

#include <functional>
#include <utility>

namespace ToolDialogTest {

// Runs the test's steps on the dialog's thread once the dialog is up: it joins the dialog's hook
// list after the dialog and, at the first message it sees, posts itself a message that runs them.
class StepHooker : public Brivox::IMsgHooker
{
public:
    StepHooker(Brivox::CResourceDialogBase& dialog, std::function<void(HWND)> steps)
        : m_steps(std::move(steps))
    {
        dialog.GetWindow().GetHookList()->Add(this);
    }

    bool HookMessage(Brivox::SMessage& message) override
    {
        // Also when the dialog's own WM_INITDIALOG threw, which later hookers then do not see.
        if (!m_posted) {
            m_posted = true;
            ::PostMessageA(message.hwnd, RunSteps, 0, 0);
        }
        if (message.message != RunSteps)
            return false;
        m_steps(message.hwnd);
        return true;
    }

private:
    static constexpr UINT RunSteps = WM_APP + 0x321;
    std::function<void(HWND)> m_steps;
    bool m_posted = false;
};

// Runs the dialog modally over the parent (none by default) until the steps close it.
inline void RunDialog(Brivox::CResourceDialogBase& dialog, std::function<void(HWND)> steps,
                      HWND parent = nullptr)
{
    StepHooker hooker(dialog, std::move(steps));
    dialog.DoModal(parent);
}

inline void Command(HWND dialog, int id)
{
    ::SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
}

// The dialog's top-left corner: centred across the owner's client area, and 1/divisor of the room
// below it.
inline void ExpectPlacedOver(HWND owner, HWND dialog, int divisor)
{
    RECT client{}, placed{};
    ::GetClientRect(owner, &client);
    POINT origin{0, 0};
    ::ClientToScreen(owner, &origin);
    ::GetWindowRect(dialog, &placed);
    EXPECT_EQ(placed.left, origin.x + (client.right - (placed.right - placed.left)) / 2);
    EXPECT_EQ(placed.top, origin.y + (client.bottom - (placed.bottom - placed.top)) / divisor);
}

inline Brivox::CCtrl Item(HWND dialog, int id)
{
    return Brivox::CCtrl(::GetDlgItem(dialog, id));
}

} // namespace ToolDialogTest
