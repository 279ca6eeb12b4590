// The program as the launcher runs it: found by its window, started with the simulated
// library's settings, and ended with its own exit command.
#pragma once

#include <windows.h>

#include <string>

// The program's hidden window on this desktop (title "QUIB TOUCH PAD CENTER", class
// "RAVIVAVIZIZU"), or nullptr when no copy runs here.
HWND FindProgramWindow();

// Starts the kit's program from the kit's folder, with the simulated library playing the
// walk and writing its call log to logPath. False with the system's error code in *error.
bool StartProgram(const std::wstring& folder, const std::wstring& logPath, PROCESS_INFORMATION* started,
                  DWORD* error);

// Posts the exit command (WM_COMMAND, IDM_EXIT) to the process's window and waits up to
// limitMs for the process to end. False when it has no window or is still running.
bool EndWithExitCommand(const PROCESS_INFORMATION& program, DWORD limitMs);

// After a failure: ends the program by its exit command, or failing that by force, so the
// trial leaves nothing running.
void EndProgram(const PROCESS_INFORMATION& program);

// Posts the exit command to the copy that already runs on this desktop and waits up to
// limitMs for its window to go. False when it stays.
bool StopOtherCopy(HWND window, DWORD limitMs);
