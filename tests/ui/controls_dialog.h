#pragma once
// The controls test dialog as a hidden modeless dialog of the calling thread, for tests that work
// its controls directly.

#include "foundation/message_queue.h"
#include "ui/ctrl.h"
#include "ui/ui_test_resources.h"
#include "ui/window.h"
#include "ui/window_test_support.h"

#include <gtest/gtest.h>

class ControlsDialog
{
public:
    explicit ControlsDialog(WORD templateId = IDD_CONTROLS_TEST)
    {
        QuietDialogParameter parameter(templateId);
        window.CreateDialogHere(parameter);
    }
    ~ControlsDialog()
    {
        window.Destroy();
        // The thread's last window is gone: its quit message is meant for a loop this test has
        // not got.
        Brivox::DrainQuitMessages();
    }
    ControlsDialog(const ControlsDialog&) = delete;
    ControlsDialog& operator=(const ControlsDialog&) = delete;

    HWND Handle() const { return window.GetHandle(); }
    Brivox::CCtrl Item(int itemId) const { return window.GetDlgItem(itemId); }

    Brivox::CWindow window;
};
