#include "support/window_test_bed.h"

#include "foundation/encoding.h"
#include "foundation/message_box.h"
#include "ui/screen_pixels.h"
#include "ui/wnd.h"

#include <algorithm>
#include <atomic>
#include <functional>
#include <optional>

namespace KanoruTest {

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::chrono::milliseconds PollInterval{10};

std::atomic<MessageBoxAnswerer*> currentAnswerer{nullptr};

// The top-level windows that `accept` takes, in the system's order.
std::vector<HWND> FindTopLevelWindows(const std::function<bool(HWND)>& accept)
{
    struct Search
    {
        const std::function<bool(HWND)>& accept;
        std::vector<HWND> found;
    } search{accept, {}};
    // A plain function: a lambda cannot take the 32-bit callback's calling convention.
    struct Visit
    {
        static BOOL CALLBACK Window(HWND hwnd, LPARAM context)
        {
            auto& s = *reinterpret_cast<Search*>(context);
            if (s.accept(hwnd))
                s.found.push_back(hwnd);
            return TRUE;
        }
    };
    ::EnumWindows(&Visit::Window, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

DWORD ProcessOf(HWND hwnd)
{
    DWORD processId = 0;
    ::GetWindowThreadProcessId(hwnd, &processId);
    return processId;
}

std::unique_ptr<Brivox::CDib32> CopyFrom(HDC source, int x, int y, int width, int height)
{
    auto dib = std::make_unique<Brivox::CDib32>();
    dib->Resize({width, height});
    ::BitBlt(dib->GetStorage().GetDC(), 0, 0, width, height, source, x, y, SRCCOPY);
    return dib;
}

INPUT KeyInput(WORD key, bool up)
{
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.wScan = static_cast<WORD>(::MapVirtualKeyW(key, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    return input;
}

} // namespace

bool PumpUntil(const std::function<bool()>& condition, std::chrono::milliseconds deadline)
{
    const Clock::time_point end = Clock::now() + deadline;
    bool quit = false;
    WPARAM exitCode = 0;
    bool held;
    for (;;) {
        MSG msg;
        while (!quit && ::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                // Kept for whoever looks for it after the wait.
                quit = true;
                exitCode = msg.wParam;
                break;
            }
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        held = condition();
        if (held || Clock::now() >= end)
            break;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(PollInterval.count()), QS_ALLINPUT);
    }
    if (quit)
        ::PostQuitMessage(static_cast<int>(exitCode));
    return held;
}

bool PumpPending()
{
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT)
            return false;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return true;
}

bool HasQuitMessage()
{
    MSG msg;
    return ::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE) != FALSE;
}

MessageBoxAnswerer::MessageBoxAnswerer(int button) : m_button(button)
{
    currentAnswerer = this;
    Brivox::SetMessageBoxHook(&MessageBoxAnswerer::Answer);
}

MessageBoxAnswerer::~MessageBoxAnswerer()
{
    Brivox::SetMessageBoxHook(nullptr);
    currentAnswerer = nullptr;
}

int MessageBoxAnswerer::Answer(HWND owner, const char* text, const char* caption, UINT style)
{
    MessageBoxAnswerer* self = currentAnswerer.load();
    std::lock_guard<std::mutex> lock(self->m_lock);
    self->m_boxes.push_back({owner, Brivox::FromApiTextA(text), Brivox::FromApiTextA(caption ? caption : ""),
                             caption != nullptr, style, ::GetCurrentThreadId()});
    return self->m_button;
}

std::vector<MessageBoxAnswerer::Box> MessageBoxAnswerer::Boxes() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_boxes;
}

bool MessageBoxAnswerer::WaitForBoxes(std::size_t count)
{
    return PumpUntil([&] { return Boxes().size() >= count; });
}

DialogAnswerer::DialogAnswerer(const std::wstring& caption, int buttonId)
    : m_thread([this, caption, buttonId] { Run(caption, buttonId); })
{
}

DialogAnswerer::~DialogAnswerer()
{
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_stopping = true;
        m_stop.notify_all();
    }
    m_thread.join();
}

bool DialogAnswerer::Answered() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_answered;
}

void DialogAnswerer::Run(std::wstring caption, int buttonId)
{
    const Clock::time_point end = Clock::now() + WaitDeadline;
    std::unique_lock<std::mutex> lock(m_lock);
    while (!m_stopping && Clock::now() < end) {
        lock.unlock();
        const std::vector<HWND> dialogs = FindWindowsByCaption(caption);
        if (!dialogs.empty()) {
            const HWND dialog = dialogs.front();
            ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED),
                           reinterpret_cast<LPARAM>(::GetDlgItem(dialog, buttonId)));
            lock.lock();
            m_answered = true;
            return;
        }
        lock.lock();
        m_stop.wait_for(lock, PollInterval, [this] { return m_stopping; });
    }
}

std::wstring WindowText(HWND hwnd)
{
    return Brivox::GetStoredWindowText(hwnd).CStr();
}

std::vector<HWND> FindWindowsByCaption(const std::wstring& caption)
{
    const DWORD self = ::GetCurrentProcessId();
    return FindTopLevelWindows(
        [&](HWND hwnd) { return ProcessOf(hwnd) == self && WindowText(hwnd) == caption; });
}

std::vector<HWND> FindProcessWindows(DWORD processId)
{
    return FindTopLevelWindows([&](HWND hwnd) { return ProcessOf(hwnd) == processId; });
}

