// The icon redraws of a run, replayed from the call log. The log shows what the program was
// told (each report's bytes, each answer of the poll) but not what it drew; the program
// redraws on the poll tick after anything its picture depends on changed, so the changes
// can be counted from the log alone, on Windows, without looking at the screen.
#pragma once

#include <cstdint>
#include <string>

// The report fields are not kept here: each logged status report goes through the program's
// own report callback, into the process's TouchStatus, so it is decoded exactly as the
// program decoded it. One replay a process.
struct PICTUREREPLAY {
    int32_t disabled = 0;
    int32_t trayMode = -1;  // -1 until the first poll tick reads it
    bool pending = false;   // something changed since the last redraw
    int changes = 0;        // redraws of the icon's picture
    int removals = 0;       // tray mode 0 took the icon away
    int returns = 0;        // the icon came back after tray mode 0
};

// An accepted TpConnect: the icon is added and redrawn on the next tick.
void ReplayLink(PICTUREREPLAY& replay);

// A status report, from the log's hex bytes (the record from its type on).
void ReplayStatusReport(PICTUREREPLAY& replay, const std::string& hexBytes);

// The first two steps of a poll tick: TpIsDisabled's answer, then TpGetTrayMode's, after
// which the tick redraws when something changed.
void ReplayDisabledAnswer(PICTUREREPLAY& replay, int32_t answer);
void ReplayTrayModeAnswer(PICTUREREPLAY& replay, int32_t answer);
