// What the link and poll cycle asks of the platform. The Windows build answers with window
// timers on MainWindow and the notification-area icon drawn from the icon set; the tests
// answer with recorders, so the whole cycle runs without Windows.
#pragma once

#include <cstdint>

#include "status/icon_choice.h"

// Starts the window timer, or restarts it with the new period when it already runs.
void StartCycleTimer(uint32_t timerId, uint32_t periodMs);
// Stops the timer; a timer that does not run is left alone.
void StopCycleTimer(uint32_t timerId);

// The notification-area icon, showing the picture of an icon slot. An add and a picture
// change say whether the shell took them; a taskbar too busy to answer refuses both.
bool AddStatusIcon(IconSlot slot, const wchar_t* tip);
bool SetStatusIconImage(IconSlot slot);
void RemoveStatusIcon();
// Adds the icon again after the shell lost it, with the tip of the last add.
bool RestoreStatusIcon(IconSlot slot);
