// A small program with one window for the tests of the window test bed: its client area shows one
// colour, and its caption tells the last command or key it received ("command 63489",
// "key 66 ctrl shift"). Closing the window ends the program with exit code 0.

#include "foundation/string.h"
#include "foundation/thread_pool.h"
#include "ui/window.h"

namespace {

constexpr COLORREF ClientColour = RGB(0x20, 0x80, 0xC0);

class ProgramWindow : public Brivox::IMsgHooker
{
public:
    explicit ProgramWindow(Brivox::CWindow& window) : m_window(window) { window.GetHookList()->Add(this); }

    bool HookMessage(Brivox::SMessage& message) override
    {
        switch (message.message) {
        case WM_ERASEBKGND:
            message.result = 1;
            return true;
        case WM_PAINT: {
            const auto paint = m_window.BeginPaint();
            const HBRUSH brush = ::CreateSolidBrush(ClientColour);
            RECT client{};
            ::GetClientRect(message.hwnd, &client);
            ::FillRect(paint->hdc, &client, brush);
            ::DeleteObject(brush);
            return true;
        }
        case WM_COMMAND:
            m_window.SetText(Brivox::FormatString(L"command %d", LOWORD(message.wParam)));
            return true;
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
            ReportKey(static_cast<UINT>(message.wParam));
            return true;
        case WM_CLOSE:
            m_window.Destroy();
            return true;
        default:
            return false;
        }
    }

private:
    void ReportKey(UINT key)
    {
        // The modifiers themselves arrive as keys too; the report names the key they modify.
        if (key == VK_CONTROL || key == VK_SHIFT || key == VK_MENU)
            return;
        Brivox::String text = Brivox::FormatString(L"key %u", key);
        if (::GetKeyState(VK_CONTROL) & 0x8000)
            text += L" ctrl";
        if (::GetKeyState(VK_SHIFT) & 0x8000)
            text += L" shift";
        if (::GetKeyState(VK_MENU) & 0x8000)
            text += L" alt";
        m_window.SetText(text);
    }

    Brivox::CWindow& m_window;
};

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    {
        Brivox::CWindow window;
        ProgramWindow program(window);
        Brivox::CWindowParameter parameter;
        parameter.activate = false;
        parameter.style = WS_POPUP | WS_CAPTION;
        // Above the other tests' windows, so that the screen shows its pixels.
        parameter.exStyle = WS_EX_TOPMOST | WS_EX_APPWINDOW;
        window.Create(parameter);
        window.SetText(L"ready");
        window.SetPosition(400, 300);
        window.SetClientSize({160, 120});
        window.Show(SW_SHOWNOACTIVATE);
        window.RunMessageLoop();
    }
    Brivox::ThreadPool::Instance().Shutdown();
    return 0;
}
