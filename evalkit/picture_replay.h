// The icon redraws of a run, replayed from the call log. The log shows what the program was
// told (each report's bytes, each answer of the poll) but not what it drew; the program
// redraws on the poll tick after anything its picture depends on changed, so the changes
// can be counted from the log alone, on Windows, without looking at the screen.
#pragma once

#include <cstdint>
#include <string>

struct PICTUREREPLAY {
    int32_t fingers = 0;
    int32_t contactLevel = 0;
    int32_t leftHeld = 0;
    int32_t rightHeld = 0;
    int32_t buttonMode = 0;     // 0 none, 1 left, 2 right
    int32_t disabled = 0;
    int32_t trayMode = -1;      // -1 until the first poll tick reads it
    bool pending = false;       // something changed since the last redraw
    int changes = 0;            // redraws of the icon's picture
    int removals = 0;           // tray mode 0 took the icon away
    int returns = 0;            // the icon came back after tray mode 0
};

// An accepted TpConnect: the icon is added and redrawn on the next tick.
void ReplayLink(PICTUREREPLAY& replay);

// A status report, from the log's hex bytes: buttons at byte 12, fingers 13, contact 14.
void ReplayStatusReport(PICTUREREPLAY& replay, const std::string& hexBytes);

// The first two steps of a poll tick: TpIsDisabled's answer, then TpGetTrayMode's, after
// which the tick redraws when something changed.
void ReplayDisabledAnswer(PICTUREREPLAY& replay, int32_t answer);
void ReplayTrayModeAnswer(PICTUREREPLAY& replay, int32_t answer);
