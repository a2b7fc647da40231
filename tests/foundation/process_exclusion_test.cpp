#include "foundation/process_exclusion.h"

#include "child_process.h"
#include "foundation/win32.h"

#include <gtest/gtest.h>

#include <future>
#include <string>

using Brivox::CProcessExclusion;
using Brivox::ExclusionLock;
using Brivox::String;

namespace {

// ctest runs test cases as parallel processes: every path is made unique to this process.
std::wstring UniquePath(const std::wstring& name)
{
    return L"C:\\kanoru-tests\\" + std::to_wstring(::GetCurrentProcessId()) + L"\\" + name;
}

std::wstring Slashed(std::wstring path)
{
    for (wchar_t& ch : path)
        ch = ch == L'\\' ? L'/' : ch;
    return path;
}

// Whether a mutex of this name exists at the moment.
bool MutexExists(const std::wstring& name)
{
    HANDLE handle = ::OpenMutexW(SYNCHRONIZE, FALSE, name.c_str());
    if (handle)
        ::CloseHandle(handle);
    return handle != nullptr;
}

// What another thread gets when it tries the mutex without waiting (and gives it back).
DWORD TryFromOtherThread(HANDLE mutex)
{
    return std::async(std::launch::async,
                      [mutex] {
                          const DWORD result = ::WaitForSingleObject(mutex, 0);
                          if (result == WAIT_OBJECT_0 || result == WAIT_ABANDONED)
                              ::ReleaseMutex(mutex);
                          return result;
                      })
        .get();
}

// A handle that keeps the mutex object alive between the exclusion's own uses, owning nothing.
class Observer
{
public:
    explicit Observer(const std::wstring& name) : handle_(::CreateMutexW(nullptr, FALSE, name.c_str())) {}
    ~Observer() { ::CloseHandle(handle_); }
    Observer(const Observer&) = delete;
    Observer& operator=(const Observer&) = delete;
    HANDLE Get() const { return handle_; }

private:
    HANDLE handle_;
};

} // namespace

TEST(ProcessExclusion, MutexIsNamedAfterThePathWithSlashes)
{
    const std::wstring path = UniquePath(L"Tools\\viewer\\Kanoru.cfg");
    CProcessExclusion exclusion(path);
    EXPECT_FALSE(MutexExists(Slashed(path))) << "the constructor takes no lock";
    exclusion.Lock();
    EXPECT_TRUE(MutexExists(Slashed(path)));
    EXPECT_FALSE(MutexExists(path));
    exclusion.Unlock();
    EXPECT_FALSE(MutexExists(Slashed(path)));
    exclusion.Unlock(); // nothing held: nothing happens
}

TEST(ProcessExclusion, LongPathsAreCutTo259Characters)
{
    const std::wstring base = Slashed(UniquePath(L""));
    for (const std::size_t length : {std::size_t{259}, std::size_t{260}, std::size_t{300}}) {
        const std::wstring path = base + std::wstring(length - base.size(), L'x');
        CProcessExclusion exclusion(path);
        exclusion.Lock();
        EXPECT_TRUE(MutexExists(path.substr(0, 259))) << length;
        exclusion.Unlock();
    }
}

TEST(ProcessExclusion, SecondLockReleasesTheFirst)
{
    const std::wstring path = UniquePath(L"twice.cfg");
    const Observer observer(Slashed(path));
    {
        CProcessExclusion exclusion(path);
        exclusion.Lock();
        EXPECT_EQ(WAIT_TIMEOUT, TryFromOtherThread(observer.Get()));
        exclusion.Lock();
        exclusion.Unlock();
    }
    EXPECT_EQ(WAIT_OBJECT_0, TryFromOtherThread(observer.Get()));
}

TEST(ProcessExclusion, ScopeLockAndDestructorRelease)
{
    const std::wstring path = UniquePath(L"scope.cfg");
    const Observer observer(Slashed(path));
    {
        CProcessExclusion exclusion(path);
        ExclusionLock lock(exclusion);
        EXPECT_EQ(WAIT_TIMEOUT, TryFromOtherThread(observer.Get()));
    }
    EXPECT_EQ(WAIT_OBJECT_0, TryFromOtherThread(observer.Get()));
    {
        CProcessExclusion exclusion(path);
        exclusion.Lock();
    }
    EXPECT_EQ(WAIT_OBJECT_0, TryFromOtherThread(observer.Get()));
}

