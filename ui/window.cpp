#include "ui/window.h"

#include "foundation/desktop.h"
#include "foundation/encoding.h"
#include "foundation/exception.h"
#include "foundation/message_queue.h"
#include "foundation/thread_pool.h"

#include <string>

namespace Brivox {

namespace Detail {

// One Create or CreateDialog: the window thread's job and what its owner waits for.
struct WindowThreadState
{
    // Cleared by the owner when the window thread is to end its loop.
    std::atomic<bool> run{true};
    std::shared_ptr<WorkerThread> worker;
    std::atomic<DWORD> threadId{0};
    // Set when the creation starts, cleared when the loop has taken its quit message (or the
    // creation failed).
    std::atomic<bool> loopAlive{false};
    // The window made, and the modeless dialog whose keyboard messages the loop hands to
    // IsDialogMessage (null for a window).
    std::atomic<HWND> window{nullptr};
    HWND dialog = nullptr;
    CEvent created;
    CEvent loopEnded;
    CEvent jobEnded;
};

// Lives on the creator's stack until the creation has been signalled.
struct SWindowCreateParam
{
    void (CWindow::*create)(IWindowParameter&);
    IWindowParameter* parameter;
    // The text of a failure, from the thread that made the window.
    String errorText;
};

} // namespace Detail

namespace {

using Detail::WindowThreadState;

HINSTANCE ProgramModule()
{
    return ::GetModuleHandleW(nullptr);
}

DWORD ThreadOfWindow(HWND hwnd)
{
    return hwnd ? ::GetWindowThreadProcessId(hwnd, nullptr) : 0;
}

LRESULT DefWindowProcAW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    return IsWindowsNT() ? ::DefWindowProcW(hwnd, message, wParam, lParam)
                         : ::DefWindowProcA(hwnd, message, wParam, lParam);
}

CWindow* WindowOf(HWND hwnd)
{
    return reinterpret_cast<CWindow*>(GetWindowLongAW(hwnd, GWLP_USERDATA));
}

// Classes registered by windows are told apart by a process-wide number, so that a name is never
// given twice while the process lives (also to a new object at a freed one's address).
unsigned NextClassNumber()
{
    static std::atomic<unsigned> number{0};
    return ++number;
}

// The box for a failure that the window's own error handling could not take; a failure of the
// box itself is dropped, since nothing may leave a window procedure.
void ShowUnownedExceptionBox(const wchar_t* caption, const std::exception& error) noexcept
{
    try {
        Detail::QuitMessageKeeper quitMessages;
        CWnd().ShowExceptionBox(caption, error);
    } catch (...) {
    }
}

// Dispatches the calling thread's queued messages; false when it took the quit message, which
// ends the thread's loop (and the window thread's, when the state is that thread's).
bool PumpThreadMessages(WindowThreadState* state, HWND dialog)
{
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            Detail::RemoveMessageLoopThread(::GetCurrentThreadId());
            if (state) {
                state->loopAlive = false;
                state->loopEnded.Set();
            }
            return false;
        }
        if (dialog && ::IsDialogMessageA(dialog, &msg))
            continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
    return true;
}

} // namespace

LRESULT CALLBACK InitialWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    // Nothing before WM_CREATE reaches a hooker.
    if (message != WM_CREATE)
        return DefWindowProcAW(hwnd, message, wParam, lParam);
    CWindow* window = static_cast<CWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    window->m_hwnd = hwnd;
    SetWindowLongAW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(window));
    SetWindowLongAW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WindowProc));
    return WindowProc(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CWindow* window = WindowOf(hwnd);
    if (!window)
        return DefWindowProcAW(hwnd, message, wParam, lParam);
    try {
        const LRESULT result = window->DispatchOrDefault(hwnd, message, wParam, lParam);
        // The session ends: the window goes once every hooker has seen the message.
        if (message == WM_ENDSESSION && wParam)
            window->Destroy();
        return result;
    } catch (const std::exception& error) {
        ShowUnownedExceptionBox(L"エラー (1)", error);
        return 0;
    }
}

