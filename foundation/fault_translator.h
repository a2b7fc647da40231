#pragma once

namespace Brivox {

// Makes processor faults of the calling thread catchable: an access violation, an illegal
// instruction or a floating-point or integer-division fault inside this program's own code
// is thrown there as AccessViolationException, InvalidProgramException or FPEException. Also
// sets the terminate handler and the abort signal handler (the box "異常終了", exit code 1).
// The program's start-up does this for the first thread and enables it for the others.
void InstallExceptionTranslator();

// What every worker thread calls first: installs the translator for the thread when start-up
// enabled it.
void InstallExceptionTranslatorIfEnabled();

// The terminate handler: raises SIGABRT, which ends in OnAbortSignal.
[[noreturn]] void OnTerminate();

// The SIGABRT handler: drops pending quit messages so that the box can show, shows "異常終了"
// and ends the process with exit code 1 without running static destructors (other threads may
// still be using those objects).
[[noreturn]] void OnAbortSignal(int signal);

} // namespace Brivox
