#pragma once
// The clipboard is one for every test process of the prefix: the tests that use it take turns
// through a named mutex, held from Take until the turn object goes.

#include <gtest/gtest.h>

#include <windows.h>

namespace KanoruTest {

class ClipboardTurn
{
public:
    ClipboardTurn() = default;
    ClipboardTurn(const ClipboardTurn&) = delete;
    ClipboardTurn& operator=(const ClipboardTurn&) = delete;
    ~ClipboardTurn()
    {
        if (m_holding)
            ::ReleaseMutex(m_turn);
        if (m_turn)
            ::CloseHandle(m_turn);
    }

    // Waits up to two minutes for the turn.
    ::testing::AssertionResult Take()
    {
        m_turn = ::CreateMutexW(nullptr, FALSE, L"KanoruTests.Clipboard");
        if (!m_turn)
            return ::testing::AssertionFailure() << "no clipboard mutex";
        const DWORD result = ::WaitForSingleObject(m_turn, 120000);
        if (result != WAIT_OBJECT_0 && result != WAIT_ABANDONED)
            return ::testing::AssertionFailure() << "the clipboard stayed taken";
        m_holding = true;
        return ::testing::AssertionSuccess();
    }

private:
    HANDLE m_turn = nullptr;
    bool m_holding = false;
};

} // namespace KanoruTest
