// What the simulated library answers, as the scenario and the control pipe set it. Every
// value is read on the caller's thread and written by whichever thread plays a command, so
// each is a lock-free atomic.
#pragma once

#include <atomic>
#include <cstdint>

#include "link/touchpad_api.h"
#include "padsim/scenario.h"

struct SIMSTATE {
    std::atomic<int32_t> refusalsLeft{0};  // TpConnect calls still to be refused
    std::atomic<int32_t> refusalValue{0};  // what a refused TpConnect returns
    std::atomic<int32_t> trayMode{1};      // TpGetTrayMode
    std::atomic<int32_t> disabled{0};      // TpIsDisabled
    std::atomic<int32_t> checkButtons{0};  // TpCheckButtonFlags
    std::atomic<int32_t> linked{0};        // 1 from an accepted TpConnect to TpDisconnect
    std::atomic<ReportCallback> callback{nullptr};
};

extern SIMSTATE SimState;

// Applies one of refuse, traymode, disabled or checkbuttons and logs the new value.
void ApplyStateCommand(const SIMCOMMAND& command);

// Uses up one scripted refusal: true with the value to return, or false when TpConnect is
// to be accepted.
bool TakeRefusal(int32_t* value);
