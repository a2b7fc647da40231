#pragma once
// Drives the system's modal dialogs (file, folder, colour) from a helper thread: the thread under
// test runs them and returns only when they have closed.

#include "foundation/file_system.h"
#include "support/window_test_bed.h"

#include <windows.h>

#include <commctrl.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace KanoruTest {

// The first window of a class that a window enumeration visits.
struct WindowOfClass
{
    const wchar_t* className;
    bool mustBeVisible;
    HWND found = nullptr;

    static BOOL CALLBACK Visit(HWND hwnd, LPARAM context)
    {
        auto& search = *reinterpret_cast<WindowOfClass*>(context);
        wchar_t className[32] = {};
        ::GetClassNameW(hwnd, className, 32);
        if (std::wstring(className) != search.className || (search.mustBeVisible && !::IsWindowVisible(hwnd)))
            return TRUE;
        search.found = hwnd;
        return FALSE;
    }
};

// Acts on the first visible dialog box of a thread, from a helper thread, as soon as it shows:
// the common dialogs run modally on the thread under test and return only when closed.
class ThreadDialogDriver
{
public:
    // ready: what the dialog must show before the action, looked at until it holds.
    ThreadDialogDriver(
        DWORD threadId, std::function<void(HWND)> action,
        std::function<bool(HWND)> ready = [](HWND) { return true; })
        : m_thread([this, threadId, action, ready] { Run(threadId, action, ready); })
    {
    }
    ~ThreadDialogDriver()
    {
        {
            std::lock_guard<std::mutex> lock(m_lock);
            m_stopping = true;
        }
        m_stop.notify_all();
        m_thread.join();
    }
    ThreadDialogDriver(const ThreadDialogDriver&) = delete;
    ThreadDialogDriver& operator=(const ThreadDialogDriver&) = delete;

    bool Acted() const { return m_acted; }

private:
    static HWND FindVisibleDialog(DWORD threadId)
    {
        WindowOfClass search{L"#32770", true};
        ::EnumThreadWindows(threadId, &WindowOfClass::Visit, reinterpret_cast<LPARAM>(&search));
        return search.found;
    }

    void Run(DWORD threadId, const std::function<void(HWND)>& action, const std::function<bool(HWND)>& ready)
    {
        // After the deadline a dialog that never got ready is acted on all the same: the test
        // then fails on what the dialog answers instead of hanging.
        const auto end = std::chrono::steady_clock::now() + KanoruTest::WaitDeadline;
        std::unique_lock<std::mutex> lock(m_lock);
        while (!m_stopping) {
            lock.unlock();
            const bool late = std::chrono::steady_clock::now() >= end;
            const HWND dialog = FindVisibleDialog(threadId);
            if (dialog && (late || ready(dialog))) {
                action(dialog);
                m_acted = true;
                return;
            }
            if (late)
                return;
            lock.lock();
            m_stop.wait_for(lock, std::chrono::milliseconds(10), [this] { return m_stopping; });
        }
    }

    std::mutex m_lock;
    std::condition_variable m_stop;
    bool m_stopping = false;
    std::atomic<bool> m_acted{false};
    std::thread m_thread;
};

inline void PressButton(HWND dialog, int buttonId)
{
    ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(dialog, buttonId)));
}

// The text of the item selected in the folder tree of the system's folder dialog.
inline std::wstring SelectedFolderName(HWND dialog)
{
    WindowOfClass search{WC_TREEVIEWW, false};
    ::EnumChildWindows(dialog, &WindowOfClass::Visit, reinterpret_cast<LPARAM>(&search));
    const HWND tree = search.found;
    if (!tree)
        return std::wstring();
    wchar_t text[MAX_PATH] = {};
    TVITEMW item{};
    item.mask = TVIF_TEXT;
    item.hItem = reinterpret_cast<HTREEITEM>(::SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
    item.pszText = text;
    item.cchTextMax = MAX_PATH;
    if (!item.hItem || !::SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)))
        return std::wstring();
    return text;
}

// Reads every folder from the drive's root down to the folder once. Wine's folder dialog finds its
// start folder by comparing item ids byte for byte, access times included, and a folder first
// read while the dialog walks down the tree gets a new access time under it: the dialog then
// starts elsewhere. Once read after its last change, a folder keeps its access time.
inline void ReadFoldersDownTo(const std::wstring& folder)
{
    for (std::size_t end = folder.find(L'\\'); end != std::wstring::npos; end = folder.find(L'\\', end + 1)) {
        Brivox::FindFile search(Brivox::String(folder.substr(0, end + 1).c_str()) + L"*");
        while (search.Next()) {
        }
    }
}

// The file-name field of the system's file dialog.
constexpr int FileNameField = 1148;

} // namespace KanoruTest
