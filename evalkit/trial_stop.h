// Stopping the trial from the console: Ctrl+C, Ctrl+Break and closing the window end it as
// the walk's end does, with the program's own exit command, so its icon goes and the
// simulated library closes its log, instead of leaving a GUI program that the console does
// not end running on until logoff.
#pragma once

#include <windows.h>

// Turns Ctrl+C on (a parent may have started the launcher with it off) and installs the
// handler. Call once, before anything is started.
void CatchTrialStop();

// Signalled once the person asked to stop; waits watch it beside their own handles.
HANDLE TrialStopEvent();

bool TrialStopped();

// True when the stop came from the window closing (or logoff or shutdown), not from a key.
bool TrialWindowClosing();

// After a stop by Ctrl+C has been dealt with: the next Ctrl+C counts again (it ends the
// "press a key" pause).
void RearmTrialStop();

// The launcher's last call: a console window being closed is held open until then (the
// system ends the process as soon as the handler returns, at most about 5 s later).
void TrialStopHandled();
