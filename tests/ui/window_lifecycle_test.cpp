#include "support/window_test_bed.h"
#include "ui/ui_test_resources.h"
#include "ui/window.h"
#include "ui/window_test_support.h"

#include "foundation/encoding.h"
#include "foundation/exception.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

using Brivox::CWindow;
using Brivox::IsMessageLoopThread;
using Brivox::SMessage;
using Brivox::Detail::GetWindowCount;
using KanoruTest::HasQuitMessage;

namespace {

// A plain window of the calling thread, for a window thread to send to.
class ThreadWindow
{
public:
    ThreadWindow()
        : m_hwnd(::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr))
    {
    }
    ~ThreadWindow() { ::DestroyWindow(m_hwnd); }
    ThreadWindow(const ThreadWindow&) = delete;
    ThreadWindow& operator=(const ThreadWindow&) = delete;

    HWND Handle() const { return m_hwnd; }

private:
    HWND m_hwnd;
};

void SetTextBySending(HWND target, const wchar_t* text)
{
    ::SendMessageW(target, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
}

bool ClassExists(const Brivox::String& name)
{
    WNDCLASSEXW info{};
    info.cbSize = sizeof(info);
    return ::GetClassInfoExW(::GetModuleHandleW(nullptr), name.CStr(), &info) != FALSE;
}

// Closes the window as its owner would and waits, from this thread, for its loop to end.
void CloseAndWait(TestWindow& test)
{
    test.window.PostMessage(WM_CLOSE, 0, 0);
    test.window.RunMessageLoop();
}

} // namespace

TEST(WindowLifecycle, NothingBeforeWmCreateOrWmInitDialogReachesAHooker)
{
    {
        TestWindow test;
        test.Create();
        const std::vector<UINT> messages = test.Messages();
        ASSERT_FALSE(messages.empty());
        EXPECT_EQ(messages.front(), static_cast<UINT>(WM_CREATE));
    }
    {
        TestWindow test;
        LPARAM initParam = 0;
        HWND initWindow = nullptr;
        test.onMessage = [&](SMessage& message) {
            if (message.message == WM_INITDIALOG) {
                initParam = message.lParam;
                initWindow = message.hwnd;
            }
            return false;
        };
        QuietDialogParameter parameter(IDD_MODELESS_TEST);
        test.window.CreateDialog(parameter);
        const std::vector<UINT> messages = test.Messages();
        ASSERT_FALSE(messages.empty());
        EXPECT_EQ(messages.front(), static_cast<UINT>(WM_INITDIALOG));
        EXPECT_EQ(initParam, reinterpret_cast<LPARAM>(&test.window));
        EXPECT_EQ(initWindow, test.Handle());
        EXPECT_EQ(test.window.GetKind(), CWindow::ModelessDialogKind);
    }
}

TEST(WindowLifecycle, OfTwoWindowsOnAThreadOnlyTheSecondsDestructionPostsTheQuitMessage)
{
    RunOnFreshThread([] {
        const DWORD self = ::GetCurrentThreadId();
        TestWindow first;
        TestWindow second;
        QuietDialogParameter parameter(IDD_MODELESS_TEST);
        first.window.CreateDialogHere(parameter);
        EXPECT_EQ(GetWindowCount(self), 1);
        second.window.CreateDialogHere(parameter);
        EXPECT_EQ(GetWindowCount(self), 2);
        EXPECT_TRUE(IsMessageLoopThread(self));

        first.window.Destroy();
        EXPECT_EQ(first.Handle(), nullptr);
        EXPECT_EQ(GetWindowCount(self), 1);
        EXPECT_FALSE(HasQuitMessage());

        second.window.Destroy();
        EXPECT_EQ(GetWindowCount(self), 0);
        EXPECT_TRUE(HasQuitMessage());
        // The loop takes it and the thread runs a loop no more.
        EXPECT_FALSE(second.window.PumpMessages());
        EXPECT_FALSE(IsMessageLoopThread(self));
        // Destroying a window that is gone does nothing.
        second.window.Destroy();
        EXPECT_FALSE(HasQuitMessage());
    });
}

TEST(WindowLifecycle, AModalDialogLeavesTheCountAsItWasAndTheQuitMessageOnlyToALoopThatLostItsLastWindow)
{
    struct Case
    {
        bool destroyPageMeanwhile;
        int countAfter;
        bool quitAfter;
    };
    for (const Case& c : {Case{false, 1, false}, Case{true, 0, true}}) {
        RunOnFreshThread([&] {
            const DWORD self = ::GetCurrentThreadId();
            TestWindow page;
            QuietDialogParameter pageParameter(IDD_MODELESS_TEST);
            page.window.CreateDialogHere(pageParameter);

            TestWindow modal;
            modal.onMessage = [&](SMessage& message) {
                if (message.message != WM_COMMAND || LOWORD(message.wParam) != IDOK)
                    return false;
                if (c.destroyPageMeanwhile)
                    page.window.Destroy();
                else
                    ::PostQuitMessage(7); // a stray one: the dialog's end removes it
                modal.window.Destroy();
                return true;
            };
            KanoruTest::DialogAnswerer answer(L"Kanoru modal test dialog", IDOK);
            Brivox::CModalDialogParameter parameter(IDD_MODAL_TEST);
            EXPECT_EQ(modal.window.RunModalDialog(parameter), 0);
            EXPECT_TRUE(answer.Answered());
            EXPECT_TRUE(modal.Saw(WM_DESTROY));
            EXPECT_EQ(GetWindowCount(self), c.countAfter) << c.destroyPageMeanwhile;
            EXPECT_EQ(HasQuitMessage(), c.quitAfter) << c.destroyPageMeanwhile;
            page.window.Destroy();
        });
    }
}

