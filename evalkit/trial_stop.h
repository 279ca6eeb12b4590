// Stopping the trial from the console: Ctrl+C, Ctrl+Break and closing the window end it as
// the walk's end does, with the program's own exit command, so its icon goes and the
// simulated library closes its log, instead of leaving a GUI program that the console does
// not end running on until logoff. Logoff and shutdown never come here: the system sends
// them to no process that has loaded user32, and the program ends then on its own messages.
#pragma once

#include <windows.h>

// Turns Ctrl+C on (a parent may have started the launcher with it off) and installs the
// handler. Call before anything is started; called again, it starts afresh with no stop.
void CatchTrialStop();

// The handler as the console calls it on its own thread: a key sets the stop and returns; a
// closing window also holds the process until TrialStopHandled, within the 5 s allowed.
BOOL WINAPI TrialControlHandler(DWORD type);

// Signalled once the person asked to stop; waits watch it beside their own handles.
HANDLE TrialStopEvent();

bool TrialStopped();

// True when the stop came from the window closing, not from a key.
bool TrialWindowClosing();

// After a stop by Ctrl+C has been dealt with: the next Ctrl+C counts again (it ends the
// "press Enter" pause).
void RearmTrialStop();

// The launcher's last call: a console window being closed is held open until then (the
// system ends the process as soon as the handler returns, at most 5 s after the event).
void TrialStopHandled();