INT_PTR CALLBACK InitialDialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_INITDIALOG)
        return FALSE;
    CWindow* window = reinterpret_cast<CWindow*>(lParam);
    window->m_hwnd = hwnd;
    SetWindowLongAW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(window));
    SetWindowLongAW(hwnd, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(&DialogProc));
    return DialogProc(hwnd, message, wParam, lParam);
}

INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CWindow* window = WindowOf(hwnd);
    if (!window)
        return FALSE;
    try {
        LRESULT result = 1;
        const bool handled = window->DispatchMessage(hwnd, message, wParam, lParam, result);
        if (message == WM_ENDSESSION && wParam)
            window->Destroy();
        return handled ? result : FALSE;
    } catch (const std::exception& error) {
        ShowUnownedExceptionBox(L"エラー (2)", error);
        return FALSE;
    }
}

CWindow::CWindow()
{
    const std::shared_ptr<Detail::MsgHookList> list = Detail::MsgHookList::Create();
    list->Add(this);
    // From here on this object's membership keeps the list.
    m_hookList = list.get();
}

CWindow::~CWindow()
{
    EndWindowThread();
    const HWND hwnd = GetHandle();
    if (::IsWindow(hwnd)) {
        if (ThreadOfWindow(hwnd) == ::GetCurrentThreadId())
            Destroy();
        else
            // Left to its thread: its procedure must no longer reach this object.
            SetWindowLongAW(hwnd, GWLP_USERDATA, 0);
    }
    UnregisterOwnClass();
}

void CWindow::Create(CWindowParameter& parameter)
{
    CreateOnOwnThread(&CWindow::CreateWindowImpl, parameter, parameter.parent,
                      L"ウィンドウの作成に失敗しました");
}

void CWindow::CreateDialog(CDialogParameter& parameter)
{
    CreateOnOwnThread(&CWindow::CreateDialogImpl, parameter, parameter.parent,
                      L"ダイアログの作成に失敗しました");
}

void CWindow::CreateOnOwnThread(CreateFunction create, IWindowParameter& parameter, HWND parent,
                                const wchar_t* interruptedText)
{
    // A window made again replaces the thread of the earlier one, which must have ended first.
    EndWindowThread();
    auto state = std::make_shared<WindowThreadState>();
    state->worker = AcquirePooledWorker();
    Detail::SWindowCreateParam param{create, &parameter, String()};
    m_state = state;
    state->worker->Post([this, state, &param] { WindowThreadProc(state, param); });

    // The new window's thread may send to this thread while it makes the window.
    const Detail::SQuitMessage quit = Detail::WaitServingMessages(state->created);
    // This thread's own loop is to end; it still must, after the exception has been shown.
    Detail::PostQuitMessageAgain(quit);
    if (quit.seen && parent)
        throw RuntimeException(interruptedText);
    if (param.errorText.Length() > 0)
        throw RuntimeException(param.errorText);
}

void CWindow::WindowThreadProc(const std::shared_ptr<WindowThreadState>& state,
                               Detail::SWindowCreateParam& param)
{
    const DWORD self = ::GetCurrentThreadId();
    state->threadId = self;
    // Once the creation is signalled the owner may delete this object: from here on only the state.
    CreateOnThread(param, state.get());
    if (state->loopAlive) {
        // Told to end while the window exists, the loop goes on until the window has been
        // destroyed on this thread as asked and its quit message has come.
        while (PumpThreadMessages(state.get(), state->dialog) && (state->run || ::IsWindow(state->window)))
            ::WaitMessage();
    }
    // The worker goes back to the pool: its next job starts without this loop's leftovers.
    DrainQuitMessages();
    Detail::ForgetMessageLoopThread(self);
    state->loopAlive = false;
    state->loopEnded.Set();
    state->jobEnded.Set();
}

