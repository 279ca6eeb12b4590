// Runs a program as a debuggee and collects what it writes to the debugger output, the way
// a debugger attached to the real program would see it.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

struct DebugRun {
    bool started = false;
    bool ended = false;             // false: it was still running at the time limit, and was ended
    DWORD exitCode = 0;
    std::vector<std::wstring> lines;  // each OutputDebugString call, in order
};

// onLine, when given, runs after each line is collected, while the debuggee is stopped
// (it may post messages to the debuggee's windows).
DebugRun RunUnderDebugger(const std::wstring& commandLine, DWORD timeLimitMs = 20000,
                          const std::function<void()>& onLine = nullptr);

// The folder of the running test program, with a trailing backslash.
std::wstring ThisProgramFolder();
