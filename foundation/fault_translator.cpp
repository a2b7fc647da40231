#include "foundation/fault_translator.h"

#include "foundation/encoding.h"
#include "foundation/exception.h"
#include "foundation/message_box.h"
#include "foundation/message_queue.h"
#include "foundation/win32.h"

#include <atomic>
#include <csignal>
#include <exception>
#include <float.h>

// How a fault becomes a C++ exception. A signal handler cannot throw, so a vectored exception
// handler catches the fault first and, instead of handling it, resumes the thread in
// BrivoxFaultEntry with the faulting address + 1 in a register. That stub pushes the address as
// if the faulting instruction had called BrivoxFaultThunk; the thunk, whose unwind data
// describes exactly that frame, calls BrivoxThrowFault, and the throw unwinds from the thunk
// into the faulting function as from a call made at the faulting instruction (the unwinder
// looks up return address - 1). The program is built with -fnon-call-exceptions, so the
// instruction lies in a region whose cleanups and handlers run.
extern "C" {
void BrivoxFaultEntry();
[[noreturn]] void BrivoxThrowFault(int kind);
}

#if defined(__x86_64__)
asm(R"(
    .text
    .p2align 4
    .globl BrivoxFaultEntry
BrivoxFaultEntry:
    pushq %rdx
    jmp BrivoxFaultThunk

    .p2align 4
    .def BrivoxFaultThunk; .scl 3; .type 32; .endef
    .seh_proc BrivoxFaultThunk
BrivoxFaultThunk:
    pushq %rbp
    .seh_pushreg %rbp
    movq %rsp, %rbp
    .seh_setframe %rbp, 0
    subq $32, %rsp
    .seh_stackalloc 32
    .seh_endprologue
    andq $-16, %rsp
    call BrivoxThrowFault
    int3
    .seh_endproc
)");
#elif defined(__i386__)
// The same frame described with DWARF call-frame information for the 32-bit unwinder.
asm(R"(
    .text
    .p2align 4
    .globl _BrivoxFaultEntry
_BrivoxFaultEntry:
    pushl %edx
    jmp BrivoxFaultThunk

    .p2align 4
BrivoxFaultThunk:
    .cfi_startproc
    pushl %ebp
    .cfi_def_cfa_offset 8
    .cfi_offset %ebp, -8
    movl %esp, %ebp
    .cfi_def_cfa_register %ebp
    andl $-16, %esp
    subl $16, %esp
    movl %ecx, (%esp)
    call _BrivoxThrowFault
    int3
    .cfi_endproc
)");
#else
#error "The fault translator knows x86_64 and i686 only."
#endif