void CWindow::CreateOnThread(Detail::SWindowCreateParam& param, WindowThreadState* state)
{
    const DWORD self = ::GetCurrentThreadId();
    Detail::ChangeWindowCount(self, 1);
    m_counted = true;
    if (state)
        state->loopAlive = true;
    bool registered = false;
    try {
        registered = Detail::AddMessageLoopThread(self);
        (this->*param.create)(*param.parameter);
        if (param.parameter->activate)
            ForceForeground();
    } catch (const std::exception& error) {
        // A window destroyed during its creation has been uncounted by its WM_DESTROY already.
        if (m_counted)
            Detail::ChangeWindowCount(self, -1);
        m_counted = false;
        param.errorText = FromApiTextA(error.what());
        m_hwnd = nullptr;
        // A thread that ran a loop before this call still does.
        if (registered)
            Detail::RemoveMessageLoopThread(self);
        if (state) {
            state->loopAlive = false;
            state->loopEnded.Set();
            state->created.Set();
        }
        return;
    }
    if (state) {
        state->window = GetHandle();
        state->dialog = m_kind == ModelessDialogKind ? GetHandle() : nullptr;
        state->created.Set();
    }
}

void CWindow::CreateWindowImpl(IWindowParameter& base)
{
    auto& parameter = static_cast<CWindowParameter&>(base);
    m_kind = WindowKind;
    const HINSTANCE module = ProgramModule();
    const bool ownClass = parameter.className.Length() == 0;
    String className = parameter.className;
    if (ownClass) {
        UnregisterOwnClass();
        className = FormatString(L"<%x:%p:%x>", static_cast<unsigned>(::GetCurrentProcessId()),
                                 static_cast<void*>(this), NextClassNumber());
        const ApiString name(className);
        ATOM atom;
        if (IsWindowsNT()) {
            WNDCLASSEXW windowClass{};
            windowClass.cbSize = sizeof(windowClass);
            windowClass.style =
                CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_BYTEALIGNCLIENT | CS_BYTEALIGNWINDOW;
            windowClass.lpfnWndProc = &InitialWindowProc;
            windowClass.hInstance = module;
            windowClass.hIcon = ::LoadIconA(nullptr, IDI_APPLICATION);
            windowClass.hCursor = ::LoadCursorA(nullptr, IDC_ARROW);
            windowClass.lpszClassName = name.WidePointer();
            atom = ::RegisterClassExW(&windowClass);
        } else {
            WNDCLASSEXA windowClass{};
            windowClass.cbSize = sizeof(windowClass);
            windowClass.style =
                CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_BYTEALIGNCLIENT | CS_BYTEALIGNWINDOW;
            windowClass.lpfnWndProc = &InitialWindowProc;
            windowClass.hInstance = module;
            windowClass.hIcon = ::LoadIconA(nullptr, IDI_APPLICATION);
            windowClass.hCursor = ::LoadCursorA(nullptr, IDC_ARROW);
            windowClass.lpszClassName = name.AnsiPointer();
            atom = ::RegisterClassExA(&windowClass);
        }
        if (!atom) {
            const DWORD error = ::GetLastError();
            throw Win32Exception(error, L"ウィンドウクラスの登録に失敗");
        }
        m_className = className;
    }
    m_defaultProcedureWide = IsWindowsNT();
    m_defaultProcedure = m_defaultProcedureWide ? &::DefWindowProcW : &::DefWindowProcA;
    const HINSTANCE instance = ownClass ? module : nullptr;
    const HWND hwnd = CallWithApiText(
        className,
        [&](const wchar_t* name) {
            return ::CreateWindowExW(parameter.exStyle, name, L"", parameter.style, CW_USEDEFAULT, 0,
                                     CW_USEDEFAULT, 0, parameter.parent, parameter.menu, instance, this);
        },
        [&](const char* name) {
            return ::CreateWindowExA(parameter.exStyle, name, "", parameter.style, CW_USEDEFAULT, 0,
                                     CW_USEDEFAULT, 0, parameter.parent, parameter.menu, instance, this);
        });
    if (!hwnd) {
        const DWORD error = ::GetLastError();
        throw Win32Exception(error, L"ウィンドウの作成に失敗");
    }
    if (!ownClass) {
        // Subclassed: the class's own procedure receives what no hooker handled.
        SetWindowLongAW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        m_defaultProcedure = reinterpret_cast<WNDPROC>(
            SetWindowLongAW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WindowProc)));
    }
    m_hwnd = hwnd;
}

