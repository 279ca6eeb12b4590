// What the launcher tells the person in front of it: one line at a time, on the console
// window when there is one, else as UTF-8 into whatever took the output (a file, a pipe).
#pragma once

#include <string>

// Writes the line and a line end to standard output.
void Say(const std::wstring& line);

// Writes "TryQuibTPCenter: " and the line to standard error; returns code, for
// "return Fail(EXIT_..., ...)".
int Fail(int code, const std::wstring& line);

// True when standard input is a console that keys can be read from.
bool HasConsoleKeys();

// Returns once a key is pressed in the console (true), or once the handle is signalled or
// the trial is stopped (false); a null handle waits for the key or the stop alone.
bool WaitForKeyOr(void* handle);

// Started by a double-click in Explorer, the launcher is the only process of a console
// window that closes with it: then the window waits for a key, so the summary or the
// error stays readable.
void PauseIfOwnConsole();
