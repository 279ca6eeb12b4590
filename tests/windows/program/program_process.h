// Runs the real QuibTPCenter.exe as a separate process, with the simulated touchpad library
// beside it, for the start-up, exit and end-to-end tests. Its window is found and ended as
// the launcher does it (evalkit/program_window.h); its call log is read with the simulated
// library's own reader (padsim/tests/sim_test_support.h).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "evalkit/program_window.h"
#include "padsim/tests/sim_test_support.h"

struct ProgramProcess {
    HANDLE process = nullptr;
    DWORD processId = 0;
};

// Starts the program (or a test build of it, named by exe) from the test's own folder with
// the given arguments and show command, on the named desktop or else on the test's own.
ProgramProcess StartProgram(const std::wstring& arguments = L"", WORD showCommand = SW_SHOWNORMAL,
                            const wchar_t* exe = L"QuibTPCenter.exe", const wchar_t* desktop = nullptr);

// The program's window once it exists; null when the program ended first or after the time limit.
HWND WaitForProgramWindow(const ProgramProcess& program, DWORD timeLimitMs = 10000);
std::vector<HWND> ProgramWindows();

// The exit code, or STILL_ACTIVE if the program still runs at the time limit.
DWORD WaitForExit(const ProgramProcess& program, DWORD timeLimitMs = 10000);

// Ends a program that a test left running, and closes its handle.
void EndProgram(ProgramProcess& program);

// A fresh log file for the simulated library, named in QUIBSIM_LOG for programs started
// from now on.
std::wstring UseFreshSimulatorLog(const wchar_t* name);

// How many lines of the log have every item of wanted, {{"call", "TpDisconnect"}} say.
size_t CountInLog(const std::wstring& log, const LOGLINE& wanted);

// How many library calls of any entry the log holds.
size_t CallsInLog(const std::wstring& log);