void CWindow::CreateDialogImpl(IWindowParameter& base)
{
    auto& parameter = static_cast<CDialogParameter&>(base);
    m_kind = ModelessDialogKind;
    const LPARAM self = reinterpret_cast<LPARAM>(this);
    const HWND hwnd = IsWindowsNT()
                          ? ::CreateDialogParamW(ProgramModule(), MAKEINTRESOURCEW(parameter.templateId),
                                                 parameter.parent, &InitialDialogProc, self)
                          : ::CreateDialogParamA(ProgramModule(), MAKEINTRESOURCEA(parameter.templateId),
                                                 parameter.parent, &InitialDialogProc, self);
    if (!hwnd) {
        const DWORD error = ::GetLastError();
        throw Win32Exception(error, L"ダイアログの作成に失敗");
    }
    m_hwnd = hwnd;
}

void CWindow::CreateDialogHere(CDialogParameter& parameter)
{
    EndWindowThread();
    Detail::SWindowCreateParam param{&CWindow::CreateDialogImpl, &parameter, String()};
    CreateOnThread(param, nullptr);
    if (param.errorText.Length() > 0)
        throw RuntimeException(param.errorText);
}

int CWindow::RunModalDialog(CModalDialogParameter& parameter)
{
    EndWindowThread();
    m_kind = ModalDialogKind;
    const LPARAM self = reinterpret_cast<LPARAM>(this);
    const INT_PTR result = IsWindowsNT()
                               ? ::DialogBoxParamW(ProgramModule(), MAKEINTRESOURCEW(parameter.templateId),
                                                   parameter.parent, &InitialDialogProc, self)
                               : ::DialogBoxParamA(ProgramModule(), MAKEINTRESOURCEA(parameter.templateId),
                                                   parameter.parent, &InitialDialogProc, self);
    if (result == -1) {
        const DWORD error = ::GetLastError();
        throw Win32Exception(error, L"ダイアログの作成に失敗");
    }
    {
        // The dialog's loop may have met this thread's quit message and left it in the queue.
        Detail::QuitMessageKeeper quitMessages;
    }
    return static_cast<int>(result);
}

bool CWindow::OnWindowThread() const
{
    const DWORD self = ::GetCurrentThreadId();
    const HWND hwnd = GetHandle();
    if (hwnd)
        return ThreadOfWindow(hwnd) == self;
    return m_state && m_state->threadId == self;
}

void CWindow::RunMessageLoop()
{
    if (OnWindowThread()) {
        while (PumpMessages())
            ::WaitMessage();
        return;
    }
    const std::shared_ptr<WindowThreadState> state = m_state;
    if (!state || !state->loopAlive)
        return;
    Detail::PostQuitMessageAgain(Detail::WaitServingMessages(state->loopEnded));
}

bool CWindow::PumpMessages()
{
    const std::shared_ptr<WindowThreadState> state = m_state;
    WindowThreadState* own = state && state->threadId == ::GetCurrentThreadId() ? state.get() : nullptr;
    return PumpThreadMessages(own, m_kind == ModelessDialogKind ? GetHandle() : nullptr);
}

