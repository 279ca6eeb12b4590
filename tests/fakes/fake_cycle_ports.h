// Recording timers and tray icon for the link and poll cycle, with the library's calls
// interleaved into the same event list.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "status/icon_choice.h"

struct FakeCycleWorld {
    std::vector<std::string> events;          // "TpIsDisabled()", "tray add unlinkedIcon 'tip'", ...
    std::map<uint32_t, uint32_t> timers;      // running timer -> period
    bool iconShown = false;                   // what the shell would show
    IconSlot picture = appIcon;
    std::wstring tip;
    int shellRefusals = 0;                    // the next adds and picture changes a busy taskbar refuses
};

extern FakeCycleWorld CycleWorld;

// Clears the world and the fake library, and routes the library's calls into the events.
void ResetCycleWorld();
std::string SlotName(IconSlot slot);