std::unique_ptr<Brivox::CDib32> CaptureClient(HWND hwnd)
{
    RECT client{};
    ::GetClientRect(hwnd, &client);
    const HDC source = ::GetDC(hwnd);
    auto dib = CopyFrom(source, 0, 0, client.right, client.bottom);
    ::ReleaseDC(hwnd, source);
    return dib;
}

std::unique_ptr<Brivox::CDib32> CaptureClientFromScreen(HWND hwnd)
{
    return Brivox::CopyClientFromScreen(hwnd);
}

COLORREF PixelAt(const Brivox::CPlane& plane, int x, int y)
{
    const Brivox::Detail::PlaneBitsLock bits(plane);
    const std::uint8_t* pixel = bits.Pixel(x, y);
    return RGB(pixel[2], pixel[1], pixel[0]);
}

void PostCommand(HWND hwnd, int commandId)
{
    ::PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(commandId, 0), 0);
}

void PostKey(HWND hwnd, UINT virtualKey)
{
    const LPARAM pressed = 1 | (static_cast<LPARAM>(::MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC)) << 16);
    const LPARAM released = pressed | (LPARAM{1} << 30) | (LPARAM{1} << 31);
    ::PostMessageW(hwnd, WM_KEYDOWN, virtualKey, pressed);
    ::PostMessageW(hwnd, WM_KEYUP, virtualKey, released);
}

bool PumpUntilHeld(const std::function<bool()>& holds, const std::function<void()>& bringAbout,
                   std::chrono::milliseconds every)
{
    std::optional<Clock::time_point> last;
    return PumpUntil([&] {
        if (holds())
            return true;
        if (!last || Clock::now() - *last >= every) {
            bringAbout();
            last = Clock::now();
        }
        return false;
    });
}

bool PlaceCursor(POINT at)
{
    // A late pointer event of the display can put the cursor back where it was.
    return PumpUntilHeld(
        [&] {
            POINT cursor{};
            return ::GetCursorPos(&cursor) && cursor.x == at.x && cursor.y == at.y;
        },
        [&] { ::SetCursorPos(at.x, at.y); }, std::chrono::milliseconds(250));
}

bool BringToForeground(HWND target)
{
    // The foreground moves at once, but the window's thread makes it active and gives it the
    // keyboard focus only as it handles the activation: input sent before that goes astray.
    const auto activeOnItsThread = [&] {
        GUITHREADINFO info{};
        info.cbSize = sizeof(info);
        return ::GetGUIThreadInfo(::GetWindowThreadProcessId(target, nullptr), &info) &&
               info.hwndActive == target && info.hwndFocus &&
               (info.hwndFocus == target || ::IsChild(target, info.hwndFocus));
    };
    return PumpUntilHeld([&] { return ::GetForegroundWindow() == target && activeOnItsThread(); },
                         [&] {
                             if (::GetForegroundWindow() != target)
                                 Brivox::CWnd(target).ForceForeground();
                         },
                         std::chrono::milliseconds(0));
}

bool SendKeyCombination(HWND target, std::initializer_list<WORD> modifiers, WORD key)
{
    if (!BringToForeground(target))
        return false;
    std::vector<INPUT> inputs;
    for (WORD modifier : modifiers)
        inputs.push_back(KeyInput(modifier, false));
    inputs.push_back(KeyInput(key, false));
    inputs.push_back(KeyInput(key, true));
    for (auto modifier = std::rbegin(modifiers); modifier != std::rend(modifiers); ++modifier)
        inputs.push_back(KeyInput(*modifier, true));
    return ::SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)) == inputs.size();
}

std::wstring TestProgramFolder()
{
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder = path;
    return folder.substr(0, folder.find_last_of(L'\\') + 1);
}

ProgramInFreshFolder::ProgramInFreshFolder(const std::wstring& programPath, const std::wstring& arguments,
                                           const std::function<void(const std::wstring& folder)>& prepare)
    : m_folder(L"kanoru-program-")
{
    m_folder.Create();
    const std::wstring name = programPath.substr(programPath.find_last_of(L'\\') + 1);
    const std::wstring copy = Folder() + name;
    if (!::CopyFileW(programPath.c_str(), copy.c_str(), TRUE))
        return;
    if (prepare)
        prepare(Folder());
    std::wstring commandLine = L"\"" + copy + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(copy.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          Folder().c_str(), &startup, &info))
        return;
    ::CloseHandle(info.hThread);
    m_process = info.hProcess;
    m_processId = info.dwProcessId;
}

ProgramInFreshFolder::~ProgramInFreshFolder()
{
    if (!m_process)
        return;
    if (::WaitForSingleObject(m_process, 0) == WAIT_TIMEOUT) {
        ::TerminateProcess(m_process, 99);
        // The folder can go only once nothing runs from it.
        ::WaitForSingleObject(m_process, INFINITE);
    }
    ::CloseHandle(m_process);
}

std::wstring ProgramInFreshFolder::Folder() const
{
    return m_folder.GetPath().CStr();
}

HWND ProgramInFreshFolder::WaitForWindow()
{
    HWND window = nullptr;
    PumpUntil([&] {
        for (HWND hwnd : FindProcessWindows(m_processId)) {
            if (::IsWindowVisible(hwnd)) {
                window = hwnd;
                return true;
            }
        }
        return false;
    });
    return window;
}

long ProgramInFreshFolder::WaitForExit()
{
    if (!m_process || !PumpUntil([&] { return ::WaitForSingleObject(m_process, 0) == WAIT_OBJECT_0; }))
        return -1;
    DWORD code = 0;
    ::GetExitCodeProcess(m_process, &code);
    return static_cast<long>(code);
}

} // namespace KanoruTest