TEST(WindowLifecycle, DestroyUnregistersTheClassAndEveryWindowGetsAClassNameOfItsOwn)
{
    TestWindow first;
    first.Create();
    const Brivox::String name = first.window.GetRegisteredClassName();
    ASSERT_GT(name.Length(), 0);
    EXPECT_TRUE(ClassExists(name));
    EXPECT_EQ(first.window.GetClassName(), name);

    TestWindow second;
    second.Create();
    EXPECT_FALSE(second.window.GetRegisteredClassName() == name);

    CloseAndWait(first);
    EXPECT_EQ(first.Handle(), nullptr);
    EXPECT_FALSE(ClassExists(name));
    EXPECT_TRUE(::IsWindow(second.Handle()));
}

TEST(WindowLifecycle, AWindowCanBeCreatedAgainAfterItsEndAndWhileItStillExists)
{
    TestWindow test;
    test.Create();
    CloseAndWait(test);

    test.Create();
    const HWND second = test.Handle();
    ASSERT_TRUE(::IsWindow(second));
    SetTextBySending(second, L"second");
    EXPECT_EQ(test.window.GetText(), Brivox::String(L"second"));

    // Made again while it exists: the earlier window ends on its thread first.
    test.Create();
    EXPECT_FALSE(::IsWindow(second));
    EXPECT_TRUE(::IsWindow(test.Handle()));
    CloseAndWait(test);
}

TEST(WindowLifecycle, RunMessageLoopOnAnotherThreadReturnsOnceTheLoopHasEnded)
{
    TestWindow test;
    test.Create();
    const DWORD windowThread = test.ThreadId();
    EXPECT_TRUE(IsMessageLoopThread(windowThread));

    std::atomic<bool> returned{false};
    std::thread waiter([&] {
        test.window.RunMessageLoop();
        returned = true;
    });
    test.window.PostMessage(WM_CLOSE, 0, 0);
    waiter.join();
    EXPECT_TRUE(returned);
    EXPECT_FALSE(IsMessageLoopThread(windowThread));

    // Asked once the loop has ended: at once.
    test.window.RunMessageLoop();
}

TEST(WindowLifecycle, TheCreatorServesItsOwnMessagesWhileTheWindowIsMade)
{
    ThreadWindow here;
    TestWindow test;
    // Without the creator's pumping this send would wait for ever.
    test.onMessage = [&](SMessage& message) {
        if (message.message == WM_CREATE)
            SetTextBySending(here.Handle(), L"served at creation");
        return false;
    };
    test.Create();
    EXPECT_EQ(KanoruTest::WindowText(here.Handle()), L"served at creation");
}

TEST(WindowLifecycle, DeletingAWindowWhoseThreadWaitsForMessagesEndsItOnItsOwnThread)
{
    ThreadWindow here;
    auto test = std::make_unique<TestWindow>();
    test->Create();
    const HWND hwnd = test->Handle();
    const DWORD windowThread = test->ThreadId();
    DWORD destroyedOn = 0;
    test->onMessage = [&](SMessage& message) {
        if (message.message == WM_DESTROY) {
            destroyedOn = ::GetCurrentThreadId();
            // The deleting thread serves this while it waits.
            SetTextBySending(here.Handle(), L"served at destruction");
        }
        return false;
    };
    test.reset();
    EXPECT_FALSE(::IsWindow(hwnd));
    EXPECT_EQ(destroyedOn, windowThread);
    EXPECT_EQ(KanoruTest::WindowText(here.Handle()), L"served at destruction");
    EXPECT_FALSE(IsMessageLoopThread(windowThread));
}

TEST(WindowLifecycle, DestroyFromAnotherThreadIsCarriedOutOnTheWindowsThread)
{
    TestWindow test;
    test.Create();
    const HWND hwnd = test.Handle();
    test.window.Destroy();
    test.window.RunMessageLoop();
    EXPECT_FALSE(::IsWindow(hwnd));
    EXPECT_EQ(test.Handle(), nullptr);
}

TEST(WindowLifecycle, ACreatorWithAParentThatIsToldToQuitGivesUpTheWaitAndKeepsTheQuitMessage)
{
    RunOnFreshThread([] {
        ThreadWindow parent;
        {
            TestWindow test;
            QuietWindowParameter parameter;
            parameter.parent = parent.Handle();
            ::PostQuitMessage(3);
            try {
                test.window.Create(parameter);
                ADD_FAILURE() << "no exception";
            } catch (const Brivox::RuntimeException& error) {
                EXPECT_EQ(Brivox::FromApiTextA(error.what()),
                          Brivox::String(L"ウィンドウの作成に失敗しました"));
            }
            MSG quit;
            ASSERT_TRUE(::PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
            EXPECT_EQ(quit.wParam, 3u);
        }
        {
            // Without a parent the window is made all the same; the quit message stays.
            TestWindow test;
            ::PostQuitMessage(4);
            test.Create();
            EXPECT_TRUE(::IsWindow(test.Handle()));
            EXPECT_TRUE(HasQuitMessage());
        }
    });
}
