// The program's window as other programs find it, and its end by its own exit command: shared
// by the launcher, the tests and their tools, so that each finds and ends it the same way.
#pragma once

#include <windows.h>

#include <vector>

// Every top-level window of this desktop with the class and the title.
std::vector<HWND> WindowsOf(const wchar_t* className, const wchar_t* title);

// The window of a copy that runs on this desktop, found as the program finds one: by the
// title alone; nullptr when none runs here.
HWND FindProgramWindow();

// The program's window that the process made, not another copy's; nullptr when it has none.
HWND WindowOfProcess(DWORD processId);

// A program just started has no window yet: waits up to limitMs for it. Null when the
// process ended first or the time ran out.
HWND AwaitProgramWindow(HANDLE process, DWORD processId, DWORD limitMs);

// Posts the exit command (WM_COMMAND, IDM_EXIT) to the process's window, once it has one,
// and waits for the process to end, all within limitMs. False when it made no window or is
// still running.
bool EndWithExitCommand(HANDLE process, DWORD processId, DWORD limitMs);
