// A lean stand-in for the ten library entries, for measurements and allocation checks: each
// entry answers a scripted value and counts its call, and nothing is recorded, so a figure
// taken through it is about the program's code rather than the stand-in's bookkeeping.
#pragma once

#include <cstdint>

#include "link/touchpad_api.h"

enum NullEntry {
    NULL_CONNECT,
    NULL_DISCONNECT,
    NULL_FORWARD_RAW,
    NULL_BUTTON_FOLLOW_UP,
    NULL_CHECK_BUTTONS,
    NULL_MOUSE_SWAP,
    NULL_INIT_ONCE,
    NULL_IS_DISABLED,
    NULL_GET_TRAY_MODE,
    NULL_SET_ENABLED,
    NULL_ENTRY_COUNT,
};

// Single-threaded use only: plain counters keep each entry at a handful of instructions.
struct NULLTOUCHPAD {
    int32_t connectResult;
    int32_t isDisabledResult;
    int32_t trayModeResult;
    int32_t checkButtonsResult;
    int64_t calls[NULL_ENTRY_COUNT];
};

extern NULLTOUCHPAD NullTouchpad;

// Zero counts; the library links, the pad is enabled, the icon is live, the button check answers 0.
void ResetNullTouchpad();
int64_t NullTotalCalls();