void CWindow::Destroy()
{
    const HWND hwnd = GetHandle();
    if (!::IsWindow(hwnd))
        return;
    // Only the window's own thread can destroy it.
    if (ThreadOfWindow(hwnd) != ::GetCurrentThreadId()) {
        RequestOnWindowThread(m_destroyRequest, 1);
        return;
    }
    switch (m_kind) {
    case ModelessDialogKind:
        ::DestroyWindow(hwnd);
        break;
    case ModalDialogKind:
        ::EndDialog(hwnd, m_modalResult);
        break;
    case WindowKind:
        // Hidden and demoted first, so that its end does not hand the activation around.
        ::ShowWindow(hwnd, SW_HIDE);
        ::SetWindowLongA(hwnd, GWL_STYLE, static_cast<LONG>(WS_POPUP));
        ::SetWindowPos(hwnd, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        ::DestroyWindow(hwnd);
        UnregisterOwnClass();
        break;
    }
    m_hwnd = nullptr;
}

void CWindow::UnregisterOwnClass()
{
    if (m_className.Length() == 0)
        return;
    CallWithApiText(
        m_className, [](const wchar_t* name) { return ::UnregisterClassW(name, ProgramModule()); },
        [](const char* name) { return ::UnregisterClassA(name, ProgramModule()); });
}

void CWindow::ShowMouseCursor()
{
    if (OnWindowThread())
        ForceShowCursor();
    else
        RequestOnWindowThread(m_cursorRequest, 1);
}

void CWindow::HideMouseCursor()
{
    if (OnWindowThread())
        ForceHideCursor();
    else
        RequestOnWindowThread(m_cursorRequest, 2);
}

void CWindow::RequestOnWindowThread(std::atomic<int>& request, int value)
{
    const HWND hwnd = GetHandle();
    if (!hwnd)
        return;
    request = value;
    ::PostMessageA(hwnd, WM_NULL, 0, 0);
}

bool CWindow::HookMessage(SMessage& message)
{
    switch (message.message) {
    case WM_NULL: {
        const int cursor = m_cursorRequest.exchange(0);
        if (cursor == 1)
            ShowMouseCursor();
        else if (cursor == 2)
            HideMouseCursor();
        if (m_destroyRequest.exchange(0))
            Destroy();
        return false;
    }
    case WM_DESTROY:
        if (m_kind != ModalDialogKind && m_counted) {
            m_counted = false;
            if (Detail::ChangeWindowCount(::GetCurrentThreadId(), -1) <= 0)
                ::PostQuitMessage(0);
        }
        return true;
    case WM_NCDESTROY:
        SetWindowLongAW(message.hwnd, GWLP_USERDATA, 0);
        m_hwnd = nullptr;
        return true;
    default:
        // WM_ENDSESSION among them: the procedure destroys the window after every hooker.
        return false;
    }
}

void CWindow::EndWindowThread()
{
    const std::shared_ptr<WindowThreadState> state = m_state;
    if (!state)
        return;
    if (state->threadId == ::GetCurrentThreadId()) {
        // On the window's own thread nothing can wait for it: the loop ends by itself once the
        // window has gone, and the job keeps the state.
        state->run = false;
        Destroy();
        m_state.reset();
        return;
    }
    if (::IsWindow(GetHandle()))
        RequestOnWindowThread(m_destroyRequest, 1);
    state->run = false;
    // Wakes a loop that sleeps in WaitMessage, with or without a window.
    ::PostThreadMessageA(state->threadId, WM_NULL, 0, 0);
    Detail::PostQuitMessageAgain(Detail::WaitServingMessages(state->jobEnded));
    state->worker->Wait();
    m_state.reset();
}

bool CWindow::DispatchMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    SMessage record{hwnd, message, wParam, lParam, result, nullptr};
    bool handled;
    try {
        handled = m_hookList->Dispatch(record);
    } catch (const std::exception& error) {
        Detail::QuitMessageKeeper quitMessages;
        ReportError(error);
        return false;
    }
    if (handled)
        result = record.result;
    return handled;
}

LRESULT CWindow::DispatchOrDefault(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (DispatchMessage(hwnd, message, wParam, lParam, result))
        return result;
    return CallDefaultProcedure(hwnd, message, wParam, lParam);
}

LRESULT CWindow::CallDefaultProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) const
{
    return m_defaultProcedureWide ? ::CallWindowProcW(m_defaultProcedure, hwnd, message, wParam, lParam)
                                  : ::CallWindowProcA(m_defaultProcedure, hwnd, message, wParam, lParam);
}

void CWindow::ReportError(const std::exception& error)
{
    const HWND hwnd = GetHandle();
    CWnd(::IsWindow(hwnd) ? hwnd : nullptr).ShowExceptionBox(L"エラー (3)", error);
}

} // namespace Brivox
