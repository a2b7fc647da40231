#pragma once
// The framework's window object: one window or dialog whose messages go through a hook list, run
// as a window or modeless dialog on a pooled worker thread of its own (the window thread), as a
// modeless dialog on the calling thread, or as a modal dialog.

#include "foundation/string.h"
#include "foundation/win32.h"
#include "ui/msg_hook.h"
#include "ui/window_thread.h"
#include "ui/wnd.h"

#include <atomic>
#include <exception>
#include <memory>

namespace Brivox {

class CWindow;

namespace Detail {
struct WindowThreadState;
struct SWindowCreateParam;
} // namespace Detail

// What a window is made from. Filled at the call site and alive until the creating call returns.
class IWindowParameter
{
public:
    IWindowParameter() = default;
    IWindowParameter(const IWindowParameter&) = delete;
    IWindowParameter& operator=(const IWindowParameter&) = delete;
    virtual ~IWindowParameter() = default;

    // Bring the new window to the foreground once it exists.
    bool activate = true;
};

class CWindowParameter : public IWindowParameter
{
public:
    DWORD style = WS_CLIPCHILDREN | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    DWORD exStyle = WS_EX_APPWINDOW;
    HMENU menu = nullptr;
    HWND parent = nullptr;
    // Empty: the window gets a class of its own. Otherwise a class that exists, whose procedure
    // the window keeps as its default procedure.
    String className;
};

class CDialogParameter : public IWindowParameter
{
public:
    CDialogParameter() = default;
    explicit CDialogParameter(WORD templateId, HWND parent = nullptr) : templateId(templateId), parent(parent)
    {
    }

    // The dialog template in the program's resources.
    WORD templateId = 0;
    HWND parent = nullptr;
};

class CModalDialogParameter : public CDialogParameter
{
public:
    using CDialogParameter::CDialogParameter;
};

LRESULT CALLBACK InitialWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK InitialDialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

class CWindow : public CWnd, public IMsgHooker
{
public:
    enum Kind
    {
        WindowKind = 0,
        ModelessDialogKind = 1,
        ModalDialogKind = 2,
    };

    // Joins its own hook list as the first hooker.
    CWindow();
    // A window that still exists is destroyed on its own thread first, and the window thread's
    // job is waited for while this thread goes on serving its own messages.
    ~CWindow() override;

    // Where the window's controllers join.
    Detail::MsgHookList* GetHookList() const { return m_hookList; }
    Kind GetKind() const { return m_kind; }
    // The class this object registered for its window; empty when it registered none.
    const String& GetRegisteredClassName() const { return m_className; }

    // A window on a new window thread; returns once it exists. The calling thread's messages are
    // served meanwhile. Throws RuntimeException when it cannot be made, and
    // "ウィンドウの作成に失敗しました" when the calling thread's loop is told to quit meanwhile
    // while the window has a parent.
    void Create(CWindowParameter& parameter);
    // The same for a modeless dialog ("ダイアログの作成に失敗しました").
    void CreateDialog(CDialogParameter& parameter);
    // A modeless dialog of the calling thread (a tab page), counted among its windows.
    void CreateDialogHere(CDialogParameter& parameter);
    // A modal dialog on the calling thread; its result, always 0. Quit messages that came
    // meanwhile are removed, and posted again when this thread's loop has lost its last window.
    int RunModalDialog(CModalDialogParameter& parameter);

    // Returns when the window's message loop has ended: on the window's thread by running it, on
    // another thread by waiting for it (serving that thread's messages).
    void RunMessageLoop();
    // Dispatches every queued message of the calling thread; false when it took the quit message.
    bool PumpMessages();
    // Ends the window as its kind requires; from another thread than the window's, the window's
    // thread is asked to do it. Nothing when the window does not exist.
    void Destroy();
    // Forces the mouse cursor shown or hidden for the window's thread.
    void ShowMouseCursor();
    void HideMouseCursor();

    bool HookMessage(SMessage& message) override;

private:
    friend LRESULT CALLBACK InitialWindowProc(HWND, UINT, WPARAM, LPARAM);
    friend LRESULT CALLBACK WindowProc(HWND, UINT, WPARAM, LPARAM);
    friend INT_PTR CALLBACK InitialDialogProc(HWND, UINT, WPARAM, LPARAM);
    friend INT_PTR CALLBACK DialogProc(HWND, UINT, WPARAM, LPARAM);

    using CreateFunction = void (CWindow::*)(IWindowParameter&);

    void CreateOnOwnThread(CreateFunction create, IWindowParameter& parameter, HWND parent,
                           const wchar_t* interruptedText);
    void WindowThreadProc(const std::shared_ptr<Detail::WindowThreadState>& state,
                          Detail::SWindowCreateParam& param);
    void CreateOnThread(Detail::SWindowCreateParam& param, Detail::WindowThreadState* state);
    void CreateWindowImpl(IWindowParameter& parameter);
    void CreateDialogImpl(IWindowParameter& parameter);
    // Ends the window thread of an earlier Create or CreateDialog and waits for its job.
    void EndWindowThread();
    void RequestOnWindowThread(std::atomic<int>& request, int value);
    bool OnWindowThread() const;
    void UnregisterOwnClass();

    bool DispatchMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    LRESULT DispatchOrDefault(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT CallDefaultProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) const;
    // The error handler of the hookers' exceptions.
    void ReportError(const std::exception& error);

    Kind m_kind = WindowKind;
    Detail::MsgHookList* m_hookList;
    String m_className;
    WNDPROC m_defaultProcedure = nullptr;
    bool m_defaultProcedureWide = true;
    std::shared_ptr<Detail::WindowThreadState> m_state;
    // Requests that another thread leaves for the window's thread, carried out on WM_NULL:
    // 0 none, 1 show, 2 hide the cursor; 0 or 1 destroy the window.
    std::atomic<int> m_cursorRequest{0};
    std::atomic<int> m_destroyRequest{0};
    // Whether this window is among its thread's counted windows (from its creation until
    // WM_DESTROY).
    bool m_counted = false;
    // Every modal dialog ends with 0; dialogs report OK or Cancel through their own members.
    static constexpr int m_modalResult = 0;
};

} // namespace Brivox
