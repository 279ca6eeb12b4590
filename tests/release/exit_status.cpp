// Runs a program from this program's folder and prints its exit status in full (wine hands
// only the low byte of it to the shell), then anything it wrote to a debugger.
#include <cstdio>

#include "tests/windows/support/debug_run.h"

int wmain(int, wchar_t** argv)
{
    const DebugRun run = RunUnderDebugger(ThisProgramFolder() + argv[1]);
    std::printf("exit status 0x%08lX\n", run.exitCode);
    for (const std::wstring& line : run.lines) {
        std::printf("%ls\n", line.c_str());
    }
    return 0;
}
