#include "support/window_test_bed.h"
#include "ui/ui_test_resources.h"
#include "ui/window.h"
#include "ui/window_test_support.h"

#include "foundation/encoding.h"
#include "foundation/exception.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>

using Brivox::IsMessageLoopThread;
using Brivox::SMessage;
using Brivox::String;
using KanoruTest::MessageBoxAnswerer;

namespace {

constexpr UINT ErrorBoxStyle = MB_ICONINFORMATION | MB_SYSTEMMODAL | MB_SETFOREGROUND;

// Joins a window after its test hooker and throws once, at the first message of a kind.
class ThrowingHooker : public Brivox::IMsgHooker
{
public:
    ThrowingHooker(Brivox::CWindow& window, UINT message) : m_message(message)
    {
        window.GetHookList()->Add(this);
    }

    bool HookMessage(SMessage& message) override
    {
        if (message.message == m_message && !m_thrown.exchange(true))
            throw Brivox::RuntimeException(L"フックの失敗");
        return false;
    }

private:
    UINT m_message;
    std::atomic<bool> m_thrown{false};
};

String StartOf(const String& text, const String& start)
{
    return text.Substring(0, std::min(text.Length(), start.Length()));
}

} // namespace

TEST(DesktopInputWindowErrors, AThrowingHookerShowsErrorThreeOwnedByTheWindowAndTheDefaultProcedureStillRuns)
{
    MessageBoxAnswerer boxes;
    TestWindow test;
    ThrowingHooker thrower(test.window, WM_SETTEXT);
    test.Create();
    const HWND hwnd = test.Handle();

    ::SendMessageW(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"既定の処理"));
    EXPECT_EQ(test.window.GetText(), String(L"既定の処理"));
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    const MessageBoxAnswerer::Box box = boxes.Boxes().front();
    EXPECT_EQ(box.caption, String(L"エラー (3)"));
    EXPECT_EQ(box.text, String(L"フックの失敗"));
    EXPECT_EQ(box.owner, hwnd);
    EXPECT_EQ(box.style, ErrorBoxStyle);
    EXPECT_EQ(box.threadId, test.ThreadId());

    // The window works on.
    ::SendMessageW(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"again"));
    EXPECT_EQ(test.window.GetText(), String(L"again"));
    EXPECT_EQ(boxes.Boxes().size(), 1u);
    test.window.PostMessage(WM_CLOSE, 0, 0);
    test.window.RunMessageLoop();
    EXPECT_FALSE(::IsWindow(hwnd));
}

TEST(DesktopInputWindowErrors, AThrowingWmDestroyHookerOfTheThreadsLastWindowStillEndsItsLoop)
{
    MessageBoxAnswerer boxes;
    TestWindow test;
    ThrowingHooker thrower(test.window, WM_DESTROY);
    test.Create();
    const DWORD windowThread = test.ThreadId();
    test.window.PostMessage(WM_CLOSE, 0, 0);
    // The box's quit-message drain must not keep the loop from its end.
    test.window.RunMessageLoop();
    EXPECT_FALSE(IsMessageLoopThread(windowThread));
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes().front().caption, String(L"エラー (3)"));
}

TEST(DesktopInputWindowErrors, EndSessionFalseKeepsTheWindowAndTrueEndsItAfterEveryHookerSawIt)
{
    TestWindow test;
    bool existedForTestHooker = false;
    test.onMessage = [&](SMessage& message) {
        if (message.message == WM_ENDSESSION)
            existedForTestHooker = ::IsWindow(message.hwnd) && test.Handle() == message.hwnd;
        return false;
    };
    // A later hooker, as the main window's companions are.
    struct LateHooker : Brivox::IMsgHooker
    {
        bool sawWindow = false;
        bool HookMessage(SMessage& message) override
        {
            if (message.message == WM_ENDSESSION)
                sawWindow = ::IsWindow(message.hwnd) != FALSE;
            return false;
        }
    } late;
    test.window.GetHookList()->Add(&late);
    test.Create();
    const HWND hwnd = test.Handle();

    ::SendMessageW(hwnd, WM_ENDSESSION, FALSE, 0);
    EXPECT_TRUE(::IsWindow(hwnd));
    EXPECT_FALSE(test.Saw(WM_DESTROY));

    ::SendMessageW(hwnd, WM_ENDSESSION, TRUE, 0);
    EXPECT_TRUE(existedForTestHooker);
    EXPECT_TRUE(late.sawWindow);
    EXPECT_FALSE(::IsWindow(hwnd));
    test.window.RunMessageLoop();
}

TEST(DesktopInputWindowErrors, AFailedCreationThrowsTheSystemsReasonAndLeavesTheThreadAsItWas)
{
    struct Case
    {
        const wchar_t* name;
        std::function<void(Brivox::CWindow&)> create;
        const wchar_t* message;
    };
    const Case cases[] = {
        {L"window of an unknown class",
         [](Brivox::CWindow& window) {
             QuietWindowParameter parameter;
             parameter.className = L"KanoruNoSuchClass";
             window.Create(parameter);
         },
         L"ウィンドウの作成に失敗 : "},
        {L"dialog without a template",
         [](Brivox::CWindow& window) {
             QuietDialogParameter parameter(IDD_MISSING);
             window.CreateDialog(parameter);
         },
         L"ダイアログの作成に失敗 : "},
        {L"dialog here without a template",
         [](Brivox::CWindow& window) {
             QuietDialogParameter parameter(IDD_MISSING);
             window.CreateDialogHere(parameter);
         },
         L"ダイアログの作成に失敗 : "},
        {L"modal dialog without a template",
         [](Brivox::CWindow& window) {
             Brivox::CModalDialogParameter parameter(IDD_MISSING);
             window.RunModalDialog(parameter);
         },
         L"ダイアログの作成に失敗 : "},
    };
    for (const Case& c : cases) {
        RunOnFreshThread([&] {
            const DWORD self = ::GetCurrentThreadId();
            TestWindow test;
            try {
                c.create(test.window);
                ADD_FAILURE() << "no exception: " << String(c.name).CStr();
            } catch (const Brivox::RuntimeException& error) {
                EXPECT_EQ(StartOf(Brivox::FromApiTextA(error.what()), c.message), String(c.message))
                    << error.what();
            }
            EXPECT_EQ(test.Handle(), nullptr);
            EXPECT_EQ(Brivox::Detail::GetWindowCount(self), 0);
            EXPECT_FALSE(IsMessageLoopThread(self));
            EXPECT_FALSE(KanoruTest::HasQuitMessage());
        });
    }
}

TEST(DesktopInputWindowErrors, AFailedDialogHereLeavesALoopThreadALoopThread)
{
    RunOnFreshThread([] {
        const DWORD self = ::GetCurrentThreadId();
        TestWindow page;
        QuietDialogParameter parameter(IDD_MODELESS_TEST);
        page.window.CreateDialogHere(parameter);
        TestWindow failing;
        QuietDialogParameter missing(IDD_MISSING);
        EXPECT_THROW(failing.window.CreateDialogHere(missing), Brivox::RuntimeException);
        EXPECT_TRUE(IsMessageLoopThread(self));
        EXPECT_EQ(Brivox::Detail::GetWindowCount(self), 1);
        page.window.Destroy();
    });
}
