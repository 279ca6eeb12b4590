// The smallest QuibTPApi.dll the program can link to, for measurements only: the ten entries
// of the host's lean stand-in (tests/perf/null_touchpad.cpp), exported by ordinal through the
// program's own definition file. It links at the first attempt, answers an enabled pad and a
// live icon, and has no thread, pipe, log or reports, so the program running on it costs what
// the program itself costs; the simulated library's share is the difference from a run on it.
#include <windows.h>

#include "tests/perf/null_touchpad.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        // No thread of the program's needs a call here.
        DisableThreadLibraryCalls(instance);
        ResetNullTouchpad();
    }
    return TRUE;
}
