#pragma once
// A window under test with a hooker that records its messages, and threads of their own for tests
// whose windows, window counts and quit messages must stay apart from the test thread's.

#include "ui/window.h"

#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// A window parameter that leaves the foreground alone: only the desktop-input tests take it.
struct QuietWindowParameter : Brivox::CWindowParameter
{
    QuietWindowParameter() { activate = false; }
};

struct QuietDialogParameter : Brivox::CDialogParameter
{
    explicit QuietDialogParameter(WORD templateId, HWND parent = nullptr)
        : CDialogParameter(templateId, parent)
    {
        activate = false;
    }
};

// Joins the window's hook list after the window itself. Records every message it sees (on
// whichever thread), lets the test act on them, and destroys the window on WM_CLOSE as the
// program's windows do.
class TestWindow : public Brivox::IMsgHooker
{
public:
    TestWindow() { window.GetHookList()->Add(this); }

    bool HookMessage(Brivox::SMessage& message) override
    {
        {
            std::lock_guard<std::mutex> lock(m_lock);
            m_messages.push_back(message.message);
        }
        if (onMessage && onMessage(message))
            return true;
        if (message.message == WM_CLOSE) {
            window.Destroy();
            return true;
        }
        return false;
    }

    void Create()
    {
        QuietWindowParameter parameter;
        window.Create(parameter);
    }

    HWND Handle() const { return window.GetHandle(); }
    DWORD ThreadId() const { return ::GetWindowThreadProcessId(Handle(), nullptr); }

    std::vector<UINT> Messages() const
    {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_messages;
    }
    bool Saw(UINT message) const
    {
        for (UINT seen : Messages())
            if (seen == message)
                return true;
        return false;
    }

    // Runs on the window's thread for each message, before the closing rule; true: handled.
    std::function<bool(Brivox::SMessage&)> onMessage;

private:
    mutable std::mutex m_lock;
    std::vector<UINT> m_messages;

public:
    // Last: it goes first, while the recorder still takes its messages.
    Brivox::CWindow window;
};

// Runs the body on a new thread and waits for it.
inline void RunOnFreshThread(const std::function<void()>& body)
{
    std::thread(body).join();
}
