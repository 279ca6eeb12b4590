// The program as the launcher runs it: found by its window, started with the simulated
// library's settings, and ended with its own exit command.
#pragma once

#include <windows.h>

#include <string>

// The window of a copy that runs on this desktop, found as the program finds one: by the
// title "QUIB TOUCH PAD CENTER" alone; nullptr when none runs here.
HWND FindProgramWindow();

// True when the window's process runs the kit's own QuibTPCenter.exe (from folder), which
// can only be running the simulated library: a leftover of the kit, not the maker's copy.
bool IsKitCopy(HWND window, const std::wstring& folder);

// Starts the kit's program from the kit's folder, with the simulated library playing the
// walk and writing its call log to logPath, inside a job that ends it with the launcher.
// False with the system's error code in *error.
bool StartProgram(const std::wstring& folder, const std::wstring& logPath, PROCESS_INFORMATION* started, DWORD* error);

// Posts the exit command (WM_COMMAND, IDM_EXIT) to the process's window and waits up to
// limitMs for the process to end. False when it has no window or is still running.
bool EndWithExitCommand(const PROCESS_INFORMATION& program, DWORD limitMs);

// After a failure or a stop: ends the program by its exit command within limitMs, or failing
// that by force, so the trial leaves nothing running. False when it took force.
bool EndProgram(const PROCESS_INFORMATION& program, DWORD limitMs);

enum OTHERSTOP {
    OTHER_ENDED,    // its window has gone
    OTHER_REFUSED,  // the exit command could not be delivered (*error says why)
    OTHER_STAYED,   // delivered, but the window is still there after limitMs
};

// Posts the exit command to a copy that already runs on this desktop and waits up to
// limitMs for its window to go.
OTHERSTOP StopOtherCopy(HWND window, DWORD limitMs, DWORD* error);
