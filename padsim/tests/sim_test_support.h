// Helpers shared by the simulator's Windows tests: temporary files, the log's lines, and
// running a program of the bin directory as a child process.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "padsim/log_tail.h"

// A fresh path in the temporary directory, unique to this process and name.
std::wstring TempFilePath(const std::wstring& name);

void WriteTextFile(const std::wstring& path, const std::string& text);

// The log's complete lines; each one that does not parse fails the test that reads it.
std::vector<LOGLINE> ReadLogLines(const std::wstring& path);

// Polls the log until a line with the given items is there or timeoutMs passes; returns the
// log as last read.
std::vector<LOGLINE> WaitForLogLine(const std::wstring& path, const LOGLINE& wanted,
                                    DWORD timeoutMs = 10000);

// Polls until the condition holds or timeoutMs passes; returns the condition's last value.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs = 10000);

// The full path of a file beside this test program (the build's bin directory).
std::wstring BesideTestProgram(const std::wstring& name);

// Runs a program with a command line and, optionally, a file as its standard input; waits
// for it and returns its exit code, or -1 when it could not be started or did not end.
int RunProgram(const std::wstring& program, const std::wstring& arguments,
               const std::wstring& standardInput = std::wstring());

// A name unique to this process, for pipes and files that must not meet other tests'.
std::wstring UniqueName(const std::wstring& stem);

std::string Narrow(const std::wstring& text);