TEST(ProcessExclusion, TwoObjectsInOneProcessExcludeEachOther)
{
    const std::wstring path = UniquePath(L"threads.cfg");
    CProcessExclusion first(path);
    first.Lock();
    std::promise<void> started;
    auto second = std::async(std::launch::async, [&] {
        CProcessExclusion exclusion(path);
        started.set_value();
        exclusion.Lock();
        exclusion.Unlock();
    });
    started.get_future().wait();
    // Not a timing assumption: a second lock that wrongly succeeds ends at once, and the wait
    // below then sees it; a working one is still blocked, however slow the machine.
    EXPECT_EQ(std::future_status::timeout, second.wait_for(std::chrono::milliseconds(200)));
    first.Unlock();
    second.get();
}

namespace {

// Second process: the path's mutex must be open by its name while the first process holds it.
int OpenByName(const std::wstring& path)
{
    HANDLE handle = ::OpenMutexW(SYNCHRONIZE, FALSE, Slashed(path).c_str());
    if (!handle)
        return static_cast<int>(::GetLastError());
    ::CloseHandle(handle);
    return 0;
}

// Second process: reports through the exit code what a file holds once it has the lock.
int LockThenRead(const std::wstring& path)
{
    CProcessExclusion exclusion(path);
    HANDLE ready = ::OpenEventW(EVENT_MODIFY_STATE, FALSE, (Slashed(path) + L"#ready").c_str());
    ::SetEvent(ready);
    ::CloseHandle(ready);
    ExclusionLock lock(exclusion);
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    char ch = 0;
    DWORD read = 0;
    ::ReadFile(file, &ch, 1, &read, nullptr);
    ::CloseHandle(file);
    return ch;
}

// Second process: takes the lock and ends without giving it back.
int LockAndEnd(const std::wstring& path)
{
    CProcessExclusion exclusion(path);
    exclusion.Lock();
    ::ExitProcess(7);
}

const ChildProcess::ChildRole openByName(L"exclusion-open", OpenByName);
const ChildProcess::ChildRole lockThenRead(L"exclusion-read", LockThenRead);
const ChildProcess::ChildRole lockAndEnd(L"exclusion-end", LockAndEnd);

void WriteMark(const std::wstring& path, char mark)
{
    HANDLE file =
        ::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    ::WriteFile(file, &mark, 1, &written, nullptr);
    ::CloseHandle(file);
}

std::wstring TempFilePath(const wchar_t* name)
{
    wchar_t temp[MAX_PATH + 1] = {};
    ::GetTempPathW(MAX_PATH, temp);
    return std::wstring(temp) + L"kanoru_exclusion_" + std::to_wstring(::GetCurrentProcessId()) + L"_" + name;
}

} // namespace

TEST(ProcessExclusion, SecondProcessOpensTheMutexOfALockedPathByName)
{
    const std::wstring path = UniquePath(L"viewer\\Kanoru.cfg");
    CProcessExclusion exclusion(path);
    exclusion.Lock();
    ChildProcess::Child child(L"exclusion-open", path);
    ASSERT_TRUE(child.Started());
    EXPECT_EQ(0, child.Wait());
}

TEST(ProcessExclusion, SecondProcessWaitsUntilTheFirstUnlocks)
{
    const std::wstring path = TempFilePath(L"wait.txt");
    WriteMark(path, 'B');
    HANDLE ready = ::CreateEventW(nullptr, TRUE, FALSE, (Slashed(path) + L"#ready").c_str());
    {
        CProcessExclusion exclusion(path);
        ExclusionLock lock(exclusion);
        ChildProcess::Child child(L"exclusion-read", path);
        ASSERT_TRUE(child.Started());
        ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(ready, 60000));
        // A child that got through at once would read 'B' now; a working lock holds it back.
        EXPECT_EQ(WAIT_TIMEOUT, ::WaitForSingleObject(child.Handle(), 200));
        WriteMark(path, 'A');
        exclusion.Unlock();
        EXPECT_EQ('A', child.Wait());
    }
    ::CloseHandle(ready);
    ::DeleteFileW(path.c_str());
}

TEST(ProcessExclusion, OwnerThatEndsWhileHoldingFreesTheLock)
{
    const std::wstring path = UniquePath(L"abandoned.cfg");
    // Keeps the mutex in existence after the child ends, so that it is left abandoned.
    const Observer observer(Slashed(path));
    ChildProcess::Child child(L"exclusion-end", path);
    ASSERT_TRUE(child.Started());
    ASSERT_EQ(7, child.Wait());
    CProcessExclusion exclusion(path);
    exclusion.Lock(); // would block for ever if an abandoned mutex did not count as acquired
    EXPECT_EQ(WAIT_TIMEOUT, TryFromOtherThread(observer.Get()));
    exclusion.Unlock();
}
