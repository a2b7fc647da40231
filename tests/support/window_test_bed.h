#pragma once
// The test bed of window tests, on the test run's virtual display and Wine prefix: waits that pump
// messages until a condition holds, answers to message boxes and modal dialogs, the pixels of a
// window's client area, programs started from a fresh folder, and input sent to their windows.
//
// Waits end on conditions; their deadlines only turn a hang into a failure. Tests that need the
// foreground window, the cursor or SendInput belong to a suite named DesktopInput*: those tests
// hold one ctest resource lock, so that no two of them fight over the desktop.

#include "foundation/string.h"
#include "foundation/temp_file.h"
#include "foundation/win32.h"
#include "imaging/plane.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace KanoruTest {

// How long a wait may take before it counts as a hang.
constexpr std::chrono::seconds WaitDeadline{30};

// Dispatches the calling thread's messages until the condition holds; false when the deadline
// came first. The condition is looked at after every round of messages and at least every 10 ms.
bool PumpUntil(const std::function<bool()>& condition, std::chrono::milliseconds deadline = WaitDeadline);
// Dispatches what the calling thread's queue holds now; false when it took a quit message.
bool PumpPending();
// Whether a quit message waits in the calling thread's queue (it stays there).
bool HasQuitMessage();

// Answers every message box of the process (through Brivox::SetMessageBoxHook) while it lives,
// with the given button, and records the boxes. One answerer at a time.
class MessageBoxAnswerer
{
public:
    struct Box
    {
        HWND owner;
        Brivox::String text;
        Brivox::String caption;
        // False when the box was given no caption at all (the system's default shows).
        bool hasCaption;
        UINT style;
        DWORD threadId;
    };

    explicit MessageBoxAnswerer(int button = IDOK);
    ~MessageBoxAnswerer();
    MessageBoxAnswerer(const MessageBoxAnswerer&) = delete;
    MessageBoxAnswerer& operator=(const MessageBoxAnswerer&) = delete;

    std::vector<Box> Boxes() const;
    // Waits (pumping the calling thread) until at least count boxes were shown.
    bool WaitForBoxes(std::size_t count);

private:
    static int Answer(HWND owner, const char* text, const char* caption, UINT style);

    int m_button;
    mutable std::mutex m_lock;
    std::vector<Box> m_boxes;
};

// Presses a button of a dialog of this process, found by its caption, from a helper thread as
// soon as the dialog shows: a modal dialog run by the test thread itself is answered this way.
class DialogAnswerer
{
public:
    DialogAnswerer(const std::wstring& caption, int buttonId);
    // Stops looking when the dialog never came.
    ~DialogAnswerer();
    DialogAnswerer(const DialogAnswerer&) = delete;
    DialogAnswerer& operator=(const DialogAnswerer&) = delete;

    bool Answered() const;

private:
    void Run(std::wstring caption, int buttonId);

    mutable std::mutex m_lock;
    std::condition_variable m_stop;
    bool m_stopping = false;
    bool m_answered = false;
    std::thread m_thread;
};

// A window's text as stored, read without a message to the window (whose thread may be busy), so
// also for another process's window.
std::wstring WindowText(HWND hwnd);
// The top-level windows of this process with this caption.
std::vector<HWND> FindWindowsByCaption(const std::wstring& caption);
// The top-level windows of a process.
std::vector<HWND> FindProcessWindows(DWORD processId);

// The client area of a window of this process, copied from the window's own device context.
std::unique_ptr<Brivox::CDib32> CaptureClient(HWND hwnd);
// The client area as the screen shows it: for another process's window, which must lie
// uncovered on the screen.
std::unique_ptr<Brivox::CDib32> CaptureClientFromScreen(HWND hwnd);
COLORREF PixelAt(const Brivox::CPlane& plane, int x, int y);

// A WM_COMMAND with a command id, as a menu item posts it.
void PostCommand(HWND hwnd, int commandId);
// A key pressed and released, posted: the window sees no Ctrl, Alt or Shift state with it.
void PostKey(HWND hwnd, UINT virtualKey);
// Waits until the state holds, bringing it about at once and again every `every` while it does
// not: for a state that the system or the program under test may still undo after it was
// reached (a late request for the foreground, a late pointer event of the display putting the
// cursor back). False at the deadline.
bool PumpUntilHeld(const std::function<bool()>& holds, const std::function<void()>& bringAbout,
                   std::chrono::milliseconds every);
// Makes the window the foreground window and waits until it holds the foreground and its thread
// has made it active with the keyboard focus on it or a child. False at the deadline.
bool BringToForeground(HWND target);
// Puts the cursor at a screen point and waits until it stays there. False at the deadline.
bool PlaceCursor(POINT at);
// A key with modifiers (VK_CONTROL, VK_SHIFT, VK_MENU) through the system's input, which goes to
// the foreground window: the target is brought to the foreground first. False when the target
// could not be made the foreground window.
bool SendKeyCombination(HWND target, std::initializer_list<WORD> modifiers, WORD key);

// The folder of the running test program, with a trailing '\'.
std::wstring TestProgramFolder();

// A program copied into a new folder of its own and started there, so that whatever it keeps
// beside itself starts out absent. Ended, if it still runs, and its folder removed when the
// object goes.
class ProgramInFreshFolder
{
public:
    // prepare, when given, fills the folder (ending with '\') before the program starts.
    ProgramInFreshFolder(const std::wstring& programPath, const std::wstring& arguments = L"",
                         const std::function<void(const std::wstring& folder)>& prepare = {});
    ~ProgramInFreshFolder();
    ProgramInFreshFolder(const ProgramInFreshFolder&) = delete;
    ProgramInFreshFolder& operator=(const ProgramInFreshFolder&) = delete;

    bool Started() const { return m_process != nullptr; }
    DWORD ProcessId() const { return m_processId; }
    // The folder that holds the program, with a trailing '\'.
    std::wstring Folder() const;
    // Waits (pumping) for a visible top-level window of the program; null after the deadline.
    HWND WaitForWindow();
    // The exit code once the program has ended; -1 when it did not end before the deadline.
    long WaitForExit();

private:
    Brivox::CTempFolder m_folder;
    HANDLE m_process = nullptr;
    DWORD m_processId = 0;
};

} // namespace KanoruTest
