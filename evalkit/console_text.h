// What the launcher tells the person in front of it: one line at a time, on the console
// window when there is one, else as UTF-8 into whatever took the output (a file, a pipe).
#pragma once

#include <string>

// Text of the call log, UTF-8 bytes, as UTF-16 for the console.
std::wstring WideOfUtf8(const std::string& text);

// Writes the line and a line end to standard output.
void Say(const std::wstring& line);

// Writes "TryQuibTPCenter: " and the line to standard error; returns code, for
// "return Fail(EXIT_..., ...)".
int Fail(int code, const std::wstring& line);

// Writes "TryQuibTPCenter: " and the line to standard error; the launcher goes on.
void Warn(const std::wstring& line);

// True when standard input is a console that keys can be read from.
bool HasConsoleKeys();

// Drops what was typed so far: called before a prompt, so only keys pressed after it count.
void ForgetTypedKeys();

// Returns once a key that answers a prompt is pressed in the console (true): one that types
// a character, or Enter, Space or Esc. Returns false once the handle is signalled or the
// trial is stopped; a null handle waits for the key or the stop alone.
bool WaitForKeyOr(void* handle);

// The console's input mode while the program runs: QuickEdit off, Ctrl+C a stop. Returns the
// mode to restore, or 0 for none. With QuickEdit, a click in the window starts a selection,
// and the launcher's next write waits until it ends: the launcher would not end the program
// when the walk is over.
unsigned long SetWalkInputMode();
void RestoreInputMode(unsigned long mode);

// Started by a double-click in Explorer, the launcher is the only process of a console
// window that closes with it: then the window waits for a key, so the summary or the
// error stays readable.
void PauseIfOwnConsole();
