#pragma once
#include "tools/sample_pages/sample_pages.h"

#include "ui/window.h"

// A window standing in for the viewer's main window: on top of the other tests' windows, without
// taking the foreground, its client area showing the first sample page or one colour. WM_CLOSE
// destroys it.
class StandInViewer : public Brivox::IMsgHooker
{
public:
    explicit StandInViewer(const wchar_t* title)
    {
        m_page.Resize(SamplePages::PageSize);
        m_page.Blit(*SamplePages::DrawPage(1), {0, 0},
                    {0, 0, SamplePages::PageSize.cx, SamplePages::PageSize.cy});
        m_window.GetHookList()->Add(this);
        Brivox::CWindowParameter parameter;
        parameter.activate = false;
        parameter.style = WS_POPUP | WS_CAPTION;
        parameter.exStyle = WS_EX_TOPMOST;
        m_window.Create(parameter);
        m_window.SetText(title);
        m_window.SetPosition(40, 40);
        m_window.SetClientSize(SamplePages::PageSize);
        m_window.Show(SW_SHOWNOACTIVATE);
    }
    ~StandInViewer() override { m_window.Destroy(); }

    HWND Handle() const { return m_window.GetHandle(); }
    void ShowPage(bool page)
    {
        m_showPage = page;
        ::InvalidateRect(Handle(), nullptr, FALSE);
    }

    void RunMessageLoop() { m_window.RunMessageLoop(); }

    bool HookMessage(Brivox::SMessage& message) override
    {
        if (message.message == WM_ERASEBKGND) {
            message.result = 1;
            return true;
        }
        if (message.message == WM_CLOSE) {
            m_window.Destroy();
            return true;
        }
        if (message.message != WM_PAINT)
            return false;
        const auto paint = m_window.BeginPaint();
        if (m_showPage) {
            ::BitBlt(paint->hdc, 0, 0, SamplePages::PageSize.cx, SamplePages::PageSize.cy,
                     m_page.GetStorage().GetDC(), 0, 0, SRCCOPY);
        } else {
            const HBRUSH brush = ::CreateSolidBrush(RGB(0x20, 0x40, 0x60));
            RECT client{};
            ::GetClientRect(message.hwnd, &client);
            ::FillRect(paint->hdc, &client, brush);
            ::DeleteObject(brush);
        }
        return true;
    }

private:
    Brivox::CDib32 m_page;
    Brivox::CWindow m_window;
    bool m_showPage = true;
};
