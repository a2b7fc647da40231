// Stands in for the viewer in the tests of show_first_page: a window titled as the viewer's main
// window showing the first sample page. Closing the window ends the program with exit code 7 when
// its one argument arrived whole as "a b.jpg", 8 otherwise. With the argument "end" it ends at once
// with exit code 0, showing nothing.

#include "tools/sample_pages/sample_pages.h"

#include "foundation/command_line.h"
#include "foundation/thread_pool.h"
#include "ui/window.h"

namespace {

class StandIn : public Brivox::IMsgHooker
{
public:
    explicit StandIn(Brivox::CWindow& window) : m_window(window)
    {
        m_page.Resize(SamplePages::PageSize);
        m_page.Blit(*SamplePages::DrawPage(1), {0, 0},
                    {0, 0, SamplePages::PageSize.cx, SamplePages::PageSize.cy});
        window.GetHookList()->Add(this);
    }

    bool HookMessage(Brivox::SMessage& message) override
    {
        switch (message.message) {
        case WM_ERASEBKGND:
            message.result = 1;
            return true;
        case WM_PAINT: {
            const auto paint = m_window.BeginPaint();
            ::BitBlt(paint->hdc, 0, 0, SamplePages::PageSize.cx, SamplePages::PageSize.cy,
                     m_page.GetStorage().GetDC(), 0, 0, SRCCOPY);
            return true;
        }
        case WM_CLOSE:
            m_window.Destroy();
            return true;
        default:
            return false;
        }
    }

private:
    Brivox::CWindow& m_window;
    Brivox::CDib32 m_page;
};

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    const std::vector<Brivox::String> arguments = Brivox::SplitCommandLine();
    if (arguments.size() == 2 && arguments[1] == L"end")
        return 0;
    const bool whole = arguments.size() == 2 && arguments[1] == L"a b.jpg";
    {
        Brivox::CWindow window;
        StandIn standIn(window);
        Brivox::CWindowParameter parameter;
        parameter.activate = false;
        parameter.style = WS_POPUP | WS_CAPTION;
        parameter.exStyle = WS_EX_TOPMOST | WS_EX_APPWINDOW;
        window.Create(parameter);
        window.SetText(L"Kanoru : a b.jpg (800x600) [1/6] build-219");
        window.SetPosition(60, 60);
        window.SetClientSize(SamplePages::PageSize);
        window.Show(SW_SHOWNOACTIVATE);
        window.RunMessageLoop();
    }
    Brivox::ThreadPool::Instance().Shutdown();
    return whole ? 7 : 8;
}
