// The stack protection's guard value and its failure path, in place of GCC's libssp: the
// guard comes from RtlGenRandom, which needs no crypto provider loaded at start-up, and a
// failed check ends the process on the spot, as a Windows program built with /GS does.
#include <windows.h>
#include <ntsecapi.h>

extern "C" {

// Zero only until DrawStackGuard runs, before any function of ours is entered.
UINT_PTR __stack_chk_guard;

// Left unprotected: a protected function still on the stack when the guard changes would
// find its own check failed on return.
__attribute__((no_stack_protector)) static int __cdecl DrawStackGuard()
{
    UINT_PTR draw = 0;
    if (!RtlGenRandom(&draw, sizeof draw) || draw == 0) {
        // Never 0, the value a zero-filled overrun would write back over it unnoticed.
        draw = 0x5A17C0DE3D9B4E21;
    }
    __stack_chk_guard = draw;
    return 0;
}

// The start-up code calls the .CRT$XI* entries in name order, before C++ constructors and
// before wWinMain or main; .CRT$XIB comes right after its own set-up (.CRT$XIAA), before the
// C runtime's initializers (.CRT$XIC).
__attribute__((section(".CRT$XIB"), used)) static int(__cdecl* const drawStackGuardAtStart)() = DrawStackGuard;

// Called on a corrupted stack: no output, no handler, no unwinding, so nothing runs on the
// attacker's data. The exit status tells Windows Error Reporting what happened.
__attribute__((noreturn, no_stack_protector)) void __stack_chk_fail()
{
    if (IsProcessorFeaturePresent(PF_FASTFAIL_AVAILABLE)) {
        // __fastfail: the kernel ends the process, no exception handler of ours sees it.
        __asm__ volatile("int $0x29" : : "c"(FAST_FAIL_STACK_COOKIE_CHECK_FAILURE) : "memory");
    }
    TerminateProcess(GetCurrentProcess(), STATUS_STACK_BUFFER_OVERRUN);
    __builtin_unreachable();
}

}  // extern "C"
