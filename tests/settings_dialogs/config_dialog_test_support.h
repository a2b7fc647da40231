#pragma once
// Running the settings dialog under test: a store filled with every default, and a script of
// steps on the dialog's hook list. The first step runs when the dialog has handled WM_INITDIALOG
// (its pages made and loaded); each later one once everything the step before posted (OK,
// Cancel, keys, menu items) has been handled.

#include "foundation/config.h"
#include "settings/config_dialog.h"
#include "settings/config_schema.h"
#include "ui/msg_hook.h"
#include "ui/window_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace ConfigDialogTest {

// Every key of the viewer with its default (no settings file is read).
inline Brivox::CConfig DefaultConfig()
{
    Brivox::CConfig config;
    InitConfig(config, L"Z:\\no-such-folder\\no-such-settings.cfg");
    return config;
}

inline std::wstring Serialized(const Brivox::CConfig& config)
{
    return config.Serialize().CStr();
}

// The keys whose lines differ between two stores of the same keys, sorted.
inline std::vector<std::wstring> ChangedKeys(const Brivox::CConfig& before, const Brivox::CConfig& after)
{
    std::vector<std::wstring> changed;
    for (const Brivox::String& key : GetConfigSchemaKeys())
        if (!(before.GetRaw(key) == after.GetRaw(key)))
            changed.push_back(key.CStr());
    std::sort(changed.begin(), changed.end());
    return changed;
}

using Step = std::function<void(CConfigDialog& dialog, HWND hwnd)>;

class DialogScript : public Brivox::IMsgHooker
{
public:
    DialogScript(CConfigDialog& dialog, std::vector<Step> steps) : m_dialog(dialog), m_steps(std::move(steps))
    {
        dialog.GetWindow().GetHookList()->Add(this);
    }

    bool HookMessage(Brivox::SMessage& message) override
    {
        if (message.message != WM_INITDIALOG && message.message != NextStep)
            return false;
        if (m_next < m_steps.size()) {
            m_steps[m_next++](m_dialog, message.hwnd);
            if (m_next < m_steps.size())
                ::PostMessageA(message.hwnd, NextStep, 0, 0);
        }
        return message.message == NextStep;
    }

    std::size_t StepsRun() const { return m_next; }

private:
    static constexpr UINT NextStep = WM_APP + 40;

    CConfigDialog& m_dialog;
    std::vector<Step> m_steps;
    std::size_t m_next = 0;
};

// Runs the dialog modally on a thread of its own with the script; every step must have run.
inline void RunDialog(CConfigDialog& dialog, std::vector<Step> steps)
{
    const std::size_t count = steps.size();
    RunOnFreshThread([&] {
        DialogScript script(dialog, std::move(steps));
        dialog.DoModal(nullptr);
        EXPECT_EQ(script.StepsRun(), count);
    });
}

// The page's control.
inline Brivox::CCtrl PageItem(CConfigDialog& dialog, int page, int itemId)
{
    return dialog.GetPage(page)->Item(itemId);
}

inline std::wstring Text(const Brivox::CCtrl& control)
{
    return control.GetText().CStr();
}

inline void Click(const Brivox::CCtrl& button)
{
    ::SendMessageA(button.GetHandle(), BM_CLICK, 0, 0);
}

inline void PostToDialog(HWND hwnd, int id)
{
    ::PostMessageA(hwnd, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
}

} // namespace ConfigDialogTest
