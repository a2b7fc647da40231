#include "foundation/encoding.h"
#include "foundation/exception.h"
#include "foundation/fault_translator.h"
#include "foundation/message_box.h"
#include "foundation/win32.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <exception>
#include <string>
#include <thread>

// An illegal instruction followed by "return 7", for tests that step over it.
extern "C" int BrivoxTestIllegalInstruction();
#if defined(__x86_64__)
asm(R"(
    .text
    .globl BrivoxTestIllegalInstruction
BrivoxTestIllegalInstruction:
    ud2
    movl $7, %eax
    ret
)");
#else
asm(R"(
    .text
    .globl _BrivoxTestIllegalInstruction
_BrivoxTestIllegalInstruction:
    ud2
    movl $7, %eax
    ret
)");
#endif

namespace {

using Brivox::String;

std::string Ansi(const String& text)
{
    return Brivox::GetDefaultEncoding().ToMultiByte(text);
}

struct Counted
{
    int& destroyed;
    ~Counted() { ++destroyed; }
};

// Hides the null pointer from the optimiser, which would otherwise drop or replace the write.
[[gnu::noipa]] int* Opaque(int* p)
{
    return p;
}

// Each faulting operation's result is used, or the compiler would remove it.
[[gnu::noinline]] int WriteThroughNull(int& destroyed)
{
    Counted frame{destroyed};
    int* target = Opaque(nullptr);
    *target = 1;
    return *target;
}

[[gnu::noinline]] int DivideByZero(int& destroyed)
{
    Counted frame{destroyed};
    volatile int zero = 0;
    return 7 / zero;
}

[[gnu::noinline]] int ExecuteIllegalInstruction(int& destroyed)
{
    Counted frame{destroyed};
    return BrivoxTestIllegalInstruction() + 1;
}

// A frame between the fault and the catch, whose destructor must run too.
[[gnu::noinline]] int CallBetween(int (*fault)(int&), int& destroyed)
{
    Counted frame{destroyed};
    return fault(destroyed) + 1;
}

template <typename T> bool IsA(const std::exception& e)
{
    return dynamic_cast<const T*>(&e) != nullptr;
}

struct FaultCase
{
    const char* name;
    int (*fault)(int&);
    bool (*isExpected)(const std::exception&);
    const wchar_t* text;
};

const FaultCase faultCases[] = {
    {"null write", WriteThroughNull, IsA<Brivox::AccessViolationException>,
     L"不正なメモリアクセスがありました"},
    {"integer divide by zero", DivideByZero, IsA<Brivox::FPEException>, L"浮動小数点数エラーがありました"},
    {"illegal instruction", ExecuteIllegalInstruction, IsA<Brivox::InvalidProgramException>,
     L"不正な命令が検出されました"},
};

// Twice each: a fault must not leave the thread unable to translate the next one.
void ExpectFaultsCaught()
{
    for (int round = 0; round < 2; ++round) {
        for (const FaultCase& c : faultCases) {
            SCOPED_TRACE(testing::Message() << c.name << ", round " << round);
            int destroyed = 0;
            bool caught = false;
            try {
                CallBetween(c.fault, destroyed);
            } catch (const Brivox::Exception& e) {
                caught = true;
                EXPECT_TRUE(c.isExpected(e));
                EXPECT_EQ(std::string(e.what()), Ansi(c.text));
            }
            EXPECT_TRUE(caught);
            EXPECT_EQ(destroyed, 2);
        }
    }
}

// A last-resort handler of the test's own that steps over BrivoxTestIllegalInstruction's ud2.
class IllegalInstructionSkipper
{
public:
    IllegalInstructionSkipper() : handle_(::AddVectoredExceptionHandler(0, &Skip)) {}
    ~IllegalInstructionSkipper() { ::RemoveVectoredExceptionHandler(handle_); }
    IllegalInstructionSkipper(const IllegalInstructionSkipper&) = delete;
    IllegalInstructionSkipper& operator=(const IllegalInstructionSkipper&) = delete;

private:
    static LONG CALLBACK Skip(EXCEPTION_POINTERS* info)
    {
        if (info->ExceptionRecord->ExceptionCode != EXCEPTION_ILLEGAL_INSTRUCTION ||
            info->ExceptionRecord->ExceptionAddress != reinterpret_cast<void*>(&BrivoxTestIllegalInstruction))
            return EXCEPTION_CONTINUE_SEARCH;
#if defined(__x86_64__)
        info->ContextRecord->Rip += 2;
#else
        info->ContextRecord->Eip += 2;
#endif
        return EXCEPTION_CONTINUE_EXECUTION;
    }

    void* handle_;
};

std::string Hex(const std::string& bytes)
{
    std::string hex;
    char digits[3];
    for (unsigned char b : bytes) {
        std::snprintf(digits, sizeof digits, "%02X", b);
        hex += digits;
    }
    return hex;
}

std::string BoxReport(const std::string& text, const std::string& caption, UINT style)
{
    char styleText[16];
    std::snprintf(styleText, sizeof styleText, "%X", style);
    return "box " + Hex(text) + " " + Hex(caption) + " " + styleText;
}

// Answers the box in the child process of a death test, telling the parent what it showed.
int ReportBox(HWND, const char* text, const char* caption, UINT style)
{
    std::fprintf(stderr, "%s\n", BoxReport(text, caption, style).c_str());
    std::fflush(stderr);
    return IDOK;
}

std::string AbortBoxReport()
{
    return BoxReport(Ansi(L"異常終了"), Ansi(L"エラー"), MB_ICONERROR | MB_TOPMOST);
}

} // namespace

TEST(FaultTranslator, FaultsOnTheFirstThreadBecomeExceptions)
{
    ExpectFaultsCaught();
}

TEST(FaultTranslator, FaultsOnAWorkerThatInstalledTheTranslatorBecomeExceptions)
{
    std::thread worker([] {
        Brivox::InstallExceptionTranslatorIfEnabled();
        ExpectFaultsCaught();
    });
    worker.join();
}

TEST(FaultTranslator, ThreadThatDidNotInstallItIsLeftAlone)
{
    IllegalInstructionSkipper skipper;
    int result = 0;
    bool threw = false;
    std::thread worker([&] {
        try {
            result = BrivoxTestIllegalInstruction();
        } catch (...) {
            threw = true;
        }
    });
    worker.join();
    EXPECT_FALSE(threw);
    EXPECT_EQ(result, 7);
}

TEST(FaultTranslator, FaultInsideASystemFunctionIsLeftToIt)
{
    // The system catches its own fault on this bad address and answers 0.
    EXPECT_EQ(::lstrlenA(reinterpret_cast<const char*>(16)), 0);
}

TEST(FaultTranslatorDeathTest, TerminateShowsTheAbortBoxAndExitsWithOne)
{
    EXPECT_EXIT(
        {
            Brivox::SetMessageBoxHook(&ReportBox);
            std::terminate();
        },
        testing::ExitedWithCode(1), AbortBoxReport());
}

TEST(FaultTranslatorDeathTest, UncaughtFaultOnAWorkerEndsInTheAbortBox)
{
    EXPECT_EXIT(
        {
            Brivox::SetMessageBoxHook(&ReportBox);
            std::thread worker([] {
                Brivox::InstallExceptionTranslatorIfEnabled();
                int destroyed = 0;
                WriteThroughNull(destroyed);
            });
            worker.join();
        },
        testing::ExitedWithCode(1), AbortBoxReport());
}
