// Runs the real QuibTPCenter.exe as a separate process, with the simulated touchpad
// library beside it, for the start-up, exit and end-to-end tests.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct ProgramProcess {
    HANDLE process = nullptr;
    DWORD processId = 0;
};

extern const wchar_t PROGRAM_CLASS[];
extern const wchar_t PROGRAM_TITLE[];

// Starts the program (or a test build of it, named by exe) from the test's own folder with
// the given arguments and show command, on the named desktop or else on the test's own.
ProgramProcess StartProgram(const std::wstring& arguments = L"", WORD showCommand = SW_SHOWNORMAL,
                            const wchar_t* exe = L"QuibTPCenter.exe", const wchar_t* desktop = nullptr);

// The program's window once it exists, or null after the time limit.
HWND WaitForProgramWindow(DWORD processId, DWORD timeLimitMs = 10000);
std::vector<HWND> ProgramWindows();

// The exit code, or STILL_ACTIVE if the program still runs at the time limit.
DWORD WaitForExit(const ProgramProcess& program, DWORD timeLimitMs = 10000);

// Ends a program that a test left running, and closes its handle.
void EndProgram(ProgramProcess& program);

// A fresh log file for the simulated library, named in QUIBSIM_LOG for programs started
// from now on; and its lines.
std::wstring UseFreshSimulatorLog(const wchar_t* name);
std::vector<std::string> ReadLines(const std::wstring& path);
int CountLinesWith(const std::vector<std::string>& lines, const std::string& text);

// Whether the simulated library in the given process has accepted a link, by its log.
bool LinkedInLog(const std::wstring& log, DWORD processId);