namespace Brivox {

namespace {

enum FaultKind : int
{
    NoFault,
    FloatingPointFault,
    IllegalInstructionFault,
    AccessViolationFault,
};

FaultKind KindOf(DWORD code)
{
    switch (code) {
    case EXCEPTION_ACCESS_VIOLATION:
        return AccessViolationFault;
    case EXCEPTION_ILLEGAL_INSTRUCTION:
    case EXCEPTION_PRIV_INSTRUCTION:
        return IllegalInstructionFault;
    case EXCEPTION_INT_DIVIDE_BY_ZERO:
    case EXCEPTION_INT_OVERFLOW:
    case EXCEPTION_FLT_DENORMAL_OPERAND:
    case EXCEPTION_FLT_DIVIDE_BY_ZERO:
    case EXCEPTION_FLT_INEXACT_RESULT:
    case EXCEPTION_FLT_INVALID_OPERATION:
    case EXCEPTION_FLT_OVERFLOW:
    case EXCEPTION_FLT_STACK_CHECK:
    case EXCEPTION_FLT_UNDERFLOW:
    case STATUS_FLOAT_MULTIPLE_FAULTS:
    case STATUS_FLOAT_MULTIPLE_TRAPS:
        return FloatingPointFault;
    default:
        return NoFault;
    }
}

// Set before the handler is added, never changed afterwards.
DWORD translatingThreads = TLS_OUT_OF_INDEXES; // non-null in the threads that asked
const char* imageBegin = nullptr;
const char* imageEnd = nullptr;

std::atomic<bool> translatorEnabled{false};

LONG CALLBACK TranslateFault(EXCEPTION_POINTERS* info);

// Only code of this image is built to unwind from a faulting instruction; faults elsewhere
// (system DLLs that probe memory under their own handlers) are left to their owners.
bool InOwnImage(ULONG_PTR address)
{
    const char* p = reinterpret_cast<const char*>(address);
    return p >= imageBegin && p < imageEnd;
}

bool TranslatesThisThread()
{
    // TlsGetValue clears the last error; the faulting code may still want it.
    const DWORD lastError = ::GetLastError();
    const bool translates = ::TlsGetValue(translatingThreads) != nullptr;
    ::SetLastError(lastError);
    return translates;
}

LONG CALLBACK TranslateFault(EXCEPTION_POINTERS* info)
{
    // Every C++ throw passes here too: look at nothing else before the code says it is a fault.
    const FaultKind kind = KindOf(info->ExceptionRecord->ExceptionCode);
    if (kind == NoFault || !TranslatesThisThread())
        return EXCEPTION_CONTINUE_SEARCH;
    CONTEXT* context = info->ContextRecord;
#if defined(__x86_64__)
    if (!InOwnImage(context->Rip))
        return EXCEPTION_CONTINUE_SEARCH;
    context->Rcx = kind;
    context->Rdx = context->Rip + 1;
    context->Rip = reinterpret_cast<DWORD64>(&BrivoxFaultEntry);
#else
    if (!InOwnImage(context->Eip))
        return EXCEPTION_CONTINUE_SEARCH;
    context->Ecx = kind;
    context->Edx = context->Eip + 1;
    context->Eip = reinterpret_cast<DWORD>(&BrivoxFaultEntry);
#endif
    return EXCEPTION_CONTINUE_EXECUTION;
}

// The process-wide part, done once: the thread marker, the image bounds and the handler.
void InstallFaultHandler()
{
    static const bool installed = [] {
        translatingThreads = ::TlsAlloc();
        HMODULE module = nullptr;
        ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                 GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                             reinterpret_cast<LPCWSTR>(&TranslateFault), &module);
        const char* base = reinterpret_cast<const char*>(module);
        const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
        const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
        imageBegin = base;
        imageEnd = base + nt->OptionalHeader.SizeOfImage;
        ::AddVectoredExceptionHandler(1, &TranslateFault);
        return true;
    }();
    (void)installed;
}

} // namespace

void InstallExceptionTranslator()
{
    InstallFaultHandler();
    if (translatingThreads != TLS_OUT_OF_INDEXES)
        ::TlsSetValue(translatingThreads, reinterpret_cast<void*>(1));
    std::signal(SIGABRT, &OnAbortSignal);
    std::set_terminate(&OnTerminate);
}

void InstallExceptionTranslatorIfEnabled()
{
    if (translatorEnabled.load())
        InstallExceptionTranslator();
}

void OnTerminate()
{
    // Not abort(): some C runtimes write their own "abnormal program termination" first.
    std::raise(SIGABRT);
    OnAbortSignal(SIGABRT); // in case another SIGABRT handler returned
}

void OnAbortSignal(int)
{
    DrainQuitMessages();
    auto& encoding = GetDefaultEncoding();
    ShowNarrowMessageBox(nullptr, encoding.ToMultiByte(L"異常終了").c_str(),
                         encoding.ToMultiByte(L"エラー").c_str(), MB_ICONERROR | MB_TOPMOST);
    ::ExitProcess(1);
}

} // namespace Brivox

extern "C" void BrivoxThrowFault(int kind)
{
    switch (kind) {
    case Brivox::FloatingPointFault:
        // The fault left its exception flags set; the next floating-point instruction would trap again.
        ::_clearfp();
        throw Brivox::FPEException();
    case Brivox::IllegalInstructionFault:
        throw Brivox::InvalidProgramException();
    default:
        throw Brivox::AccessViolationException();
    }
}

// Start-up: the first thread translates its faults, and worker threads may ask for the same.
// Nothing calls into this file in a program without workers, so the linker is told to keep the
// anchor (foundation/CMakeLists.txt), which keeps this initialiser.
extern "C" const int BrivoxFaultTranslatorAnchor = 0;

namespace {

[[maybe_unused]] const bool translatorInstalledAtStartUp = [] {
    Brivox::InstallExceptionTranslator();
    Brivox::translatorEnabled.store(true);
    return true;
}();

} // namespace
